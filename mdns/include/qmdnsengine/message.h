#ifndef QMDNSENGINE_MESSAGE_H
#define QMDNSENGINE_MESSAGE_H

#include <qmdnsengine/query.h>
#include <qmdnsengine/record.h>

#include <QHostAddress>
#include <QList>
#include <QMetaType>

namespace QMdnsEngine {

class Message {
public:
    QHostAddress address() const { return m_address; }
    void setAddress(const QHostAddress& address) { m_address = address; }
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    quint16 transactionId() const { return m_transactionId; }
    void setTransactionId(quint16 transactionId) { m_transactionId = transactionId; }
    bool isResponse() const { return m_response; }
    void setResponse(bool response) { m_response = response; }
    bool isTruncated() const { return m_truncated; }
    void setTruncated(bool truncated) { m_truncated = truncated; }

    QList<Query> queries() const { return m_queries; }
    void addQuery(const Query& query) { m_queries.append(query); }
    QList<Record> records() const { return m_records; }
    void addRecord(const Record& record) { m_records.append(record); }

    // Makes this message a response to `other`: multicast when it came from an mDNS port,
    // otherwise unicast back to the (legacy) sender.
    void reply(const Message& other);

private:
    QHostAddress m_address;
    quint16 m_port = 0;
    quint16 m_transactionId = 0;
    bool m_response = false;
    bool m_truncated = false;
    QList<Query> m_queries;
    QList<Record> m_records;
};

} // namespace QMdnsEngine

Q_DECLARE_METATYPE(QMdnsEngine::Message)

#endif
