#include "streamer.h"

namespace kes_sim {

Streamer::~Streamer()
{
    stop();
}

void Streamer::start()
{
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void Streamer::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool Streamer::sleepUntil(Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_until(lock, deadline, [this] { return stopping_; });
}

} // namespace kes_sim
