#ifndef QMDNSENGINE_PACKETREADER_H
#define QMDNSENGINE_PACKETREADER_H

#include <QByteArray>

namespace QMdnsEngine {

// Bounds-checked reads from a DNS packet; every read fails rather than run past the end.
class PacketReader {
public:
    explicit PacketReader(const QByteArray& packet) : m_packet(packet) {}

    int position() const { return m_position; }
    int remaining() const { return m_packet.size() - m_position; }

    bool readUInt8(quint8& value);
    bool readUInt16(quint16& value);
    bool readUInt32(quint32& value);
    bool readBytes(int count, QByteArray& bytes);
    bool skip(int count);
    // A possibly compressed name, returned with its trailing dot ("." for the root).
    bool readName(QByteArray& name);

private:
    quint8 byteAt(int position) const { return static_cast<quint8>(m_packet.at(position)); }

    const QByteArray& m_packet;
    int m_position = 0;
};

} // namespace QMdnsEngine

#endif
