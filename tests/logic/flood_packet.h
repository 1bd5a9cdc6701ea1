#pragma once

#include <QByteArray>
#include <QtEndian>

// One well-formed response near the UDP limit: `count` PTR records of _udp._udp.local., each
// naming its own instance (numbered from `first`, labels `label` bytes long), packed with name
// compression (15 + `label` bytes a record).
inline QByteArray floodPacket(int first = 10000, int count = 3270, int label = 5)
{
    QByteArray packet(12, '\0');
    qToBigEndian<quint16>(0x8400, packet.data() + 2);
    qToBigEndian<quint16>(quint16(count), packet.data() + 6);
    for (int i = 0; i < count; ++i) {
        QByteArray record(i == 0 ? QByteArray("\x04_udp\x04_udp\x05local\x00", 17) : QByteArray("\xc0\x0c", 2));
        record += QByteArray::fromHex("000c00010000007800") + char(label + 3) + char(label);
        packet += record + QByteArray::number(first + i).rightJustified(label, 'x', true) + "\xc0\x0c";
    }
    return packet;
}
