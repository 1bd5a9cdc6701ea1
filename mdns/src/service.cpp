#include <qmdnsengine/service.h>

namespace QMdnsEngine {

bool Service::operator==(const Service& other) const
{
    return m_type == other.m_type && m_name == other.m_name && m_port == other.m_port
           && m_attributes == other.m_attributes;
}

} // namespace QMdnsEngine
