#include "kes_workers/worker_pool.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

struct WorkerHandle::State {
    std::mutex mutex;
    std::condition_variable changed;
    QObject* receiver = nullptr;
    bool closed = false;
    int running = 0;
    int sections = 0;
};

bool WorkerHandle::open() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !state_->closed;
}

bool WorkerHandle::start(Body body) const
{
    const std::shared_ptr<State> state = state_;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->closed)
            return false;
        ++state->running;
    }
    try {
        std::thread([state, body = std::move(body)]() mutable {
            {
                WorkerHandle job(state);
                body(job);
                // The captures go before the count does, so a waiter sees nothing of this job.
                body = nullptr;
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            --state->running;
            state->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(state->mutex);
        --state->running;
        state->changed.notify_all();
        return false;
    }
    return true;
}

bool WorkerHandle::pause(int ms, const std::function<bool()>& ready) const
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    const auto done = [&] { return state_->closed || (ready && ready()); };
    if (ms < 0)
        state_->changed.wait(lock, done);
    else
        state_->changed.wait_for(lock, std::chrono::milliseconds(ms), done);
    return !state_->closed;
}

void WorkerHandle::wake() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->changed.notify_all();
}

bool WorkerHandle::post(std::function<void()> task) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->closed)
        return false;
    QMetaObject::invokeMethod(
        state_->receiver,
        [state = state_, task = std::move(task)] {
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                if (state->closed)
                    return;
            }
            task();
        },
        Qt::QueuedConnection);
    return true;
}

bool WorkerHandle::enter() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->closed)
        return false;
    ++state_->sections;
    return true;
}

void WorkerHandle::leave() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (--state_->sections == 0)
        state_->changed.notify_all();
}

WorkerPool::WorkerPool(QObject* receiver) : WorkerHandle(std::make_shared<State>())
{
    state_->receiver = receiver;
}

WorkerPool::~WorkerPool()
{
    close();
}

void WorkerPool::close()
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->closed = true;
    state_->receiver = nullptr;
    state_->changed.notify_all();
    state_->changed.wait(lock, [this] { return state_->sections == 0; });
}

bool WorkerPool::wait(int bound_ms) const
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(bound_ms),
                                    [this] { return state_->running == 0; });
}

int WorkerPool::running() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->running;
}
