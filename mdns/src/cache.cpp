#include "names.h"

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
// Records of a set this young are part of the same announcement: a flush leaves them.
constexpr qint64 FlushGraceMs = 1000;
// How long a record announced gone is kept, so that a correction can still save it.
constexpr qint64 GoodbyeMs = 1000;

} // namespace

Cache::Cache(QObject* parent) : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Cache::onTimeout);
}

Cache::Entry Cache::makeEntry(const Record& record, qint64 now)
{
    const qint64 ttlMs = static_cast<qint64>(record.ttl()) * 1000;
    Entry entry{record, m_nextOrder++, now, now + ttlMs, {}};
    for (int point : RefreshPoints) {
        const int perMille = point + QRandomGenerator::global()->bounded(JitterPerMille);
        entry.refreshes.append(now + ttlMs * perMille / 1000);
    }
    return entry;
}

// A flush replaces the older records of the set quietly, as the new data arrives in the same
// call; a goodbye reports its record when the extra second is over.
void Cache::addRecord(const Record& record)
{
    const qint64 now = m_clock.elapsed();
    const Key key(foldedName(record.name()), record.type());
    const auto bucket = m_entries.find(key);
    if (bucket != m_entries.end()) {
        QList<Entry>& entries = bucket.value();
        for (int i = entries.size() - 1; i >= 0; --i) {
            Entry& cached = entries[i];
            const bool equal = cached.record == record;
            if (equal && record.ttl() == 0) {
                cached.expiry = std::min(cached.expiry, now + GoodbyeMs);
                cached.refreshes.clear();
                scheduleAt(cached.expiry);
            } else if (equal || (record.flushCache() && record.ttl() > 0 && now - cached.received > FlushGraceMs)) {
                m_order.erase(cached.order);
                entries.removeAt(i);
            }
        }
        if (entries.isEmpty()) {
            m_entries.erase(bucket);
        }
    }
    if (record.ttl() == 0) {
        return;
    }
    const Entry entry = makeEntry(record, now);
    m_order.emplace(entry.order, key);
    m_entries[key].append(entry);
    scheduleAt(entry.due());
    QList<Record> evicted;
    while (m_order.size() > static_cast<size_t>(MaxEntries)) {
        evictOldest(evicted);
    }
    for (const Record& goneRecord : qAsConst(evicted)) {
        emit recordExpired(goneRecord);
    }
}

void Cache::evictOldest(QList<Record>& evicted)
{
    const auto oldest = m_order.begin();
    const auto bucket = m_entries.find(oldest->second);
    QList<Entry>& entries = bucket.value();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).order == oldest->first) {
            evicted.append(entries.at(i).record);
            entries.removeAt(i);
            break;
        }
    }
    if (entries.isEmpty()) {
        m_entries.erase(bucket);
    }
    m_order.erase(oldest);
}

void Cache::collect(const Key& key, qint64 now, std::map<quint64, Record>& found) const
{
    for (const Entry& entry : m_entries.value(key)) {
        if (entry.expiry > now) {
            Record record = entry.record;
            record.setTtl(static_cast<quint32>((entry.expiry - now + 999) / 1000));
            found.emplace(entry.order, record);
        }
    }
}

bool Cache::lookupRecord(const QByteArray& name, quint16 type, Record& record) const
{
    QList<Record> records;
    if (!lookupRecords(name, type, records)) {
        return false;
    }
    record = records.last();
    return true;
}

bool Cache::lookupRecords(const QByteArray& name, quint16 type, QList<Record>& records) const
{
    const qint64 now = m_clock.elapsed();
    const QByteArray folded = foldedName(name);
    std::map<quint64, Record> found;
    if (name.isEmpty() || type == ANY) {
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            if ((name.isEmpty() || it.key().first == folded) && (type == ANY || it.key().second == type)) {
                collect(it.key(), now, found);
            }
        }
    } else {
        collect(Key(folded, type), now, found);
    }
    records.clear();
    for (const auto& orderAndRecord : found) {
        records.append(orderAndRecord.second);
    }
    return !records.isEmpty();
}

bool Cache::hasRecord(const Record& record) const
{
    const qint64 now = m_clock.elapsed();
    const QList<Entry> entries = m_entries.value(Key(foldedName(record.name()), record.type()));
    return std::any_of(entries.cbegin(), entries.cend(),
                       [&](const Entry& entry) { return entry.expiry > now && entry.record == record; });
}

// Signals go out after the entries are settled, so handlers may add records freely.
void Cache::onTimeout()
{
    const qint64 now = m_clock.elapsed();
    std::map<quint64, Record> due;
    std::map<quint64, Record> expired;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        QList<Entry>& entries = it.value();
        for (int i = entries.size() - 1; i >= 0; --i) {
            Entry& entry = entries[i];
            if (entry.expiry <= now) {
                expired.emplace(entry.order, entry.record);
                m_order.erase(entry.order);
                entries.removeAt(i);
                continue;
            }
            bool refreshDue = false;
            while (!entry.refreshes.isEmpty() && entry.refreshes.first() <= now) {
                entry.refreshes.removeFirst();
                refreshDue = true;
            }
            if (refreshDue) {
                due.emplace(entry.order, entry.record);
            }
        }
        it = entries.isEmpty() ? m_entries.erase(it) : std::next(it);
    }
    schedule();
    for (const auto& orderAndRecord : due) {
        emit shouldQuery(orderAndRecord.second);
    }
    for (const auto& orderAndRecord : expired) {
        emit recordExpired(orderAndRecord.second);
    }
}

// Only ever brought forward; onTimeout works out the next point from scratch.
void Cache::scheduleAt(qint64 due)
{
    if (m_timer.isActive() && m_timerDue <= due) {
        return;
    }
    m_timerDue = due;
    // QTimer takes an int; a far deadline is simply re-armed when the timer fires early.
    const qint64 wait = std::clamp<qint64>(due - m_clock.elapsed(), 0, 24 * 3600 * 1000);
    m_timer.start(static_cast<int>(wait));
}

void Cache::schedule()
{
    m_timer.stop();
    qint64 next = std::numeric_limits<qint64>::max();
    for (const QList<Entry>& entries : qAsConst(m_entries)) {
        for (const Entry& entry : entries) {
            next = std::min(next, entry.due());
        }
    }
    if (!m_entries.isEmpty()) {
        scheduleAt(next);
    }
}

} // namespace QMdnsEngine
