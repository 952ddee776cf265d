#pragma once
// Puts posted messages into the gap between the start of a framework window's close and its
// own deferred close, as anything that posts keys or clicks can: when the thread's loop takes
// the deferred close of a top-level framework window for the first time, the test's messages
// take its place and it is queued again behind them. A child window that is already destroyed
// by then is a control freed while its window still gets messages: that is counted and the
// messages are left out, since the window's handlers would run on freed objects.
#include <windows.h>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>
#include "common/KeyMessages.h"
#include "wul/WULInteractor.h"

class CloseGapProbe {
public:
  // The messages to post in the gap, given the closing top-level window.
  typedef std::function<std::vector<MSG>(HWND window)> Messages;

  explicit CloseGapProbe(Messages messages) : m_messages(std::move(messages)) {
    Current() = this;
    m_hook = SetWindowsHookExA(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());
  }
  ~CloseGapProbe() {
    if (m_hook)
      UnhookWindowsHookEx(m_hook);
    Current() = nullptr;
  }
  CloseGapProbe(const CloseGapProbe&) = delete;
  CloseGapProbe& operator=(const CloseGapProbe&) = delete;

  bool Hooked() const { return m_hook != nullptr; }

  int filled = 0;      // gaps the messages were posted into
  int freedEarly = 0;  // windows that had lost a child window before their own deferred close

  static MSG Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m = {};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
  }
  static std::vector<MSG> Key(HWND window, int key) {
    return {Message(window, WM_KEYDOWN, static_cast<WPARAM>(key), KeyParam(key, false)),
            Message(window, WM_KEYUP, static_cast<WPARAM>(key), KeyParam(key, true))};
  }
  static std::vector<MSG> Click(HWND window) {
    return {Message(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4)),
            Message(window, WM_LBUTTONUP, 0, MAKELPARAM(4, 4))};
  }
  // A click on the child with the text, then a key to the window.
  static std::vector<MSG> ClickThenKey(HWND window, const char* child, int key) {
    std::vector<MSG> messages = Click(Child(window, child));
    for (const MSG& m : Key(window, key))
      messages.push_back(m);
    return messages;
  }
  // The child window of a window with the text, or null.
  static HWND Child(HWND window, const char* text) {
    std::pair<const char*, HWND> search(text, nullptr);
    EnumChildWindows(window, FindText, reinterpret_cast<LPARAM>(&search));
    return search.second;
  }

private:
  static CloseGapProbe*& Current() {
    static CloseGapProbe* probe = nullptr;
    return probe;
  }
  static bool IsFrameworkWindow(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return std::strncmp(name, "WUL:", 4) == 0;
  }
  static BOOL CALLBACK FindText(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<std::pair<const char*, HWND>*>(lParam);
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, search->first) != 0)
      return TRUE;
    search->second = window;
    return FALSE;
  }

  void Take(MSG* message) {
    HWND window = message->hwnd;
    if (message->message != WUL_MSG_DEFERRED_CLOSE || !window || !IsFrameworkWindow(window))
      return;
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
      m_closingChildren[GetAncestor(window, GA_ROOT)].insert(window);
      return;
    }
    if (!m_seen.insert(window).second)
      return;
    for (HWND child : m_closingChildren[window]) {
      if (!IsWindow(child)) {
        ++freedEarly;
        return;
      }
    }
    const std::vector<MSG> gap = m_messages(window);
    if (gap.empty())
      return;
    const MSG close = *message;
    *message = gap[0];
    for (size_t i = 1; i < gap.size(); ++i)
      PostMessageA(gap[i].hwnd, gap[i].message, gap[i].wParam, gap[i].lParam);
    PostMessageA(close.hwnd, close.message, close.wParam, close.lParam);
    ++filled;
  }

  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && Current())
      Current()->Take(reinterpret_cast<MSG*>(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  Messages m_messages;
  HHOOK m_hook = nullptr;
  std::set<HWND> m_seen;
  std::map<HWND, std::set<HWND>> m_closingChildren;
};
