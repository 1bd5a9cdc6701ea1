#ifndef KES_TESTS_MDNS_FAKESERVER_H
#define KES_TESTS_MDNS_FAKESERVER_H

#include <QList>

#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/message.h>

// Stands in for the network: keeps what the protocol classes send, delivers what a test
// injects.
class FakeServer : public QMdnsEngine::AbstractServer
{
    Q_OBJECT

public:
    void sendMessage(const QMdnsEngine::Message &message) override { sent.append(message); }
    void sendMessageToAll(const QMdnsEngine::Message &message) override { sent.append(message); }
    void inject(const QMdnsEngine::Message &message) { emit messageReceived(message); }

    QList<QMdnsEngine::Message> sent;
};

#endif
