#include "kes_measure/accuracy_info.h"
#include "kes_measure/measure_toolbar.h"
#include "kes_measure_config/accuracy_config.h"
#include "kes_measure_config/threshold_config.h"

#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST(ThresholdText, SplitsAtCommasUpToTheFirstNulAndFormatsSixDigits)
{
    const struct {
        QByteArray bytes;
        const char *absolute, *relative;
    } cases[] = {{"1.5,3", "1.5", "3"},           {"0.25", "0.25", ""}, {QByteArray("2,4\0,9", 6), "2", "4"},
                 {QByteArray("\0,9", 3), "", ""}, {",7,8", "", "7"},    {" 1 ,\xb5", " 1 ", "\u00b5"}};
    for (const auto& c : cases) {
        const auto texts = threshold_config::parse(c.bytes);
        EXPECT_EQ(texts.absolute, QString::fromUtf8(c.absolute)) << c.bytes.toStdString();
        EXPECT_EQ(texts.relative, QString::fromUtf8(c.relative)) << c.bytes.toStdString();
    }
    EXPECT_EQ(threshold_config::format(0.5f, 2.0f), "0.5,2");
    EXPECT_EQ(threshold_config::format(12.345678f, 0.0f), "12.3457,0");
    EXPECT_EQ(threshold_config::format(0.1f, 1e-7f), "0.1,1e-07");
}

// Reading gives nothing and keeps the texts without the directory, without the file or with a
// directory in its place; writing truncates and adds no line end. A directory that cannot be
// created is reported and nothing is written.
TEST(ConfigFiles, ThresholdAndAccuracyFilesOnDisk)
{
    QTemporaryDir dir;
    const QString app = dir.path();
    kes_test::DebugLog debug;
    const QString threshold_file = threshold_config::filePath(app);
    threshold_config::Texts texts{"keep", "keep"};
    EXPECT_FALSE(threshold_config::read(app, texts)) << "no directory";
    EXPECT_TRUE(debug.lines().isEmpty());
    QDir().mkpath(threshold_config::directory(app));
    EXPECT_FALSE(threshold_config::read(app, texts)) << "directory without file";
    EXPECT_EQ(texts.absolute, "keep");
    ASSERT_TRUE(threshold_config::write(app, 1.5f, 3.0f));
    EXPECT_EQ(threshold_file, app + "/ThresholdValueConfig/ThresholdValueConfig.txt");
    EXPECT_EQ(contents(threshold_file), "1.5,3");
    ASSERT_TRUE(threshold_config::write(app, 0.0f, 0.0f));
    EXPECT_EQ(contents(threshold_file), "0,0") << "truncated, not appended";
    put(threshold_file, QByteArray("0.7\0,5", 6));
    ASSERT_TRUE(threshold_config::read(app, texts));
    EXPECT_EQ(texts.absolute, "0.7");
    EXPECT_TRUE(texts.relative.isEmpty());
    QFile::remove(threshold_file);
    QDir().mkpath(threshold_file);
    EXPECT_FALSE(threshold_config::read(app, texts)) << "a directory in the file's place";
    EXPECT_EQ(debug.lines(), (QStringList{"file.open", "file.open"}));
    EXPECT_EQ(texts.absolute, "0.7");
    EXPECT_FALSE(threshold_config::write(app, 1.0f, 2.0f)) << "a directory in the file's place";

    ASSERT_TRUE(accuracy_config::write(app, accuracy_config::jsonText({{90.5, 1.25}, {180, 3}})));
    EXPECT_EQ(accuracy_config::filePath(app), app + "/AccuracyInfoConfig/AccuracyInfoConfig.json");
    const char* const row = "        {\n            \"Angle\": %1,\n            \"True Value\": %2\n        }";
    EXPECT_EQ(contents(accuracy_config::filePath(app)),
              QString("{\n    \"Array\": [\n%1,\n%2\n    ]\n}\n")
                  .arg(QString(row).arg(90.5).arg(1.25), QString(row).arg(180).arg(3)));
    ASSERT_TRUE(accuracy_config::write(app, accuracy_config::jsonText({})));
    EXPECT_EQ(contents(accuracy_config::filePath(app)), "{\n    \"Array\": [\n    ]\n}\n");

    const QString blocked = app + "/blocked";
    put(blocked + "/ThresholdValueConfig", "a file");
    put(blocked + "/AccuracyInfoConfig", "a file");
    EXPECT_FALSE(threshold_config::write(blocked, 1.0f, 2.0f));
    EXPECT_FALSE(accuracy_config::write(blocked, accuracy_config::jsonText({})));
    const QStringList lines = debug.lines().mid(2);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Config path create error: ")
                && lines[0].contains(blocked + "/ThresholdValueConfig"));
    EXPECT_TRUE(lines[1].startsWith("Accuracy infomation comfig path create error: ")
                && lines[1].contains(blocked + "/AccuracyInfoConfig"));
    EXPECT_EQ(contents(blocked + "/ThresholdValueConfig"), "a file");
    EXPECT_EQ(contents(blocked + "/AccuracyInfoConfig"), "a file");
}

QString appDir()
{
    return QCoreApplication::applicationDirPath();
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

// Without a directory there are no limits, and closing keeps the last confirmed table; a new
// window reads the threshold file as it stands. Rows need both texts, and numbers are stored as
// parsed; the intensities fill at most the fourteen fields, and the start clears them.
TEST_F(AccuracyInfoFiles, TablesThresholdsAndIntensities)
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
    put(threshold_config::filePath(appDir()), "1.5,3");
    AccuracyInfo reading;
    EXPECT_EQ(field(reading, "lineEdit_ab_value")->text(), "1.5");
    EXPECT_EQ(field(reading, "lineEdit_re_value")->text(), "3");
    EXPECT_EQ(reading.getThresholds(), std::make_pair(1.5f, 3.0f));
    put(threshold_config::filePath(appDir()), "0.7");
    AccuracyInfo without_comma;
    EXPECT_EQ(without_comma.getThresholds(), std::make_pair(0.7f, 0.0f));
    EXPECT_TRUE(field(without_comma, "lineEdit_re_value")->text().isEmpty());
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

// Locked until a lidar connects; a running range test keeps its controls locked across a
// reconnect until its verdict comes. Empty or filtered fields send zero. Return in the serial
// field sends it once. The SN names files: separators are replaced where the operator sees it,
// and said why, before the true-value test announces itself and then the serial number, once.
TEST_F(MeasureToolBarTest, RangeTestThenSerialNumberAndTrueValueTest)
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
    bar_.updateMeasureResult(true);

    bar_.showPanels(true);
    bar_.show();
    bar_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar_)) << "focus events need an active window";
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

    sn->setText("../SN\\1");
    child<QLabel>("label_true_result")->setText("OK");
    QStringList order;
    QObject::connect(&bar_, &MeasureToolBar::sig_true_status,
                     [&] { order << (script_.allShown() ? "status" : "early"); });
    QObject::connect(&bar_, &MeasureToolBar::sig_true_, [&](QString code) { order << "sn:" + code; });
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
    bar_.showPanels(false);
    EXPECT_TRUE(child("widget_measure")->isHidden() && child("widget_result")->isHidden());
}
