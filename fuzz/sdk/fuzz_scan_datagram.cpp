// Arbitrary bytes through the receive test and the scan datagram decoder.
#include "kes_sdk/wire_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy so any read past the end is caught.
    const kes_sdk::Bytes datagram(data, data + size);
    (void)kes_sdk::acceptDatagram(datagram); // only its safety is checked
    kes_sdk::ScanPacketData packet;
    if (kes_sdk::parseScanDatagram(datagram, packet)) {
        const auto& layer = packet.layers.at(0);
        if (layer.ranges.size() != layer.intensities.size()
            || layer.ranges.size() != kes_sdk::pointsForRateCode(datagram[10]))
            std::abort();
    }
    return 0;
}
