// The supervisor: splits every reader's mutants into ranges, runs each range in a worker
// process, restarts a worker after the mutant that crashed it or hung it, keeps that mutant
// and prints the figures per reader.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include "fuzz/Fuzz.h"

namespace fuzz {
namespace {

// A mutant that makes no progress for this long is a hang.
const DWORD kHangMilliseconds = 120000;
// A worker that fails this many times running before its first mutant means a broken set-up.
const int kWorkerStarts = 3;

struct Tally {
  uint64_t mutants = 0, accepted = 0, refused = 0, crashes = 0, hangs = 0, overMemory = 0;
  uint64_t choosers = 0;  // image choosers walked through before their answer
  uint64_t peak = 0;
  long long peakMutant = -1;
  DWORD started = 0, ended = 0;
  bool broken = false;
};

struct Range {
  size_t reader;
  uint64_t first;
  uint64_t count;
};

std::mutex g_lock;
std::vector<Tally> g_tallies;
std::deque<Range> g_queue;
std::vector<std::string> g_found;
std::vector<std::vector<Bytes>> g_seeds;

void Keep(size_t readerIndex, long long index, const char* what) {
  const Reader& reader = Readers()[readerIndex];
  char name[128];
  std::snprintf(name, sizeof name, "%s-%s-%lld.%s", what, reader.name, index, reader.extension);
  const std::string path = FoundFolder() + name;
  WriteFileBytes(path, MakeMutant(g_seeds[readerIndex], reader, uint64_t(index)));
  std::lock_guard<std::mutex> hold(g_lock);
  g_found.push_back(path);
}

// What one worker run reports.
struct RunResult {
  long long current = -1;  // the mutant in progress when it stopped
  long long last = -1;     // the last mutant finished
  bool ended = false;
  bool crashed = false;
  bool hung = false;
  bool overMemory = false;
  std::string message;
};

void ReadLine(const std::string& line, size_t readerIndex, RunResult& run) {
  unsigned long long a = 0, b = 0;
  switch (line.empty() ? 0 : line[0]) {
    case 'S':
      std::sscanf(line.c_str() + 1, "%llu", &a);
      run.current = (long long)a;
      return;
    case 'A':
    case 'R': {
      std::sscanf(line.c_str() + 1, "%llu", &a);
      run.last = (long long)a;
      run.current = -1;
      std::lock_guard<std::mutex> hold(g_lock);
      Tally& t = g_tallies[readerIndex];
      ++t.mutants;
      ++(line[0] == 'A' ? t.accepted : t.refused);
      return;
    }
    case 'P': {
      std::sscanf(line.c_str() + 1, "%llu %llu", &a, &b);
      std::lock_guard<std::mutex> hold(g_lock);
      Tally& t = g_tallies[readerIndex];
      if (b > t.peak) {
        t.peak = b;
        t.peakMutant = (long long)a;
      }
      return;
    }
    case 'W': {
      std::lock_guard<std::mutex> hold(g_lock);
      ++g_tallies[readerIndex].choosers;
      return;
    }
    case 'C':
      run.crashed = true;
      run.message = line;
      return;
    case 'M':
      run.overMemory = true;
      run.message = line;
      return;
    case 'E':
      run.ended = true;
      return;
    case 'X':
      run.message = line;
      return;
    default:
      return;
  }
}

RunResult RunWorkerProcess(const Range& range) {
  RunResult run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    run.message = "cannot create a pipe";
    return run;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  char command[MAX_PATH + 128];
  std::snprintf(command, sizeof command, "\"%s\" --worker %s %llu %llu", exe, Readers()[range.reader].name,
                (unsigned long long)range.first, (unsigned long long)range.count);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    char text[64];
    std::snprintf(text, sizeof text, "cannot start a worker (error %lu)", (unsigned long)GetLastError());
    run.message = text;
    return run;
  }
  std::string pending;
  DWORD lastProgress = GetTickCount();
  long long watched = -2;
  // Polled rather than read blocking: a process the worker starts may hold the pipe open.
  for (;;) {
    DWORD available = 0;
    bool exited = false;
    if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char buffer[4096];
      DWORD got = 0;
      if (ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
          std::string line = pending.substr(0, end);
          if (!line.empty() && line.back() == '\r')
            line.pop_back();
          pending.erase(0, end + 1);
          ReadLine(line, range.reader, run);
        }
        continue;
      }
    } else {
      exited = WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0;
    }
    if (exited) {
      // Whatever is left in the pipe was written before the exit.
      DWORD left = 0;
      if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &left, nullptr) && left > 0)
        continue;
      break;
    }
    if (run.current != watched) {
      watched = run.current;
      lastProgress = GetTickCount();
    } else if (run.current >= 0 && GetTickCount() - lastProgress > kHangMilliseconds) {
      run.hung = true;
      TerminateProcess(process.hProcess, 6);
      WaitForSingleObject(process.hProcess, INFINITE);
      break;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  // A worker that died without its crash line or its end line crashed all the same.
  if (!run.ended && !run.hung && !run.overMemory && run.current >= 0)
    run.crashed = true;
  if (run.crashed && run.message.empty()) {
    char text[64];
    std::snprintf(text, sizeof text, "exit code %08lx", (unsigned long)code);
    run.message = text;
  }
  return run;
}

void RunSlot() {
  for (;;) {
    Range range;
    {
      std::lock_guard<std::mutex> hold(g_lock);
      if (g_queue.empty())
        return;
      range = g_queue.front();
      g_queue.pop_front();
      Tally& t = g_tallies[range.reader];
      if (!t.started)
        t.started = GetTickCount();
    }
    const uint64_t end = range.first + range.count;
    int failedStarts = 0;
    while (range.count > 0) {
      const RunResult run = RunWorkerProcess(range);
      if (run.ended)
        break;
      const char* what = run.hung ? "hang" : run.overMemory ? "memory" : run.crashed ? "crash" : nullptr;
      if (!what || run.current < 0) {
        // It stopped outside every mutant. Under load a process start can fail now and then,
        // so a worker that never reached its first mutant is started again; a set-up that fails
        // every time, or a stop between two mutants, means the set-up itself is broken.
        const bool broken = run.last >= 0 || ++failedStarts >= kWorkerStarts;
        {
          std::lock_guard<std::mutex> hold(g_lock);
          if (broken)
            g_tallies[range.reader].broken = true;
          std::printf("%s: worker failed: %s%s\n", Readers()[range.reader].name, run.message.c_str(),
                      broken ? "" : "; starting it again");
          std::fflush(stdout);
        }
        if (broken)
          break;
        Sleep(500);
        continue;
      }
      failedStarts = 0;
      Keep(range.reader, run.current, what);
      {
        std::lock_guard<std::mutex> hold(g_lock);
        Tally& t = g_tallies[range.reader];
        ++t.mutants;
        ++(run.hung ? t.hangs : run.overMemory ? t.overMemory : t.crashes);
        std::printf("%s mutant %lld: %s %s\n", Readers()[range.reader].name, run.current, what, run.message.c_str());
        std::fflush(stdout);
      }
      range.first = uint64_t(run.current) + 1;
      range.count = end > range.first ? end - range.first : 0;
    }
    std::lock_guard<std::mutex> hold(g_lock);
    g_tallies[range.reader].ended = GetTickCount();
  }
}

}  // namespace

int RunSupervisor(uint64_t perReader, const std::vector<const Reader*>& readers, unsigned jobs) {
  bool prepared;
  {
    CAnswerer answerer;
    prepared = InitRoads() && PrepareSeeds();
  }
  if (!prepared) {
    std::printf("cannot prepare the seeds\n");
    return 2;
  }
  // What the folder holds is this run's.
  CreateDirectoryA(FoundFolder().c_str(), nullptr);
  EmptyFolder(FoundFolder());
  const std::vector<Reader>& all = Readers();
  g_tallies.assign(all.size(), Tally());
  g_seeds.resize(all.size());
  // Ranges small enough to spread every reader over the workers.
  const uint64_t rangeSize = std::max<uint64_t>(100, (perReader + 7) / 8);
  for (const Reader* reader : readers) {
    const size_t index = size_t(reader - all.data());
    g_seeds[index] = LoadSeeds(*reader);
    for (uint64_t first = 0; first < perReader; first += rangeSize)
      g_queue.push_back({index, first, std::min(rangeSize, perReader - first)});
  }
  // Interleave the readers so that slow ones do not all run last.
  std::stable_sort(g_queue.begin(), g_queue.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
  std::printf("fuzzing %u reader(s), %llu mutants each, %u workers; work in %s\n", unsigned(readers.size()),
              (unsigned long long)perReader, jobs, WorkFolder().c_str());
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  std::vector<std::thread> slots;
  for (unsigned i = 0; i < jobs; ++i)
    slots.emplace_back(RunSlot);
  for (std::thread& slot : slots)
    slot.join();
  const double total = (GetTickCount() - start) / 1000.0;

  std::printf("\n%-10s %-34s %8s %8s %8s %7s %5s %6s %8s %9s %7s %7s\n", "reader", "", "mutants", "accepted",
              "refused", "crashes", "hangs", "memory", "choosers", "peak MiB", "at", "wall s");
  Tally sum;
  bool failed = false;
  for (const Reader* reader : readers) {
    const Tally& t = g_tallies[size_t(reader - all.data())];
    std::printf("%-10s %-34s %8llu %8llu %8llu %7llu %5llu %6llu %8llu %9.1f %7lld %7.1f\n", reader->name,
                reader->description, (unsigned long long)t.mutants, (unsigned long long)t.accepted,
                (unsigned long long)t.refused, (unsigned long long)t.crashes, (unsigned long long)t.hangs,
                (unsigned long long)t.overMemory, (unsigned long long)t.choosers, t.peak / 1048576.0, t.peakMutant, t.started && t.ended ? (t.ended - t.started) / 1000.0 : 0.0);
    sum.mutants += t.mutants;
    sum.accepted += t.accepted;
    sum.refused += t.refused;
    sum.crashes += t.crashes;
    sum.hangs += t.hangs;
    sum.overMemory += t.overMemory;
    sum.choosers += t.choosers;
    sum.peak = std::max(sum.peak, t.peak);
    failed = failed || t.broken || t.mutants != perReader;
  }
  std::printf("%-10s %-34s %8llu %8llu %8llu %7llu %5llu %6llu %8llu %9.1f %7s %7.1f\n", "all", "",
              (unsigned long long)sum.mutants, (unsigned long long)sum.accepted, (unsigned long long)sum.refused,
              (unsigned long long)sum.crashes, (unsigned long long)sum.hangs, (unsigned long long)sum.overMemory,
              (unsigned long long)sum.choosers, sum.peak / 1048576.0, "", total);
  for (const std::string& path : g_found)
    std::printf("kept: %s\n", path.c_str());
  failed = failed || sum.crashes || sum.hangs || sum.overMemory;
  std::printf("%s\n", failed ? "FAILED" : "passed: no crashes, no hangs, memory bounded");
  return failed ? 1 : 0;
}

}  // namespace fuzz
