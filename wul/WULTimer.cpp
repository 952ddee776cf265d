#include "wul/WULTimer.h"
#include "wul/WULError.h"
#include "wul/WULSystem.h"

WULTimerRegistry wulTimerRegistry = {0, nullptr};

void WULTimerRegistry::Add(CWULTimer* timer) {
  timer->registryNext = head;
  head = timer;
  ++count;
}

void WULTimerRegistry::Remove(CWULTimer* timer) {
  for (CWULTimer** link = &head; *link; link = &(*link)->registryNext) {
    if (*link == timer) {
      *link = timer->registryNext;
      timer->registryNext = nullptr;
      --count;
      return;
    }
  }
}

CWULTimer* WULTimerRegistry::Find(UINT_PTR timerId) const {
  for (CWULTimer* timer = head; timer; timer = timer->registryNext) {
    if (timer->timerId == timerId)
      return timer;
  }
  return nullptr;
}

void CALLBACK wulTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) {
  try {
    CWULTimer* timer = wulTimerRegistry.Find(timerId);
    if (timer)
      timer->Fire();
  } catch (...) {
    // Raised again by the loop that dispatched the timer message.
    wulKeepPendingException();
  }
}

CWULTimer::CWULTimer()
    : userData(nullptr), callback(nullptr), interval(0), running(0), timerId(0), registryNext(nullptr) {
  classCode = WUL_CLASS_TIMER;
}

CWULTimer::~CWULTimer() {
  // Even when the system cannot kill it, the registry must not keep a dead timer.
  if (running && !Stop())
    wulTimerRegistry.Remove(this);
}

void CWULTimer::Go() {
  if (running)
    return;
  UINT_PTR id = 0;
  if (interval > 0)
    id = SetTimer(nullptr, 0, static_cast<UINT>(interval), wulTimerProc);
  if (!id)
    wulThrowError(5, "CWULTimer::Go", "Timer creation failed");
  timerId = id;
  running = 1;
  wulTimerRegistry.Add(this);
}

bool CWULTimer::Stop() {
  if (!running)
    return false;
  if (!KillTimer(nullptr, timerId))
    return false;
  timerId = 0;
  running = 0;
  wulTimerRegistry.Remove(this);
  return true;
}

void CWULTimer::SetInterval(int32_t milliseconds) {
  if (milliseconds == interval)
    return;
  interval = milliseconds;
  if (running) {
    Stop();
    Go();
  }
}

void CWULTimer::Fire() {
  if (callback)
    callback(this, this);
}
