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
    bool reconnect = false;
};

struct HealthOptions {
    DeviceTarget target;
    int seconds = 0; // 0: until interrupted
    bool json = false;
};

// Live from the lidar when `revolutions` is set, else from `file`.
struct StatsOptions {
    DeviceTarget target;
    std::optional<int> revolutions;
    QString file;
    QString out;
    QString plot;
};

struct ExportOptions {
    QString file;
    std::optional<int> frame; // none: every frame
    bool pcd = false;         // else PLY
    bool binary = false;
    QString out;
};

// A connection held for a time while it writes a file: record and capture.
struct RecordOptions {
    DeviceTarget target;
    int seconds = 0;
    QString out;
};
using CaptureOptions = RecordOptions;

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
Parsed<CaptureOptions> parseCapture(const QStringList& args, const QString& defaultIp);
Parsed<HealthOptions> parseHealth(const QStringList& args, const QString& defaultIp);
Parsed<StatsOptions> parseStats(const QStringList& args, const QString& defaultIp);
Parsed<ExportOptions> parseExport(const QStringList& args);
QString mainHelp();

} // namespace cli
