#include "tools/DrawingColors.h"
#include "document/EditorUI.h"
#include "shell/Settings.h"

CColor GetPrimaryColor() {
  return g_Settings.drawingColorsPrimary ? g_Settings.drawingColorsPrimary->GetValue() : CColor();
}

CColor GetSecondaryColor() {
  return g_Settings.drawingColorsSecondary ? g_Settings.drawingColorsSecondary->GetValue()
                                           : CColor();
}

void SetPrimaryColor(CColor color) {
  if (g_Settings.drawingColorsPrimary)
    g_Settings.drawingColorsPrimary->SetValue(color);
  GetEditorUI()->UpdateToolboxColors();
}

void SetSecondaryColor(CColor color) {
  if (g_Settings.drawingColorsSecondary)
    g_Settings.drawingColorsSecondary->SetValue(color);
  GetEditorUI()->UpdateToolboxColors();
}

CColor GetStrokeColor(int32_t button) {
  if (button == 1)
    return GetPrimaryColor();
  if (button == 2)
    return GetSecondaryColor();
  return CColor();
}
