#include "debug_log.h"

namespace {

std::mutex mutex;
QStringList lines;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::lock_guard<std::mutex> lock(mutex);
    lines << message;
}

} // namespace

DebugLog::DebugLog()
{
    std::lock_guard<std::mutex> lock(mutex);
    lines.clear();
    qInstallMessageHandler(collect);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(nullptr);
}

bool DebugLog::contains(const QString& text) const
{
    return count(text) > 0;
}

int DebugLog::count(const QString& text) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int(lines.filter(text).size());
}
