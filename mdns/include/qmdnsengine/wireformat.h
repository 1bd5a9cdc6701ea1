#ifndef QMDNSENGINE_WIREFORMAT_H
#define QMDNSENGINE_WIREFORMAT_H

#include <qmdnsengine/message.h>

#include <QByteArray>

namespace QMdnsEngine {

// Decodes a DNS packet. Returns false, leaving `message` untouched, for anything malformed
// and for a message whose opcode or response code is not zero.
// Records of types not listed in dns.h are skipped. Address and port are left to the caller.
bool decodeMessage(const QByteArray& packet, Message& message);

// Encodes without name compression. Over-long labels and names are cut to the DNS limits.
QByteArray encodeMessage(const Message& message);

} // namespace QMdnsEngine

#endif
