#ifndef QMDNSENGINE_ABSTRACTSERVER_H
#define QMDNSENGINE_ABSTRACTSERVER_H

#include <QObject>
#include <QString>

namespace QMdnsEngine {

class Message;

class AbstractServer : public QObject {
    Q_OBJECT

public:
    explicit AbstractServer(QObject* parent = nullptr);

    // Unicast to the message's address and port.
    virtual void sendMessage(const Message& message) = 0;
    // To the mDNS groups of every family and interface in use.
    virtual void sendMessageToAll(const Message& message) = 0;

Q_SIGNALS:
    void messageReceived(const QMdnsEngine::Message& message);
    void error(const QString& message);
};

} // namespace QMdnsEngine

#endif
