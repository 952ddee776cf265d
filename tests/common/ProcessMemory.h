#pragma once
// The test program's own memory use, for tests that bound what a reader may allocate.
#include <windows.h>
#include <psapi.h>
#include <cstddef>

// The most memory the process has had resident so far.
inline size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}
