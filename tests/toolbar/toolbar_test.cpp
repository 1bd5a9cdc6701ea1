#include <kes_logic/lidar_logic.h>
#include <kes_sdk/command_codes.h>
#include <kes_test/fake_mdns_server.h>
#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>
#include <kes_test/simulator.h>
#include <kes_toolbar/lidar_toolbar.h>
#include <kes_toolbar/lidar_upgrade.h>
#include <kes_toolbar/upgrade_transfer.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QHoverEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUdpSocket>
#include <QValidator>

#include <atomic>
#include <memory>

using namespace kes_sdk::cmd;

// Upgrade hooks that record every call: the first `refusals` starts are refused, and the step
// named `failing` answers 1.
class FakeDevice : public UpgradeDevice {
public:
    explicit FakeDevice(const QString& failing = {}, int refusals = 0) : failing_(failing), refusals_(refusals) {}
    int startUpgrade() override { return answer("start") | (calls.count("start") <= refusals_ ? 1 : 0); }
    int write(const char* data, int len) override
    {
        sizes << len;
        image.append(data, len);
        return answer("write") | (++writes, 0);
    }
    int end() override { return answer("end"); }
    int sendMd5(const uint8_t* md5) override
    {
        digest = QByteArray(reinterpret_cast<const char*>(md5), 16);
        return answer("md5");
    }
    int commit() override { return answer("commit"); }
    int reboot() override { return answer("reboot"); }
    std::atomic<int> writes{0};
    QStringList calls;
    QList<int> sizes, progress;
    QByteArray image, digest;
    int answer(const QString& call)
    {
        calls << call;
        return call == failing_ ? 1 : 0;
    }
    const QString failing_;
    const int refusals_;
};

// An image of `size` bytes that differ from their neighbours.
QString imageFile(const QTemporaryDir& dir, const char* name, int size)
{
    QFile file(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < size; ++i)
        file.putChar(char(i * 7));
    return file.fileName();
}

template <class T>
T* shown()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible())
            return found;
    return nullptr;
}

bool iconShows(const QIcon& icon, const char* path)
{
    return icon.pixmap(30, 30).toImage() == QIcon(QString::fromLatin1(path)).pixmap(30, 30).toImage();
}

bool labelShows(const QLabel* label, const char* path)
{
    const QImage expected = QPixmap(QString::fromLatin1(path)).scaled(20, 20, Qt::IgnoreAspectRatio).toImage();
    return label->pixmap(Qt::ReturnByValue).toImage() == expected;
}

// A simulator on a free loopback port, LidarLogic aimed at it (never at its default
// address) and the tool bar wired as the main window wires it.
class ToolBarFixture : public ::testing::Test {
protected:
    void start(const std::function<void(kes_sim::SimOptions&)>& configure = {})
    {
        sim_ = kes_test::startSimulator([&](kes_sim::SimOptions& options) {
            options.restart_ms = 0; // a reboot is over at once
            if (configure)
                configure(options);
        });
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        logic_->lidar_port_ = sim_->port();
        states_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::sendState);
        bar_ = std::make_unique<LidarToolBar>();
        bar_->setLogic(logic_.get());
        QObject::connect(logic_.get(), &LidarLogic::sendIP, bar_.get(), &LidarToolBar::receiveIP);
        QObject::connect(bar_.get(), &LidarToolBar::sig_language, logic_.get(), &LidarLogic::setLanguage);
        bar_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bar_.get()));
    }
    template <class T>
    T* child(const char* name) const
    {
        return bar_->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* switchButton() const { return child<QToolButton>("switchButton"); }
    QLineEdit* ipEdit() const { return child<QLineEdit>("lineEdit"); }
    void startConnected(const std::function<void(kes_sim::SimOptions&)>& configure = {})
    {
        start(configure);
        emit logic_->sendIP(QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(ipEdit()->isEnabled() && ipEdit()->isReadOnly());
        click("switchButton");
        ASSERT_TRUE(QTest::qWaitFor([this] { return logic_->connected_ && switchButton()->isEnabled(); }, 5000));
    }
    void click(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    bool waitEnabled(const char* name)
    {
        return QTest::qWaitFor([&] { return child<QWidget>(name)->isEnabled(); }, 8000);
    }
    uint32_t requests(uint16_t code) const { return sim_->snapshot().request_counts[code]; }
    void choose(const QString& path)
    {
        script_.next_file = path;
        QTest::mouseClick(window_->findChild<QToolButton*>("openButton"), Qt::LeftButton);
    }
    void clickStart() { QTest::mouseClick(window_->findChild<QPushButton*>("upgradeButton"), Qt::LeftButton); }
    QProgressBar* progress() const { return window_->findChild<QProgressBar*>("progressBar"); }
    kes_test::PromptScript script_;
    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<kes_test::SignalLog> states_;
    std::unique_ptr<LidarToolBar> bar_;
    QTemporaryDir dir_;
    QPointer<Lidar_Upgrade> window_;
};

// Chunks of 512 bytes, the last one empty when the image is whole chunks, then the digest of what
// was written; a failed step stops the rest; an empty or missing image makes no call.
TEST(Transfer, ChunksThenTheDigestAndEachFailedStepStopsTheRest)
{
    QTemporaryDir dir;
    const QString path = imageFile(dir, "image.bin", 1024);
    const auto run = [](FakeDevice& device, const QString& path) {
        return transferImage(
            device, path, imageDigest(path), UpgradeTimings{}, [](int) { return true; },
            [&device](int percent) { device.progress << percent; });
    };
    FakeDevice device;
    EXPECT_EQ(run(device, path), UpgradeStep::Done);
    EXPECT_EQ(device.sizes, (QList<int>{512, 512, 0}));
    EXPECT_EQ(device.progress, (QList<int>{50, 98, 98}));
    EXPECT_EQ(device.digest, QCryptographicHash::hash(device.image, QCryptographicHash::Md5));
    EXPECT_EQ(device.calls.mid(3), (QStringList{"end", "md5", "commit", "reboot"}));
    const struct {
        const char* step;
        const char* text;
        int calls;
    } cases[] = {
        {"write", "数据传输出错,升級失败！", 1}, {"end", "end_upgrade,升級失败！", 4},
        {"md5", "md5校验失败,升級失败！", 5},    {"commit", "commit_update,升級失败！", 6},
        {"reboot", "reboot,升級失败！", 7},
    };
    for (const auto& c : cases) {
        FakeDevice failing(c.step);
        EXPECT_EQ(upgradeFailureText(run(failing, path)), QString::fromUtf8(c.text));
        EXPECT_EQ(failing.calls.size(), c.calls) << c.step;
    }
    FakeDevice none;
    EXPECT_EQ(run(none, imageFile(dir, "empty.bin", 0)), UpgradeStep::NoImage);
    EXPECT_EQ(run(none, dir.filePath(QStringLiteral("none.bin"))), UpgradeStep::NoImage);
    EXPECT_TRUE(none.calls.isEmpty());
}

using ToolBarConnect = ToolBarFixture;

// Idle, nothing reaches the device; an unknown address is refused with a box; a typed one
// connects; the language switch refills the boxes and drops the indicator but not the
// connection; the switch disconnects.
TEST_F(ToolBarConnect, FromIdleThroughATypedAddressAndBothLanguagesToDisconnected)
{
    start();
    EXPECT_FALSE(child<QPushButton>("updateButton")->isVisible());
    const auto stateTip = [this] {
        QHoverEvent enter(QEvent::HoverEnter, QPointF(5, 5), QPointF(-1, -1));
        QApplication::sendEvent(child<QLabel>("stateLabel"), &enter);
        return QToolTip::text();
    };
    int pos = 0;
    const auto valid = [this, &pos](const char* edit, QString text) {
        return child<QLineEdit>(edit)->validator()->validate(text, pos);
    };
    EXPECT_EQ(valid("lineEdit", "192.168.1.100"), QValidator::Acceptable);
    EXPECT_EQ(valid("lineEdit", "1.2.3.4.5"), QValidator::Invalid);
    EXPECT_EQ(valid("lineEdit", "1.2.3.256"), QValidator::Invalid);
    EXPECT_EQ(valid("filterEdit", "12"), QValidator::Invalid);
    EXPECT_EQ(stateTip(), QStringLiteral("未连接"));
    click("pushButton");
    child<QSlider>("horizontalSlider")->setValue(4);
    emit logic_->sendState(QStringLiteral("Malfunction, please re-upgrade lidar"));
    QTest::qWait(100);
    EXPECT_TRUE(child<QPushButton>("pushButton")->isEnabled());
    EXPECT_TRUE(sim_->snapshot().requests.empty());

    QUdpSocket unused;
    ASSERT_TRUE(unused.bind(QHostAddress(QHostAddress::LocalHost), 0));
    logic_->ip_addr_ = QStringLiteral("127.0.0.9");
    logic_->lidar_port_ = unused.localPort();
    script_.expect(QStringLiteral("雷达IP未找到"));
    click("switchButton");
    ASSERT_EQ(script_.shown.size(), 1u);
    EXPECT_EQ(script_.shown[0].parent, bar_.get());
    EXPECT_EQ(ipEdit()->text(), QStringLiteral("127.0.0.9"));
    EXPECT_TRUE(ipEdit()->isEnabled() && !ipEdit()->isReadOnly());
    QTest::qWait(100);
    EXPECT_FALSE(unused.hasPendingDatagrams()) << "no connection may be attempted";
    logic_->lidar_port_ = sim_->port();
    ipEdit()->clear();
    QTest::keyClicks(ipEdit(), QStringLiteral("127.0.0.1"));
    click("switchButton");
    EXPECT_FALSE(switchButton()->isEnabled());
    ASSERT_TRUE(waitEnabled("switchButton"));
    EXPECT_TRUE(logic_->connected_);
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/connect.png"));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state_connect.png"));
    EXPECT_EQ(child<QLabel>("firmware_label")->text(), QStringLiteral("A1.0.7"));
    EXPECT_EQ(child<QLabel>("hardware_label")->text(), QStringLiteral("H2.1"));
    EXPECT_TRUE(child<QCheckBox>("checkBox")->isChecked());
    EXPECT_TRUE(waitEnabled("horizontalSlider")) << "enabled again once the device's level is sent";
    EXPECT_EQ(child<QComboBox>("comboBox")->currentText(), QString::number(sim_->snapshot().scan_frequency_hz));
    EXPECT_TRUE(sim_->snapshot().stream_on);
    EXPECT_EQ(stateTip(), QStringLiteral("连接成功"));

    QSignalSpy language(bar_.get(), &LidarToolBar::sig_language);
    QSignalSpy modes(logic_.get(), &LidarLogic::sendColorMode);
    auto* direction = child<QComboBox>("directionBox");
    direction->setCurrentIndex(1);
    child<QComboBox>("mode_comBox")->setCurrentIndex(2);
    click("toolButton_language");
    EXPECT_EQ(language.takeLast().at(0).toInt(), 0);
    EXPECT_TRUE(logic_->language_);
    EXPECT_EQ((QStringList{direction->itemText(0), direction->itemText(1)}), (QStringList{"CCW", "CW"}));
    EXPECT_EQ(logic_->scan_direction_.load(), 0);
    ASSERT_GE(modes.size(), 3);
    EXPECT_EQ(modes.at(modes.size() - 2).at(0).toUInt(), 0xFFFFFFFFu);
    EXPECT_EQ(modes.last().at(0).toUInt(), 0u);
    EXPECT_TRUE(iconShows(child<QToolButton>("toolButton_language")->icon(), ":/Image/chinese.png"));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));
    EXPECT_TRUE(logic_->connected_) << "the connection itself is untouched";

    click("switchButton");
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/disconnect.png"));
    EXPECT_FALSE(child<QCheckBox>("checkBox")->isEnabled() || child<QCheckBox>("checkBox")->isChecked());
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
    ASSERT_TRUE(states_->waitFor(QStringLiteral("Disconnect")));
    EXPECT_TRUE(waitEnabled("switchButton"));
    EXPECT_EQ(child<QLabel>("firmware_label")->text(), QStringLiteral("A1.0.7"));
    EXPECT_EQ(stateTip(), QStringLiteral("未连接"));
    click("toolButton_language");
    EXPECT_EQ(language.takeLast().at(0).toInt(), 1);
    EXPECT_FALSE(logic_->language_);
    EXPECT_EQ((QStringList{direction->itemText(0), direction->itemText(1)}), (QStringList{"逆时针", "顺时针"}));
}

using ToolBarSettings = ToolBarFixture;

// The field holds 127.0.0.1 while the device stores its factory address, so the first
// Confirm is an address change; after the reboot the two agree. Then the filter and colour
// controls.
TEST_F(ToolBarSettings, AnAddressChangeRebootsThenConfirmAppliesTheSettingsAloneThenTheFilter)
{
    startConnected();
    kes_test::DebugLog log;
    click("pushButton");
    ASSERT_TRUE(states_->waitFor(QStringLiteral("重启")));
    ASSERT_TRUE(states_->waitFor(QStringLiteral("未连接")));
    ASSERT_TRUE(waitEnabled("switchButton"));
    EXPECT_EQ(sim_->snapshot().ip_address, "127.0.0.1");
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_EQ(log.count(QStringLiteral("reboot ok.")), 1);
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
    EXPECT_TRUE(waitEnabled("pushButton"));
    click("switchButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return logic_->connected_ && switchButton()->isEnabled(); }, 5000));
    const uint32_t hz = sim_->snapshot().scan_frequency_hz == 25 ? 30 : 25;
    child<QComboBox>("comboBox")->setCurrentText(QString::number(hz));
    const int direction = 1 - int(sim_->snapshot().scan_direction);
    child<QComboBox>("directionBox")->setCurrentIndex(direction);
    click("pushButton");
    EXPECT_FALSE(child<QPushButton>("pushButton")->isEnabled());
    ASSERT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(sim_->snapshot().scan_frequency_hz, hz);
    EXPECT_EQ(int(sim_->snapshot().scan_direction), direction);
    EXPECT_EQ(requests(kGetIpAddress), 2u);
    EXPECT_EQ(requests(kSetIpAddress), 1u);
    EXPECT_EQ(requests(kDeviceReboot), 1u) << "an unchanged address needs no reboot";

    auto* slider = child<QSlider>("horizontalSlider");
    auto* edit = child<QLineEdit>("filterEdit");
    const auto filterIs = [this](uint32_t level) {
        return QTest::qWaitFor([&] { return sim_->snapshot().filter_level == level; }, 3000);
    };
    slider->setValue(3);
    EXPECT_EQ(edit->text(), QStringLiteral("3"));
    EXPECT_TRUE(filterIs(3));
    ASSERT_TRUE(waitEnabled("horizontalSlider"));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("5"));
    EXPECT_EQ(slider->value(), 5);
    EXPECT_TRUE(filterIs(5));
    ASSERT_TRUE(waitEnabled("horizontalSlider"));
    // Typed while the first level is on its way: only the last one follows it.
    const uint32_t sent = requests(kSetFilterLevel);
    for (const char* level : {"1", "2", "4"}) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(level));
    }
    ASSERT_TRUE(waitEnabled("horizontalSlider"));
    EXPECT_EQ(requests(kSetFilterLevel), sent + 2);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);
    click("checkBox");
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_TRUE(filterIs(0));
    ASSERT_TRUE(waitEnabled("checkBox"));
    click("checkBox");
    EXPECT_TRUE(filterIs(4));
    EXPECT_TRUE(slider->isEnabled());
    kes_test::SignalLog modes(logic_.get(), &LidarLogic::sendColorMode);
    child<QComboBox>("mode_comBox")->setCurrentIndex(2);
    EXPECT_EQ(modes.firsts(), (QVariantList{QVariant::fromValue(2u)}));
}

TEST_F(ToolBarSettings, ARefusedFrequencyAndRebootShowTheirChineseBoxes)
{
    startConnected([](kes_sim::SimOptions& options) { options.refused = {kSetScanFrequency, kDeviceReboot}; });
    child<QComboBox>("comboBox")->setCurrentText(QStringLiteral("30"));
    child<QComboBox>("directionBox")->setCurrentIndex(1);
    script_.expect(QStringLiteral("修改频率失败"));
    script_.expect(QStringLiteral("雷达重启失败，需手动重启"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_EQ(script_.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(script_.shown[0].parent, bar_.get());
    EXPECT_EQ(script_.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(sim_->snapshot().scan_direction, 1u) << "the sequence goes on after the frequency";
    EXPECT_EQ(requests(kSetIpAddress), 1u);
    EXPECT_TRUE(waitEnabled("switchButton"));
}

TEST_F(ToolBarSettings, ARefusedDirectionStopsSilentlyAndARefusedAddressShowsItsEnglishBox)
{
    startConnected([](kes_sim::SimOptions& options) { options.refused = {kSetScanDirection, kSetIpAddress}; });
    click("toolButton_language");
    child<QComboBox>("directionBox")->setCurrentIndex(1);
    click("pushButton");
    ASSERT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kSetScanDirection), 1u);
    EXPECT_EQ(requests(kGetIpAddress), 0u);
    child<QComboBox>("directionBox")->setCurrentIndex(0);
    script_.expect(QStringLiteral("Modify IP failure"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_EQ(script_.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(script_.shown[0].parent, nullptr);
    EXPECT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kDeviceReboot), 0u);
    // A half-typed address is refused before anything reaches the lidar.
    ipEdit()->selectAll();
    QTest::keyClicks(ipEdit(), QStringLiteral("192.168.1."));
    EXPECT_EQ(ipEdit()->text(), QStringLiteral("192.168.1."));
    script_.expect(QStringLiteral("Modify IP failure"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kSetIpAddress), 1u);
}

using ToolBarFailure = ToolBarFixture;

TEST_F(ToolBarFailure, AnUnpluggedLidarChimesOnceAndShowsTheEnglishAnomalyBox)
{
    startConnected([](kes_sim::SimOptions& options) { options.silent_after_s = 1.0; });
    click("toolButton_language");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !logic_->first_block_pending_; }, 3000));
    script_.expect(QStringLiteral("Lidar connection anomaly."));
    ASSERT_TRUE(script_.waitForAll(8000));
    EXPECT_EQ(script_.chimes, 1);
    EXPECT_EQ(script_.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(script_.shown[0].parent, nullptr);
    EXPECT_TRUE(states_->texts().contains(QStringLiteral("Malfunction")));
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/disconnect.png"));
    EXPECT_FALSE(child<QCheckBox>("checkBox")->isEnabled());
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
}

// Each answer is held back, so the tool bar goes away while its job is inside the logic.
TEST_F(ToolBarFailure, ClosingDuringAConnectOrASettingsSequenceEndsCleanly)
{
    start([](kes_sim::SimOptions& options) { options.delay_ms = 150; });
    emit logic_->sendIP(QStringLiteral("127.0.0.1"));
    click("switchButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests(kTrackConnect) > 0; }, 3000));
    QElapsedTimer closing;
    closing.start();
    bar_.reset();
    EXPECT_LT(closing.elapsed(), 10000);
    EXPECT_TRUE(logic_->connected_) << "the connect in flight was awaited";
    bar_ = std::make_unique<LidarToolBar>();
    bar_->setLogic(logic_.get());
    bar_->show();
    click("pushButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests(kGetScanFrequency) > 1; }, 3000));
    bar_.reset();
    QTest::qWait(400);
    EXPECT_EQ(requests(kGetScanDirection), 1u) << "no call starts once the tool bar is gone";
    EXPECT_EQ(requests(kGetIpAddress), 0u);
}

using UpgradeWindow = ToolBarFixture;

TEST_F(UpgradeWindow, StartIsRefusedWithoutALidarOrImageThenAnUpgradeARetryAfterRefusedStartsAndAClose)
{
    start();
    bar_->update_clicked();
    const QPointer<Lidar_Upgrade> first = shown<Lidar_Upgrade>();
    ASSERT_TRUE(first);
    bar_->update_clicked();
    EXPECT_TRUE(first.isNull()) << "an idle window is replaced";
    window_ = shown<Lidar_Upgrade>();
    ASSERT_TRUE(window_);
    window_->setTimings(UpgradeTimings{20, 20, 5, 40}); // pauses, chunk pause, count-down tick
    kes_test::SignalLog flags(window_.data(), &Lidar_Upgrade::send_update_flag);
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    progress()->setValue(30);
    script_.expect(QStringLiteral("请先连接雷达！"));
    clickStart();
    EXPECT_EQ(progress()->value(), 0);
    ASSERT_TRUE(logic_->connectLidar());
    script_.expect(QStringLiteral("请先选择文件.."));
    clickStart();
    choose(imageFile(dir_, "empty.bin", 0));
    ASSERT_EQ(script_.queries.size(), 1u);
    EXPECT_EQ(window_->findChild<QLineEdit*>("fileEdit")->text(), script_.next_file);
    script_.expect(QStringLiteral("请先选择文件.."));
    clickStart();
    EXPECT_EQ(script_.shown.back().parent, window_.data());
    choose(QString());
    EXPECT_TRUE(window_->findChild<QLineEdit*>("fileEdit")->text().isEmpty());
    EXPECT_TRUE(logic_->connected_);
    kes_test::DebugLog log;
    choose(imageFile(dir_, "two.bin", 1024));
    kes_test::SignalLog values(progress(), &QProgressBar::valueChanged);
    script_.expect("升级成功，等待设备重启: 10 秒");
    clickStart();
    clickStart();
    bar_->update_clicked();
    EXPECT_TRUE(window_) << "a window whose threads run is kept";
    ASSERT_TRUE(flags.waitFor(QVariant::fromValue(0u)));
    EXPECT_EQ(flags.firsts(), (QVariantList{QVariant::fromValue(1u), QVariant::fromValue(0u)}));
    EXPECT_EQ(values.firsts(), (QVariantList{50, 98, 100}));
    EXPECT_EQ(log.count(QStringLiteral("start_upgrade ret")), 1);
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_FALSE(sim_->snapshot().stream_on);
    EXPECT_TRUE(states_->texts().contains(QStringLiteral("升级")));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));
    QMessageBox* box = shown<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("升级成功，等待设备重启: 10 秒"));
    EXPECT_TRUE(QTest::qWaitFor([] { return shown<QMessageBox>() == nullptr; }, 3000));
    EXPECT_EQ(log.count(QStringLiteral("timer_countdown")), 11);
    EXPECT_TRUE(states_->waitFor(QStringLiteral("未连接")));
    ASSERT_TRUE(logic_->connectLidar());
    const auto device = std::make_shared<FakeDevice>("", 5);
    window_->setUpgradeDevice(device);
    choose(imageFile(dir_, "short.bin", 100));
    script_.expect(QStringLiteral("升級失败！"));
    clickStart();
    ASSERT_TRUE(flags.waitFor(QVariant::fromValue(2u)));
    EXPECT_TRUE(script_.waitForAll());
    EXPECT_EQ(device->calls.count("start"), 5);
    EXPECT_EQ(device->writes.load(), 0);
    EXPECT_TRUE(states_->waitFor(QStringLiteral("升级失败")));
    // The scan thread notices the stopped stream only when its wait for a scan runs out.
    ASSERT_TRUE(QTest::qWaitFor([this] { return bool(logic_->exit_flag_); }, 6000));
    ASSERT_TRUE(logic_->connectLidar());
    kes_test::DebugLog retry;
    script_.expect("升级成功，等待设备重启: 10 秒");
    clickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return flags.size() == 6; }, 5000));
    EXPECT_EQ(flags.last().at(0).toUInt(), 0u);
    EXPECT_EQ(device->writes.load(), 1);
    ASSERT_NE(shown<QMessageBox>(), nullptr);
    // Closing the last window ends the event loop as main runs it, long before the fallback.
    QTimer::singleShot(0, bar_.get(), &QWidget::close);
    QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the count-down box keeps the process alive";
    EXPECT_TRUE(QTest::qWaitFor([] { return shown<QMessageBox>() == nullptr; }, 1000));
    EXPECT_EQ(retry.count(QStringLiteral("rejected")), 1);
    const int ticks = retry.count(QStringLiteral("timer_countdown"));
    QTest::qWait(200);
    EXPECT_EQ(retry.count(QStringLiteral("timer_countdown")), ticks) << "closing the box stops the count-down";
    ASSERT_TRUE(logic_->connectLidar());
    choose(imageFile(dir_, "long.bin", 200 * 512));
    clickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->writes > 2; }, 3000));
    QElapsedTimer closing;
    closing.start();
    bar_.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_TRUE(window_.isNull());
    const int writes = device->writes;
    EXPECT_LT(writes, 100) << "closing stops the transfer";
    QTest::qWait(100);
    EXPECT_EQ(device->writes.load(), writes);
    EXPECT_EQ(states_->texts().last(), QStringLiteral("升级失败"));
}
