#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULCanvas.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"

namespace {

struct Call {
  CWULCanvasOverlay* overlay;
  CWULOffscreenBuffer* own;
  CWULOffscreenBuffer* previous;
  RECT rect;
};

std::vector<Call> calls;

void Record(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* own, CWULOffscreenBuffer* previous, const RECT* rect) {
  calls.push_back({overlay, own, previous, *rect});
}

// The first layer: each pixel shows the content coordinate it stands for, as blue = x
// and green = y of the content (scroll position added), so shifts can be checked.
CWULTiledCanvas* paintedCanvas;
void PaintContent(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* own, CWULOffscreenBuffer* previous,
                  const RECT* rect) {
  Record(overlay, own, previous, rect);
  GdiFlush();
  CWULImage* image = own->GetImage();
  for (int y = rect->top; y < rect->bottom; y++)
    for (int x = rect->left; x < rect->right; x++)
      image->SetPixel(x, y,
                      0xFF000000u | (((y + paintedCanvas->GetScrollY()) & 0xFF) << 8) |
                          ((x + paintedCanvas->GetScrollX()) & 0xFF));
}

// The second layer: the first one with a red mark over content (20..30, 20..30).
void PaintMark(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* own, CWULOffscreenBuffer* previous,
               const RECT* rect) {
  Record(overlay, own, previous, rect);
  GdiFlush();
  own->GetImage()->DrawPart(rect->left, rect->top, previous->GetImage(), rect);
  RECT mark = {20 - paintedCanvas->GetScrollX(), 20 - paintedCanvas->GetScrollY(), 30 - paintedCanvas->GetScrollX(),
               30 - paintedCanvas->GetScrollY()};
  RECT clipped;
  if (IntersectRect(&clipped, &mark, rect))
    own->GetImage()->FillRect(&clipped, CWULColor(255, 0, 0));
}

bool SameRect(const RECT& r, int left, int top, int right, int bottom) {
  return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

class Canvas : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    calls.clear();
    canvas = new CWULTiledCanvas;
    paintedCanvas = canvas;
    canvas->SetBorderStyle(0);
    canvas->SetHBarMode(WUL_BAR_NEVER);
    canvas->SetVBarMode(WUL_BAR_NEVER);
    canvas->SetBounds(10, 10, 200, 150);
  }
  CWULTiledCanvas* canvas;
};

using Overlays = Canvas;

TEST_F(Canvas, DefaultsAndVisibleSize) {
  EXPECT_EQ(canvas->GetPaintMode(), WUL_PAINT_WHOLE);
  EXPECT_EQ(canvas->GetTileSize(), 64);
  EXPECT_EQ(canvas->GetVisibleWidth(), 200);
  EXPECT_EQ(canvas->GetVisibleHeight(), 150);
  canvas->SetBorderStyle(3);
  EXPECT_EQ(canvas->GetVisibleWidth(), 196);
  EXPECT_EQ(canvas->GetVisibleHeight(), 146);
  canvas->SetTileSize(0);
  EXPECT_EQ(canvas->GetTileSize(), 1);
}

TEST_F(Canvas, WithoutOverlaysNothingIsRendered) {
  Show();
  canvas->RenderAll(nullptr);
  RECT part = {0, 0, 10, 10};
  canvas->RenderTiles(nullptr, &part);
  canvas->Redraw();
  EXPECT_EQ(canvas->GetFirstOverlay(), nullptr);
  EXPECT_EQ(canvas->GetLastOverlay(), nullptr);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Overlays, AddingSizesTheBufferAndRemovingEmptiesIt) {
  auto* overlay = new CWULCanvasOverlay;
  EXPECT_EQ(overlay->classCode, WUL_CLASS_CANVAS_OVERLAY);
  EXPECT_EQ(overlay->value, 0);
  EXPECT_EQ(overlay->GetCanvas(), nullptr);
  canvas->AddOverlay(overlay);
  EXPECT_EQ(overlay->GetCanvas(), canvas);
  EXPECT_EQ(overlay->buffer.GetWidth(), 200);
  EXPECT_EQ(overlay->buffer.GetHeight(), 150);
  canvas->SetSize(120, 90);
  EXPECT_EQ(overlay->buffer.GetWidth(), 120);
  EXPECT_EQ(overlay->buffer.GetHeight(), 90);
  canvas->RemoveOverlay(overlay);
  EXPECT_EQ(overlay->GetCanvas(), nullptr);
  EXPECT_EQ(overlay->buffer.GetImage(), nullptr);
  EXPECT_EQ(canvas->overlays.count, 0);
  delete overlay;
}

TEST_F(Overlays, InsertSwapDeleteAndMoveBetweenCanvases) {
  auto* a = new CWULCanvasOverlay;
  auto* b = new CWULCanvasOverlay;
  auto* c = new CWULCanvasOverlay;
  canvas->AddOverlay(a);
  canvas->AddOverlay(c);
  canvas->InsertOverlay(b, c);
  EXPECT_EQ(canvas->GetFirstOverlay(), a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(canvas->GetLastOverlay(), c);
  canvas->SwapOverlays(a, c);
  EXPECT_EQ(canvas->GetFirstOverlay(), c);
  EXPECT_EQ(canvas->GetLastOverlay(), a);
  canvas->SwapOverlays(a, nullptr);
  EXPECT_EQ(canvas->GetLastOverlay(), a);

  // An overlay that is deleted leaves its canvas.
  delete b;
  EXPECT_EQ(canvas->overlays.count, 2);
  EXPECT_EQ(c->next, a);

  auto* other = new CWULTiledCanvas;
  other->SetBounds(0, 0, 40, 30);
  other->InsertOverlay(c, nullptr);
  EXPECT_EQ(canvas->overlays.count, 1);
  EXPECT_EQ(c->GetCanvas(), other);
  EXPECT_EQ(c->buffer.GetWidth(), 36);
  canvas->DeleteOverlay(a);
  EXPECT_EQ(canvas->overlays.count, 0);
  // Not its overlay: nothing happens.
  canvas->DeleteOverlay(c);
  EXPECT_EQ(other->overlays.count, 1);
  delete other;
}

TEST_F(Canvas, TilesAreCutFromTheRequestedRectangle) {
  auto* overlay = new CWULCanvasOverlay;
  overlay->drawCallback = Record;
  canvas->AddOverlay(overlay);
  canvas->SetPaintMode(WUL_PAINT_TILES);
  RECT area = {10, 20, 110, 90};
  canvas->RenderTiles(overlay, &area);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(SameRect(calls[0].rect, 10, 20, 74, 84));
  EXPECT_TRUE(SameRect(calls[1].rect, 74, 20, 110, 84));
  EXPECT_TRUE(SameRect(calls[2].rect, 10, 84, 74, 90));
  EXPECT_TRUE(SameRect(calls[3].rect, 74, 84, 110, 90));

  calls.clear();
  canvas->SetPaintMode(WUL_PAINT_WHOLE);
  canvas->Render(overlay, &area);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(SameRect(calls[0].rect, 10, 20, 110, 90));

  // Rectangles are clipped to the visible area; other modes render nothing.
  calls.clear();
  RECT wide = {-50, 100, 500, 400};
  canvas->Render(overlay, &wide);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 100, 200, 150));
  calls.clear();
  canvas->SetPaintMode(7);
  canvas->RenderAll(nullptr);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Canvas, ChainPassesThePreviousBuffer) {
  auto* first = new CWULCanvasOverlay;
  auto* second = new CWULCanvasOverlay;
  auto* third = new CWULCanvasOverlay;
  first->drawCallback = Record;
  third->drawCallback = Record;  // the second one has no callback and is skipped
  canvas->AddOverlay(first);
  canvas->AddOverlay(second);
  canvas->AddOverlay(third);
  canvas->RenderAll(nullptr);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].overlay, first);
  EXPECT_EQ(calls[0].own, &first->buffer);
  EXPECT_EQ(calls[0].previous, nullptr);
  EXPECT_EQ(calls[1].overlay, third);
  EXPECT_EQ(calls[1].previous, &second->buffer);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 0, 200, 150));

  calls.clear();
  second->drawCallback = Record;
  canvas->Render(second, nullptr);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].overlay, second);
  EXPECT_EQ(calls[0].previous, &first->buffer);
}

TEST_F(Canvas, OverlaysComposeAndTheLastOneIsShown) {
  auto* content = new CWULCanvasOverlay;
  auto* mark = new CWULCanvasOverlay;
  content->drawCallback = PaintContent;
  mark->drawCallback = PaintMark;
  canvas->AddOverlay(content);
  canvas->AddOverlay(mark);
  Show();
  canvas->RenderAll(nullptr);
  EXPECT_EQ(RGBAt(mark->buffer, 5, 7), 0x000705u);
  EXPECT_EQ(RGBAt(mark->buffer, 25, 25), 0xFF0000u);
  EXPECT_EQ(RGBAt(content->buffer, 25, 25), 0x001919u);
  // What the window shows is the last buffer.
  HDC dc = GetDC(canvas->GetHandle());
  const COLORREF shown = GetPixel(dc, 25, 25);
  ReleaseDC(canvas->GetHandle(), dc);
  if (shown != CLR_INVALID) {
    EXPECT_EQ(shown, RGB(255, 0, 0));
  }
  // A new size gives new buffers, rendered at once.
  calls.clear();
  canvas->SetSize(150, 100);
  EXPECT_EQ(mark->buffer.GetWidth(), 150);
  EXPECT_EQ(content->buffer.GetHeight(), 100);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 0, 150, 100));
  EXPECT_EQ(RGBAt(mark->buffer, 25, 25), 0xFF0000u);
  EXPECT_EQ(RGBAt(mark->buffer, 149, 99), 0x006395u);
  // The same size again renders nothing.
  calls.clear();
  canvas->SetSize(150, 100);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Canvas, OnlyTheRequestedTilesAreRenderedAgain) {
  auto* content = new CWULCanvasOverlay;
  content->drawCallback = PaintContent;
  canvas->AddOverlay(content);
  canvas->SetPaintMode(WUL_PAINT_TILES);
  canvas->SetTileSize(32);
  Show();
  canvas->RenderAll(nullptr);
  // 200 x 150 in tiles of 32: 7 columns and 5 rows.
  EXPECT_EQ(calls.size(), 35u);
  calls.clear();
  RECT changed = {40, 40, 50, 45};
  canvas->Render(content, &changed);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(SameRect(calls[0].rect, 40, 40, 50, 45));
}

TEST_F(Canvas, ScrollingShiftsTheBuffersAndRendersOnlyTheUncoveredStrips) {
  auto* content = new CWULCanvasOverlay;
  auto* mark = new CWULCanvasOverlay;
  content->drawCallback = PaintContent;
  mark->drawCallback = PaintMark;
  canvas->AddOverlay(content);
  canvas->AddOverlay(mark);
  canvas->SetContentSize(1000, 800);
  Show();
  canvas->RenderAll(nullptr);
  calls.clear();

  canvas->SetScrollPos(10, 0);
  // A column strip on the right, for each overlay.
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(SameRect(calls[0].rect, 190, 0, 200, 150));
  EXPECT_EQ(RGBAt(mark->buffer, 0, 0), 0x00000Au);
  EXPECT_EQ(RGBAt(mark->buffer, 15, 25), 0xFF0000u);
  EXPECT_EQ(RGBAt(mark->buffer, 25, 25), 0x001923u);
  EXPECT_EQ(RGBAt(mark->buffer, 195, 3), 0x0003CDu);

  calls.clear();
  canvas->SetScrollPos(4, 6);
  // Rows uncovered at the bottom first, then the left columns above them.
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 144, 200, 150));
  EXPECT_TRUE(SameRect(calls[2].rect, 0, 0, 6, 144));
  for (int x : {0, 5, 6, 100, 199})
    for (int y : {0, 100, 143, 144, 149})
      EXPECT_EQ(RGBAt(content->buffer, x, y), static_cast<uint32_t>((((y + 6) & 0xFF) << 8) | ((x + 4) & 0xFF)))
          << x << "," << y;

  // Further than the visible size: everything again.
  calls.clear();
  canvas->SetScrollPos(600, 400);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 0, 200, 150));
  EXPECT_EQ(RGBAt(content->buffer, 7, 9), static_cast<uint32_t>((((9 + 400) & 0xFF) << 8) | ((7 + 600) & 0xFF)));
}

TEST_F(Canvas, AutoRedrawOffSkipsScrollingAndOnRendersEverything) {
  auto* content = new CWULCanvasOverlay;
  content->drawCallback = PaintContent;
  canvas->AddOverlay(content);
  canvas->SetContentSize(1000, 800);
  Show();
  canvas->SetAutoRedraw(false);
  calls.clear();
  canvas->SetScrollPos(30, 30);
  EXPECT_TRUE(calls.empty());
  canvas->SetAutoRedraw(true);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(SameRect(calls[0].rect, 0, 0, 200, 150));
  EXPECT_EQ(RGBAt(content->buffer, 0, 0), 0x001E1Eu);
}

TEST_F(Canvas, AnErrorInACallbackPropagatesAndClosesTheBracket) {
  auto* overlay = new CWULCanvasOverlay;
  overlay->drawCallback = [](CWULCanvasOverlay*, CWULOffscreenBuffer*, CWULOffscreenBuffer*, const RECT*) {
    wulThrowError(5, "Test::Draw", "draw failed");
  };
  canvas->AddOverlay(overlay);
  try {
    canvas->RenderAll(nullptr);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_STREQ(error.description, "draw failed");
  }
  EXPECT_EQ(canvas->callbackDepth, 0);
  EXPECT_EQ(host->callbackDepth, 0);
}

}  // namespace
