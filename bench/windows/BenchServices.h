// The extra services the refresh benchmark installs to see how the cost grows with the database:
// never started, demand start, all under one name prefix so a later run finds what a crashed
// one left behind.
#pragma once

#include <string>

namespace tobrunel::bench {

inline constexpr const wchar_t* BenchServicePrefix = L"TobrunelBench";

// installBenchServices removes any earlier bench services, then installs `count` new ones that
// name `binaryPath` as their program; it gives how many it installed.
int installBenchServices(int count, const std::wstring& binaryPath);

// removeBenchServices deletes every service whose name starts with the prefix; it gives how many
// it deleted, or -1 when the manager could not be opened or enumerated.
int removeBenchServices();

} // namespace tobrunel::bench
