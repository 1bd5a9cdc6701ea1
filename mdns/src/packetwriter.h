#ifndef QMDNSENGINE_PACKETWRITER_H
#define QMDNSENGINE_PACKETWRITER_H

#include <QByteArray>

namespace QMdnsEngine {

class PacketWriter {
public:
    QByteArray data() const { return m_data; }

    void writeUInt8(quint8 value);
    void writeUInt16(quint16 value);
    void writeUInt32(quint32 value);
    void writeBytes(const QByteArray& bytes) { m_data.append(bytes); }
    // Uncompressed. Labels are cut to 63 bytes and labels that would take the name past
    // 255 bytes are left out, so the output always decodes.
    void writeName(const QByteArray& name);

private:
    QByteArray m_data;
};

} // namespace QMdnsEngine

#endif
