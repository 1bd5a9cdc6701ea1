#include "kes_sdk/kes_driver.h"

#include "driver_impl.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/tail_filter.h"
#include "kes_sdk/wire_format.h"

#include <algorithm>
#include <array>

namespace kes_sdk {
namespace {

std::unique_ptr<LidarAddress> copyIfLidar(const SocketAddress& address)
{
    if (const auto* lidar = dynamic_cast<const LidarAddress*>(&address))
        return std::make_unique<LidarAddress>(*lidar);
    return nullptr;
}

// Copies a datagram's points into slot k of a full scan sized for its rate.
void placeSubBlock(const ScanLayer& from, size_t k, ScanLayer& into)
{
    const auto begin = ptrdiff_t(k * from.ranges.size());
    std::copy(from.ranges.begin(), from.ranges.end(), into.ranges.begin() + begin);
    std::copy(from.intensities.begin(), from.intensities.end(), into.intensities.begin() + begin);
}

template <typename T, typename Decode>
CommandResult assignOnSuccess(CommandResult result, const std::vector<uint8_t>& value, Decode decode, T& out)
{
    if (result == kSuccess)
        out = decode(value);
    return result;
}

// `value` is read after the call that may have written it.
CommandResult cacheOnSuccess(CommandResult result, const uint32_t& value, std::atomic<uint32_t>& cache)
{
    if (result == kSuccess)
        cache = value;
    return result;
}

} // namespace

KesDriver::KesDriver(const SocketAddress& address) : address_(copyIfLidar(address)), impl_(std::make_unique<Impl>())
{
}

KesDriver::~KesDriver()
{
    close();
}

CommandResult KesDriver::open()
{
    if (!address_)
        return kSocketError;
    return impl_->open(*address_);
}

void KesDriver::close()
{
    impl_->close();
}

bool KesDriver::isOpen() const
{
    return impl_->isOpen();
}

void KesDriver::setTimeout(uint32_t milliseconds)
{
    impl_->setTimeout(milliseconds);
}

CommandResult KesDriver::exchange(uint16_t code, const std::vector<uint8_t>& payload, std::vector<uint8_t>& value)
{
    return impl_->sendCommand(buildRequest(code, payload), value);
}

CommandResult KesDriver::writeCommand(uint16_t code, uint32_t value)
{
    std::vector<uint8_t> out;
    return exchange(code, payloadU32(value), out);
}

CommandResult KesDriver::writeCommandU16(uint16_t code, uint16_t value)
{
    std::vector<uint8_t> out;
    return exchange(code, payloadU16(value), out);
}

CommandResult KesDriver::readCommand(uint16_t code, uint32_t& value)
{
    std::vector<uint8_t> out;
    return assignOnSuccess(exchange(code, {}, out), out, valueAsU32, value);
}

CommandResult KesDriver::trackConnect()
{
    return writeCommand(cmd::kTrackConnect, cmd::kHandshakeMagic);
}

CommandResult KesDriver::setLidarIPAddress(uint32_t inetAddr)
{
    std::vector<uint8_t> out;
    return exchange(cmd::kSetIpAddress, payloadIPv4(inetAddr), out);
}

CommandResult KesDriver::getLidarIPAddress(uint32_t& inetAddr)
{
    return readCommand(cmd::kGetIpAddress, inetAddr);
}

CommandResult KesDriver::setScanFrequency(uint32_t hz)
{
    return cacheOnSuccess(writeCommand(cmd::kSetScanFrequency, hz), hz, scan_frequency_);
}

CommandResult KesDriver::getScanFrequency(uint32_t& hz)
{
    return cacheOnSuccess(readCommand(cmd::kGetScanFrequency, hz), hz, scan_frequency_);
}

CommandResult KesDriver::setFilterLevel(uint32_t level)
{
    return cacheOnSuccess(writeCommand(cmd::kSetFilterLevel, level), level, filter_level_);
}

CommandResult KesDriver::getFilterLevel(uint32_t& level)
{
    return cacheOnSuccess(readCommand(cmd::kGetFilterLevel, level), level, filter_level_);
}

CommandResult KesDriver::setScanDirection(uint32_t direction)
{
    return writeCommand(cmd::kSetScanDirection, direction);
}

CommandResult KesDriver::getScanDirection(uint32_t& direction)
{
    return readCommand(cmd::kGetScanDirection, direction);
}

CommandResult KesDriver::enableDataStream()
{
    return writeCommand(cmd::kDataStream, 1);
}

CommandResult KesDriver::disableDataStream()
{
    return writeCommand(cmd::kDataStream, 0);
}

CommandResult KesDriver::applyConfigs()
{
    return writeCommand(cmd::kApplyConfigs, 0);
}

CommandResult KesDriver::deviceReboot()
{
    return writeCommand(cmd::kDeviceReboot, 0);
}

CommandResult KesDriver::getMotorSpeed(uint32_t& rpm)
{
    return readCommand(cmd::kGetMotorSpeed, rpm);
}

CommandResult KesDriver::getApdTemperature(float& degrees)
{
    std::vector<uint8_t> out;
    return assignOnSuccess(exchange(cmd::kGetApdTemperature, {}, out), out, valueAsFloat, degrees);
}

CommandResult KesDriver::getFirmwareVersion(std::string& version)
{
    std::vector<uint8_t> out;
    return assignOnSuccess(exchange(cmd::kGetFirmwareVersion, {}, out), out, valueAsText, version);
}

CommandResult KesDriver::getHardwareVersion(std::string& version)
{
    std::vector<uint8_t> out;
    return assignOnSuccess(exchange(cmd::kGetHardwareVersion, {}, out), out, valueAsText, version);
}

CommandResult KesDriver::getSdkVersion(std::string& version)
{
    version = "v1.0.5";
    return kSuccess;
}

void KesDriver::setTap(DatagramTap tap)
{
    impl_->setTap(std::move(tap));
}

LinkStats KesDriver::linkStats() const
{
    return impl_->counters().snapshot();
}

CommandResult KesDriver::readScanPacket(ScanPacketData& packet)
{
    return readScanPacketUntil(packet, Deadline::max());
}

CommandResult KesDriver::readScanPacketUntil(ScanPacketData& packet, Deadline limit)
{
    std::vector<uint8_t> datagram;
    const CommandResult r = impl_->waitScanPacket(datagram, limit);
    if (r != kSuccess)
        return r;
    return parseScanDatagram(datagram, packet) ? kSuccess : kNoAnswer;
}

void KesDriver::loadFilterParameters()
{
    uint32_t level = 0;
    uint32_t hz = 0;
    if (getFilterLevel(level) == kSuccess && getScanFrequency(hz) == kSuccess)
        filter_params_loaded_ = true;
}

// The time-out bounds each wait, and twice the time-out the whole call: a stream that never
// completes a revolution (foreign indices, one index missing) must not hold the caller.
CommandResult KesDriver::grabFullScanBlock(FullScanBlock& scan)
{
    const Deadline limit = Impl::Clock::now() + 2 * std::chrono::milliseconds(impl_->timeout());
    std::array<bool, kBlocksPerScan> seen{};
    bool sized = false;
    ScanPacketData packet;
    for (;;) {
        const CommandResult r = readScanPacketUntil(packet, limit);
        if (r != kSuccess)
            return r;
        const int k = int(packet.block_id) - 1;
        const ScanLayer& points = packet.layers[0];
        if (k < 0 || k >= kBlocksPerScan || points.ranges.empty())
            continue;
        for (int lost = tally_.add(packet.block_id); lost > 0; --lost)
            impl_->counters().countIncomplete();
        const size_t size = kBlocksPerScan * points.ranges.size();
        // A datagram of another rate starts the revolution again from itself, so a scan never
        // mixes two rates or keeps points of an earlier one.
        if (!sized || scan.layers[0].ranges.size() != size) {
            seen.fill(false);
            scan.time_stamp = packet.time_stamp;
            scan.layers.resize(1);
            scan.layers[0].ranges.assign(size, 0);
            scan.layers[0].intensities.assign(size, 0);
            sized = true;
        }
        seen[size_t(k)] = true;
        placeSubBlock(points, size_t(k), scan.layers[0]);
        const bool edge = packet.block_id == 1 || packet.block_id == kBlocksPerScan;
        if (edge && std::all_of(seen.begin(), seen.end(), [](bool s) { return s; }))
            break;
    }
    if (!filter_params_loaded_)
        loadFilterParameters();
    applyTailFilter(scan.layers[0].ranges, filter_level_, scan_frequency_);
    impl_->counters().countScan(Impl::Clock::now());
    return kSuccess;
}

} // namespace kes_sdk
