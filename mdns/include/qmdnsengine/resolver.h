#ifndef QMDNSENGINE_RESOLVER_H
#define QMDNSENGINE_RESOLVER_H

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

namespace QMdnsEngine {

class AbstractServer;
class Cache;
class Message;
class Record;

// Asks once; there is no retry and no end: addresses are reported as they become known, at
// most MaxAddressesPerMessage from one response.
class Resolver : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxAddressesPerMessage = 16;

    Resolver(AbstractServer* server, const QByteArray& name, Cache* cache = nullptr, QObject* parent = nullptr);

Q_SIGNALS:
    void resolved(const QHostAddress& address);

private:
    void onMessageReceived(const Message& message);
    void reportCached();
    void report(const QHostAddress& address);

    QByteArray m_name;
    Cache* m_cache;
    QList<QHostAddress> m_reported;
};

} // namespace QMdnsEngine

#endif
