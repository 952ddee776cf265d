#pragma once
// Finds a visible top-level window of this process by its caption from a helper thread and
// runs an action on it once, so that tests can drive modal dialogs without hanging.
#include <windows.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

class DialogPoker {
public:
  DialogPoker(const char* caption, std::function<void(HWND)> action)
      : m_caption(caption), m_action(std::move(action)) {
    m_thread = std::thread([this] { Run(); });
  }
  ~DialogPoker() {
    m_stop = true;
    m_thread.join();
  }
  DialogPoker(const DialogPoker&) = delete;
  DialogPoker& operator=(const DialogPoker&) = delete;

  int Count() const { return m_count; }

  // The window with the focus in the dialog's thread.
  static HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
      return nullptr;
    return info.hwndFocus;
  }
  // Presses the focused control of the dialog with the space key.
  static void PressFocused(HWND window) {
    HWND focus = nullptr;
    for (int i = 0; i < 200 && !(focus = FocusOf(window)); ++i)
      Sleep(10);
    if (!focus)
      focus = window;
    PostMessageA(focus, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(focus, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  }

private:
  struct Search {
    const std::string* caption;
    HWND found;
  };
  static BOOL CALLBACK EnumTop(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd))
      return TRUE;
    wchar_t wide[256] = {};
    InternalGetWindowText(hwnd, wide, 256);
    char title[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, title, sizeof title, nullptr, nullptr);
    if (*search->caption == title) {
      search->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  void Run() {
    HWND last = nullptr;
    while (!m_stop) {
      Search search{&m_caption, nullptr};
      EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&search));
      if (search.found && search.found != last) {
        last = search.found;
        Sleep(200);  // let the dialog finish showing
        m_action(search.found);
        ++m_count;
      }
      Sleep(20);
    }
  }

  std::string m_caption;
  std::function<void(HWND)> m_action;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_count{0};
  std::thread m_thread;
};
