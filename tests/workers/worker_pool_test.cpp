#include <kes_workers/worker_pool.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

struct Receiver : QObject {
    WorkerPool pool{this};
};

} // namespace

TEST(WorkerPool, PausesEndOnWakeOrCloseAndTheStopIsBounded)
{
    Receiver receiver;
    std::atomic<bool> go{false};
    std::atomic<int> woken{0};
    std::atomic<int> closed{0};
    std::promise<void> release;
    receiver.pool.start([&](WorkerPool::Job& job) {
        if (job.pause(-1, [&] { return bool(go); }))
            ++woken;
        if (!job.pause(60000))
            ++closed;
    });
    receiver.pool.start([&](WorkerPool::Job& job) {
        if (!job.pause(60000))
            ++closed;
    });
    receiver.pool.start([released = release.get_future().share()](WorkerPool::Job&) { released.wait(); });
    QTest::qWait(50);
    EXPECT_EQ(woken, 0);
    go = true;
    receiver.pool.wake();
    EXPECT_TRUE(QTest::qWaitFor([&] { return woken == 1; }, 2000));

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(receiver.pool.closeAndWait(200)) << "a job that does not pause is waited for, with a bound";
    EXPECT_EQ(closed, 2) << "both pauses end at the close";
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(receiver.pool.start([](WorkerPool::Job&) {}));
    release.set_value();
    EXPECT_TRUE(receiver.pool.wait(2000));
}

// What a job hands back runs on the receiver's thread while the pool is open, and never after:
// not when it closes first, not when the receiver is gone; a section in progress holds the close.
TEST(WorkerPool, HandBacksAndSectionsNeverOutliveTheReceiver)
{
    for (const bool destroy : {false, true}) {
        auto receiver = std::make_unique<Receiver>();
        int delivered = 0;
        std::atomic<bool> inside{false};
        std::atomic<bool> left{false};
        std::promise<void> posted;
        std::promise<bool> late;
        receiver->pool.start([&](WorkerPool::Job& job) {
            job.post([&] { ++delivered; });
            job.post([&] { ++delivered; });
            posted.set_value();
            job.whileOpen([&] {
                inside = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                left = true;
            });
            job.pause(60000);
            late.set_value(job.post([&] { ++delivered; }) || job.whileOpen([] {}));
        });
        posted.get_future().wait();
        QCoreApplication::sendPostedEvents(receiver.get());
        EXPECT_EQ(delivered, 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bool(inside); }, 2000));
        receiver->pool.start([&](WorkerPool::Job& job) { job.post([&] { ++delivered; }); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (destroy)
            receiver.reset();
        else
            receiver->pool.close();
        EXPECT_TRUE(left) << "the close waits for the section";
        EXPECT_FALSE(late.get_future().get()) << "refused after the close";
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(delivered, 2) << "queued before the close, dropped after it; destroyed: " << destroy;
    }
}
