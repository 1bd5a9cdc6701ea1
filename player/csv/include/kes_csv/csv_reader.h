#pragma once

#include <kes_sdk/scan_data.h>

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;

namespace kes_csv {

enum class [[nodiscard]] ReadStatus{
    Ok,
    CannotOpen,
    ReadFailed,
    Cancelled,
    // The blocks would repeat points far beyond what the file holds (a damaged or crafted
    // file whose rows never start a new block); reading stops.
    TooManyPoints,
};

struct ReadProgress {
    std::uint64_t bytes_read = 0;
    std::uint64_t total_bytes = 0; // 0 when the size is unknown

    // 0..1; 0 while the size is unknown.
    double fraction() const;
};

// Receives the blocks completed in one chunk, in file order (possibly none), and how far the
// reading has come. Called on the reading thread, once per chunk and once at the end.
using BatchSink = std::function<void(std::vector<kes_sdk::ScanBlockData>&& blocks, const ReadProgress& progress)>;

inline constexpr std::size_t kDefaultChunkBytes = std::size_t(4) << 20;

// Reads a point-cloud file with the format's reading rules. One chunk buffer is kept; it
// grows only to hold a single line longer than itself, up to the parser's kMaxLineBytes.
// Never throws for bad input.
ReadStatus readBlocks(const QString& path, const BatchSink& sink, const std::atomic<bool>* cancel = nullptr,
                      std::size_t chunk_bytes = kDefaultChunkBytes);
ReadStatus readBlocks(QIODevice& device, const BatchSink& sink, const std::atomic<bool>* cancel = nullptr,
                      std::size_t chunk_bytes = kDefaultChunkBytes);

struct LoadResult {
    ReadStatus status = ReadStatus::Ok;
    std::vector<kes_sdk::ScanBlockData> blocks;
};

// The whole file at once, for tools that need no progress.
[[nodiscard]] LoadResult loadBlocks(const QString& path, std::size_t chunk_bytes = kDefaultChunkBytes);

} // namespace kes_csv
