#include <qmdnsengine/record.h>

namespace QMdnsEngine {

Record::Record(const QByteArray &name, quint16 type)
    : m_name(name), m_type(type)
{
}

bool Record::operator==(const Record &other) const
{
    return m_name == other.m_name && m_type == other.m_type && m_address == other.m_address
        && m_target == other.m_target && m_priority == other.m_priority
        && m_weight == other.m_weight && m_port == other.m_port
        && m_attributes == other.m_attributes;
}

}
