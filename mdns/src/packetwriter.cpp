#include "packetwriter.h"

#include <QList>

namespace QMdnsEngine {

namespace {
constexpr int MaxLabelLength = 63;
constexpr int MaxNameLength = 255;
} // namespace

void PacketWriter::writeUInt8(quint8 value)
{
    m_data.append(static_cast<char>(value));
}

void PacketWriter::writeUInt16(quint16 value)
{
    writeUInt8(static_cast<quint8>(value >> 8));
    writeUInt8(static_cast<quint8>(value));
}

void PacketWriter::writeUInt32(quint32 value)
{
    writeUInt16(static_cast<quint16>(value >> 16));
    writeUInt16(static_cast<quint16>(value));
}

void PacketWriter::writeName(const QByteArray& name)
{
    int wireLength = 1;
    const QList<QByteArray> labels = name.split('.');
    for (const QByteArray& fullLabel : labels) {
        const QByteArray label = fullLabel.left(MaxLabelLength);
        if (label.isEmpty() || wireLength + label.size() + 1 > MaxNameLength) {
            continue;
        }
        wireLength += label.size() + 1;
        writeUInt8(static_cast<quint8>(label.size()));
        writeBytes(label);
    }
    writeUInt8(0);
}

} // namespace QMdnsEngine
