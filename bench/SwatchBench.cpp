// Swatch sets: saving and loading 100,000 swatches through the editor's own file commands.
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include "bench/Bench.h"
#include "document/Swatches.h"
#include "sys/ZR.h"

VC_BENCH("Swatch sets") {
  zrInit();
  const int32_t count = 100000;
  const double target = 0.2;
  bench::Random random(7);
  g_Swatches.Clear();
  g_Swatches.BeginUpdate();
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t value = random.Next();
    g_Swatches.AddColor(CColor(i % 3 ? value | 0xFF000000u : value));
  }
  g_Swatches.EndUpdate();

  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "vcbench-swatches.vccolors";
  bool ok = true;
  const double save = bench::TimePerRun(1.0, [&] { ok = SaveSwatchSet(path.c_str()) && ok; });
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  const double load = bench::TimePerRun(1.0, [&] { ok = LoadSwatchSet(path.c_str()) && ok; });
  ok = ok && g_Swatches.GetCount() == count && g_Swatches.FindByNumber(count) != nullptr;
  std::printf("%d swatches, %lu bytes%s\n", count, static_cast<unsigned long>(data.nFileSizeLow),
              ok ? "" : "  (FAILED)");
  std::printf("%-6s %10s %12s\n", "", "seconds", "target");
  std::printf("%-6s %10.3f %9s %.1f%s\n", "save", save, "under", target, save < target ? "" : "  (missed)");
  std::printf("%-6s %10.3f %9s %.1f%s\n", "load", load, "under", target, load < target ? "" : "  (missed)");
  DeleteFileA(path.c_str());
  g_Swatches.SetDefaults();
}
