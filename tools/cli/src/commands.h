#pragma once

#include "cli_options.h"

namespace cli {

int runInfo(const InfoOptions& options);
int runSet(const SetOptions& options);
int runDiscover(const DiscoverOptions& options);
int runWatch(const WatchOptions& options);
int runRecord(const RecordOptions& options);
int runInspect(const InspectOptions& options);
int runCapture(const CaptureOptions& options);
int runHealth(const HealthOptions& options);
int runStats(const StatsOptions& options);
int runExport(const ExportOptions& options);

} // namespace cli
