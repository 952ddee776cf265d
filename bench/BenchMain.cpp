// Runs every benchmark section, or those whose names contain one of the arguments.
#include <windows.h>
#include <cstring>
#include "bench/Bench.h"
#include "document/PixelArray.h"
#include "shell/Application.h"

namespace bench {

volatile uint32_t g_sink = 0;

namespace {
Section* g_first = nullptr;
Section** g_last = &g_first;
}  // namespace

Section::Section(const char* sectionName, SectionFunction function)
    : name(sectionName), run(function), next(nullptr) {
  *g_last = this;
  g_last = &next;
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace bench

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  // The program's floating-point masks: the benchmarks run the real code.
  SetupFloatingPoint(HasSse());
  InitReciprocalTable();
  std::printf("Vellumcraft benchmarks\n");
  for (bench::Section* s = bench::g_first; s; s = s->next) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc && !wanted; ++i)
      wanted = std::strstr(s->name, argv[i]) != nullptr;
    if (!wanted)
      continue;
    std::printf("\n== %s\n", s->name);
    std::fflush(stdout);
    s->run();
    std::fflush(stdout);
  }
  return 0;
}
