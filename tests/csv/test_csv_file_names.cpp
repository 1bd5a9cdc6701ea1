#include "csv_test_support.h"

#include <kes_csv/csv_file_names.h>
#include <kes_csv/csv_format.h>
#include <kes_csv/csv_writer.h>

#include <gtest/gtest.h>

#include <QFile>

namespace {

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

TEST(CsvFileNames, InterceptGoesBesideTheLoadedFileAndAppends)
{
    csv_test::Files files;
    const QString loaded = files.write(csv_test::recording(csv_test::scans(12, 1, 3)), "X_2024_03_05_14_07_09.csv");
    const QString intercept = kes_csv::interceptFilePath(loaded, 12);
    EXPECT_EQ(intercept, files.path("X_2024_03_05_14_07_09_block_position_12.csv"));
    EXPECT_EQ(kes_csv::interceptFilePath(files.path("a.b.csv"), 1), files.path("a.b_block_position_1.csv"));

    const auto blocks = csv_test::load(loaded);
    for (int pass = 0; pass < 2; ++pass) {
        QFile file(intercept);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
        kes_csv::CsvWriter writer(file);
        writer.writeHeader();
        for (size_t i = kes_csv::firstBlockOfFrame(1); i < kes_csv::firstBlockOfFrame(2); ++i)
            writer.writeBlock(blocks[i], 20.0f);
    }
    const auto cut = csv_test::load(intercept);
    ASSERT_EQ(cut.size(), 12u);
    EXPECT_EQ(cut[0].time_stamp, blocks[6].time_stamp);
    EXPECT_EQ(cut[6].time_stamp, blocks[6].time_stamp);
    EXPECT_EQ(cut[11].layers[0].intensities, blocks[11].layers[0].intensities);
}

} // namespace
