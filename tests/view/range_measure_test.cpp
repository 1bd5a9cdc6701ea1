#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// The last line of a measure data file.
const QString kEnd = QStringLiteral("*****************************");

// The index of the one point that sits 280 mm from its wall in the NG scenes.
constexpr size_t kNgIndex = kN * 3 + 40;

Revolution ngRoom()
{
    return room(250.0, kNgIndex, 280.0);
}

void send(LidarGLWidget& view, const Revolution& blocks, int times = 1)
{
    for (int t = 0; t < times; ++t)
        for (const auto& block : blocks)
            view.receiveBlock(block);
}

QDir measureDir()
{
    return QDir(QCoreApplication::applicationDirPath() + "/MeasureData");
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n');
}

// The angles of the records between two section lines of a measure data file.
std::vector<double> sectionAngles(const QStringList& lines, const QString& from, const QString& to)
{
    std::vector<double> angles;
    const int start = lines.indexOf(from);
    const int end = lines.indexOf(to, start + 1);
    for (int i = start + 1; start >= 0 && i < end; ++i)
        angles.push_back(lines[i].section(',', 0, 0).toDouble());
    return angles;
}

class RangeMeasureTest : public ::testing::Test {
protected:
    LidarGLWidget view_;
    kes_test::SignalLog rounds_{&view_, &LidarGLWidget::sig_update_cur_round};
    kes_test::SignalLog results_{&view_, &LidarGLWidget::sig_update_res};
    kes_test::SignalLog screenshots_{&view_, &LidarGLWidget::sig_update_screenshot};
};

} // namespace

// One angle inside each octant, its boundaries and beyond: the cosine of the angle to the
// nearest main direction.
TEST(ProjectionFactor, GivesThePerpendicularDistanceToTheNearestWall)
{
    // clang-format off
    const std::pair<float, float> cases[] = {
        {10, 0.98480775f}, {60, 0.8660254f},  {120, 0.8660254f}, {170, 0.98480775f}, {200, 0.93969262f},
        {260, 0.98480775f}, {300, 0.8660254f}, {350, 0.98480775f}, {0, 1},             {45, 0.70710678f},
        {90, 1},            {180, 1},          {360, 1},           {361, 0},            {-1, 0}};
    // clang-format on
    for (const auto& [angle, factor] : cases)
        EXPECT_NEAR(projectionFactor(angle), factor, 1e-6) << angle;
}

TEST_F(RangeMeasureTest, CountsItsRoundsAndReportsOkOnTheFirstPointAfterThem)
{
    send(view_, room(250.0));
    view_.startMeasure(270, 230, 3);
    send(view_, room(250.0), 3);
    EXPECT_EQ(rounds_.firsts(), (QVariantList{1, 2, 3}));
    EXPECT_TRUE(results_.size() == 0);
    send(view_, room(250.0));
    EXPECT_EQ(results_.firsts(), QVariantList{true});
    EXPECT_EQ(rounds_.size(), 3);
    EXPECT_EQ(view_.drawVertices().size(), kPoints);

    send(view_, room(280.0), 2);
    EXPECT_EQ(results_.size(), 1) << "an ended measurement judges nothing";
}

TEST_F(RangeMeasureTest, ZeroRoundsEndsOnTheFirstCollectedPoint)
{
    view_.startMeasure(270, 230, 0);
    send(view_, room(280.0));
    EXPECT_EQ(results_.firsts(), QVariantList{true});
    EXPECT_TRUE(rounds_.size() == 0);
    EXPECT_EQ(view_.drawVertices().size(), kPoints) << "the frame is published live";
}

TEST_F(RangeMeasureTest, HoldsTheNgFrameForSixFramesSavesItAndAsksForAScreenshot)
{
    measureDir().removeRecursively();
    view_.setSnCode("HOLD/1");
    // Blocks first stored in the order 4, 5, 6, 1, 2, 3: the records come unsorted.
    const auto ng = ngRoom();
    for (size_t b : {3, 4, 5, 0, 1, 2})
        view_.receiveBlock(ng[b]);
    view_.startMeasure(270, 230, 100);
    send(view_, ng);

    EXPECT_EQ(rounds_.firsts(), QVariantList{1});
    EXPECT_EQ(results_.firsts(), QVariantList{false});
    ASSERT_EQ(view_.drawVertices().size(), kPoints) << "the measured points of the NG frame";
    size_t red = 0;
    for (const QVector3D& colour : view_.drawColors())
        red += colour == QVector3D(1, 0, 0) ? 1 : 0;
    EXPECT_EQ(red, 1u);

    send(view_, room(250.0), 4);
    EXPECT_EQ(results_.size(), 5);
    EXPECT_TRUE(screenshots_.size() == 0);
    EXPECT_EQ(view_.drawColors().size(), kPoints) << "the NG frame stays";
    send(view_, room(250.0));
    EXPECT_EQ(results_.firsts(), QVariantList({false, false, false, false, false, false}));
    EXPECT_EQ(screenshots_.texts(), QStringList{"HOLD_1_"}) << "separators never reach a file name";
    EXPECT_EQ(rounds_.size(), 1);

    send(view_, room(280.0));
    EXPECT_EQ(results_.size(), 6) << "the seventh frame is live and measures nothing";
    EXPECT_NE(view_.drawColors().front(), QVector3D(0, 0, 1));

    const QString path = view_.measureFileName();
    EXPECT_TRUE(path.startsWith(measureDir().path() + "/HOLD_1_"));
    ASSERT_TRUE(kes_test::waitFor([&] { return readLines(path).contains(kEnd); }));
    const QStringList lines = readLines(path);
    EXPECT_EQ(lines.mid(0, 3),
              (QStringList{"SN,HOLD_1", "angle,disVal,distance", "***************NG_data***************"}));
    const std::vector<double> ngAngles =
        sectionAngles(lines, "***************NG_data***************", "******************************");
    ASSERT_EQ(ngAngles.size(), 1u);
    EXPECT_NEAR(ngAngles[0], pointAngle(kNgIndex), 1e-3);
    EXPECT_NEAR(lines[3].section(',', 1, 1).toDouble(), 0.28, 0.002);
    const std::vector<double> total =
        sectionAngles(lines, "**************total_data***************", "*****************************");
    ASSERT_EQ(total.size(), kPoints);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_EQ(lines.last(), "") << "every line ends with a line feed";
    measureDir().removeRecursively();
}

TEST_F(RangeMeasureTest, ANewStartDuringTheHoldOnlyChangesTheWindow)
{
    view_.startMeasure(270, 230, 100);
    send(view_, ngRoom());
    view_.startMeasure(300, 200, 5);
    send(view_, room(250.0), 5);
    EXPECT_EQ(results_.size(), 6);
    EXPECT_EQ(screenshots_.size(), 1);
    EXPECT_FALSE(view_.rangeMeasure().measuring_);
    EXPECT_TRUE(kes_test::waitFor([&] { return readLines(view_.measureFileName()).contains(kEnd); }))
        << "the save thread has written the file";
    measureDir().removeRecursively();
}

// The line that reports a directory error names the source file and line it is in.
TEST_F(RangeMeasureTest, DirectoryErrorNamesItsSourceLine)
{
    measureDir().removeRecursively();
    QFile in_the_way(measureDir().path());
    ASSERT_TRUE(in_the_way.open(QIODevice::WriteOnly));
    in_the_way.close();
    kes_test::DebugLog log;
    view_.startMeasure(270, 230, 100);
    send(view_, ngRoom());
    ASSERT_TRUE(in_the_way.remove());
    const QString line = log.lines().filter("data path create error:").value(0);
    const QRegularExpressionMatch place =
        QRegularExpression(
            "^\\[([^:]+):(\\d+):createSaveFile \\d{4}-\\d\\d-\\d\\d [0-9:]+\\] data path create error:")
            .match(line);
    ASSERT_TRUE(place.hasMatch()) << line.toStdString();
    QFile source(QStringLiteral(KES_SOURCE_DIR "/") + place.captured(1));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << source.fileName().toStdString();
    EXPECT_TRUE(source.readAll().split('\n').value(place.captured(2).toInt() - 1).contains("createSaveFile"));
}
