#include <gtest/gtest.h>
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULImage.h"
#include "wul/WULListBox.h"

namespace {

struct Change {
  CWULListItem* newItem;
  CWULListItem* oldItem;
};
std::vector<Change> changes;

void RecordChange(CWULListBox*, CWULListItem* newItem, CWULListItem* oldItem) {
  changes.push_back({newItem, oldItem});
}

// The width the list measures for a text: the text in the list's font and both paddings.
int TextWidth(CWULListBox* list, const char* text) {
  HDC dc = GetDC(nullptr);
  CWULTextFont font(&list->GetFont());
  font.Select(dc);
  RECT area = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &area, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  font.Restore();
  ReleaseDC(nullptr, dc);
  return area.right - area.left;
}

std::string Texts(CWULListBox* list) {
  std::string all;
  for (CWULListItem* item = list->GetFirstItem(); item; item = static_cast<CWULListItem*>(item->next)) {
    if (!all.empty())
      all += ",";
    all += item->GetText();
  }
  return all;
}

bool IndicesAreInOrder(CWULListBox* list) {
  int expected = 1;
  for (CWULListItem* item = list->GetFirstItem(); item; item = static_cast<CWULListItem*>(item->next)) {
    if (item->GetIndex() != expected++)
      return false;
  }
  return expected - 1 == list->GetCount();
}

class ListBox : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    changes.clear();
    list = new CWULListBox;
    // Border style 3: 2-pixel insets, a client area of 196 x 140, ten rows of 14.
    list->SetBounds(10, 10, 200, 144);
  }
  // Appends items "Item 01" ... with values 1 ...
  void Fill(int count) {
    for (int i = 1; i <= count; i++) {
      char text[32];
      wsprintfA(text, "Item %02d", i);
      auto* item = new CWULListItem(text);
      item->value = i;
      list->InsertItem(item, nullptr);
    }
  }
  // Shows a list of count items and focuses it; false on a display that gives no focus.
  bool ShowFocused(int count) {
    Fill(count);
    Show();
    return Focused(list);
  }
  // A page key pressed with the current item and the scroll position of each case.
  struct PageCase {
    int current, scroll, key, selected;
  };
  void ExpectPageKeys(std::initializer_list<PageCase> cases) {
    for (const PageCase& c : cases) {
      list->SetCurrentItem(list->FindByIndex(c.current));
      list->SetScrollY(c.scroll);
      KeyDown(list->GetHandle(), c.key);
      EXPECT_EQ(list->GetCurrentItem()->GetIndex(), c.selected)
          << "from " << c.current << " at " << c.scroll << " key " << c.key;
    }
  }
  CWULListBox* list;
};

using ListBoxInput = ListBox;
using ListBoxPaint = ListBox;

// --- items ---

TEST_F(ListBox, Defaults) {
  EXPECT_EQ(list->GetItemHeight(), 14);
  EXPECT_EQ(list->GetImageGap(), 2);
  EXPECT_FALSE(list->GetReserveImageColumn());
  EXPECT_EQ(list->GetLeftPadding(), 2);
  EXPECT_EQ(list->GetRightPadding(), 2);
  EXPECT_EQ(list->GetLineStepX(), 14);
  EXPECT_EQ(list->GetLineStepY(), 14);
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurrentItem(), nullptr);
  EXPECT_TRUE(list->IsTabStop());
  EXPECT_EQ(RGBOf(list->GetColor()), RGBOf(wulColors[16]));
  EXPECT_EQ(list->GetClientHeight(), 140);
}

TEST_F(ListBox, IndicesFollowInsertRemoveSwapAndSort) {
  auto* b = new CWULListItem("b");
  auto* d = new CWULListItem("d");
  list->InsertItem(b, nullptr);
  list->InsertItem(d, nullptr);
  auto* a = new CWULListItem("a");
  list->InsertItem(a, b);
  auto* c = new CWULListItem("c");
  list->InsertItem(c, d);
  EXPECT_EQ(Texts(list), "a,b,c,d");
  EXPECT_TRUE(IndicesAreInOrder(list));
  EXPECT_EQ(c->GetIndex(), 3);
  EXPECT_EQ(c->GetOwner(), list);

  list->RemoveItem(b);
  EXPECT_EQ(b->GetOwner(), nullptr);
  EXPECT_EQ(b->GetIndex(), 0);
  EXPECT_EQ(Texts(list), "a,c,d");
  EXPECT_TRUE(IndicesAreInOrder(list));
  delete b;

  list->SwapItems(a, d);
  EXPECT_EQ(Texts(list), "d,c,a");
  EXPECT_TRUE(IndicesAreInOrder(list));

  list->SortItems(false);
  EXPECT_EQ(Texts(list), "a,c,d");
  EXPECT_TRUE(IndicesAreInOrder(list));
  list->SortItems(true);
  EXPECT_EQ(Texts(list), "d,c,a");
  EXPECT_TRUE(IndicesAreInOrder(list));
  EXPECT_TRUE(list->GetAutoRedraw());

  // Deleting an item takes it out of its list.
  delete c;
  EXPECT_EQ(Texts(list), "d,a");
  EXPECT_TRUE(IndicesAreInOrder(list));
}

TEST_F(ListBox, SortComparesBytesAndKeepsEqualTexts) {
  for (const char* text : {"beta", "Alpha", "alpha", "beta", "Beta"})
    list->InsertItem(new CWULListItem(text), nullptr);
  list->SortItems(false);
  EXPECT_EQ(Texts(list), "Alpha,Beta,alpha,beta,beta");
  EXPECT_TRUE(IndicesAreInOrder(list));
}

TEST_F(ListBox, MovingWithinTheListKeepsTheCurrentItem) {
  Fill(4);
  CWULListItem* third = list->FindByIndex(3);
  list->SetCurrentItem(third);
  list->InsertItem(third, list->GetFirstItem());
  EXPECT_EQ(Texts(list), "Item 03,Item 01,Item 02,Item 04");
  EXPECT_TRUE(IndicesAreInOrder(list));
  EXPECT_EQ(list->GetCurrentItem(), third);
  EXPECT_EQ(list->GetCount(), 4);
}

TEST_F(ListBox, AnItemOfAnotherListIsTakenFromIt) {
  CWULListBox* other = new CWULListBox;
  auto* item = new CWULListItem("moving");
  other->InsertItem(item, nullptr);
  other->InsertItem(new CWULListItem("staying"), nullptr);
  other->SetCurrentItem(item);
  list->InsertItem(item, nullptr);
  EXPECT_EQ(item->GetOwner(), list);
  EXPECT_EQ(other->GetCount(), 1);
  EXPECT_EQ(other->GetCurrentItem(), nullptr);
  EXPECT_TRUE(IndicesAreInOrder(other));
  EXPECT_EQ(list->GetCount(), 1);
  EXPECT_EQ(item->GetIndex(), 1);
}

TEST_F(ListBox, FindersAndStepping) {
  Fill(5);
  EXPECT_EQ(list->FindByValue(4)->GetIndex(), 4);
  EXPECT_EQ(list->FindByValue(9), nullptr);
  EXPECT_EQ(list->FindByText("Item 02")->value, 2);
  EXPECT_EQ(list->FindByText("item 02"), nullptr);
  EXPECT_EQ(list->FindByIndex(0), nullptr);
  EXPECT_EQ(list->FindByIndex(6), nullptr);
  EXPECT_EQ(list->GetLastItem()->value, 5);

  list->SelectPrevious();
  EXPECT_EQ(list->GetCurrentItem(), list->GetFirstItem());
  list->SelectPrevious();
  EXPECT_EQ(list->GetCurrentItem(), list->GetFirstItem());
  for (int i = 0; i < 10; i++)
    list->SelectNext();
  EXPECT_EQ(list->GetCurrentItem(), list->GetLastItem());
}

TEST_F(ListBox, CurrentItemHandlerRunsOnChangesOnly) {
  Fill(3);
  list->currentItemChangedHandler = RecordChange;
  CWULListItem* first = list->GetFirstItem();
  CWULListItem* second = list->FindByIndex(2);
  list->SetCurrentItem(first);
  list->SetCurrentItem(first);
  list->SetCurrentItem(second);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].newItem, first);
  EXPECT_EQ(changes[0].oldItem, nullptr);
  EXPECT_EQ(changes[1].newItem, second);
  EXPECT_EQ(changes[1].oldItem, first);

  // An item of no list is not taken as current.
  CWULListItem stranger("stranger");
  list->SetCurrentItem(&stranger);
  EXPECT_EQ(list->GetCurrentItem(), second);
  EXPECT_EQ(changes.size(), 2u);

  // Removing the current item clears it first.
  list->RemoveItem(second);
  EXPECT_EQ(list->GetCurrentItem(), nullptr);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[2].newItem, nullptr);
  EXPECT_EQ(changes[2].oldItem, second);
  delete second;
}

TEST_F(ListBox, ClearDeletesEverything) {
  Fill(12);
  list->SetCurrentItem(list->GetLastItem());
  list->Clear();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurrentItem(), nullptr);
  EXPECT_EQ(list->GetContentWidth(), 0);
  EXPECT_EQ(list->GetContentHeight(), 0);
  EXPECT_EQ(list->GetScrollY(), 0);
  EXPECT_FALSE(list->vBarShown);
}

// --- content size ---

TEST_F(ListBox, ContentIsTheWidestItemByTheRows) {
  list->InsertItem(new CWULListItem("short"), nullptr);
  auto* wide = new CWULListItem("a considerably longer text");
  list->InsertItem(wide, nullptr);
  const int wideWidth = TextWidth(list, "a considerably longer text") + 4;
  EXPECT_EQ(wide->measuredWidth, wideWidth);
  EXPECT_EQ(list->GetContentWidth(), wideWidth);
  EXPECT_EQ(list->GetContentHeight(), 28);

  // An image, or a reserved column, adds the gap and a square of the row height.
  auto* picture = new CWULImage(8, 8);
  picture->Fill(CWULColor(255, 0, 0));
  auto* pictured = new CWULListItem("short");
  pictured->SetImage(picture);
  list->InsertItem(pictured, nullptr);
  EXPECT_EQ(pictured->measuredWidth, TextWidth(list, "short") + 4 + 2 + 14);
  list->SetReserveImageColumn(true);
  EXPECT_EQ(list->GetContentWidth(), wideWidth + 16);
  list->SetLeftPadding(10);
  EXPECT_EQ(list->GetContentWidth(), wideWidth + 24);
  list->SetItemHeight(20);
  EXPECT_EQ(list->GetContentWidth(), wideWidth + 30);
  EXPECT_EQ(list->GetContentHeight(), 60);
  EXPECT_EQ(list->GetLineStepY(), 20);
}

TEST_F(ListBox, RemovingTheWidestItemShrinksTheHorizontalRange) {
  list->InsertItem(new CWULListItem("short"), nullptr);
  auto* wide = new CWULListItem("a text far wider than the list box itself can show at once");
  list->InsertItem(wide, nullptr);
  EXPECT_TRUE(list->hBarShown);
  list->SetScrollX(1000);
  EXPECT_GT(list->GetScrollX(), 0);
  list->DeleteItem(wide);
  EXPECT_EQ(list->GetContentWidth(), TextWidth(list, "short") + 4);
  EXPECT_FALSE(list->hBarShown);
  EXPECT_EQ(list->GetScrollX(), 0);
}

TEST_F(ListBox, TextChangesAreMeasuredAgain) {
  auto* a = new CWULListItem("aaaa");
  auto* b = new CWULListItem("bb");
  list->InsertItem(a, nullptr);
  list->InsertItem(b, nullptr);
  EXPECT_EQ(list->GetContentWidth(), TextWidth(list, "aaaa") + 4);
  // A grown item becomes the widest.
  b->SetText("bbbbbbbbbbbbbbbb");
  EXPECT_EQ(list->GetContentWidth(), TextWidth(list, "bbbbbbbbbbbbbbbb") + 4);
  // The widest shrinking gives the width back to the next widest.
  b->SetText("b");
  EXPECT_EQ(list->GetContentWidth(), TextWidth(list, "aaaa") + 4);
}

TEST_F(ListBox, AFontChangeMeasuresEveryItemAgain) {
  list->InsertItem(new CWULListItem("Measured text"), nullptr);
  const int before = list->GetContentWidth();
  CWULFont big(list->GetFont());
  big.SetHeight(-24);
  list->font.Assign(big);
  EXPECT_EQ(list->GetContentWidth(), TextWidth(list, "Measured text") + 4);
  EXPECT_GT(list->GetContentWidth(), before);
}

// --- scrolling into view ---

TEST_F(ListBox, TheLastItemEndsAtTheClientBottom) {
  Fill(30);
  list->SetCurrentItem(list->GetLastItem());
  EXPECT_EQ(list->GetScrollY(), 30 * 14 - 140);
  RECT row;
  list->GetItemRect(list->GetLastItem(), &row);
  EXPECT_EQ(row.bottom, list->GetClientHeight());
  // Going back up scrolls so that the row starts at the top.
  list->SetCurrentItem(list->FindByIndex(5));
  EXPECT_EQ(list->GetScrollY(), 4 * 14);
  // A visible item does not scroll.
  list->SetCurrentItem(list->FindByIndex(10));
  EXPECT_EQ(list->GetScrollY(), 4 * 14);
}

// --- input ---

TEST_F(ListBoxInput, APressSelectsTheRowUnderThePointer) {
  Fill(30);
  Show();
  list->SetScrollY(20);
  MouseDown(list, 30, 3 * 14 - 20 + 5);  // row 4
  MouseUp(list, 30, 3 * 14 - 20 + 5);
  ASSERT_NE(list->GetCurrentItem(), nullptr);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 4);
  PumpPending();
  if (GetForegroundWindow() == host->GetHandle()) {
    EXPECT_TRUE(list->HasFocus());
  }
}

TEST_F(ListBoxInput, APressBelowTheLastItemOnlyFocuses) {
  Fill(3);
  list->SetCurrentItem(list->FindByIndex(2));
  Show();
  changes.clear();
  list->currentItemChangedHandler = RecordChange;
  Click(list, 30, 100);
  EXPECT_EQ(list->GetCurrentItem(), list->FindByIndex(2));
  EXPECT_TRUE(changes.empty());
  PumpPending();
  if (GetForegroundWindow() == host->GetHandle()) {
    EXPECT_TRUE(list->HasFocus());
  }
  // A double click on a row focuses without selecting.
  wulSendMessage(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(30, 5));
  EXPECT_EQ(list->GetCurrentItem(), list->FindByIndex(2));
}

TEST_F(ListBoxInput, ArrowsHomeAndEnd) {
  KeyStateScope keys;
  if (!ShowFocused(30))
    GTEST_SKIP() << "no focus on this display";
  HWND native = list->GetHandle();
  EXPECT_EQ(KeyDown(native, VK_DOWN), 0);
  EXPECT_EQ(list->GetCurrentItem(), list->GetFirstItem());
  KeyDown(native, VK_UP);
  EXPECT_EQ(list->GetCurrentItem(), list->GetFirstItem());
  KeyDown(native, VK_DOWN);
  KeyDown(native, VK_DOWN);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 3);
  KeyDown(native, VK_END);
  EXPECT_EQ(list->GetCurrentItem(), list->GetLastItem());
  EXPECT_EQ(list->GetScrollY(), 280);
  KeyDown(native, VK_DOWN);
  EXPECT_EQ(list->GetCurrentItem(), list->GetLastItem());
  KeyDown(native, VK_HOME);
  EXPECT_EQ(list->GetCurrentItem(), list->GetFirstItem());
  EXPECT_EQ(list->GetScrollY(), 0);
}

TEST_F(ListBoxInput, PageKeysMoveByPages) {
  KeyStateScope keys;
  if (!ShowFocused(30))
    GTEST_SKIP() << "no focus on this display";
  HWND native = list->GetHandle();
  list->SetCurrentItem(list->GetFirstItem());
  KeyDown(native, VK_NEXT);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 10);
  EXPECT_EQ(list->GetScrollY(), 0);
  KeyDown(native, VK_NEXT);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 20);
  EXPECT_EQ(list->GetScrollY(), 140);
  KeyDown(native, VK_NEXT);
  KeyDown(native, VK_NEXT);
  EXPECT_EQ(list->GetCurrentItem(), list->GetLastItem());
  // Up: first the top visible row, then a page higher, never above the first.
  KeyDown(native, VK_PRIOR);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 21);
  KeyDown(native, VK_PRIOR);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 11);
  KeyDown(native, VK_PRIOR);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 1);
  KeyDown(native, VK_PRIOR);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 1);
}

// A current item scrolled out of view (by the wheel or the scroll bar): the page keys start
// from the visible rows, not from the hidden item.
TEST_F(ListBoxInput, PageKeysStartFromTheVisibleRows) {
  KeyStateScope keys;
  if (!ShowFocused(30))
    GTEST_SKIP() << "no focus on this display";
  ExpectPageKeys({
      {2, 140, VK_PRIOR, 11},  // hidden above: the top visible row
      {2, 140, VK_NEXT, 20},   // hidden above: the bottom visible row
      {25, 0, VK_NEXT, 10},    // hidden below: the bottom visible row
      {25, 0, VK_PRIOR, 1},    // hidden below: the top visible row
  });
}

// Scrolled by pixels, a current row half in view at the edge the key goes to counts as there:
// Page Up never moves a visible current item down, Page Down never up.
TEST_F(ListBoxInput, PageKeysFromAHalfVisibleRow) {
  KeyStateScope keys;
  if (!ShowFocused(30))
    GTEST_SKIP() << "no focus on this display";
  ExpectPageKeys({
      {11, 147, VK_PRIOR, 1},   // row 11 half in view at the top: a page higher
      {12, 147, VK_PRIOR, 2},   // the first whole row: a page higher, as before
      {15, 147, VK_PRIOR, 12},  // further down: the first whole row
      {11, 7, VK_NEXT, 21},     // row 11 half in view at the bottom: a page lower
      {10, 7, VK_NEXT, 20},     // the last whole row: a page lower, as before
      {5, 7, VK_NEXT, 10},      // further up: the last whole row
      {1, 7, VK_NEXT, 10},      // row 1 half in view at the top: down to the last whole row
      {21, 147, VK_PRIOR, 12},  // row 21 half in view at the bottom: up to the first whole row
  });
}

TEST_F(ListBoxInput, CtrlScrollsWithoutChangingTheCurrentItem) {
  KeyStateScope keys;
  if (!ShowFocused(30))
    GTEST_SKIP() << "no focus on this display";
  HWND native = list->GetHandle();
  list->SetCurrentItem(list->FindByIndex(2));
  keys.Press(VK_CONTROL);
  KeyDown(native, VK_DOWN);
  EXPECT_EQ(list->GetScrollY(), 14);
  KeyDown(native, VK_NEXT);
  EXPECT_EQ(list->GetScrollY(), 154);
  KeyDown(native, VK_END);
  EXPECT_EQ(list->GetScrollY(), 280);
  KeyDown(native, VK_PRIOR);
  EXPECT_EQ(list->GetScrollY(), 140);
  KeyDown(native, VK_UP);
  EXPECT_EQ(list->GetScrollY(), 126);
  KeyDown(native, VK_HOME);
  EXPECT_EQ(list->GetScrollY(), 0);
  EXPECT_EQ(list->GetCurrentItem()->GetIndex(), 2);
}

TEST_F(ListBoxInput, LeftAndRightScrollSideways) {
  KeyStateScope keys;
  list->InsertItem(new CWULListItem("a text far wider than the list box itself can show at once"), nullptr);
  Show();
  if (!Focused(list))
    GTEST_SKIP() << "no focus on this display";
  KeyDown(list->GetHandle(), VK_RIGHT);
  KeyDown(list->GetHandle(), VK_RIGHT);
  EXPECT_EQ(list->GetScrollX(), 28);
  KeyDown(list->GetHandle(), VK_LEFT);
  EXPECT_EQ(list->GetScrollX(), 14);
}

TEST_F(ListBoxInput, WheelScrollsWholePixelsAndKeepsTheFraction) {
  Fill(30);
  Show();
  HWND native = list->GetHandle();
  const LPARAM at = ScreenPoint(list, 40, 40);
  // One notch is three rows, at most half the client height.
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), at);
  EXPECT_EQ(list->GetScrollY(), 42);
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), at);
  EXPECT_EQ(list->GetScrollY(), 63);
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-1)), at);
  EXPECT_EQ(list->GetScrollY(), 63);
  EXPECT_NEAR(list->wheelRemainder, -1.0f / 120.0f, 1e-4f);
  // The kept fraction costs the next notch a pixel.
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), at);
  EXPECT_EQ(list->GetScrollY(), 63 - 41);
  EXPECT_EQ(list->GetCurrentItem(), nullptr);

  // A low list scrolls by half its client height per notch.
  list->SetScrollY(0);
  list->wheelRemainder = 0.0f;
  list->SetHeight(24);  // client 20
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), ScreenPoint(list, 40, 10));
  EXPECT_EQ(list->GetScrollY(), 10);
}

// --- painting ---

class RowReader {
public:
  explicit RowReader(CWULListBox* list) {
    buffer.SetSize(list->GetClientWidth(), list->GetClientHeight());
    RECT all = {0, 0, list->GetClientWidth(), list->GetClientHeight()};
    list->PaintRows(buffer.GetDC(), &all);
  }
  uint32_t At(int x, int y) { return RGBAt(buffer, x, y); }
  // The darkest channel sum of a rectangle's pixels, and whether any differs from skip.
  int Darkest(int left, int top, int right, int bottom) {
    int darkest = 3 * 255;
    for (int y = top; y < bottom; y++)
      for (int x = left; x < right; x++) {
        const uint32_t p = At(x, y);
        darkest = std::min(darkest, static_cast<int>((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF)));
      }
    return darkest;
  }
  CWULOffscreenBuffer buffer;
};

TEST_F(ListBoxPaint, CurrentRowInTheSelectionColourAndTheRestInTheListColour) {
  Fill(3);
  list->SetCurrentItem(list->FindByIndex(2));
  RowReader rows(list);
  const uint32_t field = RGBOf(wulColors[16]);
  const uint32_t selection = RGBOf(wulColors[18]);
  EXPECT_EQ(rows.At(150, 1), field);
  EXPECT_EQ(rows.At(150, 14 + 1), selection);
  EXPECT_EQ(rows.At(0, 14 + 13), selection);
  EXPECT_EQ(rows.At(150, 28 + 1), field);
  // Below the last item.
  EXPECT_EQ(rows.At(100, 60), field);
  EXPECT_EQ(rows.At(195, 139), field);
  // The text is drawn in the font's colour (black) from the left padding.
  EXPECT_LT(rows.Darkest(2, 0, 60, 14), 60);
  EXPECT_EQ(rows.Darkest(0, 0, 2, 14), 3 * 224);
}

TEST_F(ListBoxPaint, ADisabledListFadesItsText) {
  Fill(1);
  list->Disable();
  RowReader rows(list);
  // Black blended halfway to the field colour.
  const int darkest = rows.Darkest(2, 0, 60, 14);
  EXPECT_GE(darkest, 3 * 100);
  EXPECT_LT(darkest, 3 * 224);
}

TEST_F(ListBoxPaint, FocusRectangleAroundTheCurrentOrFirstRow) {
  // An empty focused list shows it in the first row.
  list->flagsA |= WUL_IF_FOCUSED;
  {
    RowReader rows(list);
    EXPECT_EQ(rows.At(0, 0), 0u);
    EXPECT_EQ(rows.At(2, 0), RGBOf(wulColors[16]));
  }
  Fill(3);
  {
    RowReader rows(list);
    EXPECT_EQ(rows.At(0, 0), 0u);
    EXPECT_EQ(rows.At(0, 14), RGBOf(wulColors[16]));
  }
  list->SetCurrentItem(list->FindByIndex(3));
  {
    RowReader rows(list);
    EXPECT_EQ(rows.At(0, 0), RGBOf(wulColors[16]));
    EXPECT_EQ(rows.At(0, 28), RGBOf(wulColors[19]));
    EXPECT_EQ(rows.At(2, 28), RGBOf(wulColors[18]));
  }
  list->flagsA &= ~WUL_IF_FOCUSED;
  RowReader rows(list);
  EXPECT_EQ(rows.At(0, 28), RGBOf(wulColors[18]));
}

TEST_F(ListBoxPaint, ImagesSitInASquareColumnAndFadeWhenDisabled) {
  auto* picture = new CWULImage(8, 8);
  picture->Fill(CWULColor(255, 0, 0));
  auto* item = new CWULListItem("pictured");
  item->SetImage(picture);
  list->InsertItem(item, nullptr);
  list->InsertItem(new CWULListItem("plain"), nullptr);
  {
    RowReader rows(list);
    // Column from the left padding, 14 wide: the image at (5, 3) .. (13, 11).
    EXPECT_EQ(rows.At(5, 3), 0xFF0000u);
    EXPECT_EQ(rows.At(12, 10), 0xFF0000u);
    EXPECT_EQ(rows.At(4, 3), RGBOf(wulColors[16]));
    EXPECT_EQ(rows.At(13, 11), RGBOf(wulColors[16]));
    // The text starts after the column and the gap.
    EXPECT_EQ(rows.Darkest(2, 0, 18, 14), 255);
  }
  list->Disable();
  RowReader rows(list);
  const uint32_t faded = rows.At(8, 6);
  EXPECT_NEAR(static_cast<int>((faded >> 16) & 0xFF), (255 + 224) / 2, 2);
  EXPECT_NEAR(static_cast<int>(faded & 0xFF), 224 / 2, 2);
}

TEST_F(ListBoxPaint, ScrolledRowsMoveUp) {
  Fill(30);
  list->SetCurrentItem(list->FindByIndex(5));
  list->SetScrollY(21);  // row 5 starts at 56 - 21
  RowReader rows(list);
  EXPECT_EQ(rows.At(150, 35), RGBOf(wulColors[18]));
  EXPECT_EQ(rows.At(150, 34), RGBOf(wulColors[16]));
  EXPECT_EQ(rows.At(150, 48), RGBOf(wulColors[18]));
  EXPECT_EQ(rows.At(150, 49), RGBOf(wulColors[16]));
}

TEST_F(ListBoxPaint, TheWindowShowsTheRows) {
  Fill(3);
  list->SetCurrentItem(list->FindByIndex(1));
  Show();
  PumpPending();
  // What the window painted, read back from its client area.
  HDC dc = GetDC(list->GetHandle());
  CWULOffscreenBuffer copy;
  copy.SetSize(list->GetClientWidth(), list->GetClientHeight());
  BitBlt(copy.GetDC(), 0, 0, copy.GetWidth(), copy.GetHeight(), dc, 0, 0, SRCCOPY);
  ReleaseDC(list->GetHandle(), dc);
  EXPECT_EQ(RGBAt(copy, 150, 5), RGBOf(wulColors[18]));
  EXPECT_EQ(RGBAt(copy, 150, 20), RGBOf(wulColors[16]));
  EXPECT_EQ(RGBAt(copy, 150, 120), RGBOf(wulColors[16]));
}

}  // namespace
