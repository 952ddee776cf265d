#include "ui/Toolbox.h"
#include <initializer_list>
#include "document/EditorUI.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "tools/ToolManager.h"
#include "ui/BarResourceIds.h"
#include "ui/ColorPickerDialog.h"
#include "ui/FoldingPanel.h"
#include "ui/StatusBar.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULPanel.h"

namespace {

struct ToolEntry {
  const char* tooltip;
  int bitmap;
  int32_t toolId;
};

// Left, right, then the next row.
const ToolEntry kTools[Toolbox::TOOL_BUTTON_COUNT] = {
    {"Selection Tool", IDB_TOOL_SELECTION, 10}, {"Magic Wand", IDB_TOOL_MAGIC_WAND, 20},
    {"Move Tool", IDB_TOOL_MOVE, 30},           {"Color Picker", IDB_TOOL_COLOR_PICKER, 40},
    {"Pencil", IDB_TOOL_PENCIL, 50},            {"Brush", IDB_TOOL_BRUSH, 51},
    {"Gradient Tool", IDB_TOOL_GRADIENT, 60},   {"Flood Fill Tool", IDB_TOOL_FLOOD_FILL, 70},
    {"Eraser", IDB_TOOL_ERASER, 80},            {"Text Tool", IDB_TOOL_TEXT, 90},
    {"Rectangle Tool", IDB_TOOL_RECTANGLE, 100}, {"Ellipse Tool", IDB_TOOL_ELLIPSE, 101},
};

const int kClientWidth = 59;
const int kToolBarHeight = 175;
const int kToolButtonSize = 28;
const int kToolPitch = 29;
const int kSwatchSize = 28;
const int kCornerSize = 8;
const int kSmallBarSize = 17;

CWULPanel* g_Panel = nullptr;
CWULItemBar* g_ToolBar = nullptr;
CWULStandardBarItem* g_ToolButtons[Toolbox::TOOL_BUTTON_COUNT] = {};
CWULPicture* g_Widget = nullptr;
CWULStandardBarItem* g_ResetButton = nullptr;
CWULStandardBarItem* g_SwapButton = nullptr;

void OnPanelDeleted(CWULInteractor*) {
  g_Panel = nullptr;
  g_ToolBar = nullptr;
  for (CWULStandardBarItem*& button : g_ToolButtons)
    button = nullptr;
}

void OnToolBarDeleted(CWULInteractor*) {
  g_ToolBar = nullptr;
  for (CWULStandardBarItem*& button : g_ToolButtons)
    button = nullptr;
}

void OnWidgetDeleted(CWULInteractor*) {
  g_Widget = nullptr;
  g_ResetButton = nullptr;
  g_SwapButton = nullptr;
}

void OnWidgetCreated(CWULInteractor* self) {
  CStatusRegistry::Register(self->GetHandle(), &Toolbox::UpdateWidgetStatus);
  Toolbox::UpdateColors();
}

void OnWidgetDestroying(CWULInteractor* self) { CStatusRegistry::Unregister(self->GetHandle()); }

void OnWidgetSized(CWULInteractor*) { Toolbox::UpdateColors(); }

void OnWidgetMouseMove(CWULInteractor* self, int, int x, int y) {
  Toolbox::UpdateWidgetStatus(self->GetHandle(), x, y);
}

bool Inside(const RECT& rect, int x, int y) { return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom; }

// The colour setting under a client point of the widget, the primary square first.
CColorSetting* SettingAt(int x, int y) {
  if (!g_Widget)
    return nullptr;
  const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(g_Widget->GetWidth());
  if (Inside(layout.primary, x, y))
    return g_Settings.drawingColorsPrimary;
  if (Inside(layout.secondary, x, y))
    return g_Settings.drawingColorsSecondary;
  return nullptr;
}

void OnWidgetLeftDown(CWULInteractor* self, int, int x, int y) {
  CColorSetting* setting = SettingAt(x, y);
  if (!setting)
    return;
  CColor color = setting->GetValue();
  if (ColorPickerDialog(&color, self)) {
    setting->SetValue(color);
    Toolbox::UpdateColors();
  }
}


// A 17 x 17 bar at (x, y) of the widget with one button.
CWULStandardBarItem* AddSmallButton(int x, int y, const char* tooltip, int normal, int hot,
                                    CWULStandardBarItem::Callback callback) {
  CWULItemBar* bar = new CWULItemBar;
  bar->SetBounds(x, y, kSmallBarSize, kSmallBarSize);
  CWULStandardBarItem* button = new CWULStandardBarItem;
  bar->AddItem(button);
  button->SetText(tooltip);
  button->SetBounds(0, 0, kSmallBarSize, kSmallBarSize);
  SetPanelButtonPicture(button, WUL_BAR_IMAGE_NORMAL, normal);
  SetPanelButtonPicture(button, WUL_BAR_IMAGE_HOT, hot);
  button->clickCallback = callback;
  return button;
}

CColor Opaque(CColor color) { return CColor(color.value | 0xFF000000u); }

CColor SettingColor(CColorSetting* setting, uint32_t fallback) {
  return setting ? setting->GetValue() : CColor(fallback);
}

// x / 255 rounded, for x up to 255 * 255.
uint32_t Div255(uint32_t x) { return (x * 0x10101u + 0x800000u) >> 24; }

}  // namespace

uint32_t Toolbox::TintChequerCell(CColor cell, CColor color) {
  const uint32_t a = color.GetAlpha();
  const uint32_t r = Div255(cell.GetRed() * (255 - a) + color.GetRed() * a);
  const uint32_t g = Div255(cell.GetGreen() * (255 - a) + color.GetGreen() * a);
  const uint32_t b = Div255(cell.GetBlue() * (255 - a) + color.GetBlue() * a);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void CreateColorWidget() {
  if (!g_Panel || g_Widget)
    return;
  const int w = g_Panel->GetClientWidth();
  wulPushDefaultParent(g_Panel);
  try {
    CWULPicture* widget = new CWULPicture;
    g_Widget = widget;
    widget->deletedHandler = &OnWidgetDeleted;
    widget->createdHandler = &OnWidgetCreated;
    widget->destroyedHandler = &OnWidgetDestroying;
    widget->sizeChangedHandler = &OnWidgetSized;
    widget->mouseMoveHandler = &OnWidgetMouseMove;
    widget->leftDownHandler = &OnWidgetLeftDown;
    widget->SetBounds(0, kToolBarHeight + 1, w, w);
    const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(w);
    wulPushDefaultParent(widget);
    try {
      g_ResetButton = AddSmallButton(layout.secondary.left - 2 - kSmallBarSize, layout.primary.bottom + 2,
                                     "Reset colors", IDB_COLORS_RESET, IDB_COLORS_RESET_HOT,
                                     &Toolbox::OnResetColors);
      g_SwapButton = AddSmallButton(layout.primary.right + 2, layout.secondary.top - 2 - kSmallBarSize,
                                    "Swap colors", IDB_COLORS_SWAP, IDB_COLORS_SWAP_HOT, &Toolbox::OnSwapColors);
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
  Toolbox::UpdateColors();
}

void CreateToolbox() {
  if (g_Panel)
    return;
  CWULPanel* panel = nullptr;
  try {
    panel = new CWULPanel;
    g_Panel = panel;
    SetUpDockPanel(panel, &OnPanelDeleted, kClientWidth, WUL_ALIGN_LEFT);
    wulPushDefaultParent(panel);
    try {
      CWULItemBar* bar = new CWULItemBar;
      g_ToolBar = bar;
      bar->deletedHandler = &OnToolBarDeleted;
      bar->SetItemStyle(WUL_ITEM_STYLE_BUTTONS);
      bar->SetBounds(0, 0, panel->GetClientWidth(), kToolBarHeight);
      CWULStandardBarItem* previous = nullptr;
      for (int i = 0; i < Toolbox::TOOL_BUTTON_COUNT; ++i) {
        CWULStandardBarItem* button = new CWULStandardBarItem;
        bar->AddItem(button);
        g_ToolButtons[i] = button;
        button->SetText(kTools[i].tooltip);
        button->value = kTools[i].toolId;
        button->SetBounds(1 + (i % 2) * kToolPitch, 1 + (i / 2) * kToolPitch, kToolButtonSize, kToolButtonSize);
        SetPanelButtonPicture(button, WUL_BAR_IMAGE_NORMAL, kTools[i].bitmap);
        button->SetBehaviour(WUL_BEHAVIOUR_EXCLUSIVE);
        if (previous)
          button->JoinGroup(previous);
        button->clickCallback = &Toolbox::OnToolButtonClick;
        previous = button;
      }
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    CreateColorWidget();
  } catch (...) {
    ErrorBox("Toolbox creation failed");
    delete panel;
    throw;
  }
}

namespace Toolbox {

CWULPanel* GetPanel() { return g_Panel; }
CWULItemBar* GetToolBar() { return g_ToolBar; }
CWULStandardBarItem* GetToolButton(int index) {
  return index >= 0 && index < TOOL_BUTTON_COUNT ? g_ToolButtons[index] : nullptr;
}
CWULPicture* GetColorWidget() { return g_Widget; }
CWULStandardBarItem* GetResetButton() { return g_ResetButton; }
CWULStandardBarItem* GetSwapButton() { return g_SwapButton; }

CSwatchLayout GetSwatchLayout(int width) {
  const int m = (width - 42) / 2;
  CSwatchLayout layout;
  layout.primary = RECT{m, m, m + kSwatchSize, m + kSwatchSize};
  layout.secondary = RECT{width - m - kSwatchSize, width - m - kSwatchSize, width - m, width - m};
  layout.primaryCorner = RECT{m, m, m + kCornerSize, m + kCornerSize};
  layout.secondaryCorner = RECT{width - m - kCornerSize, width - m - kCornerSize, width - m, width - m};
  return layout;
}

void PaintSwatch(CWULPicture* picture, const RECT& square, const RECT& corner, CColor color) {
  CWULImage* image = picture ? picture->GetImage() : nullptr;
  if (!image || !image->pixels)
    return;
  const CColor a = SettingColor(g_Settings.uiColorsChequerA, 0xFFF0F0F0u);
  const CColor b = SettingColor(g_Settings.uiColorsChequerB, 0xFFC0C0C0u);
  const uint32_t cellA = TintChequerCell(a, color), cellB = TintChequerCell(b, color);
  for (int y = square.top; y < square.bottom; ++y) {
    for (int x = square.left; x < square.right; ++x) {
      const bool even = (((x - square.left) / 4) + ((y - square.top) / 4)) % 2 == 0;
      image->SetPixel(x, y, even ? cellA : cellB);
    }
  }
  const CWULColor opaque(Opaque(color).value);
  image->FillRect(&corner, opaque);
  // The outline just outside the square.
  const RECT top = {square.left - 1, square.top - 1, square.right + 1, square.top};
  const RECT bottom = {square.left - 1, square.bottom, square.right + 1, square.bottom + 1};
  const RECT left = {square.left - 1, square.top, square.left, square.bottom};
  const RECT right = {square.right, square.top, square.right + 1, square.bottom};
  for (const RECT* edge : {&top, &bottom, &left, &right})
    image->FillRect(edge, opaque);
}

void UpdateColors() {
  if (!g_Widget)
    return;
  CWULImage* image = g_Widget->GetImage();
  if (!image)
    return;
  image->Fill(g_Widget->GetColor());
  const CSwatchLayout layout = GetSwatchLayout(g_Widget->GetWidth());
  PaintSwatch(g_Widget, layout.secondary, layout.secondaryCorner,
              SettingColor(g_Settings.drawingColorsSecondary, 0));
  PaintSwatch(g_Widget, layout.primary, layout.primaryCorner,
              SettingColor(g_Settings.drawingColorsPrimary, 0xFF000000u));
  if (g_Widget->GetHandle())
    g_Widget->Redraw();
}

bool SelectTool(int32_t toolId) {
  for (CWULStandardBarItem* button : g_ToolButtons) {
    if (button && button->value == toolId) {
      button->PerformClick();
      return true;
    }
  }
  return false;
}

void OnToolButtonClick(CWULStandardBarItem* item, CWULStandardBarItem*) {
  if (!item || item->IsChecked())
    return;
  CTool* tool = g_ToolManager.FindTool(item->value);
  if (!tool)
    return;
  // Without the tool panel's option host the tool still becomes the active one.
  if (!ActivateTool(tool) && g_ToolManager.GetActiveTool() != tool) {
    g_ToolManager.SetActiveTool(tool);
    GetEditorUI()->RestoreCursor();
  }
}

void OnResetColors(CWULStandardBarItem*, CWULStandardBarItem*) {
  if (g_Settings.drawingColorsPrimary)
    g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF000000u));
  if (g_Settings.drawingColorsSecondary)
    g_Settings.drawingColorsSecondary->SetValue(CColor(0u));
  UpdateColors();
}

void OnSwapColors(CWULStandardBarItem*, CWULStandardBarItem*) {
  CColorSetting* primary = g_Settings.drawingColorsPrimary;
  CColorSetting* secondary = g_Settings.drawingColorsSecondary;
  if (primary && secondary) {
    const CColor value = primary->value, remembered = primary->remembered;
    primary->value = secondary->value;
    primary->remembered = secondary->remembered;
    secondary->value = value;
    secondary->remembered = remembered;
  }
  UpdateColors();
}

void UpdateWidgetStatus(HWND, int32_t x, int32_t y) {
  CColorSetting* setting = SettingAt(x, y);
  if (setting) {
    StatusBar::SetHelpText("Click to modify color.");
    StatusBar::SetColor(setting->GetValue());
  } else {
    StatusBar::SetHelpText("");
    StatusBar::ClearColor();
  }
}

}  // namespace Toolbox
