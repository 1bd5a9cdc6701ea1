#include "kes_measure/accuracy_info.h"
#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_panels/reset_widget.h"
#include "kes_prompts/prompts.h"
#include "kes_view/glyph_atlas.h"
#include "kes_view/lidargl_widget.h"
#include "kes_view/point_colour.h"
#include "kes_view/view_camera.h"
#include "scan_blocks.h"

#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QToolButton>
#include <QWheelEvent>

#include <memory>

// What every case reads back from a view, shown or not, and the files it writes.
class Unshown : public ::testing::Test {
protected:
    static QString appPath(const QString& name) { return QCoreApplication::applicationDirPath() + "/" + name; }
    static QDir measureDir() { return QDir(appPath("MeasureData")); }
    static QString labelText(const QWidget* w, const char* name) { return w->findChild<QLabel*>(name)->text(); }
    static void feed(LidarGLWidget& view, const Revolution& blocks, int times = 1)
    {
        for (int t = 0; t < times; ++t)
            for (const auto& block : blocks)
                view.receiveBlock(block);
    }
    static QStringList fileLines(const QString& path, const char* codec = "UTF-8")
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QTextCodec::codecForName(codec)->toUnicode(file.readAll()).split('\n');
    }
    static double angleOf(const QVector3D& v)
    {
        const double a = std::atan2(double(v.y()), double(v.x())) * 180.0 / M_PI + 90.0;
        return a < 0 ? a + 360.0 : a;
    }
    static std::vector<uint8_t> storedIds(const LidarGLWidget& view)
    {
        std::vector<uint8_t> ids;
        for (const auto& block : view.frame().blocks())
            ids.push_back(block.block_id);
        return ids;
    }
    static void expectColour(const QVector3D& actual, const QVector3D& expected)
    {
        EXPECT_NEAR((actual - expected).length(), 0, 1e-5) << actual.x() << ", " << actual.y() << ", " << actual.z();
    }
};
using FrameAssembly = Unshown;
using Colouring = Unshown;

// A shown view of 800 x 600 under the virtual display, with pixel functions that place world
// points by the camera's own definition (45 degree field of view, height = zoom).
class ViewTest : public Unshown {
protected:
    static constexpr int kW = 800;
    static constexpr int kH = 600;
    void SetUp() override { view_ = makeView(); }
    static std::unique_ptr<LidarGLWidget> makeView(const QString& fontPath = QString())
    {
        auto view = std::make_unique<LidarGLWidget>();
        if (!fontPath.isEmpty())
            view->setFontPath(fontPath);
        view->resize(kW, kH);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }
    QImage grab() { return view_->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
    // What the X server shows of `widget`, as a person sees it (panels over the GL picture).
    static QImage screen(const QWidget* widget)
    {
        const QPoint corner = widget->mapToGlobal(QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, corner.x(), corner.y(), widget->width(), widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    // The picture of the last paint, read back without painting again.
    QImage lastFrame()
    {
        view_->makeCurrent();
        QImage image(kW, kH, QImage::Format_RGBA8888);
        QOpenGLContext::currentContext()->functions()->glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE,
                                                                    image.bits());
        view_->doneCurrent();
        return image.mirrored().convertToFormat(QImage::Format_RGB32);
    }
    QPointF pixelOf(double x, double y) const
    {
        const double perMetre = (kH / 2.0) / (std::tan(22.5 * M_PI / 180.0) * view_->zoom());
        return {kW / 2.0 + (x - view_->panX()) * perMetre, kH / 2.0 - (y - view_->panY()) * perMetre};
    }
    // How many pixels of colour (r, g, b) (within `tolerance`) lie in the box around the world
    // point, `radius` pixels each way, or between two world points.
    static int count(const QImage& image, QRect box, int r, int g, int b, int tolerance)
    {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = image.rect().contains(x, y) ? QColor(image.pixel(x, y)) : QColor(-1, -1, -1);
                n += std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance
                     && std::abs(c.blue() - b) <= tolerance;
            }
        return n;
    }
    bool anyNear(const QImage& image, double x, double y, int radius, int r, int g, int b, int tolerance = 2) const
    {
        const QPoint p = pixelOf(x, y).toPoint();
        return count(image, QRect(p - QPoint(radius, radius), p + QPoint(radius, radius)), r, g, b, tolerance) > 0;
    }
    // The 5 m ring at 36 degrees, white.
    bool ringAt(const QImage& image) const
    {
        return anyNear(image, 5 * std::cos(M_PI / 5), 5 * std::sin(M_PI / 5), 1, 255, 255, 255, 0);
    }
    void zoomTo(float zoom)
    {
        while (view_->zoom() < zoom - 0.01f)
            view_->zoomOut();
        while (view_->zoom() > zoom + 0.01f)
            view_->zoomIn();
    }
    // Whether `action` led to a paint reaching the window. The view repaints at once where Qt
    // lets it, but a window update already on its way makes Qt defer that paint to it.
    bool paintsAfter(const std::function<void()>& action)
    {
        QSignalSpy swapped(view_.get(), &QOpenGLWidget::frameSwapped);
        action();
        return swapped.count() > 0 || swapped.wait(kes_test::scaled(2000));
    }
    void send(const Revolution& blocks) { feed(*view_, blocks); }
    void moveMouse(QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, pos, view_->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view_.get(), &move);
    }
    void wheel(int delta)
    {
        const QPointF pos(kW / 2.0, kH / 2.0);
        QWheelEvent event(pos, view_->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_.get(), &event);
    }
    std::unique_ptr<LidarGLWidget> view_;
};

// Block 6 publishes; blocks replace their like by identifier and keep their first place; a
// block coming again without returns takes its points away.
TEST_F(FrameAssembly, PublishesAtBlockSixAndPlacesBlocksByIdentifier)
{
    LidarGLWidget view;
    for (uint8_t id : {3, 4, 5}) {
        view.receiveBlock(makeBlock(id, kN, 1000, 10));
        EXPECT_TRUE(view.drawVertices().empty()) << int(id);
    }
    view.receiveBlock(makeBlock(6, kN, 1000, 10));
    ASSERT_EQ(view.drawVertices().size(), 4 * kN);
    ASSERT_EQ(view.drawColors().size(), 4 * kN);
    EXPECT_TRUE(view.frame().vertices().empty());
    EXPECT_NEAR(angleOf(view.drawVertices().front()), deviceAngle(kN, 3, 0), 1e-3);
    EXPECT_NEAR(angleOf(view.drawVertices().back()), deviceAngle(kN, 6, kN - 1), 1e-3);
    EXPECT_NEAR(view.drawVertices().front().length(), 2.0, 1e-5);
    for (uint8_t id : {1, 2, 3})
        view.receiveBlock(makeBlock(id, kN, id == 3 ? 0 : 500));
    view.receiveBlock(makeBlock(6, kN, 500));
    EXPECT_EQ(storedIds(view), (std::vector<uint8_t>{3, 4, 5, 6, 1, 2}));
    EXPECT_EQ(view.drawVertices().size(), 5 * kN);
    EXPECT_NEAR(angleOf(view.drawVertices().front()), deviceAngle(kN, 4, 0), 1e-3);
}

// Identifier 7 is not stored but sets the point count the stored blocks are converted with;
// block 0 lies below the sensor; a single block starts a frame of its own; a change of
// direction drops the positions until the next frame.
TEST_F(FrameAssembly, OddIdentifiersSingleBlocksAndDirectionChanges)
{
    LidarGLWidget view;
    feed(view, revolution(
                   kN, [](size_t) { return 500; }, [](size_t) { return 0; }));
    view.receiveBlock(makeBlock(7, 10, 500));
    EXPECT_EQ(storedIds(view).size(), 6u);
    ASSERT_EQ(view.frame().vertices().size(), 6 * kN);
    EXPECT_NEAR(angleOf(view.frame().vertices()[1]), deviceAngle(10, 1, 1), 1e-3);
    LidarGLWidget below;
    below.receiveBlock(makeBlock(0, kN, 500));
    below.receiveBlock(makeBlock(6, kN, 0));
    ASSERT_EQ(below.drawVertices().size(), kN);
    EXPECT_NEAR((below.drawVertices().front() - QVector3D(0, -1, 0)).length(), 0, 1e-6);
    view.receiveSingleBlock(makeBlock(6, kN, 750));
    EXPECT_EQ(storedIds(view), (std::vector<uint8_t>{6}));
    ASSERT_EQ(view.drawVertices().size(), kN);
    EXPECT_NEAR(view.drawVertices().front().length(), 1.5, 1e-5);
    view.receieveDirChanged();
    EXPECT_TRUE(view.drawVertices().empty());
    EXPECT_EQ(view.drawColors().size(), kN);
    view.receiveBlock(makeBlock(6, kN, 750));
    EXPECT_EQ(view.drawVertices().size(), kN);
}

TEST_F(FrameAssembly, MalformedBlocksAreNeverReadPastTheirEnd)
{
    LidarGLWidget view;
    feed(view, revolution(
                   kN, [](size_t) { return 500; }, [](size_t) { return 255; }));
    kes_sdk::ScanBlockData noLayers;
    noLayers.block_id = 2;
    view.receiveBlock(noLayers);
    kes_sdk::ScanBlockData shortIntensities = makeBlock(6, kN, 500, 255);
    shortIntensities.layers[0].intensities.resize(2);
    view.receiveBlock(shortIntensities);
    EXPECT_EQ(storedIds(view), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(view.drawVertices().size(), 5 * kN);
    // Block 6's points from index 2 on have no intensity and are coloured as 0.
    expectColour(view.drawColors()[4 * kN + 1], {1, 0, 0});
    expectColour(view.drawColors()[4 * kN + 2], {0, 0, 1});
    // A block without layers as the last one leaves n = 0 and still does not fail.
    view.receiveBlock(noLayers);
    EXPECT_EQ(view.frame().vertices().size(), 5 * kN);
}

TEST_F(Colouring, ModesFollowTheRampsAndReachTheLegendAndStatusValuesThePanelInTheirFormats)
{
    const struct {
        uint32_t mode;
        float intensity, distance;
        QVector3D colour;
    } cases[] = {{2, 0, 5, {0, 1, 1}},       {2, 0, 10, {0, 1, 0}},
                 {2, 0, 15, {1, 1, 0}},      {2, 0, 25, {1, 0, 0}},
                 {2, 0, 2.5f, {0, 0.5f, 1}}, {0, 0, 3, {0, 0, 1}},
                 {0, 255, 3, {1, 0, 0}},     {0, 100, 3, {0, 1, (255 - 4 * 36.25f) / 255}},
                 {9, 255, 3, {1, 0, 0}},     {1, 100, 30, {0, 0, 1}}};
    for (const auto& c : cases)
        expectColour(pointColour(c.mode, c.intensity, c.distance), c.colour);
    LidarGLWidget view;
    view.receiveColorMode(2);
    EXPECT_EQ(labelText(view.colorLabel(), "label_2"), "Max:20m");
    view.receiveSingleBlock(makeBlock(6, 4, 12500, 0));
    expectColour(view.drawColors().front(), {1, 0, 0});
    view.receiveColorMode(0x100);
    EXPECT_EQ(labelText(view.colorLabel(), "label_2"), "Max:255");
    view.receiveSingleBlock(makeBlock(6, 4, 12500, 0));
    expectColour(view.drawColors().front(), {0, 0, 1});
    QWidget* info = view.infoWidget();
    view.receiveMotor(600);
    EXPECT_EQ(labelText(info, "label"), "10.0Hz");
    view.receiveMotor(1234);
    EXPECT_EQ(labelText(info, "label"), "20.6Hz");
    view.receiveHV_Voltage(123.456789f);
    EXPECT_EQ(labelText(info, "stateLabel_hv"), "123.457V");
    view.receiveAPD_temp(36.6f);
    EXPECT_EQ(labelText(info, "stateLabel_temp"), "37℃");
    view.receiveState("active");
    EXPECT_EQ(labelText(info, "stateLabel"), "NORAML");
}

// The zoom's steps are checked on the shown view; here its floor, the bearing and the
// perpendicular distance to the nearest wall.
TEST(ViewMaths, TheLeastZoomTheBearingAtTheOriginAndOnSignedZerosAndTheProjectionFactor)
{
    EXPECT_FLOAT_EQ(view_camera::zoomedIn(0.1f), 0.1f);
    const struct {
        double x, y;
        float bearing;
    } bearings[] = {{0, 0, 180}, {0, 1, 180},  {1, 0, 90},    {1, -0.0, 90},
                    {0, -1, 0},  {-1, 0, 270}, {-1, -1, 315}, {1, -1, 45}};
    for (const auto& b : bearings)
        EXPECT_FLOAT_EQ(view_camera::bearing(b.x, b.y), b.bearing) << b.x << ", " << b.y;
    // The cosine of the angle to the nearest main direction, inside each octant, on its
    // boundaries and beyond.
    // clang-format off
    const std::pair<float, float> cases[] = {
        {10, 0.98480775f}, {60, 0.8660254f},  {120, 0.8660254f}, {170, 0.98480775f}, {200, 0.93969262f},
        {260, 0.98480775f}, {300, 0.8660254f}, {350, 0.98480775f}, {0, 1},             {45, 0.70710678f},
        {90, 1},            {180, 1},          {360, 1},           {361, 0},            {-1, 0}};
    // clang-format on
    for (const auto& [angle, factor] : cases)
        EXPECT_NEAR(projectionFactor(angle), factor, 1e-6) << angle;
}

const QString kFileEnd = QStringLiteral("*****************************");

// The index of the one point that sits 280 mm from its wall in the NG scenes.
constexpr size_t kNgIndex = kN * 3 + 40;

const Revolution kNgRoom = room(250.0, kNgIndex, 280.0);

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

// A view never shown, its measurements' signals logged; their files removed before and after.
class RangeMeasureTest : public Unshown {
protected:
    void SetUp() override { removeFiles(); }
    void TearDown() override { removeFiles(); }
    static void removeFiles()
    {
        for (const char* dir : {"MeasureData", "SN_TrueValue_Data", "ThresholdValueConfig", "AccuracyInfoConfig"})
            QDir(appPath(dir)).removeRecursively();
    }
    void send(const Revolution& blocks, int times = 1) { feed(view_, blocks, times); }
    QStringList dayLines() const { return fileLines(dayFile(), "gb2312"); }
    QString dayFile() const
    {
        return appPath("SN_TrueValue_Data/" + QDate::currentDate().toString("yyyy_MM_dd") + ".csv");
    }
    // One whole true-value test of unit `sn` over 100 revolutions made by `frame`.
    void runTest(const QString& sn, const std::function<Revolution(int)>& frame)
    {
        view_.setSnCode(sn);
        view_.receieveTrueInfo();
        for (int r = 0; r < 100; ++r)
            send(frame(r));
    }
    LidarGLWidget view_;
    kes_test::SignalLog rounds_{&view_, &LidarGLWidget::sig_update_cur_round};
    kes_test::SignalLog results_{&view_, &LidarGLWidget::sig_update_res};
    kes_test::SignalLog screenshots_{&view_, &LidarGLWidget::sig_update_screenshot};
    QSignalSpy trueRounds_{&view_, &LidarGLWidget::sig_true_cur_round};
    QSignalSpy status_{&view_, &LidarGLWidget::sig_true_status_changed};
};

TEST_F(RangeMeasureTest, CountsItsRoundsOrNoneAndReportsOkOnTheFirstPointAfterThem)
{
    send(room(250.0));
    view_.startMeasure(270, 230, 3);
    send(room(250.0), 3);
    EXPECT_EQ(rounds_.firsts(), (QVariantList{1, 2, 3}));
    EXPECT_TRUE(results_.size() == 0);
    send(room(250.0));
    EXPECT_EQ(results_.firsts(), QVariantList{true});
    EXPECT_EQ(rounds_.size(), 3);
    EXPECT_EQ(view_.drawVertices().size(), kPoints);
    send(room(280.0), 2);
    EXPECT_EQ(results_.size(), 1) << "an ended measurement judges nothing";
    view_.startMeasure(270, 230, 0);
    send(room(280.0));
    EXPECT_EQ(results_.firsts(), (QVariantList{true, true})) << "zero rounds end on the first collected point";
    EXPECT_EQ(rounds_.size(), 3);
    EXPECT_EQ(view_.drawVertices().size(), kPoints) << "the frame is published live";
}

TEST_F(RangeMeasureTest, HoldsTheNgFrameForSixFramesSavesItAndAsksForAScreenshot)
{
    view_.setSnCode("HOLD/1");
    // Blocks first stored in the order 4, 5, 6, 1, 2, 3: the records come unsorted.
    const auto ng = kNgRoom;
    for (size_t b : {3, 4, 5, 0, 1, 2})
        view_.receiveBlock(ng[b]);
    view_.startMeasure(270, 230, 100);
    send(ng);
    EXPECT_EQ(rounds_.firsts(), QVariantList{1});
    EXPECT_EQ(results_.firsts(), QVariantList{false});
    ASSERT_EQ(view_.drawVertices().size(), kPoints) << "the measured points of the NG frame";
    EXPECT_EQ(std::count(view_.drawColors().begin(), view_.drawColors().end(), QVector3D(1, 0, 0)), 1);
    send(room(250.0), 4);
    EXPECT_EQ(results_.size(), 5);
    EXPECT_TRUE(screenshots_.size() == 0);
    EXPECT_EQ(view_.drawColors().size(), kPoints) << "the NG frame stays";
    send(room(250.0));
    EXPECT_EQ(results_.firsts(), QVariantList({false, false, false, false, false, false}));
    EXPECT_EQ(screenshots_.texts(), QStringList{"HOLD_1_"}) << "separators never reach a file name";
    EXPECT_EQ(rounds_.size(), 1);
    send(room(280.0));
    EXPECT_EQ(results_.size(), 6) << "the seventh frame is live and measures nothing";
    EXPECT_NE(view_.drawColors().front(), QVector3D(0, 0, 1));
    const QString path = view_.measureFileName();
    EXPECT_TRUE(path.startsWith(measureDir().path() + "/HOLD_1_"));
    ASSERT_TRUE(kes_test::waitFor([&] { return fileLines(path).contains(kFileEnd); }));
    const QStringList lines = fileLines(path);
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
}

TEST_F(RangeMeasureTest, ANewStartDuringTheHoldOnlyChangesTheWindow)
{
    view_.startMeasure(270, 230, 100);
    send(kNgRoom);
    view_.startMeasure(300, 200, 5);
    send(room(250.0), 5);
    EXPECT_EQ(results_.size(), 6);
    EXPECT_EQ(screenshots_.size(), 1);
    EXPECT_FALSE(view_.rangeMeasure().measuring_);
    EXPECT_TRUE(kes_test::waitFor([&] { return fileLines(view_.measureFileName()).contains(kFileEnd); }))
        << "the save thread has written the file";
}

// The line that reports a directory error names the source file and line it is in.
TEST_F(RangeMeasureTest, DirectoryErrorNamesItsSourceLine)
{
    QFile in_the_way(measureDir().path());
    ASSERT_TRUE(in_the_way.open(QIODevice::WriteOnly));
    in_the_way.close();
    kes_test::DebugLog log;
    view_.startMeasure(270, 230, 100);
    send(kNgRoom);
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

// Rows: (180, 2), (90, 1), (270, 0.05), an empty row, and ten more empty rows.
class TrueValueTest : public RangeMeasureTest {
protected:
    static Revolution empty() { return revolutionWithPoint(kN, 0, 0, 0, 0); }
    static QString fieldsAfterTime(const QString& line) { return line.section(',', 1); }
    QLineEdit* field(const QString& name) { return view_.accuracyInfo()->findChild<QLineEdit*>(name); }
    void configure(const QString& ab = "0.01", const QString& re = "0.01", int rows = -1)
    {
        const QStringList angles{"180", "90", "270"}, values{"2", "1", "0.05"};
        for (int i = 0; i < angles.size(); ++i) {
            field(QString("lineEdit_angle_%1").arg(i + 1))->setText(angles[i]);
            field(QString("lineEdit_true_value_%1").arg(i + 1))->setText(values[i]);
        }
        field("lineEdit_ab_value")->setText(ab);
        field("lineEdit_re_value")->setText(re);
        view_.accuracyInfo()->okBtnClicked();
        if (rows >= 0)
            view_.accuracyInfo()->true_values_.resize(rows);
    }
};

TEST_F(TrueValueTest, EvaluatesEveryTargetOverAHundredRevolutionsAndAppendsTheDayFile)
{
    configure();
    for (int r = 0; r < 100; ++r)
        send(ring(r));
    EXPECT_TRUE(trueRounds_.isEmpty()) << "nothing runs before the start";
    runTest("U1", ring);
    ASSERT_EQ(trueRounds_.count(), 100);
    for (int r = 0; r < 100; ++r)
        EXPECT_EQ(trueRounds_.at(r).at(0).toInt(), r + 1);
    ASSERT_EQ(status_.count(), 1);
    EXPECT_FALSE(status_.at(0).at(0).toBool()) << "the 0.05 m target is always NG";
    const QStringList lines = dayLines();
    ASSERT_EQ(lines.size(), 1 + 14 + 1);
    EXPECT_EQ(lines[0], QString::fromUtf8(kHeader));
    EXPECT_EQ(fieldsAfterTime(lines[1]), "U1,180,2,2.001,0.001,0.001,2.002,2,105.5,OK");
    EXPECT_EQ(fieldsAfterTime(lines[2]), "U1,90,1,1.001,0.001,0.001,1.002,1,105.5,OK");
    EXPECT_EQ(fieldsAfterTime(lines[3]), "U1,270,0.05,1.001,0.951,0.001,1.002,1,105.5,NG");
    for (int i = 4; i <= 14; ++i)
        EXPECT_EQ(fieldsAfterTime(lines[i]), "U1,0,0,0,0,0,0,0,0,NG") << i;
    EXPECT_TRUE(QTime::fromString(lines[1].section(',', 0, 0), "hh:mm:ss").isValid());
    EXPECT_EQ(lines.last(), "");
    EXPECT_EQ(field("lineEdit_intensity_1")->text(), "105.5");
    EXPECT_EQ(field("lineEdit_intensity_4")->text(), "0");
}

// Target 180 averages 2.001 m (1 mm off) with a repeatability of 1 mm: each limit alone
// turns it NG.
TEST_F(TrueValueTest, EachLimitDecidesTheVerdictAndUnitsShareTheDayFileWithOneHeader)
{
    const struct {
        const char *sn, *ab, *re, *verdict;
    } units[] = {{"U1", "0.01", "0.0005", "NG"}, {"U2", "0.0005", "0.01", "NG"}, {"U3", "0.01", "0.01", "OK"}};
    for (const auto& unit : units) {
        configure(unit.ab, unit.re, 2);
        runTest(unit.sn, ring);
    }
    const QStringList lines = dayLines();
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
    EXPECT_TRUE(trueRounds_.isEmpty());
    EXPECT_FALSE(QFile::exists(dayFile()));
}

TEST_F(TrueValueTest, FramesWithoutPointsAreLeftOutAndATargetWithoutAnyValueIsNg)
{
    configure("0.01", "0.01", 1);
    runTest("GAPS", [](int r) { return r % 4 == 3 ? empty() : ring(r); });
    QStringList lines = dayLines();
    ASSERT_EQ(lines.size(), 3);
    // 75 revolutions: 50 at 2.000 m with 100, 25 at 2.002 m with 111.
    EXPECT_EQ(fieldsAfterTime(lines[1]), "GAPS,180,2,2.001,0.001,0.001,2.002,2,103.667,OK");
    runTest("NONE", [](int) { return empty(); });
    lines = dayLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(fieldsAfterTime(lines[2]), "NONE,180,2,0,0,0,0,0,0,NG");
    EXPECT_FALSE(status_.last().at(0).toBool());
}

class RenderTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        ASSERT_TRUE(view_->glReady());
        zoomTo(14.0f);
    }
    // Grey glyph pixels of the 5 m ring's label.
    int labelPixels(const QImage& image) const
    {
        return count(image, QRectF(pixelOf(5.05, 0.1), pixelOf(5.9, 0.55)).normalized().toRect(), 153, 153, 153, 6);
    }
    // Where point `index` of a measurement scene lies in the plane.
    static QPointF planeOf(const Revolution& blocks, size_t index)
    {
        const double d = blocks[index / kN - 1].layers[0].ranges[index % kN] * 0.002;
        const double theta = (pointAngle(index) - 90.0) * M_PI / 180.0;
        return {d * std::cos(theta), d * std::sin(theta)};
    }
};

TEST_F(RenderTest, GridRingsAndBlindSectorLieWhereTheCameraPutsThem)
{
    const QImage image = grab();
    ASSERT_EQ(image.size(), QSize(kW, kH));
    const double c = std::cos(M_PI / 5), s = std::sin(M_PI / 5);
    EXPECT_TRUE(anyNear(image, 2.5, 0.5, 0, 77, 77, 77, 1)) << "background";
    EXPECT_TRUE(ringAt(image)) << "5 m ring";
    EXPECT_FALSE(anyNear(image, 5.5 * c, 5.5 * s, 3, 255, 255, 255, 0)) << "beside the 5 m ring";
    EXPECT_TRUE(anyNear(image, c, s, 1, 102, 102, 102, 1)) << "1 m ring";
    EXPECT_TRUE(anyNear(image, 1, -4, 0, 153, 153, 153, 1)) << "blind sector";
    EXPECT_TRUE(anyNear(image, -4, 1, 0, 77, 77, 77, 1)) << "left of the sensor";
    EXPECT_TRUE(anyNear(image, 0, -4.5, 1, 255, 255, 255, 0)) << "vertical axis over the fan";
}

TEST_F(RenderTest, PointIsDrawnInTheColourOfItsModeAtItsPosition)
{
    const double theta = (deviceAngle(kN, 2, 84) - 90) * M_PI / 180;
    const double x = 3.5 * std::cos(theta), y = 3.5 * std::sin(theta);
    const Revolution revolution = revolutionWithPoint(kN, 2, 84, 1750, 100);
    const struct {
        uint32_t mode;
        int r, g, b;
    } modes[] = {{0, 0, 255, 110}, {2, 0, 178, 255}, {1, 0, 0, 255}};
    for (const auto& m : modes) {
        view_->receiveColorMode(m.mode);
        send(revolution);
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, x, y, 2, m.r, m.g, m.b)) << m.mode;
        EXPECT_FALSE(anyNear(image, -x, y, 3, m.r, m.g, m.b)) << "mirrored, mode " << m.mode;
    }
    view_->receieveDirChanged();
    EXPECT_FALSE(anyNear(grab(), x, y, 2, 0, 0, 255)) << "after a direction change";
}

// The font is found under a folder with a Chinese name too, as the file system spells it;
// without it the grid is drawn without labels.
TEST_F(RenderTest, LabelsAppearWithTheFontOnly)
{
    EXPECT_GT(labelPixels(grab()), 20);
    QTemporaryDir dir;
    const QString chinese = dir.filePath("点云工具/字体.otf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(chinese).path()));
    ASSERT_TRUE(QFile::copy(viewFontPath(), chinese));
    view_ = makeView(chinese);
    zoomTo(14.0f);
    EXPECT_TRUE(kes_test::waitFor([&] { return labelPixels(screen(view_.get())) > 20; }, 3000));
    view_ = makeView("/nonexistent/HKGrotesk-Regular-9.otf");
    zoomTo(14.0f);
    const QImage image = grab();
    EXPECT_EQ(labelPixels(image), 0);
    EXPECT_TRUE(ringAt(image)) << "grid without labels";
}

// The logo's white plate covers its whole 177 x 37, margins included, over the grid.
TEST_F(RenderTest, LogoPlateIsWhiteToItsEdges)
{
    const QWidget* plate = view_->findChild<QWidget*>("logo");
    ASSERT_NE(plate, nullptr);
    EXPECT_TRUE(kes_test::waitFor(
        [&] {
            const QImage image = screen(plate);
            const int all = count(image, image.rect(), 255, 255, 255, 0);
            const int inner = count(image, image.rect().adjusted(3, 3, -3, -3), 255, 255, 255, 0);
            return image.size() == QSize(177, 37) && all - inner == 177 * 37 - 171 * 31;
        },
        3000));
}

// Repaints during the hold of an NG frame, as a zoom or a screen grab would cause, still show
// it in blue and its NG point in red; the seventh frame is live again.
TEST_F(RenderTest, TheNgFrameStaysOnScreenUntilTheHoldEnds)
{
    const size_t bad = kN * 3 + 40, good = kN * 2 + 60;
    const Revolution ng = room(250, bad, 280);
    const QPointF badAt = planeOf(ng, bad), goodAt = planeOf(ng, good);
    view_->startMeasure(270, 230, 100);
    for (int frame = 1; frame <= 6; ++frame) {
        send(frame == 1 ? ng : room(250));
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, badAt.x(), badAt.y(), 2, 255, 0, 0, 3)) << frame;
        EXPECT_TRUE(anyNear(image, goodAt.x(), goodAt.y(), 2, 0, 0, 255, 3)) << frame;
    }
    send(ng);
    const QImage image = grab();
    EXPECT_TRUE(anyNear(image, badAt.x(), badAt.y(), 2, 255, 220, 0, 3)) << "live, coloured by intensity";
    EXPECT_FALSE(anyNear(image, goodAt.x(), goodAt.y(), 2, 0, 0, 255, 3));
    view_.reset(); // joins the thread that saves the NG frame
    measureDir().removeRecursively();
}

class ControlTest : public ViewTest {
protected:
    void click(const char* button)
    {
        QTest::mouseClick(view_->resetWidget()->findChild<QToolButton*>(button), Qt::LeftButton);
    }
    QString panel(const char* name) const { return labelText(view_->infoWidget(), name); }
};

// Each step of the buttons and the wheel, near the sensor and far out; the rings follow.
TEST_F(ControlTest, ButtonsAndWheelStepTheZoomAndTheRingsFollow)
{
    const struct {
        const char* button;
        int wheel;
        float zoom;
    } steps[] = {{"ampliftyButton", 0, 0.9f}, {nullptr, 120, 0.8f},  {nullptr, -120, 0.9f},
                 {"narrowButton", 0, 1.0f},   {nullptr, -120, 1.1f}, {nullptr, -120, 2.1f},
                 {nullptr, 120, 1.1f}};
    for (const auto& step : steps) {
        if (step.button)
            click(step.button);
        else
            wheel(step.wheel);
        EXPECT_NEAR(view_->zoom(), step.zoom, 1e-4) << step.zoom;
    }
    for (int k = 0; k < 12; ++k)
        click("ampliftyButton");
    EXPECT_FLOAT_EQ(view_->zoom(), 0.1f);
    for (float zoom : {9.0f, 12.0f}) {
        zoomTo(zoom);
        EXPECT_TRUE(ringAt(grab())) << zoom;
    }
}

TEST_F(ControlTest, DragPansWithTheCursorAndRecentreKeepsTheZoom)
{
    zoomTo(10.0f);
    const float zoom = view_->zoom();
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    moveMouse(QPoint(500, 250), Qt::LeftButton);
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(500, 250));
    EXPECT_NEAR(view_->panX(), -100 * zoom * 0.001f, 1e-5);
    EXPECT_NEAR(view_->panY(), -50 * zoom * 0.001f, 1e-5);
    EXPECT_TRUE(ringAt(grab())) << "the grid moved with the camera";
    moveMouse(QPoint(300, 300), Qt::RightButton);
    EXPECT_NEAR(view_->panX(), -100 * zoom * 0.001f, 1e-5) << "right button does not pan";
    click("resetButton");
    EXPECT_EQ(QPointF(view_->panX(), view_->panY()), QPointF(0, 0));
    EXPECT_FLOAT_EQ(view_->zoom(), zoom);
    EXPECT_TRUE(ringAt(grab()));
}

// The bearing under the cursor in the four directions and at the origin; on a 4:3 view 150
// pixels are the same distance across and up. The point found there is shown, with a yellow
// line, once a frame and only while the cursor is inside.
TEST_F(ControlTest, TheBearingUnderTheCursorAndItsPoint)
{
    zoomTo(10.0f);
    grab();
    const std::pair<QPoint, float> cases[] = {{{400, 150}, 180}, {{600, 300}, 90},  {{400, 450}, 0},
                                              {{200, 300}, 270}, {{400, 300}, 180}, {{550, 150}, 135}};
    for (const auto& [pos, bearing] : cases) {
        moveMouse(pos);
        EXPECT_NEAR(view_->selectAngle(), bearing, 1e-3) << pos.x() << "," << pos.y();
    }
    // Paints and window events still queued from showing and zooming would land in the middle.
    QCoreApplication::processEvents();
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(view_.get(), &enter);
    moveMouse(QPoint(400, 150));
    const Revolution revolution = revolutionWithPoint(kN, 3, kN - 1, 2000, 42);
    const double theta = (deviceAngle(kN, 3, kN - 1) - 90) * M_PI / 180;
    const double x = 2.4 * std::cos(theta), y = 2.4 * std::sin(theta);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    EXPECT_EQ(panel("angle_label"), QString::number((4 * kN - 1) * (270.0f / (6 * kN - 1)), 'f', 2) + "°");
    EXPECT_EQ(panel("distance_label"), "4.00m");
    EXPECT_EQ(panel("intensity_label"), "42");
    EXPECT_TRUE(anyNear(lastFrame(), x, y, 2, 255, 255, 0)) << "yellow line";
    grab();
    EXPECT_EQ(panel("angle_label"), "--") << "shown once per found point";
    QApplication::sendEvent(view_.get(), &leave);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    for (const char* name : {"angle_label", "distance_label", "intensity_label"})
        EXPECT_EQ(panel(name), "--") << name;
    EXPECT_FALSE(anyNear(lastFrame(), x, y, 2, 255, 255, 0));
}

TEST_F(ControlTest, PanelsArePlacedAtTheEdgesOnResize)
{
    view_->resize(1000, 700);
    ASSERT_TRUE(kes_test::waitFor([&] { return view_->size() == QSize(1000, 700); }));
    QWidget* info = view_->infoWidget();
    QWidget* legend = view_->colorLabel();
    EXPECT_EQ(info->geometry(), QRect(QPoint(0, 700 - info->height()), info->size()));
    EXPECT_EQ(legend->geometry(), QRect(QPoint(1000 - legend->width(), 600 - legend->height()), legend->size()));
    EXPECT_EQ(view_->resetWidget()->pos(), QPoint(0, 0));
    EXPECT_EQ(view_->findChild<QWidget*>("logo")->geometry(), QRect(1000 - 177, 700 - 37, 177, 37));
}
