#include "kes_measure_config/accuracy_config.h"
#include "kes_measure_config/threshold_config.h"

#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

namespace {

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

class ConfigFiles : public ::testing::Test {
protected:
    QString app() const { return dir_.path(); }
    QTemporaryDir dir_;
};

} // namespace

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

TEST_F(ConfigFiles, ThresholdFileIsWrittenWithoutLineEndAndReadBack)
{
    ASSERT_TRUE(threshold_config::write(app(), 1.5f, 3.0f));
    EXPECT_EQ(threshold_config::filePath(app()), app() + "/ThresholdValueConfig/ThresholdValueConfig.txt");
    EXPECT_EQ(contents(threshold_config::filePath(app())), "1.5,3");
    ASSERT_TRUE(threshold_config::write(app(), 0.0f, 0.0f));
    EXPECT_EQ(contents(threshold_config::filePath(app())), "0,0") << "truncated, not appended";

    put(threshold_config::filePath(app()), QByteArray("0.7\0,5", 6));
    threshold_config::Texts texts;
    ASSERT_TRUE(threshold_config::read(app(), texts));
    EXPECT_EQ(texts.absolute, "0.7");
    EXPECT_TRUE(texts.relative.isEmpty());
}

TEST_F(ConfigFiles, ThresholdFileThatIsMissingOrUnreadableGivesNothing)
{
    kes_test::DebugLog debug;
    threshold_config::Texts texts{"keep", "keep"};
    EXPECT_FALSE(threshold_config::read(app(), texts)) << "no directory";
    EXPECT_TRUE(debug.lines().isEmpty());

    QDir().mkpath(threshold_config::directory(app()));
    EXPECT_FALSE(threshold_config::read(app(), texts)) << "directory without file";
    QDir().mkpath(threshold_config::filePath(app()));
    EXPECT_FALSE(threshold_config::read(app(), texts)) << "a directory in the file's place";
    EXPECT_EQ(debug.lines(), (QStringList{"file.open", "file.open"}));
    EXPECT_EQ(texts.absolute, "keep");
    EXPECT_FALSE(threshold_config::write(app(), 1.0f, 2.0f)) << "a directory in the file's place";
}

TEST_F(ConfigFiles, DirectoriesThatCannotBeCreatedAreReportedAndNothingIsWritten)
{
    put(app() + "/ThresholdValueConfig", "a file");
    put(app() + "/AccuracyInfoConfig", "a file");
    kes_test::DebugLog debug;
    EXPECT_FALSE(threshold_config::write(app(), 1.0f, 2.0f));
    EXPECT_FALSE(accuracy_config::write(app(), accuracy_config::jsonText({})));
    ASSERT_EQ(debug.lines().size(), 2);
    EXPECT_TRUE(debug.lines()[0].startsWith("Config path create error: "));
    EXPECT_TRUE(debug.lines()[0].contains(app() + "/ThresholdValueConfig"));
    EXPECT_TRUE(debug.lines()[1].startsWith("Accuracy infomation comfig path create error: "));
    EXPECT_TRUE(debug.lines()[1].contains(app() + "/AccuracyInfoConfig"));
    EXPECT_EQ(contents(app() + "/ThresholdValueConfig"), "a file");
    EXPECT_EQ(contents(app() + "/AccuracyInfoConfig"), "a file");
}

TEST_F(ConfigFiles, AccuracyFileHoldsTheRowsInQtIndentedForm)
{
    ASSERT_TRUE(accuracy_config::write(app(), accuracy_config::jsonText({{90.5, 1.25}, {180, 3}})));
    EXPECT_EQ(accuracy_config::filePath(app()), app() + "/AccuracyInfoConfig/AccuracyInfoConfig.json");
    EXPECT_EQ(contents(accuracy_config::filePath(app())), "{\n"
                                                          "    \"Array\": [\n"
                                                          "        {\n"
                                                          "            \"Angle\": 90.5,\n"
                                                          "            \"True Value\": 1.25\n"
                                                          "        },\n"
                                                          "        {\n"
                                                          "            \"Angle\": 180,\n"
                                                          "            \"True Value\": 3\n"
                                                          "        }\n"
                                                          "    ]\n"
                                                          "}\n");
    ASSERT_TRUE(accuracy_config::write(app(), accuracy_config::jsonText({})));
    EXPECT_EQ(contents(accuracy_config::filePath(app())), "{\n    \"Array\": [\n    ]\n}\n");
}
