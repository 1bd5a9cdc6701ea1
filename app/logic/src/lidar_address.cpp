#include "kes_logic/lidar_address.h"

#include <QStringList>

#include <cstring>

std::optional<uint32_t> lidarAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    uint8_t octets[4];
    for (int i = 0; i < 4; ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        int value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
            value = value * 10 + (c.unicode() - '0');
        }
        if (value > 255)
            return std::nullopt;
        octets[i] = uint8_t(value);
    }
    const bool any = std::memcmp(octets, "\0\0\0\0", 4) == 0;
    const bool broadcast = std::memcmp(octets, "\xFF\xFF\xFF\xFF", 4) == 0;
    if (any || broadcast || (octets[0] & 0xF0) == 0xE0)
        return std::nullopt;
    uint32_t inetAddr;
    std::memcpy(&inetAddr, octets, 4);
    return inetAddr;
}

QString dottedAddress(uint32_t inetAddr)
{
    uint8_t octets[4];
    std::memcpy(octets, &inetAddr, 4);
    return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
}
