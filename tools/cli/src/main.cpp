#include "cli_options.h"
#include "commands.h"
#include "exit_codes.h"
#include "output.h"

#include <kes_logic/lidar_logic.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace {

QString defaultAddress()
{
    return QString::fromLatin1(kDefaultLidarAddress);
}

template <class T, class Run>
int dispatch(const cli::Parsed<T>& parsed, Run run)
{
    if (!parsed.help.isEmpty()) {
        cli::out() << parsed.help;
        return cli::kDone;
    }
    if (!parsed.error.isEmpty()) {
        cli::printError(parsed.error);
        return cli::kUsage;
    }
    return run(parsed.options);
}

int usageError(const QString& message)
{
    cli::printError(message + "; see kestra-cli --help");
    return cli::kUsage;
}

int run(const QStringList& args)
{
    if (args.isEmpty())
        return usageError("no command given");
    const QString command = args.first();
    if (command == "--help" || command == "-h" || command == "help") {
        cli::out() << cli::mainHelp();
        return cli::kDone;
    }
    if (command == "info")
        return dispatch(cli::parseInfo(args, defaultAddress()), cli::runInfo);
    if (command == "set")
        return dispatch(cli::parseSet(args, defaultAddress()), cli::runSet);
    if (command == "discover")
        return dispatch(cli::parseDiscover(args), cli::runDiscover);
    if (command == "watch")
        return dispatch(cli::parseWatch(args, defaultAddress()), cli::runWatch);
    if (command == "record")
        return dispatch(cli::parseRecord(args, defaultAddress()), cli::runRecord);
    if (command == "inspect")
        return dispatch(cli::parseInspect(args), cli::runInspect);
    if (command == "capture")
        return dispatch(cli::parseCapture(args, defaultAddress()), cli::runCapture);
    if (command == "health")
        return dispatch(cli::parseHealth(args, defaultAddress()), cli::runHealth);
    if (command == "stats")
        return dispatch(cli::parseStats(args, defaultAddress()), cli::runStats);
    if (command == "export")
        return dispatch(cli::parseExport(args), cli::runExport);
    return usageError("unknown command \"" + command + "\"");
}

} // namespace

int main(int argc, char** argv)
{
    // The statistics plot draws text, which needs the GUI's fonts, not a display.
    const bool plots = argc > 1 && std::strcmp(argv[1], "stats") == 0;
    if (plots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    cli::reserveOutput();
    const std::unique_ptr<QCoreApplication> app =
        plots ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("kestra-cli");
    const int code = run(QCoreApplication::arguments().mid(1));
    cli::out().flush();
    return code;
}
