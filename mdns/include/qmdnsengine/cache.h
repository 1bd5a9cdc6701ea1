#ifndef QMDNSENGINE_CACHE_H
#define QMDNSENGINE_CACHE_H

#include <qmdnsengine/record.h>

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTimer>

#include <map>

namespace QMdnsEngine {

// Records live until their TTL runs out, indexed by name (without regard to letter case) and
// type. A goodbye (TTL 0) leaves a record one more second. At most MaxEntries are held: the
// oldest goes first. Lookups hand out the TTL that is left.
class Cache : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxEntries = 1024;

    explicit Cache(QObject* parent = nullptr);

    void addRecord(const Record& record);
    // The newest matching record.
    bool lookupRecord(const QByteArray& name, quint16 type, Record& record) const;
    // An empty name matches any name, ANY any type; oldest first.
    bool lookupRecords(const QByteArray& name, quint16 type, QList<Record>& records) const;
    // Whether a record equal to `record` is held.
    bool hasRecord(const Record& record) const;

Q_SIGNALS:
    void shouldQuery(const QMdnsEngine::Record& record);
    void recordExpired(const QMdnsEngine::Record& record);

private:
    using Key = QPair<QByteArray, quint16>;

    struct Entry {
        Record record;
        quint64 order;
        qint64 received;
        qint64 expiry;
        QList<qint64> refreshes;
        qint64 due() const { return refreshes.isEmpty() ? expiry : refreshes.first(); }
    };

    Entry makeEntry(const Record& record, qint64 now);
    void remove(const Key& key, int index);
    void evictOldest(QList<Record>& evicted);
    void collect(const Key& key, qint64 now, std::map<quint64, Record>& found) const;
    void onTimeout();
    void scheduleAt(qint64 due);
    void schedule();

    QHash<Key, QList<Entry>> m_entries;
    // Arrival order of every entry, for the oldest out.
    std::map<quint64, Key> m_order;
    quint64 m_nextOrder = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_timerDue = 0;
};

} // namespace QMdnsEngine

#endif
