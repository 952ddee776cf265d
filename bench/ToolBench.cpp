// Drawing tools on a 1024 x 1024 layer: flood fill and magic wand regions, a brush stroke of
// 1000 pointer positions and linear and radial gradient fills, each with its undo record.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include "bench/Bench.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/BrushTool.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/FillTools.h"
#include "tools/GradientTool.h"
#include "tools/WorkingCopies.h"

namespace {

const int32_t kSize = 1024;

// A speckled background split by walls with gaps: one region over the whole layer, with a
// ragged outline that the fill has to walk around.
void FillAreas(CPixelArray& a) {
  bench::Random random(3);
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x) {
      uint32_t c = (x % 97 == 0 && y % 256 > 20) ? 0xFF3060A0u : 0xFFE0E0D0u;
      if ((random.Next() & 15) == 0)
        c ^= 0x00101010u;
      a.SetPixel(x, y, c);
    }
}

struct Document {
  Document() {
    image = new CImage();
    image->SetSize(kSize, kSize);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project.AddImage(image);
    project.SetCurrentImage(image);
    SetCurrentProject(&project);
    layer = new CRasterLayer();
    image->AddLayer(layer);
    FillAreas(*layer->GetPixels());
    image->SetActiveLayer(layer);
    image->UpdateAll();
    image->GetSelection()->SyncToImage();
    ResyncWorkingCopies();
  }
  ~Document() {
    image->GetHistory()->Clear();
    SetCurrentProject(nullptr);
    ResyncWorkingCopies();
  }

  CProject project;
  CImage* image;
  CRasterLayer* layer;
};

// The main view's calls for one press, the moves and the release.
void Drag(CTool& tool, const Point* path, int32_t count) {
  tool.PointerEntered(path[0]);
  tool.GetCursor(path[0]);
  tool.MouseMove(path[0]);
  tool.MouseDown(1, path[0]);
  for (int32_t k = 1; k < count; ++k)
    tool.MouseMove(path[k]);
  tool.MouseUp(1, path[count - 1]);
  tool.EndDrag();
}

}  // namespace

VC_BENCH("drawing tools") {
  Document doc;
  const double pixels = double(kSize) * kSize;
  {
    CPixelArray* source = doc.layer->GetPixels();
    CMaskArray mask(kSize, kSize);
    CFloodFill fill;
    fill.SetSource(source);
    fill.SetTarget(&mask);
    fill.SetTolerance(80);
    Rect area;
    const double time = bench::TimePerRun(0.5, [&] { area = fill.Fill(10, 10); });
    std::printf("region search 1024 x 1024 (tolerance 80): %.2f ms, %.1f Mpixel/s, region %d x %d\n",
                time * 1e3, pixels / time / 1e6, area.GetWidth(), area.GetHeight());
  }
  {
    g_Settings.drawingToolsFloodFillerTolerance->SetValue(80);
    CFloodFillTool tool;
    const Point seed{10 * 256 + 128, 10 * 256 + 128};
    bool primary = true;
    const double time = bench::TimePerRun(0.5, [&] {
      SetPrimaryColor(CColor(primary ? 0xFF808040u : 0xFFE0E0D0u));
      primary = !primary;
      Drag(tool, &seed, 1);
      doc.image->GetHistory()->Clear();
    });
    std::printf("flood fill tool, 1024 x 1024 layer: %.2f ms per click (fill, recomposition, undo record)\n",
                time * 1e3);
  }
  {
    g_Settings.drawingToolsMagicWandTolerance->SetValue(80);
    CMagicWandTool tool;
    const Point seed{300 * 256 + 128, 20 * 256 + 128};
    const double time = bench::TimePerRun(0.5, [&] {
      Drag(tool, &seed, 1);
      doc.image->GetHistory()->Clear();
    });
    Rect bounds = doc.image->GetSelection()->GetBounds1x();
    std::printf("magic wand, 1024 x 1024 layer: %.2f ms per click, selection %d x %d\n", time * 1e3,
                bounds.GetWidth(), bounds.GetHeight());
    doc.image->GetSelection()->Clear();
    ResyncWorkingCopies();
  }
  {
    g_Settings.drawingToolsBrushSize->SetValue(16);
    g_Settings.drawingToolsBrushHardness->SetValue(50);
    g_Settings.drawingToolsBrushOpacity->SetValue(60);
    Point path[1000];
    for (int32_t k = 0; k < 1000; ++k) {
      const double t = k / 999.0;
      path[k].x = static_cast<int32_t>((100 + 800 * t) * 256);
      path[k].y = static_cast<int32_t>((512 + 300 * std::sin(t * 12.0)) * 256);
    }
    CBrushTool tool;
    const double time = bench::TimePerRun(1.0, [&] {
      Drag(tool, path, 1000);
      doc.image->GetHistory()->Clear();
    });
    std::printf("brush stroke of 1000 positions (size 16, hardness 50): %.1f ms\n", time * 1e3);
  }
  const Point anchor{100 * 256, 200 * 256};
  const Point vector{700 * 256, 500 * 256};
  for (int32_t type = GRADIENT_LINEAR; type <= GRADIENT_RADIAL; ++type) {
    const double time = bench::TimePerRun(0.5, [&] {
      FillGradient(anchor, vector, type, CColor(0xFF2040C0u), CColor(0x80F0E010u));
      doc.image->GetHistory()->Clear();
    });
    std::printf("%s gradient 1024 x 1024: %.1f ms, %.1f Mpixel/s (with undo record)\n",
                type == GRADIENT_LINEAR ? "linear" : "radial", time * 1e3, pixels / time / 1e6);
  }
}
