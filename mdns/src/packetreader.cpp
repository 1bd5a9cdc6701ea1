#include "packetreader.h"

namespace QMdnsEngine {

namespace {
constexpr int MaxNameLength = 255;
constexpr quint8 PointerMask = 0xC0;
} // namespace

bool PacketReader::readUInt8(quint8& value)
{
    if (remaining() < 1) {
        return false;
    }
    value = byteAt(m_position++);
    return true;
}

bool PacketReader::readUInt16(quint16& value)
{
    if (remaining() < 2) {
        return false;
    }
    value = static_cast<quint16>(byteAt(m_position) << 8 | byteAt(m_position + 1));
    m_position += 2;
    return true;
}

bool PacketReader::readUInt32(quint32& value)
{
    quint16 high = 0;
    quint16 low = 0;
    if (remaining() < 4 || !readUInt16(high) || !readUInt16(low)) {
        return false;
    }
    value = static_cast<quint32>(high) << 16 | low;
    return true;
}

bool PacketReader::readBytes(int count, QByteArray& bytes)
{
    if (count < 0 || remaining() < count) {
        return false;
    }
    bytes = m_packet.mid(m_position, count);
    m_position += count;
    return true;
}

bool PacketReader::skip(int count)
{
    if (count < 0 || remaining() < count) {
        return false;
    }
    m_position += count;
    return true;
}

// Each pointer must land before the start of the labels it was found in, so the chain of
// jumps strictly decreases and cannot loop.
bool PacketReader::readName(QByteArray& name)
{
    QByteArray result;
    int position = m_position;
    int segmentStart = m_position;
    int end = -1;
    int wireLength = 1;
    for (;;) {
        if (position >= m_packet.size()) {
            return false;
        }
        const quint8 length = byteAt(position);
        if (length == 0) {
            m_position = end < 0 ? position + 1 : end;
            name = result.isEmpty() ? QByteArray(".") : result;
            return true;
        }
        if ((length & PointerMask) == PointerMask) {
            if (position + 1 >= m_packet.size()) {
                return false;
            }
            const int target = (length & ~PointerMask) << 8 | byteAt(position + 1);
            if (target >= segmentStart) {
                return false;
            }
            if (end < 0) {
                end = position + 2;
            }
            position = segmentStart = target;
            continue;
        }
        if (length & PointerMask) {
            return false; // extended label types, or a label over 63 bytes
        }
        wireLength += length + 1;
        if (wireLength > MaxNameLength || position + 1 + length > m_packet.size()) {
            return false;
        }
        result += m_packet.mid(position + 1, length) + '.';
        position += 1 + length;
    }
}

} // namespace QMdnsEngine
