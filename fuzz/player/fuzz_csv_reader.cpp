// Runs the fast reader and the plain reference reader on the same bytes; any difference aborts.
#include "csv_reference_reader.h"

#include <kes_csv/csv_reader.h>

#include <QBuffer>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk size: lines straddle small chunks and make the buffer grow.
    const size_t chunk_bytes = 1 + size_t(data[0]);
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const auto expected = kes_csv_reference::readBlocks(bytes);

    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    std::vector<kes_sdk::ScanBlockData> actual;
    const auto append = [&](std::vector<kes_sdk::ScanBlockData>&& batch, const kes_csv::ReadProgress&) {
        for (auto& b : batch)
            actual.push_back(std::move(b));
    };
    const auto status = kes_csv::readBlocks(device, append, nullptr, chunk_bytes);
    const std::string difference = kes_csv_reference::firstDifference(expected, actual);
    if (status != kes_csv::ReadStatus::Ok || !difference.empty()) {
        std::fprintf(stderr, "reader mismatch: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
