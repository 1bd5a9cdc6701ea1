#pragma once

namespace kes_sdk {

// What every SDK operation returns.
using CommandResult = int;

constexpr CommandResult kSuccess = 0;
constexpr CommandResult kDeviceFailure = 1;
constexpr CommandResult kNoAnswer = 2;
constexpr CommandResult kSocketError = 3;

} // namespace kes_sdk
