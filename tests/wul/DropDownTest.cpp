#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULDropDown.h"
#include "wul/WULPaintKit.h"
#include "wul/WULSystem.h"

namespace {

struct SelectionCall {
  CWULDropDownItem* newItem;
  CWULDropDownItem* oldItem;
};
std::vector<SelectionCall> selectionCalls;

class DropDown : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    selectionCalls.clear();
    drop = new CWULDropDown();
    drop->SetPosition(10, 10);
    drop->selectionChangedHandler = [](CWULDropDown*, CWULDropDownItem* newItem, CWULDropDownItem* oldItem) {
      selectionCalls.push_back({newItem, oldItem});
    };
  }
  CWULDropDownItem* Add(int value, const char* text) {
    auto* item = new CWULDropDownItem(value, text);
    drop->InsertItem(item);
    return item;
  }
  std::string Texts() {
    std::string all;
    for (CWULDropDownItem* item = drop->GetFirstItem(); item; item = item->GetNext()) {
      if (!all.empty())
        all += ",";
      all += item->text.text;
    }
    return all;
  }
  // Repaints at once and reads the control's buffer.
  uint32_t PixelAt(int px, int py) {
    drop->Redraw();
    return RGBAt(drop->buffer, px, py);
  }
  LRESULT Wheel(int delta) {
    return wulSendMessage(drop->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                          ScreenPoint(drop, 10, 10));
  }

  CWULDropDown* drop = nullptr;
};

TEST_F(DropDown, DefaultsAndLayoutOfTextAreaAndButton) {
  EXPECT_EQ(drop->GetWidth(), 80);
  EXPECT_EQ(drop->GetHeight(), wulControlTextHeight + 6);
  EXPECT_TRUE(drop->IsTabStop());
  EXPECT_EQ(drop->GetColor().value, wulColors[16].value);
  EXPECT_EQ(drop->buttonColor.value, wulColors[14].value);
  EXPECT_EQ(drop->arrowColor.value, wulColors[17].value);
  EXPECT_EQ(drop->GetFrameKind(), WUL_FRAME_BEVEL_LINE);
  EXPECT_EQ(drop->GetItemHeight(), wulControlTextHeight);
  EXPECT_EQ(drop->GetSelection(), nullptr);

  drop->SetSize(80, 20);
  // Bevel and line: 2 pixels; the button is the inner height - 1 made odd.
  EXPECT_EQ(drop->buttonRect.left, 63);
  EXPECT_EQ(drop->buttonRect.right, 78);
  EXPECT_EQ(drop->buttonRect.top, 2);
  EXPECT_EQ(drop->buttonRect.bottom, 18);
  // The text area ends one pixel before the button (the separating line).
  EXPECT_EQ(drop->textRect.left, 2);
  EXPECT_EQ(drop->textRect.right, 62);

  drop->SetFrameKind(WUL_FRAME_NONE);
  drop->SetSize(80, 21);
  EXPECT_EQ(drop->buttonRect.right - drop->buttonRect.left, 21);  // 20 | 1
  EXPECT_EQ(drop->textRect.right, drop->buttonRect.left);

  drop->SetFrameKind(WUL_FRAME_BEVEL);
  drop->SetButtonWidth(12);
  EXPECT_EQ(drop->buttonRect.left, 80 - 1 - 12);
  EXPECT_EQ(drop->textRect.right, drop->buttonRect.left);
}

TEST_F(DropDown, InsertingNumbersItemsAndTakesThemFromOtherDropDowns) {
  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* c = Add(3, "c");
  auto* b = new CWULDropDownItem(2, "b");
  drop->InsertItem(b, c);
  EXPECT_EQ(Texts(), "a,b,c");
  EXPECT_EQ(a->index, 1);
  EXPECT_EQ(b->index, 2);
  EXPECT_EQ(c->index, 3);
  EXPECT_EQ(b->GetOwner(), drop);

  CWULDropDown* other;
  {
    ParentScope scope(host);
    other = new CWULDropDown();
  }
  other->InsertItem(b);
  EXPECT_EQ(Texts(), "a,c");
  EXPECT_EQ(c->index, 2);
  EXPECT_EQ(b->GetOwner(), other);
  EXPECT_EQ(other->GetItemCount(), 1);

  EXPECT_EQ(drop->FindByValue(3), c);
  EXPECT_EQ(drop->FindByValue(2), nullptr);
  EXPECT_EQ(drop->FindByText("a"), a);
  EXPECT_EQ(drop->FindByText("A"), nullptr);
  EXPECT_EQ(drop->GetFirstItem(), a);
  EXPECT_EQ(drop->GetLastItem(), c);
}

TEST_F(DropDown, InsertingAnItemOfTheSameDropDownMovesIt) {
  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* b = Add(2, "b");
  drop->SetSelection(b);
  selectionCalls.clear();
  drop->InsertItem(b, a);
  EXPECT_EQ(Texts(), "b,a");
  EXPECT_EQ(b->index, 1);
  EXPECT_EQ(a->index, 2);
  EXPECT_EQ(drop->GetSelection(), b);
  EXPECT_TRUE(selectionCalls.empty());
}

TEST_F(DropDown, SwappingExchangesPlacesAndIndices) {
  CWULDropDownItem* a = Add(1, "a");
  Add(2, "b");
  CWULDropDownItem* c = Add(3, "c");
  drop->SwapItems(a, c);
  EXPECT_EQ(Texts(), "c,b,a");
  EXPECT_EQ(c->index, 1);
  EXPECT_EQ(a->index, 3);
}

TEST_F(DropDown, SortingIsStableForEqualTexts) {
  CWULDropDownItem* first = Add(1, "same");
  Add(2, "zeta");
  Add(3, "alpha");
  CWULDropDownItem* second = Add(4, "same");
  drop->SortItems(false);
  EXPECT_EQ(Texts(), "alpha,same,same,zeta");
  EXPECT_EQ(first->index, 2);
  EXPECT_EQ(second->index, 3);
  drop->SortItems(true);
  EXPECT_EQ(Texts(), "zeta,same,same,alpha");
  EXPECT_EQ(first->GetNext(), second);
  EXPECT_EQ(first->index, 2);
  EXPECT_TRUE(drop->GetAutoRedraw());
}

TEST_F(DropDown, SelectionCallsTheHandlerOnlyOnChange) {
  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* b = Add(2, "b");
  drop->SetSelection(a);
  drop->SetSelection(a);
  drop->SetSelection(b);
  ASSERT_EQ(selectionCalls.size(), 2u);
  EXPECT_EQ(selectionCalls[0].newItem, a);
  EXPECT_EQ(selectionCalls[0].oldItem, nullptr);
  EXPECT_EQ(selectionCalls[1].newItem, b);
  EXPECT_EQ(selectionCalls[1].oldItem, a);
  // An item of no drop-down is not selected.
  CWULDropDownItem loose(9, "loose");
  drop->SetSelection(&loose);
  EXPECT_EQ(drop->GetSelection(), b);
}

TEST_F(DropDown, RemovingTheSelectedItemClearsTheSelectionFirst) {
  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* b = Add(2, "b");
  drop->SetSelection(b);
  selectionCalls.clear();
  drop->RemoveItem(b);
  ASSERT_EQ(selectionCalls.size(), 1u);
  EXPECT_EQ(selectionCalls[0].newItem, nullptr);
  EXPECT_EQ(selectionCalls[0].oldItem, b);
  EXPECT_EQ(drop->GetSelection(), nullptr);
  EXPECT_EQ(b->GetOwner(), nullptr);
  EXPECT_EQ(b->index, 0);
  delete b;

  // Deleting an item takes it out of its drop-down.
  drop->SetSelection(a);
  delete a;
  EXPECT_EQ(drop->GetItemCount(), 0);
  EXPECT_EQ(drop->GetSelection(), nullptr);
}

TEST_F(DropDown, ClearDeletesEveryItem) {
  CWULDropDownItem* a = Add(1, "a");
  Add(2, "b");
  drop->SetSelection(a);
  drop->Clear();
  EXPECT_EQ(drop->GetItemCount(), 0);
  EXPECT_EQ(drop->GetSelection(), nullptr);
  EXPECT_EQ(drop->GetFirstItem(), nullptr);
  // The control stays usable.
  Add(3, "c");
  EXPECT_EQ(Texts(), "c");
}

TEST_F(DropDown, KeysMoveTheSelection) {
  Show();
  HWND handle = drop->GetHandle();
  // End on an empty drop-down does nothing.
  EXPECT_EQ(KeyDown(handle, VK_END), 0);
  EXPECT_TRUE(selectionCalls.empty());

  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* b = Add(2, "b");
  CWULDropDownItem* c = Add(3, "c");
  KeyDown(handle, VK_DOWN);
  EXPECT_EQ(drop->GetSelection(), a);
  KeyDown(handle, VK_DOWN);
  EXPECT_EQ(drop->GetSelection(), b);
  KeyDown(handle, VK_END);
  EXPECT_EQ(drop->GetSelection(), c);
  KeyDown(handle, VK_DOWN);
  EXPECT_EQ(drop->GetSelection(), c);
  KeyDown(handle, VK_HOME);
  EXPECT_EQ(drop->GetSelection(), a);
  KeyDown(handle, VK_UP);
  EXPECT_EQ(drop->GetSelection(), a);

  drop->SetSelection(nullptr);
  KeyDown(handle, VK_UP);
  EXPECT_EQ(drop->GetSelection(), a);
}

TEST_F(DropDown, WheelStepsWithARemainder) {
  Show();
  drop->wheelAcceptHandler = [](CWULInteractor*, int, int) { return true; };
  CWULDropDownItem* a = Add(1, "a");
  CWULDropDownItem* b = Add(2, "b");
  CWULDropDownItem* c = Add(3, "c");
  // Without a selection a step selects the first item.
  Wheel(-120);
  EXPECT_EQ(drop->GetSelection(), a);
  Wheel(-240);
  EXPECT_EQ(drop->GetSelection(), c);
  // Half a notch up twice is one step to the previous item.
  Wheel(60);
  EXPECT_EQ(drop->GetSelection(), c);
  Wheel(60);
  EXPECT_EQ(drop->GetSelection(), b);
  // A change of direction forgets the remainder.
  Wheel(60);
  Wheel(-60);
  EXPECT_EQ(drop->GetSelection(), b);
  Wheel(-60);
  EXPECT_EQ(drop->GetSelection(), c);
  // A huge turn stops at the first item and leaves no backlog.
  Wheel(32000);
  EXPECT_EQ(drop->GetSelection(), a);
  Wheel(-120);
  EXPECT_EQ(drop->GetSelection(), b);
}

TEST_F(DropDown, ItemTextChangesRepaintAndImagesAreReleased) {
  CWULDropDownItem* a = Add(1, "a");
  auto* image = new CWULImage(4, 4);
  image->Fill(CWULColor(255, 0, 0));
  image->AddRef();
  a->SetImage(image);
  EXPECT_EQ(image->refCount, 2);
  a->SetText("renamed");
  EXPECT_EQ(drop->FindByText("renamed"), a);
  drop->DeleteItem(a);
  EXPECT_EQ(image->refCount, 1);
  image->Release();
}

TEST_F(DropDown, PaintsFieldButtonArrowAndSelection) {
  drop->SetSize(80, 20);
  Show();
  const uint32_t field = RGBOf(wulColors[16]);
  const uint32_t face = RGBOf(wulColors[14]);
  const uint32_t arrow = RGBOf(wulColors[17]);
  EXPECT_EQ(PixelAt(30, 10), field);
  // The raised button face and its arrow in the middle.
  EXPECT_EQ(PixelAt(65, 5), face);
  EXPECT_EQ(PixelAt(63, 2), Shade(wulColors[14], 1.3125f));
  const int cx = (drop->buttonRect.left + drop->buttonRect.right - 1) / 2;
  const int cy = (drop->buttonRect.top + drop->buttonRect.bottom) / 2;
  bool arrowFound = false;
  for (int dy = -2; dy <= 2 && !arrowFound; dy++)
    arrowFound = PixelAt(cx, cy + dy) == arrow;
  EXPECT_TRUE(arrowFound);
  // The separating line and the outer bevel in the parent's colour.
  EXPECT_EQ(PixelAt(62, 10), RGBOf(wulColors[1]));
  EXPECT_EQ(PixelAt(0, 0), Shade(host->GetColor(), 0.75f));

  // A disabled arrow is half-way to the button colour.
  drop->Disable();
  bool fadedFound = false;
  const uint32_t faded = RGBOf(wulColors[17].Blend(wulColors[14], 0.5f));
  for (int dy = -2; dy <= 2 && !fadedFound; dy++)
    fadedFound = PixelAt(cx, cy + dy) == faded;
  EXPECT_TRUE(fadedFound);
  drop->Enable();

  // The selected item's text appears in the text area.
  CWULDropDownItem* item = Add(1, "WWWW");
  drop->SetSelection(item);
  drop->Redraw();
  GdiFlush();
  bool inked = false;
  for (int px = 3; px < 40 && !inked; px++)
    for (int py = 3; py < 17 && !inked; py++)
      inked = RGBAt(drop->buffer, px, py) != field;
  EXPECT_TRUE(inked);

  // An item image comes first, vertically centred in the text area.
  auto* image = new CWULImage(10, 6);
  image->Fill(CWULColor(255, 0, 0));
  item->SetImage(image);
  const int left = drop->textRect.left + drop->leftMargin;
  const int top = drop->textRect.top + drop->topMargin;
  const int iy = top + (drop->textRect.bottom - drop->bottomMargin - top - 6) / 2;
  EXPECT_EQ(PixelAt(left, iy), 0xFF0000u);
  EXPECT_EQ(PixelAt(left + 9, iy + 5), 0xFF0000u);
  EXPECT_NE(PixelAt(left + 9, iy + 6), 0xFF0000u);
}

TEST_F(DropDown, FocusedTextAreaIsHighlighted) {
  Show();
  if (!Focused(drop))
    GTEST_SKIP() << "no focus on this display";
  EXPECT_EQ(PixelAt(30, 10), RGBOf(wulColors[18]));
  host->Focus(true);
  PumpPending();
  EXPECT_EQ(PixelAt(30, 10), RGBOf(wulColors[16]));
}

TEST_F(DropDown, PressInTheTextAreaFocuses) {
  CWULDropDown* second;
  {
    ParentScope scope(host);
    second = new CWULDropDown();
    second->SetPosition(10, 50);
  }
  Show();
  if (!Focused(second))
    GTEST_SKIP() << "no focus on this display";
  MouseDown(drop, 10, 10);
  MouseUp(drop, 10, 10);
  PumpPending();
  EXPECT_TRUE(drop->HasFocus());
  EXPECT_FALSE(drop->IsOpen());
}

}  // namespace
