// Project file: save and load time and file size of an icon project (32-bit images of 16 to
// 256 pixels with alpha) under each compression setting, beside the size of the same pixels
// as PNG files at libpng's best compression.
#include <windows.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "bench/Bench.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/ProjectFile.h"
#include "document/Project.h"
#include "sys/ZR.h"

#if __has_include(<png.h>)
#include <png.h>
#define VC_BENCH_HAVE_PNG 1
#endif

namespace {

const int32_t kSizes[] = {16, 24, 32, 48, 64, 128, 256};

uint32_t Clamp(double v) {
  return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint32_t>(v);
}

// An icon-like picture: a shaded, antialiased disc with a darker rim and a highlight, a soft
// shadow, a diagonal band, fine noise, on a transparent background.
void PaintIcon(CPixelArray& a, uint32_t seed) {
  bench::Random random(seed);
  const double n = a.width;
  const double cx = n * 0.48, cy = n * 0.46, r = n * 0.38;
  for (int32_t y = 0; y < a.height; ++y) {
    for (int32_t x = 0; x < a.width; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double d = std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy));
      const double coverage = std::fmin(1.0, std::fmax(0.0, r - d + 0.5));
      const double sd = std::sqrt((px - cx - n * 0.05) * (px - cx - n * 0.05) +
                                  (py - cy - n * 0.06) * (py - cy - n * 0.06));
      const double shadow = std::fmin(1.0, std::fmax(0.0, (r + n * 0.04 - sd) / (n * 0.08))) * 0.35;
      const double t = d / r;
      double red = 60 + 150 * (1 - t) + 40 * (px / n);
      double green = 110 + 90 * (1 - py / n);
      double blue = 200 - 80 * t;
      if (t > 0.85) {  // rim
        red *= 0.6;
        green *= 0.6;
        blue *= 0.7;
      }
      const double hx = px - (cx - r * 0.35), hy = py - (cy - r * 0.35);
      const double highlight = std::fmax(0.0, 1.0 - std::sqrt(hx * hx + hy * hy) / (r * 0.35));
      red += 90 * highlight;
      green += 90 * highlight;
      blue += 60 * highlight;
      if (std::fabs((px - py) - n * 0.1) < n * 0.06) {  // band
        red = red * 0.7 + 70;
        green *= 0.8;
      }
      const double noise = static_cast<double>(random.Next() % 7) - 3;
      const double alpha = coverage + (1 - coverage) * shadow;
      uint32_t pixel = 0;
      if (alpha > 0) {
        const double k = coverage / alpha;  // shadow is black under the disc's edge
        pixel = Clamp(alpha * 255 + 0.5) << 24 | Clamp(k * red + noise) << 16 |
                Clamp(k * green + noise) << 8 | Clamp(k * blue + noise);
      }
      a.SetPixel(x, y, pixel);
    }
  }
}

CProject* MakeIconProject() {
  CProject* project = new CProject();
  uint32_t seed = 1;
  for (int32_t size : kSizes) {
    CImage* image = new CImage();
    image->SetSize(size, size);
    project->AddImage(image);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    PaintIcon(*layer->GetPixels(), seed++);
    image->UpdateAll();
  }
  project->SetCurrentImage(project->GetFirstImage());
  return project;
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

#ifdef VC_BENCH_HAVE_PNG
void PngSink(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Size of the pixels as an RGBA PNG at the best compression with every filter tried.
size_t PngSize(const CPixelArray& a) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  std::vector<uint8_t> rows(static_cast<size_t>(a.width) * a.height * 4);
  std::vector<png_bytep> pointers(a.height);
  for (int32_t y = 0; y < a.height; ++y) {
    pointers[y] = rows.data() + static_cast<size_t>(y) * a.width * 4;
    for (int32_t x = 0; x < a.width; ++x) {
      const uint32_t p = a.GetPixel(x, y);
      pointers[y][4 * x] = static_cast<uint8_t>(p >> 16);
      pointers[y][4 * x + 1] = static_cast<uint8_t>(p >> 8);
      pointers[y][4 * x + 2] = static_cast<uint8_t>(p);
      pointers[y][4 * x + 3] = static_cast<uint8_t>(p >> 24);
    }
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  png_set_write_fn(png, &out, PngSink, nullptr);
  png_set_IHDR(png, info, a.width, a.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out.size();
}
#endif

}  // namespace

VC_BENCH("Project file") {
  zrInit();
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "vcbench-project.vcj";
  std::unique_ptr<CProject> project(MakeIconProject());

  uint64_t raw = 0;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext())
    raw += static_cast<uint64_t>(image->GetWidth()) * image->GetHeight() * 4;
  std::printf("project: %d images of 16 to 256 px, one 32-bit layer each, %llu bytes of pixels\n",
              project->GetImageCount(), static_cast<unsigned long long>(raw));

#ifdef VC_BENCH_HAVE_PNG
  size_t png = 0;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext())
    png += PngSize(*image->GetFirstLayer()->GetPixels());
  std::printf("PNG, level 9, all filters, one file per image: %zu bytes in all\n", png);
#else
  std::printf("PNG: not measured (libpng is not linked into this program)\n");
#endif

  std::printf("without thumbnail:\n%-12s %10s %10s %10s %8s\n", "compression", "bytes", "save ms",
              "load ms", "vs raw");
  for (int32_t compression = 0; compression <= 2; ++compression) {
    CProjectWriter writer;
    writer.SetCompression(compression);
    writer.SetEmbedThumbnails(false);
    writer.SetMaxThumbnailSize(256);
    writer.SetMaxThumbnailSizeEx(1024);
    bool ok = true;
    const double save = bench::TimePerRun(1.0, [&] {
      ok = ok && writer.Write(path.c_str(), project.get());
    });
    const uint64_t size = FileSize(path);
    CProjectReader reader;
    reader.SetRelaxedChecks(false);
    const double load = bench::TimePerRun(1.0, [&] {
      CProject* loaded = reader.Read(path.c_str());
      ok = ok && loaded != nullptr;
      delete loaded;
    });
    std::printf("%-12d %10llu %10.2f %10.2f %7.1f%%%s\n", compression,
                static_cast<unsigned long long>(size), save * 1e3, load * 1e3,
                raw ? 100.0 * static_cast<double>(size) / static_cast<double>(raw) : 0.0,
                ok ? "" : "  (failed)");
  }
  // The default settings also embed a thumbnail of the busiest image.
  CProjectWriter withThumbnail;
  withThumbnail.SetCompression(1);
  withThumbnail.SetEmbedThumbnails(true);
  withThumbnail.SetMaxThumbnailSize(256);
  withThumbnail.SetMaxThumbnailSizeEx(1024);
  if (withThumbnail.Write(path.c_str(), project.get()))
    std::printf("compression 1 with the embedded thumbnail: %llu bytes\n",
                static_cast<unsigned long long>(FileSize(path)));
  DeleteFileA(path.c_str());
}

// What the 64-bit program can hold and save, it opens: a project of more than 2 GiB in
// memory (a 17000 x 17000 image: composite, selection and layer) saved and loaded back.
VC_BENCH("Project over 2 GiB") {
  zrInit();
  const int32_t side = 17000;
  const uint64_t held = static_cast<uint64_t>(side) * side * (4 + 1 + 4);
  std::printf("project: one %d x %d image with one layer, %.2f GiB in memory\n", side, side,
              static_cast<double>(held) / (1 << 30));
  if (sizeof(void*) == 4 || GetReadMemoryBudget() < held + (uint64_t(1) << 30)) {
    std::printf("not measured: the process cannot commit that much (read budget %.2f GiB)\n",
                static_cast<double>(GetReadMemoryBudget()) / (1 << 30));
    return;
  }
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "vcbench-large.vcj";
  const uint32_t corner = 0x80C08040u, rest = 0xFF336699u;
  double save = 0, load = 0;
  bool saved = false;
  {
    std::unique_ptr<CProject> project(new CProject());
    CImage* image = new CImage();
    image->SetSize(side, side);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project->AddImage(image);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    CPixelArray* pixels = layer->GetPixels();
    pixels->Fill(rest);
    pixels->SetPixel(side - 1, side - 1, corner);
    image->UpdateAll();
    CProjectWriter writer;
    writer.SetCompression(1);
    writer.SetEmbedThumbnails(false);
    const double start = bench::Seconds();
    saved = writer.Write(path.c_str(), project.get());
    save = bench::Seconds() - start;
  }
  bool loaded = false;
  if (saved) {
    const double start = bench::Seconds();
    std::unique_ptr<CProject> back(CProjectReader().Read(path.c_str()));
    load = bench::Seconds() - start;
    CImage* image = back ? back->GetFirstImage() : nullptr;
    loaded = image && image->GetWidth() == side &&
             image->GetFirstLayer()->GetPixels()->GetPixel(side - 1, side - 1) == corner &&
             image->GetFirstLayer()->GetPixels()->GetPixel(0, 0) == rest;
  }
  std::printf("%llu bytes on disk; save %.2f s, load %.2f s: %s\n",
              static_cast<unsigned long long>(FileSize(path)), save, load,
              loaded ? "loads back" : "FAILED to load back");
  DeleteFileA(path.c_str());
}
