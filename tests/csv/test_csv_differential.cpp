#include "csv_reference_reader.h"
#include "csv_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {

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
    const QByteArray written = csv_test::recording(csv_test::scans(12, 1, 100)) + csv_test::recording(csv_test::scans(2, 3, 5));
    for (unsigned seed = 0; seed <= 40; ++seed) {
        const QByteArray bytes = seed ? mixedFile(seed, 400) : written + QByteArray(written).replace("\n", "\r\n");
        const QString path = files.write(bytes);
        const auto expected = kes_csv_reference::readBlocks(bytes);
        EXPECT_EQ(kes_csv_reference::firstDifference(expected, csv_test::load(path)), "") << "seed " << seed;
        EXPECT_EQ(kes_csv_reference::firstDifference(expected, csv_test::load(path, seed)), "") << "seed " << seed;
    }
}

} // namespace
