#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

// What an upgrade asks of the device; every call returns 0 on success.
class UpgradeDevice {
public:
    virtual ~UpgradeDevice() = default;
    virtual int startUpgrade() = 0;
    virtual int write(const char* data, int len) = 0;
    virtual int end() = 0;
    virtual int sendMd5(const uint8_t* md5) = 0;
    virtual int commit() = 0;
    virtual int reboot() = 0;
};

struct UpgradeTimings {
    int attempt_pause_ms = 1000; // before each start attempt
    int settle_ms = 1000;        // before the first chunk and after the last
    int chunk_pause_ms = 20;
    int countdown_tick_ms = 1000;
};

constexpr int kUpgradeChunk = 512;
constexpr int kStartAttempts = 5;

enum class UpgradeStep {
    Done,
    NoImage,
    StartRefused,
    WriteFailed,
    EndFailed,
    Md5Failed,
    CommitFailed,
    RebootFailed,
    Cancelled
};

// The box text for a failed step; empty for Done and Cancelled.
QString upgradeFailureText(UpgradeStep step);

// Percent after `offset` bytes of `size` (not 0), held at 98 until the device has the image.
int upgradeProgress(uint64_t offset, uint64_t size);

// The MD5 digest of a readable image; empty when it cannot be read or is empty, since the
// progress divides by its size.
QByteArray imageDigest(const QString& path);

// Sleeps; false when the upgrade is to stop.
using UpgradeNap = std::function<bool(int ms)>;

// Up to five attempts, a pause before each: Done, StartRefused or Cancelled.
UpgradeStep startUpgrade(UpgradeDevice& device, const UpgradeTimings& timings, const UpgradeNap& nap);

// Sends `path` in 512-byte chunks and closes the upgrade with `md5`; `progress` hears the
// percentage after each chunk.
UpgradeStep transferImage(UpgradeDevice& device, const QString& path, const QByteArray& md5,
                          const UpgradeTimings& timings, const UpgradeNap& nap,
                          const std::function<void(int)>& progress);
