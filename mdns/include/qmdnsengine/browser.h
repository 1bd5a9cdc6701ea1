#ifndef QMDNSENGINE_BROWSER_H
#define QMDNSENGINE_BROWSER_H

#include <qmdnsengine/query.h>
#include <qmdnsengine/service.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

namespace QMdnsEngine {

class AbstractServer;
class Cache;
class Message;
class Record;

// Takes at most MaxRecordsPerMessage records from one response, and gathers the questions
// that one event-loop turn raises into as few query messages as will carry them.
class Browser : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxRecordsPerMessage = 256;
    static constexpr int MaxQuestionsPerTurn = 64;

    // `type` like "_http._tcp.local."; a private cache is made when none is given.
    Browser(AbstractServer* server, const QByteArray& type, Cache* cache = nullptr, QObject* parent = nullptr);

Q_SIGNALS:
    void serviceAdded(const QMdnsEngine::Service& service);
    void serviceUpdated(const QMdnsEngine::Service& service);
    void serviceRemoved(const QMdnsEngine::Service& service);

private:
    void onMessageReceived(const Message& message);
    void onShouldQuery(const Record& record);
    void onRecordExpired(const Record& record);

    void queryPointers();
    void ask(const QByteArray& name, quint16 type);
    void sendQuestions();
    QByteArray instanceOf(const Record& record) const;
    bool isInstance(const QByteArray& name) const;
    bool isListed(const QByteArray& instance) const;
    bool isKnownHost(const QByteArray& hostname) const;
    void refreshService(const QByteArray& instance);
    void removeService(const QByteArray& instance);

    AbstractServer* m_server;
    QByteArray m_type;
    Cache* m_cache;
    QTimer m_queryTimer;
    QList<Query> m_questions;
    // Keyed by the instance name folded to lower case.
    QMap<QByteArray, Service> m_services;
};

} // namespace QMdnsEngine

#endif
