#include "kes_test/time_scale.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace kes_test {

int scaled(int ms)
{
    static const double scale = [] {
        const char* text = std::getenv("KES_TEST_TIME_SCALE");
        return text ? std::max(std::atof(text), 1.0) : 1.0;
    }();
    return int(ms * scale);
}

bool waitUntil(const std::function<bool()>& condition, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(scaled(ms));
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace kes_test
