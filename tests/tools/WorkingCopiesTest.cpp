#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "ToolTestSupport.h"
#include "document/Supersample.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Scratch arrays

TEST(ScratchArray, GrowsExactlyAndNeverShrinks) {
  CScratchPixelArray pixels;
  EXPECT_EQ(pixels.GetCapacity(), 0u);
  EXPECT_TRUE(pixels.SetSize(4, 3));
  EXPECT_EQ(pixels.GetCapacity(), 48u);
  EXPECT_EQ(pixels.width, 4);
  EXPECT_EQ(pixels.height, 3);
  ASSERT_NE(pixels.data, nullptr);
  pixels.Fill(0x12345678u);
  EXPECT_TRUE(pixels.SetSize(2, 2));
  EXPECT_EQ(pixels.GetCapacity(), 48u);
  EXPECT_EQ(pixels.GetPixel(1, 1), 0x12345678u);  // same buffer
  EXPECT_TRUE(pixels.SetSize(5, 5));
  EXPECT_EQ(pixels.GetCapacity(), 100u);
  pixels.Reserve(100);  // unchanged
  EXPECT_EQ(pixels.width, 5);
  pixels.Reserve(8);
  EXPECT_EQ(pixels.GetCapacity(), 8u);
  EXPECT_EQ(pixels.width, 0);
  pixels.Release();
  EXPECT_EQ(pixels.GetCapacity(), 0u);
  EXPECT_EQ(pixels.data, nullptr);
}

TEST(ScratchArray, RefusesImpossibleSizes) {
  CScratchPixelArray pixels;
  EXPECT_TRUE(pixels.SetSize(2, 2));
  EXPECT_FALSE(pixels.SetSize(-1, 5));
  EXPECT_EQ(pixels.width, 0);
  EXPECT_EQ(pixels.height, 0);
  EXPECT_FALSE(pixels.SetSize(0x10000, 0x10000));  // 16 GB
  EXPECT_EQ(pixels.width, 0);
  EXPECT_EQ(pixels.GetCapacity(), 16u);  // the buffer is kept
  CScratchMaskArray mask;
  EXPECT_TRUE(mask.SetSize(3, 3));
  EXPECT_EQ(mask.GetCapacity(), 9u);
  EXPECT_FALSE(mask.SetSize(0x7FFFFFFF, 2));
  EXPECT_EQ(mask.width, 0);
}

// ---------------------------------------------------------------------------------------------
// Reserves

TEST(WorkingCopies, ReserveForTheLargestImage) {
  TestDocument doc(4, 4);
  CImage* large = doc.AddImage(10, 10);
  ResyncWorkingCopies();
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 400u);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().GetCapacity(), 100u);
  EXPECT_EQ(g_SelectionWorkingCopy.GetMask().GetCapacity(), 100u);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 4);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 4);

  // A supersampled layer reserves 8x both ways.
  CRasterLayer* layer = new CRasterLayer();
  large->AddLayer(layer);
  layer->SetSupersampling(true);
  large->UpdateAll();
  ResyncWorkingCopies();
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 64u * 400u);
  ASSERT_TRUE(large->GetSelection()->IsSupersampled());
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().GetCapacity(), 6400u);
  EXPECT_EQ(g_SelectionWorkingCopy.GetPlainMask().GetCapacity(), 100u);

  // Switching to the smaller image keeps the large buffer.
  doc.project->SetCurrentImage(doc.image);
  ResyncWorkingCopies();
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 64u * 400u);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 4);
}

TEST(WorkingCopies, AnotherProjectReservesExactlyItsMaximum) {
  {
    TestDocument big(30, 30);
    EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 3600u);
  }
  TestDocument small(3, 5);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 60u);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().GetCapacity(), 15u);
}

TEST(WorkingCopies, NoProjectNoCapacity) {
  SetCurrentProject(nullptr);
  ResyncWorkingCopies();
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetCapacity(), 0u);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 0);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWidth(), 0);
  EXPECT_FALSE(EnsureLayerWorkingCopy());
  EXPECT_FALSE(EnsureSelectionWorkingCopy());
  EXPECT_FALSE(CommitLayerWorkingCopy());
  EXPECT_FALSE(CommitSelectionWorkingCopy());
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST(WorkingCopies, LoadTakesTheLayerAsItIs) {
  TestDocument doc(6, 5);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 6);
  EXPECT_EQ(g_LayerWorkingCopy.GetHeight(), 5);
  EXPECT_FALSE(g_LayerWorkingCopy.IsSupersampled());
  EXPECT_EQ(PixelsOf(g_LayerWorkingCopy.GetPixels()), PixelsOf(*doc.layer->GetPixels()));
}

TEST(WorkingCopies, SupersampledLayerIsCopiedAtItsEditResolution) {
  TestDocument doc(3, 2, true);
  EXPECT_TRUE(g_LayerWorkingCopy.IsSupersampled());
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 3);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 24);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().height, 16);
  EXPECT_EQ(PixelsOf(g_LayerWorkingCopy.GetPixels()), PixelsOf(*doc.layer->GetPixelArray()));
  EXPECT_TRUE(g_SelectionWorkingCopy.IsSupersampled());
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().width, 24);
  EXPECT_EQ(g_SelectionWorkingCopy.GetMask().width, 3);

  g_LayerWorkingCopy.SetSupersampled(false);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 3);
  g_LayerWorkingCopy.SetSize(7, 1);
  EXPECT_FALSE(g_LayerWorkingCopy.IsSupersampled());
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 7);
}

TEST(WorkingCopies, SelectionCopyHoldsBothMasks) {
  TestDocument doc(4, 4);
  CSelection* selection = doc.image->GetSelection();
  selection->GetMask()->Fill(0);
  selection->GetMask()->data[5] = 200;
  selection->SetActive(true);
  selection->Update(nullptr);
  ResyncWorkingCopies();
  EXPECT_FALSE(g_SelectionWorkingCopy.IsSupersampled());
  EXPECT_EQ(&g_SelectionWorkingCopy.GetMask(), &g_SelectionWorkingCopy.GetWorkingMask());
  EXPECT_EQ(g_SelectionWorkingCopy.GetMask().data[5], 200);

  selection->SetSupersampling(true);
  ResyncWorkingCopies();
  EXPECT_TRUE(g_SelectionWorkingCopy.IsSupersampled());
  EXPECT_EQ(g_SelectionWorkingCopy.GetMask().width, 4);
  EXPECT_EQ(g_SelectionWorkingCopy.GetMask().data[5], 200);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().width, 32);
  // The pixel (1, 1) was expanded into the 8 x 8 block at (8, 8).
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().data[9 * 32 + 9], 200);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().data[0], 0);
}

TEST(WorkingCopies, EnsureReloadsOnlyStaleCopies) {
  TestDocument doc(4, 4);
  // A fresh copy is left alone, even when its pixels were changed.
  g_LayerWorkingCopy.GetPixels().SetPixel(0, 0, 0xDEADBEEFu);
  EXPECT_TRUE(EnsureLayerWorkingCopy());
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetPixel(0, 0), 0xDEADBEEFu);
  // A pending offset forces a reload although the size matches.
  g_LayerWorkingCopy.GetOffsetRef().x = 256;
  EXPECT_TRUE(EnsureLayerWorkingCopy());
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().GetPixel(0, 0), doc.layer->GetPixels()->GetPixel(0, 0));
  EXPECT_EQ(g_LayerWorkingCopy.GetOffsetRef().x, 0);
  // So does another supersampling.
  doc.layer->SetSupersampling(true);
  EXPECT_TRUE(EnsureLayerWorkingCopy());
  EXPECT_TRUE(g_LayerWorkingCopy.IsSupersampled());
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 32);

  g_SelectionWorkingCopy.GetOffsetRef().y = -3;
  g_SelectionWorkingCopy.GetMask().data[0] = 77;
  EXPECT_TRUE(EnsureSelectionWorkingCopy());
  EXPECT_EQ(g_SelectionWorkingCopy.GetOffsetRef().y, 0);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWorkingMask().data[0], 0);
}

// ---------------------------------------------------------------------------------------------
// Commits

TEST(WorkingCopies, CommitShiftsTheLayer) {
  TestDocument doc(70, 67);  // more than one tile each way
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  g_LayerWorkingCopy.GetOffsetRef() = Point{3 * 256 + 200, -2 * 256};  // 3 right, 2 up
  ASSERT_TRUE(CommitLayerWorkingCopy());
  const CPixelArray& after = *doc.layer->GetPixels();
  for (int y = 0; y < 67; ++y) {
    for (int x = 0; x < 70; ++x) {
      const int sx = x - 3, sy = y + 2;
      const uint32_t expected = sx >= 0 && sy < 67 ? before[sy * 70 + sx] : 0u;
      ASSERT_EQ(after.GetPixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(WorkingCopies, CommitFarAwayClearsTheLayer) {
  TestDocument doc(8, 8);
  g_LayerWorkingCopy.GetOffsetRef() = Point{-100 * 256, 0};
  ASSERT_TRUE(CommitLayerWorkingCopy());
  for (uint32_t p : PixelsOf(*doc.layer->GetPixels()))
    ASSERT_EQ(p, 0u);
}

TEST(WorkingCopies, CommitWithSelectionMovesOnlyTheSelectedPart) {
  TestDocument doc(8, 8);
  CSelection* selection = doc.image->GetSelection();
  CMaskArray* mask = selection->GetMask();
  mask->Fill(0);
  mask->FillRect(Rect{2, 2, 4, 4}, 255);
  selection->SetActive(true);
  selection->Update(nullptr);
  ResyncWorkingCopies();
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  g_LayerWorkingCopy.GetOffsetRef() = Point{100 * 256, 0};
  ASSERT_TRUE(CommitLayerWorkingCopy());
  const CPixelArray& after = *doc.layer->GetPixels();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool selected = x >= 2 && x < 4 && y >= 2 && y < 4;
      ASSERT_EQ(after.GetPixel(x, y), selected ? 0u : before[y * 8 + x]) << x << "," << y;
    }
  }

  // A move by one pixel carries the selected block along.
  FillPattern(*doc.layer->GetPixels(), 99);
  ResyncWorkingCopies();
  const std::vector<uint32_t> second = PixelsOf(*doc.layer->GetPixels());
  g_LayerWorkingCopy.GetOffsetRef() = Point{256, 0};
  ASSERT_TRUE(CommitLayerWorkingCopy());
  // Pixel (4, 2) lies outside the mask: the moved pixel from (3, 2) arrives through the
  // mask at its source, which is fully selected.
  EXPECT_EQ(after.GetPixel(2, 2), 0u);
  EXPECT_EQ(after.GetPixel(3, 2), second[2 * 8 + 2]);
  EXPECT_EQ(after.GetPixel(4, 2), second[2 * 8 + 3]);
  EXPECT_EQ(after.GetPixel(5, 2), second[2 * 8 + 5]);
}

TEST(WorkingCopies, SupersampledCommitShiftsInEighths) {
  TestDocument doc(2, 2, true);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixelArray());
  g_LayerWorkingCopy.GetOffsetRef() = Point{32 * 3, 0};  // three 8x pixels
  ASSERT_TRUE(CommitLayerWorkingCopy());
  const CPixelArray& after = *doc.layer->GetPixelArray();
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(after.GetPixel(x, y), x >= 3 ? before[y * 16 + x - 3] : 0u);
  // The 1x level followed: its left column now averages partly transparent blocks.
  CPixelArray reduced(2, 2);
  CPixelSupersampleStack stack;
  stack.Attach(&reduced);
  stack.GetLevel(3)->CopyFrom(after);
  stack.Reduce(nullptr);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(reduced));
}

TEST(WorkingCopies, CommitRefusesACopyThatLostItsPixels) {
  TestDocument doc(4, 4);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  // A copy too large to allocate keeps its size but has no pixels: it must not clear the layer.
  g_LayerWorkingCopy.SetSize(0x7FFFFFF, 0x7FFFFFF);
  EXPECT_EQ(g_LayerWorkingCopy.GetPixels().width, 0);
  EXPECT_FALSE(CommitLayerWorkingCopy());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  // So is a copy at another resolution than the layer.
  g_LayerWorkingCopy.SetSize(4, 4);
  g_LayerWorkingCopy.SetSupersampled(true);
  EXPECT_FALSE(CommitLayerWorkingCopy());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
}

TEST(WorkingCopies, CopyOfAnotherShapeIsPlacedAtItsOffset) {
  TestDocument doc(5, 4);
  // A 3 x 6 copy (a pasted image) placed at (3, -1): what lies outside stays in the copy.
  g_LayerWorkingCopy.SetSize(3, 6);
  FillPattern(g_LayerWorkingCopy.GetPixels(), 5);
  const std::vector<uint32_t> copy = PixelsOf(g_LayerWorkingCopy.GetPixels());
  g_LayerWorkingCopy.GetOffsetRef() = Point{3 * 256, -256};
  ASSERT_TRUE(CommitLayerWorkingCopy());
  const CPixelArray& after = *doc.layer->GetPixels();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int sx = x - 3, sy = y + 1;
      const uint32_t expected = sx >= 0 && sx < 3 && sy < 6 ? copy[sy * 3 + sx] : 0u;
      ASSERT_EQ(after.GetPixel(x, y), expected) << x << "," << y;
    }
  }
  // Moved back onto the layer, the part that was outside returns.
  g_LayerWorkingCopy.GetOffsetRef() = Point{0, 0};
  ASSERT_TRUE(CommitLayerWorkingCopy());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(after.GetPixel(x, y), x < 3 ? copy[y * 3 + x] : 0u) << x << "," << y;
  // With an active selection the layer-sized mask does not fit such a copy: refused.
  CSelection* selection = doc.image->GetSelection();
  selection->GetMask()->Fill(255);
  selection->SetActive(true);
  selection->Update(nullptr);
  const std::vector<uint32_t> kept = PixelsOf(after);
  EXPECT_FALSE(CommitLayerWorkingCopy());
  EXPECT_EQ(PixelsOf(after), kept);
}

TEST(WorkingCopies, SelectionCommitShiftsTheMask) {
  TestDocument doc(6, 6);
  CSelection* selection = doc.image->GetSelection();
  selection->GetMask()->Fill(0);
  selection->GetMask()->FillRect(Rect{0, 0, 2, 2}, 255);
  selection->SetActive(true);
  selection->Update(nullptr);
  ResyncWorkingCopies();
  g_SelectionWorkingCopy.GetOffsetRef() = Point{2 * 256, 3 * 256};
  ASSERT_TRUE(CommitSelectionWorkingCopy());
  const CMaskArray* mask = selection->GetMask();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      ASSERT_EQ(mask->data[y * 6 + x], (x >= 2 && x < 4 && y >= 3 && y < 5) ? 255 : 0);
  Rect bounds;
  selection->GetBounds(bounds);
  EXPECT_EQ(bounds.left, 2);
  EXPECT_EQ(bounds.top, 3);
  EXPECT_EQ(bounds.right, 4);
  EXPECT_EQ(bounds.bottom, 5);
}

}  // namespace
