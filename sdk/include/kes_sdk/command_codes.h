#pragma once

#include <cstdint>

namespace kes_sdk {

// 0x01xx write (status only), 0x02xx read (status and value).
namespace cmd {
constexpr uint16_t kSetIpAddress = 0x0101;
constexpr uint16_t kWrite0102 = 0x0102;
constexpr uint16_t kSetScanFrequency = 0x0105;
constexpr uint16_t kSetFilterLevel = 0x0106;
constexpr uint16_t kWrite0107 = 0x0107;
constexpr uint16_t kTrackConnect = 0x0108;
constexpr uint16_t kWrite0109 = 0x0109;
constexpr uint16_t kDataStream = 0x010A;
constexpr uint16_t kApplyConfigs = 0x010D;
constexpr uint16_t kDeviceReboot = 0x010E;
constexpr uint16_t kSetScanDirection = 0x0115;

constexpr uint16_t kGetIpAddress = 0x0201;
constexpr uint16_t kRead0202 = 0x0202;
constexpr uint16_t kGetScanFrequency = 0x0205;
constexpr uint16_t kGetFilterLevel = 0x0206;
constexpr uint16_t kRead0207 = 0x0207;
constexpr uint16_t kGetMotorSpeed = 0x0208;
constexpr uint16_t kGetApdTemperature = 0x0209;
constexpr uint16_t kRead020C = 0x020C;
constexpr uint16_t kGetHardwareVersion = 0x020D;
constexpr uint16_t kGetFirmwareVersion = 0x020E;
constexpr uint16_t kGetScanDirection = 0x0212;

constexpr uint32_t kHandshakeMagic = 0x12345678;
} // namespace cmd

constexpr bool isWriteCommand(uint16_t code)
{
    return (code >> 8) == 0x01;
}
constexpr bool isReadCommand(uint16_t code)
{
    return (code >> 8) == 0x02;
}
constexpr bool isStringRead(uint16_t code)
{
    return code == cmd::kGetHardwareVersion || code == cmd::kGetFirmwareVersion;
}

} // namespace kes_sdk
