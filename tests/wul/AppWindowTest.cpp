#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "FrameworkProbe.h"
#include "MenuDriver.h"
#include "WindowTestKit.h"
#include "common/CloseGap.h"
#include "wul/WULAppWindow.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"
#include "wul/WULOffscreen.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"

namespace {

std::vector<std::string> g_log;

int g_closeAnswer = 3;
int CloseAnswer(CWULAppWindow*) {
  g_log.push_back("close request");
  return g_closeAnswer;
}

// What a button of a modal dialog would do, from a timer inside the dialog's loop.
CWULAppWindow* g_dialog = nullptr;
bool g_otherDisabled = false;
HWND g_otherWindow = nullptr;
void CALLBACK EndDialogLater(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_dialog)
    return;
  g_otherDisabled = !IsWindowEnabled(g_otherWindow);
  CWULAppWindow* dialog = g_dialog;
  g_dialog = nullptr;
  dialog->EndModal(7);
}

void CALLBACK QuitLater(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(5); }

// Destroys the dialog's window outright, as its owner's teardown would.
void CALLBACK DestroyDialogLater(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_dialog)
    return;
  CWULAppWindow* dialog = g_dialog;
  g_dialog = nullptr;
  dialog->modalResult = 6;
  DestroyWindow(dialog->window);
}

// Enter accepts the dialog by reading its control, unless the control is gone.
int g_accepts = 0;
bool g_readFreedControl = false;
std::shared_ptr<ProbeLog> g_controlLog;
int AcceptOnEnter(CWULInteractor* self, int* key, LPARAM) {
  if (*key != VK_RETURN)
    return 0;
  if (g_controlLog->deleted) {
    g_readFreedControl = true;
  } else {
    g_accepts++;
    static_cast<CWULAppWindow*>(self)->EndModal(4);
  }
  return 1;
}

void ChosenInBar(CWULMenu*, CWULMenu*, CWULMenuItem* item) { g_log.push_back(std::string("chosen ") + item->GetText()); }

class AppWindow : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    DiscardQueuedMessages();
    keys.Set({});
    g_log.clear();
    g_closeAnswer = 3;
  }
  void TearDown() override {
    SettleWindows();
    DiscardQueuedMessages();
  }

  // A dialog-like window with an incarnated, hidden window.
  static CWULAppWindow* MakeWindow(int frame = WUL_FRAME_SIZING) {
    auto* app = new CWULAppWindow();
    app->SetFrameKind(frame);
    app->SetBounds(100, 80, 320, 240);
    app->Incarnate(nullptr);
    return app;
  }

  // Another shown window of the thread, which a modal loop disables.
  static ProbeInteractor* ShownWindow() {
    auto* other = new ProbeInteractor();
    other->Incarnate(nullptr);
    other->Show();
    return other;
  }

  // A menu bar "&File" (Open, Exit) and "&Edit" (Undo), plus "&Help" without a submenu.
  static CWULMenu* MakeBar() {
    auto* bar = new CWULMenu();
    bar->itemChosenCallback = ChosenInBar;
    const char* titles[] = {"&File", "&Edit"};
    const char* entries[][2] = {{"&Open", "E&xit"}, {"&Undo", nullptr}};
    for (int i = 0; i < 2; i++) {
      auto* title = new CWULMenuItem(titles[i]);
      auto* sub = new CWULMenu();
      for (const char* text : entries[i]) {
        if (text)
          sub->Append(new CWULMenuItem(text));
      }
      title->SetSubmenu(sub);
      bar->Append(title);
    }
    bar->Append(new CWULMenuItem("&Help"));
    return bar;
  }

  static CWULMenuItem* Item(CWULMenu* menu, int index) {
    CWULListNode* node = menu->items.first;
    for (int i = 0; node && i < index; i++)
      node = node->next;
    return static_cast<CWULMenuItem*>(node);
  }

  static void PostKey(CWULAppWindow* app, UINT message, int key, bool alt = false) {
    LPARAM lParam = 1 | (static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16);
    if (alt)
      lParam |= 1 << 29;
    if (message == WM_KEYUP || message == WM_SYSKEYUP)
      lParam |= static_cast<LPARAM>(3u << 30);
    PostMessageA(app->window, message, key, lParam);
  }

  static uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFFu; }

  KeyState keys;
};

// --- frame and layout ---

TEST_F(AppWindow, StartsHiddenWithACaption) {
  auto* app = new CWULAppWindow();
  EXPECT_FALSE(app->IsVisible());
  EXPECT_TRUE(app->style & WS_POPUP);
  EXPECT_TRUE(app->IsTabGroup());
  EXPECT_FALSE(app->GetParentColor());
  EXPECT_EQ(app->frameKind, WUL_FRAME_NONE);
  EXPECT_EQ(app->topInset, 21);
  EXPECT_EQ(app->leftInset, 0);
  EXPECT_EQ(app->GetCloseAction(), WUL_CLOSE_DESTROY);
  EXPECT_EQ(app->GetMaxClientWidth(), -1);
  delete app;
}

TEST_F(AppWindow, FrameKindsSetInsetsAndStyles) {
  auto* app = new CWULAppWindow();
  const int insets[] = {0, 1, 4, 6};
  for (int kind = WUL_FRAME_NONE; kind <= WUL_FRAME_SIZING; kind++) {
    app->SetFrameKind(kind);
    EXPECT_EQ(app->leftInset, insets[kind]);
    EXPECT_EQ(app->rightInset, insets[kind]);
    EXPECT_EQ(app->bottomInset, insets[kind]);
    EXPECT_EQ(app->topInset, insets[kind] + 21);
  }
  EXPECT_TRUE(app->style & WS_THICKFRAME);
  EXPECT_FALSE(app->style & WS_BORDER);
  app->SetFrameKind(WUL_FRAME_FIXED);
  EXPECT_TRUE(app->style & WS_BORDER);
  EXPECT_FALSE(app->style & WS_THICKFRAME);
  app->SetCaption(false);
  EXPECT_EQ(app->topInset, 4);
  delete app;
}

TEST_F(AppWindow, CaptionButtonsAreSquaresFromTheRight) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetSize(300, 200);
  app->SetSystemMenu(true);
  app->SetCloseBox(true);
  app->SetMaximizeBox(true);
  app->SetMinimizeBox(true);
  EXPECT_EQ(app->captionRect.left, 6);
  EXPECT_EQ(app->captionRect.top, 6);
  EXPECT_EQ(app->captionRect.right, 294);
  EXPECT_EQ(app->captionRect.bottom, 26);
  EXPECT_EQ(app->iconRect.right - app->iconRect.left, 20);
  EXPECT_EQ(app->closeRect.right, 292);
  EXPECT_EQ(app->closeRect.left, 276);
  EXPECT_EQ(app->closeRect.top, 8);
  EXPECT_EQ(app->closeRect.bottom, 24);
  EXPECT_EQ(app->maximizeRect.right, 275);
  EXPECT_EQ(app->minimizeRect.right, 258);
  // A missing box takes no room.
  app->SetMaximizeBox(false);
  EXPECT_EQ(app->minimizeRect.right, 275);
  delete app;
}

TEST_F(AppWindow, HitTestCodes) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetSize(300, 200);
  app->SetSystemMenu(true);
  app->SetCloseBox(true);
  app->SetMaximizeBox(true);
  app->SetMinimizeBox(true);
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  EXPECT_EQ(app->OnNcHitTest(-1, 5), HTNOWHERE);
  EXPECT_EQ(app->OnNcHitTest(300, 5), HTNOWHERE);
  EXPECT_EQ(app->OnNcHitTest(150, 150), HTCLIENT);
  EXPECT_EQ(app->OnNcHitTest(10, 10), HTSYSMENU);
  EXPECT_EQ(app->OnNcHitTest(100, 10), HTCAPTION);
  EXPECT_EQ(app->OnNcHitTest(280, 15), HTCLOSE);
  EXPECT_EQ(app->OnNcHitTest(265, 15), HTMAXBUTTON);
  EXPECT_EQ(app->OnNcHitTest(250, 15), HTMINBUTTON);
  EXPECT_EQ(app->OnNcHitTest(50, app->menuBarRect.top + 1), HTMENU);
  EXPECT_EQ(app->OnNcHitTest(0, 100), HTLEFT);
  EXPECT_EQ(app->OnNcHitTest(299, 100), HTRIGHT);
  EXPECT_EQ(app->OnNcHitTest(100, 0), HTTOP);
  EXPECT_EQ(app->OnNcHitTest(100, 199), HTBOTTOM);
  EXPECT_EQ(app->OnNcHitTest(0, 0), HTTOPLEFT);
  EXPECT_EQ(app->OnNcHitTest(11, 2), HTTOPLEFT);
  EXPECT_EQ(app->OnNcHitTest(12, 2), HTTOP);
  EXPECT_EQ(app->OnNcHitTest(298, 190), HTBOTTOMRIGHT);
  EXPECT_EQ(app->OnNcHitTest(2, 195), HTBOTTOMLEFT);
  EXPECT_EQ(app->OnNcHitTest(297, 2), HTTOPRIGHT);
  app->SetFrameKind(WUL_FRAME_FIXED);
  EXPECT_EQ(app->OnNcHitTest(1, 100), HTBORDER);
  delete app;
}

TEST_F(AppWindow, MenuBarLaysItemsOutBelowTheCaption) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_FIXED);
  app->SetSize(400, 300);
  const int plainTop = app->topInset;
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenuItem* file = Item(bar, 0);
  CWULMenuItem* edit = Item(bar, 1);
  EXPECT_EQ(bar->listener, app);
  EXPECT_EQ(app->menuBarRect.left, 5);
  EXPECT_EQ(app->menuBarRect.top, plainTop + 1);
  EXPECT_EQ(file->x, 5);
  EXPECT_EQ(edit->x, file->x + file->width);
  EXPECT_EQ(file->y, edit->y);
  EXPECT_EQ(file->height, edit->height);
  EXPECT_GT(file->height, 0);
  EXPECT_EQ(app->topInset, app->menuBarRect.bottom + 1);
  EXPECT_EQ(app->menuItemsEnd, Item(bar, 2)->x + Item(bar, 2)->width);
  // A hidden item takes no room.
  edit->SetVisible(false);
  EXPECT_EQ(Item(bar, 2)->x, file->x + file->width);
  app->SetMenu(nullptr);
  EXPECT_EQ(bar->listener, nullptr);
  EXPECT_EQ(app->topInset, plainTop);
  delete bar;
  delete app;
}

TEST_F(AppWindow, MenuOfAnotherWindowIsRefused) {
  auto* first = new CWULAppWindow();
  auto* second = new CWULAppWindow();
  CWULMenu* bar = MakeBar();
  first->SetMenu(bar);
  try {
    second->SetMenu(bar);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 1);
    EXPECT_STREQ(error.location, "CWULAppWindow::SetMenu");
    EXPECT_STREQ(error.description, "Cannot assign a menu already being used");
  }
  EXPECT_EQ(second->GetMenu(), nullptr);
  delete second;
  // The window deletes its menu.
  bool deleted = false;
  static bool* flag;
  flag = &deleted;
  bar->destroyCallback = [](CWULMenu*, CWULMenu*) { *flag = true; };
  delete first;
  EXPECT_TRUE(deleted);
}

TEST_F(AppWindow, SizeIsClampedToTheClientLimits) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_FIXED);
  app->SetMinClientWidth(100);
  app->SetMinClientHeight(50);
  app->SetMaxClientWidth(200);
  app->SetSize(10, 10);
  EXPECT_EQ(app->width, 108);
  EXPECT_EQ(app->height, 50 + app->topInset + 4);
  app->SetSize(1000, 1000);
  EXPECT_EQ(app->width, 208);
  EXPECT_EQ(app->height, 1000);
  EXPECT_EQ(app->ClampWidth(150), 150);
  MINMAXINFO info = {};
  app->OnGetMinMaxInfo(&info);
  EXPECT_EQ(info.ptMinTrackSize.x, 108);
  EXPECT_EQ(info.ptMaxTrackSize.x, 208);
  EXPECT_EQ(info.ptMinTrackSize.y, 50 + app->topInset + 4);
  EXPECT_EQ(info.ptMaxTrackSize.y, info.ptMaxSize.y);
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(info.ptMaxPosition.x, work.left - 4);
  EXPECT_EQ(info.ptMaxSize.x, work.right - work.left + 8);
  delete app;
}

TEST_F(AppWindow, CaptionSetsAMinimumTrackingWidth) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  MINMAXINFO info = {};
  app->OnGetMinMaxInfo(&info);
  EXPECT_EQ(info.ptMinTrackSize.x, 100 + 12);
  delete app;
}

TEST_F(AppWindow, CenteringStaysInsideTheWorkArea) {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  auto* app = new CWULAppWindow();
  app->SetSize(200, 100);
  RECT target = {300, 300, 500, 400};
  app->CenterOnRect(&target);
  EXPECT_EQ(app->x, 300);
  EXPECT_EQ(app->y, 300);
  RECT corner = {work.right - 10, work.bottom - 10, work.right, work.bottom};
  app->CenterOnRect(&corner);
  EXPECT_EQ(app->x, work.right - 200);
  EXPECT_EQ(app->y, work.bottom - 100);
  app->CenterOnRect(nullptr);
  EXPECT_EQ(app->x, (work.left + work.right - 200) / 2);
  delete app;
}

// --- states ---

TEST_F(AppWindow, MaximisingWithoutAWindowKeepsTheNormalGeometry) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetBounds(50, 60, 300, 200);
  app->Maximize();
  EXPECT_TRUE(app->IsMaximized());
  MINMAXINFO info = {};
  app->OnGetMinMaxInfo(&info);
  EXPECT_EQ(app->x, info.ptMaxPosition.x);
  EXPECT_EQ(app->width, info.ptMaxSize.x);
  // Geometry set while maximised is kept for the restore.
  app->SetPosition(70, 80);
  EXPECT_EQ(app->x, info.ptMaxPosition.x);
  app->Restore();
  EXPECT_FALSE(app->IsMaximized());
  EXPECT_EQ(app->x, 70);
  EXPECT_EQ(app->y, 80);
  EXPECT_EQ(app->width, 300);
  EXPECT_EQ(app->height, 200);
  delete app;
}

TEST_F(AppWindow, MinimisedBeforeShowingShowsMinimised) {
  CWULAppWindow* app = MakeWindow();
  app->SetMinimized(true);
  EXPECT_TRUE(app->IsMinimized());
  EXPECT_FALSE(IsIconic(app->window));
  app->Show();
  EXPECT_TRUE(IsIconic(app->window));
  EXPECT_TRUE(app->IsMinimized());
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(app->window, &placement);
  EXPECT_EQ(placement.rcNormalPosition.right - placement.rcNormalPosition.left, 320);
  app->Restore();
  EXPECT_FALSE(app->IsMinimized());
  EXPECT_FALSE(IsIconic(app->window));
  delete app;
}

TEST_F(AppWindow, SystemMenuFollowsTheBoxesAndStates) {
  auto* app = new CWULAppWindow();
  app->SetSystemMenu(true);
  CWULMenu* sys = app->GetSystemMenu();
  ASSERT_NE(sys, nullptr);
  const char* texts[] = {"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "", "&Close"};
  for (int i = 0; i < 7; i++)
    EXPECT_STREQ(Item(sys, i)->GetText(), texts[i]);
  EXPECT_EQ(Item(sys, 5)->type, WUL_MENU_SEPARATOR);
  CWULMenuItem* close = Item(sys, 6);
  EXPECT_TRUE(close->IsBold());
  EXPECT_EQ(close->image, wulCloseGlyph);
  EXPECT_EQ(close->hotImage, wulCloseGlyphHot);
  ASSERT_NE(close->shortcut, nullptr);
  EXPECT_EQ(close->shortcut->keyValue, VK_F4);
  EXPECT_EQ(close->shortcut->modifiers, WUL_MOD_ALT);
  EXPECT_EQ(close->shortcut->GetOwner(), nullptr);
  EXPECT_EQ(sys->color1.value, wulColors[11].value);
  // No boxes, no sizing frame.
  EXPECT_FALSE(Item(sys, 0)->visible);
  EXPECT_FALSE(Item(sys, 2)->visible);
  EXPECT_FALSE(Item(sys, 3)->visible);
  EXPECT_TRUE(Item(sys, 1)->enabled);
  app->SetMinimizeBox(true);
  app->SetMaximizeBox(true);
  app->SetFrameKind(WUL_FRAME_SIZING);
  EXPECT_TRUE(Item(sys, 0)->visible);
  EXPECT_FALSE(Item(sys, 0)->enabled);
  EXPECT_TRUE(Item(sys, 2)->visible);
  app->Maximize();
  EXPECT_TRUE(Item(sys, 0)->enabled);
  EXPECT_FALSE(Item(sys, 1)->enabled);
  EXPECT_FALSE(Item(sys, 2)->enabled);
  EXPECT_FALSE(Item(sys, 4)->enabled);
  EXPECT_TRUE(Item(sys, 3)->enabled);
  app->SetSystemMenu(false);
  EXPECT_EQ(app->GetSystemMenu(), nullptr);
  delete app;
}

TEST_F(AppWindow, SystemMenuCloseItemRequestsClose) {
  CWULAppWindow* app = MakeWindow();
  app->SetSystemMenu(true);
  app->SetCloseBox(true);
  app->closeRequestHandler = CloseAnswer;
  g_closeAnswer = 0;
  MenuScript script(app->GetSystemMenu());
  script.Char(app->GetSystemMenu(), 'c');
  app->PopupSystemMenuAtIcon(true);
  EXPECT_TRUE(script.Finished());
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0], "close request");
  EXPECT_FALSE(app->flagsC & WUL_IF_CLOSING);
  delete app;
}

// --- close requests and modality ---

TEST_F(AppWindow, CloseRequestAnswers) {
  CWULAppWindow* app = MakeWindow();
  app->closeRequestHandler = CloseAnswer;
  app->Show();
  g_closeAnswer = 2;
  app->RequestClose();
  EXPECT_FALSE(app->IsVisible());
  EXPECT_FALSE(app->flagsC & WUL_IF_CLOSING);
  g_closeAnswer = 0;
  app->RequestClose();
  EXPECT_FALSE(app->flagsC & WUL_IF_CLOSING);
  g_closeAnswer = 3;
  HWND handle = app->window;
  app->RequestClose();
  EXPECT_TRUE(app->flagsC & WUL_IF_CLOSING);
  EXPECT_EQ(g_log.size(), 3u);
  SettleWindows();
  EXPECT_FALSE(IsWindow(handle));
}

TEST_F(AppWindow, EndModalInAHandlerReturnsItsValue) {
  CWULAppWindow* app = MakeWindow();
  ProbeInteractor* other = ShownWindow();
  g_dialog = app;
  g_otherDisabled = false;
  g_otherWindow = other->window;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, EndDialogLater);
  HWND handle = app->window;
  EXPECT_EQ(app->ShowModal(1), 7);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_otherDisabled);
  EXPECT_TRUE(IsWindowEnabled(other->window));
  // The outer loop destroys the window afterwards.
  EXPECT_TRUE(IsWindow(handle));
  SettleWindows();
  EXPECT_FALSE(IsWindow(handle));
  delete other;
}

TEST_F(AppWindow, InputPostedWhileTheDialogClosesReachesNoHandlerAndNoFreedControl) {
  CWULAppWindow* app = MakeWindow();
  g_controlLog = std::make_shared<ProbeLog>();
  ProbeInteractor* control;
  {
    ParentScope scope(app);
    control = new ProbeInteractor(g_controlLog);
  }
  control->style = (control->style & ~WS_POPUP) | WS_CHILD;
  control->Incarnate(nullptr);
  g_accepts = 0;
  g_readFreedControl = false;
  app->keyDownHandler = AcceptOnEnter;
  HWND handle = app->window;
  // Enter accepts; another Enter comes after the close began, before the dialog's own end.
  CloseGapProbe gap([](HWND window) { return CloseGapProbe::Key(window, VK_RETURN); });
  ASSERT_TRUE(gap.Hooked());
  PostKey(app, WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(app->ShowModal(0), 4);
  EXPECT_EQ(gap.filled, 1);
  EXPECT_EQ(gap.freedEarly, 0);
  EXPECT_EQ(g_accepts, 1);
  EXPECT_FALSE(g_readFreedControl);
  // The control goes with its dialog, in the outer loop.
  EXPECT_FALSE(g_controlLog->deleted);
  SettleWindows();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_TRUE(g_controlLog->deleted);
}

TEST_F(AppWindow, QuitDuringShowModalReachesTheOuterLoop) {
  CWULAppWindow* app = MakeWindow();
  UINT_PTR timer = SetTimer(nullptr, 0, 20, QuitLater);
  EXPECT_EQ(app->ShowModal(3), 3);
  KillTimer(nullptr, timer);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 5u);
  delete app;
}

TEST_F(AppWindow, DialogDestroyedDuringShowModalEndsItsLoop) {
  CWULAppWindow* app = MakeWindow();
  ProbeInteractor* other = ShownWindow();
  g_dialog = app;
  UINT_PTR destroy = SetTimer(nullptr, 0, 20, DestroyDialogLater);
  // Only a loop that missed the destruction would wait for this.
  UINT_PTR quit = SetTimer(nullptr, 0, 3000, QuitLater);
  EXPECT_EQ(app->ShowModal(2), 6);
  KillTimer(nullptr, destroy);
  KillTimer(nullptr, quit);
  EXPECT_EQ(g_dialog, nullptr);
  EXPECT_TRUE(IsWindowEnabled(other->window));
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  delete other;
}

TEST_F(AppWindow, ShowModalWithoutAWindowReturnsAtOnce) {
  auto* app = new CWULAppWindow();
  EXPECT_EQ(app->ShowModal(9), 9);
  delete app;
}

TEST_F(AppWindow, QuitOnDestroyPostsQuit) {
  auto* app = new CWULAppWindow();
  app->SetQuitOnDestroy(true);
  delete app;
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
}

// --- caption buttons and caption mouse ---

TEST_F(AppWindow, CloseBoxActsOnlyWhenReleasedOverIt) {
  CWULAppWindow* app = MakeWindow();
  app->SetCloseBox(true);
  app->closeRequestHandler = CloseAnswer;
  g_closeAnswer = 0;
  const int cx = (app->closeRect.left + app->closeRect.right) / 2;
  const int cy = (app->closeRect.top + app->closeRect.bottom) / 2;
  const LPARAM screen = MAKELPARAM(app->x + cx, app->y + cy);
  SendMessageA(app->window, WM_NCLBUTTONDOWN, HTCLOSE, screen);
  EXPECT_EQ(app->mouseMode, WUL_MODE_BUTTON);
  EXPECT_TRUE(app->closePressed);
  EXPECT_EQ(GetCapture(), app->window);
  // Released elsewhere: nothing.
  SendMessageA(app->window, WM_LBUTTONUP, 0, MAKELPARAM(50 - app->leftInset, 100 - app->topInset));
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(app->mouseMode, WUL_MODE_NONE);
  EXPECT_NE(GetCapture(), app->window);
  SendMessageA(app->window, WM_NCLBUTTONDOWN, HTCLOSE, screen);
  SendMessageA(app->window, WM_LBUTTONUP, 0,
               MAKELPARAM(static_cast<WORD>(cx - app->leftInset), static_cast<WORD>(cy - app->topInset)));
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_FALSE(app->closePressed);
  delete app;
}

TEST_F(AppWindow, DoubleClicksOnCaptionAndIcon) {
  CWULAppWindow* app = MakeWindow();
  app->SetSystemMenu(true);
  app->SetMaximizeBox(true);
  app->closeRequestHandler = CloseAnswer;
  g_closeAnswer = 0;
  SendMessageA(app->window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(app->x + 100, app->y + 10));
  EXPECT_TRUE(app->IsMaximized());
  SendMessageA(app->window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(app->x + 100, app->y + 10));
  EXPECT_FALSE(app->IsMaximized());
  SendMessageA(app->window, WM_NCLBUTTONDBLCLK, HTSYSMENU, MAKELPARAM(app->x + 10, app->y + 10));
  EXPECT_EQ(g_log.size(), 1u);
  delete app;
}

TEST_F(AppWindow, AltF4RequestsClose) {
  CWULAppWindow* app = MakeWindow();
  app->closeRequestHandler = CloseAnswer;
  g_closeAnswer = 0;
  PostKey(app, WM_SYSKEYDOWN, VK_F4, true);
  wulPumpMessages();
  EXPECT_EQ(g_log.size(), 1u);
  delete app;
}

// --- menu bar loop ---

TEST_F(AppWindow, AltAloneOpensTheMenuLoopAndKeysChoose) {
  CWULAppWindow* app = MakeWindow();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenu* fileMenu = Item(bar, 0)->submenu;
  bool firstWasHot = false;
  MenuScript script(fileMenu);
  script.onStuck = [app] { app->ExitMenuLoop(); };
  script.Then([&] { return app->InMenuLoop(); })
      .Then([&] {
        firstWasHot = bar->highlighted == Item(bar, 0);
        PostKey(app, WM_KEYDOWN, VK_DOWN);
        return true;
      })
      .Then([&] { return MenuScript::ShellOf(fileMenu) != nullptr; })
      .Key(fileMenu, VK_DOWN)
      .Key(fileMenu, VK_RETURN);
  PostKey(app, WM_SYSKEYDOWN, VK_MENU, true);
  PostKey(app, WM_SYSKEYUP, VK_MENU);
  wulPumpMessages();
  EXPECT_TRUE(script.Finished());
  EXPECT_TRUE(firstWasHot);
  EXPECT_FALSE(app->InMenuLoop());
  EXPECT_EQ(bar->highlighted, nullptr);
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0], "chosen E&xit");
  delete app;
}

TEST_F(AppWindow, AltWithAClickBeforeReleaseOpensNothing) {
  CWULAppWindow* app = MakeWindow();
  app->SetMenu(MakeBar());
  PostKey(app, WM_SYSKEYDOWN, VK_MENU, true);
  wulPumpMessages();
  EXPECT_EQ(app->mouseMode, WUL_MODE_ALT);
  SendMessageA(app->window, WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(5, 5));
  EXPECT_EQ(app->mouseMode, WUL_MODE_NONE);
  bool entered = false;
  MenuScript script(nullptr);
  script.onStuck = [app] { app->ExitMenuLoop(); };
  script.Then([&] {
    entered = entered || app->InMenuLoop();
    if (app->InMenuLoop())
      app->ExitMenuLoop();
    return false;
  });
  PostKey(app, WM_SYSKEYUP, VK_MENU);
  wulPumpMessages();
  EXPECT_FALSE(entered);
  EXPECT_FALSE(app->InMenuLoop());
  delete app;
}

TEST_F(AppWindow, MnemonicOpensItsMenuAndEscapeLeaves) {
  CWULAppWindow* app = MakeWindow();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenu* editMenu = Item(bar, 1)->submenu;
  bool editWasHot = false;
  MenuScript script(editMenu);
  script.onStuck = [app] { app->ExitMenuLoop(); };
  script.Then([&] { return MenuScript::ShellOf(editMenu) != nullptr; })
      .Then([&] {
        editWasHot = bar->highlighted == Item(bar, 1);
        // Opened by keyboard: its first item is highlighted.
        EXPECT_EQ(editMenu->highlighted, editMenu->GetFirstItem());
        return true;
      })
      .Key(editMenu, VK_ESCAPE)
      .Then([&] { return editMenu->listener == nullptr; })
      .Then([&] {
        // Still in the bar's loop: Escape once more leaves it.
        EXPECT_TRUE(app->InMenuLoop());
        PostKey(app, WM_KEYDOWN, VK_ESCAPE);
        return true;
      });
  PostMessageA(app->window, WM_SYSCHAR, 'e', 1 | (1 << 29));
  wulPumpMessages();
  EXPECT_TRUE(script.Finished());
  EXPECT_TRUE(editWasHot);
  EXPECT_FALSE(app->InMenuLoop());
  EXPECT_TRUE(g_log.empty());
  delete app;
}

TEST_F(AppWindow, RightInASubmenuMovesToTheNextMenu) {
  CWULAppWindow* app = MakeWindow();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenu* fileMenu = Item(bar, 0)->submenu;
  CWULMenu* editMenu = Item(bar, 1)->submenu;
  MenuScript script(fileMenu);
  script.onStuck = [app] { app->ExitMenuLoop(); };
  script.Then([&] { return MenuScript::ShellOf(fileMenu) != nullptr; })
      .Key(fileMenu, VK_RIGHT)
      .Then([&] { return MenuScript::ShellOf(editMenu) != nullptr; })
      .Key(editMenu, VK_RETURN);
  PostMessageA(app->window, WM_SYSCHAR, 'f', 1 | (1 << 29));
  wulPumpMessages();
  EXPECT_TRUE(script.Finished());
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0], "chosen &Undo");
  EXPECT_FALSE(app->InMenuLoop());
  delete app;
}

TEST_F(AppWindow, ClickOnAMenuTitleDropsItsMenuBelowTheTitle) {
  CWULAppWindow* app = MakeWindow();
  app->Show();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenuItem* edit = Item(bar, 1);
  CWULMenu* editMenu = edit->submenu;
  CWULPopupMenuShell* shell = nullptr;
  MenuScript script(editMenu);
  script.onStuck = [app] { app->ExitMenuLoop(); };
  script.Then([&] {
          shell = MenuScript::ShellOf(editMenu);
          return shell != nullptr;
        })
      .Then([&] {
        EXPECT_EQ(shell->x, app->x + edit->x);
        EXPECT_EQ(shell->y, app->y + edit->y + edit->height);
        EXPECT_EQ(editMenu->highlighted, nullptr);
        return true;
      })
      .Key(editMenu, VK_ESCAPE)
      .Then([&] {
        if (editMenu->listener)
          return false;
        PostKey(app, WM_KEYDOWN, VK_ESCAPE);
        return true;
      });
  const int mx = app->x + edit->x + 3;
  const int my = app->y + edit->y + 3;
  PostMessageA(app->window, WM_NCLBUTTONDOWN, HTMENU, MAKELPARAM(mx, my));
  wulPumpMessages();
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(app->InMenuLoop());
  delete app;
}

TEST_F(AppWindow, TitleWithoutSubmenuIsInvokedByItsMnemonic) {
  CWULAppWindow* app = MakeWindow();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  PostMessageA(app->window, WM_SYSCHAR, 'h', 1 | (1 << 29));
  wulPumpMessages();
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0], "chosen &Help");
  EXPECT_FALSE(app->InMenuLoop());
  delete app;
}

TEST_F(AppWindow, DisabledTitleHandsItsMnemonicToTheNextTitle) {
  CWULAppWindow* app = MakeWindow();
  CWULMenu* bar = MakeBar();
  bar->Append(new CWULMenuItem("&Find"));
  app->SetMenu(bar);
  Item(bar, 0)->SetEnabled(false);
  PostMessageA(app->window, WM_SYSCHAR, 'f', 1 | (1 << 29));
  wulPumpMessages();
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0], "chosen &Find");
  EXPECT_FALSE(app->InMenuLoop());
  delete app;
}

TEST_F(AppWindow, DestroyedMenuLeavesTheBar) {
  auto* app = new CWULAppWindow();
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  const int withBar = app->topInset;
  delete bar;
  EXPECT_EQ(app->GetMenu(), nullptr);
  EXPECT_LT(app->topInset, withBar);
  delete app;
}

// --- wheel ---

TEST_F(AppWindow, WheelDeclinedUnderThePointerIsNotForwardedAgain) {
  auto* app = new CWULAppWindow();
  app->SetBounds(100, 80, 320, 240);
  wulPushDefaultParent(app);
  auto* label = new CWULLabel();
  wulPopDefaultParent();
  label->SetBounds(10, 10, 80, 16);
  app->IncarnateTree(nullptr);
  app->Show();
  static int asked;
  asked = 0;
  // A label takes no wheel and passes it up to the window; the window takes it as it would
  // with the focus.
  label->wheelAcceptHandler = [](CWULInteractor*, int, int) {
    ++asked;
    return false;
  };
  app->wheelAcceptHandler = [](CWULInteractor*, int, int) { return true; };
  // The capture aims the forwarded wheel at the label wherever the pointer is.
  SetCapture(label->window);
  ASSERT_EQ(GetCapture(), label->window);
  LRESULT answer = wulSendMessage(app->window, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), ScreenPoint(label, 2, 2));
  ReleaseCapture();
  EXPECT_EQ(asked, 1);
  EXPECT_NE(answer, 0);
  delete app;
}

// --- painting ---

TEST_F(AppWindow, CaptionColoursFollowTheActivation) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetSize(300, 200);
  app->SetCloseBox(true);
  app->PaintCaption(nullptr);
  CWULImage* image = app->captionBuffer->GetImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 288);
  EXPECT_EQ(image->height, 20);
  EXPECT_EQ(Rgb(image->GetPixel(150, 10)), 0x707070u);
  const int bx = app->closeRect.left - app->captionRect.left;
  const int by = app->closeRect.top - app->captionRect.top;
  EXPECT_EQ(Rgb(image->GetPixel(bx + 2, by + 2)), 0xC0C0C0u);
  // The cross of the close box in the glyph colour.
  EXPECT_EQ(Rgb(image->GetPixel(bx + 5, by + 5)), 0x000000u);
  app->OnNcActivate(true);
  EXPECT_TRUE(app->IsActive());
  image = app->captionBuffer->GetImage();
  EXPECT_EQ(Rgb(image->GetPixel(150, 10)), 0x505050u);
  // A pressed button is darker.
  app->closePressed = 1;
  app->PaintCaption(nullptr);
  EXPECT_EQ(Rgb(image->GetPixel(bx + 2, by + 2)), 0x909090u);
  delete app;
}

TEST_F(AppWindow, FrameIsOutlinedAndFilled) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetSize(120, 100);
  CWULOffscreenBuffer buffer;
  buffer.SetSize(120, 100);
  CWULImage* image = buffer.GetImage();
  image->Fill(CWULColor(1, 2, 3));
  app->PaintFrame(buffer.GetDC());
  GdiFlush();
  EXPECT_EQ(Rgb(image->GetPixel(0, 0)), 0x404040u);
  EXPECT_EQ(Rgb(image->GetPixel(119, 99)), 0x404040u);
  EXPECT_EQ(Rgb(image->GetPixel(3, 50)), 0x707070u);
  // The client area is left alone.
  EXPECT_EQ(Rgb(image->GetPixel(60, 60)), 0x010203u);
  delete app;
}

TEST_F(AppWindow, MenuBarColoursAndHotItem) {
  auto* app = new CWULAppWindow();
  app->SetFrameKind(WUL_FRAME_FIXED);
  app->SetSize(400, 300);
  CWULMenu* bar = MakeBar();
  app->SetMenu(bar);
  CWULMenuItem* edit = Item(bar, 1);
  app->PaintMenuBar(nullptr);
  CWULImage* image = app->menuBarBuffer->GetImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, app->menuBarRect.right - app->menuBarRect.left);
  EXPECT_EQ(Rgb(image->GetPixel(image->width - 2, 1)), 0xC0C0C0u);
  EXPECT_EQ(Rgb(image->GetPixel(edit->x - app->menuBarRect.left + 1, 0)), 0xC0C0C0u);
  app->SetHotItem(edit);
  EXPECT_EQ(Rgb(image->GetPixel(edit->x - app->menuBarRect.left + 1, 0)), 0x505070u);
  EXPECT_EQ(Rgb(image->GetPixel(edit->x - app->menuBarRect.left - 1, 0)), 0xC0C0C0u);
  delete app;
}

}  // namespace
