#include "kes_sdk/wire_format.h"

#include "kes_sdk/byte_order.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/crc32.h"

#include <algorithm>
#include <cstring>

namespace kes_sdk {
namespace {

constexpr size_t kStatusOffset = 8;
constexpr size_t kValueOffset = 12;
constexpr size_t kTextSize = 16;

template <typename T>
Bytes hostBytes(T v)
{
    Bytes out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);
    return out;
}

Bytes readValue(const Bytes& d, uint16_t code)
{
    const uint8_t* p = d.data() + kValueOffset;
    if (isStringRead(code))
        return Bytes(p, p + kTextSize);
    if (code == cmd::kRead0202)
        return hostBytes(readU16(p));
    if (code == cmd::kGetApdTemperature) {
        // The one little-endian field on the wire.
        const uint32_t bits = readU32LittleEndian(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return hostBytes(f);
    }
    return hostBytes(readU32(p));
}

} // namespace

Bytes payloadU32(uint32_t value)
{
    Bytes out;
    appendU32(out, value);
    return out;
}

Bytes payloadU16(uint16_t value)
{
    Bytes out;
    appendU16(out, value);
    appendU16(out, 0);
    return out;
}

Bytes payloadIPv4(uint32_t inetAddr)
{
    // inet_addr's value holds the first octet in its lowest byte: big-endian it reads reversed.
    const auto* octets = reinterpret_cast<const uint8_t*>(&inetAddr);
    return payloadU32(readU32LittleEndian(octets));
}

Bytes buildRequest(uint16_t code, const Bytes& payload)
{
    Bytes out;
    out.reserve(kRequestHeaderSize + payload.size() + kCrcSize);
    appendU16(out, uint16_t(kRequestHeaderSize + kCrcSize + payload.size()));
    appendU16(out, 0);
    appendU16(out, code);
    appendU16(out, 0);
    out.insert(out.end(), payload.begin(), payload.end());
    appendU32(out, crc32Mpeg2(out.data(), out.size()));
    return out;
}

bool acceptDatagram(const uint8_t* data, size_t size)
{
    if (size < kMinDatagramSize)
        return false;
    const uint8_t* tail = data + size - kCrcSize;
    if (data[2] == kClassCommand)
        return crc32Mpeg2(data, size - kCrcSize) == readU32(tail);
    if (readU32(tail) == 0)
        return true;
    return std::equal(std::begin(kScanMagic), std::end(kScanMagic), data) && readU16(data + 6) == size;
}

size_t responseSizeFor(uint16_t code)
{
    if (isReadCommand(code))
        return isStringRead(code) ? kValueOffset + kTextSize + kCrcSize : kValueOffset + 4 + kCrcSize;
    return kValueOffset + kCrcSize;
}

CommandResult parseResponse(const Bytes& d, uint16_t code, Bytes& value)
{
    value.clear();
    if (d.size() < responseSizeFor(code))
        return kNoAnswer;
    const uint32_t status = readU32(d.data() + kStatusOffset);
    if (!isReadCommand(code)) {
        if (status == 0)
            return kSuccess;
        value = hostBytes(status);
        return kDeviceFailure;
    }
    if (status == 0) {
        value = readValue(d, code);
        return kSuccess;
    }
    if (status == 1)
        value = hostBytes(readU32(d.data() + kValueOffset));
    return kDeviceFailure;
}

size_t pointsForRateCode(uint8_t rateCode)
{
    switch (rateCode) {
    case 4: return 378;
    case 5: return 252;
    case 6: return 192;
    case 7: return 150;
    case 8: return 126;
    default: return 0;
    }
}

bool scanDatagramComplete(const uint8_t* data, size_t size)
{
    return size >= kScanHeaderSize && size >= kScanHeaderSize + kScanPointSize * pointsForRateCode(data[10]);
}

bool parseScanDatagram(const uint8_t* data, size_t size, ScanPacketData& out)
{
    if (!scanDatagramComplete(data, size))
        return false;
    const size_t n = pointsForRateCode(data[10]);
    out.block_id = data[11];
    std::memcpy(&out.reserved16, data + 12, sizeof out.reserved16);
    out.time_stamp = readU32(data + 14);
    out.reserved8 = data[18];
    out.layers.resize(1);
    ScanLayer& layer = out.layers[0];
    layer.ranges.resize(n);
    layer.intensities.resize(n);
    const uint8_t* p = data + kScanHeaderSize;
    for (size_t i = 0; i < n; ++i, p += kScanPointSize) {
        layer.ranges[i] = readU16(p);
        layer.intensities[i] = p[2];
    }
    return true;
}

uint32_t valueAsU32(const Bytes& value)
{
    if (value.size() == sizeof(uint16_t)) {
        uint16_t v;
        std::memcpy(&v, value.data(), sizeof v);
        return v;
    }
    uint32_t v = 0;
    std::memcpy(&v, value.data(), std::min(value.size(), sizeof v));
    return v;
}

float valueAsFloat(const Bytes& value)
{
    float f = 0;
    std::memcpy(&f, value.data(), std::min(value.size(), sizeof f));
    return f;
}

std::string valueAsText(const Bytes& value)
{
    return std::string(value.begin(), value.end());
}

} // namespace kes_sdk
