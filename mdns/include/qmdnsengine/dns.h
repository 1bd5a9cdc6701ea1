#ifndef QMDNSENGINE_DNS_H
#define QMDNSENGINE_DNS_H

#include <QHostAddress>
#include <QtGlobal>

namespace QMdnsEngine {

constexpr quint16 MdnsPort = 5353;
extern const QHostAddress MdnsIpv4Address;
extern const QHostAddress MdnsIpv6Address;

constexpr quint16 A = 1;
constexpr quint16 PTR = 12;
constexpr quint16 TXT = 16;
constexpr quint16 AAAA = 28;
constexpr quint16 SRV = 33;
constexpr quint16 NSEC = 47;
constexpr quint16 ANY = 255;

} // namespace QMdnsEngine

#endif
