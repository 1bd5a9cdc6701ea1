#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>

namespace QMdnsEngine {

void Message::reply(const Message& other)
{
    if (other.port() == MdnsPort) {
        const bool ipv6 = other.address().protocol() == QAbstractSocket::IPv6Protocol;
        setAddress(ipv6 ? MdnsIpv6Address : MdnsIpv4Address);
    } else {
        setAddress(other.address());
    }
    setPort(other.port());
    setTransactionId(other.transactionId());
    setResponse(true);
}

} // namespace QMdnsEngine
