#pragma once

namespace kes_sim {

// What sends the device's scan datagrams, on a thread of its own between start and stop.
class Streamer {
public:
    virtual ~Streamer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

} // namespace kes_sim
