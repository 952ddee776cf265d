#include "tools/ColorPicker.h"
#include "document/EditorUI.h"
#include "tools/DrawingColors.h"

CColorPickerTool::CColorPickerTool() : state(STATE_READY), button(BUTTON_LEFT) {
  id = 40;
}

HCURSOR CColorPickerTool::GetCursor(const Point&) {
  const bool picking = state == STATE_READY || state == STATE_PICK;
  return GetEditorUI()->GetAppCursor(picking ? CURSOR_PICKER : CURSOR_TOOL_DEFAULT);
}

bool CColorPickerTool::MouseDown(int32_t pressed, const Point& pos) {
  if ((pressed != BUTTON_LEFT && pressed != BUTTON_RIGHT) || state != STATE_READY)
    return false;
  button = pressed;
  state = STATE_PICK;
  MouseMove(pos);
  return true;
}

void CColorPickerTool::MouseMove(const Point& pos) {
  if (state == STATE_PICK)
    PickButtonColor(pos, button);
}

bool CColorPickerTool::MouseUp(int32_t pressed, const Point&) {
  return state == STATE_PICK && pressed == button;
}

void CColorPickerTool::EndDrag() {
  state = STATE_READY;
}

void CColorPickerTool::ShowHint() {
  GetEditorUI()->SetHelpText(state == STATE_READY ? "Left/right click to pick a color." : "");
}

void CColorPickerTool::ShowColor(const Point& pos) {
  ShowDrawnOrPickedColor(pos, false, BUTTON_LEFT, state == STATE_PICK);
}
