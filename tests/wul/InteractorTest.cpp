#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <string>
#include <vector>
#include "WindowTestKit.h"
#include "wul/WULError.h"
#include "wul/WULInteractor.h"

namespace {

// Records the hover events and the colour, font and geometry notices it gets.
class Watched : public CWULInteractor {
public:
  explicit Watched(DWORD kind = WS_POPUP) { style |= kind; }
  ~Watched() override {
    if (gone)
      *gone = true;
  }
  void MouseEnter(int, int) override { enters++; }
  void MouseHover(int, int) override { hovers++; }
  void MouseLeave() override { leaves++; }
  bool HitTest(int hx, int) override { return hx < hitLimit; }
  void OnColorChanged() override {
    colorChanges++;
    CWULInteractor::OnColorChanged();
  }
  void OnFontChanged() override {
    fontChanges++;
    CWULInteractor::OnFontChanged();
  }
  void OnSizeChanged() override { sizeChanges++; }
  LRESULT OnKeyDown(int key, LPARAM lParam) override {
    keys.push_back(key);
    return CWULInteractor::OnKeyDown(key, lParam);
  }
  LRESULT OnMouseWheel(float notches, int, int, int) override {
    wheelNotches = notches;
    return wheelAnswer;
  }

  int enters = 0, hovers = 0, leaves = 0;
  int hitLimit = 1 << 30;
  int colorChanges = 0, fontChanges = 0, sizeChanges = 0;
  std::vector<int> keys;
  float wheelNotches = 0.0f;
  LRESULT wheelAnswer = -1;
  bool* gone = nullptr;
};

// A child that reports to its parent like the framework's containers and controls do.
class Reporting : public Watched {
public:
  Reporting() : Watched(WS_CHILD) { listener = parent; }
};

class Interactor : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
  }
  void TearDown() override {
    wulPopAllDefaultParents();
    DropQueuedMessages();
  }
};

using InteractorGeometry = Interactor;
using InteractorMessages = Interactor;
using InteractorLifetime = Interactor;
using HoverTracking = Interactor;

int handlerCalls = 0;
void CountCall(CWULInteractor*) { handlerCalls++; }

// --- tree ---

TEST_F(Interactor, ChildrenKeepInsertionOrderAndMoveWithinTheirParent) {
  Watched root;
  CWULInteractor *a, *b, *c;
  {
    ParentScope scope(&root);
    a = new CWULInteractor;
    b = new CWULInteractor;
    c = new CWULInteractor;
  }
  auto order = [&root]() {
    std::string s;
    for (CWULInteractor* child = root.firstChild; child; child = child->nextSibling)
      s += child->GetText();
    return s;
  };
  a->text = "a";
  b->text = "b";
  c->text = "c";
  EXPECT_EQ(root.childCount, 3);
  EXPECT_EQ(order(), "abc");
  a->MoveToFront();
  c->MoveToBack();
  EXPECT_EQ(order(), "abc");
  c->MoveToFront();
  EXPECT_EQ(order(), "cab");
  c->MoveAfter(b);
  EXPECT_EQ(order(), "abc");
  a->MoveBefore(c);
  EXPECT_EQ(order(), "bac");
  a->MoveBefore(a);
  EXPECT_EQ(order(), "bac");
  EXPECT_EQ(root.firstChild->prevSibling, nullptr);
  EXPECT_EQ(root.lastChild->nextSibling, nullptr);
  EXPECT_EQ(root.lastChild, c);
  EXPECT_TRUE(root.IsAncestorOf(a));
  EXPECT_FALSE(a->IsAncestorOf(&root));
  EXPECT_FALSE(root.IsAncestorOf(&root));

  // A window never becomes a child of its own descendant.
  ParentScope scope(a);
  auto* grandchild = new CWULInteractor;
  root.SetParent(grandchild);
  EXPECT_EQ(root.parent, nullptr);
  grandchild->AddChild(&root);
  EXPECT_EQ(root.parent, nullptr);
  EXPECT_EQ(grandchild->parent, a);

  // Moving a child to another parent carries its running handlers' depth along.
  grandchild->BeginCallback();
  EXPECT_EQ(root.callbackDepth, 1);
  b->AddChild(grandchild);
  EXPECT_EQ(a->callbackDepth, 0);
  EXPECT_EQ(b->callbackDepth, 1);
  EXPECT_EQ(root.callbackDepth, 1);
  grandchild->EndCallback();
  EXPECT_EQ(root.callbackDepth, 0);
  EXPECT_EQ(a->childCount, 0);
  EXPECT_EQ(b->childCount, 1);
}

TEST_F(Interactor, ColourAndFontAreInheritedUntilSetOwnValues) {
  Watched parent;
  Watched* child;
  Watched* grandchild;
  {
    ParentScope scope(&parent);
    child = new Watched(WS_CHILD);
    ParentScope inner(child);
    grandchild = new Watched(WS_CHILD);
  }
  EXPECT_EQ(parent.GetColor().value, wulColors[0].value);
  EXPECT_EQ(&child->GetColor(), &parent.color);

  parent.color.SetRGB(10, 20, 30);
  EXPECT_FALSE(parent.GetParentColor());
  EXPECT_EQ(child->colorChanges, 1);
  EXPECT_EQ(grandchild->colorChanges, 1);
  EXPECT_EQ(grandchild->GetColor().value, parent.color.value);

  child->color.SetRGB(1, 2, 3);
  EXPECT_FALSE(child->GetParentColor());
  EXPECT_EQ(grandchild->GetColor().value, child->color.value);
  // A child with its own colour does not pass the parent's change on.
  parent.color.SetRGB(40, 50, 60);
  EXPECT_EQ(child->GetColor().value, child->color.value);
  EXPECT_EQ(child->colorChanges, 3);
  EXPECT_EQ(grandchild->colorChanges, 2);
  const int before = grandchild->colorChanges;
  child->SetParentColor(true);
  EXPECT_EQ(grandchild->GetColor().value, parent.color.value);
  EXPECT_EQ(grandchild->colorChanges, before);

  parent.font.SetHeight(-20);
  EXPECT_FALSE(parent.GetParentFont());
  EXPECT_EQ(child->fontChanges, 1);
  EXPECT_EQ(grandchild->fontChanges, 1);
  EXPECT_EQ(grandchild->GetFont().height, -20);
  grandchild->font.SetBold(true);
  parent.font.SetHeight(-30);
  EXPECT_EQ(grandchild->fontChanges, 2);
  EXPECT_EQ(grandchild->GetFont().height, -11);
  EXPECT_EQ(child->GetFont().height, -30);
}

// --- geometry ---

TEST_F(InteractorGeometry, SizeCheckWithoutWindowRunsOncePerChange) {
  Watched interactor;
  handlerCalls = 0;
  interactor.sizeChangedHandler = CountCall;
  interactor.movedHandler = CountCall;
  interactor.SetWidth(50);
  EXPECT_EQ(handlerCalls, 1);
  EXPECT_EQ(interactor.sizeChanges, 1);
  interactor.SetWidth(50);
  EXPECT_EQ(handlerCalls, 1);
  interactor.SetHeight(40);
  EXPECT_EQ(handlerCalls, 2);
  // Without a window a move only stores.
  interactor.SetX(7);
  interactor.SetY(8);
  EXPECT_EQ(interactor.GetX(), 7);
  EXPECT_EQ(interactor.GetY(), 8);
  EXPECT_EQ(handlerCalls, 2);
  interactor.SetRight(100);
  EXPECT_EQ(interactor.GetX(), 50);
  interactor.SetBottom(100);
  EXPECT_EQ(interactor.GetY(), 60);
  RECT r;
  interactor.GetRect(&r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right, 100);
  EXPECT_EQ(r.bottom, 100);
  interactor.SetRect(1, 2, 31, 22);
  EXPECT_EQ(interactor.GetWidth(), 30);
  EXPECT_EQ(interactor.GetHeight(), 20);
  interactor.SetSizePosition(11, 12, 13, 14);
  EXPECT_EQ(interactor.GetX(), 13);
  EXPECT_EQ(interactor.GetHeight(), 12);
}

TEST_F(InteractorGeometry, WindowGeometryFollowsTheSettersAndTheSystem) {
  auto* window = new Watched;
  window->SetBounds(20, 30, 120, 80);
  window->Incarnate(nullptr);
  HWND handle = window->GetHandle();
  RECT rect;
  GetWindowRect(handle, &rect);
  EXPECT_EQ(rect.left, 20);
  EXPECT_EQ(rect.top, 30);
  EXPECT_EQ(rect.right - rect.left, 120);
  EXPECT_EQ(rect.bottom - rect.top, 80);

  handlerCalls = 0;
  window->sizeChangedHandler = CountCall;
  window->SetSize(150, 90);
  GetWindowRect(handle, &rect);
  EXPECT_EQ(rect.right - rect.left, 150);
  EXPECT_EQ(handlerCalls, 1);

  window->movedHandler = CountCall;
  window->SetPosition(40, 50);
  GetWindowRect(handle, &rect);
  EXPECT_EQ(rect.left, 40);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(handlerCalls, 2);

  // Changes made by the system reach the object through its messages.
  SetWindowPos(handle, nullptr, 60, 70, 33, 44, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(window->GetX(), 60);
  EXPECT_EQ(window->GetY(), 70);
  EXPECT_EQ(window->GetWidth(), 33);
  EXPECT_EQ(window->GetHeight(), 44);
  EXPECT_EQ(handlerCalls, 4);
  EXPECT_EQ(window->GetScreenLeft(), 60);
  EXPECT_EQ(window->GetScreenBottom(), 114);
  delete window;
}

TEST_F(InteractorGeometry, ScreenPositionWithoutWindowAddsTheListenersFrame) {
  class Framed : public CWULFramedWindow {
  public:
    void ComputeInsets() override {
      leftInset = 3;
      topInset = 5;
    }
  };
  Framed frame;
  frame.SetBounds(100, 200, 50, 50);
  Reporting* child;
  {
    ParentScope scope(&frame);
    child = new Reporting;
  }
  child->SetPosition(7, 9);
  EXPECT_EQ(child->GetScreenLeft(), 110);
  EXPECT_EQ(child->GetScreenTop(), 214);
  Watched loose;
  loose.SetPosition(4, 6);
  EXPECT_EQ(loose.GetScreenLeft(), 4);
  EXPECT_EQ(loose.GetScreenTop(), 6);
}

// --- incarnation, visibility and flags ---

TEST_F(InteractorLifetime, IncarnationShowsVisibleAndKeepsDisabledState) {
  auto* shown = new Watched;
  shown->SetBounds(0, 0, 30, 30);
  shown->createdHandler = [](CWULInteractor* self) { static_cast<Watched*>(self)->hovers = 1000; };
  HWND handle = shown->Incarnate(nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle, shown->GetHandle());
  EXPECT_EQ(shown->hovers, 1000);
  EXPECT_TRUE(IsWindowVisible(shown->GetHandle()));
  EXPECT_TRUE(shown->IsVisible());
  EXPECT_EQ(shown->Incarnate(nullptr), handle);

  shown->Hide();
  EXPECT_FALSE(IsWindowVisible(shown->GetHandle()));
  EXPECT_FALSE(shown->IsVisible());
  shown->Show();
  EXPECT_TRUE(IsWindowVisible(shown->GetHandle()));

  // The system disabling the window reaches the flag.
  EnableWindow(shown->GetHandle(), FALSE);
  EXPECT_FALSE(shown->IsEnabled());
  shown->Enable();
  EXPECT_TRUE(IsWindowEnabled(shown->GetHandle()));

  auto* hidden = new Watched;
  hidden->Hide();
  hidden->Disable();
  hidden->Incarnate(nullptr);
  EXPECT_FALSE(IsWindowVisible(hidden->GetHandle()));
  EXPECT_FALSE(IsWindowEnabled(hidden->GetHandle()));
  EXPECT_FALSE(hidden->IsVisible());
  EXPECT_FALSE(hidden->IsEnabled());
  delete shown;
  delete hidden;
}

TEST_F(InteractorLifetime, WithoutParentTheHandleGivenIsTheParentWindow) {
  HWND host = CreateWindowExA(0, wulClassName, "host", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, wulInstance, nullptr);
  ASSERT_NE(host, nullptr);
  auto* child = new Watched(WS_CHILD);
  EXPECT_EQ(child->parent, nullptr);
  child->Incarnate(host);
  EXPECT_EQ(GetParent(child->GetHandle()), host);
  HWND handle = child->GetHandle();
  delete child;
  EXPECT_FALSE(IsWindow(handle));
  DestroyWindow(host);
}

TEST_F(InteractorLifetime, ReparentingMovesTheNativeChild) {
  auto* first = new HostWindow(0, 0, 60, 60);
  auto* second = new HostWindow(100, 0, 60, 60);
  Watched* child;
  {
    ParentScope scope(first);
    child = new Watched(WS_CHILD);
  }
  first->IncarnateTree(nullptr);
  second->Incarnate(nullptr);
  EXPECT_EQ(GetParent(child->GetHandle()), first->GetHandle());
  child->SetParent(second);
  EXPECT_EQ(child->parent, second);
  EXPECT_EQ(GetParent(child->GetHandle()), second->GetHandle());
  EXPECT_EQ(first->childCount, 0);
  // A popup is not moved into another window.
  auto* popup = new Watched;
  popup->Incarnate(nullptr);
  popup->SetParent(first);
  EXPECT_EQ(popup->parent, nullptr);
  delete popup;
  delete first;
  delete second;
}

TEST_F(InteractorLifetime, TreeIncarnationShowsAChildErrorAndGoesOn) {
  auto* root = new HostWindow(0, 0, 60, 60);
  Watched *broken, *fine;
  {
    ParentScope scope(root);
    broken = new Watched(WS_CHILD);
    fine = new Watched(WS_CHILD);
  }
  broken->createdHandler = [](CWULInteractor*) { wulThrowError(9, "Test::Created", "broken child"); };
  // The watcher reads the texts of visible windows, which this thread answers; a hidden
  // window keeps it from waiting on this thread while the watcher is being stopped.
  root->Hide();
  {
    BoxWatcherScope boxes;
    root->IncarnateTree(nullptr);
    ASSERT_TRUE(boxes.watcher.WaitFor(1));
    EXPECT_EQ(boxes.watcher.Texts()[0], "Location: Test::Created\nDescription: broken child");
  }
  EXPECT_NE(fine->GetHandle(), nullptr);
  EXPECT_EQ(GetParent(fine->GetHandle()), root->GetHandle());
  delete root;
}

TEST_F(InteractorLifetime, CloseInsideAHandlerWaitsUntilTheHandlerReturned) {
  bool gone = false;
  auto* root = new HostWindow(0, 0, 80, 80);
  Watched* child;
  {
    ParentScope scope(root);
    child = new Watched(WS_CHILD);
  }
  child->gone = &gone;
  root->IncarnateTree(nullptr);
  HWND rootWindow = root->GetHandle();
  static bool aliveInHandler;
  static int rootDepthInHandler;
  aliveInHandler = false;
  rootDepthInHandler = 0;
  child->leftDownHandler = [](CWULInteractor* self, int, int, int) {
    CWULInteractor* top = self->parent;
    top->Close();
    // Even the deferred close messages handled here must not destroy anything.
    PumpSome(20);
    aliveInHandler = IsWindow(top->GetHandle()) && IsWindow(self->GetHandle());
    rootDepthInHandler = top->callbackDepth;
  };
  SendMessageA(child->GetHandle(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(aliveInHandler);
  EXPECT_EQ(rootDepthInHandler, 1);
  EXPECT_FALSE(gone);
  EXPECT_TRUE(IsWindow(rootWindow));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(rootWindow); }));
  EXPECT_TRUE(gone);
}

TEST_F(InteractorLifetime, CloseWithoutWindowDeletesAtOnceAndHandlersBracketThrows) {
  bool gone = false;
  auto* loose = new Watched;
  loose->gone = &gone;
  loose->Close();
  EXPECT_TRUE(gone);

  auto* root = new HostWindow(0, 0, 50, 50);
  Watched* child;
  {
    ParentScope scope(root);
    child = new Watched(WS_CHILD);
  }
  root->IncarnateTree(nullptr);
  child->rightDownHandler = [](CWULInteractor*, int, int, int) { wulThrowError(4, "Test::Right", "thrown"); };
  try {
    wulSendMessage(child->GetHandle(), WM_RBUTTONDOWN, 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_STREQ(error.description, "thrown");
  }
  EXPECT_EQ(child->callbackDepth, 0);
  EXPECT_EQ(root->callbackDepth, 0);
  delete root;
}

TEST_F(InteractorLifetime, StrayDeferredCloseMessageChangesNothing) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  HWND handle = window->GetHandle();
  SendMessageA(handle, WM_USER, 0, 0);
  EXPECT_TRUE(IsWindow(handle));
  delete window;
}

TEST_F(InteractorLifetime, DestructionRunsTheHandlersOnceAndDeletesChildren) {
  static int deleted, destroyed;
  deleted = destroyed = 0;
  auto* root = new HostWindow(0, 0, 50, 50);
  bool childGone = false;
  Watched* child;
  {
    ParentScope scope(root);
    child = new Watched(WS_CHILD);
  }
  child->gone = &childGone;
  root->deletedHandler = [](CWULInteractor*) { deleted++; };
  root->destroyedHandler = [](CWULInteractor*) { destroyed++; };
  root->IncarnateTree(nullptr);
  HWND handle = root->GetHandle();
  HWND childHandle = child->GetHandle();
  // The system destroying the window deletes the objects.
  DestroyWindow(handle);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(deleted, 1);
  EXPECT_TRUE(childGone);
  EXPECT_FALSE(IsWindow(childHandle));

  deleted = destroyed = 0;
  root = new HostWindow(0, 0, 50, 50);
  root->deletedHandler = [](CWULInteractor*) { deleted++; };
  root->destroyedHandler = [](CWULInteractor*) { destroyed++; };
  root->Incarnate(nullptr);
  handle = root->GetHandle();
  delete root;
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(deleted, 1);
  EXPECT_FALSE(IsWindow(handle));
}

// --- messages ---

TEST_F(InteractorMessages, HookRunsFirstAndCanAnswer) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  window->messageHook = [](CWULInteractor* self, UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_APP)
      return false;
    *result = 40 + self->callbackDepth;
    return true;
  };
  EXPECT_EQ(SendMessageA(window->GetHandle(), WM_APP, 0, 0), 41);
  EXPECT_EQ(window->callbackDepth, 0);
  delete window;
}

TEST_F(InteractorMessages, KeysBubbleUpTheListenersUntilConsumed) {
  auto* top = new Watched;
  Reporting* middle;
  Reporting* inner;
  {
    ParentScope scope(top);
    middle = new Reporting;
    ParentScope deeper(middle);
    inner = new Reporting;
  }
  top->IncarnateTree(nullptr);
  HWND innerWindow = inner->GetHandle();

  // Nobody consumes 'A': every level sees it and the top answers -1.
  EXPECT_EQ(SendMessageA(innerWindow, WM_KEYDOWN, 'A', 0), -1);
  EXPECT_EQ(inner->keys, std::vector<int>{'A'});
  EXPECT_EQ(middle->keys, std::vector<int>{'A'});
  EXPECT_EQ(top->keys, std::vector<int>{'A'});

  // A handler that consumes stops it at once.
  middle->keyDownHandler = [](CWULInteractor*, int*, LPARAM) { return 1; };
  EXPECT_EQ(SendMessageA(innerWindow, WM_KEYDOWN, 'B', 0), 0);
  EXPECT_EQ(middle->keys.back(), 'B');
  EXPECT_EQ(top->keys.size(), 1u);

  // A handler that drops the key skips the own handling; the original key goes up.
  inner->keyDownHandler = [](CWULInteractor*, int* key, LPARAM) {
    *key = 0;
    return 0;
  };
  middle->keyDownHandler = nullptr;
  EXPECT_EQ(SendMessageA(innerWindow, WM_KEYDOWN, 'C', 0), -1);
  EXPECT_EQ(inner->keys.back(), 'B');
  EXPECT_EQ(middle->keys.back(), 'C');
  EXPECT_EQ(top->keys.back(), 'C');

  // A changed key reaches the own handler; the listener still gets the key as received.
  inner->keyDownHandler = [](CWULInteractor*, int* key, LPARAM) {
    *key = 'Z';
    return 0;
  };
  SendMessageA(innerWindow, WM_KEYDOWN, 'D', 0);
  EXPECT_EQ(inner->keys.back(), 'Z');
  EXPECT_EQ(middle->keys.back(), 'D');
  delete top;
}

TEST_F(InteractorMessages, CharacterHandlerSeesTheLowWord) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  static int seen;
  seen = 0;
  window->charHandler = [](CWULInteractor*, int* key, LPARAM) {
    seen = *key;
    *key = 0x10000;  // nothing in the low word: dropped
    return 0;
  };
  EXPECT_EQ(SendMessageA(window->GetHandle(), WM_CHAR, 'x', 0), -1);
  EXPECT_EQ(seen, 'x');
  delete window;
}

TEST_F(InteractorMessages, WheelGoesToTheListenerWhenNotAccepted) {
  auto* top = new HostWindow(200, 200, 100, 100);
  Reporting* inner;
  {
    ParentScope scope(top);
    inner = new Reporting;
  }
  inner->SetBounds(10, 10, 40, 40);
  top->IncarnateTree(nullptr);
  static float topNotches;
  topNotches = 0.0f;
  top->wheelHandler = [](CWULInteractor*, float* notches, int, int, int) {
    topNotches = *notches;
    return 1;
  };
  // The inner window has no focus, so it does not take the wheel.
  LPARAM at = ScreenPoint(inner, 5, 5);
  EXPECT_EQ(SendMessageA(inner->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 240), at), 0);
  EXPECT_FLOAT_EQ(topNotches, 2.0f);
  EXPECT_EQ(inner->wheelNotches, 0.0f);

  // With an acceptance handler it takes it, and its answer counts.
  inner->wheelAcceptHandler = [](CWULInteractor*, int wx, int wy) { return wx == 5 && wy == 5; };
  inner->wheelAnswer = 0;
  topNotches = 0.0f;
  EXPECT_EQ(SendMessageA(inner->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), at), 0);
  EXPECT_FLOAT_EQ(inner->wheelNotches, -1.0f);
  EXPECT_EQ(topNotches, 0.0f);

  // A wheel handler that changes the notches changes what the window sees.
  inner->wheelHandler = [](CWULInteractor*, float* notches, int, int, int) {
    *notches = 0.5f;
    return 0;
  };
  SendMessageA(inner->GetHandle(), WUL_MSG_FORWARDED_WHEEL, MAKEWPARAM(0, 120), at);
  EXPECT_FLOAT_EQ(inner->wheelNotches, 0.5f);
  delete top;
}

TEST_F(InteractorMessages, MouseHandlersGetSignedClientPoints) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  static int gotX, gotY, gotKeys;
  window->leftUpHandler = [](CWULInteractor*, int keys, int mx, int my) {
    gotKeys = keys;
    gotX = mx;
    gotY = my;
  };
  SendMessageA(window->GetHandle(), WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(-3, 7));
  EXPECT_EQ(gotX, -3);
  EXPECT_EQ(gotY, 7);
  EXPECT_EQ(gotKeys, MK_SHIFT);
  delete window;
}

TEST_F(InteractorMessages, SetCursorHandlerChoosesTheCursor) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  HCURSOR cross = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
  window->setCursorHandler = [](CWULInteractor*, HCURSOR* chosen, int hit, int, int) {
    if (hit != HTCLIENT)
      return 0;
    *chosen = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
    return 1;
  };
  EXPECT_EQ(SendMessageA(window->GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window->GetHandle()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(GetCursor(), cross);
  window->setCursorHandler = nullptr;
  HCURSOR hand = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
  window->SetCursor(hand);
  EXPECT_EQ(SendMessageA(window->GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window->GetHandle()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(GetCursor(), hand);
  delete window;
}

TEST_F(InteractorMessages, FocusMessagesKeepTheFlagAndCallTheHandlers) {
  auto* window = new Watched;
  window->Incarnate(nullptr);
  handlerCalls = 0;
  window->focusGainedHandler = CountCall;
  window->focusLostHandler = CountCall;
  SendMessageA(window->GetHandle(), WM_SETFOCUS, 0, 0);
  EXPECT_TRUE(window->HasFocus());
  SendMessageA(window->GetHandle(), WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(window->HasFocus());
  EXPECT_EQ(handlerCalls, 2);
  delete window;
}

TEST_F(InteractorMessages, TextReachesTheWindow) {
  auto* window = new Watched;
  window->SetText("before");
  window->Incarnate(nullptr);
  char buffer[32] = {};
  GetWindowTextA(window->GetHandle(), buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "before");
  window->SetText("after");
  GetWindowTextA(window->GetHandle(), buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "after");
  EXPECT_STREQ(window->GetText(), "after");
  window->SetText(nullptr);
  EXPECT_STREQ(window->GetText(), "");
  delete window;
}

// --- Tab order ---

class TabTree : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    root = new HostWindow(300, 300, 200, 200);
    ParentScope scope(root);
    a = Stop();
    b = Stop();
    group = new Reporting;
    group->SetTabGroup(true);
    {
      ParentScope inner(group);
      g1 = Stop();
      g2 = Stop();
    }
    box = new Reporting;  // a plain container, no tab stop
    {
      ParentScope inner(box);
      c = Stop();
    }
    root->IncarnateTree(nullptr);
  }
  void TearDown() override {
    delete root;
    wulPopAllDefaultParents();
  }
  Reporting* Stop() {
    auto* stop = new Reporting;
    stop->SetTabStop(true);
    return stop;
  }
  HostWindow* root = nullptr;
  Reporting *a, *b, *group, *g1, *g2, *box, *c;
};

TEST_F(TabTree, ForwardWalkSkipsGroupsAndWraps) {
  EXPECT_EQ(a->NextTabStop(), b);
  EXPECT_EQ(b->NextTabStop(), c);  // the group is not entered from outside
  EXPECT_EQ(c->NextTabStop(), a);  // past the top it starts again
  EXPECT_EQ(g1->NextTabStop(), g2);
  EXPECT_EQ(g2->NextTabStop(), g1);  // a group is a closed cycle
  EXPECT_EQ(group->NextTabStop(), g1);
  EXPECT_EQ(root->NextTabStop(), a);
}

TEST_F(TabTree, BackwardWalkMirrorsIt) {
  EXPECT_EQ(b->PrevTabStop(), a);
  EXPECT_EQ(a->PrevTabStop(), c);
  EXPECT_EQ(c->PrevTabStop(), b);
  EXPECT_EQ(g1->PrevTabStop(), g2);
  EXPECT_EQ(group->PrevTabStop(), g2);
}

TEST_F(TabTree, StopsThatCannotTakeTheFocusAreSkipped) {
  b->Disable();
  EXPECT_EQ(a->NextTabStop(), c);
  c->Hide();
  EXPECT_EQ(a->NextTabStop(), nullptr);
  // A focusable group is offered itself when the walk climbs to it.
  group->SetTabStop(true);
  EXPECT_EQ(g2->NextTabStop(), group);
  g1->SetTabStop(false);
  g2->SetTabStop(false);
  EXPECT_EQ(group->NextTabStop(), nullptr);
}

TEST_F(TabTree, TabKeyMovesTheFocus) {
  SetForegroundWindow(root->GetHandle());
  a->Focus(true);
  if (GetFocus() != a->GetHandle())
    GTEST_SKIP() << "no focus on this display";
  KeyStateScope keys;
  SendMessageA(a->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), b->GetHandle());
  EXPECT_TRUE(b->HasFocus());
  EXPECT_FALSE(a->HasFocus());
  keys.Press(VK_SHIFT);
  SendMessageA(b->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), a->GetHandle());
  // Ctrl+Tab is left to others.
  keys.Press(VK_CONTROL);
  EXPECT_EQ(SendMessageA(a->GetHandle(), WM_KEYDOWN, VK_TAB, 0), -1);
  EXPECT_EQ(GetFocus(), a->GetHandle());
  b->Focus(true);
  b->Focus(false);
  EXPECT_EQ(GetFocus(), nullptr);
}

// --- hover tracking ---

TEST_F(HoverTracking, EnterHoverAndLeaveFollowThePointer) {
  auto* window = new Watched;
  window->flagsB |= WUL_IF_HOVER_WANTED;
  window->SetBounds(400, 400, 80, 60);
  window->Incarnate(nullptr);
  SetWindowPos(window->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetCursorPos(440, 430);
  POINT at;
  GetCursorPos(&at);
  if (WindowFromPoint(at) != window->GetHandle()) {
    delete window;
    GTEST_SKIP() << "the pointer cannot be placed on the window here";
  }
  SendMessageA(window->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
  PumpPending();
  EXPECT_EQ(window->enters, 1);
  EXPECT_GE(window->hovers, 1);
  EXPECT_TRUE(window->flagsB & WUL_IF_POINTER_INSIDE);

  // The timer keeps hovering while the pointer rests inside.
  const int hovers = window->hovers;
  EXPECT_TRUE(PumpUntil([&] { return window->hovers >= hovers + 2; }));
  EXPECT_EQ(window->leaves, 0);

  // Out of the window: the next tick notices, once.
  SetCursorPos(900, 900);
  EXPECT_TRUE(PumpUntil([&] { return window->leaves > 0; }));
  EXPECT_FALSE(window->flagsB & WUL_IF_POINTER_INSIDE);
  PumpUntil([] { return false; }, 350);
  EXPECT_EQ(window->leaves, 1);
  EXPECT_EQ(window->enters, 1);
  delete window;
}

TEST_F(HoverTracking, HitTestDecidesInsideAndLeaveComesOnce) {
  auto* window = new Watched;
  window->flagsB |= WUL_IF_HOVER_WANTED;
  window->hitLimit = 20;
  window->SetBounds(500, 100, 80, 60);
  window->Incarnate(nullptr);
  HWND handle = window->GetHandle();
  // Outside the hit area nothing starts.
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(30, 5));
  EXPECT_EQ(window->enters, 0);
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
  EXPECT_EQ(window->enters, 1);
  EXPECT_EQ(window->hovers, 1);
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(11, 5));
  EXPECT_EQ(window->hovers, 2);
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(50, 5));
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(60, 5));
  EXPECT_EQ(window->leaves, 1);
  // Non-client moves come in screen coordinates.
  SendMessageA(handle, WM_NCMOUSEMOVE, HTBORDER, MAKELPARAM(505, 105));
  EXPECT_EQ(window->enters, 2);
  // Without tracking wanted, nothing is followed.
  window->flagsB &= ~WUL_IF_HOVER_WANTED;
  SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(70, 5));
  EXPECT_EQ(window->leaves, 1);
  delete window;
}

}  // namespace
