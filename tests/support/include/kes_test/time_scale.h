#pragma once

#include <chrono>
#include <functional>

namespace kes_test {

// Bounds on waits and on "never hangs" grow by KES_TEST_TIME_SCALE (default 1), so a slow
// sanitizer build keeps the same tests. Lower bounds on the code's own timing never scale.
int scaled(int ms);

// Polls `condition` every millisecond for at most `ms` (scaled); whether it came true.
bool waitUntil(const std::function<bool()>& condition, int ms = 2000);

using Clock = std::chrono::steady_clock;
} // namespace kes_test
