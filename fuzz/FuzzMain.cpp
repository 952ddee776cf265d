// vcfuzz [N] [--jobs J] [READER...]   N mutants per reader (default 10000) in J workers
// vcfuzz --worker READER FIRST COUNT  one worker (started by the supervisor)
// vcfuzz --replay READER FILE         one file through a reader's road, in this process
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "fuzz/Fuzz.h"

namespace {

void Usage() {
  std::printf("usage: vcfuzz [N] [--jobs J] [READER...] | --worker READER FIRST COUNT | --replay READER FILE\nreaders:");
  for (const fuzz::Reader& r : fuzz::Readers())
    std::printf(" %s", r.name);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  // A crash is reported by the worker itself, never through a dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 5 && std::strcmp(argv[1], "--worker") == 0) {
    const fuzz::Reader* reader = fuzz::FindReader(argv[2]);
    if (!reader)
      return 2;
    return fuzz::RunWorker(*reader, std::strtoull(argv[3], nullptr, 10), std::strtoull(argv[4], nullptr, 10));
  }
  if (argc >= 4 && std::strcmp(argv[1], "--replay") == 0) {
    const fuzz::Reader* reader = fuzz::FindReader(argv[2]);
    if (!reader) {
      Usage();
      return 2;
    }
    return fuzz::Replay(*reader, argv[3]);
  }
  uint64_t perReader = 10000;
  unsigned jobs = 0;
  std::vector<const fuzz::Reader*> readers;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc) {
      jobs = unsigned(std::atoi(argv[++i]));
    } else if (argv[i][0] >= '0' && argv[i][0] <= '9') {
      perReader = std::strtoull(argv[i], nullptr, 10);
    } else if (const fuzz::Reader* reader = fuzz::FindReader(argv[i])) {
      readers.push_back(reader);
    } else {
      Usage();
      return 2;
    }
  }
  if (readers.empty())
    for (const fuzz::Reader& r : fuzz::Readers())
      readers.push_back(&r);
  if (jobs == 0) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    jobs = info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
  }
  return fuzz::RunSupervisor(perReader, readers, jobs);
}
