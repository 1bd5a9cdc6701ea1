#include "csv_test_support.h"

#include <kes_csv/csv_append.h>
#include <kes_csv/csv_file_names.h>
#include <kes_csv/csv_format.h>
#include <kes_csv/csv_writer.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QList>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <numeric>

using csv_test::block;
using csv_test::readFile;
using csv_test::recording;
using kes_sdk::ScanBlockData;

namespace {

QList<QByteArray> rowsOf(const QByteArray& file)
{
    QList<QByteArray> rows = file.split('\n');
    EXPECT_TRUE(rows.takeLast().isEmpty()) << "the last row must end with LF";
    rows.removeFirst();
    return rows;
}

TEST(CsvWriter, WritesHeaderAndRowsByteForByte)
{
    csv_test::Files files;
    const auto written = recording({block(3, 4000000000u, {617, 500, 0, 65535}, {10, 200, 0, 255})}, 19.9f);
    EXPECT_EQ(readFile(files.write(written)),
              QByteArray("time_stamp,block_id,layer_size,layer_index,range(m),intensity,motor_frequency\n"
                         "4000000000,3,4,0,1.234,10,19.9\n"
                         "4000000000,3,4,1,1,200,19.9\n"
                         "4000000000,3,4,2,0,0,19.9\n"
                         "4000000000,3,4,3,131.07,255,19.9\n"));
}

TEST(CsvWriter, RangeTextIsQtsForEveryRawValue)
{
    std::vector<uint16_t> all(65536);
    std::iota(all.begin(), all.end(), uint16_t(0));
    csv_test::Files files;
    const auto rows = rowsOf(readFile(files.write(recording({block(1, 0, all, {})}))));
    ASSERT_EQ(rows.size(), 65536);
    for (int raw = 0; raw < 65536; ++raw) {
        const QByteArray expected = QString::number(raw * 0.002, 'g', 6).toLatin1();
        ASSERT_EQ(rows[raw].split(',').value(4), expected) << "raw " << raw;
    }
}

TEST(CsvWriter, MotorFrequencyTextIsQts)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {20.0f, 19.9f, 0.0f, -0.0f, 1234567.0f, 1e-5f, 0.1f, inf, -inf, NAN})
        EXPECT_EQ(rowsOf(recording({block(1, 0, {1}, {1})}, v)).value(0).split(',').value(6),
                  QString::number(double(v), 'g', 6).toLatin1());
}

TEST(CsvWriter, WritesOnlyTheRangesOfTheFirstLayer)
{
    ScanBlockData two_layers = block(2, 5, {1000, 1000}, {7, 8, 9});
    two_layers.layers.push_back(kes_sdk::ScanLayer{{5, 5, 5}, {1, 1, 1}});
    ScanBlockData no_layers;
    const QByteArray bytes =
        recording({block(1, 5, {500, 500, 500}, {7}), no_layers, block(4, 5, {}, {1}), two_layers});
    const auto rows = rowsOf(bytes);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "5,1,3,0,1,7,20");
    EXPECT_EQ(rows[1], "5,1,3,1,1,0,20"); // missing intensities are written as 0
    EXPECT_EQ(rows[2], "5,1,3,2,1,0,20");
    EXPECT_EQ(rows[4], "5,2,2,1,2,8,20"); // spare intensities and later layers are dropped
}

TEST(CsvWriter, SmallBufferGivesTheSameBytesAndReportsRefusal)
{
    const auto blocks = csv_test::scans(9, 1, 700);
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

    csv_test::Files files;
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
    csv_test::Files files;
    QFile file(files.write(recording({}) + "1,1,2,0,1"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered));
    const auto blocks = csv_test::scans(2, 1, 300);
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
    const auto loaded = csv_test::load(file.fileName());
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].time_stamp, blocks[0].time_stamp);
    EXPECT_EQ(loaded[0].layers[0].ranges.size(), 300u);
}

TEST(CsvFileNames, RecordingIsNamedAfterFirmwareAndStartTime)
{
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(kes_csv::recordingFileName("V1.2.3", start), "V1.2.3_2024_03_05_14_07_09.csv");
    EXPECT_EQ(kes_csv::recordingFilePath("/opt/app", "../..\\V/", start),
              "/opt/app/Data/.._.._V__2024_03_05_14_07_09.csv")
        << "the device's text stays inside Data";
    EXPECT_EQ(kes_csv::recordingDirectory("/opt/app"), "/opt/app/Data");
    EXPECT_EQ(kes_csv::recordingFilePath("/opt/app", "X", QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))),
              "/opt/app/Data/X_2025_12_31_23_59_58.csv");
}

// What is appended there is checked through the player's intercept.
TEST(CsvFileNames, InterceptGoesBesideTheLoadedFile)
{
    EXPECT_EQ(kes_csv::interceptFilePath("/d/X_2024_03_05_14_07_09.csv", 12),
              "/d/X_2024_03_05_14_07_09_block_position_12.csv");
    EXPECT_EQ(kes_csv::interceptFilePath("/d/a.b.csv", 1), "/d/a.b_block_position_1.csv");
}

} // namespace
