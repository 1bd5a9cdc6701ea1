#include <kes_csv/csv_append.h>
#include <kes_csv/csv_fields.h>
#include <kes_csv/csv_file_names.h>
#include <kes_csv/csv_format.h>
#include <kes_csv/csv_parser.h>
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using kes_sdk::ScanBlockData;

namespace {

ScanBlockData block(uint8_t id, uint32_t time_stamp, std::vector<uint16_t> ranges, std::vector<uint8_t> intensities)
{
    ScanBlockData b;
    b.block_id = id;
    b.time_stamp = time_stamp;
    b.layers = {kes_sdk::ScanLayer{std::move(ranges), std::move(intensities)}};
    return b;
}

// n blocks of `points` points, ids counting on from first_id through 1..6.
std::vector<ScanBlockData> scans(size_t n, uint8_t first_id, size_t points)
{
    std::vector<ScanBlockData> out;
    for (size_t i = 0; i < n; ++i) {
        std::vector<uint16_t> ranges(points);
        std::vector<uint8_t> intensities(points);
        for (size_t j = 0; j < points; ++j) {
            ranges[j] = uint16_t(i * 977 + j * 31);
            intensities[j] = uint8_t(i + j);
        }
        out.push_back(block(uint8_t((first_id - 1 + i) % 6 + 1), uint32_t(1000 + i), ranges, intensities));
    }
    return out;
}

// Header and rows as CsvWriter writes them.
QByteArray recording(const std::vector<ScanBlockData>& blocks, float motor_frequency = 20.0f)
{
    return kes_csv::csvText([&](kes_csv::CsvWriter& writer) {
        writer.writeHeader();
        for (const auto& b : blocks)
            writer.writeBlock(b, motor_frequency);
    });
}

using Key = std::tuple<int, uint32_t, std::vector<uint16_t>, std::vector<int>>;

// Loads a file, which must succeed; gives each block's id, time stamp, ranges and intensities,
// which a failed comparison prints.
std::vector<Key> keys(const QString& path, size_t chunk_bytes = kes_csv::kDefaultChunkBytes)
{
    const auto loaded = kes_csv::loadBlocks(path, chunk_bytes);
    EXPECT_EQ(loaded.status, kes_csv::ReadStatus::Ok);
    std::vector<Key> out;
    for (const auto& b : loaded.blocks)
        out.emplace_back(b.block_id, b.time_stamp, b.layers.at(0).ranges,
                         std::vector<int>(b.layers[0].intensities.begin(), b.layers[0].intensities.end()));
    return out;
}

struct Files {
    QString write(const QByteArray& bytes)
    {
        QFile file(path("points.csv"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

const QByteArray kHeader = QByteArray(kes_csv::kHeaderLine) + '\n';

// Each file is read whole and in chunks of one byte, so that every line straddles chunks.
TEST(CsvReader, FilesGiveTheBlocksOfTheReadingRules)
{
    Files files;
    const struct {
        QByteArray bytes;
        std::vector<Key> blocks;
    } cases[] = {
        // The writer's rows and either line end; a header among them is a row of zeros.
        {kHeader + "5,2,2,0,1.234,10,20\r\n" + kHeader + "5,2,2,1,131.07,255,20\n",
         {{2, 5, {616, 0, 65535}, {10, 0, 255}}}},
        // Only an index of "0" starts a block; the row whose index is one below the size ends it.
        {"1,1,4,0,1,1,20\n9,4,4,00,2,2,20\n9,4,4, 0,3,3,20\n9,4,-2147483648,2147483647,4,4,20\n9,4,0,-1,5,5,20\n",
         {{1, 1, {500, 1000, 1500, 2000, 2500}, {1, 2, 3, 4, 5}}}},
        // An empty field adds nothing (plain rows and others); a row of six or eight fields is skipped.
        {"1,1,3,0,,5,20\n1,1,3,1,1,,20\n1,1,3,2,1,1\n1,1,3,2,1,1,20,9\n1,1,3,+2,,7,\n", {{1, 1, {500}, {5, 7}}}},
        // Metres to raw range: cut, not rounded, held to 0..65535; what is no number gives 0.
        {"1,1,10,0,0.0019,0,20\n1,1,10,1,0.003,0,20\n1,1,10,2,1.2345,0,20\n1,1,10,3,131.071,0,20\n"
         "1,1,10,4,1e5,0,20\n1,1,10,5,-1,0,20\n1,1,10,6,nan,0,20\n1,1,10,7,x,0,20\n1,1,10,8, 5 ,0,20\n"
         "1,1,10,9,inf,0,20\n",
         {{1, 1, {0, 1, 617, 65535, 65535, 0, 0, 0, 2500, 65535}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}},
        // Numbers beyond their fields: a time stamp over 32 bits is 0, ids and intensities wrap
        // at a byte, and over 16 bits they are 0.
        {"4294967297,300,1,0,1,256,20\n7,65537,1,0,1,300,20\n", {{44, 0, {500}, {0}}, {0, 7, {500}, {44}}}},
        // A last row without LF counts; a cut one does not.
        {"1,1,1,0,1,1,20", {{1, 1, {500}, {1}}}},
        {"1,1,2,0,1,1,20\n1,1,2,1,1", {}},
    };
    for (const auto& c : cases) {
        const QString path = files.write(c.bytes);
        EXPECT_EQ(keys(path), c.blocks) << c.bytes.toStdString();
        EXPECT_EQ(keys(path, 1), c.blocks) << c.bytes.toStdString();
    }
}

// Then a cancel stops after the batch that asked for it; a file that cannot be opened is told.
TEST(CsvReader, ChunkSizeDoesNotChangeTheBlocksNoneHoldsSpareCapacityAndProgressReachesTheEnd)
{
    Files files;
    const QString path = files.write(recording(scans(20, 2, 50)) + "1,1,1,0,1,1,20");
    const auto whole = kes_csv::loadBlocks(path).blocks;
    ASSERT_EQ(whole.size(), 21u);
    EXPECT_EQ(whole.capacity(), whole.size());
    for (const auto& b : whole) // no spare capacity held
        EXPECT_TRUE(b.layers.capacity() == 1 && b.layers[0].ranges.capacity() == b.layers[0].ranges.size()
                    && b.layers[0].intensities.capacity() == b.layers[0].intensities.size());
    for (size_t chunk : {1, 3, 64, 1000})
        EXPECT_EQ(keys(path, chunk), keys(path)) << "chunk " << chunk;
    std::vector<double> fractions;
    const auto track = [&](std::vector<ScanBlockData>&&, const kes_csv::ReadProgress& p) {
        fractions.push_back(p.fraction());
    };
    ASSERT_EQ(kes_csv::readBlocks(path, track, nullptr, 4096), kes_csv::ReadStatus::Ok);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_GT(fractions.size(), 3u);
    EXPECT_EQ(fractions.back(), 1.0);
    std::atomic<bool> cancel{false};
    size_t batches = 0;
    const auto stop_after_first = [&](std::vector<ScanBlockData>&&, const kes_csv::ReadProgress&) {
        ++batches;
        cancel = true;
    };
    EXPECT_EQ(kes_csv::readBlocks(path, stop_after_first, &cancel, 1024), kes_csv::ReadStatus::Cancelled);
    EXPECT_EQ(batches, 1u);
    EXPECT_EQ(kes_csv::loadBlocks(files.path("missing.csv")).status, kes_csv::ReadStatus::CannotOpen);
    EXPECT_EQ(kes_csv::loadBlocks(files.path("")).status, kes_csv::ReadStatus::CannotOpen);
}

// Over the bound a line is malformed however it looks, so a file without line feeds costs no
// more than the bound; the rows after it still count.
TEST(CsvReader, SkipsALineLongerThanTheBound)
{
    Files files;
    const QByteArray long_row = "1,1,1,0," + QByteArray(int(kes_csv::kMaxLineBytes), '0') + "1,5,20\n";
    const QString path = files.write(long_row + recording(scans(2, 1, 3)) + long_row.chopped(1));
    for (size_t chunk : {size_t(4096), kes_csv::kDefaultChunkBytes})
        EXPECT_EQ(keys(path, chunk),
                  (std::vector<Key>{{1, 1000, {0, 30, 61}, {0, 1, 2}}, {2, 1001, {976, 1008, 1039}, {1, 2, 3}}}))
            << "chunk " << chunk;
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

QList<QByteArray> rowsOf(const QByteArray& file)
{
    QList<QByteArray> rows = file.split('\n');
    EXPECT_TRUE(rows.takeLast().isEmpty()) << "the last row must end with LF";
    rows.removeFirst();
    return rows;
}

// Missing intensities are written as 0; spare intensities and later layers are dropped.
TEST(CsvWriter, WritesHeaderAndTheRowsOfTheFirstLayerByteForByte)
{
    EXPECT_EQ(recording({block(3, 4000000000u, {617, 500, 0, 65535}, {10, 200, 0, 255})}, 19.9f),
              QByteArray("time_stamp,block_id,layer_size,layer_index,range(m),intensity,motor_frequency\n"
                         "4000000000,3,4,0,1.234,10,19.9\n"
                         "4000000000,3,4,1,1,200,19.9\n"
                         "4000000000,3,4,2,0,0,19.9\n"
                         "4000000000,3,4,3,131.07,255,19.9\n"));
    ScanBlockData two_layers = block(2, 5, {1000, 1000}, {7, 8, 9});
    two_layers.layers.push_back(kes_sdk::ScanLayer{{5, 5, 5}, {1, 1, 1}});
    const auto rows = rowsOf(recording({block(1, 5, {500, 500, 500}, {7}), {}, block(4, 5, {}, {1}), two_layers}));
    EXPECT_EQ(rows, (QList<QByteArray>{"5,1,3,0,1,7,20", "5,1,3,1,1,0,20", "5,1,3,2,1,0,20", "5,2,2,0,2,7,20",
                                       "5,2,2,1,2,8,20"}));
}

TEST(CsvWriter, RangeAndFrequencyTextsAreQts)
{
    std::vector<uint16_t> all(65536);
    std::iota(all.begin(), all.end(), uint16_t(0));
    const auto rows = rowsOf(recording({block(1, 0, all, {})}));
    ASSERT_EQ(rows.size(), 65536);
    for (int raw = 0; raw < 65536; ++raw) {
        const QByteArray expected = QString::number(raw * 0.002, 'g', 6).toLatin1();
        ASSERT_EQ(rows[raw].split(',').value(4), expected) << "raw " << raw;
    }
    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {20.0f, 19.9f, 0.0f, -0.0f, 1234567.0f, 1e-5f, 0.1f, inf, -inf, NAN})
        EXPECT_EQ(rowsOf(recording({block(1, 0, {1}, {1})}, v)).value(0).split(',').value(6),
                  QString::number(double(v), 'g', 6).toLatin1());
}

TEST(CsvWriter, SmallBufferGivesTheSameBytesAndReportsRefusal)
{
    const auto blocks = scans(9, 1, 700);
    QByteArray small;
    QBuffer buffer(&small);
    buffer.open(QIODevice::WriteOnly);
    kes_csv::CsvWriter writer(buffer, 1);
    writer.writeHeader();
    for (const auto& b : blocks)
        writer.writeBlock(b, 20.0f);
    EXPECT_TRUE(writer.flush());
    EXPECT_EQ(writer.rowsWritten(), 9u * 700u);
    EXPECT_EQ(small, recording(blocks));
    Files files;
    QFile read_only(files.write("x"));
    ASSERT_TRUE(read_only.open(QIODevice::ReadOnly));
    kes_csv::CsvWriter refused(read_only);
    refused.writeHeader();
    EXPECT_FALSE(refused.flush());
}

// A write cut short (here by the file size limit, as by a full disk) leaves only whole rows,
// and rows appended to a file that ends inside a row do not merge with it.
TEST(CsvAppend, AFileNeverEndsInsideARow)
{
    Files files;
    QFile file(files.write(recording({}) + "1,1,2,0,1"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered));
    const auto blocks = scans(2, 1, 300);
    const QByteArray rows = kes_csv::csvText([&](kes_csv::CsvWriter& w) {
        for (const auto& b : blocks)
            w.writeBlock(b, 20.0f);
    });
    ASSERT_TRUE(kes_csv::appendLines(file, rows));
    const qint64 whole = file.size();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = rlim_t(whole + 100);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = kes_csv::appendLines(file, rows, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(file.size(), whole);
    file.close();
    const auto loaded = kes_csv::loadBlocks(file.fileName()).blocks;
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].time_stamp, blocks[0].time_stamp);
    EXPECT_EQ(loaded[0].layers[0].ranges.size(), 300u);
}

TEST(CsvFileNames, RecordingAfterFirmwareAndStartTimeInterceptBesideTheLoadedFile)
{
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(kes_csv::recordingFileName("V1.2.3", start), "V1.2.3_2024_03_05_14_07_09.csv");
    EXPECT_EQ(kes_csv::recordingFilePath("/opt/app", "../..\\V/", start),
              "/opt/app/Data/.._.._V__2024_03_05_14_07_09.csv")
        << "the device's text stays inside Data";
    EXPECT_EQ(kes_csv::recordingDirectory("/opt/app"), "/opt/app/Data");
    // What is appended there is checked through the player's intercept.
    EXPECT_EQ(kes_csv::interceptFilePath("/d/X_2024_03_05_14_07_09.csv", 12),
              "/d/X_2024_03_05_14_07_09_block_position_12.csv");
    EXPECT_EQ(kes_csv::interceptFilePath("/d/a.b.csv", 1), "/d/a.b_block_position_1.csv");
}

// Texts around every branch of Qt's number parsing: blanks, signs, limits, float shapes.
// clang-format off
const std::vector<std::string> kTricky = {
    "", " ", "0", "00", " 0", "0 ", "-0", "+0", "+", "-", "1", "+5", "-5", "--5", "+-5", "1 2", "\t7\n", ("\x85" "7"),
    ("\xA0" "7\xA0"), ("\x1c" "7"), "7\x0b", std::string("7\0", 2), "65535", "65536", "255", "256", "300",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295", "4294967296",
    "000000000000000000000000000000012", "99999999999999999999999", "0x10", "1e5", "1E5", "1e+5", "1e-5",
    "1e", "1e+", "e5", ".", ".5", "5.", "-.5", "+.5", ".e5", "0.e5", "5.e5", "1.2.3", "1e5.5", "1.234",
    "131.07", "0.002", "nan", "NaN", "+nan", "-nan", "inf", "+INF", "-inf", "infinity", "1e39", "-1e39",
    "3.4028235e38", "3.4028234e38", "1e-46", "1e-40", "1e-320", "1e400", "-1e400", "1e-400", "0e99999",
    "1e99999999999", "1e-99999999999", "0.000000000000000000000000000000000000000000001e40",
    "123456789012345678901234567890", "1.00000000000000000000000000000000000000000001", "1;", "5%", "1,5",
    "\xc3\xa9", "12a", "a12", "1_0", "0.0000001"};
// clang-format on

void expectLikeQt(const std::string& text)
{
    const QString q = QString::fromLatin1(text.data(), int(text.size()));
    SCOPED_TRACE("text [" + text + "]");
    EXPECT_EQ(kes_csv::toUInt(text), q.toUInt());
    EXPECT_EQ(kes_csv::toUShort(text), q.toUShort());
    EXPECT_EQ(kes_csv::toInt(text), q.toInt());
    bool ok = false, qt_ok = false;
    const float f = kes_csv::toFloat(text, &ok);
    const float qt_f = q.toFloat(&qt_ok);
    EXPECT_EQ(ok, qt_ok);
    EXPECT_TRUE(std::memcmp(&f, &qt_f, sizeof f) == 0 || (std::isnan(f) && std::isnan(qt_f))) << f << " vs " << qt_f;
    EXPECT_EQ(kes_csv::rangeFromText(text), qt_ok ? kes_csv::rangeFromMetres(qt_f) : 0);
}

TEST(CsvFields, ConvertLikeQtDoes)
{
    for (const auto& t : kTricky)
        expectLikeQt(t);
    static const char alphabet[] = "0123456789+-.eE nNaAiIfFx\t\xA0\x85;";
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text(rng() % 12, ' ');
        for (char& c : text)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        expectLikeQt(text);
    }
}

} // namespace
