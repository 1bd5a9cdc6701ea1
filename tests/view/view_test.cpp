#include "kes_measure/accuracy_info.h"
#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_panels/reset_widget.h"
#include "kes_view/glyph_atlas.h"
#include "kes_view/lidargl_widget.h"
#include "kes_view/point_colour.h"
#include "kes_view/view_camera.h"

#include <kes_test/prompt_script.h>
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
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <memory>
#include <tuple>

using Revolution = std::vector<kes_sdk::ScanBlockData>;

kes_sdk::ScanBlockData makeBlock(uint8_t id, size_t n, uint16_t range = 0, uint8_t intensity = 0)
{
    kes_sdk::ScanBlockData block;
    block.block_id = id;
    block.layers.push_back({std::vector<uint16_t>(n, range), std::vector<uint8_t>(n, intensity)});
    return block;
}

// The measurement scenes: 126 points a block, the field of view starting at block 1.
constexpr size_t kN = 126;
constexpr size_t kPoints = 6 * kN;

double deviceAngle(size_t index, size_t n = kN)
{
    return double(index) * 270.0 / double(6 * n - 1);
}

// Blocks 1..6 of kN points whose raw range and intensity come from the global index kN * b + j.
Revolution revolution(const std::function<uint16_t(size_t)>& range, const std::function<uint8_t(size_t)>& intensity)
{
    Revolution blocks;
    for (uint8_t b = 1; b <= 6; ++b) {
        blocks.push_back(makeBlock(b, kN));
        for (size_t j = 0; j < kN; ++j) {
            blocks.back().layers[0].ranges[j] = range(kN * b + j);
            blocks.back().layers[0].intensities[j] = intensity(kN * b + j);
        }
    }
    return blocks;
}

Revolution revolutionWithPoint(size_t index, uint16_t range, uint8_t intensity)
{
    return revolution([=](size_t k) { return k == index ? range : uint16_t(0); },
                      [=](size_t k) { return k == index ? intensity : uint8_t(0); });
}

// Raw range that puts the point at `index` on a wall `mm` millimetres away, squarely facing
// the sensor along the nearest main direction (worked out here, not by the code under test).
uint16_t wallRange(size_t index, double mm)
{
    const double a = deviceAngle(index) * M_PI / 180.0;
    const double f = std::max(std::fabs(std::cos(a)), std::fabs(std::sin(a)));
    return uint16_t(std::lround(mm / 1000.0 / f / 0.002));
}

// A square room `mm` from the sensor, intensity 200; the point at `odd` (if any) `odd_mm` away.
Revolution room(double mm, size_t odd = 0, double odd_mm = 0)
{
    return revolution([=](size_t k) { return wallRange(k, odd && k == odd ? odd_mm : mm); },
                      [](size_t) { return uint8_t(200); });
}

// The one point that sits 280 mm from its wall in the NG scenes.
constexpr size_t kNgIndex = kN * 3 + 40;
const Revolution kNgRoom = room(250.0, kNgIndex, 280.0);

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
    // The bearing is checked on its own with the cursor.
    static double angleOf(const QVector3D& v) { return view_camera::bearing(v.x(), v.y()); }
    static void expectColour(const QVector3D& actual, const QVector3D& expected)
    {
        EXPECT_NEAR((actual - expected).length(), 0, 1e-5) << actual.x() << ", " << actual.y() << ", " << actual.z();
    }
};
using FrameAssembly = Unshown;
using Colouring = Unshown;

// A shown view of 800 x 600 at 14 m under the virtual display, with pixel functions that place
// world points by the camera's own definition (45 degree field of view, height = zoom).
class ViewTest : public Unshown {
protected:
    static constexpr int kW = 800;
    static constexpr int kH = 600;
    void SetUp() override { showView(); }
    // A new view, with its default font and zoom unless given.
    void showView(const QString& fontPath = QString(), float zoom = 14.0f)
    {
        view_ = std::make_unique<LidarGLWidget>();
        if (!fontPath.isEmpty())
            view_->setFontPath(fontPath);
        view_->resize(kW, kH);
        view_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
        ASSERT_TRUE(view_->glReady());
        if (zoom > 0)
            zoomTo(zoom);
    }
    QImage grab() { return view_->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
    // What the X server shows of `widget`, as a person sees it (panels over the GL picture),
    // without painting again.
    static QImage screen(const QWidget* widget)
    {
        const QPoint corner = widget->mapToGlobal(QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, corner.x(), corner.y(), widget->width(), widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    static QPointF planeOf(size_t index, double metres)
    {
        const double theta = (deviceAngle(index) - 90.0) * M_PI / 180.0;
        return {metres * std::cos(theta), metres * std::sin(theta)};
    }
    QPointF pixelOf(const QPointF& world) const
    {
        const double perMetre = (kH / 2.0) / (std::tan(22.5 * M_PI / 180.0) * view_->zoom());
        return {kW / 2.0 + (world.x() - view_->panX()) * perMetre,
                kH / 2.0 - (world.y() - view_->panY()) * perMetre};
    }
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
    bool anyNear(const QImage& image, const QPointF& world, int radius, int r, int g, int b, int tolerance = 2) const
    {
        const QPoint p = pixelOf(world).toPoint();
        return count(image, QRect(p - QPoint(radius, radius), p + QPoint(radius, radius)), r, g, b, tolerance) > 0;
    }
    // The 5 m ring at 36 degrees, white.
    bool ringAt(const QImage& image) const
    {
        return anyNear(image, {5 * std::cos(M_PI / 5), 5 * std::sin(M_PI / 5)}, 1, 255, 255, 255, 0);
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
    void click(const char* button)
    {
        QTest::mouseClick(view_->resetWidget()->findChild<QToolButton*>(button), Qt::LeftButton);
    }
    std::unique_ptr<LidarGLWidget> view_;
};
using ControlTest = ViewTest;

// Block 6 publishes; blocks replace their like by identifier and keep their first place; a
// block coming again without returns or layers takes its points away. Identifier 7 is not
// stored but sets the point count the stored blocks are converted with.
TEST_F(FrameAssembly, BlocksAreStoredByIdentifierAndPublishedAtBlockSix)
{
    LidarGLWidget view;
    const auto storedIds = [&view] {
        std::vector<uint8_t> ids;
        for (const auto& block : view.frame().blocks())
            ids.push_back(block.block_id);
        return ids;
    };
    for (uint8_t id : {3, 4, 5}) {
        view.receiveBlock(makeBlock(id, kN, 1000, 10));
        EXPECT_TRUE(view.drawVertices().empty()) << int(id);
    }
    view.receiveBlock(makeBlock(6, kN, 1000, 10));
    ASSERT_EQ(view.drawVertices().size(), 4 * kN);
    ASSERT_EQ(view.drawColors().size(), 4 * kN);
    EXPECT_TRUE(view.frame().vertices().empty());
    EXPECT_NEAR(angleOf(view.drawVertices().front()), deviceAngle(3 * kN), 1e-3);
    EXPECT_NEAR(angleOf(view.drawVertices().back()), deviceAngle(7 * kN - 1), 1e-3);
    EXPECT_NEAR(view.drawVertices().front().length(), 2.0, 1e-5);
    for (uint8_t id : {1, 2, 3})
        view.receiveBlock(makeBlock(id, kN, id == 3 ? 0 : 500));
    kes_sdk::ScanBlockData shortIntensities = makeBlock(6, kN, 500, 255);
    shortIntensities.layers[0].intensities.resize(2);
    view.receiveBlock(shortIntensities);
    EXPECT_EQ(storedIds(), (std::vector<uint8_t>{3, 4, 5, 6, 1, 2}));
    ASSERT_EQ(view.drawVertices().size(), 5 * kN);
    EXPECT_NEAR(angleOf(view.drawVertices().front()), deviceAngle(4 * kN), 1e-3);
    // Block 6's points from index 2 on have no intensity and are coloured as 0.
    expectColour(view.drawColors()[2 * kN + 1], {1, 0, 0});
    expectColour(view.drawColors()[2 * kN + 2], {0, 0, 1});
    kes_sdk::ScanBlockData noLayers;
    noLayers.block_id = 2;
    view.receiveBlock(noLayers);
    EXPECT_EQ(view.frame().vertices().size(), 4 * kN);
    view.receiveBlock(makeBlock(7, 10, 500));
    EXPECT_EQ(storedIds().size(), 6u);
    ASSERT_EQ(view.frame().vertices().size(), 4 * kN);
    EXPECT_NEAR(angleOf(view.frame().vertices()[1]), deviceAngle(41, 10), 1e-3);
    view.receiveSingleBlock(makeBlock(6, kN, 750));
    EXPECT_EQ(storedIds(), (std::vector<uint8_t>{6}));
    ASSERT_EQ(view.drawVertices().size(), kN);
    EXPECT_NEAR(view.drawVertices().front().length(), 1.5, 1e-5);
    view.receieveDirChanged();
    EXPECT_TRUE(view.drawVertices().empty());
    EXPECT_EQ(view.drawColors().size(), kN);
    view.receiveBlock(makeBlock(6, kN, 750));
    EXPECT_EQ(view.drawVertices().size(), kN);
    view.receiveBlock(makeBlock(0, kN, 500));
    view.receiveBlock(makeBlock(6, kN, 0));
    ASSERT_EQ(view.drawVertices().size(), kN);
    expectColour(view.drawVertices().front(), {0, -1, 0});
}

// Also the status panel's and the legend's texts, both languages for the status words the
// lidar reports (others stay as sent; a language other than 0 and 1 changes nothing).
TEST_F(Colouring, ModesFollowTheRampsAndReachTheLegendAndThePanelInTheirFormats)
{
    const std::tuple<uint32_t, float, float, QVector3D> cases[] = {
        {2, 0, 5, {0, 1, 1}},       {2, 0, 10, {0, 1, 0}},
        {2, 0, 15, {1, 1, 0}},      {2, 0, 25, {1, 0, 0}},
        {2, 0, 2.5f, {0, 0.5f, 1}}, {0, 0, 3, {0, 0, 1}},
        {0, 255, 3, {1, 0, 0}},     {0, 100, 3, {0, 1, (255 - 4 * 36.25f) / 255}},
        {9, 255, 3, {1, 0, 0}},     {1, 100, 30, {0, 0, 1}}};
    for (const auto& [mode, intensity, distance, colour] : cases)
        expectColour(pointColour(mode, intensity, distance), colour);
    LidarGLWidget view;
    const std::tuple<uint32_t, const char*, QVector3D> modes[] = {
        {2, "Max:20m", {1, 0, 0}}, {1, "Max:20m", {0, 0, 1}}, {0x100, "Max:255", {0, 0, 1}},
        {1, "Max:255", {0, 0, 1}}, {7, "Max:255", {0, 0, 1}},
    };
    for (const auto& [mode, max, colour] : modes) {
        view.receiveColorMode(mode);
        EXPECT_EQ(labelText(view.colorLabel(), "label_2"), max) << mode;
        view.receiveSingleBlock(makeBlock(6, 4, 12500, 0));
        expectColour(view.drawColors().front(), colour);
    }
    const QImage bar(":/Image/color.png");
    ASSERT_FALSE(bar.isNull());
    for (int i = 0; i < 5; ++i) {
        const QColor c(bar.pixel(10, std::min(bar.height() * i / 4, bar.height() - 1)));
        EXPECT_LE((QVector3D(c.redF(), c.greenF(), c.blueF()) - pointColour(2, 0, 20 - 5 * i)).length(), 0.05) << i;
    }
    InfoWidget* info = view.infoWidget();
    view.receiveMotor(600);
    EXPECT_EQ(labelText(info, "label"), "10.0Hz");
    view.receiveMotor(1234);
    EXPECT_EQ(labelText(info, "label"), "20.6Hz");
    view.receiveHV_Voltage(123.456789f);
    EXPECT_EQ(labelText(info, "stateLabel_hv"), "123.457V");
    view.receiveAPD_temp(36.6f);
    EXPECT_EQ(labelText(info, "stateLabel_temp"), "37℃");
    EXPECT_TRUE(info->findChild<QLabel*>("stateLabel_hv")->isHidden()) << "the voltage row stays hidden";
    EXPECT_FALSE(info->findChild<QLabel*>("stateLabel_temp")->isHidden());
    EXPECT_EQ(labelText(info, "stateLabel"), "未连接");
    view.receiveState("active");
    EXPECT_EQ(labelText(info, "stateLabel"), "NORAML");
    const std::pair<QString, QString> words[] = {
        {"Working", "正常运行中"}, {"Malfunction", "故障"}, {"Disconnect", "未连接"},
        {"NORAML", "NORAML"},      {"升级", "升级"},
    };
    for (const auto& [english, chinese] : words) {
        view.receiveState(english);
        for (int language : {1, 2, 0}) {
            view.setLanguage(language);
            EXPECT_EQ(labelText(info, "stateLabel"), language == 0 ? english : chinese) << language;
        }
    }
    EXPECT_EQ(labelText(info, "label_2"), "Lidar Status:");
}

const QString kFileEnd = QStringLiteral("*****************************");

class MeasureTest : public Unshown {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        for (const char* dir : {"MeasureData", "SN_TrueValue_Data", "ThresholdValueConfig", "AccuracyInfoConfig"})
            QDir(appPath(dir)).removeRecursively();
    }
    void send(const Revolution& blocks, int times = 1) { feed(view_, blocks, times); }
    QLineEdit* field(const QString& name) { return view_.accuracyInfo()->findChild<QLineEdit*>(name); }
    // Rows: (180, 2), (90, 1), (270, 0.05) and eleven empty rows, or the first `rows` of them.
    // Target 180 averages 2.001 m (1 mm off) with a repeatability of 1 mm.
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
    // One whole true-value test of unit `sn` over 100 revolutions made by `frame`; the day
    // file's lines after it, the time stripped.
    QStringList runTest(const QString& sn, const std::function<Revolution(int)>& frame)
    {
        view_.setSnCode(sn);
        view_.receieveTrueInfo();
        for (int r = 0; r < 100; ++r)
            send(frame(r));
        QStringList lines = fileLines(dayFile(), "gb2312");
        for (QString& line : lines)
            line = line.section(',', 1);
        return lines;
    }
    QString dayFile() const
    {
        return appPath("SN_TrueValue_Data/" + QDate::currentDate().toString("yyyy_MM_dd") + ".csv");
    }
    LidarGLWidget view_;
    kes_test::SignalLog rounds_{&view_, &LidarGLWidget::sig_update_cur_round};
    kes_test::SignalLog results_{&view_, &LidarGLWidget::sig_update_res};
    kes_test::SignalLog screenshots_{&view_, &LidarGLWidget::sig_update_screenshot};
    QSignalSpy trueRounds_{&view_, &LidarGLWidget::sig_true_cur_round};
    QSignalSpy status_{&view_, &LidarGLWidget::sig_true_status_changed};
};

// Walls are measured along the nearest main direction: the projection factor is the cosine of
// the angle to it inside each octant, on its boundaries and beyond.
TEST_F(MeasureTest, CountsItsRoundsOrNoneReportsOkOnTheFirstPointAfterThemAndDirectoryErrors)
{
    // clang-format off
    const std::pair<float, float> cases[] = {
        {10, 0.98480775f}, {60, 0.8660254f},  {120, 0.8660254f}, {170, 0.98480775f}, {200, 0.93969262f},
        {260, 0.98480775f}, {300, 0.8660254f}, {350, 0.98480775f}, {0, 1},             {45, 0.70710678f},
        {90, 1},            {180, 1},          {360, 1},           {361, 0},            {-1, 0}};
    // clang-format on
    for (const auto& [angle, factor] : cases)
        EXPECT_NEAR(projectionFactor(angle), factor, 1e-6) << angle;
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
    // The line that reports a directory error names the source file and line it is in.
    ASSERT_TRUE(QFile(measureDir().path()).open(QIODevice::WriteOnly));
    kes_test::DebugLog log;
    view_.startMeasure(270, 230, 100);
    send(kNgRoom);
    ASSERT_TRUE(QFile::remove(measureDir().path()));
    const QString line = log.lines().filter("data path create error:").value(0);
    const QRegularExpressionMatch place =
        QRegularExpression(
            "^\\[([^:]+):(\\d+):createSaveFile \\d{4}-\\d\\d-\\d\\d [0-9:]+\\] data path create error:")
            .match(line);
    ASSERT_TRUE(place.hasMatch()) << line.toStdString();
    const QStringList source = fileLines(QStringLiteral(KES_SOURCE_DIR "/") + place.captured(1));
    EXPECT_TRUE(source.value(place.captured(2).toInt() - 1).contains("createSaveFile")) << source.size();
}

// A new start during the hold only changes the window.
TEST_F(MeasureTest, HoldsTheNgFrameForSixFramesSavesItAndAsksForAScreenshot)
{
    view_.setSnCode("HOLD/1");
    // Blocks first stored in the order 4, 5, 6, 1, 2, 3: the records come unsorted.
    for (size_t b : {3, 4, 5, 0, 1, 2})
        view_.receiveBlock(kNgRoom[b]);
    view_.startMeasure(270, 230, 100);
    send(kNgRoom);
    EXPECT_EQ(rounds_.firsts(), QVariantList{1});
    EXPECT_EQ(results_.firsts(), QVariantList{false});
    ASSERT_EQ(view_.drawVertices().size(), kPoints) << "the measured points of the NG frame";
    EXPECT_EQ(std::count(view_.drawColors().begin(), view_.drawColors().end(), QVector3D(1, 0, 0)), 1);
    view_.startMeasure(300, 200, 5);
    send(room(250.0), 4);
    EXPECT_EQ(results_.size(), 5);
    EXPECT_TRUE(screenshots_.size() == 0);
    EXPECT_EQ(view_.drawColors().size(), kPoints) << "the NG frame stays";
    send(room(250.0));
    EXPECT_EQ(results_.firsts(), QVariantList({false, false, false, false, false, false}));
    EXPECT_EQ(screenshots_.texts(), QStringList{"HOLD_1_"}) << "separators never reach a file name";
    EXPECT_EQ(rounds_.size(), 1);
    EXPECT_FALSE(view_.rangeMeasure().measuring_);
    send(room(280.0));
    EXPECT_EQ(results_.size(), 6) << "the seventh frame is live and measures nothing";
    EXPECT_NE(view_.drawColors().front(), QVector3D(0, 0, 1));
    const QString path = view_.measureFileName();
    EXPECT_TRUE(path.startsWith(measureDir().path() + "/HOLD_1_"));
    ASSERT_TRUE(kes_test::waitFor([&] { return fileLines(path).contains(kFileEnd); }));
    const QStringList lines = fileLines(path);
    // The NG record, then every point of the frame sorted by angle; every line ends with a line feed.
    ASSERT_EQ(lines.size(), int(kPoints) + 9);
    EXPECT_EQ(lines.mid(0, 3),
              (QStringList{"SN,HOLD_1", "angle,disVal,distance", "***************NG_data***************"}));
    EXPECT_NEAR(lines[3].section(',', 0, 0).toDouble(), deviceAngle(kNgIndex), 1e-3);
    EXPECT_NEAR(lines[3].section(',', 1, 1).toDouble(), 0.28, 0.002);
    EXPECT_EQ(lines.mid(4, 3), (QStringList{"******************************", "******************************",
                                            "**************total_data***************"}));
    for (int i = 8; i < int(kPoints) + 7; ++i)
        ASSERT_LE(lines[i - 1].section(',', 0, 0).toDouble(), lines[i].section(',', 0, 0).toDouble()) << i;
    EXPECT_EQ(lines.mid(int(kPoints) + 7), (QStringList{kFileEnd, ""}));
}

// The point nearest to 180 degrees (179.88) is 2 m away and its neighbours 1 m, so only the
// right choice gives the 2 m figures.
constexpr size_t kAt180 = 503;

// Revolution r: the ring at 1.000 m on even and 1.002 m on odd revolutions, intensities 100
// and 111; the point at 180 degrees twice as far.
Revolution ring(int r)
{
    const uint16_t raw = r % 2 ? 501 : 500;
    return revolution([=](size_t k) { return k == kAt180 ? uint16_t(raw + 500) : raw; },
                      [=](size_t) { return uint8_t(r % 2 ? 111 : 100); });
}

// One day of units. A table never confirmed since the start judges nothing, so it must not
// pass the unit; each limit alone turns a target NG; frames without points are left out.
TEST_F(MeasureTest, EvaluatesEveryTargetOverAHundredRevolutionsIntoTheDayFile)
{
    {
        kes_test::PromptScript boxes;
        boxes.expect(QStringLiteral("真值表为空：请先在“测试数据”中填写角度和真值并点击OK，再开始测距"));
        runTest("EMPTY", ring);
    }
    ASSERT_EQ(status_.count(), 1);
    EXPECT_FALSE(status_.at(0).at(0).toBool());
    EXPECT_FALSE(QFile::exists(dayFile()));
    EXPECT_TRUE(trueRounds_.isEmpty()) << "nothing runs before the start";
    configure();
    QStringList lines = runTest("U1", ring);
    ASSERT_EQ(trueRounds_.count(), 100);
    for (int r = 0; r < 100; ++r)
        EXPECT_EQ(trueRounds_.at(r).at(0).toInt(), r + 1);
    const QStringList raw = fileLines(dayFile(), "gb2312");
    EXPECT_EQ(raw[0], "时间,SN码,角度,真值(m),平均值(m),绝对误差(m),相对误差(m),最大值(m),最小值(m),强度,结果");
    EXPECT_TRUE(QTime::fromString(raw[1].section(',', 0, 0), "hh:mm:ss").isValid());
    ASSERT_EQ(lines.size(), 1 + 14 + 1);
    EXPECT_EQ(lines[1], "U1,180,2,2.001,0.001,0.001,2.002,2,105.5,OK");
    EXPECT_EQ(lines[2], "U1,90,1,1.001,0.001,0.001,1.002,1,105.5,OK");
    EXPECT_EQ(lines[3], "U1,270,0.05,1.001,0.951,0.001,1.002,1,105.5,NG") << "the 0.05 m target is always NG";
    for (int i = 4; i <= 14; ++i)
        EXPECT_EQ(lines[i], "U1,0,0,0,0,0,0,0,0,NG") << i;
    EXPECT_FALSE(status_.last().at(0).toBool());
    EXPECT_EQ(field("lineEdit_intensity_1")->text(), "105.5");
    EXPECT_EQ(field("lineEdit_intensity_4")->text(), "0");
    const std::tuple<const char*, const char*, const char*, bool> units[] = {
        {"U2", "0.01", "0.0005", false}, {"U3", "0.0005", "0.01", false}, {"U4", "0.01", "0.01", true}};
    for (const auto& [sn, ab, re, ok] : units) {
        configure(ab, re, 2);
        lines = runTest(sn, ring);
        EXPECT_EQ(lines[lines.size() - 3],
                  QString("%1,180,2,2.001,0.001,0.001,2.002,2,105.5,%2").arg(sn, ok ? "OK" : "NG"));
        EXPECT_EQ(status_.last().at(0).toBool(), ok) << sn;
    }
    EXPECT_EQ(lines[20], "U4,90,1,1.001,0.001,0.001,1.002,1,105.5,OK");
    configure("0.01", "0.01", 1);
    // 75 revolutions: 50 at 2.000 m with 100, 25 at 2.002 m with 111.
    lines = runTest("GAPS", [](int r) { return r % 4 == 3 ? revolutionWithPoint(0, 0, 0) : ring(r); });
    EXPECT_EQ(lines[21], "GAPS,180,2,2.001,0.001,0.001,2.002,2,103.667,OK");
    lines = runTest("NONE", [](int) { return revolutionWithPoint(0, 0, 0); });
    EXPECT_EQ(lines.mid(22), (QStringList{"NONE,180,2,0,0,0,0,0,0,NG", ""}));
    EXPECT_FALSE(status_.last().at(0).toBool());
    EXPECT_EQ(lines.count(lines[0]), 1) << "one header";
}

// The logo's white plate covers its whole 177 x 37, margins included, over the grid. A point
// is drawn in the colour of its mode at its place. An NG frame is shown in blue, its NG point in
// red, until the hold ends; the seventh frame is live again.
TEST_F(ViewTest, GridRingsBlindSectorLogoAPointAndTheHeldNgFrameLieWhereTheyBelong)
{
    const QImage image = grab();
    ASSERT_EQ(image.size(), QSize(kW, kH));
    const double c = std::cos(M_PI / 5), s = std::sin(M_PI / 5);
    EXPECT_TRUE(anyNear(image, {2.5, 0.5}, 0, 77, 77, 77, 1)) << "background";
    EXPECT_TRUE(ringAt(image)) << "5 m ring";
    EXPECT_FALSE(anyNear(image, {5.5 * c, 5.5 * s}, 3, 255, 255, 255, 0)) << "beside the 5 m ring";
    EXPECT_TRUE(anyNear(image, {c, s}, 1, 102, 102, 102, 1)) << "1 m ring";
    EXPECT_TRUE(anyNear(image, {1, -4}, 0, 153, 153, 153, 1)) << "blind sector";
    EXPECT_TRUE(anyNear(image, {-4, 1}, 0, 77, 77, 77, 1)) << "left of the sensor";
    EXPECT_TRUE(anyNear(image, {0, -4.5}, 1, 255, 255, 255, 0)) << "vertical axis over the fan";
    const QWidget* plate = view_->findChild<QWidget*>("logo");
    EXPECT_TRUE(kes_test::waitFor(
        [&] {
            const QImage image = screen(plate);
            const int all = count(image, image.rect(), 255, 255, 255, 0);
            const int inner = count(image, image.rect().adjusted(3, 3, -3, -3), 255, 255, 255, 0);
            return image.size() == QSize(177, 37) && all - inner == 177 * 37 - 171 * 31;
        },
        3000));
    const QPointF at = planeOf(2 * kN + 84, 3.5);
    const Revolution revolution = revolutionWithPoint(2 * kN + 84, 1750, 100);
    const std::tuple<uint32_t, int, int, int> modes[] = {{2, 0, 178, 255}, {1, 0, 0, 255}, {0, 0, 255, 110}};
    for (const auto& [mode, r, g, b] : modes) {
        view_->receiveColorMode(mode);
        send(revolution);
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, at, 2, r, g, b)) << mode;
        EXPECT_FALSE(anyNear(image, {-at.x(), at.y()}, 3, r, g, b)) << "mirrored, mode " << mode;
    }
    view_->receieveDirChanged();
    EXPECT_FALSE(anyNear(grab(), at, 2, 0, 0, 255)) << "after a direction change";
    // Repaints during the hold, as a zoom or a screen grab would cause, still show the NG frame.
    const QPointF bad = planeOf(kNgIndex, wallRange(kNgIndex, 280) * 0.002);
    const QPointF good = planeOf(2 * kN + 60, wallRange(2 * kN + 60, 250) * 0.002);
    view_->startMeasure(270, 230, 100);
    for (int frame = 1; frame <= 6; ++frame) {
        send(frame == 1 ? kNgRoom : room(250));
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, bad, 2, 255, 0, 0, 3)) << frame;
        EXPECT_TRUE(anyNear(image, good, 2, 0, 0, 255, 3)) << frame;
    }
    send(kNgRoom);
    const QImage live = grab();
    EXPECT_TRUE(anyNear(live, bad, 2, 255, 220, 0, 3)) << "live, coloured by intensity";
    EXPECT_FALSE(anyNear(live, good, 2, 0, 0, 255, 3));
    view_.reset(); // joins the thread that saves the NG frame
    measureDir().removeRecursively();
}

// The font is found under a folder with a Chinese name too, as the file system spells it;
// without it the grid is drawn without labels. Each step of the buttons and the wheel, near the
// sensor and far out, down to the least; the rings follow.
TEST_F(ControlTest, LabelsWithTheFontOnlyAndZoomStepsTheRingsFollow)
{
    const QRect label = QRectF(pixelOf({5.05, 0.1}), pixelOf({5.9, 0.55})).normalized().toRect();
    EXPECT_GT(count(grab(), label, 153, 153, 153, 6), 20);
    QTemporaryDir dir;
    const QString chinese = dir.filePath("点云工具/字体.otf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(chinese).path()));
    ASSERT_TRUE(QFile::copy(viewFontPath(), chinese));
    showView(chinese);
    EXPECT_TRUE(kes_test::waitFor([&] { return count(screen(view_.get()), label, 153, 153, 153, 6) > 20; }, 3000));
    showView("/nonexistent/HKGrotesk-Regular-9.otf", 0); // at the default zoom of 1 m
    const std::tuple<const char*, int, float> steps[] = {
        {"ampliftyButton", 0, 0.9f}, {nullptr, 120, 0.8f},  {nullptr, -120, 0.9f}, {"narrowButton", 0, 1.0f},
        {nullptr, -120, 1.1f},       {nullptr, -120, 2.1f}, {nullptr, 120, 1.1f}};
    for (const auto& [button, delta, zoom] : steps) {
        if (button) {
            click(button);
        } else {
            QWheelEvent wheel(QPointF(kW / 2.0, kH / 2.0), view_->mapToGlobal(QPoint(kW / 2, kH / 2)), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_.get(), &wheel);
        }
        EXPECT_NEAR(view_->zoom(), zoom, 1e-4) << zoom;
    }
    for (int k = 0; k < 12; ++k)
        click("ampliftyButton");
    EXPECT_FLOAT_EQ(view_->zoom(), 0.1f);
    for (float zoom : {9.0f, 12.0f, 14.0f}) {
        zoomTo(zoom);
        EXPECT_TRUE(ringAt(grab())) << zoom;
    }
    EXPECT_EQ(count(grab(), label, 153, 153, 153, 6), 0);
}

// The bearing under the cursor in the four directions and at the origin (on a 4:3 view 150
// pixels are the same distance across and up), and on signed zeros. The point found there is shown, with a yellow
// line, once a frame and only while the cursor is inside. A drag pans with the cursor and a
// recentre keeps the zoom; the panels keep to the edges on a resize.
TEST_F(ControlTest, TheBearingUnderTheCursorItsPointThenDragRecentreAndResize)
{
    zoomTo(10.0f);
    grab();
    const std::pair<QPoint, float> cases[] = {{{400, 150}, 180}, {{600, 300}, 90},  {{400, 450}, 0},
                                              {{200, 300}, 270}, {{400, 300}, 180}, {{550, 150}, 135}};
    for (const auto& [pos, bearing] : cases) {
        moveMouse(pos);
        EXPECT_NEAR(view_->selectAngle(), bearing, 1e-3) << pos.x() << "," << pos.y();
    }
    const std::tuple<double, double, float> bearings[] = {{0, 0, 180}, {0, 1, 180},  {1, 0, 90},    {1, -0.0, 90},
                                                          {0, -1, 0},  {-1, 0, 270}, {-1, -1, 315}, {1, -1, 45}};
    for (const auto& [x, y, bearing] : bearings)
        EXPECT_FLOAT_EQ(view_camera::bearing(x, y), bearing) << x << ", " << y;
    // Paints and window events still queued from showing and zooming would land in the middle.
    QCoreApplication::processEvents();
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(view_.get(), &enter);
    moveMouse(QPoint(400, 150));
    const Revolution revolution = revolutionWithPoint(4 * kN - 1, 2000, 42);
    const QPointF at = planeOf(4 * kN - 1, 2.4);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    const QWidget* info = view_->infoWidget();
    EXPECT_EQ(labelText(info, "angle_label"), QString::number(deviceAngle(4 * kN - 1), 'f', 2) + "°");
    EXPECT_EQ(labelText(info, "distance_label"), "4.00m");
    EXPECT_EQ(labelText(info, "intensity_label"), "42");
    EXPECT_TRUE(kes_test::waitFor([&] { return anyNear(screen(view_.get()), at, 2, 255, 255, 0); }, 3000))
        << "yellow line";
    grab();
    EXPECT_EQ(labelText(info, "angle_label"), "--") << "shown once per found point";
    QApplication::sendEvent(view_.get(), &leave);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    for (const char* name : {"angle_label", "distance_label", "intensity_label"})
        EXPECT_EQ(labelText(info, name), "--") << name;
    EXPECT_TRUE(kes_test::waitFor([&] { return !anyNear(screen(view_.get()), at, 2, 255, 255, 0); }, 3000));
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
    view_->resize(1000, 700);
    ASSERT_TRUE(kes_test::waitFor([&] { return view_->size() == QSize(1000, 700); }));
    const QWidget* legend = view_->colorLabel();
    EXPECT_EQ(info->geometry(), QRect(QPoint(0, 700 - info->height()), info->size()));
    EXPECT_EQ(legend->geometry(), QRect(QPoint(1000 - legend->width(), 600 - legend->height()), legend->size()));
    EXPECT_EQ(view_->resetWidget()->pos(), QPoint(0, 0));
    EXPECT_EQ(view_->findChild<QWidget*>("logo")->geometry(), QRect(1000 - 177, 700 - 37, 177, 37));
}
