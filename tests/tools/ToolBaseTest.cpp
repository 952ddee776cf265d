#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <stdexcept>
#include <vector>
#include "ToolTestSupport.h"
#include "tools/Ticker.h"
#include "tools/Tool.h"
#include "tools/ToolManager.h"
#include "wul/WULInit.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Fixed point

TEST(FixedPoint, RoundFixedRoundsHalvesUpAndFloorsNegatives) {
  EXPECT_EQ(RoundFixed(0), 0);
  EXPECT_EQ(RoundFixed(127), 0);
  EXPECT_EQ(RoundFixed(128), 1);
  EXPECT_EQ(RoundFixed(256 * 5 + 127), 5);
  EXPECT_EQ(RoundFixed(-128), 0);
  EXPECT_EQ(RoundFixed(-129), -1);
  EXPECT_EQ(RoundFixed(-256 * 3), -3);
}

// ---------------------------------------------------------------------------------------------
// Tool base

TEST(ToolBase, PickColorAsksTheViewAtTheClientPoint) {
  RecordingHost host;
  host.zoom = 4;
  CTool tool;
  CColor color;
  EXPECT_FALSE(tool.PickColor(Point{256 * 3 + 128, 256 * 2}, color));
  ASSERT_EQ(host.pickedAt.size(), 1u);
  EXPECT_EQ(host.pickedAt[0].x, 14);  // (896 * 4) >> 8
  EXPECT_EQ(host.pickedAt[0].y, 8);
  host.pickAnswers = true;
  host.pickColor = CColor(0x80112233u);
  EXPECT_TRUE(tool.PickColor(Point{0, 0}, color));
  EXPECT_EQ(color.value, 0x80112233u);
}

// ---------------------------------------------------------------------------------------------
// Tool set

TEST(ToolSet, HoldsTheTwelveToolsInToolboxOrder) {
  CToolManager manager;
  const int32_t ids[] = {10, 20, 30, 40, 50, 51, 60, 70, 80, 90, 100, 101};
  for (int32_t i = 0; i < CToolManager::TOOL_COUNT; ++i) {
    ASSERT_NE(manager.GetTool(i), nullptr);
    EXPECT_EQ(manager.GetTool(i)->GetId(), ids[i]);
    EXPECT_EQ(manager.FindTool(ids[i]), manager.GetTool(i));
  }
  EXPECT_EQ(manager.GetTool(-1), nullptr);
  EXPECT_EQ(manager.GetTool(12), nullptr);
  EXPECT_EQ(manager.FindTool(52), nullptr);
  EXPECT_EQ(manager.GetTool(4), &manager.pencil);
  EXPECT_EQ(manager.GetTool(8), &manager.eraser);
  EXPECT_EQ(manager.GetActiveTool(), nullptr);
}

TEST(ToolSet, SwitchesBetweenEveryTool) {
  CToolManager manager;
  CTool* previous = nullptr;
  for (int32_t i = 0; i < CToolManager::TOOL_COUNT; ++i) {
    CTool* tool = manager.GetTool(i);
    manager.SetActiveTool(tool);
    EXPECT_EQ(manager.GetActiveTool(), tool);
    EXPECT_TRUE(tool->IsActive());
    if (previous) {
      EXPECT_FALSE(previous->IsActive());
    }
    previous = tool;
  }
  for (int32_t i = 0; i < CToolManager::TOOL_COUNT - 1; ++i)
    EXPECT_FALSE(manager.GetTool(i)->IsActive());
  manager.ClearActiveTool();
  EXPECT_EQ(manager.GetActiveTool(), nullptr);
  EXPECT_FALSE(previous->IsActive());
}

class CountingTool : public CTool {
public:
  void Activate() override {
    ++activations;
    CTool::Activate();
  }
  void Deactivate() override {
    ++deactivations;
    CTool::Deactivate();
  }
  void CreateOptionsPane() override { ++panes; }
  int activations = 0;
  int deactivations = 0;
  int panes = 0;
};

TEST(ToolSet, SettingTheActiveToolAgainDoesNothing) {
  CToolManager manager;
  CountingTool tool;
  manager.SetActiveTool(&tool);
  manager.SetActiveTool(&tool);
  EXPECT_EQ(tool.activations, 1);
  EXPECT_EQ(tool.deactivations, 0);
  manager.SetActiveTool(&manager.pencil);
  EXPECT_EQ(tool.deactivations, 1);
  EXPECT_FALSE(tool.IsActive());
}

TEST(ToolSet, ActivateToolRebuildsTheOptions) {
  RecordingHost host;
  CountingTool first;
  CountingTool second;
  // Without an option host nothing happens.
  EXPECT_FALSE(ActivateTool(&first));
  EXPECT_EQ(g_ToolManager.GetActiveTool(), nullptr);

  host.optionHost = true;
  EXPECT_TRUE(ActivateTool(&first));
  EXPECT_EQ(g_ToolManager.GetActiveTool(), &first);
  EXPECT_EQ(first.panes, 1);
  EXPECT_EQ(host.optionClears, 0);  // no tool was active
  EXPECT_EQ(host.optionLayouts, 1);
  EXPECT_EQ(host.cursorRestores, 1);
  EXPECT_EQ(host.mainWindowFocus, 0);

  // The active tool again: false, the options are not rebuilt.
  EXPECT_FALSE(ActivateTool(&first));
  EXPECT_EQ(first.panes, 1);
  EXPECT_EQ(host.optionLayouts, 1);

  host.focusInOptionHost = true;
  EXPECT_TRUE(ActivateTool(&second));
  EXPECT_EQ(host.optionClears, 1);
  EXPECT_EQ(second.panes, 1);
  EXPECT_EQ(first.deactivations, 1);
  EXPECT_EQ(host.mainWindowFocus, 1);
  g_ToolManager.ClearActiveTool();
  EXPECT_FALSE(second.IsActive());
}

// ---------------------------------------------------------------------------------------------
// Ticker

std::vector<int> g_calls;
void ClientA() { g_calls.push_back(1); }
void ClientB() { g_calls.push_back(2); }
void ClientC() { g_calls.push_back(3); }
void Throwing() {
  g_calls.push_back(9);
  throw std::runtime_error("tick");
}

CTicker* g_unregisterFrom = nullptr;
void SelfRemoving() {
  g_calls.push_back(5);
  g_unregisterFrom->Unregister(&SelfRemoving);
}

TEST(Ticker, NewestClientFirst) {
  CTicker ticker;
  g_calls.clear();
  EXPECT_TRUE(ticker.Register(&ClientA));
  EXPECT_TRUE(ticker.Register(&ClientB));
  EXPECT_TRUE(ticker.Register(&ClientC));
  EXPECT_FALSE(ticker.Register(nullptr));
  ticker.Tick();
  EXPECT_EQ(g_calls, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(ticker.GetClientCount(), 3);
}

TEST(Ticker, UnregisterRemovesTheFirstMatch) {
  CTicker ticker;
  g_calls.clear();
  ticker.Register(&ClientA);
  ticker.Register(&ClientB);
  ticker.Register(&ClientA);
  EXPECT_TRUE(ticker.Unregister(&ClientA));
  ticker.Tick();
  EXPECT_EQ(g_calls, (std::vector<int>{2, 1}));
  EXPECT_TRUE(ticker.Unregister(&ClientA));
  EXPECT_FALSE(ticker.Unregister(&ClientA));
  EXPECT_FALSE(ticker.Unregister(&ClientC));
  EXPECT_EQ(ticker.GetClientCount(), 1);
}

TEST(Ticker, AThrowingClientDoesNotStopTheOthers) {
  CTicker ticker;
  g_calls.clear();
  ticker.Register(&ClientA);
  ticker.Register(&Throwing);
  ticker.Register(&ClientB);
  ticker.Tick();
  ticker.Tick();
  EXPECT_EQ(g_calls, (std::vector<int>{2, 9, 1, 2, 9, 1}));
}

TEST(Ticker, AClientMayUnregisterItself) {
  CTicker ticker;
  g_unregisterFrom = &ticker;
  g_calls.clear();
  ticker.Register(&ClientA);
  ticker.Register(&SelfRemoving);
  ticker.Register(&ClientB);
  ticker.Tick();
  ticker.Tick();
  EXPECT_EQ(g_calls, (std::vector<int>{2, 5, 1, 2, 1}));
}

int g_timerTicks = 0;
void CountTick() {
  ++g_timerTicks;
  if (g_timerTicks == 1)
    throw std::runtime_error("first tick");
}

TEST(Ticker, TheTimerDrivesTheClients) {
  WULInit(GetModuleHandleA(nullptr));
  CTicker ticker;
  g_timerTicks = 0;
  ticker.Register(&CountTick);
  ASSERT_TRUE(ticker.Start());
  EXPECT_TRUE(ticker.IsRunning());
  EXPECT_TRUE(ticker.Start());  // already running
  // Wait for three ticks (the first one throws) by running the message loop.
  const DWORD started = GetTickCount();
  while (g_timerTicks < 3 && GetTickCount() - started < 20000) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  EXPECT_GE(g_timerTicks, 3);
  EXPECT_TRUE(ticker.IsRunning());
  ticker.Stop();
  EXPECT_FALSE(ticker.IsRunning());
  EXPECT_EQ(ticker.GetClientCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Feedback plotting

class Overlay {
public:
  Overlay(int32_t w, int32_t h, uint32_t viewColor) : view(w * h, viewColor), out(w * h, 0) {
    record.width = w;
    record.height = h;
    record.pixels = out.data();
    record.viewPixels = view.data();
    record.overlayImage = nullptr;
    record.viewImage = nullptr;
    record.clip = Rect{0, 0, w, h};
  }
  uint32_t At(int32_t x, int32_t y) const { return out[y * record.width + x]; }
  int Plotted() const {
    int count = 0;
    for (uint32_t p : out)
      count += p != 0;
    return count;
  }
  std::vector<uint32_t> view;
  std::vector<uint32_t> out;
  CToolOverlay record;
};

uint32_t ExpectedContrast(uint32_t view, double opacity) {
  const int r = (view >> 16) & 0xFF, g = (view >> 8) & 0xFF, b = view & 0xFF;
  const int target = r + 2 * g + b >= 512 ? 0 : 255;
  uint32_t result = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int c = (view >> shift) & 0xFF;
    result |= static_cast<uint32_t>(std::floor(c + (target - c) * opacity + 0.5)) << shift;
  }
  return result;
}

TEST(Feedback, ContrastPixelPicksBlackOrWhite) {
  const uint32_t views[] = {0xFFFFFFFFu, 0xFF000000u, 0x00808080u, 0xFF7F8080u, 0xFF123456u,
                            0xFFFF00FFu, 0xFF00FF00u};
  for (uint32_t view : views) {
    Overlay overlay(4, 4, view);
    PlotContrastPixel(overlay.record, 1, 2, 0.5f);
    EXPECT_EQ(overlay.At(1, 2), ExpectedContrast(view, 0.5)) << std::hex << view;
    EXPECT_EQ(overlay.Plotted(), 1);
  }
  Overlay grey(1, 1, 0xFF808080u);  // 128 + 256 + 128 = 512: black
  PlotContrastPixel(grey.record, 0, 0, 1.0f);
  EXPECT_EQ(grey.At(0, 0), 0xFF000000u);
  Overlay darker(1, 1, 0xFF7F8080u);  // 511: white
  PlotContrastPixel(darker.record, 0, 0, 1.0f);
  EXPECT_EQ(darker.At(0, 0), 0xFFFFFFFFu);
}

TEST(Feedback, PointsOutsideTheClipAreIgnored) {
  Overlay overlay(8, 8, 0xFFFFFFFFu);
  overlay.record.clip = Rect{2, 2, 5, 5};
  for (int y = -1; y < 10; ++y)
    for (int x = -1; x < 10; ++x)
      PlotContrastPixel(overlay.record, x, y, 0.5f);
  EXPECT_EQ(overlay.Plotted(), 9);
  EXPECT_NE(overlay.At(2, 2), 0u);
  EXPECT_EQ(overlay.At(5, 5), 0u);
}

TEST(Feedback, LineStepsAlongTheLongerAxis) {
  Overlay overlay(10, 10, 0xFFFFFFFFu);
  DrawOverlayLine(overlay.record, Point{0, 0}, Point{4, 2}, 0.5f);
  EXPECT_EQ(overlay.Plotted(), 5);
  const int ys[] = {0, 1, 1, 2, 2};  // 0, 0.5, 1, 1.5, 2 rounded
  for (int x = 0; x < 5; ++x)
    EXPECT_NE(overlay.At(x, ys[x]), 0u) << x;

  Overlay steep(10, 10, 0xFFFFFFFFu);
  DrawOverlayLine(steep.record, Point{3, 9}, Point{3, 1}, 0.5f);
  EXPECT_EQ(steep.Plotted(), 9);

  Overlay dot(4, 4, 0xFFFFFFFFu);
  DrawOverlayLine(dot.record, Point{2, 2}, Point{2, 2}, 0.5f);
  EXPECT_EQ(dot.Plotted(), 1);
  EXPECT_NE(dot.At(2, 2), 0u);
}

TEST(Feedback, LongLinesAreClippedToTheClipRectangle) {
  Overlay overlay(16, 16, 0xFF000000u);
  DrawOverlayLine(overlay.record, Point{-100000, 5}, Point{100000, 5}, 0.5f);
  EXPECT_EQ(overlay.Plotted(), 16);
}

TEST(Feedback, RectangleEdges) {
  Overlay overlay(10, 10, 0xFFFFFFFFu);
  DrawOverlayRect(overlay.record, Rect{1, 2, 5, 5}, 0.5f);
  EXPECT_EQ(overlay.Plotted(), 10);  // 4 x 3 outline
  EXPECT_NE(overlay.At(1, 2), 0u);
  EXPECT_NE(overlay.At(4, 4), 0u);
  EXPECT_EQ(overlay.At(5, 5), 0u);
  EXPECT_EQ(overlay.At(2, 3), 0u);
}

TEST(Feedback, EllipseCellsFollowTheRoundBrush) {
  // 4 x 4 cells of 3 pixels: the corner cells lie outside.
  Overlay overlay(20, 20, 0xFFFFFFFFu);
  DrawOverlayEllipse(overlay.record, Rect{2, 2, 14, 14}, 3, 0.5f);
  EXPECT_EQ(overlay.At(2, 2), 0u);              // corner cell
  EXPECT_NE(overlay.At(5, 2), 0u);              // top edge of cell (1, 0)
  EXPECT_NE(overlay.At(2, 5), 0u);              // left edge of cell (0, 1)
  EXPECT_EQ(overlay.At(6, 6), 0u);              // inside, no edge
  EXPECT_NE(overlay.At(5, 4), 0u);              // left edge of cell (1, 0) faces the corner
  EXPECT_EQ(overlay.At(8, 6), 0u);              // between member cells
  // Every plotted pixel lies in the rectangle.
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      if (overlay.At(x, y)) {
        EXPECT_TRUE(x >= 2 && x < 14 && y >= 2 && y < 14) << x << "," << y;
      }
}

TEST(Feedback, EllipseCellTestMatchesTheDabRule) {
  // A cell is in when its centre is within size / 2 of the square's centre.
  for (int n = 1; n <= 12; ++n) {
    for (int row = 0; row < n; ++row) {
      for (int col = 0; col < n; ++col) {
        const double c = n / 2.0 - 0.5;
        const bool in = (col - c) * (col - c) + (row - c) * (row - c) <= (n / 2.0) * (n / 2.0);
        EXPECT_EQ(IsCellInEllipse(col, row, n, n), in) << n << ":" << col << "," << row;
      }
    }
  }
  EXPECT_FALSE(IsCellInEllipse(-1, 0, 3, 3));
  EXPECT_FALSE(IsCellInEllipse(0, 3, 3, 3));
}

TEST(Feedback, EllipseOfSinglePixelCellsPlotsItsBoundary) {
  Overlay overlay(12, 12, 0xFFFFFFFFu);
  DrawOverlayEllipse(overlay.record, Rect{1, 1, 10, 10}, 1, 0.5f);
  EXPECT_EQ(overlay.At(5, 5), 0u);  // centre
  EXPECT_NE(overlay.At(5, 1), 0u);  // top of the circle
  EXPECT_EQ(overlay.At(1, 1), 0u);  // corner outside
  EXPECT_GT(overlay.Plotted(), 16);
}

}  // namespace
