#pragma once
// Helpers for tests that run real framework windows: an interactor that records the
// messages its window procedure receives and lets a test answer them, and a keyboard
// state that is put back afterwards.
#include <windows.h>
#include <functional>
#include <memory>
#include <vector>
#include "wul/WULInteractor.h"

// Outlives the probe, which its window's destruction deletes.
struct ProbeLog {
  std::vector<UINT> messages;
  std::vector<WPARAM> wParams;
  bool deleted = false;

  int Count(UINT message) const {
    int n = 0;
    for (UINT m : messages)
      n += m == message;
    return n;
  }
};

class ProbeInteractor : public CWULInteractor {
public:
  typedef std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> Handler;

  explicit ProbeInteractor(std::shared_ptr<ProbeLog> log = std::make_shared<ProbeLog>()) : log(log) {
    flagsA &= ~WUL_IF_VISIBLE;
    style |= WS_POPUP;
  }
  ~ProbeInteractor() override { log->deleted = true; }

  // The shared window procedure calls this for every message of the window; what the
  // handler leaves is passed to the interactor's own handling.
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    log->messages.push_back(message);
    log->wParams.push_back(wParam);
    LRESULT result = 0;
    if (handler && handler(message, wParam, lParam, &result))
      return result;
    return CWULInteractor::WindowProc(message, wParam, lParam);
  }

  std::shared_ptr<ProbeLog> log;
  Handler handler;
};

// Sets the thread's key state of some keys and restores the whole state when done.
class KeyState {
public:
  KeyState() { GetKeyboardState(m_saved); }
  ~KeyState() { SetKeyboardState(m_saved); }
  KeyState(const KeyState&) = delete;
  KeyState& operator=(const KeyState&) = delete;

  void Set(std::initializer_list<int> down) {
    BYTE state[256] = {};
    for (int key : down)
      state[key] = 0x80;
    SetKeyboardState(state);
  }

private:
  BYTE m_saved[256];
};

// Takes every queued message without dispatching it.
inline void DiscardQueuedMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}
