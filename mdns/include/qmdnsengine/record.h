#ifndef QMDNSENGINE_RECORD_H
#define QMDNSENGINE_RECORD_H

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QMetaType>

namespace QMdnsEngine {

class Record {
public:
    Record() = default;
    Record(const QByteArray& name, quint16 type);

    QByteArray name() const { return m_name; }
    void setName(const QByteArray& name) { m_name = name; }
    quint16 type() const { return m_type; }
    void setType(quint16 type) { m_type = type; }
    bool flushCache() const { return m_flushCache; }
    void setFlushCache(bool flushCache) { m_flushCache = flushCache; }
    quint32 ttl() const { return m_ttl; }
    void setTtl(quint32 ttl) { m_ttl = ttl; }

    // A and AAAA
    QHostAddress address() const { return m_address; }
    void setAddress(const QHostAddress& address) { m_address = address; }
    // PTR and SRV
    QByteArray target() const { return m_target; }
    void setTarget(const QByteArray& target) { m_target = target; }
    // SRV
    quint16 priority() const { return m_priority; }
    void setPriority(quint16 priority) { m_priority = priority; }
    quint16 weight() const { return m_weight; }
    void setWeight(quint16 weight) { m_weight = weight; }
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    // TXT; a key given without "=" has a null value
    QMap<QByteArray, QByteArray> attributes() const { return m_attributes; }
    void setAttributes(const QMap<QByteArray, QByteArray>& attributes) { m_attributes = attributes; }
    void addAttribute(const QByteArray& key, const QByteArray& value) { m_attributes.insert(key, value); }

    // TTL and flush-cache describe the announcement, not the data, so they are not compared;
    // names compare without regard to the case of ASCII letters.
    bool operator==(const Record& other) const;
    bool operator!=(const Record& other) const { return !(*this == other); }

private:
    QByteArray m_name;
    quint16 m_type = 0;
    bool m_flushCache = false;
    quint32 m_ttl = 3600;
    QHostAddress m_address;
    QByteArray m_target;
    quint16 m_priority = 0;
    quint16 m_weight = 0;
    quint16 m_port = 0;
    QMap<QByteArray, QByteArray> m_attributes;
};

} // namespace QMdnsEngine

Q_DECLARE_METATYPE(QMdnsEngine::Record)

#endif
