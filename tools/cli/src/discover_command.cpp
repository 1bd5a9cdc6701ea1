#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <kes_logic/lidar_logic.h>
#include <qmdnsengine/server.h>

#include <QCoreApplication>
#include <QSet>
#include <QTimer>

namespace cli {

int runDiscover(const DiscoverOptions& options)
{
    QMdnsEngine::Server server;
    LidarLogic logic(&server);
    int result = kDone;
    QObject::connect(&server, &QMdnsEngine::AbstractServer::error, &logic, [&result](const QString& message) {
        printError("mDNS: " + message);
        result = kSocketError;
        QCoreApplication::exit(kSocketError);
    });
    QSet<QString> seen;
    QObject::connect(&logic, &LidarLogic::sendIP, &logic, [&seen](const QString& ip) {
        if (seen.contains(ip))
            return;
        seen.insert(ip);
        out() << ip << Qt::endl;
    });
    QTimer::singleShot(options.seconds * 1000, &logic, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    return result;
}

} // namespace cli
