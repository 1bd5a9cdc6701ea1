#include <qmdnsengine/record.h>

#include "names.h"

namespace QMdnsEngine {

Record::Record(const QByteArray& name, quint16 type) : m_name(name), m_type(type) {}

bool Record::operator==(const Record& other) const
{
    // The fields most likely to differ first: a cache compares many records of one set.
    return m_type == other.m_type && m_port == other.m_port && sameName(m_target, other.m_target)
           && sameName(m_name, other.m_name) && m_address == other.m_address && m_priority == other.m_priority
           && m_weight == other.m_weight && m_attributes == other.m_attributes;
}

} // namespace QMdnsEngine
