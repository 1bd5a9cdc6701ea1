#include "request_log.h"

#include <cstdio>

namespace kes_sim {

void logRequest(uint16_t code, const uint8_t* payload, size_t payloadSize, uint32_t status)
{
    std::printf("0x%04X payload %s", code, payloadSize == 0 ? "-" : "");
    for (size_t i = 0; i < payloadSize; ++i)
        std::printf("%02X", payload[i]);
    std::printf(" -> status %u\n", status);
    std::fflush(stdout);
}

void logIgnored(uint16_t code)
{
    std::printf("0x%04X ignored: device silent\n", code);
    std::fflush(stdout);
}

void logMalformed(const asio::ip::udp::endpoint& from, size_t size, const std::string& defect)
{
    std::printf("dropped %zu bytes from %s:%u: %s\n", size, from.address().to_string().c_str(), from.port(),
                defect.c_str());
    std::fflush(stdout);
}

} // namespace kes_sim
