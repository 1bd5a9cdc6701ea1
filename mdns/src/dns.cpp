#include <qmdnsengine/dns.h>

namespace QMdnsEngine {

const QHostAddress MdnsIpv4Address(QStringLiteral("224.0.0.251"));
const QHostAddress MdnsIpv6Address(QStringLiteral("ff02::fb"));

} // namespace QMdnsEngine
