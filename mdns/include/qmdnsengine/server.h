#ifndef QMDNSENGINE_SERVER_H
#define QMDNSENGINE_SERVER_H

#include <qmdnsengine/abstractserver.h>

#include <QTimer>

namespace QMdnsEngine {

class MulticastSocket;

// Shares UDP port 5353 with other responders on the host and follows interfaces as they come
// and go. IPv6 is used where the host has it.
class Server : public AbstractServer {
    Q_OBJECT

public:
    explicit Server(QObject* parent = nullptr);

    void sendMessage(const Message& message) override;
    void sendMessageToAll(const Message& message) override;

private:
    void refresh();

    MulticastSocket* m_ipv4;
    MulticastSocket* m_ipv6;
    QTimer m_refreshTimer;
    bool m_bindFailureReported = false;
};

} // namespace QMdnsEngine

#endif
