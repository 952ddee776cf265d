// Quantiser time and the mean colour error of the mapped result, for a 256 x 256 32-bit
// image of photo-like content reduced to 256 and to 16 colours.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include "bench/Bench.h"
#include "document/ColorSpace.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Quantizer.h"

namespace {

// Smooth shading, a few hard-edged shapes and sensor-like noise; the corners are transparent.
void FillPhotoLike(CPixelArray& a) {
  bench::Random random(7);
  const int32_t n = a.width;
  for (int32_t y = 0; y < a.height; ++y) {
    for (int32_t x = 0; x < n; ++x) {
      double fx = double(x) / n, fy = double(y) / a.height;
      double r = 200 * fx + 40 * std::sin(fy * 7.0);
      double g = 160 * fy + 60 * std::cos(fx * 5.0);
      double b = 120 + 100 * std::sin((fx + fy) * 4.0);
      double dx = fx - 0.6, dy = fy - 0.4;
      if (dx * dx + dy * dy < 0.04) {
        r = 240 - 80 * fy;
        g = 200 - 60 * fx;
        b = 40;
      }
      if (x > n / 8 && x < n / 3 && y > n / 2 && y < n * 7 / 8) {
        r = 30;
        g = 60 + 100 * fy;
        b = 150;
      }
      auto channel = [&](double v) {
        int32_t c = static_cast<int32_t>(v) + static_cast<int32_t>(random.Next() % 13) - 6;
        return static_cast<uint32_t>(c < 0 ? 0 : c > 255 ? 255 : c);
      };
      uint32_t alpha = (x < 24 && y < 24) || (x >= n - 24 && y >= a.height - 24) ? 0 : 255;
      a.data[int64_t(y) * n + x] = alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
    }
  }
}

void Run(const CPixelArray& image, int32_t colors) {
  CPalette palette;
  CColorQuantizer quantizer;
  quantizer.SetPalette(&palette);
  quantizer.SetMaximum(colors);
  const double quantize = bench::TimePerRun(0.5, [&] { quantizer.Quantize(&image); });

  // Mapping: index of every pixel, then the error of the mapped colour.
  const int64_t count = int64_t(image.width) * image.height;
  double mapTime = bench::TimePerRun(0.3, [&] {
    palette.ClearLookup();
    uint32_t sum = 0;
    for (int64_t i = 0; i < count; ++i)
      sum += static_cast<uint32_t>(palette.FindNearestArgb(image.data[i]));
    bench::g_sink += sum;
  });

  double error[3] = {0, 0, 0};
  double deltaE = 0;
  int64_t opaque = 0;
  for (int64_t i = 0; i < count; ++i) {
    uint32_t c = image.data[i];
    if ((c >> 24) < 128)
      continue;
    int32_t index = palette.FindNearestArgb(c);
    if (index < 0)
      continue;
    uint32_t m = palette.GetEntry(index)->GetColor();
    int32_t src[3] = {int32_t(c >> 16 & 255), int32_t(c >> 8 & 255), int32_t(c & 255)};
    int32_t dst[3] = {int32_t(m >> 16 & 255), int32_t(m >> 8 & 255), int32_t(m & 255)};
    for (int k = 0; k < 3; ++k)
      error[k] += std::abs(src[k] - dst[k]);
    float l1, a1, b1, l2, a2, b2;
    RgbToLab(src[0] / 255.0f, src[1] / 255.0f, src[2] / 255.0f, l1, a1, b1);
    RgbToLab(dst[0] / 255.0f, dst[1] / 255.0f, dst[2] / 255.0f, l2, a2, b2);
    deltaE += std::sqrt(double(l1 - l2) * (l1 - l2) + double(a1 - a2) * (a1 - a2) + double(b1 - b2) * (b1 - b2));
    ++opaque;
  }
  if (opaque == 0)
    opaque = 1;
  std::printf("256x256 to %3d colours: quantise %7.2f ms, map %6.2f ms, %3d entries; mean error R %.2f G %.2f B %.2f, Lab dE %.2f\n",
              colors, quantize * 1e3, mapTime * 1e3, palette.GetCount(), error[0] / opaque, error[1] / opaque,
              error[2] / opaque, deltaE / opaque);
}

}  // namespace

VC_BENCH("Colour quantiser") {
  CPixelArray image(256, 256);
  if (!image.data)
    return;
  FillPhotoLike(image);
  Run(image, 256);
  Run(image, 16);
}
