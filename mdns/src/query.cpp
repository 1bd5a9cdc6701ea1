#include <qmdnsengine/query.h>

namespace QMdnsEngine {

Query::Query(const QByteArray& name, quint16 type) : m_name(name), m_type(type) {}

bool Query::operator==(const Query& other) const
{
    return m_name == other.m_name && m_type == other.m_type && m_unicastResponse == other.m_unicastResponse;
}

} // namespace QMdnsEngine
