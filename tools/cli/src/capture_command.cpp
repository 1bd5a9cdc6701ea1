#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <kes_logic/lidar_logic.h>
#include <kes_pcap/capture_writer.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <atomic>

namespace cli {

int runCapture(const CaptureOptions& options)
{
    std::string error;
    // Shared with the tap: a closing driver may still hand it a datagram after the session is gone.
    const std::shared_ptr<kes_pcap::CaptureWriter> writer =
        kes_pcap::CaptureWriter::create(QFile::encodeName(options.out).toStdString(), error);
    if (!writer) {
        printError("cannot write " + options.out + ": " + QString::fromStdString(error));
        return kCannotCreate;
    }
    auto sent = std::make_shared<std::atomic<uint64_t>>(0);
    auto received = std::make_shared<std::atomic<uint64_t>>(0);
    uint64_t blocks = 0;
    QString where;
    int result = kDone;
    {
        DeviceSession session(options.target);
        where = session.where();
        session.logic().setDatagramTap([writer, sent, received](const kes_sdk::TappedDatagram& d) {
            ++*(d.sent ? sent : received);
            writer->write(d);
        });
        QObject::connect(&session.logic(), &LidarLogic::sendBlock, &session.logic(),
                         [&blocks](const kes_sdk::ScanBlockData&) { ++blocks; });
        // A failed connect is captured too: it is what there is to look at.
        result = session.connect();
        if (result == kDone) {
            QTimer::singleShot(options.seconds * 1000, &session.logic(), [] { QCoreApplication::exit(kDone); });
            QCoreApplication::exec();
        }
    }
    if (!writer->close(error)) {
        printError(QString::fromStdString(error));
        return kCannotCreate;
    }
    out() << "sent: " << sent->load() << '\n' << "received: " << received->load() << '\n';
    if (result == kDone && blocks == 0) {
        printError("no scan data from " + where + " in " + QString::number(options.seconds) + " s");
        return kNoAnswer;
    }
    return result;
}

} // namespace cli
