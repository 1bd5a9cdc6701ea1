#pragma once

namespace cli {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kNoAnswer = 2;
constexpr int kSocketError = 3;
constexpr int kUsage = 64;
constexpr int kNoInput = 66;
constexpr int kCannotCreate = 73;

} // namespace cli
