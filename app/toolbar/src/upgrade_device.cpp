#include "upgrade_device.h"

#include <kes_logic/lidar_logic.h>

int LogicUpgradeDevice::startUpgrade()
{
    return logic_->start_upgrade();
}
int LogicUpgradeDevice::write(const char* data, int len)
{
    return logic_->upgradeWrite(data, len);
}
int LogicUpgradeDevice::end()
{
    return logic_->upgradeEnd();
}
int LogicUpgradeDevice::sendMd5(const uint8_t* md5)
{
    return logic_->upgradeSendMd5(md5);
}
int LogicUpgradeDevice::commit()
{
    return logic_->upgradeCommit();
}
int LogicUpgradeDevice::reboot()
{
    return logic_->device_reboot();
}
