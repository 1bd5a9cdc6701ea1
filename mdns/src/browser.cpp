#include "names.h"

#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>

#include <QSet>

#include <algorithm>

namespace QMdnsEngine {

namespace {
constexpr int QueryIntervalMs = 60 * 1000;
// What one query message may take, so that it crosses most links in one piece.
constexpr int MessageBudget = 9000;
constexpr int HeaderSize = 12;

int sizeOf(const QByteArray& name)
{
    return name.size() + 1;
}

// Keeps the first of each name in `names` (without regard to case), in order.
void addOnce(QList<QByteArray>& names, QSet<QByteArray>& seen, const QByteArray& name)
{
    if (!seen.contains(foldedName(name))) {
        seen.insert(foldedName(name));
        names.append(name);
    }
}
} // namespace

Browser::Browser(AbstractServer* server, const QByteArray& type, Cache* cache, QObject* parent)
    : QObject(parent), m_server(server), m_type(fullyQualified(type)), m_cache(cache ? cache : new Cache(this))
{
    connect(m_server, &AbstractServer::messageReceived, this, &Browser::onMessageReceived);
    connect(m_cache, &Cache::shouldQuery, this, &Browser::onShouldQuery);
    connect(m_cache, &Cache::recordExpired, this, &Browser::onRecordExpired);
    connect(&m_queryTimer, &QTimer::timeout, this, &Browser::queryPointers);
    m_queryTimer.start(QueryIntervalMs);
    queryPointers();
}

// Responses count only from the mDNS port; others are not from a responder. Addresses come
// last so that hosts named by SRV records in the same message are known.
void Browser::onMessageReceived(const Message& message)
{
    if (!message.isResponse() || message.port() != MdnsPort) {
        return;
    }
    const QList<Record> records = message.records();
    int taken = 0;
    QList<QByteArray> touched;
    QList<QByteArray> listedNow;
    QSet<QByteArray> seenTouched;
    QSet<QByteArray> seenListed;
    for (const Record& record : records) {
        const QByteArray instance = instanceOf(record);
        if (instance.isEmpty()) {
            continue;
        }
        if (++taken > MaxRecordsPerMessage) {
            break;
        }
        m_cache->addRecord(record);
        addOnce(touched, seenTouched, instance);
        if (record.type() == PTR && record.ttl() > 0) {
            addOnce(listedNow, seenListed, instance);
        }
    }
    for (const QByteArray& instance : qAsConst(touched)) {
        refreshService(instance);
    }
    for (const Record& record : records) {
        if (taken >= MaxRecordsPerMessage) {
            break;
        }
        if ((record.type() == A || record.type() == AAAA) && isKnownHost(record.name())) {
            m_cache->addRecord(record);
            ++taken;
        }
    }
    for (const QByteArray& instance : qAsConst(listedNow)) {
        Record srv;
        if (!m_cache->lookupRecord(instance, SRV, srv)) {
            ask(instance, SRV);
            ask(instance, TXT);
        }
    }
}

void Browser::onShouldQuery(const Record& record)
{
    if (record.type() == PTR && sameName(record.name(), m_type)) {
        ask(m_type, PTR);
    } else if (!instanceOf(record).isEmpty() || isKnownHost(record.name())) {
        ask(record.name(), record.type());
    }
}

// A set that still holds a record of the instance keeps the service.
void Browser::onRecordExpired(const Record& record)
{
    Record srv;
    if (record.type() == PTR && sameName(record.name(), m_type)) {
        if (!isListed(record.target())) {
            removeService(record.target());
        }
    } else if (record.type() == SRV) {
        if (m_cache->lookupRecord(record.name(), SRV, srv)) {
            refreshService(record.name());
        } else {
            removeService(record.name());
        }
    } else if (record.type() == TXT && m_services.contains(foldedName(record.name()))) {
        refreshService(record.name());
    }
}

// Lists the pointers already held, as far as they fit, so responders leave them out.
void Browser::queryPointers()
{
    Message message;
    message.addQuery(Query(m_type, PTR));
    int size = HeaderSize + sizeOf(m_type) + 4;
    QList<Record> known;
    m_cache->lookupRecords(m_type, PTR, known);
    for (const Record& record : qAsConst(known)) {
        size += sizeOf(record.name()) + 10 + sizeOf(record.target());
        if (size > MessageBudget) {
            break;
        }
        message.addRecord(record);
    }
    m_server->sendMessageToAll(message);
}

// Questions wait for the end of the event-loop turn, so that whatever one message or one
// round of refreshes raises goes out together.
void Browser::ask(const QByteArray& name, quint16 type)
{
    const bool asked = std::any_of(m_questions.cbegin(), m_questions.cend(), [&](const Query& query) {
        return query.type() == type && sameName(query.name(), name);
    });
    if (asked || m_questions.size() >= MaxQuestionsPerTurn) {
        return;
    }
    if (m_questions.isEmpty()) {
        QTimer::singleShot(0, this, &Browser::sendQuestions);
    }
    m_questions.append(Query(name, type));
}

void Browser::sendQuestions()
{
    Message message;
    int size = HeaderSize;
    for (const Query& query : qAsConst(m_questions)) {
        if (query.type() == PTR && sameName(query.name(), m_type)) {
            queryPointers();
            continue;
        }
        if (size + sizeOf(query.name()) + 4 > MessageBudget) {
            m_server->sendMessageToAll(message);
            message = Message();
            size = HeaderSize;
        }
        message.addQuery(query);
        size += sizeOf(query.name()) + 4;
    }
    if (!message.queries().isEmpty()) {
        m_server->sendMessageToAll(message);
    }
    m_questions.clear();
}

QByteArray Browser::instanceOf(const Record& record) const
{
    if (record.type() == PTR && sameName(record.name(), m_type) && isInstance(record.target())) {
        return record.target();
    }
    if ((record.type() == SRV || record.type() == TXT) && isInstance(record.name())) {
        return record.name();
    }
    return QByteArray();
}

bool Browser::isInstance(const QByteArray& name) const
{
    const int label = name.size() - m_type.size();
    return label > 1 && name.at(label - 1) == '.' && sameName(name.mid(label), m_type);
}

bool Browser::isListed(const QByteArray& instance) const
{
    Record pointer(m_type, PTR);
    pointer.setTarget(instance);
    return m_cache->hasRecord(pointer);
}

bool Browser::isKnownHost(const QByteArray& hostname) const
{
    return std::any_of(m_services.cbegin(), m_services.cend(),
                       [&](const Service& service) { return sameName(service.hostname(), hostname); });
}

void Browser::refreshService(const QByteArray& instance)
{
    Record srv;
    if (!m_cache->lookupRecord(instance, SRV, srv) || !isListed(instance)) {
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
    const auto known = m_services.find(foldedName(instance));
    if (known == m_services.end()) {
        m_services.insert(foldedName(instance), service);
        emit serviceAdded(service);
    } else if (*known != service || known->hostname() != service.hostname()) {
        *known = service;
        emit serviceUpdated(service);
    }
}

void Browser::removeService(const QByteArray& instance)
{
    const auto known = m_services.find(foldedName(instance));
    if (known == m_services.end()) {
        return;
    }
    const Service service = known.value();
    m_services.erase(known);
    emit serviceRemoved(service);
}

} // namespace QMdnsEngine
