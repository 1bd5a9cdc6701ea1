#pragma once

#include "cli_options.h"

namespace cli {

int runInfo(const InfoOptions& options);
int runSet(const SetOptions& options);
int runDiscover(const DiscoverOptions& options);
int runWatch(const WatchOptions& options);
int runRecord(const RecordOptions& options);
int runInspect(const InspectOptions& options);

} // namespace cli
