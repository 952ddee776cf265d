#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "wul/WULEdit.h"
#include "BoxDriver.h"
#include "shell/Clipboard.h"
#include "shell/Settings.h"
#include "tools/ToolManager.h"
#include "ui/AppCursors.h"
#include "ui/MainWindow.h"
#include "ui/StatusBar.h"
#include "ui/Toolbox.h"
#include "MainWindowHarness.h"
#include "ViewSettings.h"
#include "wul/WULAppWindow.h"
#include "wul/WULItemBar.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WindowTestKit.h"

namespace {

// The widget's pixel at (x, y) as 0xRRGGBB.
uint32_t WidgetAt(int x, int y) {
  GdiFlush();
  return Toolbox::GetColorWidget()->GetImage()->GetPixel(x, y) & 0xFFFFFFu;
}

uint32_t RGBOf(CColor color) { return color.value & 0xFFFFFFu; }

// The cell colour moved half-way (alpha 128) towards the colour.
uint32_t Tinted(CColor cell, CColor color) {
  const uint32_t a = color.GetAlpha();
  auto mix = [a](uint32_t c, uint32_t d) { return (c * (255 - a) + d * a + 127) / 255; };
  return (mix(cell.GetRed(), color.GetRed()) << 16) | (mix(cell.GetGreen(), color.GetGreen()) << 8) |
         mix(cell.GetBlue(), color.GetBlue());
}

class ToolboxTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    g_Settings.uiColorsChequerA->SetValue(CColor(0xFFF0F0F0u));
    g_Settings.uiColorsChequerB->SetValue(CColor(0xFFC0C0C0u));
    g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF000000u));
    g_Settings.drawingColorsSecondary->SetValue(CColor(0u));
  }

  void TearDown() override {
    DiscardMainWindow();
  }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, Toolbox::GetPanel());
    ASSERT_NE(nullptr, Toolbox::GetColorWidget());
  }

  static void ClickItem(CWULStandardBarItem* item) { ClickBarItem(item); }

  static int ActiveToolId() {
    CTool* tool = g_ToolManager.GetActiveTool();
    return tool ? tool->GetId() : -1;
  }

  // The checked tool buttons, by index; -1 for none, -2 for more than one.
  static int CheckedButton() {
    int found = -1;
    for (int i = 0; i < Toolbox::TOOL_BUTTON_COUNT; ++i) {
      if (Toolbox::GetToolButton(i)->IsChecked())
        found = found == -1 ? i : -2;
    }
    return found;
  }
};


TEST_F(ToolboxTest, TwelveToolButtonsInTwoColumnsAndTheColourWidgetUnderThem) {
  Open();
  CWULPanel* panel = Toolbox::GetPanel();
  EXPECT_EQ(WUL_ALIGN_LEFT, panel->GetAlignment());
  EXPECT_EQ(59, panel->GetClientWidth());
  EXPECT_EQ(WUL_EDGE_SUNKEN, panel->GetOuterEdge());
  EXPECT_EQ(1, panel->GetBorderWidth());
  CWULItemBar* bar = Toolbox::GetToolBar();
  EXPECT_EQ(0, bar->GetX());
  EXPECT_EQ(0, bar->GetY());
  EXPECT_EQ(59, bar->GetWidth());
  EXPECT_EQ(175, bar->GetHeight());
  const char* tips[] = {"Selection Tool", "Magic Wand", "Move Tool", "Color Picker", "Pencil", "Brush",
                        "Gradient Tool", "Flood Fill Tool", "Eraser", "Text Tool", "Rectangle Tool", "Ellipse Tool"};
  const int ids[] = {10, 20, 30, 40, 50, 51, 60, 70, 80, 90, 100, 101};
  for (int i = 0; i < Toolbox::TOOL_BUTTON_COUNT; ++i) {
    CWULStandardBarItem* button = Toolbox::GetToolButton(i);
    ASSERT_NE(nullptr, button);
    EXPECT_STREQ(tips[i], button->GetText());
    EXPECT_EQ(ids[i], button->value);
    EXPECT_EQ(1 + (i % 2) * 29, button->GetX()) << tips[i];
    EXPECT_EQ(1 + (i / 2) * 29, button->GetY()) << tips[i];
    EXPECT_EQ(28, button->GetWidth());
    EXPECT_EQ(WUL_BEHAVIOUR_EXCLUSIVE, button->GetBehaviour());
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_NORMAL));
  }
  CWULPicture* widget = Toolbox::GetColorWidget();
  EXPECT_EQ(176, widget->GetY());
  EXPECT_EQ(59, widget->GetWidth());
  EXPECT_EQ(59, widget->GetHeight());
  // Reset: right edge 2 pixels left of the secondary square, top 2 pixels under the primary.
  const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(59);
  EXPECT_EQ(8, layout.primary.left);
  EXPECT_EQ(36, layout.primary.bottom);
  EXPECT_EQ(23, layout.secondary.left);
  EXPECT_EQ(51, layout.secondary.right);
  CWULItemBar* reset = Toolbox::GetResetButton()->GetBar();
  EXPECT_EQ(widget, reset->parent);
  EXPECT_EQ(layout.secondary.left - 2, reset->GetRight());
  EXPECT_EQ(layout.primary.bottom + 2, reset->GetY());
  EXPECT_EQ(17, reset->GetWidth());
  CWULItemBar* swap = Toolbox::GetSwapButton()->GetBar();
  EXPECT_EQ(layout.primary.right + 2, swap->GetX());
  EXPECT_EQ(layout.secondary.top - 2, swap->GetBottom());
  EXPECT_STREQ("Reset colors", Toolbox::GetResetButton()->GetText());
  EXPECT_STREQ("Swap colors", Toolbox::GetSwapButton()->GetText());
}

TEST_F(ToolboxTest, ClickingAToolButtonActivatesItsTool) {
  Open();
  // The main window selects the selection tool at start-up, through its button.
  EXPECT_EQ(10, ActiveToolId());
  EXPECT_EQ(0, CheckedButton());
  ClickItem(Toolbox::GetToolButton(4));
  EXPECT_EQ(50, ActiveToolId());
  EXPECT_EQ(4, CheckedButton());
  ClickItem(Toolbox::GetToolButton(11));
  EXPECT_EQ(101, ActiveToolId());
  EXPECT_EQ(11, CheckedButton());
  // A click on the button that is down changes nothing.
  ClickItem(Toolbox::GetToolButton(11));
  EXPECT_EQ(101, ActiveToolId());
  EXPECT_EQ(11, CheckedButton());
  // The tool command and SelectTool go through the buttons.
  SendMessageA(g_MainWindow->GetHandle(), WM_COMMAND, CMD_SELECT_TOOL + 70, 0);
  EXPECT_EQ(70, ActiveToolId());
  EXPECT_EQ(7, CheckedButton());
  EXPECT_TRUE(Toolbox::SelectTool(20));
  EXPECT_EQ(20, ActiveToolId());
  EXPECT_EQ(1, CheckedButton());
  EXPECT_FALSE(Toolbox::SelectTool(55));
  EXPECT_EQ(20, ActiveToolId());
  EXPECT_EQ(1, CheckedButton());
}

TEST_F(ToolboxTest, ResetShowsTheBareChequerboardAndABlackCorner) {
  g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF00FF00u));
  g_Settings.drawingColorsSecondary->SetValue(CColor(0xFF0000FFu));
  Open();
  ClickItem(Toolbox::GetResetButton());
  EXPECT_EQ(0xFF000000u, g_Settings.drawingColorsPrimary->GetValue().value);
  EXPECT_EQ(0u, g_Settings.drawingColorsSecondary->GetValue().value);
  const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(59);
  const RECT& s = layout.secondary;
  // Outside the primary square and the corner: cells of 4 pixels from the square's corner.
  EXPECT_EQ(0xF0F0F0u, WidgetAt(s.left + 16, s.top + 16));
  EXPECT_EQ(0xF0F0F0u, WidgetAt(s.left + 19, s.top + 19));
  EXPECT_EQ(0xC0C0C0u, WidgetAt(s.left + 20, s.top + 16));
  EXPECT_EQ(0xC0C0C0u, WidgetAt(s.left + 16, s.top + 20));
  EXPECT_EQ(0xF0F0F0u, WidgetAt(s.left + 24, s.top + 16));
  EXPECT_EQ(0xC0C0C0u, WidgetAt(s.right - 1, s.top + 14));
  // The corner in the opaque colour: black; the outline just outside the square too.
  EXPECT_EQ(0x000000u, WidgetAt(s.right - 1, s.bottom - 1));
  EXPECT_EQ(0x000000u, WidgetAt(s.right - 8, s.bottom - 8));
  EXPECT_EQ(0x000000u, WidgetAt(s.right, s.bottom - 10));
  EXPECT_EQ(0x000000u, WidgetAt(s.right - 10, s.bottom));
  EXPECT_EQ(RGBOf(CColor(Toolbox::GetColorWidget()->GetColor().value)), WidgetAt(s.right + 1, s.bottom - 10));
  // The primary square over it is opaque black.
  EXPECT_EQ(0x000000u, WidgetAt(layout.primary.left + 20, layout.primary.top + 20));
}

TEST_F(ToolboxTest, AHalfTransparentPrimaryTintsTheChequerboardHalfWay) {
  const CColor red(0x80FF0000u);
  g_Settings.drawingColorsPrimary->SetValue(red);
  Open();
  const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(59);
  const RECT& p = layout.primary;
  EXPECT_EQ(Tinted(CColor(0xFFF0F0F0u), red), WidgetAt(p.left + 9, p.top + 1));
  EXPECT_EQ(Tinted(CColor(0xFFC0C0C0u), red), WidgetAt(p.left + 13, p.top + 1));
  EXPECT_EQ(0xF87878u, WidgetAt(p.left + 9, p.top + 1));
  // The corner is the colour made opaque; so is the outline.
  EXPECT_EQ(0xFF0000u, WidgetAt(p.left, p.top));
  EXPECT_EQ(0xFF0000u, WidgetAt(p.left + 7, p.top + 7));
  EXPECT_EQ(0xFF0000u, WidgetAt(p.left - 1, p.top + 15));
  // The transparent secondary shows the bare board where the primary leaves it.
  EXPECT_EQ(0xF0F0F0u, WidgetAt(layout.secondary.right - 12, layout.secondary.bottom - 12));

  // A change through the user interface reaches the widget.
  g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF0000FFu));
  RefreshAll();
  EXPECT_EQ(0x0000FFu, WidgetAt(p.left + 20, p.top + 20));
}

TEST_F(ToolboxTest, SwapExchangesCurrentAndRememberedValues) {
  Open();
  g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF112233u));
  g_Settings.drawingColorsPrimary->remembered = CColor(0xFF445566u);
  g_Settings.drawingColorsSecondary->SetValue(CColor(0x80778899u));
  g_Settings.drawingColorsSecondary->remembered = CColor(0x10AABBCCu);
  ClickItem(Toolbox::GetSwapButton());
  EXPECT_EQ(0x80778899u, g_Settings.drawingColorsPrimary->GetValue().value);
  EXPECT_EQ(0x10AABBCCu, g_Settings.drawingColorsPrimary->remembered.value);
  EXPECT_EQ(0xFF112233u, g_Settings.drawingColorsSecondary->GetValue().value);
  EXPECT_EQ(0xFF445566u, g_Settings.drawingColorsSecondary->remembered.value);
  const Toolbox::CSwatchLayout layout = Toolbox::GetSwatchLayout(59);
  EXPECT_EQ(0x112233u, WidgetAt(layout.secondary.right - 5, layout.secondary.bottom - 5));
  EXPECT_EQ(0x778899u, WidgetAt(layout.primary.left + 2, layout.primary.top + 2));
}

TEST_F(ToolboxTest, ThePointerOverASwatchDescribesItsColour) {
  g_Settings.drawingColorsPrimary->SetValue(CColor(0xFF0A141Eu));
  g_Settings.drawingColorsSecondary->SetValue(CColor(0x80010203u));
  Open();
  CWULPicture* widget = Toolbox::GetColorWidget();
  ASSERT_NE(nullptr, CStatusRegistry::Find(widget->GetHandle()));
  auto pointAt = [widget](int x, int y) {
    POINT screen = {x, y};
    ClientToScreen(widget->GetHandle(), &screen);
    SetCursorPos(screen.x, screen.y);
    StatusBar::OnTick();
  };
  // Where the squares overlap the primary wins.
  pointAt(30, 30);
  EXPECT_STREQ("Click to modify color.", StatusBar::GetPane(StatusBar::PANE_HELP)->GetText());
  EXPECT_STREQ("10,20,30", StatusBar::GetPane(StatusBar::PANE_COLOR)->GetText());
  pointAt(45, 45);
  EXPECT_STREQ("1,2,3 : 128", StatusBar::GetPane(StatusBar::PANE_COLOR)->GetText());
  // Elsewhere both panes are cleared.
  pointAt(2, 55);
  EXPECT_STREQ("", StatusBar::GetPane(StatusBar::PANE_COLOR)->GetText());
  Sleep(120);
  pointAt(2, 56);
  EXPECT_STREQ("", StatusBar::GetPane(StatusBar::PANE_HELP)->GetText());
  SetCursorPos(0, 0);
}

TEST_F(ToolboxTest, ClickingWhereTheSquaresOverlapEditsThePrimaryColour) {
  g_Settings.drawingColorsPrimary->SetValue(CColor(0xFFFF0000u));
  g_Settings.drawingColorsSecondary->SetValue(CColor(0xFF0000FFu));
  Open();
  CWULPicture* widget = Toolbox::GetColorWidget();
  std::string shown;
  BoxDriver::Run(
      "Color",
      [&](CWULAppWindow* dialog) {
        for (CWULInteractor* child = dialog->firstChild; child; child = child->nextSibling) {
          if (auto* hex = dynamic_cast<CWULEdit*>(child)) {
            shown = hex->GetText();
            hex->SetFocus();
            PumpSome(1000);
            hex->SelectAll();
            for (const char* k = "00FF00"; *k; ++k) {
              PostMessageA(hex->GetEditWindow(), WM_KEYDOWN, *k, KeyParam(*k, false));
              PostMessageA(hex->GetEditWindow(), WM_KEYUP, *k, KeyParam(*k, true));
              PumpSome(1000);
            }
            // Enter in the field presses OK; the dialog's loop takes the rest.
            PostMessageA(hex->GetEditWindow(), WM_KEYDOWN, VK_RETURN, KeyParam(VK_RETURN, false));
            return;
          }
        }
      },
      [&] {
        wulSendMessage(widget->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
        wulSendMessage(widget->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
        return 0;
      });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ("FF0000", shown);
  EXPECT_EQ(0xFF00FF00u, g_Settings.drawingColorsPrimary->GetValue().value);
  EXPECT_EQ(0xFF0000FFu, g_Settings.drawingColorsSecondary->GetValue().value);
  EXPECT_EQ(0x00FF00u, WidgetAt(30, 30));

  // Outside both squares a click opens nothing.
  BoxDriver::Run("Color", [](CWULAppWindow*) {}, [&] {
    wulSendMessage(widget->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    wulSendMessage(widget->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    return 0;
  });
  EXPECT_FALSE(BoxDriver::Ran());
}

}  // namespace
