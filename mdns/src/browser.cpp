#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>

#include <QSet>

#include "names.h"

namespace QMdnsEngine {

namespace {
constexpr int QueryIntervalMs = 60 * 1000;
}

Browser::Browser(AbstractServer *server, const QByteArray &type, Cache *cache, QObject *parent)
    : QObject(parent),
      m_server(server),
      m_type(fullyQualified(type)),
      m_cache(cache ? cache : new Cache(this))
{
    connect(m_server, &AbstractServer::messageReceived, this, &Browser::onMessageReceived);
    connect(m_cache, &Cache::shouldQuery, this, &Browser::onShouldQuery);
    connect(m_cache, &Cache::recordExpired, this, &Browser::onRecordExpired);
    connect(&m_queryTimer, &QTimer::timeout, this, &Browser::queryPointers);
    m_queryTimer.start(QueryIntervalMs);
    queryPointers();
}

// Addresses come last so that hosts named by SRV records in the same message are known.
void Browser::onMessageReceived(const Message &message)
{
    if (!message.isResponse()) {
        return;
    }
    const QList<Record> records = message.records();
    QSet<QByteArray> touched;
    QSet<QByteArray> listedNow;
    for (const Record &record : records) {
        const QByteArray instance = instanceOf(record);
        if (instance.isEmpty()) {
            continue;
        }
        m_cache->addRecord(record);
        touched.insert(instance);
        if (record.type() == PTR && record.ttl() > 0) {
            listedNow.insert(instance);
        }
    }
    for (const QByteArray &instance : qAsConst(touched)) {
        refreshService(instance);
    }
    for (const Record &record : records) {
        if ((record.type() == A || record.type() == AAAA) && isKnownHost(record.name())) {
            m_cache->addRecord(record);
        }
    }
    for (const QByteArray &instance : qAsConst(listedNow)) {
        Record srv;
        if (!m_cache->lookupRecord(instance, SRV, srv)) {
            queryInstance(instance);
        }
    }
}

void Browser::onShouldQuery(const Record &record)
{
    if (record.type() == PTR && record.name() == m_type) {
        queryPointers();
    } else if (!instanceOf(record).isEmpty() || isKnownHost(record.name())) {
        query(record.name(), record.type());
    }
}

void Browser::onRecordExpired(const Record &record)
{
    if (record.type() == PTR && record.name() == m_type) {
        removeService(record.target());
    } else if (record.type() == SRV) {
        removeService(record.name());
    } else if (record.type() == TXT && m_services.contains(record.name())) {
        refreshService(record.name());
    }
}

// Lists the pointers already held so responders leave them out of their answers.
void Browser::queryPointers()
{
    Message message;
    message.addQuery(Query(m_type, PTR));
    QList<Record> known;
    m_cache->lookupRecords(m_type, PTR, known);
    for (const Record &record : qAsConst(known)) {
        message.addRecord(record);
    }
    m_server->sendMessageToAll(message);
}

void Browser::queryInstance(const QByteArray &instance)
{
    Message message;
    message.addQuery(Query(instance, SRV));
    message.addQuery(Query(instance, TXT));
    m_server->sendMessageToAll(message);
}

void Browser::query(const QByteArray &name, quint16 type)
{
    Message message;
    message.addQuery(Query(name, type));
    m_server->sendMessageToAll(message);
}

QByteArray Browser::instanceOf(const Record &record) const
{
    if (record.type() == PTR && record.name() == m_type && isInstance(record.target())) {
        return record.target();
    }
    if ((record.type() == SRV || record.type() == TXT) && isInstance(record.name())) {
        return record.name();
    }
    return QByteArray();
}

bool Browser::isInstance(const QByteArray &name) const
{
    return name.size() > m_type.size() + 1 && name.endsWith('.' + m_type);
}

bool Browser::isListed(const QByteArray &instance) const
{
    QList<Record> pointers;
    m_cache->lookupRecords(m_type, PTR, pointers);
    for (const Record &pointer : qAsConst(pointers)) {
        if (pointer.target() == instance) {
            return true;
        }
    }
    return false;
}

bool Browser::isKnownHost(const QByteArray &hostname) const
{
    for (const Service &service : m_services) {
        if (service.hostname() == hostname) {
            return true;
        }
    }
    return false;
}

void Browser::refreshService(const QByteArray &instance)
{
    Record srv;
    if (!isListed(instance) || !m_cache->lookupRecord(instance, SRV, srv)) {
        return;
    }
    Service service;
    service.setType(m_type);
    service.setName(instance.left(instance.size() - m_type.size() - 1));
    service.setHostname(srv.target());
    service.setPort(srv.port());
    Record txt;
    if (m_cache->lookupRecord(instance, TXT, txt)) {
        service.setAttributes(txt.attributes());
    }
    const auto known = m_services.find(instance);
    if (known == m_services.end()) {
        m_services.insert(instance, service);
        emit serviceAdded(service);
    } else if (*known != service || known->hostname() != service.hostname()) {
        *known = service;
        emit serviceUpdated(service);
    }
}

void Browser::removeService(const QByteArray &instance)
{
    const auto known = m_services.find(instance);
    if (known == m_services.end()) {
        return;
    }
    const Service service = known.value();
    m_services.erase(known);
    emit serviceRemoved(service);
}

}
