#include "packetreader.h"

#include <qmdnsengine/dns.h>
#include <qmdnsengine/wireformat.h>

namespace QMdnsEngine {

namespace {

constexpr quint16 ResponseFlag = 0x8000;
constexpr quint16 OpcodeMask = 0x7800;
constexpr quint16 TruncatedFlag = 0x0200;
constexpr quint16 RcodeMask = 0x000F;
constexpr quint16 TopClassBit = 0x8000;
constexpr int MinQuestionSize = 5;
constexpr int MinRecordSize = 11;

bool readQuery(PacketReader& reader, Query& query)
{
    QByteArray name;
    quint16 type = 0;
    quint16 klass = 0;
    if (!reader.readName(name) || !reader.readUInt16(type) || !reader.readUInt16(klass)) {
        return false;
    }
    query.setName(name);
    query.setType(type);
    query.setUnicastResponse(klass & TopClassBit);
    return true;
}

bool readAddress(PacketReader& reader, int length, Record& record)
{
    QByteArray bytes;
    if (!reader.readBytes(length, bytes)) {
        return false;
    }
    if (length == 4) {
        quint32 ipv4 = 0;
        for (char byte : bytes) {
            ipv4 = ipv4 << 8 | static_cast<quint8>(byte);
        }
        record.setAddress(QHostAddress(ipv4));
    } else {
        record.setAddress(QHostAddress(reinterpret_cast<const quint8*>(bytes.constData())));
    }
    return true;
}

bool readService(PacketReader& reader, Record& record)
{
    quint16 priority = 0;
    quint16 weight = 0;
    quint16 port = 0;
    QByteArray target;
    if (!reader.readUInt16(priority) || !reader.readUInt16(weight) || !reader.readUInt16(port)
        || !reader.readName(target)) {
        return false;
    }
    record.setPriority(priority);
    record.setWeight(weight);
    record.setPort(port);
    record.setTarget(target);
    return true;
}

// Strings without a key ("" or "=value") carry nothing and are skipped.
bool readAttributes(PacketReader& reader, int end, Record& record)
{
    while (reader.position() < end) {
        quint8 length = 0;
        QByteArray entry;
        if (!reader.readUInt8(length) || reader.position() + length > end || !reader.readBytes(length, entry)) {
            return false;
        }
        const int equals = entry.indexOf('=');
        if (equals == 0 || entry.isEmpty()) {
            continue;
        }
        if (equals < 0) {
            record.addAttribute(entry, QByteArray());
        } else {
            record.addAttribute(entry.left(equals), entry.mid(equals + 1));
        }
    }
    return true;
}

// Returns whether the data was read and fills exactly `length` bytes; `known` tells the
// caller whether the type is one we keep.
bool readData(PacketReader& reader, int length, Record& record, bool& known)
{
    const int end = reader.position() + length;
    known = true;
    bool ok = false;
    switch (record.type()) {
    case A:
    case AAAA: ok = length == (record.type() == A ? 4 : 16) && readAddress(reader, length, record); break;
    case PTR: {
        QByteArray target;
        ok = reader.readName(target);
        record.setTarget(target);
        break;
    }
    case SRV: ok = readService(reader, record); break;
    case TXT: ok = readAttributes(reader, end, record); break;
    default:
        known = false;
        ok = reader.skip(length);
        break;
    }
    return ok && reader.position() == end;
}

bool readRecord(PacketReader& reader, Record& record, bool& known)
{
    QByteArray name;
    quint16 type = 0;
    quint16 klass = 0;
    quint32 ttl = 0;
    quint16 length = 0;
    if (!reader.readName(name) || !reader.readUInt16(type) || !reader.readUInt16(klass) || !reader.readUInt32(ttl)
        || !reader.readUInt16(length) || length > reader.remaining()) {
        return false;
    }
    record.setName(name);
    record.setType(type);
    record.setFlushCache(klass & TopClassBit);
    record.setTtl(ttl);
    return readData(reader, length, record, known);
}

} // namespace

bool decodeMessage(const QByteArray& packet, Message& message)
{
    PacketReader reader(packet);
    quint16 id = 0;
    quint16 flags = 0;
    quint16 counts[4] = {};
    bool ok = reader.readUInt16(id) && reader.readUInt16(flags);
    for (quint16& count : counts) {
        ok = ok && reader.readUInt16(count);
    }
    const int recordCount = counts[1] + counts[2] + counts[3];
    if (!ok || counts[0] * MinQuestionSize + recordCount * MinRecordSize > reader.remaining()) {
        return false;
    }
    // Only standard queries and their answers without error are mDNS.
    if (flags & (OpcodeMask | RcodeMask)) {
        return false;
    }
    Message result;
    result.setTransactionId(id);
    result.setResponse(flags & ResponseFlag);
    result.setTruncated(flags & TruncatedFlag);
    for (int i = 0; i < counts[0]; ++i) {
        Query query;
        if (!readQuery(reader, query)) {
            return false;
        }
        result.addQuery(query);
    }
    for (int i = 0; i < recordCount; ++i) {
        Record record;
        bool known = false;
        if (!readRecord(reader, record, known)) {
            return false;
        }
        if (known) {
            result.addRecord(record);
        }
    }
    message = result;
    return true;
}

} // namespace QMdnsEngine
