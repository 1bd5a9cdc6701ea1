#pragma once

#include "kes_toolbar/upgrade_transfer.h"

class LidarLogic;

// The upgrade hooks of LidarLogic, which outlives the window and so its (awaited) threads.
class LogicUpgradeDevice : public UpgradeDevice {
public:
    explicit LogicUpgradeDevice(LidarLogic* logic) : logic_(logic) {}

    int startUpgrade() override;
    int write(const char* data, int len) override;
    int end() override;
    int sendMd5(const uint8_t* md5) override;
    int commit() override;
    int reboot() override;

private:
    LidarLogic* logic_;
};
