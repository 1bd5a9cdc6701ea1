#pragma once

#include <asio/ip/udp.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

// The --verbose lines on stdout, one per datagram received.
namespace kes_sim {

void logRequest(uint16_t code, const uint8_t* payload, size_t payloadSize, uint32_t status);
void logIgnored(uint16_t code);
void logMalformed(const asio::ip::udp::endpoint& from, size_t size, const std::string& defect);

} // namespace kes_sim
