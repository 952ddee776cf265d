#pragma once
// Closes message boxes with a given caption from a helper thread and records their texts,
// so that tests can provoke real error boxes without hanging. It finds the system's boxes
// and the program's own (whose text label carries the system box's text id, 0xFFFF);
// the program's box answers a close with OK, or a typed mnemonic with that button.
#include <windows.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class BoxWatcher {
public:
  // answer: a button's mnemonic character typed into each box; 0 closes the box instead.
  // process: whose boxes (this one's unless given).
  explicit BoxWatcher(const char* caption, char answer = 0, DWORD process = GetCurrentProcessId())
      : m_caption(caption), m_answer(answer), m_process(process) {
    m_thread = std::thread([this] { Run(); });
  }
  ~BoxWatcher() {
    m_stop = true;
    m_thread.join();
  }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts.size();
  }
  // Waits until at least n boxes were seen or the timeout passes.
  bool WaitFor(size_t n, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
      if (Count() >= n)
        return true;
      Sleep(10);
    }
    return Count() >= n;
  }

private:
  struct Search {
    BoxWatcher* self;
    std::vector<HWND> found;
  };

  static BOOL CALLBACK EnumTop(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->self->m_process || !IsWindowVisible(hwnd))
      return TRUE;
    char title[256] = {};
    ReadText(hwnd, title, sizeof title);
    if (search->self->m_caption == title)
      search->found.push_back(hwnd);
    return TRUE;
  }

  // Reads a window's text without sending it a message: the window's thread may be the one
  // waiting for this watcher to stop.
  static void ReadText(HWND hwnd, char* buffer, int size) {
    wchar_t wide[2048] = {};
    InternalGetWindowText(hwnd, wide, 2048);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, nullptr, nullptr);
    buffer[size - 1] = 0;
  }

  static const int kTextId = 0xFFFF;

  // The text of the child with the text id, else of the first static child with a text.
  static BOOL CALLBACK EnumChild(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<std::pair<std::string, bool>*>(param);
    if (found->second)
      return TRUE;
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    const bool isText = GetDlgCtrlID(hwnd) == kTextId;
    if (isText || lstrcmpiA(cls, "Static") == 0) {
      char buffer[2048] = {};
      ReadText(hwnd, buffer, sizeof buffer);
      if (isText || (buffer[0] && found->first.empty()))
        found->first = buffer;
      found->second = isText;
    }
    return TRUE;
  }

  void Run() {
    std::vector<HWND> handled;
    while (!m_stop) {
      Search search{this, {}};
      EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&search));
      for (HWND box : search.found) {
        bool seen = false;
        for (HWND h : handled)
          seen = seen || h == box;
        if (seen && IsWindow(box)) {
          PostMessageA(box, WM_CLOSE, 0, 0);
          continue;
        }
        std::pair<std::string, bool> text;
        EnumChildWindows(box, EnumChild, reinterpret_cast<LPARAM>(&text));
        {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_texts.push_back(text.first);
        }
        handled.push_back(box);
        if (m_answer) {
          PostMessageA(box, WM_CHAR, static_cast<unsigned char>(m_answer), 0);
          continue;
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        PostMessageA(box, WM_CLOSE, 0, 0);
      }
      Sleep(10);
    }
  }

  std::string m_caption;
  char m_answer;
  DWORD m_process;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_texts;
  std::thread m_thread;
};
