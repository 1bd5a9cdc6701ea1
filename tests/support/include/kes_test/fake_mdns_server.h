#pragma once

#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/record.h>

#include <QHostAddress>
#include <QList>

#include <initializer_list>

namespace kes_test {

// Keeps discovery off the network: records what the protocol classes send and lets a test
// play the network's answers. Nothing answers unless the test injects it.
class FakeMdnsServer : public QMdnsEngine::AbstractServer {
public:
    void sendMessage(const QMdnsEngine::Message& message) override { sent.append(message); }
    void sendMessageToAll(const QMdnsEngine::Message& message) override { sent.append(message); }
    void inject(const QMdnsEngine::Message& message) { emit messageReceived(message); }

    QList<QMdnsEngine::Message> sent;
};

// Records and responses as a responder sends them.
namespace mdns {

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
    QMdnsEngine::Record record(host, parsed.protocol() == QAbstractSocket::IPv6Protocol ? QMdnsEngine::AAAA
                                                                                        : QMdnsEngine::A);
    record.setAddress(parsed);
    record.setTtl(ttl);
    return record;
}

// A response from a responder's mDNS port.
inline QMdnsEngine::Message response(std::initializer_list<QMdnsEngine::Record> records)
{
    QMdnsEngine::Message message;
    message.setResponse(true);
    message.setAddress(QHostAddress(QStringLiteral("192.168.77.57")));
    message.setPort(QMdnsEngine::MdnsPort);
    for (const QMdnsEngine::Record& record : records)
        message.addRecord(record);
    return message;
}

} // namespace mdns

} // namespace kes_test
