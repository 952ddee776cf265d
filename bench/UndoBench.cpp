// Undo store: recording, undoing and redoing a change of a whole 256 x 256 layer, and the
// undo memory that 100 pencil-like strokes keep.
#include <cstdint>
#include <cstdio>
#include "bench/Bench.h"
#include "document/Actions.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "tools/CurrentImage.h"

namespace {

const int32_t kSize = 256;

// Soft gradients with a little noise, like a drawn icon.
void FillIconLike(CPixelArray& a, uint32_t seed) {
  bench::Random random(seed);
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x) {
      const uint32_t r = static_cast<uint32_t>(x) + (random.Next() & 3);
      const uint32_t g = static_cast<uint32_t>(y);
      const uint32_t b = static_cast<uint32_t>((x + y) / 2);
      a.SetPixel(x, y, 0xFF000000u | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
    }
}

// A round-ended line of the given width from (x0, y0) to (x1, y1) in one colour.
Rect PaintStroke(CPixelArray& a, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                 uint32_t color) {
  Rect r;
  r.left = (x0 < x1 ? x0 : x1) - width;
  r.top = (y0 < y1 ? y0 : y1) - width;
  r.right = (x0 > x1 ? x0 : x1) + width + 1;
  r.bottom = (y0 > y1 ? y0 : y1) + width + 1;
  r = r.Intersect(Rect{0, 0, a.width, a.height});
  const double dx = x1 - x0, dy = y1 - y0;
  const double length2 = dx * dx + dy * dy;
  const double radius2 = width * width / 4.0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      double t = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0.0;
      t = t < 0 ? 0 : (t > 1 ? 1 : t);
      const double px = x0 + t * dx - x, py = y0 + t * dy - y;
      if (px * px + py * py <= radius2)
        a.SetPixel(x, y, color);
    }
  return r;
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
    FillIconLike(*layer->GetPixels(), 1);
    image->UpdateAll();
    image->SetActiveLayer(layer);
  }
  ~Document() { SetCurrentProject(nullptr); }

  CProject project;
  CImage* image;
  CRasterLayer* layer;
};

}  // namespace

VC_BENCH("undo") {
  {
    Document doc;
    CPixelArray* pixels = doc.layer->GetPixels();
    CPixelArray before(kSize, kSize);
    before.CopyFrom(*pixels);
    FillIconLike(*pixels, 2);
    pixels->ScaleAlpha(0.8f);
    doc.image->UpdateAll();

    const double store = bench::TimePerRun(0.5, [&] {
      g_LzwEncoder.Reset();
      delete g_LzwEncoder.StorePixelRect(*pixels, &before, nullptr);
    });
    CModifyLayerAction* action = new CModifyLayerAction();
    action->SetBlock(g_LzwEncoder.StorePixelRect(*pixels, &before, nullptr));
    const int32_t packed = action->GetBlock()->GetCompressedSize();
    doc.image->GetHistory()->Add(action);
    const double cycle = bench::TimePerRun(1.0, [&] {
      doc.image->GetHistory()->Undo();
      doc.image->GetHistory()->Redo();
    });
    std::printf("full-layer change, 256 x 256: record %.2f ms (%d bytes packed of %d)\n",
                store * 1e3, packed, kSize * kSize * 4);
    std::printf("full-layer change, 256 x 256: undo + redo %.2f ms\n", cycle * 1e3);
  }
  {
    Document doc;
    CPixelArray* pixels = doc.layer->GetPixels();
    CPixelArray before(kSize, kSize);
    bench::Random random(5);
    const int64_t base = g_UndoRegistry.GetTotalBytes();
    const double start = bench::Seconds();
    for (int32_t i = 0; i < 100; ++i) {
      before.CopyFrom(*pixels);
      const int32_t x0 = static_cast<int32_t>(random.Next() % kSize);
      const int32_t y0 = static_cast<int32_t>(random.Next() % kSize);
      const int32_t x1 = static_cast<int32_t>(random.Next() % kSize);
      const int32_t y1 = static_cast<int32_t>(random.Next() % kSize);
      const Rect r = PaintStroke(*pixels, x0, y0, x1, y1, 1 + static_cast<int32_t>(i % 12),
                                 0xFF000000u | random.Next());
      doc.image->UpdateRect(&r);
      CModifyLayerAction* stroke = new CModifyLayerAction();
      stroke->SetName("Pencil Stroke");
      stroke->SetBlock(g_LzwEncoder.StorePixelRect(*pixels, &before, &r));
      doc.image->GetHistory()->Add(stroke);
    }
    const double elapsed = bench::Seconds() - start;
    std::printf("100 strokes: %d actions kept, %.1f KB of undo memory, %.2f ms per stroke\n",
                doc.image->GetHistory()->GetCount(),
                static_cast<double>(g_UndoRegistry.GetTotalBytes() - base) / 1024.0,
                elapsed * 10.0);
  }
}
