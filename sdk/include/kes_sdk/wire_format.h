#pragma once

#include "kes_sdk/command_result.h"
#include "kes_sdk/scan_data.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kes_sdk {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kClassCommand = 0;
constexpr uint8_t kClassScan = 1;
constexpr size_t kMinDatagramSize = 8;
constexpr size_t kRequestHeaderSize = 8;
constexpr size_t kCrcSize = 4;
constexpr size_t kScanHeaderSize = 20;
constexpr size_t kScanPointSize = 3;
constexpr uint8_t kScanMagic[6] = {0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90};

// Request payload shapes.
Bytes payloadU32(uint32_t value);
Bytes payloadU16(uint16_t value);
// `inetAddr` is the network-order value inet_addr gives; the wire carries it byte-reversed.
Bytes payloadIPv4(uint32_t inetAddr);

// Header, payload (0 or 4 bytes) and CRC.
Bytes buildRequest(uint16_t code, const Bytes& payload = {});

[[nodiscard]] bool acceptDatagram(const uint8_t* data, size_t size);
[[nodiscard]] inline bool acceptDatagram(const Bytes& d)
{
    return acceptDatagram(d.data(), d.size());
}

// Byte 2; the caller has ensured the datagram has at least three bytes.
inline uint8_t datagramClass(const Bytes& d)
{
    return d[2];
}

// The command code a response answers (bytes 6..7); the caller has ensured eight bytes.
inline uint16_t responseCode(const Bytes& d)
{
    return uint16_t((d[6] << 8) | d[7]);
}

// Bytes a response to `code` needs, CRC included.
size_t responseSizeFor(uint16_t code);

// Decodes a response to `code`. On success `value` holds the answer value bytes (host-order
// u32 / u16 / float, or the 16 raw text bytes); on a device failure with a value, the status
// (write) or the u32 value (read) in host order. A response too short for its command is
// unusable: result 2, `value` left empty.
[[nodiscard]] CommandResult parseResponse(const Bytes& datagram, uint16_t code, Bytes& value);

// Points per datagram for a rate code; 0 for unknown codes.
size_t pointsForRateCode(uint8_t rateCode);

// Whether a scan datagram holds all the points its rate code announces.
[[nodiscard]] bool scanDatagramComplete(const uint8_t* data, size_t size);

// Decodes a scan datagram; false (and `out` untouched) when it is too short for its points.
[[nodiscard]] bool parseScanDatagram(const uint8_t* data, size_t size, ScanPacketData& out);
[[nodiscard]] inline bool parseScanDatagram(const Bytes& d, ScanPacketData& out)
{
    return parseScanDatagram(d.data(), d.size(), out);
}

// Value helpers for parseResponse's output.
uint32_t valueAsU32(const Bytes& value);
float valueAsFloat(const Bytes& value);
std::string valueAsText(const Bytes& value);

} // namespace kes_sdk
