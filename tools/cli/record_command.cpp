#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <csv_writer.h>
#include <lidar_logic.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

namespace cli {

int runRecord(const RecordOptions& options)
{
    QFile file(options.out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        printError("cannot write " + options.out + ": " + file.errorString());
        return kCannotCreate;
    }
    kes_csv::CsvWriter writer(file);
    writer.writeHeader();
    uint64_t blocks = 0; // outlives the session, whose queued blocks may still arrive
    DeviceSession session(options.target);
    LidarLogic& logic = session.logic();
    // Listening before the stream starts, so the file begins with a whole revolution. The row's
    // frequency is the device's at the moment of writing, as the window records it.
    QObject::connect(&logic, &LidarLogic::sendBlock, &logic, [&](const kes_sdk::ScanBlockData& block) {
        writer.writeBlock(block, logic.motor_frequency_.load());
        ++blocks;
    });
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    QTimer::singleShot(options.seconds * 1000, &logic, [] { QCoreApplication::exit(kDone); });
    QCoreApplication::exec();
    QObject::disconnect(&logic, &LidarLogic::sendBlock, nullptr, nullptr);

    if (!writer.flush()) {
        printError("writing " + options.out + " failed: " + file.errorString());
        return kCannotCreate;
    }
    out() << "blocks: " << blocks << '\n' << "rows: " << writer.rowsWritten() << '\n';
    if (blocks == 0) {
        printError("no scan data from " + session.where() + " in " + QString::number(options.seconds) + " s");
        return kNoAnswer;
    }
    return kDone;
}

} // namespace cli
