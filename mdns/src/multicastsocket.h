#ifndef QMDNSENGINE_MULTICASTSOCKET_H
#define QMDNSENGINE_MULTICASTSOCKET_H

#include <QHostAddress>
#include <QMap>
#include <QNetworkInterface>
#include <QObject>
#include <QUdpSocket>

namespace QMdnsEngine {

class Message;

// One address family's mDNS socket: its group membership on each usable interface, and
// sending out of each of those interfaces so a device on a secondary NIC is reached too.
class MulticastSocket : public QObject {
    Q_OBJECT

public:
    MulticastSocket(QAbstractSocket::NetworkLayerProtocol family, QObject* parent = nullptr);

    bool isBound() const { return m_socket.state() == QAbstractSocket::BoundState; }
    bool bind();
    QString errorString() const { return m_socket.errorString(); }
    void followInterfaces();
    void sendTo(const QByteArray& packet, const QHostAddress& address, quint16 port);
    void sendToGroup(const QByteArray& packet);

Q_SIGNALS:
    void messageReceived(const QMdnsEngine::Message& message);

private:
    QMap<QString, QNetworkInterface> usableInterfaces() const;
    bool hasAddress(const QNetworkInterface& interface) const;
    void readDatagrams();

    QAbstractSocket::NetworkLayerProtocol m_family;
    QHostAddress m_group;
    QUdpSocket m_socket;
    QMap<QString, QNetworkInterface> m_joined;
};

} // namespace QMdnsEngine

#endif
