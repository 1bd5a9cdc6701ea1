#pragma once

#include <functional>
#include <memory>

class QObject;

// Jobs on threads of their own that work for one object, the receiver, and report back to it on
// its thread. Any thread may use a WorkerHandle (a job gets its own; the pool is one too):
//
// - start(body): runs another job, unless the pool is closed.
// - pause(ms, ready): the interruptible pause. Sleeps until `ready` holds, the pool closes or `ms`
//   pass (ms < 0: no limit); false once the pool is closed. wake() has every pause test its
//   `ready` again. `ready` runs under the pool's lock and only while the pool is open, so it may
//   read the receiver's flags, and nothing more.
// - post(task): the hand-back. Runs `task` on the receiver's thread. Refused once the pool is
//   closed; a task still queued when the pool closes or the receiver is destroyed is dropped,
//   never run.
// - whileOpen(f): runs `f` here and now unless the pool is closed; close() waits for it. The only
//   place where a job touches the receiver itself (emits its signals, uses its members). Keep it
//   short: no device calls, no waiting for the receiver's thread. Sections may nest.
//
// Only the receiver's thread, and never inside a section of the same pool, uses the rest:
//
// - close(): from now on no job, hand-back or section starts and every pause ends at once; returns
//   once no section is in progress. After it no job reaches the receiver.
// - wait(bound_ms): true when every job has ended, waiting at most the bound. A job that outlives
//   it keeps only what it holds by value or shared_ptr, never the receiver.
//
// The pool's destructor closes it and waits no longer; make the pool the receiver's last member,
// or close it first thing in the receiver's destructor.
class WorkerHandle {
public:
    using Body = std::function<void(WorkerHandle&)>;

    bool open() const;
    bool start(Body body) const;
    bool pause(int ms, const std::function<bool()>& ready = {}) const;
    void wake() const;
    bool post(std::function<void()> task) const;

    template <class F>
    bool whileOpen(F&& f) const
    {
        if (!enter())
            return false;
        const Section section(*this);
        f();
        return true;
    }

    struct State;

protected:
    explicit WorkerHandle(std::shared_ptr<State> state) : state_(std::move(state)) {}

    std::shared_ptr<State> state_;

private:
    struct Section {
        explicit Section(const WorkerHandle& handle) : handle_(handle) {}
        ~Section() { handle_.leave(); }
        const WorkerHandle& handle_;
    };

    bool enter() const;
    void leave() const;
};

class WorkerPool : public WorkerHandle {
public:
    using Job = WorkerHandle;

    explicit WorkerPool(QObject* receiver);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void close();
    bool wait(int bound_ms) const;
    bool closeAndWait(int bound_ms)
    {
        close();
        return wait(bound_ms);
    }
    int running() const;
};
