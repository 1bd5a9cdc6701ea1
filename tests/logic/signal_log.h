#pragma once

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QTest>
#include <QVariant>

// A signal spy that lives on the test's thread: emissions from worker threads arrive queued,
// so the recorded list is only ever touched by this thread.
class SignalLog : public QObject {
public:
    template <class Sender, class... Args>
    SignalLog(Sender* sender, void (Sender::*signal)(Args...))
    {
        QObject::connect(sender, signal, this,
                         [this](Args... args) { calls_.append(QList<QVariant>{QVariant::fromValue(args)...}); });
    }

    int size() const { return calls_.size(); }
    const QList<QVariant>& at(int i) const { return calls_.at(i); }
    const QList<QVariant>& last() const { return calls_.last(); }
    bool wait(int ms)
    {
        const int before = calls_.size();
        return QTest::qWaitFor([&] { return calls_.size() > before; }, ms);
    }

private:
    QList<QList<QVariant>> calls_;
};
