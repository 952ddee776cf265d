#pragma once
// Helpers for tests that run real framework windows: an interactor that records its
// messages and lets a test answer them, and a keyboard state that is put back afterwards.
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

  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    log->messages.push_back(message);
    log->wParams.push_back(wParam);
    if (handler && handler(message, wParam, lParam, result))
      return true;
    return CWULInteractor::Dispatch(message, wParam, lParam, result);
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
