#pragma once
// Thread timers without a window. All running timers share one timer procedure, which
// finds the expired timer in a global registry.
#include <windows.h>
#include <cstdint>
#include "wul/WULObject.h"

class CWULTimer : public CWULObject {
public:
  typedef int (*Callback)(CWULTimer* timer, CWULTimer* sender);

  CWULTimer();
  // Stops the timer when it runs.
  ~CWULTimer();

  // Starts the timer unless it runs. Throws CWULError 5 when the interval is not
  // positive or the system refuses a timer.
  void Go();
  // False when it was not running or the system could not stop it.
  bool Stop();
  // A running timer starts again with the new interval.
  void SetInterval(int32_t milliseconds);
  int32_t GetInterval() const { return interval; }
  bool IsRunning() const { return running != 0; }
  void Fire();

  void* userData;
  Callback callback;
  int32_t interval;
  uint8_t running;
  UINT_PTR timerId;
  CWULTimer* registryNext;

private:
  CWULTimer(const CWULTimer&) = delete;
  CWULTimer& operator=(const CWULTimer&) = delete;
};

// The running timers, newest first.
struct WULTimerRegistry {
  int32_t count;
  CWULTimer* head;

  void Add(CWULTimer* timer);
  void Remove(CWULTimer* timer);
  CWULTimer* Find(UINT_PTR timerId) const;
};

extern WULTimerRegistry wulTimerRegistry;

void CALLBACK wulTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
