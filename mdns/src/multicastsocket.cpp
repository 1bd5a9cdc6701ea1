#include "multicastsocket.h"

#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/wireformat.h>

#include <QNetworkDatagram>

#include <algorithm>

namespace QMdnsEngine {

namespace {
constexpr int MulticastTtl = 255;
}

MulticastSocket::MulticastSocket(QAbstractSocket::NetworkLayerProtocol family, QObject* parent)
    : QObject(parent),
      m_family(family),
      m_group(family == QAbstractSocket::IPv6Protocol ? MdnsIpv6Address : MdnsIpv4Address)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &MulticastSocket::readDatagrams);
}

bool MulticastSocket::bind()
{
    const QHostAddress any =
        m_family == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4;
    if (!m_socket.bind(any, MdnsPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::MulticastTtlOption, MulticastTtl);
    m_socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    return true;
}

bool MulticastSocket::hasAddress(const QNetworkInterface& interface) const
{
    const QList<QNetworkAddressEntry> entries = interface.addressEntries();
    return std::any_of(entries.cbegin(), entries.cend(),
                       [this](const QNetworkAddressEntry& entry) { return entry.ip().protocol() == m_family; });
}

// Keyed by name and index: an interface deleted and made again under the same name has lost
// its memberships and gets a new index. Joining needs an address of the family on it.
QMap<QString, QNetworkInterface> MulticastSocket::usableInterfaces() const
{
    const QNetworkInterface::InterfaceFlags needed =
        QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanMulticast;
    QMap<QString, QNetworkInterface> usable;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        if ((interface.flags() & needed) == needed && hasAddress(interface)) {
            usable.insert(interface.name() + QLatin1Char('#') + QString::number(interface.index()), interface);
        }
    }
    return usable;
}

// Joined entries are refreshed too: choosing the outgoing IPv4 interface uses its address.
void MulticastSocket::followInterfaces()
{
    const QMap<QString, QNetworkInterface> usable = usableInterfaces();
    for (auto it = m_joined.begin(); it != m_joined.end();) {
        if (usable.contains(it.key())) {
            it.value() = usable.value(it.key());
            ++it;
            continue;
        }
        m_socket.leaveMulticastGroup(m_group, it.value());
        it = m_joined.erase(it);
    }
    for (auto it = usable.cbegin(); it != usable.cend(); ++it) {
        if (!m_joined.contains(it.key()) && m_socket.joinMulticastGroup(m_group, it.value())) {
            m_joined.insert(it.key(), it.value());
        }
    }
}

void MulticastSocket::sendTo(const QByteArray& packet, const QHostAddress& address, quint16 port)
{
    if (isBound()) {
        m_socket.writeDatagram(packet, address, port);
    }
}

void MulticastSocket::sendToGroup(const QByteArray& packet)
{
    if (!isBound()) {
        return;
    }
    if (m_joined.isEmpty()) {
        m_socket.writeDatagram(packet, m_group, MdnsPort);
        return;
    }
    for (const QNetworkInterface& interface : qAsConst(m_joined)) {
        m_socket.setMulticastInterface(interface);
        m_socket.writeDatagram(packet, m_group, MdnsPort);
    }
}

void MulticastSocket::readDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        Message message;
        if (!decodeMessage(datagram.data(), message)) {
            continue;
        }
        message.setAddress(datagram.senderAddress());
        message.setPort(static_cast<quint16>(datagram.senderPort()));
        emit messageReceived(message);
    }
}

} // namespace QMdnsEngine
