#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Selection.h"

namespace {

std::string DisplayName(const CLayer& layer, int length = 64) {
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  layer.GetDisplayName(buffer, length);
  return buffer;
}

// Counts destructions so that tests can see which layers were deleted.
class CountedLayer : public CRasterLayer {
public:
  explicit CountedLayer(int* counter) : counter(counter) {}
  ~CountedLayer() override { ++*counter; }
  int* counter;
};

uint32_t ScaledAlpha(uint32_t pixel, float opacity) {
  uint64_t k = static_cast<uint64_t>(std::llround(opacity * 16777216.0));
  uint64_t a = (k * (pixel >> 24) + 0x800000) >> 24;
  return (pixel & 0x00FFFFFF) | static_cast<uint32_t>(a << 24);
}

}  // namespace

TEST(LayerTest, DefaultsAndDisplayName) {
  CRasterLayer layer;
  EXPECT_EQ(layer.GetKind(), CLayer::KIND_RASTER);
  EXPECT_EQ(layer.GetId(), 0);
  EXPECT_TRUE(layer.IsVisible());
  EXPECT_EQ(layer.GetBlendMode(), CLayer::BLEND_NORMAL);
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 1.0f);
  EXPECT_STREQ(layer.GetName(), "");
  EXPECT_FALSE(layer.IsSupersampled());
  EXPECT_EQ(layer.GetSupersampleLevel(), 0);
  EXPECT_EQ(layer.GetSupersampleTop(), nullptr);
  EXPECT_EQ(layer.GetPixelArray(), layer.GetPixels());
  layer.SetLinkId(12);
  EXPECT_EQ(DisplayName(layer), "Layer 12");
  EXPECT_EQ(DisplayName(layer, 4), "Lay");  // cut and terminated
  EXPECT_EQ(DisplayName(layer, 1), "");
  layer.SetName("Shadow");
  EXPECT_EQ(DisplayName(layer), "Shadow");
  char untouched = 'q';
  layer.GetDisplayName(&untouched, 0);
  EXPECT_EQ(untouched, 'q');
}

TEST(LayerTest, OpacityIsLimitedToZeroToOne) {
  CRasterLayer layer;
  layer.SetOpacity(0.25f);
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 0.25f);
  layer.SetOpacity(1.5f);
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 1.0f);
  layer.SetOpacity(-0.5f);
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 0.0f);
  layer.SetOpacity(std::nanf(""));
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 0.0f);
  layer.SetOpacity(std::numeric_limits<float>::denorm_min());
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 0.0f);
  layer.SetOpacity(std::numeric_limits<float>::infinity());
  EXPECT_FLOAT_EQ(layer.GetOpacity(), 1.0f);
}

TEST(LayerTest, ResizeClearsAndFitFollowsTheOwner) {
  CRasterLayer layer;
  layer.Resize(3, 2);
  layer.GetPixels()->SetPixel(1, 1, 0xFFFFFFFF);
  layer.Resize(3, 2);  // unchanged: the pixels stay
  EXPECT_EQ(layer.GetPixels()->GetPixel(1, 1), 0xFFFFFFFFu);
  layer.Resize(2, 3);
  EXPECT_EQ(layer.GetWidth(), 2);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(layer.GetPixels()->data[i], 0u);
  EXPECT_EQ(layer.GetMemorySize(), 108u + 8u + 16u + 24u);
  layer.FitToImage();  // no owner: 0 x 0
  EXPECT_EQ(layer.GetWidth(), 0);
  EXPECT_EQ(layer.GetPixels()->width, 0);
}

TEST(LayerTest, SupersamplingEditsAndReducesTheEightXLevel) {
  CRasterLayer layer;
  layer.Resize(2, 2);
  layer.GetPixels()->SetPixel(1, 0, 0xFF00FF00);
  layer.SetSupersampling(true);
  EXPECT_EQ(layer.GetSupersampleLevel(), 3);
  uint32_t stack = 24 + (16 + 4 * 4 * 4) + (16 + 8 * 8 * 4) + (16 + 16 * 16 * 4);
  EXPECT_EQ(layer.GetMemorySize(), 108u + 8u + 16u + 16u + stack);
  CPixelArray* edit = layer.GetPixelArray();
  ASSERT_EQ(edit, layer.GetSupersampleTop());
  ASSERT_EQ(edit->width, 16);
  EXPECT_EQ(edit->GetPixel(15, 7), 0xFF00FF00u);
  EXPECT_EQ(edit->GetPixel(7, 7), 0u);
  // The upper half of 1x pixel (0, 1) painted opaque white.
  edit->FillRect(Rect{0, 8, 8, 12}, 0xFFFFFFFF);
  Rect r{0, 1, 1, 2};
  layer.Update(&r);
  EXPECT_EQ(layer.GetPixels()->GetPixel(0, 1), 0x80FFFFFFu);
  EXPECT_EQ(layer.GetPixels()->GetPixel(1, 0), 0xFF00FF00u);
  layer.SetSupersampling(false);
  EXPECT_EQ(layer.GetPixelArray(), layer.GetPixels());
  EXPECT_EQ(layer.GetPixels()->GetPixel(0, 1), 0x80FFFFFFu);
  layer.GetPixels()->Fill(0x11223344);
  layer.Update(nullptr);  // nothing to reduce
  EXPECT_EQ(layer.GetPixels()->GetPixel(1, 1), 0x11223344u);
}

TEST(LayerTest, ResizeOfASupersampledLayerClearsEveryLevel) {
  CRasterLayer layer;
  layer.Resize(2, 2);
  layer.SetSupersampling(true);
  layer.GetPixelArray()->Fill(0xFFFFFFFF);
  layer.Resize(3, 1);
  CPixelArray* edit = layer.GetPixelArray();
  ASSERT_EQ(edit->width, 24);
  ASSERT_EQ(edit->height, 8);
  for (int i = 0; i < 24 * 8; ++i)
    ASSERT_EQ(edit->data[i], 0u);
}

TEST(LayerTest, ReinsertingASupersampledLayerKeepsItsDetail) {
  CImage a, b;
  a.SetSize(2, 2);
  b.SetSize(2, 2);
  CRasterLayer* layer = new CRasterLayer;
  a.AddLayer(layer);
  layer->SetSupersampling(true);
  layer->GetPixelArray()->SetPixel(3, 5, 0xFF123456u);  // detail below the 1x resolution
  layer->Update(nullptr);
  a.RemoveLayer(layer);
  b.AddLayer(layer);  // same size: fitted without a change
  EXPECT_EQ(0xFF123456u, layer->GetPixelArray()->GetPixel(3, 5));
  EXPECT_EQ(0u, layer->GetPixelArray()->GetPixel(4, 5));
  layer->Resize(2, 2);
  EXPECT_EQ(0xFF123456u, layer->GetPixelArray()->GetPixel(3, 5));
}

TEST(LayerRenderTest, CopyBlendAndOtherModes) {
  CRasterLayer layer;
  layer.Resize(2, 1);
  layer.GetPixels()->SetPixel(0, 0, 0xFF102030);
  layer.GetPixels()->SetPixel(1, 0, 0x80405060);
  layer.SetOpacity(0.5f);
  CPixelArray target(6, 3);
  target.Fill(0xFFFFFFFF);
  layer.Render(target, Rect{0, 0, 6, 3}, Point{1, 1}, 2, CLayer::RENDER_COPY);
  for (int y = 1; y < 3; ++y) {
    EXPECT_EQ(target.GetPixel(2, y), ScaledAlpha(0xFF102030, 0.5f));
    EXPECT_EQ(target.GetPixel(3, y), ScaledAlpha(0x80405060, 0.5f));
  }
  // Opaque red at half opacity over transparent black: alpha 128, red 255.
  layer.GetPixels()->Fill(0xFFFF0000);
  target.Fill(0);
  layer.Render(target, Rect{0, 0, 6, 3}, Point{0, 0}, 3, CLayer::RENDER_BLEND);
  EXPECT_EQ(target.GetPixel(5, 2), 0x80FF0000u);
  target.Fill(0x01020304);
  layer.Render(target, Rect{0, 0, 6, 3}, Point{0, 0}, 1, 3);
  layer.Render(target, Rect{0, 0, 6, 3}, Point{0, 0}, 0, CLayer::RENDER_COPY);
  layer.Render(target, Rect{0, 0, 6, 3}, Point{0, 0}, -4, CLayer::RENDER_BLEND);
  EXPECT_EQ(target.GetPixel(0, 0), 0x01020304u);
}

TEST(LayerRenderTest, SupersampledLayerRendersTheLevelOfTheZoom) {
  CRasterLayer layer;
  layer.Resize(1, 1);
  layer.SetSupersampling(true);
  CPixelArray* top = layer.GetPixelArray();
  top->Fill(0);
  top->SetPixel(3, 5, 0xFF0000FF);
  layer.Update(nullptr);
  // Zoom 24: the 8x level at zoom 3.
  CPixelArray view(24, 24);
  layer.Render(view, Rect{0, 0, 24, 24}, Point{0, 0}, 24, CLayer::RENDER_COPY);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x)
      ASSERT_EQ(view.GetPixel(x, y), top->GetPixel(x / 3, y / 3));
  // Zoom 2: the 2x level at zoom 1.
  CPixelArray* level1 = layer.GetSupersampleStack()->GetLevel(1);
  layer.Render(view, Rect{0, 0, 2, 2}, Point{0, 0}, 2, CLayer::RENDER_COPY);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      ASSERT_EQ(view.GetPixel(x, y), level1->GetPixel(x, y));
}

// ---------------------------------------------------------------------------------------------
// Layers in an image

TEST(ImageLayersTest, InsertionFitsNumbersAndIdentifiesTheLayer) {
  CImage image;
  image.SetSize(5, 4);
  CRasterLayer* a = new CRasterLayer();
  CRasterLayer* b = new CRasterLayer();
  CRasterLayer* c = new CRasterLayer();
  image.AddLayer(a);
  image.AddLayer(b);
  image.InsertLayer(c, a);  // at the bottom
  const CLayer* order[] = {c, a, b};
  const int ids[] = {3, 1, 2};
  int n = 0;
  for (CLayer* l = image.GetFirstLayer(); l; l = l->GetNext(), ++n) {
    EXPECT_EQ(l, order[n]);
    EXPECT_EQ(l->GetListNumber(), n + 1);
    EXPECT_EQ(l->GetId(), ids[n]);
    EXPECT_EQ(l->GetLinkId(), ids[n]);  // display numbers count up like the ids here
    EXPECT_EQ(l->GetOwner(), &image);
    EXPECT_EQ(l->GetWidth(), 5);
    EXPECT_EQ(l->GetHeight(), 4);
  }
  EXPECT_EQ(n, 3);
  EXPECT_EQ(image.GetLayerCount(), 3);
  EXPECT_EQ(image.GetLastLayer(), b);
  EXPECT_EQ(image.FindLayer(2), b);
  EXPECT_EQ(image.FindLayer(9), nullptr);
}

TEST(ImageLayersTest, NewIds) {
  CImage image;
  for (int i = 1; i <= 3; ++i) {
    CRasterLayer* l = new CRasterLayer();
    l->SetId(i);
    image.AddLayer(l);
  }
  CRasterLayer* fresh = new CRasterLayer();
  image.AddLayer(fresh);
  EXPECT_EQ(fresh->GetId(), 4);  // ids 1, 2, 3: one above the highest
  CImage gaps;
  CRasterLayer* two = new CRasterLayer();
  two->SetId(2);
  CRasterLayer* five = new CRasterLayer();
  five->SetId(5);
  gaps.AddLayer(two);
  gaps.AddLayer(five);
  CRasterLayer* first = new CRasterLayer();
  gaps.AddLayer(first);
  EXPECT_EQ(first->GetId(), 1);  // count 3, highest 5: the smallest free id
  CRasterLayer* second = new CRasterLayer();
  gaps.AddLayer(second);
  EXPECT_EQ(second->GetId(), 3);
  EXPECT_EQ(five->GetId(), 5);
}

TEST(ImageLayersTest, DeletingALayerRenumbersListNumbersOnly) {
  CImage image;
  CRasterLayer* l1 = new CRasterLayer();
  CRasterLayer* l2 = new CRasterLayer();
  CRasterLayer* l3 = new CRasterLayer();
  image.AddLayer(l1);
  image.AddLayer(l2);
  image.AddLayer(l3);
  delete l2;  // the destructor takes it out of the image
  EXPECT_EQ(image.GetLayerCount(), 2);
  EXPECT_EQ(l1->GetNext(), l3);
  EXPECT_EQ(l3->GetPrevious(), l1);
  EXPECT_EQ(l3->GetListNumber(), 2);
  EXPECT_EQ(DisplayName(*l3), "Layer 3");
  CRasterLayer* l4 = new CRasterLayer();
  image.AddLayer(l4);
  EXPECT_EQ(DisplayName(*l4), "Layer 4");
}

TEST(ImageLayersTest, RemoveUnlinksWithoutDeleting) {
  int deleted = 0;
  CImage image;
  image.SetSize(2, 2);
  CountedLayer* a = new CountedLayer(&deleted);
  CountedLayer* b = new CountedLayer(&deleted);
  image.AddLayer(a);
  image.AddLayer(b);
  image.SetActiveLayer(a);
  image.RemoveLayer(a);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(image.GetActiveLayer(), nullptr);
  EXPECT_EQ(a->GetOwner(), nullptr);
  EXPECT_EQ(a->GetNext(), nullptr);
  EXPECT_EQ(a->GetListNumber(), 0);
  EXPECT_EQ(b->GetListNumber(), 1);
  image.RemoveLayer(a);  // not in the image any more: nothing
  EXPECT_EQ(image.GetLayerCount(), 1);
  image.AddLayer(a);
  EXPECT_EQ(a->GetId(), 1);  // the id stays for undo
  image.DeleteAllLayers();
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(image.GetLayerCount(), 0);
  EXPECT_EQ(image.GetFirstLayer(), nullptr);
  EXPECT_EQ(image.GetLastLayer(), nullptr);
}

TEST(ImageLayersTest, MoveRelinksAndRenumbers) {
  CImage image;
  CRasterLayer* l[4];
  for (auto& p : l) {
    p = new CRasterLayer();
    image.AddLayer(p);
  }
  image.MoveLayer(l[3], l[0]);     // top to bottom
  image.MoveLayer(l[0], nullptr);  // to the top
  image.MoveLayer(l[1], l[1]);     // onto itself: nothing
  CRasterLayer stranger;
  image.MoveLayer(&stranger, nullptr);  // not in the image: nothing
  const CLayer* order[] = {l[3], l[1], l[2], l[0]};
  int n = 0;
  for (CLayer* p = image.GetFirstLayer(); p; p = p->GetNext(), ++n) {
    EXPECT_EQ(p, order[n]);
    EXPECT_EQ(p->GetListNumber(), n + 1);
  }
  EXPECT_EQ(n, 4);
  EXPECT_EQ(image.GetLastLayer(), l[0]);
  EXPECT_EQ(stranger.GetOwner(), nullptr);
}

TEST(ImageLayersTest, LayersOfAnotherImage) {
  CImage first, second;
  first.SetSize(2, 2);
  second.SetSize(3, 3);
  CRasterLayer* a = new CRasterLayer();
  CRasterLayer* b = new CRasterLayer();
  CRasterLayer* c = new CRasterLayer();
  first.AddLayer(a);
  first.AddLayer(b);
  second.AddLayer(a);  // moves it
  EXPECT_EQ(first.GetLayerCount(), 1);
  EXPECT_EQ(b->GetListNumber(), 1);
  EXPECT_EQ(a->GetOwner(), &second);
  EXPECT_EQ(a->GetWidth(), 3);
  first.InsertLayer(c, a);  // a belongs to the other image: on top
  EXPECT_EQ(first.GetLastLayer(), c);
  EXPECT_EQ(a->GetPrevious(), nullptr);
  first.SetActiveLayer(a);  // refused
  EXPECT_EQ(first.GetActiveLayer(), nullptr);
}

TEST(LayerTest, SelectionMaskIsTheOneAtTheEditResolution) {
  CImage image;
  image.SetSize(2, 2);
  auto* layer = new CRasterLayer();
  image.AddLayer(layer);
  CSelection* selection = image.GetSelection();
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(layer->GetSelectionMask(), nullptr);
  selection->SetActive(true);
  EXPECT_EQ(layer->GetSelectionMask(), selection->GetMask());
  layer->SetSupersampling(true);
  image.UpdateAll();
  ASSERT_NE(layer->GetSelectionMask(), nullptr);
  EXPECT_EQ(layer->GetSelectionMask(), selection->GetSupersampleTop());
  EXPECT_EQ(layer->GetSelectionMask()->width, layer->GetPixelArray()->width);
}
