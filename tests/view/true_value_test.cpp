#include "kes_measure/accuracy_info.h"
#include "kes_prompts/prompts.h"
#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextCodec>

#include <limits>

namespace {

const char* const kHeader = "时间,SN码,角度,真值(m),平均值(m),绝对误差(m),相对误差(m),最大值(m),最小值(m),强度,结果";

// The point nearest to 180 degrees is 2 m away and its neighbours 1 m, so only the right
// choice gives the 2 m figures.
size_t nearestTo(double angle)
{
    size_t best = kFirstIndex;
    for (size_t k = kFirstIndex; k < kFirstIndex + kPoints; ++k)
        if (std::fabs(pointAngle(k) - angle) < std::fabs(pointAngle(best) - angle))
            best = k;
    return best;
}

// Revolution r: the ring at 1.000 m on even and 1.002 m on odd revolutions, intensities 100
// and 111; the point at 180 degrees twice as far.
Revolution ring(int r)
{
    const size_t up = nearestTo(180.0);
    const uint16_t raw = r % 2 ? 501 : 500;
    return revolution(
        kN, [=](size_t k) { return k == up ? uint16_t(raw + 500) : raw; },
        [=](size_t) { return uint8_t(r % 2 ? 111 : 100); });
}

Revolution empty()
{
    return revolution(
        kN, [](size_t) { return uint16_t(0); }, [](size_t) { return uint8_t(0); });
}

QString appPath(const QString& name)
{
    return QCoreApplication::applicationDirPath() + "/" + name;
}

QLineEdit* field(AccuracyInfo* info, const QString& name)
{
    return info->findChild<QLineEdit*>(name);
}

// Rows: (180, 2), (90, 1), (270, 0.05), an empty row, and ten more empty rows.
void configure(AccuracyInfo* info, const QString& ab = "0.01", const QString& re = "0.01")
{
    const QStringList angles{"180", "90", "270"};
    const QStringList values{"2", "1", "0.05"};
    for (int i = 0; i < angles.size(); ++i) {
        field(info, QString("lineEdit_angle_%1").arg(i + 1))->setText(angles[i]);
        field(info, QString("lineEdit_true_value_%1").arg(i + 1))->setText(values[i]);
    }
    field(info, "lineEdit_ab_value")->setText(ab);
    field(info, "lineEdit_re_value")->setText(re);
    info->okBtnClicked();
}

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QTextCodec::codecForName("gb2312")->toUnicode(file.readAll()).split('\n');
}

// The fields after the time stamp.
QString fieldsAfterTime(const QString& line)
{
    return line.section(',', 1);
}

class TrueValueTest : public ::testing::Test {
protected:
    void SetUp() override { removeFiles(); }
    void TearDown() override { removeFiles(); }

    static void removeFiles()
    {
        for (const char* dir : {"SN_TrueValue_Data", "ThresholdValueConfig", "AccuracyInfoConfig"})
            QDir(appPath(dir)).removeRecursively();
    }

    QString dayFile() const
    {
        return appPath("SN_TrueValue_Data/" + QDate::currentDate().toString("yyyy_MM_dd") + ".csv");
    }

    // One whole test of unit `sn` over 100 revolutions made by `frame`.
    void runTest(const QString& sn, const std::function<Revolution(int)>& frame)
    {
        view_.setSnCode(sn);
        view_.receieveTrueInfo();
        for (int r = 0; r < 100; ++r)
            for (const auto& block : frame(r))
                view_.receiveBlock(block);
    }

    LidarGLWidget view_;
    QSignalSpy rounds_{&view_, &LidarGLWidget::sig_true_cur_round};
    QSignalSpy status_{&view_, &LidarGLWidget::sig_true_status_changed};
};

} // namespace

TEST_F(TrueValueTest, EvaluatesEveryTargetOverAHundredRevolutionsAndAppendsTheDayFile)
{
    configure(view_.accuracyInfo());
    for (int r = 0; r < 100; ++r)
        for (const auto& block : ring(r))
            view_.receiveBlock(block);
    EXPECT_TRUE(rounds_.isEmpty()) << "nothing runs before the start";

    runTest("U1", ring);
    ASSERT_EQ(rounds_.count(), 100);
    for (int r = 0; r < 100; ++r)
        EXPECT_EQ(rounds_.at(r).at(0).toInt(), r + 1);
    ASSERT_EQ(status_.count(), 1);
    EXPECT_FALSE(status_.at(0).at(0).toBool()) << "the 0.05 m target is always NG";

    const QStringList lines = fileLines(dayFile());
    ASSERT_EQ(lines.size(), 1 + 14 + 1);
    EXPECT_EQ(lines[0], QString::fromUtf8(kHeader));
    EXPECT_EQ(fieldsAfterTime(lines[1]), "U1,180,2,2.001,0.001,0.001,2.002,2,105.5,OK");
    EXPECT_EQ(fieldsAfterTime(lines[2]), "U1,90,1,1.001,0.001,0.001,1.002,1,105.5,OK");
    EXPECT_EQ(fieldsAfterTime(lines[3]), "U1,270,0.05,1.001,0.951,0.001,1.002,1,105.5,NG");
    for (int i = 4; i <= 14; ++i)
        EXPECT_EQ(fieldsAfterTime(lines[i]), "U1,0,0,0,0,0,0,0,0,NG") << i;
    EXPECT_TRUE(QTime::fromString(lines[1].section(',', 0, 0), "hh:mm:ss").isValid());
    EXPECT_EQ(lines.last(), "");

    EXPECT_EQ(field(view_.accuracyInfo(), "lineEdit_intensity_1")->text(), "105.5");
    EXPECT_EQ(field(view_.accuracyInfo(), "lineEdit_intensity_4")->text(), "0");
}

// Target 180 averages 2.001 m (1 mm off) with a repeatability of 1 mm: each limit alone
// turns it NG.
TEST_F(TrueValueTest, EachLimitDecidesTheVerdictAndUnitsShareTheDayFileWithOneHeader)
{
    const struct {
        const char *sn, *ab, *re, *verdict;
    } units[] = {{"U1", "0.01", "0.0005", "NG"}, {"U2", "0.0005", "0.01", "NG"}, {"U3", "0.01", "0.01", "OK"}};
    for (const auto& unit : units) {
        configure(view_.accuracyInfo(), unit.ab, unit.re);
        view_.accuracyInfo()->true_values_.resize(2);
        runTest(unit.sn, ring);
    }
    const QStringList lines = fileLines(dayFile());
    ASSERT_EQ(lines.size(), 1 + 3 * 2 + 1);
    EXPECT_EQ(lines.count(QString::fromUtf8(kHeader)), 1);
    for (int u = 0; u < 3; ++u) {
        EXPECT_EQ(fieldsAfterTime(lines[1 + 2 * u]),
                  QString("%1,180,2,2.001,0.001,0.001,2.002,2,105.5,%2").arg(units[u].sn, units[u].verdict));
        EXPECT_EQ(status_.at(u).at(0).toBool(), units[u].verdict == std::string("OK")) << units[u].sn;
    }
    EXPECT_EQ(fieldsAfterTime(lines[6]), "U3,90,1,1.001,0.001,0.001,1.002,1,105.5,OK");
}

// A table never confirmed since the start judges nothing, so it must not pass the unit.
TEST_F(TrueValueTest, AnEmptyTableIsRefusedWithAReasonAndNoVerdictOfOk)
{
    const Prompts saved = prompts();
    QStringList told;
    prompts().message = [&](const Prompt& prompt) { told << prompt.text; };
    runTest("EMPTY", ring);
    prompts() = saved;
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("真值表为空"))) << told[0].toStdString();
    ASSERT_EQ(status_.count(), 1);
    EXPECT_FALSE(status_.at(0).at(0).toBool());
    EXPECT_TRUE(rounds_.isEmpty());
    EXPECT_FALSE(QFile::exists(dayFile()));
}

TEST_F(TrueValueTest, FramesWithoutPointsAreLeftOutAndATargetWithoutAnyValueIsNg)
{
    configure(view_.accuracyInfo());
    view_.accuracyInfo()->true_values_.resize(1);
    runTest("GAPS", [](int r) { return r % 4 == 3 ? empty() : ring(r); });
    QStringList lines = fileLines(dayFile());
    ASSERT_EQ(lines.size(), 3);
    // 75 revolutions: 50 at 2.000 m with 100, 25 at 2.002 m with 111.
    EXPECT_EQ(fieldsAfterTime(lines[1]), "GAPS,180,2,2.001,0.001,0.001,2.002,2,103.667,OK");

    runTest("NONE", [](int) { return empty(); });
    lines = fileLines(dayFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(fieldsAfterTime(lines[2]), "NONE,180,2,0,0,0,0,0,0,NG");
    EXPECT_FALSE(status_.last().at(0).toBool());
}
