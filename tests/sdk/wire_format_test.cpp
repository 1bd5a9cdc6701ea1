#include "fake_peer.h"

#include <cstring>
#include <string>

using namespace kes_sdk;

namespace {

Bytes withCrc(Bytes d)
{
    appendU32(d, crc32Mpeg2(d.data(), d.size()));
    return d;
}

Bytes text16(const char* text)
{
    Bytes out(text, text + std::strlen(text));
    out.resize(16, 0);
    return out;
}

} // namespace

TEST(WireFormat, CrcAndRequestsAreByteExact)
{
    const Bytes check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32Mpeg2(check.data(), check.size()), 0x0376E6E7u);
    EXPECT_EQ(crc32Mpeg2(nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(buildRequest(cmd::kGetScanFrequency), withCrc({0x00, 0x0C, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00}));
    EXPECT_EQ(buildRequest(cmd::kTrackConnect, payloadU32(cmd::kHandshakeMagic)),
              withCrc({0x00, 0x10, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(payloadIPv4(inet_addr("192.168.1.100")), (Bytes{0x64, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(payloadU16(0x1234), (Bytes{0x12, 0x34, 0x00, 0x00}));
}

// Command datagrams need their CRC; scan datagrams their magic and length, or the zero tail
// alone (which lets a class-1 datagram in, magic or not).
TEST(WireFormat, AcceptanceOfDatagrams)
{
    const Bytes answer = response(cmd::kSetScanFrequency, 0);
    const Bytes scan = scanDatagram(6, 1, 7, 192);
    Bytes badCrc = answer, badLength = scan, badMagic = scan;
    badCrc[9] ^= 0x01;
    badLength[7] ^= 0x01;
    badMagic[0] = 0x00;
    const std::pair<Bytes, bool> cases[] = {{answer, true},
                                            {badCrc, false},
                                            {Bytes{0, 0, 0, 0, 0, 0, 0}, false},
                                            {scan, true},
                                            {badLength, false},
                                            {badMagic, false},
                                            {Bytes{0x11, 0x22, 0x01, 0x33, 0, 0, 0, 0}, true},
                                            {Bytes{0x11, 0x22, 0x07, 0x33, 0x44, 0, 0, 0, 0}, true}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(acceptDatagram(cases[i].first), cases[i].second) << i;
}

// Writes give their status; reads their value on success, the u32 value on status 1 and
// nothing on any other; an answer too short for its command is unusable.
TEST(WireFormat, ResponsesByCommand)
{
    const uint32_t none = 0xDEAD;
    const struct {
        uint16_t code;
        Bytes answer;
        CommandResult result;
        uint32_t number; // the value as a number, or `none` for an empty value
    } cases[] = {
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 0), kSuccess, none},
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 7), kDeviceFailure, 7},
        {cmd::kGetIpAddress, response(cmd::kGetIpAddress, 0, {0x64, 0x01, 0xA8, 0xC0}), kSuccess,
         uint32_t(inet_addr("192.168.1.100"))},
        {cmd::kRead0202, response(cmd::kRead0202, 0, {0x01, 0x02, 0xFF, 0xFF}), kSuccess, 0x0102},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 1, u32Value(99)), kDeviceFailure, 99},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 5, u32Value(99)), kDeviceFailure, none},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 0), kNoAnswer, none},
        {cmd::kGetFirmwareVersion, response(cmd::kGetFirmwareVersion, 0, u32Value(1)), kNoAnswer, none},
        {cmd::kSetScanFrequency, withCrc({0, 0, 0, 0, 0, 0, 0x01, 0x05}), kNoAnswer, none},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Bytes value{1, 2, 3};
        EXPECT_EQ(parseResponse(cases[i].answer, cases[i].code, value), cases[i].result) << i;
        if (cases[i].number == none)
            EXPECT_TRUE(value.empty()) << i;
        else
            EXPECT_EQ(valueAsU32(value), cases[i].number) << i;
    }
    Bytes value;
    ASSERT_EQ(parseResponse(response(cmd::kGetApdTemperature, 0, {0x00, 0x00, 0x20, 0x42}), cmd::kGetApdTemperature,
                            value),
              kSuccess);
    EXPECT_FLOAT_EQ(valueAsFloat(value), 40.0f);
    ASSERT_EQ(parseResponse(response(cmd::kGetFirmwareVersion, 0, text16("A1.2")), cmd::kGetFirmwareVersion, value),
              kSuccess);
    EXPECT_EQ(valueAsText(value), std::string("A1.2").append(12, '\0'));
}

TEST(WireFormat, ScanDatagramsDecodeEveryFieldForEachRateCode)
{
    const std::pair<uint8_t, size_t> rates[] = {{4, 378}, {5, 252}, {6, 192}, {7, 150}, {8, 126}, {9, 0}};
    for (const auto& [code, n] : rates) {
        ScanPacketData p;
        ASSERT_TRUE(parseScanDatagram(scanDatagram(code, 3, 0x01020304, n), p)) << int(code);
        EXPECT_EQ(p.block_id, 3);
        EXPECT_EQ(p.time_stamp, 0x01020304u);
        EXPECT_EQ(p.reserved8, 0x5A);
        uint16_t raw;
        std::memcpy(&raw, Bytes{0xBE, 0xEF}.data(), 2);
        EXPECT_EQ(p.reserved16, raw);
        ASSERT_EQ(p.layers.size(), 1u);
        ASSERT_EQ(p.layers[0].ranges.size(), n);
        ASSERT_EQ(p.layers[0].intensities.size(), n);
        if (n > 0) {
            EXPECT_EQ(p.layers[0].ranges[n - 1], 1003);
            EXPECT_EQ(p.layers[0].intensities[0], 30);
        }
    }
    // Too short for its points: rejected, the record untouched.
    Bytes cut = scanDatagram(6, 1, 0, 192);
    cut.resize(20 + 3 * 191);
    ScanPacketData p;
    p.block_id = 42;
    EXPECT_FALSE(parseScanDatagram(cut, p));
    EXPECT_FALSE(parseScanDatagram(Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90, 0, 10, 0, 0}, p));
    EXPECT_EQ(p.block_id, 42);
}
