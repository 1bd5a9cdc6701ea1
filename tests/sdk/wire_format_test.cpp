#include "fake_peer.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/crc32.h"
#include "kes_sdk/wire_format.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstring>
#include <string>

using namespace kes_sdk;

namespace {

Bytes bytesOf(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes withCrc(Bytes d)
{
    appendU32(d, crc32Mpeg2(d.data(), d.size()));
    return d;
}

} // namespace

TEST(Crc, MatchesTheMpeg2CheckValues)
{
    const Bytes check = bytesOf("123456789");
    EXPECT_EQ(crc32Mpeg2(check.data(), check.size()), 0x0376E6E7u);
    EXPECT_EQ(crc32Mpeg2(nullptr, 0), 0xFFFFFFFFu);
}

TEST(Request, ReadWithoutPayloadIsTwelveBytesWithCrcOfTheHeader)
{
    const Bytes r = buildRequest(cmd::kGetScanFrequency);
    ASSERT_EQ(r.size(), 12u);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 8), (Bytes{0x00, 0x0C, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00}));
    EXPECT_EQ(readU32(r.data() + 8), crc32Mpeg2(r.data(), 8));
}

TEST(Request, PayloadShapes)
{
    const Bytes handshake = buildRequest(cmd::kTrackConnect, payloadU32(cmd::kHandshakeMagic));
    ASSERT_EQ(handshake.size(), 16u);
    EXPECT_EQ(Bytes(handshake.begin(), handshake.begin() + 12),
              (Bytes{0x00, 0x10, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(readU32(handshake.data() + 12), crc32Mpeg2(handshake.data(), 12));

    EXPECT_EQ(payloadIPv4(inet_addr("192.168.1.100")), (Bytes{0x64, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(payloadU16(0x1234), (Bytes{0x12, 0x34, 0x00, 0x00}));
}

TEST(Acceptance, CommandDatagramsNeedTheirCrc)
{
    Bytes answer = FakePeer::response(cmd::kSetScanFrequency, 0);
    EXPECT_TRUE(acceptDatagram(answer));
    answer[9] ^= 0x01;
    EXPECT_FALSE(acceptDatagram(answer));
    EXPECT_FALSE(acceptDatagram(Bytes{0, 0, 0, 0, 0, 0, 0}));
}

TEST(Acceptance, ScanDatagramsNeedMagicAndLengthOrZeroTail)
{
    Bytes scan = FakePeer::scan(6, 1, 7, 192);
    EXPECT_TRUE(acceptDatagram(scan));
    Bytes wrongLength = scan;
    wrongLength[7] ^= 0x01;
    EXPECT_FALSE(acceptDatagram(wrongLength));
    Bytes wrongMagic = scan;
    wrongMagic[0] = 0x00;
    EXPECT_FALSE(acceptDatagram(wrongMagic));
    // The zero tail alone lets a class-1 datagram in, magic or not.
    EXPECT_TRUE(acceptDatagram(Bytes{0x11, 0x22, 0x01, 0x33, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(acceptDatagram(Bytes{0x11, 0x22, 0x07, 0x33, 0x44, 0, 0, 0, 0}));
}

TEST(Response, WriteStatuses)
{
    Bytes value;
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kSetFilterLevel, 0), cmd::kSetFilterLevel, value), kSuccess);
    EXPECT_TRUE(value.empty());
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kSetFilterLevel, 7), cmd::kSetFilterLevel, value),
              kDeviceFailure);
    EXPECT_EQ(valueAsU32(value), 7u);
}

TEST(Response, NumericReads)
{
    Bytes value;
    const Bytes ip = FakePeer::response(cmd::kGetIpAddress, 0, {0x64, 0x01, 0xA8, 0xC0});
    ASSERT_EQ(parseResponse(ip, cmd::kGetIpAddress, value), kSuccess);
    EXPECT_EQ(valueAsU32(value), uint32_t(inet_addr("192.168.1.100")));

    const Bytes temperature = FakePeer::response(cmd::kGetApdTemperature, 0, {0x00, 0x00, 0x20, 0x42});
    ASSERT_EQ(parseResponse(temperature, cmd::kGetApdTemperature, value), kSuccess);
    EXPECT_FLOAT_EQ(valueAsFloat(value), 40.0f);

    const Bytes half = FakePeer::response(cmd::kRead0202, 0, {0x01, 0x02, 0xFF, 0xFF});
    ASSERT_EQ(parseResponse(half, cmd::kRead0202, value), kSuccess);
    EXPECT_EQ(valueAsU32(value), 0x0102u);
}

TEST(Response, ReadFailuresAndStringReads)
{
    Bytes value;
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kGetMotorSpeed, 1, FakePeer::u32Value(99)), cmd::kGetMotorSpeed,
                            value),
              kDeviceFailure);
    EXPECT_EQ(valueAsU32(value), 99u);
    // Any other status carries no value.
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kGetMotorSpeed, 5, FakePeer::u32Value(99)), cmd::kGetMotorSpeed,
                            value),
              kDeviceFailure);
    EXPECT_TRUE(value.empty());

    Bytes text = bytesOf("A1.2");
    text.resize(16, 0);
    ASSERT_EQ(parseResponse(FakePeer::response(cmd::kGetFirmwareVersion, 0, text), cmd::kGetFirmwareVersion, value),
              kSuccess);
    const std::string version = valueAsText(value);
    EXPECT_EQ(version.size(), 16u);
    EXPECT_EQ(std::string(version.c_str()), "A1.2");
}

TEST(Response, TooShortForItsCommandIsUnusable)
{
    Bytes value{1, 2, 3};
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kGetMotorSpeed, 0), cmd::kGetMotorSpeed, value), kNoAnswer);
    EXPECT_TRUE(value.empty());
    EXPECT_EQ(parseResponse(FakePeer::response(cmd::kGetFirmwareVersion, 0, FakePeer::u32Value(1)),
                            cmd::kGetFirmwareVersion, value),
              kNoAnswer);
    EXPECT_EQ(parseResponse(withCrc(Bytes{0, 0, 0, 0, 0, 0, 0x01, 0x05}), cmd::kSetScanFrequency, value), kNoAnswer);
}

TEST(ScanDatagram, DecodesEveryFieldForEachRateCode)
{
    const std::pair<uint8_t, size_t> rates[] = {{4, 378}, {5, 252}, {6, 192}, {7, 150}, {8, 126}};
    for (const auto& [code, n] : rates) {
        ScanPacketData p;
        ASSERT_TRUE(parseScanDatagram(FakePeer::scan(code, 3, 0x01020304, n), p)) << int(code);
        EXPECT_EQ(p.block_id, 3);
        EXPECT_EQ(p.time_stamp, 0x01020304u);
        EXPECT_EQ(p.reserved8, 0x5A);
        uint16_t raw;
        std::memcpy(&raw, Bytes{0xBE, 0xEF}.data(), 2);
        EXPECT_EQ(p.reserved16, raw);
        ASSERT_EQ(p.layers.size(), 1u);
        ASSERT_EQ(p.layers[0].ranges.size(), n);
        ASSERT_EQ(p.layers[0].intensities.size(), n);
        EXPECT_EQ(p.layers[0].ranges[n - 1], 1003);
        EXPECT_EQ(p.layers[0].intensities[0], 30);
    }
}

TEST(ScanDatagram, UnknownRateCodeGivesAnEmptyLayerAndShortDatagramsAreRejected)
{
    ScanPacketData p;
    ASSERT_TRUE(parseScanDatagram(FakePeer::scan(9, 1, 0, 0), p));
    EXPECT_TRUE(p.layers.at(0).ranges.empty());

    Bytes cut = FakePeer::scan(6, 1, 0, 192);
    cut.resize(20 + 3 * 191);
    p.block_id = 42;
    EXPECT_FALSE(parseScanDatagram(cut, p));
    EXPECT_EQ(p.block_id, 42);
    EXPECT_FALSE(parseScanDatagram(Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90, 0, 10, 0, 0}, p));
}
