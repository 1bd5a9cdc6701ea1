#include "kes_measure/accuracy_info.h"
#include "kes_measure_config/accuracy_config.h"
#include "kes_measure_config/threshold_config.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace {

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void putThresholdFile(const QByteArray& bytes)
{
    QDir().mkpath(threshold_config::directory(appDir()));
    QFile file(threshold_config::filePath(appDir()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QLineEdit* field(AccuracyInfo& info, const QString& name)
{
    return info.findChild<QLineEdit*>(name);
}

// The window keeps its files below the application directory, which the viewer shares in the
// build tree: each case moves what is there aside, starts without configuration and puts the
// earlier files back afterwards.
class AccuracyInfoFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& dir : dirs()) {
            QDir(dir + kAside).removeRecursively();
            QDir().rename(dir, dir + kAside);
        }
    }
    void TearDown() override
    {
        for (const QString& dir : dirs()) {
            QDir(dir).removeRecursively();
            QDir().rename(dir + kAside, dir);
        }
    }

private:
    static QStringList dirs() { return {threshold_config::directory(appDir()), appDir() + "/AccuracyInfoConfig"}; }
    static constexpr const char* kAside = ".before-test";
};

} // namespace

TEST_F(AccuracyInfoFiles, RowsNeedBothTextsAndNumbersAreStoredAsParsed)
{
    AccuracyInfo info;
    info.recieveSetConfigBtnClicked();
    ASSERT_TRUE(info.isVisible());
    field(info, "lineEdit_angle_1")->setText("90.5");
    field(info, "lineEdit_true_value_1")->setText("1.25");
    field(info, "lineEdit_angle_2")->setText("180");
    field(info, "lineEdit_angle_3")->setText("abc");
    field(info, "lineEdit_true_value_3")->setText("2");
    field(info, "lineEdit_true_value_14")->setText("7");
    field(info, "lineEdit_angle_14")->setText("270");
    field(info, "lineEdit_ab_value")->setText("12.345678");
    field(info, "lineEdit_re_value")->setText("x");
    QTest::mouseClick(info.findChild<QWidget*>("pushButton_ok"), Qt::LeftButton);
    EXPECT_FALSE(info.isVisible()) << "OK closes the window";
    ASSERT_EQ(info.true_values_.size(), 14u);
    EXPECT_EQ(info.true_values_[0].angle, 90.5);
    EXPECT_EQ(info.true_values_[0].true_value, 1.25);
    EXPECT_EQ(info.true_values_[1].angle, 0.0) << "no true value: an empty row";
    EXPECT_EQ(info.true_values_[2].angle, 0.0);
    EXPECT_EQ(info.true_values_[2].true_value, 2.0);
    EXPECT_EQ(info.true_values_[13].angle, 270.0);
    EXPECT_EQ(contents(threshold_config::filePath(appDir())), "12.3457,0");
    EXPECT_EQ(info.getThresholds(), std::make_pair(12.345678f, 0.0f));
    EXPECT_EQ(field(info, "lineEdit_re_value")->text(), "x") << "fields stay as typed";
    EXPECT_EQ(contents(accuracy_config::filePath(appDir())), accuracy_config::jsonText(info.true_values_).toUtf8());
}

TEST_F(AccuracyInfoFiles, ConstructionReadsTheThresholdFileVerbatim)
{
    putThresholdFile("1.5,3");
    AccuracyInfo info;
    EXPECT_EQ(field(info, "lineEdit_ab_value")->text(), "1.5");
    EXPECT_EQ(field(info, "lineEdit_re_value")->text(), "3");
    EXPECT_EQ(info.getThresholds(), std::make_pair(1.5f, 3.0f));

    putThresholdFile("0.7");
    AccuracyInfo withoutComma;
    EXPECT_EQ(withoutComma.getThresholds(), std::make_pair(0.7f, 0.0f));
    EXPECT_TRUE(field(withoutComma, "lineEdit_re_value")->text().isEmpty());
}

TEST_F(AccuracyInfoFiles, NoDirectoryMeansNoLimitsAndClosingKeepsTheLastConfirmedTable)
{
    AccuracyInfo info;
    EXPECT_EQ(info.getThresholds(), std::make_pair(0.0f, 0.0f));
    EXPECT_TRUE(field(info, "lineEdit_ab_value")->text().isEmpty());
    field(info, "lineEdit_angle_1")->setText("45");
    field(info, "lineEdit_true_value_1")->setText("3");
    field(info, "lineEdit_ab_value")->setText("0.5");
    info.okBtnClicked();
    const QByteArray json = contents(accuracy_config::filePath(appDir()));

    info.recieveSetConfigBtnClicked();
    field(info, "lineEdit_angle_1")->setText("50");
    field(info, "lineEdit_ab_value")->setText("9");
    info.close();
    EXPECT_FALSE(info.isVisible());
    EXPECT_EQ(info.true_values_[0].angle, 45.0);
    EXPECT_EQ(info.getThresholds(), std::make_pair(0.5f, 0.0f));
    EXPECT_EQ(contents(accuracy_config::filePath(appDir())), json);
    EXPECT_EQ(contents(threshold_config::filePath(appDir())), "0.5,0");
}

TEST_F(AccuracyInfoFiles, IntensitiesFillAtMostTheFourteenFieldsAndTheStartClearsThem)
{
    AccuracyInfo info;
    QList<float> values;
    for (int i = 0; i < 20; ++i)
        values.append(100.5f + float(i));
    info.showIntensities(values);
    EXPECT_EQ(field(info, "lineEdit_intensity_1")->text(), "100.5");
    EXPECT_EQ(field(info, "lineEdit_intensity_14")->text(), "113.5");
    EXPECT_FALSE(field(info, "lineEdit_intensity_14")->isEnabled());
    info.showIntensities({1.23456789f});
    EXPECT_EQ(field(info, "lineEdit_intensity_1")->text(), "1.23457");
    EXPECT_EQ(field(info, "lineEdit_intensity_2")->text(), "101.5") << "later fields untouched";
    info.recieveStartBtnClicked();
    for (int n = 1; n <= 14; ++n)
        EXPECT_TRUE(field(info, QString("lineEdit_intensity_%1").arg(n))->text().isEmpty());
}
