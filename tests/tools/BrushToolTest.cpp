#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "tools/BrushTool.h"
#include "wul/WULMath.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Reference: every dab laid in order over the pixels as they are.

struct BrushParams {
  int size, hardness, opacity;
};

float RefBaseAlpha(int opacity, int hardness) {
  const float k = opacity / 100.0f, h = hardness / 100.0f;
  float b = static_cast<float>((1.0 - wulPow(1.0 - 0.999 * k, (2.0 - h) * 0.1)) * 255.0);
  if (k < 0.999f && b < 1.0f)
    b = 1.0f;
  if (k >= 0.999f && b < 128.0f)
    b = 128.0f;
  return b;
}

// Coverage of the pixel whose index lies (dx, dy) from the dab's centre.
float RefCoverage(double dx, double dy, const BrushParams& b) {
  const float R = b.size / 2.0f;
  const float T = b.hardness / 100.0f * R;
  const float F = b.hardness / 100.0f >= 0.999f ? 0.0f : 1.0f / (R - T);
  const float u = static_cast<float>(std::sqrt(2.0) / 2.0);
  const double D = dx * dx + dy * dy;
  if (D > double(R + u) * double(R + u))
    return 0.0f;
  if (T >= u && D <= double(T - u) * double(T - u))
    return 1.0f;
  if (R >= u && D >= double(T + u) * double(T + u) && D <= double(R - u) * double(R - u))
    return static_cast<float>((R - std::sqrt(D)) * F);
  double sum = 0;
  for (int sy = 0; sy < 8; ++sy)
    for (int sx = 0; sx < 8; ++sx) {
      const double ox = dx - 0.4375 + 0.125 * sx, oy = dy - 0.4375 + 0.125 * sy;
      const double d = ox * ox + oy * oy;
      if (d <= double(T) * T)
        sum += 1.0;
      else if (d <= double(R) * R)
        sum += (R - std::sqrt(d)) * F;
    }
  return static_cast<float>(sum / 64.0);
}

struct Canvas {
  std::vector<uint32_t> pixels;
  int width, height;  // working pixels
  int step;           // 256 or 32
  int zoom;
};

void RefDab(Canvas& c, const Point& p, const BrushParams& b, uint32_t color,
            const CMaskArray* mask = nullptr, int mode = 0) {
  const int a = b.size * c.step;
  const int s = (a * c.zoom + 255) / 256;
  int left = p.x - a / 2, top = p.y - a / 2;
  if (s % 2 == 0) {
    left += (c.zoom / 2 + 128) / c.zoom;
    top += (c.zoom / 2 + 128) / c.zoom;
  }
  const double cx = (2.0 * left + a) / (2.0 * c.step) - 0.5;
  const double cy = (2.0 * top + a) / (2.0 * c.step) - 0.5;
  const float base = RefBaseAlpha(b.opacity, b.hardness);
  // The working pixels the dab square touches, on the layer.
  const int shift = c.step == 256 ? 8 : 5;
  const int x0 = std::max(left, 0) >> shift, y0 = std::max(top, 0) >> shift;
  const int x1 = std::min((left + a - 1) >> shift, c.width - 1);
  const int y1 = std::min((top + a - 1) >> shift, c.height - 1);
  for (int i = y0; i <= y1; ++i)
    for (int j = x0; j <= x1; ++j) {
      const float cov = RefCoverage(j - cx, i - cy, b);
      int alpha = wulRoundFloat(cov * base);
      const size_t k = size_t(i) * c.width + j;
      if (mask)
        alpha = static_cast<int>((mask->data[k] * uint32_t(alpha) * 65793u + 0x800000u) >> 24);
      if (alpha > 0)
        c.pixels[k] = BlendInMode(c.pixels[k], color, static_cast<uint32_t>(alpha), mode);
    }
}

// Dab centres of a freehand path: the first position, then every tenth of the diameter
// towards each next position, starting from the last dab.
std::vector<Point> DabPoints(const std::vector<Point>& path, int size, int step) {
  std::vector<Point> dabs{path[0]};
  Point s = path[0];
  for (size_t m = 1; m < path.size(); ++m) {
    const Point e = path[m];
    if (!e.NotEqual(s))
      continue;
    const double dx = double(e.x) - s.x, dy = double(e.y) - s.y;
    const double q = std::sqrt(dx * dx + dy * dy) / (double(size) * step) * 10.0;
    Point last = s;
    for (int k = 1; k <= static_cast<int>(q); ++k) {
      last = Point{static_cast<int32_t>(std::nearbyint(s.x + k * dx / q)),
                   static_cast<int32_t>(std::nearbyint(s.y + k * dy / q))};
      dabs.push_back(last);
    }
    s = last;
  }
  return dabs;
}

class BrushTool : public DrawingToolTest {
protected:
  void SetBrush(int size, int hardness, int opacity) {
    g_Settings.drawingToolsBrushSize->SetValue(static_cast<uint32_t>(size));
    g_Settings.drawingToolsBrushHardness->SetValue(static_cast<uint32_t>(hardness));
    g_Settings.drawingToolsBrushOpacity->SetValue(static_cast<uint32_t>(opacity));
  }
  void SetUp() override {
    DrawingToolTest::SetUp();
    DropMouseMessages();
    SetBrush(8, 0, 100);
  }
  void TearDown() override {
    DropMouseMessages();
    DrawingToolTest::TearDown();
  }
  static void DropMouseMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_REMOVE)) {
    }
  }
  Canvas CanvasOf(const CPixelArray& a, int step) {
    return Canvas{PixelsOf(a), a.width, a.height, step, host.zoom};
  }
  // A one-pixel brush pressed at (1.5, 1.5) as the view does, while the pointer has already
  // moved on to (30.5, 8.5); before is the canvas as it was.
  void PressWhilePointerMovesOn(CBrushTool& tool, const TestDocument& doc, Canvas& before) {
    SetBrush(1, 100, 100);
    host.pointer = {Px(30.5, 8.5)};
    tool.PointerEntered(Px(1.5, 1.5));
    tool.GetCursor(Px(1.5, 1.5));
    tool.MouseMove(Px(1.5, 1.5));
    before = CanvasOf(*doc.layer->GetPixels(), 256);
    ASSERT_TRUE(tool.MouseDown(1, Px(1.5, 1.5)));
  }
};

// ---------------------------------------------------------------------------------------------
// Queue

TEST(StrokePointQueue, KeepsOrderWrapsAndCloses) {
  CStrokePointQueue queue;
  Point p;
  EXPECT_FALSE(queue.Pop(p));
  EXPECT_FALSE(queue.Newest().NotEqual(Point{}));
  EXPECT_TRUE(queue.Push(Point{0, 0}));  // the origin is a position like any other
  EXPECT_EQ(queue.GetCount(), 1);
  EXPECT_TRUE(queue.Push(Point{0, 0}));  // a repeat of the newest is not stored again
  EXPECT_EQ(queue.GetCount(), 1);
  EXPECT_TRUE(queue.Push(Point{1, 2}));
  EXPECT_EQ(queue.Newest().x, 1);
  ASSERT_TRUE(queue.Pop(p));
  EXPECT_FALSE(p.NotEqual(Point{0, 0}));
  ASSERT_TRUE(queue.Pop(p));
  EXPECT_FALSE(p.NotEqual(Point{1, 2}));
  // Around the ring several times.
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 1024; ++k)
      ASSERT_TRUE(queue.Push(Point{k, round}));
    EXPECT_FALSE(queue.Push(Point{-1, -1}));  // full
    EXPECT_EQ(queue.GetCount(), 1024);
    EXPECT_EQ(queue.Newest().x, 1023);
    for (int k = 0; k < 1024; ++k) {
      ASSERT_TRUE(queue.Pop(p));
      ASSERT_EQ(p.x, k);
      ASSERT_EQ(p.y, round);
    }
  }
  queue.Push(Point{5, 5});
  queue.Close();
  EXPECT_FALSE(queue.Push(Point{6, 6}));
  EXPECT_TRUE(queue.Pop(p));  // what was queued still comes out
  queue.Clear();
  EXPECT_FALSE(queue.IsClosed());
  EXPECT_EQ(queue.GetCount(), 0);
  EXPECT_TRUE(queue.Push(Point{6, 6}));
}

// ---------------------------------------------------------------------------------------------
// Dab geometry and alpha

TEST_F(BrushTool, DabSquaresMoveHalfAScreenPixelWhenEven) {
  Rect r = GetDabSquare(Point{1000, 2000}, 1, 256);
  EXPECT_EQ(r.left, 1000 - 128);
  EXPECT_EQ(r.top, 2000 - 128);
  EXPECT_EQ(r.right, 1000 + 128);
  r = GetDabSquare(Point{1000, 2000}, 2, 256);  // 2 screen pixels
  EXPECT_EQ(r.left, 1000 - 256 + 128);
  EXPECT_EQ(r.bottom, 2000 + 256 + 128);
  host.zoom = 2;
  r = GetDabSquare(Point{1000, 2000}, 3, 256);  // 6 screen pixels
  EXPECT_EQ(r.left, 1000 - 384 + 64);
  host.zoom = 3;
  r = GetDabSquare(Point{1000, 2000}, 3, 256);  // 9
  EXPECT_EQ(r.left, 1000 - 384);
  r = GetDabSquare(Point{1000, 2000}, 5, 32);   // 160 units: 2 screen pixels at zoom 3
  EXPECT_EQ(r.left, 1000 - 80 + 43);
}

TEST_F(BrushTool, BaseAlphaFollowsOpacityAndHardness) {
  EXPECT_GE(GetDabBaseAlpha(100, 0), 128.0f);
  EXPECT_GE(GetDabBaseAlpha(100, 100), 128.0f);
  EXPECT_EQ(GetDabBaseAlpha(1, 0), 1.0f);
  EXPECT_NEAR(GetDabBaseAlpha(100, 0), 191.0f, 1.0f);
  EXPECT_LT(GetDabBaseAlpha(100, 100), GetDabBaseAlpha(100, 0));
  EXPECT_LT(GetDabBaseAlpha(30, 50), GetDabBaseAlpha(60, 50));
  for (int o : {1, 7, 50, 99, 100})
    for (int h : {0, 40, 100})
      EXPECT_EQ(GetDabBaseAlpha(o, h), RefBaseAlpha(o, h));
}

// ---------------------------------------------------------------------------------------------
// Painting

TEST_F(BrushTool, AClickPaintsExactlyOneDab) {
  const BrushParams brushes[] = {{1, 0, 100}, {5, 0, 100}, {8, 50, 60}, {13, 100, 100}, {2, 100, 1}, {20, 30, 100}};
  for (const BrushParams& b : brushes) {
    TestDocument doc(24, 22);
    SetBrush(b.size, b.hardness, b.opacity);
    Canvas expected = CanvasOf(*doc.layer->GetPixels(), 256);
    CBrushTool tool;
    DragTool(tool, 1, {Px(9.3, 10.6)});
    RefDab(expected, Px(9.3, 10.6), b, 0xFFFF0000u);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels) << "size " << b.size << " hardness " << b.hardness;
    ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
    EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Brush Stroke");
  }
}

TEST_F(BrushTool, HardBrushesHaveSampledEdgesAndSoftOnesACone) {
  TestDocument doc(20, 20);
  doc.layer->GetPixels()->Fill(0xFF000000u);
  ResyncWorkingCopies();
  SetPrimaryColor(CColor(0xFFFFFFFFu));
  SetBrush(11, 100, 100);
  CBrushTool tool;
  DragTool(tool, 1, {Px(10.5, 10.5)});  // an odd size centres on pixel (10, 10)
  const CPixelArray& a = *doc.layer->GetPixels();
  const uint32_t full = BlendArgb(0xFF000000u, 0xFFFFFFFFu, static_cast<uint32_t>(wulRoundFloat(GetDabBaseAlpha(100, 100))));
  EXPECT_EQ(a.GetPixel(10, 10), full);
  EXPECT_EQ(a.GetPixel(6, 10), full);
  EXPECT_EQ(a.GetPixel(5, 10), full);         // on the rim, wholly inside by its samples
  EXPECT_EQ(a.GetPixel(4, 10), 0xFF000000u);  // on the rim, wholly outside
  EXPECT_GT(a.GetPixel(6, 6) & 0xFF, 0u);     // straddling the rim: partly covered
  EXPECT_LT(a.GetPixel(6, 6) & 0xFF, full & 0xFF);
  // Hardness 0: the brightness falls steadily from the centre.
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  ResyncWorkingCopies();
  SetBrush(11, 0, 100);
  DragTool(tool, 1, {Px(10.5, 10.5)});
  for (int x = 10; x > 5; --x)
    EXPECT_GT(a.GetPixel(x, 10) & 0xFF, a.GetPixel(x - 1, 10) & 0xFF) << x;
}

TEST_F(BrushTool, DabsAreSpacedAtATenthOfTheDiameterAndAccumulate) {
  TestDocument doc(30, 20);
  SetBrush(6, 40, 50);
  SetPrimaryColor(CColor(0xC020A0F0u));
  Canvas expected = CanvasOf(*doc.layer->GetPixels(), 256);
  CBrushTool tool;
  const std::vector<Point> path = {Px(3.5, 4.5), Px(3.6, 4.6), Px(10.2, 7.7), Px(22.9, 16.1), Px(25.0, 3.3)};
  DragTool(tool, 1, path);
  const std::vector<Point> dabs = DabPoints(path, 6, 256);
  EXPECT_GT(dabs.size(), 50u);
  for (const Point& p : dabs)
    RefDab(expected, p, BrushParams{6, 40, 50}, 0xC020A0F0u);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels);
  // One undoable action; undo restores exactly.
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 1);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(g_LayerWorkingCopy.GetPixels()));
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels);
}

TEST_F(BrushTool, ShortMovesWaitUntilTheSpacingIsReached) {
  TestDocument doc(20, 20);
  SetBrush(10, 0, 100);  // spacing: 256 units
  CBrushTool tool;
  tool.PointerEntered(Px(5, 5));
  tool.GetCursor(Px(5, 5));
  tool.MouseMove(Px(5, 5));
  ASSERT_TRUE(tool.MouseDown(1, Px(5, 5)));
  const std::vector<uint32_t> oneDab = PixelsOf(*doc.layer->GetPixels());
  tool.MouseMove(Point{5 * 256 + 100, 5 * 256});
  tool.MouseMove(Point{5 * 256 + 200, 5 * 256});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), oneDab);
  tool.MouseMove(Point{5 * 256 + 300, 5 * 256});
  EXPECT_NE(PixelsOf(*doc.layer->GetPixels()), oneDab);
  EXPECT_TRUE(tool.MouseUp(1, Point{}));
  tool.EndDrag();
}

TEST_F(BrushTool, SupersampledSelectedAndChannelModes) {
  for (int mode = 0; mode < 3; ++mode) {
    TestDocument doc(5, 4, true);
    host.channelMode = mode;
    SetBrush(14, 60, 80);
    SetPrimaryColor(CColor(0x9040FF20u));
    SetSelection(doc.image->GetSelection(), [](int x, int y) { return x < 8 ? 0 : (x * 9 + y * 5) & 255; });
    Canvas expected = CanvasOf(*doc.layer->GetPixelArray(), 32);
    const std::vector<uint32_t> before = expected.pixels;
    const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
    CBrushTool tool;
    const std::vector<Point> path = {Point{300, 300}, Point{700, 500}, Point{1100, 900}};
    DragTool(tool, 1, path);
    for (const Point& p : DabPoints(path, 14, 32))
      RefDab(expected, p, BrushParams{14, 60, 80}, 0x9040FF20u, doc.image->GetSelection()->GetMask(), mode);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected.pixels) << "mode " << mode;
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), before);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before1x);
  }
}

TEST_F(BrushTool, LinesArePaintedOnRelease) {
  TestDocument doc(20, 12);
  SetBrush(4, 100, 70);
  host.keys.insert(CTool::KEY_CONTROL);
  Canvas expected = CanvasOf(*doc.layer->GetPixels(), 256);
  const std::vector<uint32_t> before = expected.pixels;
  CBrushTool tool;
  tool.PointerEntered(Px(2.2, 3.3));
  tool.GetCursor(Px(2.2, 3.3));
  EXPECT_EQ(tool.GetMode(), CPaintTool::MODE_LINE);
  tool.MouseMove(Px(2.2, 3.3));
  ASSERT_TRUE(tool.MouseDown(2, Px(2.2, 3.3)));
  tool.MouseMove(Px(9, 1));
  tool.MouseMove(Px(17.1, 9.4));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_TRUE(tool.WantsAutoScroll());
  EXPECT_TRUE(tool.MouseUp(2, Px(17.1, 9.4)));
  tool.EndDrag();
  for (const Point& p : DabPoints({Px(2.2, 3.3), Px(17.1, 9.4)}, 4, 256))
    RefDab(expected, p, BrushParams{4, 100, 70}, 0xFF0000FFu);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels);
  EXPECT_EQ(host.geometryClears, 1);
  ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
  EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Brush Stroke");
}

// ---------------------------------------------------------------------------------------------
// Following the pointer while dabs are laid

TEST_F(BrushTool, PendingPointerPositionsAreFollowed) {
  TestDocument doc(40, 10);
  CBrushTool tool;
  Canvas expected;
  ASSERT_NO_FATAL_FAILURE(PressWhilePointerMovesOn(tool, doc, expected));
  EXPECT_EQ(host.pointerQueries, 0);  // the first dab alone gathers nothing
  tool.MouseMove(Px(12.5, 1.5));
  // The pointer had moved on to (30.5, 8.5): the brush followed it there.
  EXPECT_EQ(host.pixelPosition.x, 30);
  EXPECT_EQ(host.pixelPosition.y, 8);
  EXPECT_GT(host.pointerQueries, 1);
  for (const Point& p : DabPoints({Px(1.5, 1.5), Px(12.5, 1.5), Px(30.5, 8.5)}, 1, 256))
    RefDab(expected, p, BrushParams{1, 100, 100}, 0xFFFF0000u);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels);
  EXPECT_TRUE(tool.MouseUp(1, Point{}));
  tool.EndDrag();
}

TEST_F(BrushTool, AReleaseWaitingInTheQueueStopsTheFollowing) {
  TestDocument doc(40, 10);
  CBrushTool tool;
  Canvas expected;
  ASSERT_NO_FATAL_FAILURE(PressWhilePointerMovesOn(tool, doc, expected));
  const DWORD thread = GetCurrentThreadId();
  ASSERT_TRUE(PostThreadMessageA(thread, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)));
  ASSERT_TRUE(PostThreadMessageA(thread, WM_RBUTTONUP, 0, 0));  // not the pressed button
  ASSERT_TRUE(PostThreadMessageA(thread, WM_LBUTTONUP, 0, 0));
  ASSERT_TRUE(PostThreadMessageA(thread, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6)));
  tool.MouseMove(Px(12.5, 1.5));
  EXPECT_TRUE(tool.GetQueue().IsClosed());
  // Only the path itself was painted; the release is still there for the view.
  for (const Point& p : DabPoints({Px(1.5, 1.5), Px(12.5, 1.5)}, 1, 256))
    RefDab(expected, p, BrushParams{1, 100, 100}, 0xFFFF0000u);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected.pixels);
  EXPECT_EQ(host.pixelPositions, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONUP));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_TRUE(tool.MouseUp(1, Point{}));
  tool.EndDrag();
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Cursor, hints, outline

TEST_F(BrushTool, SharesThePencilsModesAndHints) {
  TestDocument doc(10, 10);
  CBrushTool tool;
  EXPECT_EQ(tool.GetId(), 51);
  tool.PointerEntered(Px(2, 2));
  SetBrush(8, 0, 100);
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(224));
  SetBrush(9, 0, 100);
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(222));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click and drag to paint. Use CTRL to draw lines, ALT to pick colors.");
  host.keys.insert(CTool::KEY_ALT);
  host.pickAnswers = true;
  host.pickColor = CColor(0xFF0A0B0Cu);
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(221));
  ASSERT_TRUE(tool.MouseDown(1, Px(2, 2)));
  EXPECT_EQ(GetPrimaryColor().value, 0xFF0A0B0Cu);
  EXPECT_TRUE(tool.MouseUp(1, Px(2, 2)));
  tool.EndDrag();
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(BrushTool, TheOutlineIsASmoothCircle) {
  TestDocument doc(20, 20);
  SetBrush(5, 0, 100);
  host.zoom = 2;  // 10 screen pixels
  CBrushTool tool;
  tool.PointerEntered(Px(6.5, 6.5));  // client (13, 13)
  tool.GetCursor(Px(6.5, 6.5));
  std::vector<uint32_t> view(30 * 30, 0xFFFFFFFFu), out(30 * 30, 0);
  CToolOverlay overlay{30, 30, out.data(), view.data(), nullptr, nullptr, Rect{0, 0, 30, 30}};
  tool.DrawOverlay(overlay);
  int plotted = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x)
      if (out[y * 30 + x]) {
        ++plotted;
        EXPECT_TRUE(x >= 9 && x < 19 && y >= 9 && y < 19) << x << "," << y;
      }
  EXPECT_GT(plotted, 20);
  EXPECT_EQ(out[9 * 30 + 9], 0u);     // corner
  EXPECT_EQ(out[13 * 30 + 13], 0u);   // inside
  EXPECT_NE(out[13 * 30 + 9], 0u);    // left edge
  tool.PointerLeft();
}

}  // namespace
