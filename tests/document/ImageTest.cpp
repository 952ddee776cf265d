#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <set>
#include "common/BoxWatcher.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Selection.h"

namespace {

uint64_t OpacityFactor(float p) {
  return static_cast<uint64_t>(std::llround(p * 16777216.0));
}

// Source over destination with an opacity, in 64-bit arithmetic.
uint32_t Over(uint32_t s, uint32_t d, float p) {
  uint64_t k = OpacityFactor(p), sa = s >> 24, da = d >> 24;
  if (k == 0 || sa == 0)
    return d;
  if (sa * k >= 0xFE800000u)
    return s;
  uint64_t a = (sa * k + 0x800000) >> 24;
  uint64_t b = ((255 - a) * da * 0x10101 + 0x800000) >> 24;
  if (a + b == 0)
    return 0;
  uint64_t r = (0x1000000u + (a + b) / 2) / (a + b);
  uint64_t out = (a + b) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    out |= (((((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * b) * r + 0x800000) >> 24) << shift;
  return static_cast<uint32_t>(out);
}

uint32_t Scaled(uint32_t pixel, float p) {
  uint64_t k = OpacityFactor(p);
  return (pixel & 0x00FFFFFF) | static_cast<uint32_t>(((k * (pixel >> 24) + 0x800000) >> 24) << 24);
}

uint32_t PatternPixel(int x, int y, uint32_t seed) {
  return ((x * 73856093u) ^ (y * 19349663u) ^ seed) * 2654435761u;
}

CRasterLayer* AddFilledLayer(CImage& image, uint32_t seed, bool opaque = false) {
  CRasterLayer* layer = new CRasterLayer();
  image.AddLayer(layer);
  CPixelArray* px = layer->GetPixels();
  for (int y = 0; y < px->height; ++y)
    for (int x = 0; x < px->width; ++x)
      px->SetPixel(x, y, PatternPixel(x, y, seed) | (opaque ? 0xFF000000u : 0));
  image.UpdateAll();
  return layer;
}

// The composite of the layers first..last computed here: the first visible layer and every
// replace layer copied with the alpha scaled, later normal layers composed over.
uint32_t Expected(CImage& image, int x, int y, CLayer* first = nullptr, CLayer* last = nullptr) {
  uint32_t result = 0;
  bool any = false;
  for (CLayer* l = first ? first : image.GetFirstLayer(); l; l = l->GetNext()) {
    if (l->IsVisible()) {
      uint32_t s = l->GetPixels()->GetPixel(x, y);
      result = (l->GetBlendMode() == 1 && any) ? Over(s, result, l->GetOpacity())
                                               : Scaled(s, l->GetOpacity());
      any = true;
    }
    if (l == last)
      break;
  }
  return result;
}

void ExpectArray(CPixelArray* a, CImage& image, CLayer* first = nullptr, CLayer* last = nullptr) {
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->width, image.GetWidth());
  for (int y = 0; y < a->height; ++y)
    for (int x = 0; x < a->width; ++x)
      ASSERT_EQ(a->GetPixel(x, y), Expected(image, x, y, first, last)) << x << "," << y;
}

std::set<uint32_t> PaletteColors(CPalette* palette) {
  std::set<uint32_t> colors;
  for (int i = 0; i < palette->GetCount(); ++i)
    colors.insert(palette->GetEntry(i)->GetColor());
  return colors;
}

// An image of one layer filled with colour, converted to format.
struct OneLayerImage {
  OneLayerImage(int w, int h, uint32_t color, int32_t format) {
    image.SetSize(w, h);
    layer = new CRasterLayer();
    image.AddLayer(layer);
    layer->GetPixels()->Fill(color);
    image.UpdateAll();
    image.SetTargetFormat(format);
  }
  uint32_t Shown(int x, int y) { return image.GetDisplayPixels()->GetPixel(x, y); }
  CImage image;
  CRasterLayer* layer;
};

}  // namespace

TEST(ImageTest, NewImageAndItsSize) {
  CImage image;
  EXPECT_EQ(image.GetKind(), 1);
  EXPECT_EQ(image.GetTargetFormat(), 0);
  EXPECT_FLOAT_EQ(image.GetXResolution(), 3779.5276f);
  EXPECT_FLOAT_EQ(image.GetYResolution(), 3779.5276f);
  EXPECT_TRUE(image.IsForExport());
  EXPECT_NE(image.GetSelection(), nullptr);
  EXPECT_EQ(image.GetPalette(), nullptr);
  EXPECT_EQ(image.GetDisplayPixels(), image.GetComposite());
  EXPECT_FALSE(image.IsModified());
  EXPECT_EQ(image.GetViewState().zoom, 0);
  image.SetSize(7, 5);
  EXPECT_EQ(image.GetComposite()->width, 7);
  EXPECT_EQ(image.GetComposite()->height, 5);
  EXPECT_EQ(image.GetSelection()->GetWidth(), 7);
  EXPECT_TRUE(image.IsModified());
  image.ClearModified();
  image.SetSize(7, 5);   // unchanged
  image.SetSize(-1, 5);  // refused
  EXPECT_FALSE(image.IsModified());
  EXPECT_EQ(image.GetWidth(), 7);
  image.SetYResolution(6.0f);
  EXPECT_TRUE(image.IsModified());
}

TEST(ImageCompositionTest, NoVisibleLayerGivesATransparentComposite) {
  CImage image;
  image.SetSize(4, 4);
  AddFilledLayer(image, 1, true)->SetVisible(false);
  image.GetComposite()->Fill(0xDEADBEEF);
  image.UpdateAll();
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(image.GetComposite()->data[i], 0u);
}

TEST(ImageCompositionTest, NormalLayersWithOpacityAndHiddenOnes) {
  CImage image;
  image.SetSize(9, 7);
  CRasterLayer* hidden = AddFilledLayer(image, 51, true);
  CRasterLayer* base = AddFilledLayer(image, 52);
  CRasterLayer* top = AddFilledLayer(image, 53);
  ExpectArray(image.GetComposite(), image);
  hidden->SetVisible(false);
  base->SetOpacity(0.75f);
  top->SetOpacity(0.3f);
  image.UpdateAll();
  ExpectArray(image.GetComposite(), image);
}

TEST(ImageCompositionTest, ReplaceMode) {
  CImage image;
  image.SetSize(6, 6);
  CRasterLayer* lower = AddFilledLayer(image, 31);
  CRasterLayer* upper = AddFilledLayer(image, 32);
  CPixelArray before(6, 6);
  before.CopyFrom(*image.GetComposite());
  lower->SetBlendMode(CLayer::BLEND_REPLACE);  // the first visible layer is copied anyway
  image.UpdateAll();
  for (int i = 0; i < 36; ++i)
    ASSERT_EQ(image.GetComposite()->data[i], before.data[i]);
  upper->SetBlendMode(CLayer::BLEND_REPLACE);
  image.UpdateAll();
  for (int i = 0; i < 36; ++i)
    ASSERT_EQ(image.GetComposite()->data[i], upper->GetPixels()->data[i]);
}

TEST(ImageCompositionTest, UnknownBlendModeDrawsNothingButLeavesADefinedBase) {
  CImage image;
  image.SetSize(4, 4);
  AddFilledLayer(image, 61, true)->SetBlendMode(7);
  CRasterLayer* top = AddFilledLayer(image, 62);
  image.GetComposite()->Fill(0xFFFFFFFF);
  image.UpdateAll();
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(image.GetComposite()->data[i], Over(top->GetPixels()->data[i], 0, 1.0f));
}

TEST(ImageCompositionTest, UpdateRectRecomposesOnlyTheRectangle) {
  CImage image;
  image.SetSize(6, 6);
  CRasterLayer* layer = AddFilledLayer(image, 71);
  layer->GetPixels()->Fill(0xFF00FF00);
  Rect r{2, 1, 4, 3};
  image.UpdateRect(&r);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
      ASSERT_EQ(image.GetComposite()->GetPixel(x, y), inside ? 0xFF00FF00u : PatternPixel(x, y, 71));
    }
  Rect beyond{-5, -5, 100, 100};  // clipped to the image
  image.UpdateRect(&beyond);
  EXPECT_EQ(image.GetComposite()->GetPixel(0, 0), 0xFF00FF00u);
}

TEST(ImageUpdateLockTest, ChangesInsideABracketRecomposeOnceAtTheEnd) {
  CImage image;
  image.SetSize(3, 3);
  CRasterLayer* layer = AddFilledLayer(image, 81);
  image.ClearModified();
  image.BeginUpdate();
  image.BeginUpdate();
  layer->GetPixels()->Fill(0xFF0000FF);
  image.UpdateAll();
  image.AddLayer(new CRasterLayer());
  layer->SetOpacity(0.5f);
  image.UpdateAll();
  image.EndUpdate();
  EXPECT_EQ(image.GetUpdateLock(), 1);
  EXPECT_FALSE(image.IsModified());  // nothing recomposed yet
  EXPECT_EQ(image.GetComposite()->GetPixel(0, 0), PatternPixel(0, 0, 81));
  Rect r{0, 0, 2, 3};
  image.EndUpdate(&r);
  EXPECT_EQ(image.GetUpdateLock(), 0);
  EXPECT_TRUE(image.IsModified());
  EXPECT_EQ(image.GetComposite()->GetPixel(1, 2), Expected(image, 1, 2));
  EXPECT_EQ(image.GetComposite()->GetPixel(2, 2), PatternPixel(2, 2, 81));
  image.EndUpdate();  // never below 0
  EXPECT_EQ(image.GetUpdateLock(), 0);
}

TEST(ImageUpdateLockTest, ReleaseWithoutRecompositionOnlyCounts) {
  CImage image;
  image.SetSize(2, 2);
  CRasterLayer* layer = AddFilledLayer(image, 91);
  image.ClearModified();
  image.BeginUpdate();
  layer->GetPixels()->Fill(0xFF0000FF);
  image.ReleaseUpdate();
  image.ReleaseUpdate();
  EXPECT_EQ(image.GetUpdateLock(), 0);
  EXPECT_FALSE(image.IsModified());
  EXPECT_EQ(image.GetComposite()->GetPixel(1, 1), PatternPixel(1, 1, 91));
}

TEST(ImageTargetFormatTest, ThirtyTwoAndTwentyFourBit) {
  OneLayerImage t(3, 1, 0, CImage::FORMAT_32BIT_ARGB);
  EXPECT_EQ(t.image.GetTargetFormat(), 0x200000);
  EXPECT_EQ(t.image.GetPalette(), nullptr);
  EXPECT_EQ(t.image.GetPreview(), nullptr);
  EXPECT_EQ(t.image.GetDisplayPixels(), t.image.GetComposite());
  CPixelArray* px = t.layer->GetPixels();
  px->SetPixel(0, 0, 0x7F112233);
  px->SetPixel(1, 0, 0x80445566);
  px->SetPixel(2, 0, 0x00778899);
  t.image.UpdateAll();
  t.image.SetTargetFormat(CImage::FORMAT_24BIT_RGB);
  ASSERT_NE(t.image.GetPreview(), nullptr);
  EXPECT_EQ(t.image.GetDisplayPixels(), t.image.GetPreview());
  EXPECT_EQ(t.Shown(0, 0), 0x00112233u);  // alpha 127: transparent, colour kept
  EXPECT_EQ(t.Shown(1, 0), 0xFF445566u);  // alpha 128: opaque
  EXPECT_EQ(t.Shown(2, 0), 0x00778899u);
  t.image.SetSize(5, 3);
  EXPECT_EQ(t.image.GetPreview()->width, 5);
}

TEST(ImageTargetFormatTest, OneAndFourBitUseTheFixedPalettes) {
  OneLayerImage t(2, 1, 0xFF202020, CImage::FORMAT_1BIT_PALETTE);
  t.layer->GetPixels()->SetPixel(1, 0, 0xFFE0E0E0);
  t.image.UpdateAll();
  ASSERT_NE(t.image.GetPalette(), nullptr);
  EXPECT_TRUE(t.image.IsPaletteFixed());
  EXPECT_EQ(t.image.GetPalette()->GetCount(), 2);
  EXPECT_EQ(t.Shown(0, 0), 0xFF000000u);
  EXPECT_EQ(t.Shown(1, 0), 0xFFFFFFFFu);
  t.layer->GetPixels()->SetPixel(0, 0, 0xFFF00A0A);
  t.layer->GetPixels()->SetPixel(1, 0, 0x10FFFFFF);
  t.image.SetTargetFormat(CImage::FORMAT_4BIT_PALETTE);
  t.image.UpdateAll();
  EXPECT_EQ(t.image.GetPalette()->GetCount(), 16);
  EXPECT_TRUE(t.image.IsPaletteFixed());
  EXPECT_EQ(t.Shown(0, 0), 0xFFFF0000u);
  EXPECT_EQ(t.Shown(1, 0), 0u);  // no transparent entry to map to
}

TEST(ImageTargetFormatTest, EightBitQuantisesFromTheComposite) {
  OneLayerImage t(4, 2, 0xFF3366CC, CImage::FORMAT_32BIT_ARGB);
  t.layer->GetPixels()->SetPixel(1, 0, 0xFFCC6633);
  t.layer->GetPixels()->SetPixel(2, 1, 0x20000000);
  t.image.UpdateAll();
  t.image.SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  ASSERT_NE(t.image.GetPalette(), nullptr);
  EXPECT_FALSE(t.image.IsPaletteFixed());
  EXPECT_EQ(PaletteColors(t.image.GetPalette()),
            (std::set<uint32_t>{0xFF3366CC, 0xFFCC6633, 0x00000000}));
  EXPECT_EQ(t.image.GetDisplayPixels(), t.image.GetPreview());
  EXPECT_EQ(t.Shown(0, 0), 0xFF3366CCu);
  EXPECT_EQ(t.Shown(1, 0), 0xFFCC6633u);
  EXPECT_EQ(t.Shown(2, 1), 0u);
  // To 32-bit and back: the palette and the preview go, a new palette comes.
  t.image.SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  EXPECT_EQ(t.image.GetPalette(), nullptr);
  EXPECT_EQ(t.image.GetPreview(), nullptr);
  t.layer->GetPixels()->Fill(0xFF405060);
  t.image.UpdateAll();
  t.image.SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  ASSERT_NE(t.image.GetPalette(), nullptr);
  EXPECT_EQ(PaletteColors(t.image.GetPalette()), std::set<uint32_t>{0xFF405060});
  EXPECT_EQ(t.Shown(3, 1), 0xFF405060u);
}

TEST(ImageTargetFormatTest, EditsRequantiseAndRemapTheWholePreview) {
  OneLayerImage t(32, 32, 0, CImage::FORMAT_32BIT_ARGB);
  CPixelArray* px = t.layer->GetPixels();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      px->SetPixel(x, y, 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | ((x + y) * 4));
  t.image.UpdateAll();
  t.image.SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  Rect r{10, 10, 14, 14};
  px->FillRect(r, 0xFFFF00FF);
  t.image.UpdateRect(&r);
  // Every shown pixel is a colour of the new palette, inside the rectangle or not.
  std::set<uint32_t> colors = PaletteColors(t.image.GetPalette());
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(colors.count(t.Shown(x, y)), 1u) << x << "," << y;
}

TEST(ImageTargetFormatTest, AFixedPaletteIsNotRequantised) {
  OneLayerImage t(2, 2, 0xFF00FF00, CImage::FORMAT_8BIT_PALETTE);
  t.image.SetPaletteFixed(true);
  t.layer->GetPixels()->Fill(0xFF0000FF);
  t.image.UpdateAll();
  EXPECT_EQ(PaletteColors(t.image.GetPalette()), std::set<uint32_t>{0xFF00FF00});
  EXPECT_EQ(t.Shown(0, 0), 0xFF00FF00u);
  t.image.ClearModified();
  t.image.SetPaletteFixed(false);  // rebuilt and remapped
  EXPECT_TRUE(t.image.IsModified());
  EXPECT_EQ(PaletteColors(t.image.GetPalette()), std::set<uint32_t>{0xFF0000FF});
  EXPECT_EQ(t.Shown(0, 0), 0xFF0000FFu);
}

TEST(ImageTargetFormatTest, FlagARemapsThePreview) {
  OneLayerImage t(1, 1, 0, CImage::FORMAT_4BIT_PALETTE);
  t.image.GetComposite()->Fill(0xFFFFFFFF);  // behind the preview's back
  t.image.ClearModified();
  t.image.SetFlagA(true);
  EXPECT_TRUE(t.image.GetFlagA());
  EXPECT_TRUE(t.image.IsModified());
  EXPECT_EQ(t.Shown(0, 0), 0xFFFFFFFFu);
  t.image.ClearModified();
  t.image.SetFlagA(true);  // unchanged
  EXPECT_FALSE(t.image.IsModified());
}

TEST(ImageTargetFormatTest, AnUnsupportedFormatIsRefused) {
  OneLayerImage t(2, 2, 0, CImage::FORMAT_4BIT_PALETTE);
  CPalette* palette = t.image.GetPalette();
  t.image.ClearModified();
  {
    BoxWatcher watcher("Vellumcraft :: Error");
    t.image.SetTargetFormat(0x100000);
    ASSERT_TRUE(watcher.WaitFor(1));
    EXPECT_EQ(watcher.Texts()[0], "Unsupported target format");
  }
  EXPECT_EQ(t.image.GetTargetFormat(), CImage::FORMAT_4BIT_PALETTE);
  EXPECT_EQ(t.image.GetPalette(), palette);
  EXPECT_NE(t.image.GetPreview(), nullptr);
  EXPECT_FALSE(t.image.IsModified());
}

TEST(ImageCacheTest, TheMiddleLayerHasBothCaches) {
  CImage image;
  image.SetSize(5, 4);
  CRasterLayer* l1 = AddFilledLayer(image, 111);
  CRasterLayer* l2 = AddFilledLayer(image, 112);
  CRasterLayer* l3 = AddFilledLayer(image, 113);
  CRasterLayer* l4 = AddFilledLayer(image, 114);
  l4->SetOpacity(0.4f);
  image.SetActiveLayer(l2);
  image.UpdateAll();
  ASSERT_NE(image.GetBelowCache(), nullptr);
  ASSERT_NE(image.GetAboveCache(), nullptr);
  EXPECT_NE(image.GetBelowCache(), image.GetAboveCache());
  ExpectArray(image.GetBelowCache(), image, l1, l1);
  ExpectArray(image.GetAboveCache(), image, l3, l4);
  l1->SetVisible(false);  // nothing visible below: no valid cache
  image.UpdateAll();
  EXPECT_EQ(image.GetBelowCache(), nullptr);
  ASSERT_NE(image.GetAboveCache(), nullptr);
}

TEST(ImageCacheTest, TopAndBottomLayersHaveOneCacheAndASingleLayerNone) {
  CImage image;
  image.SetSize(3, 3);
  CRasterLayer* l1 = AddFilledLayer(image, 121);
  image.SetActiveLayer(l1);
  EXPECT_EQ(image.GetBelowCache(), nullptr);
  EXPECT_EQ(image.GetAboveCache(), nullptr);
  CRasterLayer* l2 = AddFilledLayer(image, 122);
  image.SetActiveLayer(l2);
  EXPECT_EQ(image.GetAboveCache(), nullptr);
  ExpectArray(image.GetBelowCache(), image, l1, l1);
  image.SetActiveLayer(l1);  // switching the layer rebuilds the caches
  EXPECT_EQ(image.GetBelowCache(), nullptr);
  ExpectArray(image.GetAboveCache(), image, l2, l2);
  image.RemoveLayer(l2);
  EXPECT_EQ(image.GetAboveCache(), nullptr);
  delete l2;
}

TEST(ImageCacheTest, ALayerChangeUnderTheLockStillRebuildsTheWholeCaches) {
  CImage image;
  image.SetSize(6, 6);
  CRasterLayer* l1 = AddFilledLayer(image, 141);
  CRasterLayer* l2 = AddFilledLayer(image, 142);
  CRasterLayer* l3 = AddFilledLayer(image, 143);
  image.SetActiveLayer(l1);
  image.BeginUpdate();
  image.SetActiveLayer(l3);
  Rect r{0, 0, 1, 1};
  image.EndUpdate(&r);
  EXPECT_EQ(image.GetAboveCache(), nullptr);
  ExpectArray(image.GetBelowCache(), image, l1, l2);
}

TEST(ImageTest, MemorySizeAddsItsParts) {
  CImage image;
  image.SetSize(4, 4);
  CRasterLayer* l1 = AddFilledLayer(image, 1);
  CRasterLayer* l2 = AddFilledLayer(image, 2);
  CRasterLayer* l3 = AddFilledLayer(image, 3);
  image.SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  image.SetActiveLayer(l2);
  const uint32_t pixels = 16 + 4 * 4 * 4;  // composite, preview and each cache
  uint32_t expected = 128 + l1->GetMemorySize() + l2->GetMemorySize() + l3->GetMemorySize() +
                      image.GetPalette()->GetMemorySize() + image.GetSelection()->GetMemorySize() +
                      4 * pixels;
  EXPECT_EQ(image.GetMemorySize(), expected);
}

TEST(ImageTest, SupersampledLayerIsComposedFromItsReducedPixels) {
  CImage image;
  image.SetSize(2, 2);
  CRasterLayer* layer = new CRasterLayer();
  image.AddLayer(layer);
  layer->SetSupersampling(true);
  CPixelArray* edit = layer->GetPixelArray();
  edit->Fill(0);
  edit->FillRect(Rect{8, 0, 16, 8}, 0xFF00FF00);  // all of 1x pixel (1, 0)
  edit->FillRect(Rect{0, 8, 4, 16}, 0xFFFF0000);  // half of 1x pixel (0, 1)
  Rect r1 = SupersampleRectTo1x(Rect{0, 0, 16, 16});
  layer->Update(&r1);
  image.UpdateRect(&r1);
  EXPECT_EQ(image.GetComposite()->GetPixel(1, 0), 0xFF00FF00u);
  EXPECT_EQ(image.GetComposite()->GetPixel(0, 1), 0x80FF0000u);
  EXPECT_EQ(image.GetComposite()->GetPixel(0, 0), 0u);
  EXPECT_TRUE(image.GetSelection()->IsSupersampled());
}
