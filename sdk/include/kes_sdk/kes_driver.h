#pragma once

#include "kes_sdk/command_result.h"
#include "kes_sdk/scan_data.h"
#include "kes_sdk/socket_address.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kes_sdk {

// One connection to one lidar: request/response exchanges and full-scan assembly.
// Every operation returns a CommandResult and writes its output only on success.
class KesDriver {
public:
    explicit KesDriver(const SocketAddress& address);
    virtual ~KesDriver();

    KesDriver(const KesDriver&) = delete;
    KesDriver& operator=(const KesDriver&) = delete;

    virtual CommandResult open();
    virtual void close();
    bool isOpen() const;
    void setTimeout(uint32_t milliseconds);

    CommandResult trackConnect();
    CommandResult setLidarIPAddress(uint32_t inetAddr);
    CommandResult getLidarIPAddress(uint32_t& inetAddr);
    CommandResult setScanFrequency(uint32_t hz);
    CommandResult getScanFrequency(uint32_t& hz);
    CommandResult setFilterLevel(uint32_t level);
    CommandResult getFilterLevel(uint32_t& level);
    CommandResult setScanDirection(uint32_t direction);
    CommandResult getScanDirection(uint32_t& direction);
    CommandResult enableDataStream();
    CommandResult disableDataStream();
    CommandResult applyConfigs();
    CommandResult deviceReboot();
    CommandResult getMotorSpeed(uint32_t& rpm);
    CommandResult getApdTemperature(float& degrees);
    CommandResult getFirmwareVersion(std::string& version);
    CommandResult getHardwareVersion(std::string& version);
    CommandResult getSdkVersion(std::string& version);

    // The codes no operation uses, in the shapes of the command set.
    CommandResult writeCommand(uint16_t code, uint32_t value);
    CommandResult writeCommandU16(uint16_t code, uint16_t value);
    CommandResult readCommand(uint16_t code, uint32_t& value);

    CommandResult readScanPacket(ScanPacketData& packet);
    CommandResult grabFullScanBlock(FullScanBlock& scan);

private:
    class Impl;
    using Deadline = std::chrono::steady_clock::time_point;

    CommandResult readScanPacketUntil(ScanPacketData& packet, Deadline limit);
    CommandResult exchange(uint16_t code, const std::vector<uint8_t>& payload, std::vector<uint8_t>& value);
    void loadFilterParameters();

    std::unique_ptr<LidarAddress> address_;
    std::unique_ptr<Impl> impl_;
    std::atomic<uint32_t> filter_level_{0};
    std::atomic<uint32_t> scan_frequency_{0};
    std::atomic<bool> filter_params_loaded_{false};
};

} // namespace kes_sdk
