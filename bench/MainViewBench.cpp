// The main view repainting a 256 x 256 image (a layer below the current one, the current
// layer and a selection outline) in an 800 x 600 view, whole and in tiles, at zoom 1, 8 and
// 32 (the grid is drawn from zoom 4 on).
#include <cstdint>
#include <cstdio>
#include "bench/Bench.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "ui/MainView.h"
#include "wul/WULCanvas.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"

namespace {

const int32_t kSize = 256;

class BenchHost : public CWULFramedWindow {
public:
  BenchHost() {
    style |= WS_POPUP;
    x = 0;
    y = 0;
    width = 800;
    height = 600;
  }
};

void FillLayer(CPixelArray& a, uint32_t seed) {
  bench::Random random(seed);
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x)
      a.SetPixel(x, y, random.Next());
}

}  // namespace

VC_BENCH("main view") {
  WULInit(GetModuleHandleA(nullptr));
  if (!g_Settings.uiColorsChequerA)
    g_Settings.Init();
  CProject project;
  CImage* image = new CImage();
  image->SetSize(kSize, kSize);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  project.AddImage(image);
  CRasterLayer* below = new CRasterLayer();
  image->AddLayer(below);
  FillLayer(*below->GetPixels(), 5);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  FillLayer(*layer->GetPixels(), 9);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  CSelection* selection = image->GetSelection();
  selection->SyncToImage();
  Rect area;
  area.left = 40;
  area.top = 50;
  area.right = 200;
  area.bottom = 180;
  selection->GetMask()->FillRect(area, 255);
  selection->Update(nullptr);
  selection->SetActive(true);
  project.SetCurrentImage(image);
  SetCurrentProject(&project);

  BenchHost* host = new BenchHost();
  CWULTiledCanvas* view = CreateMainView(host);
  host->IncarnateTree(nullptr);
  const double pixels = double(view->GetVisibleWidth()) * view->GetVisibleHeight();
  const int32_t indices[] = {0, 3, 6};
  for (int32_t index : indices) {
    MainView::SetZoomIndex(index, nullptr);
    MainView::CenterOn(Point{kSize * 128, kSize * 128});
    const int modes[] = {WUL_PAINT_WHOLE, WUL_PAINT_TILES};
    for (int mode : modes) {
      view->SetPaintMode(mode);
      const RECT all = {0, 0, view->GetVisibleWidth(), view->GetVisibleHeight()};
      const double time = bench::TimePerRun(0.5, [&] { view->RenderTiles(view->GetFirstOverlay(), &all); });
      std::printf("main view %d x %d, zoom %2d, %s, %s: %.2f ms per repaint, %.1f Mpixel/s\n",
                  view->GetVisibleWidth(), view->GetVisibleHeight(), MainView::GetZoomFactor(),
                  MainView::GetZoomFactor() >= 4 ? "grid" : "no grid below zoom 4",
                  mode == WUL_PAINT_TILES ? "64-pixel tiles" : "whole", time * 1e3, pixels / time / 1e6);
    }
  }
  delete host;
  SetCurrentProject(nullptr);
}
