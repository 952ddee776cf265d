#include <gtest/gtest.h>
#include <windows.h>
#include "common/BoxWatcher.h"
#include "FrameworkProbe.h"
#include "wul/WULInit.h"
#include "wul/WULSystem.h"
#include "wul/WULTimer.h"

namespace {

class Timer : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    DiscardQueuedMessages();
    registered = wulTimerRegistry.count;
  }
  void TearDown() override { DiscardQueuedMessages(); }
  int32_t registered = 0;
};

bool IsRegistered(CWULTimer* timer) {
  for (CWULTimer* t = wulTimerRegistry.head; t; t = t->registryNext) {
    if (t == timer)
      return true;
  }
  return false;
}

TEST_F(Timer, StartsStopped) {
  CWULTimer timer;
  EXPECT_EQ(timer.classCode, WUL_CLASS_TIMER);
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_EQ(timer.GetInterval(), 0);
  EXPECT_EQ(timer.timerId, 0u);
  EXPECT_EQ(timer.callback, nullptr);
  EXPECT_EQ(timer.userData, nullptr);
  EXPECT_FALSE(timer.Stop());
  timer.Fire();  // no callback: nothing
}

TEST_F(Timer, GoWithoutIntervalFails) {
  CWULTimer timer;
  for (int interval : {0, -5}) {
    timer.interval = interval;
    try {
      timer.Go();
      ADD_FAILURE() << "no error for " << interval;
    } catch (const CWULError& error) {
      EXPECT_EQ(error.code, 5);
      EXPECT_STREQ(error.location, "CWULTimer::Go");
      EXPECT_STREQ(error.description, "Timer creation failed");
    }
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(wulTimerRegistry.count, registered);
  }
}

TEST_F(Timer, GoRegistersAndStopUnregisters) {
  CWULTimer first;
  CWULTimer second;
  first.SetInterval(1000);
  second.SetInterval(1000);
  first.Go();
  ASSERT_TRUE(first.IsRunning());
  EXPECT_NE(first.timerId, 0u);
  second.Go();
  EXPECT_EQ(wulTimerRegistry.count, registered + 2);
  EXPECT_EQ(wulTimerRegistry.head, &second);
  EXPECT_EQ(wulTimerRegistry.Find(first.timerId), &first);
  EXPECT_EQ(wulTimerRegistry.Find(second.timerId), &second);

  // A second Go changes nothing.
  UINT_PTR id = first.timerId;
  first.Go();
  EXPECT_EQ(first.timerId, id);
  EXPECT_EQ(wulTimerRegistry.count, registered + 2);

  EXPECT_TRUE(first.Stop());
  EXPECT_FALSE(first.IsRunning());
  EXPECT_EQ(first.timerId, 0u);
  EXPECT_FALSE(IsRegistered(&first));
  EXPECT_TRUE(IsRegistered(&second));
  EXPECT_EQ(wulTimerRegistry.count, registered + 1);
  EXPECT_FALSE(first.Stop());
}

TEST_F(Timer, DestroyingARunningTimerUnregistersIt) {
  auto* timer = new CWULTimer;
  timer->SetInterval(1000);
  timer->Go();
  UINT_PTR id = timer->timerId;
  EXPECT_EQ(wulTimerRegistry.count, registered + 1);
  delete timer;
  EXPECT_EQ(wulTimerRegistry.count, registered);
  EXPECT_EQ(wulTimerRegistry.Find(id), nullptr);
}

TEST_F(Timer, SetInterval) {
  CWULTimer timer;
  timer.SetInterval(250);
  EXPECT_EQ(timer.GetInterval(), 250);
  EXPECT_FALSE(timer.IsRunning());
  timer.Go();
  UINT_PTR id = timer.timerId;
  timer.SetInterval(250);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_EQ(timer.timerId, id);
  EXPECT_EQ(wulTimerRegistry.count, registered + 1);
  timer.SetInterval(500);
  EXPECT_EQ(timer.GetInterval(), 500);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_NE(timer.timerId, 0u);
  EXPECT_EQ(wulTimerRegistry.Find(timer.timerId), &timer);
  EXPECT_EQ(wulTimerRegistry.count, registered + 1);
  timer.Stop();
  timer.SetInterval(40);
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_EQ(timer.GetInterval(), 40);
}

TEST_F(Timer, RefusedKillLeavesTheTimerRunning) {
  CWULTimer timer;
  timer.SetInterval(1000);
  timer.Go();
  UINT_PTR id = timer.timerId;
  // An identifier that the system does not know cannot be killed.
  timer.timerId = id + 0x4000;
  EXPECT_FALSE(timer.Stop());
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_TRUE(IsRegistered(&timer));
  EXPECT_EQ(wulTimerRegistry.count, registered + 1);
  timer.timerId = id;
  EXPECT_TRUE(timer.Stop());
  EXPECT_FALSE(IsRegistered(&timer));
}

TEST_F(Timer, IntervalOfZeroOnARunningTimerStopsItAndFails) {
  CWULTimer timer;
  timer.SetInterval(1000);
  timer.Go();
  try {
    timer.SetInterval(0);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 5);
    EXPECT_STREQ(error.location, "CWULTimer::Go");
  }
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_EQ(timer.timerId, 0u);
  EXPECT_FALSE(IsRegistered(&timer));
  EXPECT_EQ(wulTimerRegistry.count, registered);
}

TEST_F(Timer, RegistryRemovesAnywhereAndIgnoresStrangers) {
  CWULTimer a, b, c, stranger;
  WULTimerRegistry registry = {0, nullptr};
  registry.Add(&a);
  registry.Add(&b);
  registry.Add(&c);
  EXPECT_EQ(registry.head, &c);
  registry.Remove(&stranger);
  EXPECT_EQ(registry.count, 3);
  registry.Remove(&b);
  EXPECT_EQ(registry.count, 2);
  EXPECT_EQ(registry.head, &c);
  EXPECT_EQ(c.registryNext, &a);
  EXPECT_EQ(b.registryNext, nullptr);
  registry.Remove(&c);
  registry.Remove(&a);
  EXPECT_EQ(registry.count, 0);
  EXPECT_EQ(registry.head, nullptr);
}

TEST_F(Timer, UnknownIdentifierIsIgnored) {
  wulTimerProc(nullptr, WM_TIMER, 0x7FFF1234, 0);
  EXPECT_FALSE(wulHasPendingException());
}

struct TickLog {
  int calls = 0;
  DWORD thread = 0;
  CWULTimer* first = nullptr;
  CWULTimer* second = nullptr;
};

int CountTicks(CWULTimer* timer, CWULTimer* sender) {
  auto* log = static_cast<TickLog*>(timer->userData);
  ++log->calls;
  log->thread = GetCurrentThreadId();
  log->first = timer;
  log->second = sender;
  if (log->calls == 3) {
    timer->Stop();
    PostQuitMessage(11);
  }
  return 0;
}

TEST_F(Timer, CallsBackOnTheLoopThread) {
  TickLog log;
  CWULTimer timer;
  timer.userData = &log;
  timer.callback = CountTicks;
  timer.SetInterval(10);
  timer.Go();
  EXPECT_EQ(wulRunMessageLoop(), 11);
  EXPECT_EQ(log.calls, 3);
  EXPECT_EQ(log.thread, GetCurrentThreadId());
  EXPECT_EQ(log.first, &timer);
  EXPECT_EQ(log.second, &timer);
  EXPECT_FALSE(timer.IsRunning());
}

int CountOnly(CWULTimer* timer, CWULTimer*) {
  ++static_cast<TickLog*>(timer->userData)->calls;
  return 0;
}

TEST_F(Timer, PumpDispatchesDueTimers) {
  TickLog log;
  CWULTimer timer;
  timer.userData = &log;
  timer.callback = CountOnly;
  timer.SetInterval(10);
  timer.Go();
  // The timer is due once its period has passed; the pump then hands it to its procedure.
  for (int i = 0; i < 500 && log.calls == 0; ++i) {
    Sleep(20);
    wulPumpMessages();
  }
  timer.Stop();
  EXPECT_GE(log.calls, 1);
}

struct FailingTicks {
  BoxWatcher* watcher;
  int calls = 0;
};

int FailThenQuit(CWULTimer* timer, CWULTimer*) {
  auto* state = static_cast<FailingTicks*>(timer->userData);
  if (++state->calls == 1)
    wulThrowError(5, "Probe::Tick", "tick failure");
  // Ends once the box was seen and has gone; gives up after a long while.
  if ((state->watcher->Count() >= 1 && !FindWindowA(nullptr, "WUL Error")) || state->calls > 3000) {
    timer->Stop();
    PostQuitMessage(12);
  }
  return 0;
}

TEST_F(Timer, ErrorOfACallbackIsShownByTheLoop) {
  BoxWatcher watcher("WUL Error");
  FailingTicks state{&watcher};
  CWULTimer timer;
  timer.userData = &state;
  timer.callback = FailThenQuit;
  timer.SetInterval(20);
  timer.Go();
  EXPECT_EQ(wulRunMessageLoop(), 12);
  EXPECT_LE(state.calls, 3000);
  ASSERT_EQ(watcher.Count(), 1u);
  EXPECT_EQ(watcher.Texts()[0], "Location: Probe::Tick\nDescription: tick failure");
}

}  // namespace
