#pragma once

#include <qmdnsengine/abstractserver.h>

// Device work needs no discovery: the logic's browser gets a server that sends nothing.
class SilentMdnsServer : public QMdnsEngine::AbstractServer {
public:
    void sendMessage(const QMdnsEngine::Message&) override {}
    void sendMessageToAll(const QMdnsEngine::Message&) override {}
};
