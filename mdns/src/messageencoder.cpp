#include "packetwriter.h"

#include <qmdnsengine/dns.h>
#include <qmdnsengine/wireformat.h>

namespace QMdnsEngine {

namespace {

constexpr quint16 ResponseFlags = 0x8400;
constexpr quint16 TruncatedFlag = 0x0200;
constexpr quint16 ClassIn = 1;
constexpr quint16 TopClassBit = 0x8000;
constexpr int MaxStringLength = 255;

void writeAddress(PacketWriter& writer, const QHostAddress& address, quint16 type)
{
    if (type == A) {
        writer.writeUInt32(address.toIPv4Address());
        return;
    }
    const Q_IPV6ADDR ipv6 = address.toIPv6Address();
    writer.writeBytes(QByteArray(reinterpret_cast<const char*>(ipv6.c), sizeof(ipv6.c)));
}

// An empty set is sent as one empty string, as a TXT record may not be empty.
void writeAttributes(PacketWriter& writer, const QMap<QByteArray, QByteArray>& attributes)
{
    int written = 0;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        const QByteArray entry = it.value().isNull() ? it.key() : it.key() + '=' + it.value();
        if (it.key().isEmpty() || entry.size() > MaxStringLength) {
            continue;
        }
        writer.writeUInt8(static_cast<quint8>(entry.size()));
        writer.writeBytes(entry);
        ++written;
    }
    if (written == 0) {
        writer.writeUInt8(0);
    }
}

QByteArray recordData(const Record& record)
{
    PacketWriter writer;
    switch (record.type()) {
    case A:
    case AAAA: writeAddress(writer, record.address(), record.type()); break;
    case PTR: writer.writeName(record.target()); break;
    case SRV:
        writer.writeUInt16(record.priority());
        writer.writeUInt16(record.weight());
        writer.writeUInt16(record.port());
        writer.writeName(record.target());
        break;
    case TXT: writeAttributes(writer, record.attributes()); break;
    default: break;
    }
    return writer.data();
}

void writeRecord(PacketWriter& writer, const Record& record)
{
    const QByteArray data = recordData(record);
    writer.writeName(record.name());
    writer.writeUInt16(record.type());
    writer.writeUInt16(ClassIn | (record.flushCache() ? TopClassBit : 0));
    writer.writeUInt32(record.ttl());
    writer.writeUInt16(static_cast<quint16>(data.size()));
    writer.writeBytes(data);
}

} // namespace

QByteArray encodeMessage(const Message& message)
{
    const QList<Query> queries = message.queries();
    const QList<Record> records = message.records();
    PacketWriter writer;
    writer.writeUInt16(message.transactionId());
    writer.writeUInt16((message.isResponse() ? ResponseFlags : 0) | (message.isTruncated() ? TruncatedFlag : 0));
    writer.writeUInt16(static_cast<quint16>(queries.size()));
    writer.writeUInt16(static_cast<quint16>(records.size()));
    writer.writeUInt16(0);
    writer.writeUInt16(0);
    for (const Query& query : queries) {
        writer.writeName(query.name());
        writer.writeUInt16(query.type());
        writer.writeUInt16(ClassIn | (query.unicastResponse() ? TopClassBit : 0));
    }
    for (const Record& record : records) {
        writeRecord(writer, record);
    }
    return writer.data();
}

} // namespace QMdnsEngine
