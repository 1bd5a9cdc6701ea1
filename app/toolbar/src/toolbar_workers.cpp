#include "kes_toolbar/toolbar_workers.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable changed;
    QObject* receiver = nullptr;
    bool closed = false;
    int running = 0;
};

namespace {

bool launch(const std::shared_ptr<WorkerPool::State>& state, WorkerPool::Body body)
{
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->closed)
            return false;
        ++state->running;
    }
    std::thread([state, body = std::move(body)]() mutable {
        {
            WorkerPool::Job job(state);
            body(job);
            // The captures go before the count does, so a waiter sees nothing of this job.
            body = nullptr;
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        --state->running;
        state->changed.notify_all();
    }).detach();
    return true;
}

} // namespace

WorkerPool::WorkerPool(QObject* receiver) : state_(std::make_shared<State>())
{
    state_->receiver = receiver;
}

WorkerPool::~WorkerPool()
{
    closeAndWait(0);
}

bool WorkerPool::start(Body body)
{
    return launch(state_, std::move(body));
}

bool WorkerPool::closeAndWait(int bound_ms)
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->closed = true;
    state_->receiver = nullptr;
    state_->changed.notify_all();
    return state_->changed.wait_for(lock, std::chrono::milliseconds(bound_ms),
                                    [this] { return state_->running == 0; });
}

int WorkerPool::running() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->running;
}

bool WorkerPool::Job::open() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !state_->closed;
}

bool WorkerPool::Job::post(std::function<void()> task) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->closed)
        return false;
    QMetaObject::invokeMethod(state_->receiver, std::move(task), Qt::QueuedConnection);
    return true;
}

bool WorkerPool::Job::nap(int ms) const
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    return !state_->changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_->closed; });
}

bool WorkerPool::Job::start(Body body) const
{
    return launch(state_, std::move(body));
}
