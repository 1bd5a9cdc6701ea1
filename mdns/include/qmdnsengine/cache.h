#ifndef QMDNSENGINE_CACHE_H
#define QMDNSENGINE_CACHE_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <qmdnsengine/record.h>

namespace QMdnsEngine {

// Records live until their TTL runs out. Lookups hand out the TTL that is left.
class Cache : public QObject
{
    Q_OBJECT

public:
    explicit Cache(QObject *parent = nullptr);

    void addRecord(const Record &record);
    // The newest matching record.
    bool lookupRecord(const QByteArray &name, quint16 type, Record &record) const;
    // An empty name matches any name, ANY any type.
    bool lookupRecords(const QByteArray &name, quint16 type, QList<Record> &records) const;

Q_SIGNALS:
    void shouldQuery(const QMdnsEngine::Record &record);
    void recordExpired(const QMdnsEngine::Record &record);

private:
    struct Entry
    {
        Record record;
        qint64 expiry;
        QList<qint64> refreshes;
    };

    Entry makeEntry(const Record &record) const;
    void removeMatching(const Record &record, QList<Record> &removed);
    void onTimeout();
    void schedule();

    QList<Entry> m_entries;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

}

#endif
