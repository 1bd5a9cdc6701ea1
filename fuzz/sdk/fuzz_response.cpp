// Arbitrary bytes through the receive test and the response decoder, for every command code.
#include "kes_sdk/wire_format.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const kes_sdk::Bytes datagram(data, data + size);
    // Only safety is checked: the decoder must be safe on its own, CRC or not.
    (void)kes_sdk::acceptDatagram(datagram);
    if (datagram.size() < kes_sdk::kMinDatagramSize)
        return 0;
    const uint16_t code = kes_sdk::responseCode(datagram);
    kes_sdk::Bytes value;
    for (uint16_t awaited : {code, uint16_t(0x0105), uint16_t(0x0209), uint16_t(0x020E), uint16_t(0x0202)}) {
        (void)kes_sdk::parseResponse(datagram, awaited, value);
        kes_sdk::valueAsU32(value);
        kes_sdk::valueAsFloat(value);
        kes_sdk::valueAsText(value);
    }
    return 0;
}
