#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "wul/WULEdit.h"
#include "BoxDriver.h"
#include "document/Color.h"
#include "shell/Settings.h"
#include "ui/ColorPickerDialog.h"
#include "wul/WULButton.h"
#include "wul/WULDropDown.h"
#include "wul/WULPanel.h"

namespace {

// The controls of the open dialog, in the order they were made.
struct PickerParts {
  CWULAppWindow* dialog = nullptr;
  std::vector<CWULPicture*> pictures;  // hue bar, field, alpha bar, sample
  std::vector<CWULSpinEdit*> numbers;  // the three colour fields, then alpha
  std::vector<CWULLabel*> labels;
  CWULEdit* hex = nullptr;
  CWULDropDown* mode = nullptr;
  CWULButton* ok = nullptr;
  CWULButton* cancel = nullptr;

  CWULPicture* hueBar() const { return pictures.at(0); }
  CWULPicture* field() const { return pictures.at(1); }
  CWULPicture* alphaBar() const { return pictures.at(2); }
  CWULPicture* sample() const { return pictures.at(3); }
};

PickerParts PartsOf(CWULAppWindow* dialog) {
  PickerParts parts;
  parts.dialog = dialog;
  for (CWULInteractor* child = dialog->firstChild; child; child = child->nextSibling) {
    if (auto* picture = dynamic_cast<CWULPicture*>(child))
      parts.pictures.push_back(picture);
    else if (auto* number = dynamic_cast<CWULSpinEdit*>(child))
      parts.numbers.push_back(number);
    else if (auto* edit = dynamic_cast<CWULEdit*>(child))
      parts.hex = edit;
    else if (auto* drop = dynamic_cast<CWULDropDown*>(child))
      parts.mode = drop;
    else if (auto* label = dynamic_cast<CWULLabel*>(child))
      parts.labels.push_back(label);
    else if (auto* button = dynamic_cast<CWULButton*>(child))
      (std::string(button->GetText()) == "OK" ? parts.ok : parts.cancel) = button;
  }
  return parts;
}

void Stroke(HWND target, int key) {
  PostMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
  PostMessageA(target, WM_KEYUP, key, KeyParam(key, true));
  PumpInDialog();
}

void Type(HWND target, const char* keys) {
  for (const char* k = keys; *k; ++k)
    Stroke(target, *k);
}

uint32_t PixelAt(CWULPicture* picture, int x, int y) {
  GdiFlush();
  return picture->GetImage()->GetPixel(x, y) & 0xFFFFFFu;
}

int Red(uint32_t rgb) { return static_cast<int>(rgb >> 16 & 255); }
int Green(uint32_t rgb) { return static_cast<int>(rgb >> 8 & 255); }
int Blue(uint32_t rgb) { return static_cast<int>(rgb & 255); }

class ColorPickerTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    PumpInDialog();
  }
  void TearDown() override { PumpInDialog(); }

  // Opens the dialog on color and runs the action inside it.
  static bool Open(CColor* color, const BoxDriver::Action& action) {
    const int result = BoxDriver::Run("Color", action, [&] { return ColorPickerDialog(color, nullptr) ? 1 : 0; });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    return result == 1;
  }
};

TEST_F(ColorPickerTest, DialogHasItsCaptionSizeAndControls) {
  CColor color(0xFF336699u);
  int clientWidth = 0, clientHeight = 0;
  PickerParts seen;
  RECT hue = {}, field = {}, alpha = {}, ok = {}, cancel = {};
  EXPECT_FALSE(Open(&color, [&](CWULAppWindow* dialog) {
    seen = PartsOf(dialog);
    clientWidth = dialog->GetClientWidth();
    clientHeight = dialog->GetClientHeight();
    if (seen.pictures.size() == 4 && seen.ok && seen.cancel) {
      seen.hueBar()->GetRect(&hue);
      seen.field()->GetRect(&field);
      seen.alphaBar()->GetRect(&alpha);
      seen.ok->GetRect(&ok);
      seen.cancel->GetRect(&cancel);
    }
    Stroke(dialog->GetHandle(), VK_ESCAPE);
  }));
  EXPECT_EQ(clientWidth, 392);
  EXPECT_EQ(clientHeight, 204);
  ASSERT_EQ(seen.pictures.size(), 4u);
  ASSERT_EQ(seen.numbers.size(), 4u);
  ASSERT_NE(seen.hex, nullptr);
  ASSERT_NE(seen.mode, nullptr);
  ASSERT_NE(seen.ok, nullptr);
  ASSERT_NE(seen.cancel, nullptr);
  EXPECT_EQ(hue.left, 4);
  EXPECT_EQ(hue.top, 6);
  EXPECT_EQ(hue.right - hue.left, 16);
  EXPECT_EQ(hue.bottom - hue.top, 192);
  EXPECT_EQ(field.left, hue.right + 6);
  EXPECT_EQ(field.right - field.left, 192);
  EXPECT_EQ(field.bottom - field.top, 192);
  EXPECT_EQ(alpha.left, field.right + 6);
  EXPECT_EQ(alpha.right - alpha.left, 16);
  EXPECT_EQ(ok.right, 392 - 4);
  EXPECT_EQ(ok.bottom, 204 - 4);
  EXPECT_EQ(ok.right - ok.left, 80);
  EXPECT_EQ(cancel.bottom - cancel.top, 24);
  // No button covers the alpha bar.
  EXPECT_GE(cancel.left, alpha.right);
  // The colour is untouched by Escape.
  EXPECT_EQ(color.value, 0xFF336699u);
}

TEST_F(ColorPickerTest, PureRedShowsItsHexHslValuesAndHueMarker) {
  CColor color(0xFFFF0000u);
  std::string hex;
  std::vector<std::string> rgbLabels, hslLabels;
  std::vector<int> rgbValues, hslValues;
  int alphaValue = -1;
  uint32_t markerRow = 0, aboveMarker = 0;
  EXPECT_FALSE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    hex = parts.hex->GetText();
    for (int i = 0; i < 3; ++i) {
      rgbLabels.push_back(parts.labels[i]->GetText());
      rgbValues.push_back(parts.numbers[i]->GetValueRounded());
    }
    alphaValue = parts.numbers[3]->GetValueRounded();
    // Down on the mode list picks "HSL".
    parts.mode->SetFocus();
    PumpInDialog();
    Stroke(parts.mode->GetHandle(), VK_DOWN);
    for (int i = 0; i < 3; ++i) {
      hslLabels.push_back(parts.labels[i]->GetText());
      hslValues.push_back(parts.numbers[i]->GetValueRounded());
    }
    markerRow = PixelAt(parts.hueBar(), 7, 188);
    aboveMarker = PixelAt(parts.hueBar(), 7, 187);
    parts.cancel->PerformClick();
  }));
  EXPECT_EQ(hex, "FF0000");
  EXPECT_EQ(rgbLabels, (std::vector<std::string>{"R:", "G:", "B:"}));
  EXPECT_EQ(rgbValues, (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(alphaValue, 255);
  EXPECT_EQ(hslLabels, (std::vector<std::string>{"H:", "S:", "L:"}));
  EXPECT_EQ(hslValues, (std::vector<int>{0, 100, 100}));
  // The marker spans rows 188 to 194 around row 191: light over the red of the bar.
  EXPECT_EQ(markerRow, 0xF0F0F0u);
  EXPECT_NE(aboveMarker, 0xF0F0F0u);
  EXPECT_GT(Red(aboveMarker), 200);
}

TEST_F(ColorPickerTest, HexFieldDropsNonHexLettersAndSetsTheColour) {
  CColor color(0x80FF0000u);
  std::string afterG;
  std::vector<int> numbers;
  EXPECT_TRUE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    parts.hex->SetFocus();
    PumpInDialog();
    parts.hex->SelectAll();
    Type(parts.hex->GetEditWindow(), "G");
    afterG = parts.hex->GetText();
    Type(parts.hex->GetEditWindow(), "00FF00");
    for (int i = 0; i < 3; ++i)
      numbers.push_back(parts.numbers[i]->GetValueRounded());
    // Enter in the field presses OK.
    Stroke(parts.hex->GetEditWindow(), VK_RETURN);
  }));
  EXPECT_EQ(afterG, "FF0000");
  EXPECT_EQ(numbers, (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(color.value, 0x8000FF00u);
}

TEST_F(ColorPickerTest, DraggingOnTheFieldFarOutsideGivesBlack) {
  CColor color(0xFF4080C0u);
  std::string hex;
  EXPECT_TRUE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    HWND field = parts.field()->GetHandle();
    PostMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    PostMessageA(field, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-300, 900));
    PostMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(-300, 900));
    PumpInDialog();
    hex = parts.hex->GetText();
    parts.ok->PerformClick();
  }));
  EXPECT_EQ(hex, "000000");
  EXPECT_EQ(color.value, 0xFF000000u);
}

TEST_F(ColorPickerTest, HueAndAlphaBarsFollowTheMouse) {
  CColor color(0xFF0000FFu);  // blue: hue 2/3
  std::vector<int> afterHue;
  int alphaNumber = -1;
  EXPECT_TRUE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    // Row 127 is hue 1 - 127/191, about one third: green.
    HWND hue = parts.hueBar()->GetHandle();
    PostMessageA(hue, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 20));
    PostMessageA(hue, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(8, 127));
    PostMessageA(hue, WM_LBUTTONUP, 0, MAKELPARAM(8, 127));
    PumpInDialog();
    for (int i = 0; i < 3; ++i)
      afterHue.push_back(parts.numbers[i]->GetValueRounded());
    // The bottom of the alpha bar is fully transparent.
    HWND alpha = parts.alphaBar()->GetHandle();
    PostMessageA(alpha, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 10));
    PostMessageA(alpha, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(8, 500));
    PostMessageA(alpha, WM_LBUTTONUP, 0, MAKELPARAM(8, 500));
    PumpInDialog();
    alphaNumber = parts.numbers[3]->GetValueRounded();
    // A move without the button held changes nothing more.
    PostMessageA(alpha, WM_MOUSEMOVE, 0, MAKELPARAM(8, 0));
    PumpInDialog();
    parts.ok->PerformClick();
  }));
  ASSERT_EQ(afterHue.size(), 3u);
  EXPECT_LT(afterHue[0], 10);
  EXPECT_EQ(afterHue[1], 255);
  EXPECT_LT(afterHue[2], 10);
  EXPECT_EQ(alphaNumber, 0);
  EXPECT_EQ(color.GetAlpha(), 0u);
  EXPECT_EQ(color.GetGreen(), 255u);
}

TEST_F(ColorPickerTest, MarkersAreLightOverDarkAndDarkOverLight) {
  // White sits at the field's top-left corner, black at its bottom-left.
  uint32_t onWhite = 0, onBlack = 0;
  CColor white(0xFFFFFFFFu);
  Open(&white, [&](CWULAppWindow* dialog) {
    onWhite = PixelAt(PartsOf(dialog).field(), 5, 0);
    Stroke(dialog->GetHandle(), VK_ESCAPE);
  });
  CColor black(0xFF000000u);
  Open(&black, [&](CWULAppWindow* dialog) {
    onBlack = PixelAt(PartsOf(dialog).field(), 5, 191);
    Stroke(dialog->GetHandle(), VK_ESCAPE);
  });
  EXPECT_LT(Red(onWhite), 0x80);
  EXPECT_LT(Green(onWhite), 0x80);
  EXPECT_GT(Red(onBlack), 0xB0);
  EXPECT_GT(Blue(onBlack), 0xB0);
}

TEST_F(ColorPickerTest, SampleShowsTheColourAtItsAlphaOverTheChequer) {
  CColor color(0x00FF0000u);  // fully transparent red
  uint32_t transparent = 0, opaque = 0, chequer = 0;
  Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    transparent = PixelAt(parts.sample(), 1, 1);
    chequer = g_Settings.uiColorsChequerA ? (g_Settings.uiColorsChequerA->GetValue().value & 0xFFFFFFu) : 0xFFFFFFu;
    // Typing 255 into A makes it opaque.
    parts.numbers[3]->SetFocus();
    PumpInDialog();
    parts.numbers[3]->SelectAll();
    Type(parts.numbers[3]->GetEditWindow(), "255");
    opaque = PixelAt(parts.sample(), 1, 1);
    Stroke(dialog->GetHandle(), VK_ESCAPE);
  });
  EXPECT_EQ(transparent, chequer);
  EXPECT_EQ(opaque, 0xFF0000u);
  EXPECT_EQ(color.value, 0x00FF0000u);
}

TEST_F(ColorPickerTest, TypingIntoAColourFieldChangesTheHex) {
  CColor color(0xFF000000u);
  std::string hex;
  EXPECT_TRUE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    parts.numbers[0]->SetFocus();
    PumpInDialog();
    parts.numbers[0]->SelectAll();
    Type(parts.numbers[0]->GetEditWindow(), "128");
    hex = parts.hex->GetText();
    parts.ok->PerformClick();
  }));
  EXPECT_EQ(hex, "800000");
  EXPECT_EQ(color.value, 0xFF800000u);
}

TEST_F(ColorPickerTest, EnterPressesCancelWhenItHasTheFocusAndTheCloseBoxCancels) {
  CColor color(0xFF112233u);
  EXPECT_FALSE(Open(&color, [&](CWULAppWindow* dialog) {
    PickerParts parts = PartsOf(dialog);
    parts.numbers[0]->SetValue(200);  // changes the colour inside the dialog only
    parts.cancel->SetFocus();
    PumpInDialog();
    Stroke(parts.cancel->GetHandle(), VK_RETURN);
  }));
  EXPECT_EQ(color.value, 0xFF112233u);
  EXPECT_FALSE(Open(&color, [&](CWULAppWindow* dialog) { PostMessageA(dialog->GetHandle(), WM_CLOSE, 0, 0); }));
  EXPECT_EQ(color.value, 0xFF112233u);
  // Enter elsewhere presses OK.
  EXPECT_TRUE(Open(&color, [&](CWULAppWindow* dialog) { Stroke(PartsOf(dialog).ok->GetHandle(), VK_RETURN); }));
  EXPECT_EQ(color.value, 0xFF112233u);
}

TEST_F(ColorPickerTest, OnlyOneDialogAtATimeAndNullColourOpensNone) {
  CColor color(0xFF010203u);
  CColor other(0xFF040506u);
  bool nested = true;
  EXPECT_FALSE(Open(&color, [&](CWULAppWindow* dialog) {
    nested = ColorPickerDialog(&other, dialog);
    Stroke(dialog->GetHandle(), VK_ESCAPE);
  }));
  EXPECT_FALSE(nested);
  EXPECT_EQ(other.value, 0xFF040506u);
  EXPECT_FALSE(ColorPickerDialog(nullptr, nullptr));
  EXPECT_EQ(BoxDriver::Find("Color"), nullptr);
}

}  // namespace
