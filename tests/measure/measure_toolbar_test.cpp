#include "kes_measure/measure_toolbar.h"

#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class MeasureToolBarTest : public ::testing::Test {
protected:
    template <class T = QWidget>
    T* child(const char* name)
    {
        return bar_.findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }
    bool enabled(std::initializer_list<const char*> names)
    {
        return std::all_of(names.begin(), names.end(),
                           [this](const char* name) { return child(name)->isEnabled(); });
    }

    kes_test::PromptScript script_;
    MeasureToolBar bar_;
    kes_test::SignalLog starts_{&bar_, &MeasureToolBar::sig_start_measure_clicked};
};

} // namespace

// Locked until a lidar connects; a running range test keeps its controls locked across a
// reconnect until its verdict comes. Empty or filtered fields send zero.
TEST_F(MeasureToolBarTest, RangeTestSendsItsFieldsAndStaysLockedUntilItsVerdict)
{
    EXPECT_TRUE(child("widget_measure")->isHidden() && child("widget_result")->isHidden());
    EXPECT_FALSE(enabled({"start_measure_button"}) || enabled({"true_start_button"}));
    bar_.receive_status(1);
    EXPECT_TRUE(
        enabled({"start_measure_button", "lineEdit_value_max", "true_start_button", "pushButton_set_config"}));
    click("start_measure_button");
    EXPECT_EQ(starts_.at(0), (QVariantList{270, 230, 100}));
    EXPECT_EQ(child<QPushButton>("start_measure_button")->text(), "停止测量");
    EXPECT_FALSE(enabled({"pushButton_set_config"}));

    bar_.receive_status(0);
    EXPECT_FALSE(enabled({"true_start_button"}));
    bar_.receive_status(1);
    EXPECT_FALSE(enabled({"start_measure_button"}) || enabled({"lineEdit_value_min"}));
    EXPECT_TRUE(enabled({"true_start_button"}));
    bar_.updateCurRound(42);
    EXPECT_EQ(text("lineEdit_current_round"), "42");
    bar_.updateMeasureResult(false);
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->text(), "NG");
    EXPECT_EQ(child<QLabel>("label_ok_or_ng")->styleSheet(), "color:red;");
    EXPECT_TRUE(enabled({"start_measure_button", "lineEdit_value_max", "pushButton_set_config"}));

    child<QLineEdit>("lineEdit_value_max")->clear();
    QTest::keyClicks(child<QLineEdit>("lineEdit_value_max"), "12a34567");
    EXPECT_EQ(text("lineEdit_value_max"), "12345") << "five digits at most";
    child<QLineEdit>("lineEdit_measure_round")->clear();
    click("start_measure_button");
    EXPECT_EQ(starts_.at(1), (QVariantList{12345, 230, 0}));
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
    kes_test::SignalLog sent(&bar_, &MeasureToolBar::sig_send_sn);
    QTest::keyClicks(sn, "K77");
    EXPECT_EQ(sent.size(), 0) << "typing alone sends nothing";
    QTest::keyClick(sn, Qt::Key_Return);
    EXPECT_EQ(sent.texts(), QStringList{"K77"});
    kes_test::SignalLog config(&bar_, &MeasureToolBar::sig_set_config);
    click("pushButton_set_config");
    EXPECT_EQ(config.size(), 1);
    EXPECT_EQ(sent.size(), 2) << "leaving the field finishes the editing too";
    bar_.showPanels(false);
    EXPECT_TRUE(child("widget_measure")->isHidden() && child("widget_result")->isHidden());
}

// The SN names files: separators are replaced where the operator sees it, and said why,
// before the test announces itself and then the serial number, once.
TEST_F(MeasureToolBarTest, TrueValueTestAnnouncesItselfThenTheSerialNumberOnce)
{
    bar_.receive_status(1);
    child<QLineEdit>("lineEdit_sn_code")->setText("../SN\\1");
    child<QLabel>("label_true_result")->setText("OK");
    QStringList order;
    QObject::connect(&bar_, &MeasureToolBar::sig_true_status,
                     [&] { order << (script_.allShown() ? "status" : "early"); });
    QObject::connect(&bar_, &MeasureToolBar::sig_true_, [&](QString sn) { order << "sn:" + sn; });
    script_.expect("SN码中的“/”和“\\”已替换为“_”：.._SN_1");
    click("true_start_button");
    EXPECT_EQ(order, (QStringList{"status", "sn:.._SN_1"}));
    EXPECT_EQ(text("lineEdit_sn_code"), ".._SN_1");
    EXPECT_FALSE(enabled({"lineEdit_sn_code"}) || enabled({"true_start_button"})
                 || enabled({"start_measure_button"}));
    EXPECT_TRUE(child<QLabel>("label_true_result")->text().isEmpty());
    EXPECT_EQ(text("lineEdit_true_cur_round"), "0");
    bar_.updateTrueCurRound(100);
    EXPECT_EQ(text("lineEdit_true_cur_round"), "100");
    bar_.updateTrueStatus(true);
    EXPECT_EQ(child<QLabel>("label_true_result")->styleSheet(), "color:green;");
    EXPECT_TRUE(enabled({"lineEdit_sn_code", "true_start_button", "start_measure_button"}));
}
