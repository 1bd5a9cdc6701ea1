#pragma once

#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/message.h>

#include <QList>

// Records what the protocol classes send and lets a test play the network's answers.
class FakeMdnsServer : public QMdnsEngine::AbstractServer {
public:
    void sendMessage(const QMdnsEngine::Message& message) override { sent.append(message); }
    void sendMessageToAll(const QMdnsEngine::Message& message) override { sent.append(message); }
    void inject(const QMdnsEngine::Message& message) { emit messageReceived(message); }

    QList<QMdnsEngine::Message> sent;
};
