#include "csv_test_support.h"

#include "csv_reference_reader.h"

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_parser.h>
#include <kes_csv/csv_reader.h>

#include <gtest/gtest.h>

#include <random>

using csv_test::load;
using csv_test::recording;
using csv_test::scans;
using kes_sdk::ScanBlockData;

namespace {

const QByteArray kHeader = QByteArray(kes_csv::kHeaderLine) + '\n';

std::vector<uint8_t> ids(const std::vector<ScanBlockData>& blocks)
{
    std::vector<uint8_t> out;
    for (const auto& b : blocks)
        out.push_back(b.block_id);
    return out;
}

class CsvReader : public ::testing::Test {
protected:
    std::vector<ScanBlockData> loadBytes(const QByteArray& bytes) { return load(files_.write(bytes)); }
    csv_test::Files files_;
};

TEST_F(CsvReader, FramesAreGroupsOfSixByFilePosition)
{
    EXPECT_TRUE(loadBytes(kHeader).empty());
    EXPECT_EQ(kes_csv::frameCount(0), 0u);

    const auto loaded = loadBytes(recording(scans(13, 4, 3)));
    ASSERT_EQ(loaded.size(), 13u);
    EXPECT_EQ(kes_csv::frameCount(loaded.size()), 2u);
    EXPECT_EQ(ids(loaded), (std::vector<uint8_t>{4, 5, 6, 1, 2, 3, 4, 5, 6, 1, 2, 3, 4}));
    EXPECT_EQ(loaded[kes_csv::firstBlockOfFrame(1)].time_stamp, 1006u);
}

TEST_F(CsvReader, NeverAppendsATruncatedLastBlock)
{
    const QByteArray full = recording(scans(3, 1, 4));
    const int last_row = full.lastIndexOf("1002,3,4,3,");
    for (int cut : {last_row + 5, last_row, last_row - 1, full.size() - 1}) {
        const auto loaded = loadBytes(full.left(cut));
        EXPECT_EQ(loaded.size(), cut == full.size() - 1 ? 3u : 2u) << "cut at " << cut;
    }
}

TEST_F(CsvReader, ChunkSizeDoesNotChangeTheBlocksAndProgressReachesTheEnd)
{
    const QString path = files_.write(recording(scans(20, 2, 50)) + "1,1,1,0,1,1,20");
    const auto whole = load(path);
    ASSERT_EQ(whole.size(), 21u);
    for (size_t chunk : {1, 3, 64, 1000})
        EXPECT_EQ(kes_csv_reference::firstDifference(whole, load(path, chunk)), "") << "chunk " << chunk;

    std::vector<double> fractions;
    const auto track = [&](std::vector<ScanBlockData>&&, const kes_csv::ReadProgress& p) {
        fractions.push_back(p.fraction());
    };
    ASSERT_EQ(kes_csv::readBlocks(path, track, nullptr, 4096), kes_csv::ReadStatus::Ok);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_GT(fractions.size(), 3u);
    EXPECT_EQ(fractions.back(), 1.0);
}

TEST_F(CsvReader, LoadedBlocksHoldNoSpareCapacity)
{
    const auto loaded = kes_csv::loadBlocks(files_.write(recording(scans(7, 1, 333))));
    ASSERT_EQ(loaded.status, kes_csv::ReadStatus::Ok);
    EXPECT_EQ(loaded.blocks.capacity(), loaded.blocks.size());
    for (const auto& b : loaded.blocks) {
        EXPECT_EQ(b.layers.capacity(), 1u);
        EXPECT_EQ(b.layers[0].ranges.capacity(), 333u);
        EXPECT_EQ(b.layers[0].intensities.capacity(), 333u);
    }
}

TEST_F(CsvReader, ReportsUnreadableFilesAndCancellation)
{
    EXPECT_EQ(kes_csv::loadBlocks(files_.path("missing.csv")).status, kes_csv::ReadStatus::CannotOpen);
    EXPECT_EQ(kes_csv::loadBlocks(files_.path("")).status, kes_csv::ReadStatus::CannotOpen);

    const QString path = files_.write(recording(scans(30, 1, 100)));
    std::atomic<bool> cancel{false};
    size_t batches = 0;
    const auto stop_after_first = [&](std::vector<ScanBlockData>&&, const kes_csv::ReadProgress&) {
        ++batches;
        cancel = true;
    };
    EXPECT_EQ(kes_csv::readBlocks(path, stop_after_first, &cancel, 1024), kes_csv::ReadStatus::Cancelled);
    EXPECT_EQ(batches, 1u);
}

// Over the bound a line is malformed however it looks, so a file without line feeds costs no
// more than the bound; the rows after it still count.
TEST_F(CsvReader, SkipsALineLongerThanTheBound)
{
    const QByteArray long_row = "1,1,1,0," + QByteArray(int(kes_csv::kMaxLineBytes), '0') + "1,5,20\n";
    const QString path = files_.write(long_row + recording(scans(2, 1, 3)) + long_row.chopped(1));
    for (size_t chunk : {size_t(4096), kes_csv::kDefaultChunkBytes})
        EXPECT_EQ(ids(load(path, chunk)), (std::vector<uint8_t>{1, 2})) << "chunk " << chunk;
}

TEST(CsvBlockParser, StopsWhenBlocksWouldRepeatPointsBeyondTheBudget)
{
    // Every row completes a block that repeats all points so far: 2, 4, 6, ... values.
    const QByteArray rows = QByteArray("1,1,2,1,1,1,20\n").repeated(20);
    kes_csv::CsvBlockParser parser;
    parser.setValueBudget(100);
    parser.parseLines(rows.constData(), rows.constData() + rows.size());
    EXPECT_TRUE(parser.overBudget());
    EXPECT_EQ(parser.takeCompleted().size(), 9u); // 2 + 4 + ... + 18 = 90
}

// Rows built from field texts that hit the reading rules' corners, in any mix.
QByteArray mixedFile(unsigned seed, int rows)
{
    // clang-format off
    static const char* const fields[] = {"0", "1", "2", "3", "00", " 0", "-1", "+2", "300", "65536", "4294967296",
                                         "1.234", "131.07", "nan", "inf", "1e5", "", " 5 ", ("\xA0" "7"), "x", "5.",
                                         ".5", "-0", "2147483647", "-2147483648", "1e-50", "\x85",
                                         "1.2345", "12345.6", "0.0015", "1.5e2", "131.071", "9999.999"};
    // clang-format on
    static const char* const ends[] = {"\n", "\r\n", "\n", "\r", "\n\n"};
    std::mt19937 rng(seed);
    QByteArray bytes;
    for (int r = 0; r < rows; ++r) {
        const int count = rng() % 8 == 0 ? int(rng() % 9) : 7;
        for (int f = 0; f < count; ++f) {
            bytes += f ? "," : "";
            bytes += rng() % 3 ? fields[rng() % 4] : fields[rng() % (sizeof fields / sizeof *fields)];
        }
        bytes += ends[rng() % (sizeof ends / sizeof *ends)];
    }
    return bytes;
}

// Case 0 is a writer's rows, a second header among them, with LF and with CR LF ends.
TEST(CsvDifferential, FastReaderGivesTheReferenceBlocks)
{
    csv_test::Files files;
    const QByteArray written =
        csv_test::recording(csv_test::scans(12, 1, 100)) + csv_test::recording(csv_test::scans(2, 3, 5));
    for (unsigned seed = 0; seed <= 40; ++seed) {
        const QByteArray bytes = seed ? mixedFile(seed, 400) : written + QByteArray(written).replace("\n", "\r\n");
        const QString path = files.write(bytes);
        const auto expected = kes_csv_reference::readBlocks(bytes);
        EXPECT_EQ(kes_csv_reference::firstDifference(expected, csv_test::load(path)), "") << "seed " << seed;
        EXPECT_EQ(kes_csv_reference::firstDifference(expected, csv_test::load(path, seed)), "") << "seed " << seed;
    }
}

} // namespace
