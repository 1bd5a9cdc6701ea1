#include "kes_logic/lidar_logic.h"

#include "kes_logic/service_model.h"
#include "lidar_core.h"

#include <qmdnsengine/message.h>

#include <QTimer>

namespace {

constexpr int kSettleMs = 10000;
// Long enough for the threads to finish a cycle against a live device.
constexpr int kShutdownBoundMs = 3000;

} // namespace

LidarLogic::LidarLogic(QMdnsEngine::AbstractServer* mdnsServer, QObject* parent)
    : QObject(parent),
      core_(std::make_shared<LidarCore>(this)),
      ip_addr_(core_->ip_addr_),
      lidar_port_(core_->lidar_port_),
      scan_frequency_(core_->scan_frequency_),
      motor_frequency_(core_->motor_frequency_),
      scan_direction_(core_->scan_direction_),
      filter_enabled_(core_->filter_enabled_),
      filter_level_(core_->filter_level_),
      busy_count_(core_->busy_count_),
      exit_flag_(core_->exit_flag_),
      connected_(core_->connected_),
      settings_enabled_(core_->settings_enabled_),
      scan_set_flag_(core_->scan_set_flag_),
      first_block_pending_(core_->first_block_pending_),
      update_flag_(core_->update_flag_),
      firmware_version_(core_->firmware_version_),
      hardware_version_(core_->hardware_version_),
      sdk_version_(core_->sdk_version_),
      scan_thread_running_(core_->scan_thread_running_),
      info_thread_running_(core_->info_thread_running_),
      language_(core_->language_),
      last_result_(core_->last_result_),
      settle_timer_(new QTimer(this)),
      service_type_(QStringLiteral("_udp._udp.local.")),
      mdns_server_(nullptr),
      mdns_timer_(new QTimer(this))
{
    qRegisterMetaType<kes_sdk::ScanBlockData>("kes_sdk::ScanBlockData");
    qRegisterMetaType<uint32_t>("uint32_t");
    qRegisterMetaType<QMdnsEngine::Message>("Message");
    settle_timer_->setObjectName(QStringLiteral("settle_timer_"));
    connect(settle_timer_, &QTimer::timeout, this, [this] {
        scan_set_flag_ = false;
        settle_timer_->stop();
    });
    setUpDiscovery(mdnsServer);
}

LidarLogic::~LidarLogic()
{
    core_->shutDown(kShutdownBoundMs);
    delete service_model_;
}

// Each operation holds its own reference to the core, so a call still running when the
// object is destroyed finishes on state that is still alive.
bool LidarLogic::connectLidar()
{
    const auto core = core_;
    return core->connectLidar();
}
bool LidarLogic::disconnectLidar()
{
    const auto core = core_;
    return core->disconnectLidar();
}
bool LidarLogic::applyScanFrequency()
{
    const auto core = core_;
    return core->applyScanFrequency();
}
bool LidarLogic::applyScanDirection()
{
    const auto core = core_;
    return core->applyScanDirection();
}
int LidarLogic::applyConfigs()
{
    const auto core = core_;
    return core->applyConfigs();
}
int LidarLogic::applyLidarIPAddress()
{
    const auto core = core_;
    return core->applyLidarIPAddress();
}
int LidarLogic::readLidarIPAddress(QString& ip)
{
    const auto core = core_;
    return core->readLidarIPAddress(ip);
}
bool LidarLogic::rebootLidar()
{
    const auto core = core_;
    return core->rebootLidar();
}
int LidarLogic::setFilterEnable(bool on)
{
    const auto core = core_;
    return core->setFilterEnable(on);
}
void LidarLogic::setFilterLevel(uint32_t level)
{
    const auto core = core_;
    core->setFilterLevel(level);
}
void LidarLogic::scanThread()
{
    core_->scanThread();
}
void LidarLogic::lidar_info_thread()
{
    core_->lidar_info_thread();
}
void LidarLogic::closeThread()
{
    core_->closeThread();
}
bool LidarLogic::scanBlock()
{
    const auto core = core_;
    return core->scanBlock();
}

void LidarLogic::setColorMode(uint32_t mode)
{
    emit sendColorMode(mode);
}

void LidarLogic::setDriverTimeout(uint32_t ms)
{
    const auto core = core_;
    core->setDriverTimeout(ms);
}
void LidarLogic::setDatagramTap(kes_sdk::DatagramTap tap)
{
    core_->setDatagramTap(std::move(tap));
}
std::optional<kes_sdk::LinkStats> LidarLogic::linkStats() const
{
    return core_->linkStats();
}
int LidarLogic::device_stop_stream()
{
    const auto core = core_;
    return core->device_stop_stream();
}
int LidarLogic::device_reboot()
{
    const auto core = core_;
    return core->device_reboot();
}

// The device command set has no command that carries a firmware image.
int LidarLogic::start_upgrade()
{
    return 0;
}
int LidarLogic::device_upgrade()
{
    return 0;
}
int LidarLogic::upgradeEnd()
{
    return 0;
}
int LidarLogic::upgradeCommit()
{
    return 0;
}
int LidarLogic::upgradeSendMd5(const uint8_t*)
{
    return 0;
}
int LidarLogic::upgradeWrite(const char*, int)
{
    return 0;
}

void LidarLogic::receive_update_flag(uint32_t flag)
{
    core_->receive_update_flag(flag);
}

void LidarLogic::setLanguage(int num)
{
    if (num == 0)
        language_ = true;
    else if (num == 1)
        language_ = false;
}

void LidarLogic::startSettleTimer()
{
    settle_timer_->start(kSettleMs);
}
