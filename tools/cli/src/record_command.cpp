#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

namespace cli {

int runRecord(const RecordOptions& options)
{
    QFile file(options.out);
    // Unbuffered: the writer buffers, and each of its writes then reaches the file or fails.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
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
        if (!writer.ok())
            return;
        writer.writeBlock(block, logic.motor_frequency_.load());
        ++blocks;
        if (!writer.ok())
            QCoreApplication::exit(kCannotCreate);
    });
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    QTimer::singleShot(options.seconds * 1000, &logic, [] { QCoreApplication::exit(kDone); });
    QCoreApplication::exec();
    QObject::disconnect(&logic, &LidarLogic::sendBlock, nullptr, nullptr);

    // A close that succeeds clears the error of an earlier write, so that is read first.
    const QString failure = writer.flush() ? QString() : writeFailure(file);
    file.close();
    if (!failure.isEmpty() || file.error() != QFileDevice::NoError) {
        printError(failure.isEmpty() ? writeFailure(file) : failure);
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
