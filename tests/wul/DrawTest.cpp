#include <gtest/gtest.h>
#include <windows.h>
#include "WindowTestKit.h"
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULOffscreen.h"
#include "wul/WULSRGB.h"

namespace {

class DrawFunctions : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    buffer.SetSize(16, 12);
    Clear(0xFFFFFF);
  }
  void Clear(COLORREF color) {
    RECT all = {0, 0, buffer.GetWidth(), buffer.GetHeight()};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(buffer.GetDC(), &all, brush);
    DeleteObject(brush);
  }
  CWULOffscreenBuffer buffer;
};

using Offscreen = DrawFunctions;
using RectFunctions = DrawFunctions;

// --- rectangles and points ---

TEST_F(RectFunctions, HalfOpenContainmentAndOverlap) {
  RECT r = {2, 3, 10, 8};
  EXPECT_TRUE(wulPtInRect(2, 3, &r));
  EXPECT_TRUE(wulPtInRect(9, 7, &r));
  EXPECT_FALSE(wulPtInRect(10, 5, &r));
  EXPECT_FALSE(wulPtInRect(5, 8, &r));
  EXPECT_FALSE(wulPtInRect(1, 5, &r));
  POINT p = {9, 7};
  EXPECT_TRUE(wulPointInRect(&p, &r));
  POINT q = {9, 7};
  EXPECT_TRUE(wulPointsEqual(&p, &q));
  q.y = 8;
  EXPECT_FALSE(wulPointsEqual(&p, &q));

  RECT touching = {10, 3, 12, 8};
  EXPECT_FALSE(wulRectsOverlap(&r, &touching));
  RECT below = {2, 8, 10, 9};
  EXPECT_FALSE(wulRectsOverlap(&r, &below));
  RECT crossing = {9, 7, 20, 20};
  EXPECT_TRUE(wulRectsOverlap(&r, &crossing));
  EXPECT_TRUE(wulRectsOverlap(&crossing, &r));
}

TEST_F(RectFunctions, OffsetAndDeflateWorkInPlace) {
  RECT r = {2, 3, 10, 8};
  EXPECT_EQ(wulOffsetRect(&r, -2, 5), &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 8);
  EXPECT_EQ(r.right, 8);
  EXPECT_EQ(r.bottom, 13);
  EXPECT_EQ(wulDeflateRect(&r, 2), &r);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 10);
  EXPECT_EQ(r.right, 6);
  EXPECT_EQ(r.bottom, 11);
  wulDeflateRect(&r, -3);
  EXPECT_EQ(r.left, -1);
  EXPECT_EQ(r.bottom, 14);
  POINT p = {4, 5};
  EXPECT_EQ(wulOffsetPoint(&p, 1, -6), &p);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, -1);
}

// --- bitmap and offscreen buffer ---

TEST_F(Offscreen, BitmapPixelsAreTopDownBGRA) {
  CWULBitmap bitmap(3, 2);
  ASSERT_NE(bitmap.handle, nullptr);
  ASSERT_NE(bitmap.image, nullptr);
  EXPECT_EQ(bitmap.image->width, 3);
  EXPECT_EQ(bitmap.image->height, 2);
  EXPECT_EQ(bitmap.classCode, 5);
  BITMAP info = {};
  ASSERT_EQ(GetObjectA(bitmap.handle, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(info.bmBits, bitmap.image->pixels);

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap.handle);
  SetPixel(dc, 2, 1, RGB(10, 20, 30));
  GdiFlush();
  // Row 1 is the second row in memory; blue comes first.
  EXPECT_EQ(bitmap.image->pixels[1 * 3 + 2] & 0xFFFFFFu, 0x0A141Eu);
  bitmap.image->SetPixel(0, 0, 0xFF332211u);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x33, 0x22, 0x11));
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST_F(Offscreen, EmptySizesGiveEmptyBitmaps) {
  CWULBitmap none(5, 0);
  EXPECT_EQ(none.handle, nullptr);
  EXPECT_EQ(none.image, nullptr);
  CWULBitmap negative(-4, 3);
  EXPECT_EQ(negative.handle, nullptr);
}

TEST_F(Offscreen, ImpossibleBitmapThrowsCodeFive) {
  try {
    CWULBitmap huge(0x7FFFFFFF, 0x7FFFFFFF);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 5);
    EXPECT_STREQ(error.location, "CWULBitmap::CWULBitmap");
    EXPECT_STREQ(error.description, "DIB creation failed");
  }
}

TEST_F(Offscreen, EmptySizeLeavesNothingToBlit) {
  CWULOffscreenBuffer empty;
  EXPECT_EQ(empty.classCode, 6);
  empty.SetSize(0, 10);
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_EQ(empty.GetHeight(), 0);
  EXPECT_EQ(empty.GetImage(), nullptr);
  // A blit from an empty buffer leaves the target as it was.
  empty.BlitAll(buffer.GetDC(), 0, 0);
  empty.Blit(buffer.GetDC(), 0, 0, 0, 0, 5, 5);
  EXPECT_EQ(RGBAt(buffer, 0, 0), 0xFFFFFFu);
  // Emptying a sized buffer drops its bitmap.
  buffer.SetSize(10, 0);
  EXPECT_EQ(buffer.GetImage(), nullptr);
  EXPECT_EQ(buffer.GetWidth(), 0);
}

TEST_F(Offscreen, SameSizeKeepsBitmapAndPixels) {
  CWULImage* image = buffer.GetImage();
  ASSERT_NE(image, nullptr);
  image->SetPixel(3, 4, 0xFF123456u);
  buffer.SetSize(16, 12);
  EXPECT_EQ(buffer.GetImage(), image);
  EXPECT_EQ(RGBAt(buffer, 3, 4), 0x123456u);
  buffer.SetSize(20, 12);
  ASSERT_NE(buffer.GetImage(), nullptr);
  EXPECT_EQ(buffer.GetImage()->width, 20);
  EXPECT_EQ(buffer.GetWidth(), 20);
}

TEST_F(Offscreen, FailingResizeLeavesTheBufferEmpty) {
  try {
    buffer.SetSize(0x7FFFFFFF, 0x7FFFFFFF);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 5);
  }
  EXPECT_EQ(buffer.GetImage(), nullptr);
  EXPECT_EQ(buffer.GetWidth(), 0);
  buffer.BlitAll(nullptr, 0, 0);
  buffer.SetSize(4, 4);
  EXPECT_NE(buffer.GetImage(), nullptr);
}

TEST_F(Offscreen, BlitsCopyWholeAndPart) {
  CWULOffscreenBuffer source;
  source.SetSize(4, 3);
  source.GetImage()->Fill(CWULColor(200, 100, 50));
  source.GetImage()->SetPixel(3, 2, 0xFF010203u);
  source.BlitAll(buffer.GetDC(), 5, 6);
  EXPECT_EQ(RGBAt(buffer, 5, 6), 0xC86432u);
  EXPECT_EQ(RGBAt(buffer, 8, 8), 0x010203u);
  EXPECT_EQ(RGBAt(buffer, 9, 8), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 4, 6), 0xFFFFFFu);

  source.Blit(buffer.GetDC(), 0, 0, 3, 2, 1, 1);
  EXPECT_EQ(RGBAt(buffer, 0, 0), 0x010203u);
  EXPECT_EQ(RGBAt(buffer, 1, 0), 0xFFFFFFu);
}

// --- pens, brushes and drawing functions ---

TEST_F(DrawFunctions, PenBrushShadesOneColour) {
  CWULPenBrush set;
  EXPECT_EQ(set.brush, nullptr);
  ASSERT_TRUE(set.Create(CWULColor(100, 100, 100)));
  EXPECT_EQ(set.base.value & 0xFFFFFFu, Grey(100));
  EXPECT_EQ(set.light.value & 0xFFFFFFu, Grey(131));
  EXPECT_EQ(set.dark.value & 0xFFFFFFu, Grey(75));
  HDC dc = buffer.GetDC();
  wulDrawLine(dc, 0, 0, 4, 0, set.lightPen);
  wulDrawLine(dc, 0, 1, 4, 1, set.darkPen);
  wulDrawLine(dc, 0, 2, 4, 2, set.shadePen);
  RECT cell = {0, 3, 2, 5};
  wulFillRect(dc, &cell, set.brush);
  EXPECT_EQ(RGBAt(buffer, 0, 0), Grey(131));
  EXPECT_EQ(RGBAt(buffer, 3, 0), Grey(131));
  // The end point of a line is not drawn.
  EXPECT_EQ(RGBAt(buffer, 4, 0), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 1, 1), Grey(75));
  EXPECT_EQ(RGBAt(buffer, 1, 2), wulColors[1].value & 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 1, 4), Grey(100));
  set.DeleteObjects();
  EXPECT_EQ(set.brush, nullptr);
  EXPECT_EQ(set.shadePen, nullptr);
  set.DeleteObjects();
}

TEST_F(DrawFunctions, FrameHasLightTopLeftDarkBottomRightAndCorners) {
  CWULPenBrush set;
  ASSERT_TRUE(set.Create(CWULColor(100, 100, 100)));
  RECT r = {2, 2, 10, 8};
  wulDrawFrame(buffer.GetDC(), &r, set.lightPen, set.darkPen, CWULColor(255, 0, 0));
  EXPECT_EQ(RGBAt(buffer, 2, 2), Grey(131));
  EXPECT_EQ(RGBAt(buffer, 8, 2), Grey(131));
  EXPECT_EQ(RGBAt(buffer, 2, 6), Grey(131));
  EXPECT_EQ(RGBAt(buffer, 9, 7), Grey(75));
  EXPECT_EQ(RGBAt(buffer, 3, 7), Grey(75));
  EXPECT_EQ(RGBAt(buffer, 9, 3), Grey(75));
  EXPECT_EQ(RGBAt(buffer, 2, 7), 0xFF0000u);
  EXPECT_EQ(RGBAt(buffer, 9, 2), 0xFF0000u);
  EXPECT_EQ(RGBAt(buffer, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 10, 8), 0xFFFFFFu);
}

TEST_F(DrawFunctions, RectOutlineLeavesTheInsideAndFillBetweenLeavesTheHole) {
  CWULPenBrush set;
  ASSERT_TRUE(set.Create(CWULColor(0, 0, 255)));
  RECT r = {1, 1, 6, 5};
  wulDrawRectOutline(buffer.GetDC(), &r, set.basePen);
  EXPECT_EQ(RGBAt(buffer, 1, 1), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 5, 4), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 3, 2), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 6, 3), 0xFFFFFFu);

  Clear(0xFFFFFF);
  RECT outer = {0, 0, 10, 10};
  wulFillFrame(buffer.GetDC(), &outer, 2, set.brush);
  EXPECT_EQ(RGBAt(buffer, 0, 0), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 1, 5), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 9, 9), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 8, 5), 0x0000FFu);
  EXPECT_EQ(RGBAt(buffer, 2, 2), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 7, 7), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 10, 5), 0xFFFFFFu);
}

TEST_F(DrawFunctions, PolygonAndRectUseBothPenAndBrush) {
  CWULPenBrush edge;
  CWULPenBrush fill;
  ASSERT_TRUE(edge.Create(CWULColor(255, 0, 0)));
  ASSERT_TRUE(fill.Create(CWULColor(0, 255, 0)));
  RECT r = {0, 0, 5, 5};
  wulDrawRect(buffer.GetDC(), &r, edge.basePen, fill.brush);
  EXPECT_EQ(RGBAt(buffer, 0, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(buffer, 2, 2), 0x00FF00u);
  POINT triangle[3] = {{8, 2}, {14, 2}, {8, 8}};
  wulDrawPolygon(buffer.GetDC(), triangle, 3, edge.basePen, fill.brush);
  EXPECT_EQ(RGBAt(buffer, 8, 2), 0xFF0000u);
  EXPECT_EQ(RGBAt(buffer, 9, 4), 0x00FF00u);
  EXPECT_EQ(RGBAt(buffer, 13, 7), 0xFFFFFFu);
  // The DC's own selection is back.
  EXPECT_EQ(GetCurrentObject(buffer.GetDC(), OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(buffer.GetDC(), OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
}

TEST_F(DrawFunctions, DottedFrameRunsInPairsAndMeetsSymmetrically) {
  const CWULColor a(255, 0, 0);
  const CWULColor b(0, 0, 255);
  RECT r = {0, 0, 8, 6};
  wulDrawDottedFrame(buffer.GetDC(), &r, a, b);
  const uint32_t A = 0xFF0000u, B = 0x0000FFu;
  // Top edge, x = 0 .. 6: A A B B A A B; the right edge starts again with A.
  const uint32_t top[8] = {A, A, B, B, A, A, B, A};
  for (int x = 0; x < 8; x++)
    EXPECT_EQ(RGBAt(buffer, x, 0), top[x]) << "top x " << x;
  // Right edge, y = 0 .. 4: A A B B A; the bottom-right corner belongs to the bottom edge.
  const uint32_t right[6] = {A, A, B, B, A, A};
  for (int y = 0; y < 6; y++)
    EXPECT_EQ(RGBAt(buffer, 7, y), right[y]) << "right y " << y;
  // Bottom edge mirrors the top from the right end: x = 7 gives count 1, so A.
  const uint32_t bottom[8] = {A, B, A, A, B, B, A, A};
  for (int x = 0; x < 8; x++)
    EXPECT_EQ(RGBAt(buffer, x, 5), bottom[x]) << "bottom x " << x;
  // Left edge mirrors the right from the bottom: y = 5 gives count 1, so A.
  const uint32_t left[6] = {A, A, B, B, A, A};
  for (int y = 0; y < 6; y++)
    EXPECT_EQ(RGBAt(buffer, 0, y), left[y]) << "left y " << y;
  EXPECT_EQ(RGBAt(buffer, 3, 3), 0xFFFFFFu);
}

TEST_F(DrawFunctions, DegenerateRectanglesDrawNothingOutside) {
  RECT empty = {5, 5, 5, 5};
  wulDrawDottedFrame(buffer.GetDC(), &empty, CWULColor(0, 0, 0), CWULColor(0, 0, 0));
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 16; x++)
      ASSERT_EQ(RGBAt(buffer, x, y), 0xFFFFFFu) << x << "," << y;
}

TEST_F(DrawFunctions, LuminanceOfGreyIsTheGreyAndGreenOutweighsBlue) {
  EXPECT_NEAR(wulGetLuminance(0.5f, 0.5f, 0.5f), 0.5f, 0.002f);
  EXPECT_NEAR(wulGetLuminance(1.0f, 1.0f, 1.0f), 1.0f, 1e-5f);
  EXPECT_EQ(wulGetLuminance(0.0f, 0.0f, 0.0f), 0.0f);
  EXPECT_GT(wulGetLuminance(0.0f, 1.0f, 0.0f), wulGetLuminance(1.0f, 0.0f, 0.0f));
  EXPECT_GT(wulGetLuminance(1.0f, 0.0f, 0.0f), wulGetLuminance(0.0f, 0.0f, 1.0f));
  // Linearising and encoding again comes back close to the start.
  for (int i = 0; i <= 10; i++) {
    float v = static_cast<float>(i) / 10.0f;
    EXPECT_NEAR(wulLinearToSRGB(wulSRGBToLinear(v)), v, 0.004f) << v;
  }
}

}  // namespace
