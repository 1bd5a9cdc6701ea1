#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_view/lidargl_widget.h"
#include "kes_view/point_colour.h"
#include "kes_view/view_camera.h"
#include "scan_blocks.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace {

double angleOf(const QVector3D& v)
{
    const double a = std::atan2(double(v.y()), double(v.x())) * 180.0 / M_PI + 90.0;
    return a < 0 ? a + 360.0 : a;
}

std::vector<uint8_t> storedIds(const LidarGLWidget& view)
{
    std::vector<uint8_t> ids;
    for (const auto& block : view.frame().blocks())
        ids.push_back(block.block_id);
    return ids;
}

void expectColour(const QVector3D& actual, const QVector3D& expected)
{
    EXPECT_NEAR((actual - expected).length(), 0, 1e-5) << actual.x() << ", " << actual.y() << ", " << actual.z();
}

QString labelText(const QWidget* panel, const char* name)
{
    return panel->findChild<QLabel*>(name)->text();
}

} // namespace

// Block 6 publishes; blocks replace their like by identifier and keep their first place; a
// block coming again without returns takes its points away.
TEST(FrameAssembly, PublishesAtBlockSixAndPlacesBlocksByIdentifier)
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
TEST(FrameAssembly, OddIdentifiersSingleBlocksAndDirectionChanges)
{
    LidarGLWidget view;
    for (uint8_t id = 1; id <= 6; ++id)
        view.receiveBlock(makeBlock(id, kN, 500));
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

TEST(FrameAssembly, MalformedBlocksAreNeverReadPastTheirEnd)
{
    LidarGLWidget view;
    for (uint8_t id = 1; id <= 6; ++id)
        view.receiveBlock(makeBlock(id, kN, 500, 255));
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

TEST(Colouring, ModesFollowTheRampsAndReachTheLegend)
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
}

// The zoom's steps are checked on the shown view; here its floor and the bearing.
TEST(ViewMaths, TheLeastZoomStaysAndTheBearingAtTheOriginAndOnSignedZeros)
{
    EXPECT_FLOAT_EQ(view_camera::zoomedIn(0.1f), 0.1f);
    const struct {
        double x, y;
        float bearing;
    } bearings[] = {{0, 0, 180}, {0, 1, 180},  {1, 0, 90},    {1, -0.0, 90},
                    {0, -1, 0},  {-1, 0, 270}, {-1, -1, 315}, {1, -1, 45}};
    for (const auto& b : bearings)
        EXPECT_FLOAT_EQ(view_camera::bearing(b.x, b.y), b.bearing) << b.x << ", " << b.y;
}

TEST(Forwarding, StatusValuesReachThePanelInTheirFormats)
{
    LidarGLWidget view;
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
    view.receiveState("Working");
    view.setLanguage(1);
    EXPECT_EQ(labelText(info, "stateLabel"), "正常运行中");
    EXPECT_EQ(labelText(info, "label_2"), "雷达状态:");
    view.setLanguage(0);
    EXPECT_EQ(labelText(info, "label_2"), "Lidar Status:");
}
