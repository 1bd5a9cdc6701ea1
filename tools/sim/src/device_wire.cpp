#include "device_wire.h"

#include "kes_sdk/byte_order.h"
#include "kes_sdk/crc32.h"
#include "kes_sdk/wire_format.h"

#include <algorithm>
#include <cstring>

namespace kes_sim {

using kes_sdk::appendU16;
using kes_sdk::appendU32;

constexpr size_t kTextSize = 16;
constexpr size_t kValueOffset = 12;

std::string requestDefect(const uint8_t* data, size_t size)
{
    constexpr size_t kBare = kes_sdk::kRequestHeaderSize + kes_sdk::kCrcSize;
    if (size != kBare && size != kBare + 4)
        return "size " + std::to_string(size) + " is neither 12 nor 16";
    if (kes_sdk::readU16(data) != size)
        return "length field disagrees with size";
    if (data[2] != kes_sdk::kClassCommand)
        return "not a command";
    if (!kes_sdk::acceptDatagram(data, size))
        return "bad CRC";
    return {};
}

Bytes valueFloatLittleEndian(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}

Bytes valueText(const std::string& text)
{
    Bytes out(text.begin(), text.begin() + long(std::min(text.size(), kTextSize)));
    out.resize(kTextSize, 0);
    return out;
}

Bytes encodeResponse(uint16_t code, uint32_t status, const Bytes& value)
{
    const size_t size = kes_sdk::responseSizeFor(code);
    Bytes out;
    out.reserve(size);
    appendU16(out, uint16_t(size));
    appendU32(out, 0);
    appendU16(out, code);
    appendU32(out, status);
    const size_t valueSize = size - kValueOffset - kes_sdk::kCrcSize;
    out.insert(out.end(), value.begin(), value.begin() + long(std::min(value.size(), valueSize)));
    out.resize(size - kes_sdk::kCrcSize, 0);
    appendU32(out, kes_sdk::crc32Mpeg2(out.data(), out.size()));
    return out;
}

uint8_t rateCodeForHz(uint32_t hz)
{
    return uint8_t(hz / 5 + 2);
}

Bytes encodeScanDatagram(uint8_t rateCode, uint8_t blockId, uint32_t timeStamp, const ScanPoint* points, size_t n)
{
    const size_t size = kes_sdk::kScanHeaderSize + kes_sdk::kScanPointSize * n + kes_sdk::kCrcSize;
    Bytes out(std::begin(kes_sdk::kScanMagic), std::end(kes_sdk::kScanMagic));
    out.reserve(size);
    appendU16(out, uint16_t(size));
    appendU16(out, 0);
    out.push_back(rateCode);
    out.push_back(blockId);
    appendU16(out, 0);
    appendU32(out, timeStamp);
    appendU16(out, 0);
    for (size_t i = 0; i < n; ++i) {
        appendU16(out, points[i].range);
        out.push_back(points[i].intensity);
    }
    // An all-zero tail would let the host accept the datagram without checking its magic.
    appendU32(out, std::max(kes_sdk::crc32Mpeg2(out.data(), out.size()), 1u));
    return out;
}

} // namespace kes_sim
