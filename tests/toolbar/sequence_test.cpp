#include "fake_upgrade_device.h"

#include <kes_toolbar/toolbar_workers.h>

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <future>

namespace {

class Transfer : public ::testing::Test {
protected:
    QString image(int size)
    {
        QFile file(dir_.filePath(QStringLiteral("image.bin")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < size; ++i)
            file.putChar(char(i * 7));
        return file.fileName();
    }

    UpgradeStep run(FakeDevice& device, const QString& path)
    {
        return transferImage(
            device, path, imageDigest(path), UpgradeTimings{}, [](int) { return true; },
            [&device](int percent) { device.progress << percent; });
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(Transfer, ChunksOf512EndWithAnEmptyWriteAndTheImageDigest)
{
    FakeDevice device;
    EXPECT_EQ(run(device, image(1024)), UpgradeStep::Done);
    EXPECT_EQ(device.sizes, (QList<int>{512, 512, 0}));
    EXPECT_EQ(device.progress, (QList<int>{50, 98, 98}));
    EXPECT_EQ(device.digest, QCryptographicHash::hash(device.image, QCryptographicHash::Md5));
    EXPECT_EQ(device.image.size(), 1024);
    EXPECT_EQ(device.calls.mid(3), (QStringList{"end", "md5", "commit", "reboot"}));

    FakeDevice shortImage;
    EXPECT_EQ(run(shortImage, image(100)), UpgradeStep::Done);
    EXPECT_EQ(shortImage.sizes, QList<int>{100});
    EXPECT_EQ(shortImage.progress, QList<int>{98});
}

TEST_F(Transfer, EachFailedStepStopsTheRestWithItsText)
{
    const QString path = image(1500);
    const struct {
        const char* step;
        const char* text;
        int calls;
    } cases[] = {
        {"write", "数据传输出错,升級失败！", 1}, {"end", "end_upgrade,升級失败！", 4},
        {"md5", "md5校验失败,升級失败！", 5},    {"commit", "commit_update,升級失败！", 6},
        {"reboot", "reboot,升級失败！", 7},
    };
    for (const auto& c : cases) {
        FakeDevice device(c.step);
        EXPECT_EQ(upgradeFailureText(run(device, path)), QString::fromUtf8(c.text));
        EXPECT_EQ(device.calls.size(), c.calls) << c.step;
    }
}

TEST_F(Transfer, AnEmptyOrMissingImageIsRefusedBeforeAnyCall)
{
    FakeDevice device;
    EXPECT_TRUE(imageDigest(image(0)).isEmpty());
    EXPECT_EQ(run(device, image(0)), UpgradeStep::NoImage);
    EXPECT_TRUE(imageDigest(dir_.filePath(QStringLiteral("none.bin"))).isEmpty());
    EXPECT_EQ(run(device, dir_.filePath(QStringLiteral("none.bin"))), UpgradeStep::NoImage);
    EXPECT_TRUE(device.calls.isEmpty());
}

TEST(WorkerPoolTest, ClosingEndsNapsRefusesPostsAndWaitsWithABound)
{
    QObject receiver;
    WorkerPool pool(&receiver);
    std::promise<void> release;
    std::atomic<bool> napEnded{false};
    std::atomic<bool> postRefused{false};
    int delivered = 0;
    pool.start([&](WorkerPool::Job& job) {
        job.post([&delivered] { ++delivered; });
        napEnded = !job.nap(60000);
        postRefused = !job.post([&delivered] { ++delivered; });
    });
    pool.start([released = release.get_future().share()](WorkerPool::Job&) { released.wait(); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return delivered == 1; }, 2000));

    EXPECT_FALSE(pool.closeAndWait(100)) << "a job inside a call is waited for, with a bound";
    EXPECT_TRUE(napEnded && postRefused);
    release.set_value();
    EXPECT_TRUE(pool.closeAndWait(2000));
    EXPECT_FALSE(pool.start([](WorkerPool::Job&) {}));
}
