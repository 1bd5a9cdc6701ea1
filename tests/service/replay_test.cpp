// A capture file made by the capture writer, loaded and played by the simulator: a host on a
// loopback socket gets the captured device's answers and its stream, byte for byte, at pace.
#include "kes_pcap/capture_reader.h"
#include "kes_pcap/capture_writer.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/crc32.h"
#include "kes_sim/replay.h"
#include "loopback_host.h"

#include <cstdio>

namespace kes_sim_test {
namespace {

namespace cmd = kes_sdk::cmd;

Bytes answer(uint16_t code, Bytes value)
{
    Bytes a;
    kes_sdk::appendU16(a, uint16_t(12 + value.size() + 4));
    kes_sdk::appendU32(a, 0);
    kes_sdk::appendU16(a, code);
    kes_sdk::appendU32(a, 0); // status: done
    a.insert(a.end(), value.begin(), value.end());
    kes_sdk::appendU32(a, kes_sdk::crc32Mpeg2(a.data(), a.size()));
    return a;
}

Bytes scan(uint8_t id, uint8_t fill)
{
    Bytes d(std::begin(kes_sdk::kScanMagic), std::end(kes_sdk::kScanMagic));
    d.resize(20 + 3 * 150 + 4, fill);
    d[6] = uint8_t(d.size() >> 8);
    d[7] = uint8_t(d.size());
    d[10] = 7; // 25 Hz
    d[11] = id;
    return d;
}

struct Step {
    int ms;    // after the first datagram of the capture
    bool sent; // host to device
    Bytes bytes;
};

} // namespace

TEST(ReplayTest, TheCapturedDeviceAnswersAndStreamsAtItsPaceFromEachStreamOn)
{
    Bytes junk = scan(3, 0x55);
    junk[0] = 0; // a bad magic is played as it came: the host's acceptance test is what it shows
    const std::vector<Step> link = {
        {0, true, kes_sdk::buildRequest(cmd::kGetFirmwareVersion)},
        {1, false, answer(cmd::kGetFirmwareVersion, {'Z', '1', '.', '2', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {2, true, kes_sdk::buildRequest(cmd::kGetScanFrequency)},
        {3, false, answer(cmd::kGetScanFrequency, kes_sdk::payloadU32(25))},
        {4, false, answer(cmd::kGetFilterLevel, kes_sdk::payloadU32(4))},
        {10, true, kes_sdk::buildRequest(cmd::kDataStream, kes_sdk::payloadU32(1))},
        {30, false, scan(1, 0x11)},
        {50, false, junk},
        {250, false, scan(2, 0x22)}, // after a 200 ms gap in the field
        {260, false, scan(3, 0x33)},
    };
    const std::string path = testing::TempDir() + "replay_test.pcap";
    std::string error;
    {
        auto writer = kes_pcap::CaptureWriter::create(path, error);
        ASSERT_TRUE(writer) << error;
        const auto t0 = std::chrono::system_clock::now();
        for (const Step& s : link)
            writer->write({s.sent, true, 0x7F000001, 2007, 40000, t0 + Ms(s.ms), s.bytes.data(), s.bytes.size()});
        ASSERT_TRUE(writer->close(error)) << error;
    }
    kes_pcap::Capture capture;
    ASSERT_TRUE(kes_pcap::readCapture(path, capture, error)) << error;
    ASSERT_EQ(capture.datagrams.size(), link.size());
    std::optional<kes_sim::Replay> replay = kes_sim::makeReplay(capture.datagrams, error);
    ASSERT_TRUE(replay) << error;
    std::remove(path.c_str());

    for (bool loop : {false, true}) {
        kes_sim::SimOptions options;
        kes_sim::seedOptions(*replay, options);
        options.replay = std::make_shared<const kes_sim::Replay>(*replay);
        options.loop = loop;
        const auto sim = startSimulator(options);
        LoopbackHost host(sim->port());
        const Bytes firmware = host.request(cmd::kGetFirmwareVersion);
        ASSERT_EQ(firmware.size(), 32u);
        EXPECT_EQ(std::string(firmware.begin() + 12, firmware.begin() + 16), "Z1.2");
        EXPECT_EQ(kes_sdk::readU32(host.request(cmd::kGetFilterLevel).data() + 12), 4u);
        EXPECT_TRUE(host.nextScan(Ms(300)).empty()) << "nothing streams before the stream is on";
        for (int round = 0; round < 2; ++round) {
            // Each stream-on starts the capture over; looping, the end leads back to its start.
            if (round == 0 || !loop) {
                ASSERT_EQ(statusOf(host.request(cmd::kDataStream, kes_sdk::payloadU32(1))), 0u);
            }
            const auto on = Clock::now();
            for (size_t i = 6; i < link.size(); ++i) {
                const Bytes got = host.nextScan(Ms(1000));
                ASSERT_EQ(got, link[i].bytes) << "datagram " << i << (loop ? " looping" : "");
                if (round == 0) {
                    EXPECT_NEAR(std::chrono::duration_cast<Ms>(Clock::now() - on).count(), link[i].ms - 10, 40);
                }
            }
        }
        EXPECT_EQ(host.nextScan(Ms(400)).empty(), !loop);
    }
}

} // namespace kes_sim_test
