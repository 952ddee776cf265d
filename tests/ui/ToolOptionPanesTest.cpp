#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "MainWindowHarness.h"
#include "shell/Settings.h"
#include "tools/OptionPanes.h"
#include "tools/TextOptions.h"
#include "tools/ToolManager.h"
#include "ui/AppCursors.h"
#include "ui/MainWindow.h"
#include "ui/ToolPanel.h"
#include "ui/Toolbox.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULPanel.h"
#include "wul/WULScroll.h"
#include "wul/WindowTestKit.h"

namespace {

class ToolOptionPanesTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    g_Settings.panelsToolBodyFolded->SetValue(false);
    g_Settings.panelsToolBodyClientHeight->SetValue(120);
    g_Settings.drawingToolsSelectorShape->SetValue(1);
    g_Settings.drawingToolsRectangleType->SetValue(1);
    g_Settings.drawingToolsRectangleOutlineWidth->SetValue(1);
    g_Settings.drawingToolsEllipseType->SetValue(1);
    g_Settings.drawingToolsEllipseOutlineWidth->SetValue(1);
    g_Settings.drawingToolsGradientType->SetValue(1);
    g_Settings.drawingToolsFloodFillerTolerance->SetValue(0);
    g_Settings.drawingToolsMagicWandTolerance->SetValue(0);
  }

  void TearDown() override { DiscardMainWindow(); }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, ToolPanel::GetOptionHost());
  }

  // Chooses the tool through its toolbox button and lets the old pane go.
  static void Choose(int32_t toolId) {
    ASSERT_TRUE(Toolbox::SelectTool(toolId));
    ASSERT_EQ(toolId, g_ToolManager.GetActiveTool()->GetId());
    PumpUntil([] { return Controls().size() == LiveControls().size(); });
  }

  // Every child of the option host, and those that are not being closed.
  static std::vector<CWULInteractor*> Controls() {
    std::vector<CWULInteractor*> found;
    for (CWULInteractor* child = ToolPanel::GetOptionHost()->firstChild; child; child = child->nextSibling)
      found.push_back(child);
    return found;
  }
  static std::vector<CWULInteractor*> LiveControls() {
    std::vector<CWULInteractor*> found;
    for (CWULInteractor* child : Controls()) {
      if (!(child->flagsC & WUL_IF_CLOSING))
        found.push_back(child);
    }
    return found;
  }

  template <class T>
  static T* Find(const char* text) {
    for (CWULInteractor* child : LiveControls()) {
      T* control = dynamic_cast<T*>(child);
      if (control && (!text || std::string(control->GetText()) == text))
        return control;
    }
    return nullptr;
  }
  static COptionRadioButton* Radio(const char* text) { return Find<COptionRadioButton>(text); }
  static CWULLabel* Label(const char* text) { return Find<CWULLabel>(text); }
  static COptionSpinEdit* Spin() { return Find<COptionSpinEdit>(nullptr); }

  // A real click: the left button goes down and up in the middle of the control.
  static void Click(CWULInteractor* control) {
    HWND window = control->GetHandle();
    ASSERT_NE(nullptr, window);
    const LPARAM centre = MAKELPARAM(control->GetWidth() / 2, control->GetHeight() / 2);
    wulSendMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    wulSendMessage(window, WM_LBUTTONUP, 0, centre);
    PumpPending();
  }

  // Replaces the spin edit's text by typing into its field.
  static void Type(COptionSpinEdit* spin, const char* text) {
    HWND edit = spin->GetEditWindow();
    ASSERT_NE(nullptr, edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char* c = text; *c; ++c)
      SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(*c), 1);
    PumpPending();
  }

  // Whether the button draws the shared picture beside its indicator: every opaque pixel of
  // the picture shows in the button's buffer.
  static bool ShowsPicture(COptionRadioButton* radio, int32_t resourceId) {
    CWULImage* picture = GetAppPicture(resourceId);
    radio->Redraw();
    CWULImage* drawn = radio->buffer.GetImage();
    if (!picture || !drawn)
      return false;
    const int left = radio->GetIndicatorSize() + radio->GetSpacing();
    const int top = (radio->GetHeight() - picture->height) / 2;
    int opaque = 0;
    for (int y = 0; y < picture->height; ++y) {
      for (int x = 0; x < picture->width; ++x) {
        const uint32_t pixel = picture->GetPixel(x, y);
        if (pixel >> 24 != 0xFF)
          continue;
        ++opaque;
        if ((drawn->GetPixel(left + x, top + y) & 0xFFFFFFu) != (pixel & 0xFFFFFFu))
          return false;
      }
    }
    return opaque > 0;
  }

  static int ContentHeight() { return ToolPanel::GetView()->GetContentHeight(); }

  static int LowestBottom() {
    int bottom = 0;
    for (CWULInteractor* child : LiveControls())
      bottom = std::max(bottom, child->GetBottom());
    return bottom;
  }
};

}  // namespace

TEST_F(ToolOptionPanesTest, SelectionPaneOffersTheTwoShapesFromTheSetting) {
  g_Settings.drawingToolsSelectorShape->SetValue(2);
  Open();
  // The Selection tool is active from the start.
  ASSERT_EQ(10, g_ToolManager.GetActiveTool()->GetId());
  ASSERT_NE(nullptr, Label("Shape:"));
  COptionRadioButton* rectangular = Radio("Rectangular");
  COptionRadioButton* elliptical = Radio("Elliptical");
  ASSERT_NE(nullptr, rectangular);
  ASSERT_NE(nullptr, elliptical);
  EXPECT_EQ(3u, LiveControls().size());
  EXPECT_LE(40, rectangular->GetWidth());
  EXPECT_EQ(20, rectangular->GetHeight());
  EXPECT_LE(40, elliptical->GetWidth());
  EXPECT_EQ(20, elliptical->GetHeight());
  EXPECT_NE(nullptr, rectangular->GetHandle());
  EXPECT_FALSE(rectangular->IsChecked());
  EXPECT_TRUE(elliptical->IsChecked());
  EXPECT_EQ(LowestBottom(), ContentHeight());

  Click(rectangular);
  EXPECT_TRUE(rectangular->IsChecked());
  EXPECT_FALSE(elliptical->IsChecked());
  EXPECT_EQ(1u, g_Settings.drawingToolsSelectorShape->GetValue());
  Click(elliptical);
  EXPECT_FALSE(rectangular->IsChecked());
  EXPECT_EQ(2u, g_Settings.drawingToolsSelectorShape->GetValue());
}

TEST_F(ToolOptionPanesTest, OptionButtonsShowTheirPictureAndTheChosenOneItsCheckedPicture) {
  struct Pane {
    int32_t tool;
    const char* captions[3];
    int count;
    int32_t firstPicture;
    bool checkedPictures;  // each choice has a plain and a checked picture
  };
  const Pane panes[] = {{10, {"Rectangular", "Elliptical"}, 2, 410, true},
                        {60, {"Linear", "Radial"}, 2, 420, false},
                        {100, {"Solid", "Outline", "Filled Outline"}, 3, 440, true},
                        {101, {"Solid", "Outline", "Filled Outline"}, 3, 450, true}};
  Open();
  for (const Pane& pane : panes) {
    if (g_ToolManager.GetActiveTool()->GetId() != pane.tool)
      Choose(pane.tool);
    for (int chosen = 0; chosen < pane.count; ++chosen) {
      ASSERT_NE(nullptr, Radio(pane.captions[chosen]));
      Click(Radio(pane.captions[chosen]));
      for (int i = 0; i < pane.count; ++i) {
        COptionRadioButton* radio = Radio(pane.captions[i]);
        ASSERT_NE(nullptr, radio) << pane.captions[i];
        const int32_t plain = pane.firstPicture + (pane.checkedPictures ? 2 * i : i);
        const int32_t checked = pane.checkedPictures ? plain + 1 : plain;
        EXPECT_EQ(i == chosen, radio->IsChecked());
        EXPECT_TRUE(ShowsPicture(radio, i == chosen ? checked : plain)) << pane.tool << " " << i;
        if (pane.checkedPictures) {
          EXPECT_FALSE(ShowsPicture(radio, i == chosen ? plain : checked)) << pane.tool << " " << i;
        }
        // The picture and the whole caption fit beside the indicator.
        RECT text = {0, 0, 10000, radio->GetHeight()};
        radio->MeasureText(nullptr, &text);
        EXPECT_GE(radio->GetWidth(), radio->GetIndicatorSize() + 2 * radio->GetSpacing() + 16 + text.right - text.left);
      }
    }
  }
}

TEST_F(ToolOptionPanesTest, RectangleOutlineRowIsEnabledForTheOutlineTypesOnly) {
  g_Settings.drawingToolsRectangleOutlineWidth->SetValue(7);
  Open();
  Choose(100);
  ASSERT_NE(nullptr, Label("Type:"));
  COptionRadioButton* solid = Radio("Solid");
  COptionRadioButton* outline = Radio("Outline");
  COptionRadioButton* filled = Radio("Filled Outline");
  CWULLabel* label = Label("Outline:");
  COptionSpinEdit* spin = Spin();
  ASSERT_TRUE(solid && outline && filled && label && spin);
  for (COptionRadioButton* radio : {solid, outline, filled}) {
    EXPECT_LE(60, radio->GetWidth());
    EXPECT_EQ(20, radio->GetHeight());
  }
  EXPECT_EQ(36, spin->GetWidth());
  EXPECT_EQ(16, spin->GetHeight());
  EXPECT_TRUE(solid->IsChecked());
  EXPECT_EQ(7, spin->GetValueRounded());
  EXPECT_EQ(1.0, spin->GetMinimum());
  EXPECT_EQ(100.0, spin->GetMaximum());
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_FALSE(label->IsEnabled());
  EXPECT_FALSE(IsWindowEnabled(spin->GetEditWindow()));
  EXPECT_EQ(LowestBottom(), ContentHeight());
  EXPECT_EQ(spin->GetBottom(), ContentHeight());

  Click(outline);
  EXPECT_EQ(2u, g_Settings.drawingToolsRectangleType->GetValue());
  EXPECT_TRUE(spin->IsEnabled());
  EXPECT_TRUE(label->IsEnabled());
  EXPECT_TRUE(IsWindowEnabled(spin->GetEditWindow()));
  Click(filled);
  EXPECT_EQ(3u, g_Settings.drawingToolsRectangleType->GetValue());
  EXPECT_TRUE(spin->IsEnabled());

  // The width is stored from the arrows and from typing; the Ellipse's settings stay.
  spin->StepUp();
  EXPECT_EQ(8u, g_Settings.drawingToolsRectangleOutlineWidth->GetValue());
  Type(spin, "42");
  EXPECT_EQ(42u, g_Settings.drawingToolsRectangleOutlineWidth->GetValue());
  Type(spin, "250");
  EXPECT_EQ(100u, g_Settings.drawingToolsRectangleOutlineWidth->GetValue());
  EXPECT_EQ(1u, g_Settings.drawingToolsEllipseOutlineWidth->GetValue());
  EXPECT_EQ(1u, g_Settings.drawingToolsEllipseType->GetValue());

  Click(solid);
  EXPECT_EQ(1u, g_Settings.drawingToolsRectangleType->GetValue());
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_FALSE(label->IsEnabled());
}

TEST_F(ToolOptionPanesTest, DisablingTheFocusedOutlineFieldGivesTheFocusToTheMainWindow) {
  g_Settings.drawingToolsRectangleType->SetValue(2);
  Open();
  Choose(100);
  COptionSpinEdit* spin = Spin();
  COptionRadioButton* solid = Radio("Solid");
  COptionRadioButton* filled = Radio("Filled Outline");
  ASSERT_TRUE(spin && solid && filled);
  ASSERT_TRUE(spin->IsEnabled());
  EXPECT_TRUE(Radio("Outline")->IsChecked());

  // A click on a radio button takes the focus there, and it stays there.
  Click(filled);
  EXPECT_EQ(filled->GetHandle(), GetFocus());
  Click(solid);
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_EQ(solid->GetHandle(), GetFocus());

  // With the focus in the field, choosing "Solid" moves it to the main window.
  filled->PerformClick();
  ASSERT_TRUE(spin->IsEnabled());
  SetFocus(spin->GetEditWindow());
  ASSERT_EQ(spin->GetEditWindow(), GetFocus());
  solid->PerformClick();
  PumpPending();
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_EQ(g_MainWindow->GetHandle(), GetFocus());
  EXPECT_EQ(1u, g_Settings.drawingToolsRectangleType->GetValue());
}

TEST_F(ToolOptionPanesTest, EllipsePaneUsesTheEllipseSettings) {
  g_Settings.drawingToolsEllipseType->SetValue(3);
  g_Settings.drawingToolsEllipseOutlineWidth->SetValue(12);
  Open();
  // Straight from the Rectangle: the new pane's type buttons drive the new outline field.
  Choose(100);
  Choose(101);
  COptionSpinEdit* spin = Spin();
  ASSERT_NE(nullptr, spin);
  EXPECT_EQ(6u, Controls().size());
  ASSERT_NE(nullptr, Radio("Filled Outline"));
  EXPECT_TRUE(Radio("Filled Outline")->IsChecked());
  EXPECT_FALSE(Radio("Solid")->IsChecked());
  EXPECT_EQ(12, spin->GetValueRounded());
  EXPECT_TRUE(spin->IsEnabled());
  spin->StepDown();
  EXPECT_EQ(11u, g_Settings.drawingToolsEllipseOutlineWidth->GetValue());
  Click(Radio("Solid"));
  EXPECT_EQ(1u, g_Settings.drawingToolsEllipseType->GetValue());
  EXPECT_FALSE(spin->IsEnabled());
  Click(Radio("Outline"));
  EXPECT_EQ(2u, g_Settings.drawingToolsEllipseType->GetValue());
  EXPECT_TRUE(spin->IsEnabled());
  EXPECT_EQ(1u, g_Settings.drawingToolsRectangleType->GetValue());
  EXPECT_EQ(1u, g_Settings.drawingToolsRectangleOutlineWidth->GetValue());
}

TEST_F(ToolOptionPanesTest, GradientPaneChoosesLinearOrRadial) {
  g_Settings.drawingToolsGradientType->SetValue(2);
  Open();
  Choose(60);
  ASSERT_NE(nullptr, Label("Type:"));
  COptionRadioButton* linear = Radio("Linear");
  COptionRadioButton* radial = Radio("Radial");
  ASSERT_TRUE(linear && radial);
  EXPECT_EQ(3u, LiveControls().size());
  EXPECT_FALSE(linear->IsChecked());
  EXPECT_TRUE(radial->IsChecked());
  Click(linear);
  EXPECT_EQ(1u, g_Settings.drawingToolsGradientType->GetValue());
  EXPECT_FALSE(radial->IsChecked());
  // Arrow keys move within the group; space chooses.
  SetFocus(linear->GetHandle());
  wulSendMessage(linear->GetHandle(), WM_KEYDOWN, VK_DOWN, KeyParam(VK_DOWN, false));
  ASSERT_EQ(radial->GetHandle(), GetFocus());
  wulSendMessage(radial->GetHandle(), WM_KEYDOWN, VK_SPACE, KeyParam(VK_SPACE, false));
  wulSendMessage(radial->GetHandle(), WM_KEYUP, VK_SPACE, KeyParam(VK_SPACE, true));
  EXPECT_TRUE(radial->IsChecked());
  EXPECT_EQ(2u, g_Settings.drawingToolsGradientType->GetValue());
}

TEST_F(ToolOptionPanesTest, FloodFillAndMagicWandEachKeepTheirTolerance) {
  g_Settings.drawingToolsFloodFillerTolerance->SetValue(17);
  g_Settings.drawingToolsMagicWandTolerance->SetValue(200);
  Open();
  Choose(70);
  ASSERT_NE(nullptr, Label("Tolerance:"));
  COptionSpinEdit* spin = Spin();
  ASSERT_NE(nullptr, spin);
  EXPECT_EQ(2u, LiveControls().size());
  EXPECT_EQ(36, spin->GetWidth());
  EXPECT_EQ(16, spin->GetHeight());
  EXPECT_EQ(0.0, spin->GetMinimum());
  EXPECT_EQ(255.0, spin->GetMaximum());
  EXPECT_EQ(17, spin->GetValueRounded());
  EXPECT_STREQ("17", spin->GetText());
  Type(spin, "64");
  EXPECT_EQ(64u, g_Settings.drawingToolsFloodFillerTolerance->GetValue());
  Type(spin, "999");
  EXPECT_EQ(255u, g_Settings.drawingToolsFloodFillerTolerance->GetValue());
  spin->StepDown();
  EXPECT_EQ(254u, g_Settings.drawingToolsFloodFillerTolerance->GetValue());
  EXPECT_EQ(200u, g_Settings.drawingToolsMagicWandTolerance->GetValue());

  Choose(20);
  spin = Spin();
  ASSERT_NE(nullptr, spin);
  ASSERT_NE(nullptr, Label("Tolerance:"));
  EXPECT_EQ(200, spin->GetValueRounded());
  spin->SetValue(0);
  EXPECT_EQ(0u, g_Settings.drawingToolsMagicWandTolerance->GetValue());
  EXPECT_EQ(254u, g_Settings.drawingToolsFloodFillerTolerance->GetValue());

  // Back to the Flood Fill: the pane is built anew from its setting.
  Choose(70);
  ASSERT_NE(nullptr, Spin());
  EXPECT_EQ(254, Spin()->GetValueRounded());
}

TEST_F(ToolOptionPanesTest, SwitchingToolsReplacesThePaneAndTheContentHeightFollows) {
  Open();
  CWULInteractor* host = ToolPanel::GetOptionHost();
  const int selectionHeight = ContentHeight();
  EXPECT_GT(selectionHeight, 0);
  EXPECT_EQ(LowestBottom(), selectionHeight);

  Choose(100);
  const int rectangleHeight = ContentHeight();
  EXPECT_EQ(LowestBottom(), rectangleHeight);
  EXPECT_GT(rectangleHeight, selectionHeight);
  EXPECT_EQ(nullptr, Radio("Rectangular"));
  EXPECT_EQ(6u, LiveControls().size());

  // Closing the old controls destroys them; only the new pane's stay.
  Choose(70);
  EXPECT_TRUE(PumpUntil([&] { return Controls().size() == 2; }));
  EXPECT_EQ(nullptr, Radio("Solid"));
  EXPECT_EQ(nullptr, Label("Type:"));
  EXPECT_EQ(LowestBottom(), ContentHeight());
  EXPECT_LT(ContentHeight(), rectangleHeight);
  for (CWULInteractor* child : Controls())
    EXPECT_NE(nullptr, child->GetHandle());

  // A tool without options leaves the panel empty.
  Choose(30);
  EXPECT_TRUE(PumpUntil([&] { return host->firstChild == nullptr; }));
  EXPECT_EQ(0, ContentHeight());

  // The focus inside the pane goes back to the main window when the pane is replaced.
  Choose(70);
  SetFocus(Spin()->GetEditWindow());
  ASSERT_EQ(Spin()->GetEditWindow(), GetFocus());
  Choose(10);
  EXPECT_EQ(g_MainWindow->GetHandle(), GetFocus());
  EXPECT_NE(nullptr, Radio("Rectangular"));
}

TEST_F(ToolOptionPanesTest, TextToolShowsItsControlsInThePanel) {
  Open();
  Choose(90);
  const CTextToolOptions& options = GetTextToolOptions();
  ASSERT_NE(nullptr, options.text);
  ASSERT_NE(nullptr, options.size);
  EXPECT_EQ(ToolPanel::GetOptionHost(), options.text->parent);
  EXPECT_NE(nullptr, options.text->GetHandle());
  EXPECT_EQ(LowestBottom(), ContentHeight());
}
