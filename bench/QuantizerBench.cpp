// Quantiser time and the mean colour error of the mapped result at 256 and at 16 colours:
// on a 256 x 256 image of photo-like content, then on the colours of the benchmark pictures
// (made opaque, as scripts/bench-peers.sh gives them to pngquant) against pngquant --nofs
// (libimagequant) on the same pixels.
//
// The error is the mean CIE76 difference (L*a*b* of sRGB, white of the sRGB matrix, D65)
// between each pixel's colour and its mapped colour, over the pixels whose alpha is at
// least 128: those the quantiser gives opaque entries. Alpha itself is not compared.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>
#include "bench/Bench.h"
#include "bench/PeerPictures.h"
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

// Mean CIE76 difference of the colours of the pixels (0xAARRGGBB each) whose original alpha
// is at least 128.
double MeanDeltaE(const std::vector<uint32_t>& original, const std::vector<uint32_t>& mapped) {
  double sum = 0;
  int64_t counted = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    const uint32_t c = original[i], m = mapped[i];
    if ((c >> 24) < 128)
      continue;
    float l1, a1, b1, l2, a2, b2;
    RgbToLab((c >> 16 & 255) / 255.0f, (c >> 8 & 255) / 255.0f, (c & 255) / 255.0f, l1, a1, b1);
    RgbToLab((m >> 16 & 255) / 255.0f, (m >> 8 & 255) / 255.0f, (m & 255) / 255.0f, l2, a2, b2);
    sum += std::sqrt(double(l1 - l2) * (l1 - l2) + double(a1 - a2) * (a1 - a2) + double(b1 - b2) * (b1 - b2));
    ++counted;
  }
  return counted ? sum / double(counted) : 0.0;
}

struct Quantized {
  double quantizeMs;
  double mapMs;
  int32_t entries;
  std::vector<uint32_t> mapped;  // the colour of each pixel's entry (black without one)
};

// Quantises the image to at most colors entries and maps every pixel to its entry.
Quantized QuantizeAndMap(const CPixelArray& image, int32_t colors) {
  CPalette palette;
  CColorQuantizer quantizer;
  quantizer.SetPalette(&palette);
  quantizer.SetMaximum(colors);
  Quantized result;
  result.quantizeMs = bench::TimePerRun(0.3, [&] { quantizer.Quantize(&image); }) * 1e3;
  const size_t count = size_t(image.width) * size_t(image.height);
  result.mapped.assign(count, 0);
  result.mapMs = bench::TimePerRun(0.2, [&] {
                   palette.ClearLookup();
                   for (size_t i = 0; i < count; ++i) {
                     const int32_t index = palette.FindNearestArgb(image.data[i]);
                     result.mapped[i] = index < 0 ? 0 : palette.GetEntry(index)->GetColor();
                   }
                 }) *
                 1e3;
  result.entries = palette.GetCount();
  return result;
}

// R, G, B, A bytes as opaque 0xAARRGGBB pixels.
std::vector<uint32_t> OpaqueArgb(const std::vector<uint8_t>& rgba) {
  std::vector<uint32_t> pixels(rgba.size() / 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = 0xFF000000u | uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
  return pixels;
}

}  // namespace

VC_BENCH("Colour quantiser") {
  CPixelArray synthetic(256, 256);
  if (!synthetic.data)
    return;
  FillPhotoLike(synthetic);
  const std::vector<uint32_t> original(synthetic.data, synthetic.data + 256 * 256);
  for (int32_t colors : {256, 16}) {
    const Quantized q = QuantizeAndMap(synthetic, colors);
    std::printf("photo-like 256x256 to %3d colours: quantise %6.2f ms, map %6.2f ms, %3d entries, mean dE %.3f\n",
                colors, q.quantizeMs, q.mapMs, q.entries, MeanDeltaE(original, q.mapped));
  }

  const std::vector<bench::PeerPicture> pictures = bench::LoadPeerPictures();
  if (pictures.empty())
    return;
  std::printf("\nthe pictures' colours, opaque: mean CIE76 dE; quantiser: quantise + map ms;\n"
              "pngquant --nofs: ms of the fastest of 3 runs outside Wine, one thread, PNG in and out\n");
  std::printf("%-20s %7s %11s %8s %12s %8s %9s\n", "picture", "colours", "quantiser", "ms", "pngquant", "ms",
              "dE ratio");
  double ours[2] = {0, 0}, theirs[2] = {0, 0};
  for (const bench::PeerPicture& picture : pictures) {
    const std::vector<uint32_t> pixels = OpaqueArgb(picture.rgba);
    CPixelArray image(picture.width, picture.height);
    if (!image.data)
      return;
    std::copy(pixels.begin(), pixels.end(), image.data);
    for (int k = 0; k < 2; ++k) {
      const int32_t colors = k == 0 ? 256 : 16;
      const Quantized q = QuantizeAndMap(image, colors);
      const double mine = MeanDeltaE(pixels, q.mapped);
      const double peer = MeanDeltaE(pixels, OpaqueArgb(picture.quantized[k]));
      ours[k] += mine;
      theirs[k] += peer;
      std::printf("%-20s %7d %11.3f %8.2f %12.3f %8.0f %9.4f\n", picture.name.c_str(), colors, mine,
                  q.quantizeMs + q.mapMs, peer, picture.pngquantMs[k], peer > 0 ? mine / peer : 0.0);
    }
  }
  for (int k = 0; k < 2; ++k)
    std::printf("%-20s %7d %11.3f %8s %12.3f %8s %9.4f\n", "mean", k == 0 ? 256 : 16, ours[k] / pictures.size(), "",
                theirs[k] / pictures.size(), "", theirs[k] > 0 ? ours[k] / theirs[k] : 0.0);
}
