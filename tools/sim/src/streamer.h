#pragma once

#include "device_state.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kes_sim {

// What sends the device's scan datagrams, on a thread of its own between start and stop.
// A subclass stops in its own destructor, before the members its run() uses are gone.
class Streamer {
public:
    virtual ~Streamer();
    void start();
    void stop();

protected:
    virtual void run() = 0;
    // False once stopping.
    bool sleepUntil(Clock::time_point deadline);

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

} // namespace kes_sim
