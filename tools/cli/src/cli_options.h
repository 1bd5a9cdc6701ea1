#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

struct DeviceTarget {
    QString ip;
    quint16 port = 2007;
};

struct InfoOptions {
    DeviceTarget target;
    bool json = false;
};

struct SetOptions {
    DeviceTarget target;
    std::optional<int> frequency;
    std::optional<int> direction;
    std::optional<uint> filter_level;
    std::optional<QString> new_ip;
};

struct WatchOptions {
    DeviceTarget target;
    int seconds = 0; // 0: until interrupted
};

struct RecordOptions {
    DeviceTarget target;
    int seconds = 0;
    QString out;
};

struct InspectOptions {
    QString file;
    bool json = false;
    std::optional<int> frame;
};

struct DiscoverOptions {
    int seconds = 10;
};

// What parsing one sub-command gave: options, a help text to print, or a usage error.
template <class T>
struct Parsed {
    T options;
    QString help;
    QString error;
};

Parsed<InfoOptions> parseInfo(const QStringList& args, const QString& defaultIp);
Parsed<SetOptions> parseSet(const QStringList& args, const QString& defaultIp);
Parsed<DiscoverOptions> parseDiscover(const QStringList& args);
Parsed<WatchOptions> parseWatch(const QStringList& args, const QString& defaultIp);
Parsed<RecordOptions> parseRecord(const QStringList& args, const QString& defaultIp);
Parsed<InspectOptions> parseInspect(const QStringList& args);
QString mainHelp();

} // namespace cli
