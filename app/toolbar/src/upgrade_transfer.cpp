#include "kes_toolbar/upgrade_transfer.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

QString upgradeFailureText(UpgradeStep step)
{
    switch (step) {
    case UpgradeStep::NoImage: return QStringLiteral("请先选择文件..");
    case UpgradeStep::StartRefused: return QStringLiteral("升級失败！");
    case UpgradeStep::WriteFailed: return QStringLiteral("数据传输出错,升級失败！");
    case UpgradeStep::EndFailed: return QStringLiteral("end_upgrade,升級失败！");
    case UpgradeStep::Md5Failed: return QStringLiteral("md5校验失败,升級失败！");
    case UpgradeStep::CommitFailed: return QStringLiteral("commit_update,升級失败！");
    case UpgradeStep::RebootFailed: return QStringLiteral("reboot,升級失败！");
    case UpgradeStep::Done:
    case UpgradeStep::Cancelled: break;
    }
    return QString();
}

int upgradeProgress(uint64_t offset, uint64_t size)
{
    const uint64_t percent = offset * 100 / size;
    return percent > 98 ? 98 : int(percent);
}

QByteArray imageDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray image = file.readAll();
    return image.isEmpty() ? QByteArray() : QCryptographicHash::hash(image, QCryptographicHash::Md5);
}

UpgradeStep startUpgrade(UpgradeDevice& device, const UpgradeTimings& timings, const UpgradeNap& nap)
{
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (!nap(timings.attempt_pause_ms))
            return UpgradeStep::Cancelled;
        const int result = device.startUpgrade();
        qDebug() << "start_upgrade ret " << result;
        if (result == 0)
            return UpgradeStep::Done;
    }
    return UpgradeStep::StartRefused;
}

namespace {

// The image in chunks: `offset <= size`, so an image of whole chunks ends with an empty write.
UpgradeStep sendChunks(UpgradeDevice& device, QFile& file, const UpgradeTimings& timings, const UpgradeNap& nap,
                       const std::function<void(int)>& progress)
{
    const auto size = uint64_t(file.size());
    char buffer[kUpgradeChunk] = {};
    for (uint64_t offset = 0; offset <= size;) {
        const qint64 count = file.read(buffer, kUpgradeChunk);
        const bool failed = device.write(buffer, int(count < 0 ? 0 : count)) != 0;
        offset += kUpgradeChunk;
        progress(upgradeProgress(offset, size));
        if (!nap(timings.chunk_pause_ms))
            return UpgradeStep::Cancelled;
        if (failed)
            return UpgradeStep::WriteFailed;
    }
    return UpgradeStep::Done;
}

UpgradeStep closeUpgrade(UpgradeDevice& device, const QByteArray& md5)
{
    if (device.end() != 0)
        return UpgradeStep::EndFailed;
    if (device.sendMd5(reinterpret_cast<const uint8_t*>(md5.constData())) != 0)
        return UpgradeStep::Md5Failed;
    if (device.commit() != 0)
        return UpgradeStep::CommitFailed;
    if (device.reboot() != 0)
        return UpgradeStep::RebootFailed;
    return UpgradeStep::Done;
}

} // namespace

UpgradeStep transferImage(UpgradeDevice& device, const QString& path, const QByteArray& md5,
                          const UpgradeTimings& timings, const UpgradeNap& nap,
                          const std::function<void(int)>& progress)
{
    qDebug() << "update_thread";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0) {
        qDebug() << "open file fail";
        return UpgradeStep::NoImage;
    }
    qDebug() << "file_size" << file.size();
    if (!nap(timings.settle_ms))
        return UpgradeStep::Cancelled;
    const UpgradeStep sent = sendChunks(device, file, timings, nap, progress);
    if (sent == UpgradeStep::Cancelled || !nap(timings.settle_ms))
        return UpgradeStep::Cancelled;
    return sent == UpgradeStep::Done ? closeUpgrade(device, md5) : sent;
}
