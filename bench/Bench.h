#pragma once
// Shared timing and registration of the benchmark sections. Each section registers itself
// with VC_BENCH(name) and prints its own figures.
#include <cstdint>
#include <cstdio>

namespace bench {

double Seconds();

// Repeats op until about budget seconds have passed (at least once); seconds per run.
template <class Op>
double TimePerRun(double budget, Op op) {
  op();  // warm-up
  int runs = 0;
  const double start = Seconds();
  double elapsed = 0.0;
  do {
    op();
    ++runs;
    elapsed = Seconds() - start;
  } while (elapsed < budget);
  return elapsed / runs;
}

// Megapixels per second of pixelsPerRun pixels per call.
template <class Op>
double Measure(double pixelsPerRun, double budget, Op op) {
  return pixelsPerRun / TimePerRun(budget, op) / 1e6;
}

// Deterministic pseudo-random numbers for test content.
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state ^ (state >> 15);
  }
};

// Keeps results alive so the optimiser cannot drop the measured work.
extern volatile uint32_t g_sink;

typedef void (*SectionFunction)();
struct Section {
  Section(const char* name, SectionFunction run);
  const char* name;
  SectionFunction run;
  Section* next;
};

}  // namespace bench

#define VC_BENCH_CONCAT2(a, b) a##b
#define VC_BENCH_CONCAT(a, b) VC_BENCH_CONCAT2(a, b)
#define VC_BENCH(name)                                                       \
  static void VC_BENCH_CONCAT(BenchSection_, __LINE__)();                    \
  static bench::Section VC_BENCH_CONCAT(benchSection_, __LINE__)(            \
      name, VC_BENCH_CONCAT(BenchSection_, __LINE__));                       \
  static void VC_BENCH_CONCAT(BenchSection_, __LINE__)()
