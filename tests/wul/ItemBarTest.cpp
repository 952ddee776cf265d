#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULItemBar.h"
#include "wul/WULShortcut.h"
#include "wul/WULTooltip.h"

namespace {

// A plain item that fills its rectangle with one colour and counts the mouse calls.
class SolidItem : public CWULBarItem {
public:
  explicit SolidItem(uint32_t rgb) : fill(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                                          static_cast<int>(rgb & 0xFF)) {}
  void Paint(CWULOffscreenBuffer* buffer) override {
    RECT rect;
    GetRect(&rect);
    GdiFlush();
    buffer->GetImage()->FillRect(&rect, fill);
    paints++;
  }
  void MouseDown(int mx, int my) override { downs.push_back({mx, my}); }
  void MouseUp(int mx, int my) override { ups.push_back({mx, my}); }

  CWULColor fill;
  int paints = 0;
  std::vector<POINT> downs;
  std::vector<POINT> ups;
};

std::vector<std::string> events;

void OnClick(CWULStandardBarItem* item, CWULStandardBarItem*) { events.push_back("click " + std::string(item->GetText())); }
void OnCheck(CWULStandardBarItem* item, CWULStandardBarItem*) {
  events.push_back(std::string(item->IsChecked() ? "checked " : "unchecked ") + item->GetText());
}
void Throwing(CWULStandardBarItem*, CWULStandardBarItem*) { wulThrowError(9, "Test", "click failed"); }

struct Hover {
  CWULBarItem* newItem;
  CWULBarItem* oldItem;
};
std::vector<Hover> hovers;
void RecordHover(CWULItemBar*, CWULBarItem* newItem, CWULBarItem* oldItem) { hovers.push_back({newItem, oldItem}); }

CWULImage* SolidImage(int w, int h, uint32_t argb) {
  auto* image = new CWULImage(w, h);
  image->Fill(CWULColor(argb));
  return image;
}

class ItemBar : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    events.clear();
    hovers.clear();
    // Away from the windows, so that showing them moves nothing under the pointer.
    SetCursorPos(1200, 1000);
    bar = new CWULItemBar;
    bar->SetBounds(10, 10, 200, 40);
  }
  void TearDown() override {
    if (bar)
      bar->HideHint();
    PumpPending();
    ControlTest::TearDown();
  }
  uint32_t At(int x, int y) { return RGBAt(bar->buffer, x, y); }
  uint32_t BarRGB() { return RGBOf(bar->GetColor()); }
  // A standard item at (10, 5), 24 x 24.
  CWULStandardBarItem* Button(const char* text, int left = 10) {
    auto* item = new CWULStandardBarItem;
    item->SetText(text);
    item->SetBounds(left, 5, 24, 24);
    bar->AddItem(item);
    return item;
  }
  // The pointer over a client point of the bar, told as a real move.
  void HoverAt(int cx, int cy) {
    POINT screen = {cx, cy};
    ClientToScreen(bar->GetHandle(), &screen);
    SetCursorPos(screen.x, screen.y);
    wulSendMessage(bar->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
  }
  CWULItemBar* bar;
};

using ItemBarPointer = ItemBar;
using ItemBarPaint = ItemBar;
using StandardBarItem = ItemBar;

// --- items and the buffer ---

TEST_F(ItemBar, Defaults) {
  SolidItem plain(0xFF0000);
  EXPECT_EQ(plain.classCode, WUL_CLASS_BAR_ITEM);
  EXPECT_EQ(plain.GetKind(), WUL_BAR_ITEM_PLAIN);
  EXPECT_EQ(plain.GetWidth(), 1);
  EXPECT_EQ(plain.GetHeight(), 1);
  EXPECT_TRUE(plain.IsVisible());
  EXPECT_TRUE(plain.IsEnabled());
  EXPECT_EQ(plain.GetBar(), nullptr);
  CWULStandardBarItem standard;
  EXPECT_EQ(standard.GetKind(), WUL_BAR_ITEM_STANDARD);
  EXPECT_EQ(standard.GetBehaviour(), WUL_BEHAVIOUR_PUSH);
  EXPECT_FALSE(standard.IsChecked());
  EXPECT_EQ(bar->GetItemStyle(), WUL_ITEM_STYLE_HOVER);
  EXPECT_EQ(bar->GetFrameStyle(), WUL_BAR_FRAME_NONE);
  EXPECT_EQ(RGBOf(bar->buttonColor), 0x909090u);
  EXPECT_EQ(bar->buffer.GetWidth(), 200);
  EXPECT_EQ(bar->buffer.GetHeight(), 40);
}

TEST_F(ItemBar, AddedItemsArePaintedAndMovingErasesTheOldPlace) {
  auto* item = new SolidItem(0x0000FF);
  item->SetBounds(10, 5, 20, 20);
  EXPECT_EQ(item->paints, 0);
  bar->AddItem(item);
  EXPECT_EQ(item->GetBar(), bar);
  EXPECT_EQ(At(10, 5), 0x0000FFu);
  EXPECT_EQ(At(29, 24), 0x0000FFu);
  EXPECT_EQ(At(30, 24), BarRGB());
  item->SetPosition(100, 10);
  EXPECT_EQ(At(10, 5), BarRGB());
  EXPECT_EQ(At(29, 24), BarRGB());
  EXPECT_EQ(At(100, 10), 0x0000FFu);
  item->SetRight(60);
  EXPECT_EQ(item->GetX(), 40);
  EXPECT_EQ(At(100, 10), BarRGB());
  EXPECT_EQ(At(40, 10), 0x0000FFu);
  item->SetSize(5, 5);
  EXPECT_EQ(At(45, 10), BarRGB());
  EXPECT_EQ(At(44, 14), 0x0000FFu);
}

TEST_F(ItemBar, HiddenItemsAreErasedAndStayHidden) {
  auto* item = new SolidItem(0x00FF00);
  item->SetBounds(10, 5, 20, 20);
  bar->AddItem(item);
  item->Hide();
  EXPECT_EQ(At(15, 10), BarRGB());
  // A full repaint leaves it out too.
  bar->SetItemStyle(WUL_ITEM_STYLE_RAISED);
  EXPECT_EQ(At(15, 10), BarRGB());
  EXPECT_EQ(bar->ItemAtPoint(15, 10), nullptr);
  item->Show();
  EXPECT_EQ(At(15, 10), 0x00FF00u);
  EXPECT_EQ(bar->ItemAtPoint(15, 10), item);
}

TEST_F(ItemBar, TextChangesDoNotRepaint) {
  auto* item = new SolidItem(0x00FF00);
  bar->AddItem(item);
  const int before = item->paints;
  item->SetText("hint");
  EXPECT_EQ(item->paints, before);
  item->Disable();
  EXPECT_EQ(item->paints, before + 1);
  item->Disable();
  EXPECT_EQ(item->paints, before + 1);
}

TEST_F(ItemBar, ItemsMoveBetweenBarsAndLeaveOnDeletion) {
  auto* other = new CWULItemBar;
  other->SetBounds(10, 60, 200, 40);
  auto* item = new SolidItem(0xFF0000);
  item->SetBounds(10, 5, 20, 20);
  other->AddItem(item);
  EXPECT_EQ(RGBAt(other->buffer, 15, 10), 0xFF0000u);
  bar->AddItem(item);
  EXPECT_EQ(item->GetBar(), bar);
  EXPECT_EQ(other->GetFirstItem(), nullptr);
  EXPECT_EQ(RGBAt(other->buffer, 15, 10), RGBOf(other->GetColor()));
  EXPECT_EQ(At(15, 10), 0xFF0000u);

  bar->RemoveItem(item);
  EXPECT_EQ(item->GetBar(), nullptr);
  EXPECT_EQ(At(15, 10), BarRGB());
  bar->AddItem(item);
  delete item;
  EXPECT_EQ(bar->GetFirstItem(), nullptr);
  EXPECT_EQ(At(15, 10), BarRGB());

  bar->AddItem(new SolidItem(0xFF0000));
  bar->AddItem(new SolidItem(0x00FF00));
  bar->DeleteAllItems();
  EXPECT_EQ(bar->GetFirstItem(), nullptr);
  EXPECT_EQ(At(0, 0), BarRGB());
}

TEST_F(ItemBar, FrameStyleGivesInsets) {
  bar->SetFrameStyle(WUL_BAR_FRAME_SUNKEN);
  EXPECT_EQ(bar->GetLeftInset(), 1);
  EXPECT_EQ(bar->GetClientWidth(), 198);
  EXPECT_EQ(bar->GetClientHeight(), 38);
  bar->SetFrameStyle(WUL_BAR_FRAME_RAISED);
  EXPECT_EQ(bar->GetTopInset(), 1);
  bar->SetFrameStyle(WUL_BAR_FRAME_NONE);
  EXPECT_EQ(bar->GetClientWidth(), 200);
}

// --- faces ---

TEST_F(ItemBarPaint, FacesByItemStyle) {
  CWULStandardBarItem* item = Button("face");
  const CWULColor base(bar->GetColor());
  // Style 1: nothing but the bar's colour while the pointer is away.
  EXPECT_EQ(At(10, 5), BarRGB());
  EXPECT_EQ(At(20, 15), BarRGB());
  // Style 2: a raised frame around the face.
  bar->SetItemStyle(WUL_ITEM_STYLE_RAISED);
  EXPECT_EQ(At(10, 5), Shade(base, 1.3125f));
  EXPECT_EQ(At(33, 28), Shade(base, 0.75f));
  EXPECT_EQ(At(33, 5), BarRGB());
  EXPECT_EQ(At(10, 28), BarRGB());
  EXPECT_EQ(At(20, 15), BarRGB());
  // Style 0: flat.
  bar->SetItemStyle(WUL_ITEM_STYLE_FLAT);
  EXPECT_EQ(At(10, 5), BarRGB());
  // Style 3: the button colour inside a raised frame and a dark outline.
  bar->SetItemStyle(WUL_ITEM_STYLE_BUTTONS);
  EXPECT_EQ(At(9, 4), RGBOf(wulColors[1]));
  EXPECT_EQ(At(34, 29), RGBOf(wulColors[1]));
  EXPECT_EQ(At(10, 5), Shade(bar->buttonColor, 1.3125f));
  EXPECT_EQ(At(20, 15), RGBOf(bar->buttonColor));
  // Checked in style 3: a lighter face in a sunken frame.
  item->SetChecked(true);
  const CWULColor lit(bar->buttonColor.Scale(1.125f));
  EXPECT_EQ(At(20, 15), RGBOf(lit));
  EXPECT_EQ(At(10, 5), Shade(lit, 0.75f));
  EXPECT_EQ(At(33, 28), RGBOf(lit));
  EXPECT_EQ(At(33, 5), Shade(lit, 0.75f));
  // Checked in style 1 and 2 without the pointer: sunken, filled with the lighter bar colour.
  bar->SetItemStyle(WUL_ITEM_STYLE_HOVER);
  EXPECT_EQ(At(10, 5), Shade(base, 0.75f));
  EXPECT_EQ(At(33, 28), Shade(base, 1.3125f));
  EXPECT_EQ(At(20, 15), Shade(base, 1.125f));
}

TEST_F(ItemBarPaint, MovingAButtonInStyle3LeavesNothingBehind) {
  bar->SetItemStyle(WUL_ITEM_STYLE_BUTTONS);
  CWULStandardBarItem* left = Button("left");
  Button("right", 35);
  // The neighbours share the outline column 34.
  EXPECT_EQ(At(34, 10), RGBOf(wulColors[1]));
  left->SetPosition(100, 5);
  EXPECT_EQ(At(9, 4), BarRGB());
  EXPECT_EQ(At(20, 15), BarRGB());
  EXPECT_EQ(At(33, 15), BarRGB());
  // The right neighbour's outline is painted back.
  EXPECT_EQ(At(34, 10), RGBOf(wulColors[1]));
  EXPECT_EQ(At(99, 4), RGBOf(wulColors[1]));
  EXPECT_EQ(At(110, 15), RGBOf(bar->buttonColor));
}

TEST_F(ItemBarPaint, ImagesAreCentredShiftedAndFaded) {
  bar->SetItemStyle(WUL_ITEM_STYLE_HOVER);
  CWULStandardBarItem* item = Button("image");
  item->SetImage(WUL_BAR_IMAGE_NORMAL, SolidImage(8, 8, 0xFFFF0000u));
  EXPECT_EQ(At(18, 13), 0xFF0000u);
  EXPECT_EQ(At(25, 20), 0xFF0000u);
  EXPECT_EQ(At(17, 13), BarRGB());
  EXPECT_EQ(At(26, 20), BarRGB());
  // Checked: one pixel right and down.
  item->SetChecked(true);
  EXPECT_EQ(At(18, 13), Shade(bar->GetColor(), 1.125f));
  EXPECT_EQ(At(19, 14), 0xFF0000u);
  EXPECT_EQ(At(26, 21), 0xFF0000u);
  // Without frames the image stays in place.
  bar->SetItemStyle(WUL_ITEM_STYLE_FLAT);
  EXPECT_EQ(At(18, 13), 0xFF0000u);
  item->SetChecked(false);
  // Disabled: half opacity over the face, unless a disabled image is set.
  item->Disable();
  const uint32_t faded = At(20, 15);
  EXPECT_NEAR(static_cast<int>(faded >> 16), (255 + 128) / 2, 2);
  EXPECT_NEAR(static_cast<int>(faded & 0xFF), 128 / 2, 2);
  item->SetImage(WUL_BAR_IMAGE_DISABLED, SolidImage(8, 8, 0xFF0000FFu));
  EXPECT_EQ(At(20, 15), 0x0000FFu);
  item->SetChecked(true);
  item->SetImage(WUL_BAR_IMAGE_DISABLED_CHECKED, SolidImage(8, 8, 0xFF00FF00u));
  EXPECT_EQ(At(20, 15), 0x00FF00u);
}

TEST_F(ItemBarPaint, AnImageLargerThanTheItemIsClippedToIt) {
  bar->SetItemStyle(WUL_ITEM_STYLE_FLAT);
  CWULStandardBarItem* item = Button("big");
  item->SetImage(WUL_BAR_IMAGE_NORMAL, SolidImage(40, 40, 0xFF00FF00u));
  EXPECT_EQ(At(10, 5), 0x00FF00u);
  EXPECT_EQ(At(33, 28), 0x00FF00u);
  EXPECT_EQ(At(9, 5), BarRGB());
  EXPECT_EQ(At(10, 4), BarRGB());
  EXPECT_EQ(At(34, 28), BarRGB());
  EXPECT_EQ(At(33, 29), BarRGB());
}

TEST_F(ItemBarPaint, ImageChoiceFollowsTheState) {
  CWULStandardBarItem* item = Button("choice");
  CWULImage* normal = SolidImage(4, 4, 0xFF000001u);
  CWULImage* hot = SolidImage(4, 4, 0xFF000002u);
  CWULImage* pressed = SolidImage(4, 4, 0xFF000003u);
  item->SetImage(WUL_BAR_IMAGE_NORMAL, normal);
  EXPECT_EQ(item->ChooseImage(), normal);
  item->SetImage(WUL_BAR_IMAGE_HOT, hot);
  item->SetChecked(true);
  // Without a checked or pressed image, checked shows the hot one.
  EXPECT_EQ(item->ChooseImage(), hot);
  item->SetImage(WUL_BAR_IMAGE_PRESSED, pressed);
  EXPECT_EQ(item->ChooseImage(), pressed);
  item->SetChecked(false);
  item->pressed = 1;
  EXPECT_EQ(item->ChooseImage(), pressed);
  item->pressed = 0;
  EXPECT_EQ(item->ChooseImage(), normal);
  bar->SetHot(item);
  EXPECT_EQ(item->ChooseImage(), hot);
  item->Disable();
  EXPECT_EQ(item->ChooseImage(), normal);
  EXPECT_EQ(normal->refCount, 1);
  item->SetImage(WUL_BAR_IMAGE_NORMAL, nullptr);
}

// --- standard behaviour ---

TEST_F(StandardBarItem, PushToggleAndExclusive) {
  CWULStandardBarItem* push = Button("push");
  push->clickCallback = OnClick;
  push->checkChangedCallback = OnCheck;
  push->PerformClick();
  EXPECT_FALSE(push->IsChecked());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "click push");

  events.clear();
  push->SetBehaviour(WUL_BEHAVIOUR_TOGGLE);
  push->PerformClick();
  push->PerformClick();
  EXPECT_EQ(events, (std::vector<std::string>{"click push", "checked push", "click push", "unchecked push"}));

  events.clear();
  CWULStandardBarItem* a = Button("a", 40);
  CWULStandardBarItem* b = Button("b", 70);
  CWULStandardBarItem* c = Button("c", 100);
  for (CWULStandardBarItem* item : {a, b, c}) {
    item->SetBehaviour(WUL_BEHAVIOUR_EXCLUSIVE);
    item->checkChangedCallback = OnCheck;
  }
  b->JoinGroup(a);
  c->JoinGroup(b);
  a->PerformClick();
  c->PerformClick();
  EXPECT_EQ(events, (std::vector<std::string>{"checked a", "unchecked a", "checked c"}));
  // Clicking the checked member again changes nothing.
  events.clear();
  c->PerformClick();
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(c->IsChecked());
  // A member that left the group is not unchecked by the others.
  c->LeaveGroup();
  a->PerformClick();
  EXPECT_TRUE(c->IsChecked());
  EXPECT_TRUE(a->IsChecked());
  EXPECT_FALSE(b->IsChecked());
}

// --- pointer ---

TEST_F(ItemBarPointer, HotItemFollowsThePointer) {
  CWULStandardBarItem* first = Button("first");
  CWULStandardBarItem* second = Button("second", 40);
  bar->hoverCallback = RecordHover;
  Show();
  hovers.clear();
  HoverAt(15, 10);
  EXPECT_EQ(bar->GetHot(), first);
  HoverAt(20, 12);
  HoverAt(45, 12);
  EXPECT_EQ(bar->GetHot(), second);
  HoverAt(150, 12);
  EXPECT_EQ(bar->GetHot(), nullptr);
  ASSERT_EQ(hovers.size(), 3u);
  EXPECT_EQ(hovers[0].newItem, first);
  EXPECT_EQ(hovers[0].oldItem, nullptr);
  EXPECT_EQ(hovers[1].newItem, second);
  EXPECT_EQ(hovers[1].oldItem, first);
  EXPECT_EQ(hovers[2].newItem, nullptr);
  // In style 1 the hot item shows a raised frame.
  HoverAt(45, 12);
  EXPECT_EQ(At(40, 5), Shade(bar->GetColor(), 1.3125f));
  bar->MouseLeave();
  EXPECT_EQ(bar->GetHot(), nullptr);
  EXPECT_EQ(At(40, 5), BarRGB());
}

TEST_F(ItemBarPointer, PressAndReleaseClicks) {
  CWULStandardBarItem* item = Button("go");
  item->clickCallback = OnClick;
  Show();
  HoverAt(20, 15);
  MouseDown(bar, 20, 15);
  EXPECT_EQ(GetCapture(), bar->GetHandle());
  EXPECT_TRUE(item->pressed);
  EXPECT_EQ(At(10, 5), Shade(bar->GetColor(), 0.75f));
  MouseUp(bar, 20, 15);
  EXPECT_NE(GetCapture(), bar->GetHandle());
  EXPECT_FALSE(item->pressed);
  EXPECT_EQ(events, std::vector<std::string>{"click go"});
}

TEST_F(ItemBarPointer, DraggingOffBeforeTheReleaseDoesNotClick) {
  CWULStandardBarItem* item = Button("go");
  item->clickCallback = OnClick;
  Show();
  HoverAt(20, 15);
  MouseDown(bar, 20, 15);
  MouseMove(bar, 150, 15);
  EXPECT_FALSE(item->pressed);
  EXPECT_EQ(bar->GetHot(), item);
  MouseUp(bar, 150, 15);
  EXPECT_TRUE(events.empty());
  // Back onto the item before the release clicks.
  HoverAt(20, 15);
  MouseDown(bar, 20, 15);
  MouseMove(bar, 150, 15);
  MouseMove(bar, 21, 16);
  EXPECT_TRUE(item->pressed);
  MouseUp(bar, 21, 16);
  EXPECT_EQ(events, std::vector<std::string>{"click go"});
}

TEST_F(ItemBarPointer, PressingADisabledItemDoesNothing) {
  CWULStandardBarItem* item = Button("off");
  item->clickCallback = OnClick;
  item->Disable();
  Show();
  HoverAt(20, 15);
  EXPECT_EQ(bar->GetHot(), item);
  MouseDown(bar, 20, 15);
  EXPECT_NE(GetCapture(), bar->GetHandle());
  EXPECT_FALSE(item->pressed);
  MouseUp(bar, 20, 15);
  EXPECT_TRUE(events.empty());
}

TEST_F(ItemBarPointer, PlainItemsGetItemRelativeCoordinates) {
  auto* item = new SolidItem(0xFF0000);
  item->SetBounds(30, 8, 20, 20);
  bar->AddItem(item);
  Show();
  HoverAt(35, 10);
  MouseDown(bar, 35, 10);
  MouseUp(bar, 37, 12);
  ASSERT_EQ(item->downs.size(), 1u);
  EXPECT_EQ(item->downs[0].x, 5);
  EXPECT_EQ(item->downs[0].y, 2);
  ASSERT_EQ(item->ups.size(), 1u);
  EXPECT_EQ(item->ups[0].x, 7);
  EXPECT_EQ(item->ups[0].y, 4);
  // A double click counts as a press.
  wulSendMessage(bar->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(36, 11));
  MouseUp(bar, 36, 11);
  EXPECT_EQ(item->downs.size(), 2u);
  EXPECT_EQ(item->ups.size(), 2u);
}

TEST_F(ItemBarPointer, AThrowingClickLeavesTheItemReleased) {
  CWULStandardBarItem* item = Button("bad");
  item->clickCallback = Throwing;
  Show();
  HoverAt(20, 15);
  MouseDown(bar, 20, 15);
  EXPECT_THROW(MouseUp(bar, 20, 15), CWULError);
  EXPECT_FALSE(item->pressed);
  EXPECT_NE(GetCapture(), bar->GetHandle());
  EXPECT_EQ(bar->callbackDepth, 0);
}

TEST_F(ItemBarPointer, LosingTheMouseReleasesThePressedItem) {
  CWULStandardBarItem* item = Button("go");
  item->clickCallback = OnClick;
  Show();
  HoverAt(20, 15);
  MouseDown(bar, 20, 15);
  ASSERT_TRUE(item->pressed);
  SetCapture(host->GetHandle());
  PumpPending();
  EXPECT_FALSE(item->pressed);
  ReleaseCapture();
  MouseUp(bar, 20, 15);
  EXPECT_TRUE(events.empty());
}

TEST_F(ItemBarPointer, RemovingTheHotItemClearsIt) {
  CWULStandardBarItem* item = Button("gone");
  Show();
  HoverAt(20, 15);
  EXPECT_EQ(bar->GetHot(), item);
  delete item;
  EXPECT_EQ(bar->GetHot(), nullptr);
  EXPECT_EQ(bar->GetFirstItem(), nullptr);
  HoverAt(21, 15);
  EXPECT_EQ(bar->GetHot(), nullptr);
}

// --- hints ---

TEST_F(ItemBarPointer, HintCarriesTheShortcutsKeyText) {
  CWULStandardBarItem* save = Button("Save");
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, 'S', WUL_MOD_CTRL);
  save->SetShortcut(shortcut);
  char keys[65];
  shortcut->GetText(keys, sizeof keys);
  EXPECT_EQ(std::string(keys).substr(0, 5), "Ctrl+");
  bar->ShowHint(save);
  ASSERT_NE(bar->GetHintWindow(), nullptr);
  EXPECT_EQ(std::string(bar->GetHintWindow()->GetText()), "Save (" + std::string(keys) + ")");
  // Without a text only the key text in brackets.
  save->SetText("");
  bar->ShowHint(save);
  EXPECT_EQ(std::string(bar->GetHintWindow()->GetText()), "(" + std::string(keys) + ")");
  // A plain item shows its text alone, and nothing without one.
  auto* plain = new SolidItem(0);
  plain->SetText("Plain");
  bar->AddItem(plain);
  bar->ShowHint(plain);
  EXPECT_STREQ(bar->GetHintWindow()->GetText(), "Plain");
  bar->HideHint();
  plain->SetText("");
  bar->ShowHint(plain);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  // The thread's table lets go of it, so that the item's release deletes it.
  if (CWULShortcutTable* table = shortcut->GetOwner())
    table->Remove(shortcut);
}

TEST_F(ItemBarPointer, HintComesAfterTheDelayAndNotAgainAfterAClick) {
  CWULStandardBarItem* first = Button("First");
  CWULStandardBarItem* second = Button("Second", 40);
  Show();
  HoverAt(15, 10);
  ASSERT_EQ(bar->GetHot(), first);
  // The delay has not passed.
  HoverAt(16, 10);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  EXPECT_GT(static_cast<int32_t>(bar->hintStart - GetTickCount()), 1000);
  bar->hintStart = GetTickCount() - 5;
  HoverAt(17, 10);
  ASSERT_NE(bar->GetHintWindow(), nullptr);
  EXPECT_STREQ(bar->GetHintWindow()->GetText(), "First");
  // A press hides it; it stays away over the same item.
  MouseDown(bar, 17, 10);
  MouseUp(bar, 17, 10);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  HoverAt(18, 11);
  HoverAt(19, 12);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  // Another item starts the delay again.
  HoverAt(45, 10);
  EXPECT_EQ(bar->GetHot(), second);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  bar->hintStart = GetTickCount() - 5;
  HoverAt(46, 10);
  ASSERT_NE(bar->GetHintWindow(), nullptr);
  EXPECT_STREQ(bar->GetHintWindow()->GetText(), "Second");
  // Ten seconds on, the hint goes.
  bar->hintStart = GetTickCount() - 10001;
  HoverAt(47, 10);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  HoverAt(48, 10);
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
}

TEST_F(ItemBarPointer, AHintDestroyedFromOutsideIsForgotten) {
  CWULStandardBarItem* item = Button("Lost");
  bar->ShowHint(item);
  ASSERT_NE(bar->GetHintWindow(), nullptr);
  // As when all of the thread's windows are closed: the tooltip deletes itself.
  DestroyWindow(bar->GetHintWindow()->GetHandle());
  EXPECT_EQ(bar->GetHintWindow(), nullptr);
  bar->HideHint();
  bar->ShowHint(item);
  EXPECT_NE(bar->GetHintWindow(), nullptr);
}

}  // namespace
