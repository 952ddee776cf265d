#pragma once
// The Color Picker takes the displayed colour under the pointer into the primary (left
// button) or secondary (right button) drawing colour.
#include <cstdint>
#include "tools/Tool.h"

class CColorPickerTool : public CTool {
public:
  enum { STATE_PICK = 2 };

  CColorPickerTool();

  HCURSOR GetCursor(const Point& pos) override;
  void MouseMove(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  void ShowHint() override;
  void ShowColor(const Point& pos) override;

  int32_t GetState() const { return state; }

private:
  int32_t state;
  int32_t button;
};
