#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ControlTestKit.h"
#include "wul/WULButton.h"
#include "wul/WULPageControl.h"
#include "wul/WULSystem.h"

namespace {

std::string events;

class PageControl : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    events.clear();
    pages = new CWULPageControl();
    pages->SetBounds(10, 10, 200, 150);
    pages->pageChangedCallback = [](CWULPageControl*, CWULPageControlItem* newPage, CWULPageControlItem* oldPage) {
      events += "changed(" + Name(newPage) + "," + Name(oldPage) + ")";
    };
  }
  static std::string Name(CWULPageControlItem* page) { return page ? page->text.text : "-"; }
  CWULPageControlItem* Add(const char* caption, int id = 0) {
    auto* page = new CWULPageControlItem(caption);
    page->SetId(id);
    page->activateCallback = [](CWULPageControlItem* p) { events += "on(" + Name(p) + ")"; };
    page->deactivateCallback = [](CWULPageControlItem* p) { events += "off(" + Name(p) + ")"; };
    pages->AddItem(page);
    return page;
  }
  static bool Visible(CWULPageControlItem* page) {
    return page->interactor && page->interactor->IsVisible() && IsWindowVisible(page->interactor->GetHandle());
  }
  void CtrlTab(bool shift) {
    KeyStateScope keys;
    keys.Press(VK_CONTROL);
    if (shift)
      keys.Press(VK_SHIFT);
    KeyDown(pages->GetHandle(), VK_TAB);
  }

  CWULPageControl* pages = nullptr;
};

TEST_F(PageControl, InsetsFollowFrameStyleAndTabPosition) {
  const int strip = wulPageTabHeight + 2;
  EXPECT_EQ(pages->GetTabHeight(), wulPageTabHeight);
  EXPECT_EQ(pages->GetTabTextMargin(), 4);
  EXPECT_EQ(pages->leftInset, 2);
  EXPECT_EQ(pages->topInset, 2 + strip);
  EXPECT_EQ(pages->bottomInset, 2);
  EXPECT_EQ(pages->GetClientHeight(), 150 - 4 - strip);

  pages->SetFrameStyle(1);
  pages->SetTabPosition(WUL_TABS_BOTTOM);
  EXPECT_EQ(pages->topInset, 1);
  EXPECT_EQ(pages->bottomInset, 1 + strip);
  pages->SetFrameStyle(2);
  pages->SetTabInset(3);
  EXPECT_EQ(pages->leftInset, 0);
  EXPECT_EQ(pages->bottomInset, strip + 3);
  EXPECT_EQ(pages->GetClientWidth(), 200);
}

TEST_F(PageControl, AddingPagesMakesHiddenInteractorsButNoCurrentPage) {
  Show();
  CWULPageControlItem* first = Add("First", 1);
  CWULPageControlItem* second = Add("Second", 2);
  EXPECT_EQ(pages->GetCurrentItem(), nullptr);
  EXPECT_EQ(first->index, 1);
  EXPECT_EQ(second->index, 2);
  ASSERT_NE(first->interactor, nullptr);
  EXPECT_NE(first->interactor->GetHandle(), nullptr);
  EXPECT_FALSE(Visible(first));
  EXPECT_EQ(first->interactor->GetX(), 0);
  EXPECT_EQ(first->interactor->GetWidth(), pages->GetClientWidth());
  EXPECT_EQ(first->interactor->GetHeight(), pages->GetClientHeight());
  EXPECT_TRUE(events.empty());

  EXPECT_EQ(pages->FindById(2), second);
  EXPECT_EQ(pages->FindByText("First"), first);
  EXPECT_EQ(pages->FindByText("first"), nullptr);
  pages->SelectById(2);
  EXPECT_EQ(pages->GetCurrentItem(), second);
  EXPECT_TRUE(Visible(second));
  pages->SelectByText("First");
  EXPECT_EQ(pages->GetCurrentItem(), first);
  EXPECT_TRUE(Visible(first));
  EXPECT_FALSE(Visible(second));
  EXPECT_EQ(events, "on(Second)changed(Second,-)on(First)off(Second)changed(First,Second)");
  // Selecting the current page again does nothing.
  events.clear();
  pages->SetCurrentItem(first);
  EXPECT_TRUE(events.empty());
}

TEST_F(PageControl, PagesFollowTheClientSize) {
  Show();
  CWULPageControlItem* page = Add("Page");
  pages->SetSize(260, 180);
  EXPECT_EQ(page->interactor->GetWidth(), pages->GetClientWidth());
  EXPECT_EQ(page->interactor->GetHeight(), pages->GetClientHeight());
  pages->SetTabHeight(30);
  EXPECT_EQ(page->interactor->GetHeight(), 180 - 4 - 32);
}

TEST_F(PageControl, APageInteractorClosedElsewhereIsForgotten) {
  Show();
  CWULPageControlItem* page = Add("Page");
  pages->SetCurrentItem(page);
  page->interactor->Close();
  PumpPending();
  EXPECT_EQ(page->interactor, nullptr);
  // Nothing reaches for it any more.
  pages->SetSize(240, 160);
  page->Hide();
  page->Show();
  pages->RemoveItem(page);
  delete page;
}

TEST_F(PageControl, HidingTheCurrentPageKeepsItCurrent) {
  Show();
  CWULPageControlItem* first = Add("First");
  pages->SetCurrentItem(first);
  first->Hide();
  EXPECT_EQ(pages->GetCurrentItem(), first);
  EXPECT_FALSE(Visible(first));
  EXPECT_EQ(first->tabLeft, -1);
  EXPECT_EQ(first->tabRight, -1);
  first->Show();
  EXPECT_TRUE(Visible(first));
  EXPECT_EQ(first->tabLeft, 0);
}

TEST_F(PageControl, CtrlTabWrapsAndSkipsHiddenPages) {
  Show();
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("Two");
  CWULPageControlItem* three = Add("Three");
  two->Hide();
  pages->SetCurrentItem(three);
  CtrlTab(false);
  EXPECT_EQ(pages->GetCurrentItem(), one);
  CtrlTab(false);
  EXPECT_EQ(pages->GetCurrentItem(), three);
  CtrlTab(true);
  EXPECT_EQ(pages->GetCurrentItem(), one);
  CtrlTab(true);
  EXPECT_EQ(pages->GetCurrentItem(), three);
  // A plain Tab is not a page key.
  KeyStateScope keys;
  KeyDown(pages->GetHandle(), VK_TAB);
  EXPECT_EQ(pages->GetCurrentItem(), three);
}

TEST_F(PageControl, RemovingTheCurrentPageLeavesNoCurrentPage) {
  Show();
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("Two");
  pages->SetCurrentItem(one);
  events.clear();
  pages->RemoveItem(one);
  EXPECT_EQ(pages->GetCurrentItem(), nullptr);
  EXPECT_EQ(events, "off(One)changed(-,One)");
  EXPECT_EQ(one->interactor, nullptr);
  EXPECT_EQ(one->GetOwner(), nullptr);
  EXPECT_EQ(one->index, 0);
  EXPECT_EQ(two->index, 1);
  // A removed page can go into a control again.
  pages->InsertItem(one, two);
  EXPECT_EQ(pages->GetFirstItem(), one);
  EXPECT_NE(one->interactor, nullptr);
  delete one;
  EXPECT_EQ(pages->GetItemCount(), 1);
  // Deleted pages take their interactors, and the controls on them, along.
  pages->SetCurrentItem(two);
  HWND shown = two->interactor->GetHandle();
  ASSERT_TRUE(IsWindowVisible(shown));
  pages->DeleteAllItems();
  EXPECT_EQ(pages->GetItemCount(), 0);
  EXPECT_EQ(pages->GetCurrentItem(), nullptr);
  EXPECT_FALSE(IsWindowVisible(shown));
  PumpPending();
  EXPECT_FALSE(IsWindow(shown));
}

TEST_F(PageControl, InsertingAPageOfTheSameControlMovesIt) {
  Show();
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("Two");
  pages->SetCurrentItem(two);
  CWULContainer* interactor = two->interactor;
  events.clear();
  pages->InsertItem(two, one);
  EXPECT_EQ(pages->GetFirstItem(), two);
  EXPECT_EQ(two->index, 1);
  EXPECT_EQ(one->index, 2);
  EXPECT_EQ(pages->GetCurrentItem(), two);
  EXPECT_EQ(two->interactor, interactor);
  EXPECT_TRUE(Visible(two));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(two->tabLeft, 0);
  EXPECT_EQ(one->tabLeft, two->tabRight);
}

TEST_F(PageControl, TabsAreLaidOutFromTheFirstOffset) {
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("");
  pages->SetFirstTabOffset(5);
  EXPECT_EQ(one->tabLeft, 5);
  EXPECT_EQ(one->tabInnerLeft, 7);
  EXPECT_EQ(one->tabInnerRight, one->tabRight - 2);
  EXPECT_EQ(two->tabLeft, one->tabRight);
  // An empty caption is only the text margins wide.
  EXPECT_EQ(two->tabRight - two->tabLeft, 2 * 4 + 1);
  // A short caption gets the minimum width.
  pages->SetMinTabWidth(70);
  EXPECT_EQ(one->tabRight - one->tabLeft, 71);
  EXPECT_EQ(two->tabRight - two->tabLeft, 71);
  // A longer caption makes its tab wider.
  pages->SetMinTabWidth(0);
  const int before = one->tabRight - one->tabLeft;
  one->SetText("One with a longer caption");
  EXPECT_GT(one->tabRight - one->tabLeft, before);
  pages->SwapItems(one, two);
  EXPECT_EQ(two->index, 1);
  EXPECT_EQ(two->tabLeft, 5);
}

TEST_F(PageControl, ClickingATabSelectsIt) {
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("Two");
  Show();
  const int tx = (two->tabLeft + two->tabRight) / 2;
  const int ty = pages->GetTabInset() + pages->GetTabHeight() / 2;
  wulSendMessage(pages->GetHandle(), WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(pages, tx, ty));
  EXPECT_EQ(pages->GetCurrentItem(), two);
  // Outside the tab row nothing changes.
  wulSendMessage(pages->GetHandle(), WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(pages, (one->tabLeft + one->tabRight) / 2, 1));
  EXPECT_EQ(pages->GetCurrentItem(), two);

  pages->SetTabPosition(WUL_TABS_BOTTOM);
  const int by = pages->GetHeight() - pages->GetTabHeight() / 2 - 2;
  wulSendMessage(pages->GetHandle(), WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(pages, (one->tabLeft + one->tabRight) / 2, by));
  EXPECT_EQ(pages->GetCurrentItem(), one);
}

TEST_F(PageControl, FocusLeavesAHiddenPageForTheControl) {
  CWULPageControlItem* one = Add("One");
  Add("Two");
  CWULButton* button;
  {
    ParentScope scope(one->interactor);
    button = new CWULButton();
  }
  pages->SetCurrentItem(one);
  Show();
  if (!Focused(button))
    GTEST_SKIP() << "no focus on this display";
  pages->SelectByText("Two");
  PumpPending();
  EXPECT_FALSE(button->HasFocus());
  EXPECT_EQ(GetFocus(), pages->GetHandle());
}

TEST_F(PageControl, CtrlTabFromInsideAPageMovesTheFocusIntoTheNewPage) {
  CWULPageControlItem* one = Add("One");
  CWULPageControlItem* two = Add("Two");
  CWULButton* first;
  CWULButton* second;
  {
    ParentScope scope(one->interactor);
    first = new CWULButton();
  }
  {
    ParentScope scope(two->interactor);
    second = new CWULButton();
  }
  pages->SetCurrentItem(one);
  Show();
  if (!Focused(first))
    GTEST_SKIP() << "no focus on this display";
  {
    KeyStateScope keys;
    keys.Press(VK_CONTROL);
    // The key bubbles up from the focused button to the control.
    KeyDown(first->GetHandle(), VK_TAB);
  }
  PumpPending();
  EXPECT_EQ(pages->GetCurrentItem(), two);
  EXPECT_TRUE(second->HasFocus());
}

TEST_F(PageControl, StripShowsBaseLineAndTheCurrentTabJoinsThePage) {
  CWULPageControlItem* one = Add("One");
  Add("Two");
  pages->SetCurrentItem(one);
  Show();
  pages->Redraw();
  const int strip = pages->GetStripHeight();
  const CWULColor& base = pages->GetColor();
  const int edge = pages->GetWidth() - 2;
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, 0), RGBOf(base));
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, strip - 2), Shade(base, 0.75f));
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, strip - 1), Shade(base, 1.3125f));
  // Inside the current tab the base line is gone.
  const int inside = one->tabInnerRight - 2;
  EXPECT_EQ(RGBAt(pages->stripBuffer, inside, strip - 1), RGBOf(base));
  EXPECT_EQ(RGBAt(pages->stripBuffer, one->tabLeft, strip - 4), Shade(base, 1.3125f));

  // At the bottom the strip is turned over.
  pages->SetTabPosition(WUL_TABS_BOTTOM);
  pages->Redraw();
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, 0), Shade(base, 1.3125f));
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, 1), Shade(base, 0.75f));
  EXPECT_EQ(RGBAt(pages->stripBuffer, edge, strip - 1), RGBOf(base));
}

}  // namespace
