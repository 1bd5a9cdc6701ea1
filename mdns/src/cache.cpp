#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>

#include <QRandomGenerator>

#include <algorithm>
#include <limits>

namespace QMdnsEngine {

namespace {

// Points in the TTL, in per mille, at which to ask again; each gets up to 2 % of jitter so
// that hosts sharing a record do not all ask at once.
constexpr int RefreshPoints[] = {500, 850, 900, 950};
constexpr int JitterPerMille = 20;

bool sameRecordSet(const Record &a, const Record &b)
{
    return a.name() == b.name() && a.type() == b.type();
}

bool matches(const Record &record, const QByteArray &name, quint16 type)
{
    return (name.isEmpty() || record.name() == name) && (type == ANY || record.type() == type);
}

}

Cache::Cache(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Cache::onTimeout);
}

Cache::Entry Cache::makeEntry(const Record &record) const
{
    const qint64 now = m_clock.elapsed();
    const qint64 ttlMs = static_cast<qint64>(record.ttl()) * 1000;
    Entry entry{record, now + ttlMs, {}};
    for (int point : RefreshPoints) {
        const int perMille = point + QRandomGenerator::global()->bounded(JitterPerMille);
        entry.refreshes.append(now + ttlMs * perMille / 1000);
    }
    return entry;
}

void Cache::removeMatching(const Record &record, QList<Record> &removed)
{
    for (int i = m_entries.size() - 1; i >= 0; --i) {
        const Record &cached = m_entries.at(i).record;
        const bool flushed = record.flushCache() && sameRecordSet(cached, record);
        if (flushed || cached == record) {
            removed.prepend(cached);
            m_entries.removeAt(i);
        }
    }
}

// A flush replaces the whole record set quietly, as the new data arrives in the same call;
// a goodbye (TTL 0) reports everything it takes away.
void Cache::addRecord(const Record &record)
{
    QList<Record> removed;
    removeMatching(record, removed);
    if (record.ttl() > 0) {
        m_entries.append(makeEntry(record));
    }
    schedule();
    if (record.ttl() == 0) {
        for (const Record &goneRecord : qAsConst(removed)) {
            emit recordExpired(goneRecord);
        }
    }
}

bool Cache::lookupRecord(const QByteArray &name, quint16 type, Record &record) const
{
    QList<Record> records;
    if (!lookupRecords(name, type, records)) {
        return false;
    }
    record = records.last();
    return true;
}

bool Cache::lookupRecords(const QByteArray &name, quint16 type, QList<Record> &records) const
{
    const qint64 now = m_clock.elapsed();
    records.clear();
    for (const Entry &entry : m_entries) {
        if (entry.expiry > now && matches(entry.record, name, type)) {
            Record record = entry.record;
            record.setTtl(static_cast<quint32>((entry.expiry - now + 999) / 1000));
            records.append(record);
        }
    }
    return !records.isEmpty();
}

// Signals go out after the entries are settled, so handlers may add records freely.
void Cache::onTimeout()
{
    const qint64 now = m_clock.elapsed();
    QList<Record> due;
    QList<Record> expired;
    for (int i = m_entries.size() - 1; i >= 0; --i) {
        Entry &entry = m_entries[i];
        if (entry.expiry <= now) {
            expired.prepend(entry.record);
            m_entries.removeAt(i);
            continue;
        }
        bool refreshDue = false;
        while (!entry.refreshes.isEmpty() && entry.refreshes.first() <= now) {
            entry.refreshes.removeFirst();
            refreshDue = true;
        }
        if (refreshDue) {
            due.prepend(entry.record);
        }
    }
    schedule();
    for (const Record &record : qAsConst(due)) {
        emit shouldQuery(record);
    }
    for (const Record &record : qAsConst(expired)) {
        emit recordExpired(record);
    }
}

void Cache::schedule()
{
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Entry &entry : qAsConst(m_entries)) {
        next = std::min(next, entry.refreshes.isEmpty() ? entry.expiry : entry.refreshes.first());
    }
    if (m_entries.isEmpty()) {
        m_timer.stop();
        return;
    }
    // QTimer takes an int; a far deadline is simply re-armed when the timer fires early.
    const qint64 wait = std::clamp<qint64>(next - m_clock.elapsed(), 0, 24 * 3600 * 1000);
    m_timer.start(static_cast<int>(wait));
}

}
