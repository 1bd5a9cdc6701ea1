#pragma once

#include "kes_test/time_scale.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>

#include <ostream>

// Failures show texts, not UTF-16 bytes.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << text.toStdString();
}

namespace kes_test {

// Runs the event loop until `condition` holds, for at most `ms` (scaled).
template <class Condition>
bool waitFor(Condition condition, int ms = 5000)
{
    return QTest::qWaitFor(condition, scaled(ms));
}

// A signal spy that lives on the test's thread: emissions from worker threads arrive queued,
// so the recorded calls are only ever touched by this thread.
class SignalLog : public QObject {
public:
    template <class Sender, class... Args>
    SignalLog(Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(sender, signal, this,
                [this](Args... args) { calls_ << QVariantList{QVariant::fromValue(args)...}; });
    }

    int size() const { return calls_.size(); }
    const QVariantList& at(int i) const { return calls_.at(i); }
    const QVariantList& last() const { return calls_.last(); }
    // The first argument of every call.
    QVariantList firsts() const;
    QStringList texts() const { return QVariant(firsts()).toStringList(); }
    // Whether another call arrives within `ms`.
    bool wait(int ms = 5000);
    // Whether a call with this first argument has arrived or arrives within `ms`.
    bool waitFor(const QVariant& first, int ms = 5000);

private:
    QList<QVariantList> calls_;
};

// Collects the Qt message stream, written from any thread, while it is in scope.
class DebugLog {
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    QStringList lines() const;
    // Messages above the debug level.
    QStringList warnings() const;
    int count(const QString& text) const;
    bool contains(const QString& text) const { return count(text) > 0; }

private:
    QtMessageHandler previous_;
};

} // namespace kes_test
