#ifndef QMDNSENGINE_QUERY_H
#define QMDNSENGINE_QUERY_H

#include <QByteArray>

namespace QMdnsEngine {

class Query {
public:
    Query() = default;
    Query(const QByteArray& name, quint16 type);

    QByteArray name() const { return m_name; }
    void setName(const QByteArray& name) { m_name = name; }
    quint16 type() const { return m_type; }
    void setType(quint16 type) { m_type = type; }
    bool unicastResponse() const { return m_unicastResponse; }
    void setUnicastResponse(bool unicastResponse) { m_unicastResponse = unicastResponse; }

    bool operator==(const Query& other) const;

private:
    QByteArray m_name;
    quint16 m_type = 0;
    bool m_unicastResponse = false;
};

} // namespace QMdnsEngine

#endif
