#include "kes_csv/csv_reader.h"

#include "kes_csv/csv_parser.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace kes_csv {
namespace {

// A written file holds fewer ranges and intensities than bytes; this is the spare allowed on top.
constexpr std::uint64_t kSpareValues = std::uint64_t(1) << 26;

// Parses the complete lines of the first `filled` bytes and moves the unfinished rest to the
// front; returns its size.
std::size_t parseBuffer(CsvBlockParser& parser, std::vector<char>& buffer, std::size_t filled)
{
    const char* end = buffer.data() + filled;
    const char* rest = parser.parseLines(buffer.data(), end);
    const std::size_t carried = std::size_t(end - rest);
    std::memmove(buffer.data(), rest, carried);
    return carried;
}

} // namespace

double ReadProgress::fraction() const
{
    if (total_bytes == 0)
        return 0.0;
    return std::min(1.0, double(bytes_read) / double(total_bytes));
}

ReadStatus readBlocks(const QString& path, const BatchSink& sink, const std::atomic<bool>* cancel,
                      std::size_t chunk_bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return ReadStatus::CannotOpen;
    return readBlocks(file, sink, cancel, chunk_bytes);
}

ReadStatus readBlocks(QIODevice& device, const BatchSink& sink, const std::atomic<bool>* cancel,
                      std::size_t chunk_bytes)
{
    ReadProgress progress;
    progress.total_bytes = device.isSequential() ? 0 : std::uint64_t(std::max<qint64>(device.size(), 0));
    const auto deliver = [&](std::vector<kes_sdk::ScanBlockData>&& blocks) {
        if (sink)
            sink(std::move(blocks), progress);
    };
    CsvBlockParser parser;
    std::vector<char> buffer(std::max<std::size_t>(chunk_bytes, 1));
    std::size_t carried = 0; // bytes of an unfinished line at the front of the buffer
    bool skipping = false;   // inside an over-long line, dropped up to its line feed
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return ReadStatus::Cancelled;
        if (carried == buffer.size())
            buffer.resize(buffer.size() * 2);
        const qint64 got = device.read(buffer.data() + carried, qint64(buffer.size() - carried));
        if (got < 0)
            return ReadStatus::ReadFailed;
        if (got == 0)
            break;
        progress.bytes_read += std::uint64_t(got);
        parser.setValueBudget(progress.bytes_read + kSpareValues);
        std::size_t filled = carried + std::size_t(got);
        if (skipping) {
            const auto* lf = static_cast<const char*>(std::memchr(buffer.data(), '\n', filled));
            const std::size_t dropped = lf ? std::size_t(lf + 1 - buffer.data()) : filled;
            filled -= dropped;
            std::memmove(buffer.data(), buffer.data() + dropped, filled);
            skipping = !lf;
        }
        carried = parseBuffer(parser, buffer, filled);
        if (carried > kMaxLineBytes) {
            carried = 0;
            skipping = true;
        }
        deliver(parser.takeCompleted());
        if (parser.overBudget())
            return ReadStatus::TooManyPoints;
    }
    if (!skipping)
        parser.parseFinalLine(buffer.data(), buffer.data() + carried);
    deliver(parser.takeCompleted());
    return parser.overBudget() ? ReadStatus::TooManyPoints : ReadStatus::Ok;
}

LoadResult loadBlocks(const QString& path, std::size_t chunk_bytes)
{
    LoadResult result;
    const auto append = [&](std::vector<kes_sdk::ScanBlockData>&& blocks, const ReadProgress&) {
        result.blocks.insert(result.blocks.end(), std::make_move_iterator(blocks.begin()),
                             std::make_move_iterator(blocks.end()));
    };
    result.status = readBlocks(path, append, nullptr, chunk_bytes);
    result.blocks.shrink_to_fit();
    return result;
}

} // namespace kes_csv
