#pragma once

#include <QByteArray>
#include <QtEndian>

// One well-formed mDNS response near the UDP limit: `count` PTR records of _udp._udp.local.,
// each naming its own instance (numbered from `first`, labels `label` bytes long), packed with
// name compression (15 + `label` bytes a record).
inline QByteArray floodPacket(int first = 10000, int count = 3270, int label = 5)
{
    QByteArray packet;
    const auto u16 = [&packet](quint16 v) {
        char b[2];
        qToBigEndian(v, b);
        packet.append(b, 2);
    };
    const auto u32 = [&packet](quint32 v) {
        char b[4];
        qToBigEndian(v, b);
        packet.append(b, 4);
    };
    u16(0);
    u16(0x8400);
    u16(0);
    u16(quint16(count));
    u16(0);
    u16(0);
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            packet.append("\x04_udp\x04_udp\x05local\x00", 17); // at offset 12
        else
            u16(0xC00C);
        u16(12); // PTR
        u16(1);  // IN, shared
        u32(120);
        u16(quint16(label + 3));
        packet.append(char(label));
        packet.append(QByteArray::number(first + i).rightJustified(label, 'x', true));
        u16(0xC00C);
    }
    return packet;
}
