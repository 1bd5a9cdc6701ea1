#include "kes_test/qt_support.h"

#include <mutex>

namespace kes_test {

QVariantList SignalLog::firsts() const
{
    QVariantList values;
    for (const QVariantList& call : calls_)
        values << call.value(0);
    return values;
}

bool SignalLog::wait(int ms)
{
    const int before = calls_.size();
    return kes_test::waitFor([&] { return calls_.size() > before; }, ms);
}

bool SignalLog::waitFor(const QVariant& first, int ms)
{
    return kes_test::waitFor([&] { return firsts().contains(first); }, ms);
}

namespace {

std::mutex mutex;
QList<std::pair<QtMsgType, QString>> messages;

void collect(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    messages.append({type, text});
}

QStringList collected(bool warningsOnly)
{
    std::lock_guard<std::mutex> lock(mutex);
    QStringList lines;
    for (const auto& [type, text] : messages)
        if (!warningsOnly || type != QtDebugMsg)
            lines << text;
    return lines;
}

} // namespace

DebugLog::DebugLog()
{
    std::lock_guard<std::mutex> lock(mutex);
    messages.clear();
    previous_ = qInstallMessageHandler(collect);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previous_);
}

QStringList DebugLog::lines() const
{
    return collected(false);
}

QStringList DebugLog::warnings() const
{
    return collected(true);
}

int DebugLog::count(const QString& text) const
{
    return int(lines().filter(text).size());
}

} // namespace kes_test
