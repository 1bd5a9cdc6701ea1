#include <kes_workers/worker_pool.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

struct Receiver : QObject {
    WorkerPool pool{this};
};

TEST(WorkerPool, PausesEndOnWakeOrCloseAndTheStopIsBounded)
{
    Receiver receiver;
    std::atomic<bool> go{false};
    std::atomic<int> woken{0};
    std::atomic<bool> closed{false};
    std::promise<void> release;
    receiver.pool.start([&](WorkerPool::Job& job) {
        woken += job.pause(-1, [&] { return bool(go); });
        closed = !job.pause(60000);
    });
    receiver.pool.start([released = release.get_future().share()](WorkerPool::Job&) { released.wait(); });
    QTest::qWait(50);
    go = true;
    EXPECT_EQ(woken, 0);
    receiver.pool.wake();
    EXPECT_TRUE(QTest::qWaitFor([&] { return woken == 1; }, 2000));

    EXPECT_FALSE(receiver.pool.closeAndWait(200)) << "a job that does not pause is waited for, with a bound";
    EXPECT_TRUE(closed) << "the pause ends at the close";
    EXPECT_FALSE(receiver.pool.start([](WorkerPool::Job&) {}));
    release.set_value();
    EXPECT_TRUE(receiver.pool.wait(2000));
}

// A hand-back runs on the receiver's thread while the pool is open and never after, whether the
// pool is closed or the receiver destroyed; a section in progress holds the close.
TEST(WorkerPool, HandBacksAndSectionsNeverOutliveTheReceiver)
{
    for (const bool destroy : {false, true}) {
        auto receiver = std::make_unique<Receiver>();
        int delivered = 0;
        std::atomic<bool> inside{false};
        std::atomic<bool> left{false};
        std::promise<bool> late;
        receiver->pool.start([&](WorkerPool::Job& job) {
            job.post([&] { ++delivered; });
            job.whileOpen([&] {
                inside = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                left = true;
            });
            job.pause(60000);
            late.set_value(job.post([&] { ++delivered; }) || job.whileOpen([] {}));
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return inside && delivered == 1; }, 2000));
        receiver->pool.start([&](WorkerPool::Job& job) { job.post([&] { ++delivered; }); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (destroy)
            receiver.reset();
        else
            receiver->pool.close();
        EXPECT_TRUE(left) << "the close waits for the section";
        EXPECT_FALSE(late.get_future().get()) << "refused after the close";
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(delivered, 1) << "queued before the close, dropped after it; destroyed: " << destroy;
    }
}
