#include "kes_measure/measure_toolbar.h"
#include "kes_prompts/prompts.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class MeasureToolBarTest : public ::testing::Test {
protected:
    template <class T>
    T* child(const char* name)
    {
        return bar_.findChild<T*>(QString::fromLatin1(name));
    }

    bool rangeEnabled()
    {
        return child<QPushButton>("start_measure_button")->isEnabled()
               && child<QLineEdit>("lineEdit_value_max")->isEnabled();
    }

    bool trueValueEnabled()
    {
        return child<QPushButton>("true_start_button")->isEnabled()
               && child<QLineEdit>("lineEdit_sn_code")->isEnabled()
               && child<QPushButton>("pushButton_set_config")->isEnabled();
    }

    MeasureToolBar bar_;
};

} // namespace

TEST_F(MeasureToolBarTest, StartsLockedWithHiddenPanelsAndUnlocksWithALidar)
{
    EXPECT_TRUE(child<QWidget>("widget_measure")->isHidden());
    EXPECT_TRUE(child<QWidget>("widget_result")->isHidden());
    EXPECT_FALSE(rangeEnabled());
    EXPECT_FALSE(trueValueEnabled());
    bar_.receive_status(1);
    EXPECT_TRUE(rangeEnabled());
    EXPECT_TRUE(trueValueEnabled());
    EXPECT_FALSE(child<QLineEdit>("lineEdit_current_round")->isEnabled());
}

TEST_F(MeasureToolBarTest, RangeTestSendsTheDefaultsAndStaysLockedAcrossAReconnect)
{
    bar_.receive_status(1);
    QSignalSpy start(&bar_, &MeasureToolBar::sig_start_measure_clicked);
    QTest::mouseClick(child<QPushButton>("start_measure_button"), Qt::LeftButton);
    ASSERT_EQ(start.count(), 1);
    EXPECT_EQ(start.at(0), (QList<QVariant>{270, 230, 100}));
    EXPECT_EQ(child<QPushButton>("start_measure_button")->text(), "停止测量");
    EXPECT_FALSE(child<QPushButton>("pushButton_set_config")->isEnabled());

    bar_.receive_status(0);
    EXPECT_FALSE(rangeEnabled());
    EXPECT_FALSE(trueValueEnabled());
    bar_.receive_status(1);
    EXPECT_FALSE(child<QPushButton>("start_measure_button")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>("lineEdit_value_min")->isEnabled());
    EXPECT_TRUE(trueValueEnabled());

    bar_.updateCurRound(42);
    EXPECT_EQ(child<QLineEdit>("lineEdit_current_round")->text(), "42");
    bar_.updateMeasureResult(false);
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->text(), "NG");
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->styleSheet(), "color:red;");
    EXPECT_TRUE(rangeEnabled());
    bar_.updateMeasureResult(true);
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->text(), "OK");
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->styleSheet(), "color:green;");
}

TEST_F(MeasureToolBarTest, EmptyOrFilteredFieldsSendZero)
{
    bar_.receive_status(1);
    auto* max = child<QLineEdit>("lineEdit_value_max");
    max->clear();
    QTest::keyClicks(max, "12a34567");
    EXPECT_EQ(max->text(), "12345") << "five digits at most";
    child<QLineEdit>("lineEdit_measure_round")->clear();
    QSignalSpy start(&bar_, &MeasureToolBar::sig_start_measure_clicked);
    QTest::mouseClick(child<QPushButton>("start_measure_button"), Qt::LeftButton);
    ASSERT_EQ(start.count(), 1);
    EXPECT_EQ(start.at(0), (QList<QVariant>{12345, 230, 0}));
}

TEST_F(MeasureToolBarTest, ReturnInTheSerialFieldSendsItOnceAndTheButtonOpensTheTable)
{
    bar_.showPanels(true);
    bar_.show();
    bar_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar_)) << "focus events need an active window";
    bar_.receive_status(1);
    auto* sn = child<QLineEdit>("lineEdit_sn_code");
    sn->setFocus();
    QSignalSpy sent(&bar_, &MeasureToolBar::sig_send_sn);
    QTest::keyClicks(sn, "K77");
    EXPECT_EQ(sent.count(), 0) << "typing alone sends nothing";
    QTest::keyClick(sn, Qt::Key_Return);
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent.at(0).at(0).toString(), "K77");

    QSignalSpy config(&bar_, &MeasureToolBar::sig_set_config);
    QTest::mouseClick(child<QPushButton>("pushButton_set_config"), Qt::LeftButton);
    EXPECT_EQ(config.count(), 1);
    EXPECT_EQ(sent.count(), 2) << "leaving the field finishes the editing too";

    bar_.showPanels(false);
    EXPECT_TRUE(child<QWidget>("widget_measure")->isHidden());
    EXPECT_TRUE(child<QWidget>("widget_result")->isHidden());
}

// The SN names files: separators are replaced where the operator sees it, and said why.
TEST_F(MeasureToolBarTest, TrueValueTestAnnouncesItselfThenTheSerialNumberOnce)
{
    bar_.receive_status(1);
    child<QLineEdit>("lineEdit_sn_code")->setText("../SN\\1");
    child<QLabel>("label_true_result")->setText("OK");
    QStringList order;
    QObject::connect(&bar_, &MeasureToolBar::sig_true_status, [&] { order << "status"; });
    QObject::connect(&bar_, &MeasureToolBar::sig_true_, [&](QString sn) { order << "sn:" + sn; });
    const Prompts saved = prompts();
    prompts().message = [&](const Prompt& prompt) { order << prompt.text; };
    QTest::mouseClick(child<QPushButton>("true_start_button"), Qt::LeftButton);
    prompts() = saved;
    EXPECT_EQ(order, (QStringList{"SN码中的“/”和“\\”已替换为“_”：.._SN_1", "status", "sn:.._SN_1"}));
    EXPECT_EQ(child<QLineEdit>("lineEdit_sn_code")->text(), ".._SN_1");
    EXPECT_FALSE(child<QLineEdit>("lineEdit_sn_code")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("true_start_button")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("start_measure_button")->isEnabled());
    EXPECT_TRUE(child<QLabel>("label_true_result")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>("lineEdit_true_cur_round")->text(), "0");

    bar_.updateTrueCurRound(100);
    EXPECT_EQ(child<QLineEdit>("lineEdit_true_cur_round")->text(), "100");
    bar_.updateTrueStatus(false);
    EXPECT_EQ(child<QLabel>("label_true_result")->text(), "NG");
    EXPECT_EQ(child<QLabel>("label_true_result")->styleSheet(), "color:red;");
    bar_.updateTrueStatus(true);
    EXPECT_EQ(child<QLabel>("label_true_result")->text(), "OK");
    EXPECT_EQ(child<QLabel>("label_true_result")->styleSheet(), "color:green;");
    EXPECT_TRUE(child<QLineEdit>("lineEdit_sn_code")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("true_start_button")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("start_measure_button")->isEnabled());
}
