#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The value inet_addr gives for `text` (network order) when it is a complete dotted quad of
// decimal octets naming one host: not 0.0.0.0, 255.255.255.255 or a multicast group. Half-typed
// or shorthand forms ("192.168.1.", "192.168.1") give nothing instead of a surprise address.
std::optional<uint32_t> lidarAddress(const QString& text);

// Dotted text of a network-order address.
QString dottedAddress(uint32_t inetAddr);
