#pragma once
// What the shape, gradient, fill and brush tests share: positions in pixels, the blend of a
// channel mode, a generic drag and a fixture with the recording user interface.
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "ToolTestSupport.h"
#include "document/History.h"
#include "document/PixelArray.h"
#include "tools/DrawingColors.h"
#include "tools/Tool.h"

// A position in pixels, 24.8.
inline Point Px(double x, double y) {
  return Point{static_cast<int32_t>(x * 256), static_cast<int32_t>(y * 256)};
}

inline uint32_t BlendInMode(uint32_t before, uint32_t color, uint32_t amount, int mode) {
  if (mode == 1)
    return BlendRgb(before, color, amount);
  if (mode == 2)
    return BlendAlpha(before, color, amount);
  return BlendArgb(before, color, amount);
}

// The main view's protocol for a press, moves and a release.
inline void DragTool(CTool& tool, int32_t button, const std::vector<Point>& path) {
  tool.PointerEntered(path[0]);
  tool.GetCursor(path[0]);
  tool.MouseMove(path[0]);
  ASSERT_TRUE(tool.MouseDown(button, path[0]));
  for (size_t k = 1; k < path.size(); ++k)
    tool.MouseMove(path[k]);
  EXPECT_TRUE(tool.MouseUp(button, path.back()));
  tool.EndDrag();
}

// Sets the selection's edit mask from a function of the mask position and makes it active.
template <class F>
void SetSelection(CSelection* selection, F value) {
  CMaskArray* mask = selection->GetMask();
  for (int32_t y = 0; y < mask->height; ++y)
    for (int32_t x = 0; x < mask->width; ++x)
      mask->data[y * mask->width + x] = static_cast<uint8_t>(value(x, y));
  selection->SetActive(true);
  selection->Update(nullptr);
  ResyncWorkingCopies();
}

inline std::vector<uint8_t> MaskOf(const CMaskArray& mask) {
  return std::vector<uint8_t>(mask.data, mask.data + static_cast<size_t>(mask.width) * mask.height);
}

// Fixture base: colours and the recording user interface (a RecordingHost or one derived
// from it).
template <class Host>
class DrawingToolTestWith : public testing::Test {
protected:
  void SetUp() override {
    SetPrimaryColor(CColor(0xFFFF0000u));
    SetSecondaryColor(CColor(0xFF0000FFu));
  }

  Host host;
};
using DrawingToolTest = DrawingToolTestWith<RecordingHost>;
