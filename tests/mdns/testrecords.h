#ifndef KES_TESTS_MDNS_TESTRECORDS_H
#define KES_TESTS_MDNS_TESTRECORDS_H

#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/record.h>

#include <initializer_list>

namespace testrecords {

inline QMdnsEngine::Record pointer(const QByteArray& type, const QByteArray& instance, quint32 ttl = 4500)
{
    QMdnsEngine::Record record(type, QMdnsEngine::PTR);
    record.setTarget(instance);
    record.setTtl(ttl);
    return record;
}

inline QMdnsEngine::Record service(const QByteArray& instance, const QByteArray& host, quint16 port,
                                   quint32 ttl = 120)
{
    QMdnsEngine::Record record(instance, QMdnsEngine::SRV);
    record.setTarget(host);
    record.setPort(port);
    record.setTtl(ttl);
    record.setFlushCache(true);
    return record;
}

inline QMdnsEngine::Record text(const QByteArray& instance, const QByteArray& key, const QByteArray& value)
{
    QMdnsEngine::Record record(instance, QMdnsEngine::TXT);
    record.addAttribute(key, value);
    record.setFlushCache(true);
    return record;
}

inline QMdnsEngine::Record address(const QByteArray& host, const QString& address, quint32 ttl = 120)
{
    const QHostAddress parsed(address);
    const bool ipv6 = parsed.protocol() == QAbstractSocket::IPv6Protocol;
    QMdnsEngine::Record record(host, ipv6 ? QMdnsEngine::AAAA : QMdnsEngine::A);
    record.setAddress(parsed);
    record.setTtl(ttl);
    return record;
}

inline QMdnsEngine::Message response(std::initializer_list<QMdnsEngine::Record> records)
{
    QMdnsEngine::Message message;
    message.setResponse(true);
    message.setAddress(QHostAddress(QStringLiteral("192.168.77.57")));
    message.setPort(QMdnsEngine::MdnsPort);
    for (const QMdnsEngine::Record& record : records) {
        message.addRecord(record);
    }
    return message;
}

} // namespace testrecords

#endif
