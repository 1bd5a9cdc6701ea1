#pragma once

#include "kes_sim/scene.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Device-side encoders: the answers to requests and the scan datagrams.
namespace kes_sim {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kStatusOk = 0;
constexpr uint32_t kStatusFailed = 1;
constexpr uint32_t kStatusUnknownCode = 2;

// Why a datagram is not a request the device takes; empty when it is one.
std::string requestDefect(const uint8_t* data, size_t size);

// Value fields as they sit at bytes 12.. of a read answer.
Bytes valueFloatLittleEndian(float v);
Bytes valueText(const std::string& text);

// Sized for `code` as the host expects; a missing or short value is zero-filled.
Bytes encodeResponse(uint16_t code, uint32_t status, const Bytes& value = {});

// 10 Hz -> 4 ... 30 Hz -> 8.
uint8_t rateCodeForHz(uint32_t hz);

Bytes encodeScanDatagram(uint8_t rateCode, uint8_t blockId, uint32_t timeStamp, const ScanPoint* points, size_t n);

} // namespace kes_sim
