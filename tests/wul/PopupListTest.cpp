#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULDropDown.h"
#include "wul/WULPopupList.h"
#include "wul/WULSystem.h"

namespace {

// Drives the list's modal loop from a thread timer: each step runs inside the loop, one
// per tick, until it reports done. The list is ended when the script takes too long.
class ListScript {
public:
  typedef std::function<bool()> Step;

  explicit ListScript(CWULDropDown* drop) : m_drop(drop) {
    s_current = this;
    m_timer = SetTimer(nullptr, 0, 15, Tick);
  }
  ~ListScript() {
    KillTimer(nullptr, m_timer);
    s_current = nullptr;
  }
  ListScript(const ListScript&) = delete;
  ListScript& operator=(const ListScript&) = delete;

  ListScript& Then(Step step) {
    m_steps.push_back(step);
    return *this;
  }
  // Posts a message to the running list's window.
  ListScript& Post(UINT message, WPARAM wParam, LPARAM lParam) {
    return Then([=] {
      CWULPopupList* list = Running();
      if (!list)
        return false;
      PostMessageA(list->GetHandle(), message, wParam, lParam);
      return true;
    });
  }
  ListScript& Key(int key) { return Post(WM_KEYDOWN, key, KeyParam(key, false)); }
  // Pointer move, press and release on the row of the item.
  ListScript& ClickRow(CWULDropDownItem* item) {
    return Then([=] {
      CWULPopupList* list = Running();
      if (!list)
        return false;
      RECT row;
      list->GetRowRect(item, &row);
      const LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
      PostMessageA(list->GetHandle(), WM_MOUSEMOVE, 0, at);
      PostMessageA(list->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageA(list->GetHandle(), WM_LBUTTONUP, 0, at);
      return true;
    });
  }
  // Runs the check while the list is open.
  ListScript& Check(std::function<void(CWULPopupList*)> check) {
    return Then([=] {
      CWULPopupList* list = Running();
      if (!list)
        return false;
      check(list);
      return true;
    });
  }
  bool Finished() const { return m_next >= m_steps.size(); }
  int Opened() const { return m_opened; }

  CWULPopupList* Running() {
    CWULPopupList* list = m_drop->GetPopupList();
    if (!list || !list->IsRunning() || !list->GetHandle())
      return nullptr;
    if (list != m_lastSeen) {
      m_lastSeen = list;
      m_opened++;
    }
    return list;
  }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ListScript* self = s_current;
    if (!self)
      return;
    self->Running();
    if (++self->m_ticks > 400) {
      if (CWULPopupList* list = self->m_drop->GetPopupList())
        list->EndLoop();
      return;
    }
    if (self->m_next < self->m_steps.size() && self->m_steps[self->m_next]())
      self->m_next++;
  }

  static inline ListScript* s_current = nullptr;
  CWULDropDown* m_drop;
  std::vector<Step> m_steps;
  size_t m_next = 0;
  int m_ticks = 0;
  int m_opened = 0;
  CWULPopupList* m_lastSeen = nullptr;
  UINT_PTR m_timer = 0;
};

class PopupList : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    drop = new CWULDropDown();
    drop->SetBounds(20, 30, 100, 20);
    a = Add(1, "alpha");
    b = Add(2, "beta");
    c = Add(3, "gamma");
  }
  void TearDown() override {
    // Closed lists end with their windows.
    PumpPending();
    ControlTest::TearDown();
  }
  CWULDropDownItem* Add(int value, const char* text) {
    auto* item = new CWULDropDownItem(value, text);
    drop->InsertItem(item);
    return item;
  }
  // Opens the list with a press on the button and waits until the script is through.
  void ClickButtonWith(ListScript& script) {
    const int bx = (drop->buttonRect.left + drop->buttonRect.right) / 2;
    const int by = (drop->buttonRect.top + drop->buttonRect.bottom) / 2;
    MouseDown(drop, bx, by);
    MouseUp(drop, bx, by);
    PumpPending();
    EXPECT_TRUE(script.Finished());
  }

  CWULDropDown* drop = nullptr;
  CWULDropDownItem* a = nullptr;
  CWULDropDownItem* b = nullptr;
  CWULDropDownItem* c = nullptr;
};

TEST_F(PopupList, OpensBelowTheTextAreaAndKeysChoose) {
  Show();
  drop->SetSelection(a);
  int rowHeight = drop->GetItemHeight();
  ListScript script(drop);
  script
      .Check([&](CWULPopupList* list) {
        EXPECT_TRUE(drop->IsOpen());
        RECT area;
        GetWindowRect(drop->GetHandle(), &area);
        EXPECT_EQ(list->GetX(), area.left + drop->textRect.left - 1);
        EXPECT_EQ(list->GetY(), area.top + drop->textRect.bottom);
        EXPECT_GE(list->GetWidth(), drop->textRect.right - drop->textRect.left + 2);
        EXPECT_EQ(list->GetHeight(), 3 * rowHeight + 2);
        // The current item is highlighted; the list looks like its drop-down.
        EXPECT_EQ(list->highlighted, a);
        EXPECT_EQ(list->GetColor().value, drop->GetColor().value);
        EXPECT_TRUE(IsWindowVisible(list->GetHandle()));
      })
      .Key(VK_DOWN)
      .Key(VK_RETURN);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), b);
  EXPECT_FALSE(drop->IsOpen());
  EXPECT_EQ(drop->GetPopupList(), nullptr);
  EXPECT_EQ(script.Opened(), 1);
}

TEST_F(PopupList, DownStopsOnTheLastItemAndEnterWithoutHighlightDoesNothing) {
  Show();
  drop->SetSelection(c);
  ListScript script(drop);
  script.Key(VK_DOWN)
      .Check([&](CWULPopupList* list) { EXPECT_EQ(list->highlighted, c); })
      .Key(VK_UP)
      .Key(VK_UP)
      .Key(VK_UP)
      .Check([&](CWULPopupList* list) {
        EXPECT_EQ(list->highlighted, a);
        // The outline is on no row: the pointer there highlights nothing.
        PostMessageA(list->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
      })
      .Check([&](CWULPopupList* list) { EXPECT_EQ(list->highlighted, nullptr); })
      .Key(VK_RETURN)
      .Check([&](CWULPopupList* list) { EXPECT_TRUE(list->IsRunning()); })
      .Key(VK_ESCAPE);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), c);
  EXPECT_FALSE(drop->IsOpen());
}

TEST_F(PopupList, AClickOnARowChoosesIt) {
  Show();
  ListScript script(drop);
  script.ClickRow(c);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), c);
}

TEST_F(PopupList, AClickOnAnotherWindowClosesWithoutChoiceAndReachesIt) {
  CWULDropDown* other;
  {
    ParentScope scope(host);
    other = new CWULDropDown();
    other->SetBounds(20, 120, 100, 20);
  }
  static int otherPresses;
  otherPresses = 0;
  other->leftDownHandler = [](CWULInteractor*, int, int, int) { otherPresses++; };
  Show();
  drop->SetSelection(a);
  ListScript script(drop);
  script.Check([&](CWULPopupList*) {
    PostMessageA(other->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(other->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  });
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), a);
  EXPECT_FALSE(drop->IsOpen());
  EXPECT_EQ(otherPresses, 1);
}

TEST_F(PopupList, ClickingTheButtonWhileOpenClosesAndDoesNotReopen) {
  Show();
  drop->SetSelection(a);
  const int bx = (drop->buttonRect.left + drop->buttonRect.right) / 2;
  const int by = (drop->buttonRect.top + drop->buttonRect.bottom) / 2;
  ListScript script(drop);
  script.Check([&](CWULPopupList*) {
    PostMessageA(drop->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bx, by));
    PostMessageA(drop->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(bx, by));
  });
  ClickButtonWith(script);
  PumpPending();
  EXPECT_EQ(script.Opened(), 1);
  EXPECT_FALSE(drop->IsOpen());
  EXPECT_EQ(drop->skipNextClick, 0);
  EXPECT_EQ(drop->GetSelection(), a);
}

TEST_F(PopupList, AltDownOpensTheList) {
  Show();
  ListScript script(drop);
  script.Key(VK_DOWN).Key(VK_RETURN);
  wulSendMessage(drop->GetHandle(), WM_SYSKEYDOWN, VK_DOWN, KeyParam(VK_DOWN, false) | (1 << 29));
  PumpPending();
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(script.Opened(), 1);
  // Nothing was selected: the first item was highlighted, Down moved to the second.
  EXPECT_EQ(drop->GetSelection(), b);
}

TEST_F(PopupList, OpensAboveNearTheBottomOfTheScreen) {
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  host->SetPosition(60, screenHeight - 80);
  drop->SetPosition(20, 50);
  Show();
  ListScript script(drop);
  script.Check([&](CWULPopupList* list) {
    RECT area;
    GetWindowRect(drop->GetHandle(), &area);
    EXPECT_EQ(list->GetY(), area.top + drop->textRect.top - list->GetHeight());
    EXPECT_LE(list->GetY() + list->GetHeight(), screenHeight);
  }).Key(VK_ESCAPE);
  ClickButtonWith(script);
}

TEST_F(PopupList, FollowsItemChangesWhileOpen) {
  Show();
  drop->SetSelection(b);
  const int rowHeight = drop->GetItemHeight();
  CWULDropDownItem* added = nullptr;
  ListScript script(drop);
  script
      .Check([&](CWULPopupList* list) {
        EXPECT_EQ(list->highlighted, b);
        added = new CWULDropDownItem(4, "a much longer item text than the others");
        const int before = list->GetWidth();
        drop->InsertItem(added);
        EXPECT_EQ(list->GetHeight(), 4 * rowHeight + 2);
        EXPECT_GT(list->GetWidth(), before);
        // The highlighted item leaves: nothing points at it any more.
        drop->DeleteItem(b);
        b = nullptr;
        EXPECT_EQ(list->highlighted, nullptr);
        EXPECT_EQ(list->GetHeight(), 3 * rowHeight + 2);
      })
      .Key(VK_DOWN)
      .Check([&](CWULPopupList* list) { EXPECT_EQ(list->highlighted, a); })
      .Key(VK_RETURN);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), a);
}

TEST_F(PopupList, WidthIsCappedByTheMaximumAndEmptyListsGetOneRow) {
  Show();
  drop->SetMaxPopupWidth(10);
  ListScript script(drop);
  script.Check([&](CWULPopupList* list) {
    // Never narrower than the text area.
    EXPECT_EQ(list->GetWidth(), drop->textRect.right - drop->textRect.left + 2);
  }).Key(VK_ESCAPE);
  ClickButtonWith(script);
  PumpPending();

  drop->Clear();
  ListScript empty(drop);
  empty.Check([&](CWULPopupList* list) {
    EXPECT_EQ(list->GetWidth(), drop->textRect.right - drop->textRect.left + 2);
    EXPECT_EQ(list->GetHeight(), drop->GetItemHeight() + 2);
    EXPECT_EQ(list->highlighted, nullptr);
  }).Key(VK_RETURN).Key(VK_ESCAPE);
  ClickButtonWith(empty);
  EXPECT_EQ(drop->GetSelection(), nullptr);
}

TEST_F(PopupList, AtMostTheVisibleItemsShowAndTheListScrolls) {
  EXPECT_EQ(drop->GetMaxVisibleItems(), -1);
  std::vector<CWULDropDownItem*> items = {a, b, c};
  for (int i = 4; i <= 15; i++)
    items.push_back(Add(i, "more"));
  drop->SetMaxVisibleItems(11);
  drop->SetSelection(a);
  const int rowHeight = drop->GetItemHeight();
  Show();
  ListScript script(drop);
  script.Check([&](CWULPopupList* list) {
    EXPECT_EQ(list->GetHeight(), 11 * rowHeight + 2);
    EXPECT_EQ(list->ItemAt(5, 1 + 10 * rowHeight), items[10]);
    EXPECT_EQ(list->ItemAt(5, 1 + 11 * rowHeight), nullptr);
  });
  // Down to the twelfth item scrolls it into the last row.
  for (int i = 0; i < 11; i++)
    script.Key(VK_DOWN);
  script.Check([&](CWULPopupList* list) {
    EXPECT_EQ(list->highlighted, items[11]);
    RECT row;
    list->GetRowRect(items[11], &row);
    EXPECT_EQ(row.bottom, list->GetHeight() - 1);
    EXPECT_EQ(list->ItemAt(5, 1), items[1]);
  });
  // The wheel over the list scrolls it back up; the highlight stays.
  script.Check([&](CWULPopupList* list) {
    wulSendMessage(list->GetHandle(), WUL_MSG_FORWARDED_WHEEL, MAKEWPARAM(0, 120), ScreenPoint(list, 5, 5));
    EXPECT_EQ(list->ItemAt(5, 1), items[0]);
  });
  script.Key(VK_RETURN);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), items[11]);
  PumpPending();

  // -1 shows every item.
  drop->SetMaxVisibleItems(-1);
  ListScript all(drop);
  all.Check([&](CWULPopupList* list) { EXPECT_EQ(list->GetHeight(), 15 * rowHeight + 2); }).Key(VK_ESCAPE);
  ClickButtonWith(all);
}

TEST_F(PopupList, ItemImagesWidenTheListAndAreDrawnInTheRow) {
  Show();
  CWULDropDownItem* wide = Add(4, "a rather long item text for the list");
  auto* image = new CWULImage(10, 6);
  image->Fill(CWULColor(255, 0, 0));
  image->AddRef();
  int plainWidth = 0;
  int imageWidth = 0;
  bool red = false;
  ListScript script(drop);
  script.Check([&](CWULPopupList* list) {
    plainWidth = list->GetWidth();
    // The item tells the open list, which lays itself out again.
    wide->SetImage(image);
    imageWidth = list->GetWidth();
    HDC dc = GetDC(list->GetHandle());
    list->PaintItem(dc, wide);
    ReleaseDC(list->GetHandle(), dc);
    const int left = drop->leftMargin;
    const int top = (drop->GetItemHeight() - 6) / 2;
    red = RGBAt(*list->itemBuffer, left, top) == 0xFF0000u && RGBAt(*list->itemBuffer, left + 9, top + 5) == 0xFF0000u;
  }).Key(VK_ESCAPE);
  ClickButtonWith(script);
  EXPECT_EQ(imageWidth, plainWidth + 10 + drop->GetImageSpacing());
  EXPECT_TRUE(red);
  image->Release();
}

TEST_F(PopupList, HighlightedRowIsPaintedInTheSelectionColours) {
  Show();
  drop->SetSelection(a);
  uint32_t hotPixel = 0;
  uint32_t plainPixel = 0;
  bool hotText = false;
  ListScript script(drop);
  script.Check([&](CWULPopupList* list) {
    HDC dc = GetDC(list->GetHandle());
    list->PaintItem(dc, b);
    const int w = list->itemBuffer->GetWidth();
    plainPixel = RGBAt(*list->itemBuffer, w - 1, 0);
    list->PaintItem(dc, a);
    hotPixel = RGBAt(*list->itemBuffer, w - 1, 0);
    for (int px = 0; px < w && !hotText; px++)
      for (int py = 0; py < list->itemBuffer->GetHeight() && !hotText; py++)
        hotText = RGBAt(*list->itemBuffer, px, py) == RGBOf(wulColors[19]);
    ReleaseDC(list->GetHandle(), dc);
  }).Key(VK_ESCAPE);
  ClickButtonWith(script);
  EXPECT_EQ(hotPixel, RGBOf(wulColors[18]));
  EXPECT_EQ(plainPixel, RGBOf(drop->GetColor()));
  EXPECT_TRUE(hotText);
}

TEST_F(PopupList, TheWheelDoesNothingWhileOpen) {
  Show();
  drop->wheelAcceptHandler = [](CWULInteractor*, int, int) { return true; };
  drop->SetSelection(b);
  ListScript script(drop);
  script.Check([&](CWULPopupList*) {
    wulSendMessage(drop->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), ScreenPoint(drop, 5, 5));
    EXPECT_EQ(drop->GetSelection(), b);
  }).Key(VK_ESCAPE);
  ClickButtonWith(script);
  EXPECT_EQ(drop->GetSelection(), b);
}

}  // namespace
