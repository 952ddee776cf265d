#pragma once
// Drives the modal loops of popup menus from a thread timer: the loop blocks the test,
// and the timer's steps run inside it, one step per tick until each reports done.
#include <windows.h>
#include <functional>
#include <vector>
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"
#include "wul/WULSystem.h"

class MenuScript {
public:
  typedef std::function<bool()> Step;  // true when done; false to be asked again

  // top is the menu whose shell is ended when the script takes too long.
  explicit MenuScript(CWULMenu* top) : m_top(top) {
    s_current = this;
    m_timer = SetTimer(nullptr, 0, 15, Tick);
  }
  ~MenuScript() {
    KillTimer(nullptr, m_timer);
    s_current = nullptr;
  }
  MenuScript(const MenuScript&) = delete;
  MenuScript& operator=(const MenuScript&) = delete;

  MenuScript& Then(Step step) {
    m_steps.push_back(step);
    return *this;
  }
  // Posts a message to the shell that shows the menu once it runs.
  MenuScript& Post(CWULMenu* menu, UINT message, WPARAM wParam, LPARAM lParam) {
    return Then([=] {
      CWULPopupMenuShell* shell = ShellOf(menu);
      if (!shell || !shell->IsRunning() || !shell->window)
        return false;
      PostMessageA(shell->window, message, wParam, lParam);
      return true;
    });
  }
  MenuScript& Key(CWULMenu* menu, int key) { return Post(menu, WM_KEYDOWN, key, 1); }
  MenuScript& Char(CWULMenu* menu, int ch) { return Post(menu, WM_CHAR, ch, 1); }
  // A press and release on the item, in the shell's window coordinates.
  MenuScript& Click(CWULMenu* menu, CWULMenuItem* item) {
    return Then([=] {
      CWULPopupMenuShell* shell = ShellOf(menu);
      if (!shell || !shell->IsRunning() || !shell->window)
        return false;
      LPARAM at = MAKELPARAM(item->x + item->width / 2, item->y + item->height / 2);
      PostMessageA(shell->window, WM_MOUSEMOVE, 0, at);
      PostMessageA(shell->window, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageA(shell->window, WM_LBUTTONUP, 0, at);
      return true;
    });
  }
  bool Finished() const { return m_next >= m_steps.size(); }

  // Run instead of ending the top menu's shell when the script takes too long.
  std::function<void()> onStuck;

  static CWULPopupMenuShell* ShellOf(CWULMenu* menu) {
    if (!menu || !menu->listener || menu->listener->classCode != WUL_CLASS_INTERACTOR)
      return nullptr;
    return dynamic_cast<CWULPopupMenuShell*>(menu->listener);
  }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    MenuScript* self = s_current;
    if (!self)
      return;
    if (++self->m_ticks > 600) {
      // A stuck script ends the menu instead of hanging the tests.
      if (self->onStuck)
        self->onStuck();
      else if (CWULPopupMenuShell* shell = ShellOf(self->m_top))
        shell->EndLoop();
      return;
    }
    if (self->m_next < self->m_steps.size() && self->m_steps[self->m_next]())
      self->m_next++;
  }

  static inline MenuScript* s_current = nullptr;
  CWULMenu* m_top;
  std::vector<Step> m_steps;
  size_t m_next = 0;
  int m_ticks = 0;
  UINT_PTR m_timer = 0;
};

// Dispatches what is queued, so that closed shells are destroyed.
inline void SettleWindows() {
  MSG message;
  for (int round = 0; round < 50 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); round++) {
    if (message.message == WM_QUIT)
      break;
    try {
      wulDispatchMessage(&message);
    } catch (...) {
    }
  }
}
