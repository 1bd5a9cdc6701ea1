#include "cli_options.h"

#include <kes_logic/lidar_address.h>

#include <QCommandLineParser>

#include <climits>

namespace cli {
namespace {

const QStringList kFrequencies = {"10", "15", "20", "25", "30"};

// What the logic will connect to or write: a complete dotted quad naming one host.
bool isIPv4(const QString& text)
{
    return lidarAddress(text).has_value();
}

void addTargetOptions(QCommandLineParser& parser, const QString& defaultIp)
{
    parser.addOption({"ip", "Address of the lidar (default " + defaultIp + ").", "A", defaultIp});
    parser.addOption({"port", "UDP port of the lidar (default 2007).", "P", "2007"});
}

QString readTarget(const QCommandLineParser& parser, DeviceTarget& target)
{
    target.ip = parser.value("ip");
    if (!isIPv4(target.ip))
        return "--ip needs the dotted IPv4 address of one host, not \"" + target.ip + "\"";
    bool ok = false;
    const uint port = parser.value("port").toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return "--port needs a number from 1 to 65535, not \"" + parser.value("port") + "\"";
    target.port = quint16(port);
    return QString();
}

// Parses `args` (the sub-command first) with `positionals` arguments besides the options (at
// most that many when `optional`); false with `error` set on a usage error.
bool runParser(QCommandLineParser& parser, const QStringList& args, QString& help, QString& error,
               int positionals = 0, bool optional = false)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
    parser.addOption(helpOption);
    if (!parser.parse(args)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption)) {
        // The first argument is the sub-command, which the parser takes for the program.
        help = "Usage: kestra-cli " + args.at(0) + " [options]\n" + parser.helpText().section('\n', 1);
        return false;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.size() > positionals) {
        error = "unexpected argument \"" + rest.at(positionals) + "\"";
        return false;
    }
    if (rest.size() < positionals && !optional) {
        error = "a file name is needed";
        return false;
    }
    return true;
}

template <class T>
bool readNumber(const QCommandLineParser& parser, const QString& name, uint low, uint high, std::optional<T>& out,
                QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const uint value = parser.value(name).toUInt(&ok);
    if (!ok || value < low || value > high) {
        error = QString("--%1 needs a number from %2 to %3, not \"%4\"")
                    .arg(name)
                    .arg(low)
                    .arg(high)
                    .arg(parser.value(name));
        return false;
    }
    out = T(value);
    return true;
}

// The option's value as a number from `low` to `high`; an error message when it is not one.
QString readInt(const QCommandLineParser& parser, const QString& name, int low, int high, int& out)
{
    bool ok = false;
    out = parser.value(name).toInt(&ok);
    if (ok && out >= low && out <= high)
        return QString();
    return QString("--%1 needs a number from %2 to %3, not \"%4\"")
        .arg(name)
        .arg(low)
        .arg(high)
        .arg(parser.value(name));
}

// The target and --seconds (0 to a day, 0 = until interrupted) of the commands that follow the link.
template <class T>
void readFollowing(const QCommandLineParser& parser, Parsed<T>& result)
{
    result.error = readTarget(parser, result.options.target);
    if (result.error.isEmpty())
        result.error = readInt(parser, "seconds", 0, 86400, result.options.seconds);
}

void addUntilInterrupted(QCommandLineParser& parser)
{
    parser.addOption({"seconds", "Stop after this many seconds (default: run until interrupted).", "S", "0"});
}

// A connection held for --seconds while it writes --out.
Parsed<RecordOptions> parseTimedFile(const QStringList& args, const QString& defaultIp, const QString& description,
                                     const QCommandLineOption& seconds, const QCommandLineOption& out)
{
    Parsed<RecordOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    addTargetOptions(parser, defaultIp);
    parser.addOption(seconds);
    parser.addOption(out);
    if (!runParser(parser, args, result.help, result.error))
        return result;
    RecordOptions& o = result.options;
    result.error = readTarget(parser, o.target);
    if (!result.error.isEmpty())
        return result;
    o.out = parser.value("out");
    result.error = readInt(parser, "seconds", 1, 86400, o.seconds);
    if (result.error.isEmpty() && o.out.isEmpty())
        result.error = "--out needs the name of the file to write";
    return result;
}

} // namespace

Parsed<InfoOptions> parseInfo(const QStringList& args, const QString& defaultIp)
{
    Parsed<InfoOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli info: connect, print the device's versions, settings and live "
                                     "values as \"key: value\" lines, disconnect. \"ip\" is the address the "
                                     "lidar stores, \"target\" the one it was reached at.\n"
                                     "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                                     "64 bad usage.");
    addTargetOptions(parser, defaultIp);
    parser.addOption({"json", "Print one JSON object instead of key: value lines."});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    result.error = readTarget(parser, result.options.target);
    result.options.json = parser.isSet("json");
    return result;
}

Parsed<SetOptions> parseSet(const QStringList& args, const QString& defaultIp)
{
    Parsed<SetOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli set: connect, apply the given settings, print what changed, "
                                     "disconnect. A new address is applied last and the lidar then restarts.\n"
                                     "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                                     "64 bad usage.");
    addTargetOptions(parser, defaultIp);
    parser.addOption({"frequency", "Scan frequency: 10, 15, 20, 25 or 30.", "HZ"});
    parser.addOption({"direction", "Direction of rotation: 0 or 1.", "0|1"});
    parser.addOption({"filter-level", "Filter level 0 to 5 (0 turns the filter off).", "0..5"});
    parser.addOption({"new-ip", "New address of the lidar.", "A"});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    SetOptions& o = result.options;
    result.error = readTarget(parser, o.target);
    if (!result.error.isEmpty())
        return result;
    if (parser.isSet("frequency")) {
        if (!kFrequencies.contains(parser.value("frequency"))) {
            result.error = "--frequency needs 10, 15, 20, 25 or 30, not \"" + parser.value("frequency") + "\"";
            return result;
        }
        o.frequency = parser.value("frequency").toInt();
    }
    if (!readNumber(parser, "direction", 0, 1, o.direction, result.error)
        || !readNumber(parser, "filter-level", 0, 5, o.filter_level, result.error))
        return result;
    if (parser.isSet("new-ip")) {
        if (!isIPv4(parser.value("new-ip"))) {
            result.error =
                "--new-ip needs the dotted IPv4 address of one host, not \"" + parser.value("new-ip") + "\"";
            return result;
        }
        o.new_ip = parser.value("new-ip");
    }
    if (!o.frequency && !o.direction && !o.filter_level && !o.new_ip)
        result.error = "nothing to set: give --frequency, --direction, --filter-level or --new-ip";
    return result;
}

Parsed<DiscoverOptions> parseDiscover(const QStringList& args)
{
    Parsed<DiscoverOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli discover: listen for lidars announcing themselves over mDNS "
                                     "and print each proposed address once, one per line.\n"
                                     "Exit codes: 0 done, 3 socket error, 64 bad usage.");
    parser.addOption({"seconds", "How long to listen (default 10).", "S", "10"});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    result.error = readInt(parser, "seconds", 1, 3600, result.options.seconds);
    return result;
}

Parsed<WatchOptions> parseWatch(const QStringList& args, const QString& defaultIp)
{
    Parsed<WatchOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli watch: connect and print, once a second, what the scan stream "
                                     "delivers (revolutions, points, the nearest return) and the live values; "
                                     "Ctrl+C disconnects. Without --reconnect it ends after 5 s without scan "
                                     "data.\n"
                                     "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                                     "64 bad usage.");
    addTargetOptions(parser, defaultIp);
    addUntilInterrupted(parser);
    parser.addOption({"reconnect", "After a link loss, try to reconnect every 2 s until the lidar answers; "
                                   "print each outage's length."});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    readFollowing(parser, result);
    result.options.reconnect = parser.isSet("reconnect");
    return result;
}

Parsed<HealthOptions> parseHealth(const QStringList& args, const QString& defaultIp)
{
    Parsed<HealthOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "kestra-cli health: connect and print, once a second, the link's health: revolutions per second "
        "against the set frequency, datagrams per second, datagrams rejected by the acceptance test, scan "
        "datagrams dropped from the full queue, incomplete revolutions (a stream in order 1 to 6 assumed), "
        "the answer latency of that second's exchanges (median and worst) and the time since the last full "
        "scan. It ends after 5 s without scan data.\n"
        "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, 64 bad usage.");
    addTargetOptions(parser, defaultIp);
    addUntilInterrupted(parser);
    parser.addOption({"json", "Print one JSON object a second instead of a line."});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    readFollowing(parser, result);
    result.options.json = parser.isSet("json");
    return result;
}

Parsed<CaptureOptions> parseCapture(const QStringList& args, const QString& defaultIp)
{
    return parseTimedFile(
        args, defaultIp,
        "kestra-cli capture: connect as the window does and write every datagram of the connection, both "
        "directions, with the host's time in microseconds, to a pcap file (IPv4/UDP, as tcpdump and "
        "Wireshark read it); disconnect; print the datagrams sent and received. kestra-sim --replay plays "
        "it back as a lidar.\n"
        "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, 64 bad usage, 73 the file "
        "cannot be written.",
        {"seconds", "How long to capture.", "S"},
        {"out", "The pcap file to write (replaced if it exists).", "FILE.pcap"});
}

Parsed<StatsOptions> parseStats(const QStringList& args, const QString& defaultIp)
{
    Parsed<StatsOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "kestra-cli stats (--revolutions N | FILE.csv): for each point of the revolution, over N live "
        "revolutions or a whole recording: angle_deg (the view's), samples, valid_share (returns among "
        "samples), mean_m, std_mm, min_m, max_m and mean_intensity of the valid returns, as CSV on standard "
        "output or into --out. A file is read as the player reads it (its ranges may come back 2 mm "
        "short).\n"
        "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, 64 bad usage, 66 the file "
        "cannot be read, 73 an output cannot be written.");
    addTargetOptions(parser, defaultIp);
    parser.addOption({"revolutions", "Collect this many live revolutions.", "N"});
    parser.addOption({"out", "Write the table to this CSV file and a summary to standard output.", "FILE"});
    parser.addOption({"plot", "Draw mean range and deviation against angle into this PNG file.", "FILE.png"});
    if (!runParser(parser, args, result.help, result.error, 1, true))
        return result;
    StatsOptions& o = result.options;
    o.out = parser.value("out");
    o.plot = parser.value("plot");
    const QStringList files = parser.positionalArguments();
    if (parser.isSet("revolutions") == !files.isEmpty()) {
        result.error = "give either --revolutions N for a live lidar or a recorded CSV file";
        return result;
    }
    if (!files.isEmpty()) {
        o.file = files.at(0);
        return result;
    }
    int revolutions = 0;
    result.error = readTarget(parser, o.target);
    if (result.error.isEmpty())
        result.error = readInt(parser, "revolutions", 1, 1000000, revolutions);
    o.revolutions = revolutions;
    return result;
}

Parsed<ExportOptions> parseExport(const QStringList& args)
{
    Parsed<ExportOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "kestra-cli export FILE.csv (--frame K | --all) --format ply|pcd [--binary] --out OUT: the frames of a "
        "recording as the player cuts them, as point clouds: x, y in metres where the view draws them (x "
        "right, y up), z = 0, and intensity, all 32-bit floats; points without return are left out. With "
        "--all, frame K goes to OUT with _K before its extension (scan.ply: scan_0000.ply, scan_0001.ply, "
        "...; at least four digits, all of one width).\n"
        "Exit codes: 0 done, 64 bad usage, 66 the file cannot be read, 73 an output cannot be written.");
    parser.addOption({"frame", "Export frame K (0-based, as inspect counts).", "K"});
    parser.addOption({"all", "Export every frame, one file each."});
    parser.addOption({"format", "ply or pcd.", "ply|pcd"});
    parser.addOption({"binary", "Binary little-endian instead of ASCII."});
    parser.addOption({"out", "The file to write (replaced if it exists).", "OUT"});
    if (!runParser(parser, args, result.help, result.error, 1))
        return result;
    ExportOptions& o = result.options;
    o.file = parser.positionalArguments().at(0);
    o.out = parser.value("out");
    o.binary = parser.isSet("binary");
    const QString format = parser.value("format");
    o.pcd = format == "pcd";
    if (format != "ply" && format != "pcd")
        result.error = "--format needs ply or pcd, not \"" + format + "\"";
    else if (parser.isSet("frame") == parser.isSet("all"))
        result.error = "give either --frame K or --all";
    else if (o.out.isEmpty())
        result.error = "--out needs the name of the file to write";
    else if (parser.isSet("frame"))
        result.error = readInt(parser, "frame", 0, INT_MAX, o.frame.emplace());
    return result;
}

Parsed<RecordOptions> parseRecord(const QStringList& args, const QString& defaultIp)
{
    return parseTimedFile(args, defaultIp,
                          "kestra-cli record: connect, write the live scan blocks to a point-cloud CSV "
                          "file for the given time, disconnect, print the blocks and rows written.\n"
                          "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                          "64 bad usage, 73 the file cannot be written.",
                          {"seconds", "How long to record.", "S"},
                          {"out", "The CSV file to write (replaced if it exists).", "FILE"});
}

Parsed<InspectOptions> parseInspect(const QStringList& args)
{
    Parsed<InspectOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli inspect FILE: load a point-cloud CSV file as the player does and "
                                     "print blocks, frames, points, first_time_stamp, last_time_stamp and "
                                     "load_seconds; with --frame K also the six blocks of frame K.\n"
                                     "Exit codes: 0 done, 64 bad usage, 66 the file cannot be read.");
    parser.addOption({"json", "Print one JSON object instead of key: value lines."});
    parser.addOption({"frame", "Also print the blocks of frame K (0-based).", "K"});
    if (!runParser(parser, args, result.help, result.error, 1))
        return result;
    InspectOptions& o = result.options;
    o.file = parser.positionalArguments().at(0);
    o.json = parser.isSet("json");
    if (parser.isSet("frame")) {
        bool ok = false;
        o.frame = parser.value("frame").toInt(&ok);
        if (!ok || *o.frame < 0)
            result.error = "--frame needs a frame number from 0 on, not \"" + parser.value("frame") + "\"";
    }
    return result;
}

QString mainHelp()
{
    return "Usage: kestra-cli COMMAND [options]\n"
           "Service tool for the lidar, without a window.\n\n"
           "Commands:\n"
           "  info      print versions, settings and live values\n"
           "  set       change frequency, direction, filter level or address\n"
           "  discover  list the addresses of lidars found over mDNS\n"
           "  watch     follow the scan stream, one line a second\n"
           "  record    write the live scan blocks to a CSV file\n"
           "  inspect   summarise a recorded CSV file\n"
           "  capture   write every datagram of a connection to a pcap file\n"
           "  health    the link's health, one line a second\n"
           "  stats     per-angle statistics of live revolutions or a recording\n"
           "  export    frames of a recording as PLY or PCD point clouds\n\n"
           "\"kestra-cli COMMAND --help\" describes each command.\n";
}

} // namespace cli
