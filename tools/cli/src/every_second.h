#pragma once

#include <functional>

namespace cli {

// Runs the event loop and calls `tick` once a second with the second's number (from 1). Ends
// with 0 on Ctrl+C (SIGINT or SIGTERM) or after `seconds` (0: never), with the code of
// QCoreApplication::exit, or with what `tick` returns when that is 0 or more.
int everySecond(int seconds, const std::function<int(int second)>& tick);

// Whether Ctrl+C came since everySecond started; for loops that block the event loop.
bool interrupted();

} // namespace cli
