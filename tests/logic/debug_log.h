#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

// Collects the Qt debug stream, written from any thread, while it is in scope.
class DebugLog {
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    bool contains(const QString& text) const;
    int count(const QString& text) const;
};
