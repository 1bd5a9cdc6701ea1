#include "kes_test/time_scale.h"

#include <cstdlib>
#include <thread>

namespace kes_test {

double timeScale()
{
    static const double scale = [] {
        const char* text = std::getenv("KES_TEST_TIME_SCALE");
        const double value = text ? std::atof(text) : 1.0;
        return value >= 1.0 ? value : 1.0;
    }();
    return scale;
}

int scaled(int ms)
{
    return int(ms * timeScale());
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
