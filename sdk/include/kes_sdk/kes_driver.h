#pragma once

#include "kes_sdk/command_result.h"
#include "kes_sdk/link_stats.h"
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

    [[nodiscard]] virtual CommandResult open();
    virtual void close();
    bool isOpen() const;
    void setTimeout(uint32_t milliseconds);

    [[nodiscard]] CommandResult trackConnect();
    [[nodiscard]] CommandResult setLidarIPAddress(uint32_t inetAddr);
    [[nodiscard]] CommandResult getLidarIPAddress(uint32_t& inetAddr);
    [[nodiscard]] CommandResult setScanFrequency(uint32_t hz);
    [[nodiscard]] CommandResult getScanFrequency(uint32_t& hz);
    [[nodiscard]] CommandResult setFilterLevel(uint32_t level);
    [[nodiscard]] CommandResult getFilterLevel(uint32_t& level);
    [[nodiscard]] CommandResult setScanDirection(uint32_t direction);
    [[nodiscard]] CommandResult getScanDirection(uint32_t& direction);
    [[nodiscard]] CommandResult enableDataStream();
    [[nodiscard]] CommandResult disableDataStream();
    [[nodiscard]] CommandResult applyConfigs();
    [[nodiscard]] CommandResult deviceReboot();
    [[nodiscard]] CommandResult getMotorSpeed(uint32_t& rpm);
    [[nodiscard]] CommandResult getApdTemperature(float& degrees);
    [[nodiscard]] CommandResult getFirmwareVersion(std::string& version);
    [[nodiscard]] CommandResult getHardwareVersion(std::string& version);
    [[nodiscard]] CommandResult getSdkVersion(std::string& version);

    // The codes no operation uses, in the shapes of the command set.
    [[nodiscard]] CommandResult writeCommand(uint16_t code, uint32_t value);
    [[nodiscard]] CommandResult writeCommandU16(uint16_t code, uint16_t value);
    [[nodiscard]] CommandResult readCommand(uint16_t code, uint32_t& value);

    [[nodiscard]] CommandResult readScanPacket(ScanPacketData& packet);
    [[nodiscard]] CommandResult grabFullScanBlock(FullScanBlock& scan);

    // A copy of every datagram of the connections opened after this call, both directions.
    void setTap(DatagramTap tap);
    // What the link has carried since this driver was constructed.
    LinkStats linkStats() const;

private:
    class Impl;
    using Deadline = std::chrono::steady_clock::time_point;

    [[nodiscard]] CommandResult readScanPacketUntil(ScanPacketData& packet, Deadline limit);
    [[nodiscard]] CommandResult exchange(uint16_t code, const std::vector<uint8_t>& payload,
                                         std::vector<uint8_t>& value);
    void loadFilterParameters();

    std::unique_ptr<LidarAddress> address_;
    std::unique_ptr<Impl> impl_;
    std::atomic<uint32_t> filter_level_{0};
    std::atomic<uint32_t> scan_frequency_{0};
    std::atomic<bool> filter_params_loaded_{false};
    RevolutionTally tally_; // the scan thread's alone
};

} // namespace kes_sdk
