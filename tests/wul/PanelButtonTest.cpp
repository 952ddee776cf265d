#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULButton.h"
#include "wul/WULPanel.h"

namespace {

using Buttons = ControlTest;
using CheckBoxes = ControlTest;
using RadioButtons = ControlTest;
using Panels = ControlTest;
using Labels = ControlTest;

int presses;
int checkedChanges;
std::vector<CWULPushButton*> pressedOrder;
void CountPress(CWULPushButton* control) {
  presses++;
  pressedOrder.push_back(control);
}
void CountChecked(CWULPushButton*) { checkedChanges++; }

void ResetCounts() {
  presses = 0;
  checkedChanges = 0;
  pressedOrder.clear();
}

// --- free functions ---

TEST(Mnemonics, LetterAfterASingleAmpersandInEitherCase) {
  EXPECT_TRUE(wulMatchMnemonic("&File", 'f'));
  EXPECT_TRUE(wulMatchMnemonic("&File", 'F'));
  EXPECT_TRUE(wulMatchMnemonic("Save &as", 'A'));
  EXPECT_TRUE(wulMatchMnemonic("Layer &2", '2'));
  EXPECT_FALSE(wulMatchMnemonic("&File", 'i'));
  EXPECT_FALSE(wulMatchMnemonic("File", 'f'));
}

TEST(Mnemonics, DoubledAmpersandIsLiteralButALaterOneCounts) {
  EXPECT_FALSE(wulMatchMnemonic("Fish &&Chips", 'c'));
  EXPECT_TRUE(wulMatchMnemonic("Fish &&Chips &Now", 'n'));
  EXPECT_FALSE(wulMatchMnemonic("Trailing&", 'g'));
  EXPECT_FALSE(wulMatchMnemonic("A &- B", '-'));
  EXPECT_FALSE(wulMatchMnemonic("&!", '!'));
  EXPECT_FALSE(wulMatchMnemonic(nullptr, 'a'));
  EXPECT_FALSE(wulMatchMnemonic("&a", 0x161));
}

TEST(Coverage, SegmentAreaAndPixelCoverage) {
  // A chord through the centre cuts off half the disc.
  EXPECT_NEAR(wulSegmentArea(-2.0f, 0.0f, 2.0f, 0.0f, 2.0f), 2.0 * std::acos(-1.0), 1e-4);
  // A chord of length r: h = r / 2, d = r sqrt(3) / 2.
  const double r = 3.0, h = 1.5, d = std::sqrt(r * r - h * h);
  EXPECT_NEAR(wulSegmentArea(0.0f, 0.0f, 3.0f, 0.0f, 3.0f), r * r * std::atan2(h, d) - h * d, 1e-4);
  EXPECT_FLOAT_EQ(wulSegmentArea(1.0f, 1.0f, 1.0f, 1.0f, 3.0f), 0.0f);
  EXPECT_FLOAT_EQ(wulSegmentArea(0.0f, 0.0f, 1.0f, 0.0f, 0.0f), 0.0f);
  // A chord longer than the diameter counts as the diameter.
  EXPECT_NEAR(wulSegmentArea(-5.0f, 0.0f, 5.0f, 0.0f, 1.0f), std::acos(-1.0) / 2.0, 1e-4);

  EXPECT_FLOAT_EQ(wulCircleCoverage(0, 0, 0.5f, 0.5f, 5.0f), 1.0f);
  EXPECT_FLOAT_EQ(wulCircleCoverage(10, 10, 0.5f, 0.5f, 2.0f), 0.0f);
  EXPECT_NEAR(wulCircleCoverage(0, 0, 1000.5f, 0.5f, 1000.0f), 0.5f, 1e-3);
}

// --- push button ---

TEST_F(Buttons, MouseClickFiresTheCallbackOnRelease) {
  ResetCounts();
  auto* button = new CWULButton;
  button->SetText("OK");
  button->pressCallback = CountPress;
  Show();
  MouseDown(button, 10, 10);
  EXPECT_EQ(presses, 0);
  EXPECT_TRUE(button->pressed);
  EXPECT_EQ(GetCapture(), button->GetHandle());
  MouseUp(button, 10, 10);
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(button->pressed);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(button->IsChecked());
}

TEST_F(Buttons, DraggingOffCancelsAndDraggingBackClicks) {
  ResetCounts();
  auto* button = new CWULButton;
  button->pressCallback = CountPress;
  Show();
  MouseDown(button, 10, 10);
  MouseMove(button, 100, 10);
  EXPECT_FALSE(button->pressed);
  MouseUp(button, 100, 10);
  EXPECT_EQ(presses, 0);

  MouseDown(button, 10, 10);
  MouseMove(button, -3, 10);
  MouseMove(button, 40, 12);
  EXPECT_TRUE(button->pressed);
  MouseUp(button, 40, 12);
  EXPECT_EQ(presses, 1);
}

TEST_F(Buttons, SpaceKeyClicksButNotWithCtrlOrDuringAMousePress) {
  ResetCounts();
  KeyStateScope keys;
  auto* button = new CWULButton;
  button->pressCallback = CountPress;
  Show();
  HWND handle = button->GetHandle();
  EXPECT_EQ(KeyDown(handle, VK_SPACE), 0);
  EXPECT_TRUE(button->pressed);
  EXPECT_EQ(button->captureMode, 1);
  // The mouse does not start a second press meanwhile.
  MouseDown(button, 5, 5);
  MouseUp(button, 5, 5);
  EXPECT_EQ(presses, 0);
  KeyUp(handle, VK_SPACE);
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(button->pressed);

  keys.Press(VK_CONTROL);
  KeyDown(handle, VK_SPACE);
  EXPECT_FALSE(button->pressed);
  KeyUp(handle, VK_SPACE);
  EXPECT_EQ(presses, 1);
}

TEST_F(Buttons, PaintsFrameBevelAndFaceInTheShadesOfItsColour) {
  auto* button = new CWULButton;
  button->SetBounds(10, 10, 60, 24);
  Show();
  button->Redraw();
  const CWULColor& face = button->GetColor();
  ASSERT_NE(button->buffer.GetImage(), nullptr);
  EXPECT_EQ(RGBAt(button->buffer, 0, 0), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(button->buffer, 59, 23), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(button->buffer, 3, 1), Shade(face, 1.3125f));
  EXPECT_EQ(RGBAt(button->buffer, 1, 5), Shade(face, 1.3125f));
  EXPECT_EQ(RGBAt(button->buffer, 58, 10), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(button->buffer, 10, 22), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(button->buffer, 4, 4), RGBOf(face));

  // Pressed: sunken, the light edge gone dark.
  MouseDown(button, 5, 5);
  EXPECT_EQ(RGBAt(button->buffer, 3, 1), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(button->buffer, 58, 10), RGBOf(face));
  MouseUp(button, 5, 5);
  EXPECT_EQ(RGBAt(button->buffer, 3, 1), Shade(face, 1.3125f));
}

TEST_F(Buttons, FocusShowsADottedFrame) {
  auto* button = new CWULButton;
  button->SetBounds(10, 10, 60, 24);
  Show();
  if (!Focused(button))
    GTEST_SKIP() << "no focus on this display";
  button->Redraw();
  const CWULColor& face = button->GetColor();
  // The dotted frame runs one pixel inside the bevel: pairs of dark and face pixels.
  EXPECT_EQ(RGBAt(button->buffer, 3, 3), Shade(face, 0.5f));
  EXPECT_EQ(RGBAt(button->buffer, 4, 3), Shade(face, 0.5f));
  EXPECT_EQ(RGBAt(button->buffer, 5, 3), RGBOf(face));
  button->Focus(false);
  PumpPending();
  EXPECT_EQ(RGBAt(button->buffer, 3, 3), RGBOf(face));
}

TEST_F(Buttons, ToggleBehaviourKeepsTheButtonDown) {
  ResetCounts();
  auto* button = new CWULButton;
  button->SetBehaviour(WUL_BEHAVIOUR_TOGGLE);
  button->checkedChangedCallback = CountChecked;
  Show();
  Click(button, 5, 5);
  EXPECT_TRUE(button->IsChecked());
  EXPECT_EQ(RGBAt(button->buffer, 3, 1), Shade(button->GetColor(), 0.75f));
  Click(button, 5, 5);
  EXPECT_FALSE(button->IsChecked());
  EXPECT_EQ(checkedChanges, 2);
}

// --- check box ---

TEST_F(CheckBoxes, IndicatorSideSetsTheTextAlignment) {
  auto* box = new CWULCheckBox;
  EXPECT_EQ(box->GetHeight(), 14);
  EXPECT_EQ(box->GetHAlign(), WUL_HALIGN_LEFT);
  box->SetIndicatorSide(WUL_INDICATOR_RIGHT);
  EXPECT_EQ(box->GetHAlign(), WUL_HALIGN_RIGHT);
  RECT indicator;
  box->GetIndicatorRect(&indicator);
  EXPECT_EQ(indicator.left, 68);
  EXPECT_EQ(indicator.top, 1);
  EXPECT_EQ(indicator.right, 80);
  box->SetIndicatorSide(WUL_INDICATOR_LEFT);
  EXPECT_EQ(box->GetHAlign(), WUL_HALIGN_LEFT);
}

TEST_F(CheckBoxes, ToggleByMouseAndSpaceAndPaintTheState) {
  ResetCounts();
  KeyStateScope keys;
  auto* box = new CWULCheckBox;
  box->SetText("Embed thumbnails");
  box->checkedChangedCallback = CountChecked;
  Show();
  box->Redraw();
  // Indicator at the left, centred vertically: (0, 1) to (12, 13).
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), Grey(224));
  EXPECT_EQ(RGBAt(box->buffer, 0, 1), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(box->buffer, 6, 0), RGBOf(box->GetColor()));
  Click(box, 30, 7);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_EQ(checkedChanges, 1);
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), Grey(64));

  // While the space key is held the inside is half-way between the two colours.
  KeyDown(box->GetHandle(), VK_SPACE);
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), Grey(144));
  KeyUp(box->GetHandle(), VK_SPACE);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(checkedChanges, 2);
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), Grey(224));

  box->Disable();
  box->Redraw();
  // Faded half-way towards the background.
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), RGBOf(CWULColor(224, 224, 224).Blend(box->GetColor(), 0.5f)));
}

TEST_F(CheckBoxes, IndicatorOnTheRightSide) {
  auto* box = new CWULCheckBox;
  box->SetIndicatorSide(WUL_INDICATOR_RIGHT);
  box->SetChecked(true);
  Show();
  box->Redraw();
  EXPECT_EQ(RGBAt(box->buffer, 74, 7), Grey(64));
  EXPECT_EQ(RGBAt(box->buffer, 79, 1), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(box->buffer, 6, 7), RGBOf(box->GetColor()));
}

// --- radio buttons ---

struct RadioColumn {
  CWULRadioButton* buttons[3];
};

RadioColumn MakeColumn() {
  RadioColumn column;
  for (int i = 0; i < 3; i++) {
    column.buttons[i] = new CWULRadioButton;
    column.buttons[i]->SetBounds(10, 10 + 20 * i, 80, 14);
    column.buttons[i]->pressCallback = CountPress;
    column.buttons[i]->checkedChangedCallback = CountChecked;
  }
  column.buttons[1]->JoinGroup(column.buttons[0]);
  column.buttons[2]->JoinGroup(column.buttons[1]);
  return column;
}

TEST_F(RadioButtons, CheckingOneClearsTheOthersOfTheGroup) {
  ResetCounts();
  RadioColumn column = MakeColumn();
  auto* loner = new CWULRadioButton;
  loner->SetChecked(true);
  Show();
  CWULRadioButton** b = column.buttons;
  EXPECT_EQ(b[0]->behaviour, WUL_BEHAVIOUR_EXCLUSIVE);
  Click(b[0], 5, 5);
  EXPECT_TRUE(b[0]->IsChecked());
  Click(b[2], 5, 5);
  EXPECT_FALSE(b[0]->IsChecked());
  EXPECT_FALSE(b[1]->IsChecked());
  EXPECT_TRUE(b[2]->IsChecked());
  EXPECT_TRUE(loner->IsChecked());
  EXPECT_EQ(checkedChanges, 3);
  // Clicking the checked one runs its press callback and changes nothing else.
  Click(b[2], 5, 5);
  EXPECT_EQ(presses, 3);
  EXPECT_EQ(checkedChanges, 3);
  EXPECT_TRUE(b[2]->IsChecked());
}

TEST_F(RadioButtons, PaintARoundIndicatorWithBlendedEdges) {
  ResetCounts();
  RadioColumn column = MakeColumn();
  Show();
  CWULRadioButton* radio = column.buttons[0];
  radio->Redraw();
  const uint32_t background = RGBOf(radio->GetColor());
  EXPECT_EQ(RGBAt(radio->buffer, 6, 7), Grey(224));
  // The corner of the indicator square lies outside the disc.
  EXPECT_EQ(RGBAt(radio->buffer, 0, 1), background);
  EXPECT_EQ(RGBAt(radio->buffer, 11, 12), background);
  // The left end of the middle row lies on the edge: mostly outline.
  const uint32_t edge = RGBAt(radio->buffer, 0, 7) & 0xFF;
  EXPECT_LT(edge, 128u);
  Click(radio, 5, 5);
  EXPECT_EQ(RGBAt(radio->buffer, 6, 7), Grey(64));
  EXPECT_EQ(RGBAt(radio->buffer, 4, 5), Grey(64));
}

TEST_F(RadioButtons, PictureSitsBetweenTheIndicatorAndTheText) {
  auto* radio = new CWULRadioButton;
  radio->SetBounds(10, 10, 100, 20);
  radio->SetText("Wide");
  auto* red = new CWULImage(8, 8);
  red->Fill(CWULColor(0xFFFF0000u));
  radio->SetPicture(red);
  EXPECT_EQ(red, radio->GetPicture());
  Show();
  radio->Redraw();
  const uint32_t background = RGBOf(radio->GetColor());
  // Indicator 0..11, the spacing, the picture at 16..23 centred vertically, the spacing, the text.
  EXPECT_EQ(background, RGBAt(radio->buffer, 14, 10));
  EXPECT_EQ(0xFF0000u, RGBAt(radio->buffer, 16, 6));
  EXPECT_EQ(0xFF0000u, RGBAt(radio->buffer, 23, 13));
  EXPECT_EQ(background, RGBAt(radio->buffer, 20, 5));
  int firstInk = -1;
  for (int x = 24; x < 100 && firstInk < 0; ++x)
    for (int y = 0; y < 20; ++y)
      if (RGBAt(radio->buffer, x, y) != background) {
        firstInk = x;
        break;
      }
  EXPECT_GE(firstInk, 28);

  // Disabled: the picture is drawn at half opacity.
  radio->Disable();
  radio->Redraw();
  const uint32_t faded = RGBAt(radio->buffer, 16, 6);
  EXPECT_NEAR(static_cast<int>((0xFF + (background >> 16)) / 2), static_cast<int>(faded >> 16), 2);
  EXPECT_NEAR(static_cast<int>((background & 0xFF) / 2), static_cast<int>(faded & 0xFF), 2);
}

TEST_F(RadioButtons, ArrowKeysMoveTheFocusWithinTheColumn) {
  ResetCounts();
  KeyStateScope keys;
  RadioColumn column = MakeColumn();
  Show();
  CWULRadioButton** b = column.buttons;
  if (!Focused(b[0]))
    GTEST_SKIP() << "no focus on this display";
  KeyDown(b[0]->GetHandle(), VK_DOWN);
  PumpPending();
  EXPECT_TRUE(b[1]->HasFocus());
  KeyDown(b[1]->GetHandle(), VK_DOWN);
  PumpPending();
  EXPECT_TRUE(b[2]->HasFocus());
  // At the bottom of the column nothing moves; arrows check nothing.
  KeyDown(b[2]->GetHandle(), VK_DOWN);
  PumpPending();
  EXPECT_TRUE(b[2]->HasFocus());
  KeyDown(b[2]->GetHandle(), VK_UP);
  PumpPending();
  EXPECT_TRUE(b[1]->HasFocus());
  EXPECT_EQ(checkedChanges, 0);
  // Space checks the focused one.
  KeyDown(b[1]->GetHandle(), VK_SPACE);
  KeyUp(b[1]->GetHandle(), VK_SPACE);
  EXPECT_TRUE(b[1]->IsChecked());
}

// --- panel and group frame ---

TEST_F(Panels, InsetsFollowEdgesAndBorder) {
  auto* panel = new CWULPanel;
  panel->SetBounds(0, 0, 100, 80);
  EXPECT_EQ(panel->GetLeftInset(), 0);
  panel->SetOuterEdge(WUL_EDGE_RAISED);
  panel->SetInnerEdge(WUL_EDGE_SUNKEN);
  panel->SetBorderWidth(4);
  RECT client;
  panel->GetClientRect(&client);
  EXPECT_EQ(client.left, 6);
  EXPECT_EQ(client.top, 6);
  EXPECT_EQ(client.right, 94);
  EXPECT_EQ(client.bottom, 74);
  EXPECT_EQ(panel->GetClientWidth(), 88);
  panel->SetInnerEdge(WUL_EDGE_NONE);
  EXPECT_EQ(panel->GetLeftInset(), 5);
  panel->SetOuterEdge(9);
  EXPECT_EQ(panel->GetLeftInset(), 4);
}

TEST_F(Panels, PaintsEdgesAndBandInTheParentsShades) {
  auto* panel = new CWULPanel;
  panel->SetBounds(10, 10, 100, 80);
  panel->color.SetRGB(200, 200, 200);
  panel->SetOuterEdge(WUL_EDGE_RAISED);
  panel->SetBorderWidth(2);
  panel->SetInnerEdge(WUL_EDGE_SUNKEN);
  Show();
  ASSERT_NE(panel->frameBuffer.GetImage(), nullptr);
  const CWULColor& outside = host->GetColor();
  EXPECT_EQ(RGBAt(panel->frameBuffer, 5, 0), Shade(outside, 1.3125f));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 0, 5), Shade(outside, 1.3125f));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 99, 40), Shade(outside, 0.75f));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 0, 79), RGBOf(outside));
  // The band in the panel's own colour, then the sunken inner edge.
  EXPECT_EQ(RGBAt(panel->frameBuffer, 1, 40), Grey(200));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 2, 40), Grey(200));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 3, 40), Shade(outside, 0.75f));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 96, 40), Shade(outside, 1.3125f));

  // A lone sunken edge shows the parent's colour where the light tone would be.
  panel->SetInnerEdge(WUL_EDGE_NONE);
  panel->SetBorderWidth(0);
  panel->SetOuterEdge(WUL_EDGE_SUNKEN);
  panel->Redraw();
  EXPECT_EQ(RGBAt(panel->frameBuffer, 5, 0), Shade(outside, 0.75f));
  EXPECT_EQ(RGBAt(panel->frameBuffer, 99, 40), RGBOf(outside));
}

TEST_F(Panels, GroupFrameHasACaptionBandAndAnEtchedLine) {
  auto* group = new CWULGroupFrame;
  group->SetBounds(10, 10, 120, 60);
  group->SetText("Image size");
  EXPECT_EQ(group->GetBandHeight(), 14);
  EXPECT_EQ(group->GetIndent(), 7);
  EXPECT_EQ(group->GetGap(), 2);
  RECT client;
  group->GetClientRect(&client);
  EXPECT_EQ(client.top, 14);
  EXPECT_EQ(client.left, 2);
  EXPECT_EQ(client.right, 118);
  EXPECT_EQ(client.bottom, 58);
  Show();
  ASSERT_NE(group->frameBuffer.GetImage(), nullptr);
  const CWULColor& outside = host->GetColor();
  const uint32_t dark = Shade(outside, 0.75f);
  const uint32_t light = Shade(outside, 1.3125f);
  // The line runs at y = 6 with a gap around the caption.
  EXPECT_EQ(RGBAt(group->frameBuffer, 0, 30), dark);
  EXPECT_EQ(RGBAt(group->frameBuffer, 1, 30), light);
  EXPECT_EQ(RGBAt(group->frameBuffer, 119, 30), light);
  EXPECT_EQ(RGBAt(group->frameBuffer, 60, 59), light);
  EXPECT_EQ(RGBAt(group->frameBuffer, 60, 58), dark);
  EXPECT_EQ(RGBAt(group->frameBuffer, 3, 6), dark);
  EXPECT_EQ(RGBAt(group->frameBuffer, 3, 7), light);
  EXPECT_EQ(RGBAt(group->frameBuffer, 10, 6), RGBOf(outside));
  EXPECT_EQ(RGBAt(group->frameBuffer, 110, 6), dark);
  EXPECT_EQ(RGBAt(group->frameBuffer, 60, 2), RGBOf(outside));
  // Some caption pixels are dark text.
  int inked = 0;
  for (int x = 11; x < 60; x++)
    for (int y = 0; y < 14; y++)
      inked += RGBAt(group->frameBuffer, x, y) == 0;
  EXPECT_GT(inked, 10);
}

// --- label and picture ---

TEST_F(Labels, DefaultSizeAndAutoSizeWithinAMaximumWidth) {
  auto* label = new CWULLabel;
  EXPECT_EQ(label->GetWidth(), 64);
  EXPECT_EQ(label->GetHeight(), 14);
  label->SetText("Tolerable image size in thousands of pixels before the supersampled box is cleared");
  label->SetMultiLine(true);
  label->SetWordWrap(true);
  label->SetMaximumWidth(100);
  label->SetAutoSize(true);
  EXPECT_EQ(label->GetWidth(), 100);
  RECT broken = {0, 0, 100, 0};
  label->MeasureText(nullptr, &broken);
  EXPECT_EQ(label->GetHeight(), broken.bottom - broken.top);
  EXPECT_GT(label->GetHeight(), 3 * 11);

  // Without wrapping the text stays one line, cut to the maximum width.
  label->SetWordWrap(false);
  label->SetMultiLine(false);
  EXPECT_EQ(label->GetWidth(), 100);
  EXPECT_LT(label->GetHeight(), 20);
  // A short text grows to the minimum size.
  label->SetText("Hi");
  label->SetMinimumSize(50, 30);
  EXPECT_EQ(label->GetWidth(), 50);
  EXPECT_EQ(label->GetHeight(), 30);
  label->SetMaximumWidth(-1);
  label->SetMinimumSize(0, 0);
  EXPECT_LT(label->GetWidth(), 50);
}

TEST_F(Labels, AutoSizedLabelResizesItsWindowAndPaintsItsText) {
  auto* label = new CWULLabel;
  label->SetPosition(5, 5);
  Show();
  label->SetAutoSize(true);
  label->SetText("Width");
  RECT rect;
  GetWindowRect(label->GetHandle(), &rect);
  EXPECT_EQ(rect.right - rect.left, label->GetWidth());
  EXPECT_GT(label->GetWidth(), 10);
  label->Redraw();
  ASSERT_NE(label->buffer.GetImage(), nullptr);
  int inked = 0;
  for (int x = 0; x < label->GetWidth(); x++)
    for (int y = 0; y < label->GetHeight(); y++)
      inked += RGBAt(label->buffer, x, y) != RGBOf(label->GetColor());
  EXPECT_GT(inked, 10);
}

TEST_F(Labels, PictureImageFollowsTheSizeAndIsShown) {
  auto* picture = new CWULPicture;
  picture->SetBounds(4, 4, 30, 20);
  ASSERT_NE(picture->GetImage(), nullptr);
  EXPECT_EQ(picture->GetImage()->width, 30);
  EXPECT_EQ(picture->GetImage()->height, 20);
  EXPECT_EQ(picture->GetImage()->GetPixel(10, 10) & 0xFFFFFFu, RGBOf(picture->GetColor()));
  Show();
  RECT square = {2, 2, 8, 8};
  picture->GetImage()->FillRect(&square, CWULColor(255, 0, 0));
  picture->Redraw();
  EXPECT_EQ(RGBAt(picture->buffer, 5, 5), 0xFF0000u);
  picture->SetSize(40, 10);
  EXPECT_EQ(picture->GetImage()->width, 40);
  EXPECT_EQ(picture->GetImage()->GetPixel(5, 5) & 0xFFFFFFu, RGBOf(picture->GetColor()));
  picture->SetSize(0, 10);
  EXPECT_EQ(picture->GetImage(), nullptr);
  picture->Redraw();
}

}  // namespace
