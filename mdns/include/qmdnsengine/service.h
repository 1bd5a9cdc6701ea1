#ifndef QMDNSENGINE_SERVICE_H
#define QMDNSENGINE_SERVICE_H

#include <QByteArray>
#include <QMap>
#include <QMetaType>

namespace QMdnsEngine {

class Service {
public:
    // Full type including the domain, e.g. "_http._tcp.local."
    QByteArray type() const { return m_type; }
    void setType(const QByteArray& type) { m_type = type; }
    // Instance label, without the type
    QByteArray name() const { return m_name; }
    void setName(const QByteArray& name) { m_name = name; }
    // SRV target
    QByteArray hostname() const { return m_hostname; }
    void setHostname(const QByteArray& hostname) { m_hostname = hostname; }
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    QMap<QByteArray, QByteArray> attributes() const { return m_attributes; }
    void setAttributes(const QMap<QByteArray, QByteArray>& attributes) { m_attributes = attributes; }
    void addAttribute(const QByteArray& key, const QByteArray& value) { m_attributes.insert(key, value); }

    // The host name is left out: one service may move between hosts.
    bool operator==(const Service& other) const;
    bool operator!=(const Service& other) const { return !(*this == other); }

private:
    QByteArray m_type;
    QByteArray m_name;
    QByteArray m_hostname;
    quint16 m_port = 0;
    QMap<QByteArray, QByteArray> m_attributes;
};

} // namespace QMdnsEngine

Q_DECLARE_METATYPE(QMdnsEngine::Service)

#endif
