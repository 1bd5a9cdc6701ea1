#pragma once

#include <cstddef>

namespace kes_csv {

// First line of every point-cloud file (without its line feed).
inline constexpr char kHeaderLine[] =
    "time_stamp,block_id,layer_size,layer_index,range(m),intensity,motor_frequency";

inline constexpr int kFieldCount = 7;
inline constexpr std::size_t kBlocksPerFrame = 6;

// Filter of the player's open dialog.
inline constexpr char kOpenDialogFilter[] = "Excel(*.csv)";

// Frames are cut by file position; blocks after the last full group are never shown.
constexpr std::size_t frameCount(std::size_t block_count)
{
    return block_count / kBlocksPerFrame;
}
constexpr std::size_t firstBlockOfFrame(std::size_t frame)
{
    return frame * kBlocksPerFrame;
}

} // namespace kes_csv
