#ifndef QMDNSENGINE_BROWSER_H
#define QMDNSENGINE_BROWSER_H

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <qmdnsengine/service.h>

namespace QMdnsEngine {

class AbstractServer;
class Cache;
class Message;
class Record;

class Browser : public QObject
{
    Q_OBJECT

public:
    // `type` like "_http._tcp.local."; a private cache is made when none is given.
    Browser(AbstractServer *server, const QByteArray &type, Cache *cache = nullptr,
            QObject *parent = nullptr);

Q_SIGNALS:
    void serviceAdded(const QMdnsEngine::Service &service);
    void serviceUpdated(const QMdnsEngine::Service &service);
    void serviceRemoved(const QMdnsEngine::Service &service);

private:
    void onMessageReceived(const Message &message);
    void onShouldQuery(const Record &record);
    void onRecordExpired(const Record &record);

    void queryPointers();
    void queryInstance(const QByteArray &instance);
    void query(const QByteArray &name, quint16 type);
    QByteArray instanceOf(const Record &record) const;
    bool isInstance(const QByteArray &name) const;
    bool isListed(const QByteArray &instance) const;
    bool isKnownHost(const QByteArray &hostname) const;
    void refreshService(const QByteArray &instance);
    void removeService(const QByteArray &instance);

    AbstractServer *m_server;
    QByteArray m_type;
    Cache *m_cache;
    QTimer m_queryTimer;
    QMap<QByteArray, Service> m_services;
};

}

#endif
