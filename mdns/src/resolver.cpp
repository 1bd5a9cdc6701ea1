#include "names.h"

#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/resolver.h>

#include <QTimer>

namespace QMdnsEngine {

Resolver::Resolver(AbstractServer* server, const QByteArray& name, Cache* cache, QObject* parent)
    : QObject(parent), m_name(fullyQualified(name)), m_cache(cache ? cache : new Cache(this))
{
    connect(server, &AbstractServer::messageReceived, this, &Resolver::onMessageReceived);
    Message message;
    message.addQuery(Query(m_name, A));
    message.addQuery(Query(m_name, AAAA));
    server->sendMessageToAll(message);
    // The caller connects to resolved() after construction.
    QTimer::singleShot(0, this, &Resolver::reportCached);
}

// Responses count only from the mDNS port; others are not from a responder.
void Resolver::onMessageReceived(const Message& message)
{
    if (!message.isResponse() || message.port() != MdnsPort) {
        return;
    }
    const QList<Record> records = message.records();
    int taken = 0;
    for (const Record& record : records) {
        if ((record.type() == A || record.type() == AAAA) && sameName(record.name(), m_name)) {
            if (++taken > MaxAddressesPerMessage) {
                break;
            }
            m_cache->addRecord(record);
            if (record.ttl() > 0) {
                report(record.address());
            }
        }
    }
}

void Resolver::reportCached()
{
    QList<Record> records;
    m_cache->lookupRecords(m_name, ANY, records);
    for (const Record& record : qAsConst(records)) {
        if (record.type() == A || record.type() == AAAA) {
            report(record.address());
        }
    }
}

void Resolver::report(const QHostAddress& address)
{
    if (address.isNull() || m_reported.contains(address)) {
        return;
    }
    m_reported.append(address);
    emit resolved(address);
}

} // namespace QMdnsEngine
