#pragma once

#include <cstddef>
#include <cstdint>

namespace kes_sdk {

// CRC-32/MPEG-2: poly 0x04C11DB7, init 0xFFFFFFFF, no reflection, no final XOR.
uint32_t crc32Mpeg2(const uint8_t* data, size_t size);

} // namespace kes_sdk
