#include "multicastsocket.h"

#include <qmdnsengine/message.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/wireformat.h>

namespace QMdnsEngine {

namespace {
constexpr int RefreshIntervalMs = 5000;
}

Server::Server(QObject* parent)
    : AbstractServer(parent),
      m_ipv4(new MulticastSocket(QAbstractSocket::IPv4Protocol, this)),
      m_ipv6(new MulticastSocket(QAbstractSocket::IPv6Protocol, this))
{
    connect(m_ipv4, &MulticastSocket::messageReceived, this, &Server::messageReceived);
    connect(m_ipv6, &MulticastSocket::messageReceived, this, &Server::messageReceived);
    connect(&m_refreshTimer, &QTimer::timeout, this, &Server::refresh);
    m_refreshTimer.start(RefreshIntervalMs);
    refresh();
}

void Server::sendMessage(const Message& message)
{
    const QByteArray packet = encodeMessage(message);
    const bool ipv6 = message.address().protocol() == QAbstractSocket::IPv6Protocol;
    (ipv6 ? m_ipv6 : m_ipv4)->sendTo(packet, message.address(), message.port());
}

void Server::sendMessageToAll(const Message& message)
{
    const QByteArray packet = encodeMessage(message);
    m_ipv4->sendToGroup(packet);
    m_ipv6->sendToGroup(packet);
}

// Binding is retried here too, so a port held exclusively for a while is taken once freed.
// The failure is reported once, and queued so a handler connected after construction sees it.
void Server::refresh()
{
    if (m_ipv4->isBound() || m_ipv4->bind()) {
        m_bindFailureReported = false;
        m_ipv4->followInterfaces();
    } else if (!m_bindFailureReported) {
        m_bindFailureReported = true;
        const QString message = m_ipv4->errorString();
        QMetaObject::invokeMethod(
            this, [this, message] { emit error(message); }, Qt::QueuedConnection);
    }
    if (m_ipv6->isBound() || m_ipv6->bind()) {
        m_ipv6->followInterfaces();
    }
}

} // namespace QMdnsEngine
