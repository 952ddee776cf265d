// Prints the throughput of compositing, zoomed drawing and resampling in megapixels per
// second, for 256 x 256 and 1024 x 1024 arrays.
#include <cstdint>
#include <cstdio>
#include "bench/Bench.h"
#include "document/PixelArray.h"

namespace {

using bench::Measure;

void FillPattern(CPixelArray& a, uint32_t seed, uint32_t alphaMask, uint32_t alphaBits) {
  uint32_t state = seed;
  const int64_t count = static_cast<int64_t>(a.width) * a.height;
  for (int64_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    a.data[i] = ((state ^ (state >> 15)) & alphaMask) | alphaBits;
  }
}

void Report(const char* name, int32_t size, double mps) {
  std::printf("%-50s %5dx%-5d %9.1f MP/s\n", name, size, size, mps);
  std::fflush(stdout);
}

void RunSize(int32_t n, double budget) {
  CPixelArray target(n, n), source(n, n);
  if (!target.data || !source.data)
    return;
  const double pixels = static_cast<double>(n) * n;

  // Semi-transparent source (alpha 0x40..0xBF) over an opaque background at 0.7.
  FillPattern(source, 1, 0x7FFFFFFFu, 0x40000000u);
  FillPattern(target, 2, 0x00FFFFFFu, 0xFF000000u);
  Report("BlendOver, opacity 0.7, semi-transparent", n,
         Measure(pixels, budget, [&] { target.BlendFrom(source, 0.7f); }));
  // The same over a semi-transparent destination.
  FillPattern(target, 3, 0x7FFFFFFFu, 0x20000000u);
  Report("BlendOver, opacity 0.7, both semi-transparent", n,
         Measure(pixels, budget, [&] { target.BlendFrom(source, 0.7f); }));

  // Zoom 4 of a quarter-sized source into the whole array.
  CPixelArray small(n / 4, n / 4);
  FillPattern(small, 4, 0xFFFFFFFFu, 0x80000000u);
  Rect all;
  all.right = n;
  all.bottom = n;
  const Point origin{0, 0};
  Report("CopyZoomed x4 (destination pixels)", n,
         Measure(pixels, budget, [&] { target.CopyZoomed(all, origin, small, 4); }));
  Report("BlendZoomed x4, opacity 0.7 (destination pixels)", n,
         Measure(pixels, budget, [&] { target.BlendZoomed(all, origin, small, 4, 0.7f); }));

  // Reduction to a third, with the default options (source pixels).
  CPixelArray third(n / 3, n / 3);
  FillPattern(source, 5, 0xFFFFFFFFu, 0x01000000u);
  Report("Resample down 3:1 (source pixels)", n,
         Measure(pixels, budget, [&] { source.Resample(third, nullptr); }));
  // Smooth enlargement of a quarter-sized array (destination pixels).
  Report("Resample up 1:4 smooth (destination pixels)", n,
         Measure(pixels, budget, [&] { small.Resample(target, nullptr); }));
  CResampleOptions blocky;
  blocky.smooth = 0;
  Report("Resample up 1:4 boxes (destination pixels)", n,
         Measure(pixels, budget, [&] { small.Resample(target, &blocky); }));
  bench::g_sink += target.data[n + 1] ^ third.data[0];
}

}  // namespace

VC_BENCH("Raster operations") {
  RunSize(256, 0.4);
  RunSize(1024, 0.8);
}
