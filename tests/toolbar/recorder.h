#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QVariant>

#include <mutex>

// Records a signal on the test's thread: emissions from worker threads arrive queued.
class Recorder : public QObject {
public:
    template <class Sender, class... Args>
    Recorder(Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(sender, signal, this,
                [this](Args... args) { firsts_ << QVariantList{QVariant::fromValue(args)...}.value(0); });
    }

    const QVariantList& firsts() const { return firsts_; }
    static QVariantList firstsOf(const QList<QVariantList>& calls)
    {
        QVariantList values;
        for (const QVariantList& call : calls)
            values << call.value(0);
        return values;
    }
    QStringList texts() const { return QVariant(firsts_).toStringList(); }
    bool waitFor(const QVariant& first, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return firsts_.contains(first); }, ms);
    }

private:
    QVariantList firsts_;
};

// Counts lines of the Qt debug stream, written from any thread, while it is in scope.
class DebugLines {
public:
    DebugLines()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_ << line;
        });
    }
    ~DebugLines() { qInstallMessageHandler(nullptr); }

    int count(const QString& text) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return int(lines_.filter(text).size());
    }

private:
    static inline std::mutex mutex_;
    static inline QStringList lines_;
};
