#pragma once

// The shapes of the device's datagrams, for the SDK's tests and the link figures.
#include "kes_sdk/byte_order.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/crc32.h"
#include "kes_sdk/kes_driver.h"
#include "kes_sdk/wire_format.h"

#include <kes_test/time_scale.h>

#include <asio/ip/udp.hpp>
#include <gtest/gtest.h>

using kes_sdk::Bytes;
using kes_test::Clock;
using Endpoint = asio::ip::udp::endpoint;

inline Endpoint loopback(uint16_t port = 0)
{
    return Endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
}

inline uint16_t codeOf(const Bytes& request)
{
    return kes_sdk::readU16(request.data() + 4);
}

// An answer of the device's shape: length, class 0, code at 6..7, status, value, CRC.
inline Bytes response(uint16_t code, uint32_t status, const Bytes& value = {})
{
    Bytes out;
    kes_sdk::appendU16(out, uint16_t(16 + value.size()));
    kes_sdk::appendU32(out, 0);
    kes_sdk::appendU16(out, code);
    kes_sdk::appendU32(out, status);
    out.insert(out.end(), value.begin(), value.end());
    kes_sdk::appendU32(out, kes_sdk::crc32Mpeg2(out.data(), out.size()));
    return out;
}

// A scan datagram with magic and a matching length field; its points (range + block id,
// intensity 10 x block id). The magic is spelled out here, not taken from the code under test.
inline Bytes scanDatagram(uint8_t rateCode, uint8_t blockId, uint32_t timeStamp, size_t points,
                          uint16_t range = 1000)
{
    Bytes out{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90};
    kes_sdk::appendU16(out, uint16_t(20 + 3 * points + 4));
    kes_sdk::appendU16(out, 0);
    out.insert(out.end(), {rateCode, blockId, 0xBE, 0xEF});
    kes_sdk::appendU32(out, timeStamp);
    out.insert(out.end(), {0x5A, 0});
    for (size_t i = 0; i < points; ++i) {
        kes_sdk::appendU16(out, uint16_t(range + blockId));
        out.push_back(uint8_t(blockId * 10));
    }
    kes_sdk::appendU32(out, 0xA5A5A5A5);
    return out;
}

// Opens a driver without its address lines on the test's output.
inline void openQuietly(kes_sdk::KesDriver& driver)
{
    testing::internal::CaptureStdout();
    ASSERT_EQ(driver.open(), kes_sdk::kSuccess);
    testing::internal::GetCapturedStdout();
}
