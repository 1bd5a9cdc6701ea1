#include "cli_options.h"

#include <kes_logic/lidar_address.h>

#include <QCommandLineParser>

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

// Parses `args` (the sub-command first) with `positionals` arguments besides the options;
// false with `error` set on a usage error.
bool runParser(QCommandLineParser& parser, const QStringList& args, QString& help, QString& error,
               int positionals = 0)
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
    if (rest.size() < positionals) {
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
                                     "Ctrl+C disconnects.\n"
                                     "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                                     "64 bad usage.");
    addTargetOptions(parser, defaultIp);
    parser.addOption({"seconds", "Stop after this many seconds (default: run until interrupted).", "S", "0"});
    if (!runParser(parser, args, result.help, result.error))
        return result;
    result.error = readTarget(parser, result.options.target);
    if (result.error.isEmpty())
        result.error = readInt(parser, "seconds", 0, 86400, result.options.seconds);
    return result;
}

Parsed<RecordOptions> parseRecord(const QStringList& args, const QString& defaultIp)
{
    Parsed<RecordOptions> result;
    QCommandLineParser parser;
    parser.setApplicationDescription("kestra-cli record: connect, write the live scan blocks to a point-cloud CSV "
                                     "file for the given time, disconnect, print the blocks and rows written.\n"
                                     "Exit codes: 0 done, 1 the device refused, 2 no answer, 3 socket error, "
                                     "64 bad usage, 73 the file cannot be written.");
    addTargetOptions(parser, defaultIp);
    parser.addOption({"seconds", "How long to record.", "S"});
    parser.addOption({"out", "The CSV file to write (replaced if it exists).", "FILE"});
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
           "  inspect   summarise a recorded CSV file\n\n"
           "\"kestra-cli COMMAND --help\" describes each command.\n";
}

} // namespace cli
