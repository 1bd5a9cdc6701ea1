#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Detached jobs that report back to one object on its thread. The owner closes the pool in
// its destructor: from then on nothing is posted, no job starts, naps end at once, and the
// owner waits a bounded time for the jobs still inside a call. The jobs hold the pool's
// state, never the owner.
class WorkerPool {
public:
    class Job;
    using Body = std::function<void(Job&)>;

    explicit WorkerPool(QObject* receiver);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    bool start(Body body);
    // True when every job has ended within the bound.
    bool closeAndWait(int bound_ms);
    int running() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

class WorkerPool::Job {
public:
    explicit Job(std::shared_ptr<State> state) : state_(std::move(state)) {}

    bool open() const;
    // Runs `task` on the receiver's thread; refused once the pool is closed.
    bool post(std::function<void()> task) const;
    // Sleeps `ms`; false when the pool was closed meanwhile.
    bool nap(int ms) const;
    // Starts another job of the same pool.
    bool start(Body body) const;

private:
    std::shared_ptr<State> state_;
};
