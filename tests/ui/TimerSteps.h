#pragma once
// Runs test steps one after another from inside a dialog's own loop (or a nested one), a
// step per thread timer tick, each when its condition holds.
#include <windows.h>
#include <functional>
#include <vector>

class Steps {
public:
  // A step returns true once it has done its work; it is asked again on the next tick
  // until then.
  typedef std::function<bool()> Step;
  static void Start(std::vector<Step> steps) {
    list() = std::move(steps);
    index() = 0;
    timer() = SetTimer(nullptr, 0, 40, Tick);
  }
  static void Stop() {
    if (timer())
      KillTimer(nullptr, timer());
    timer() = 0;
    list().clear();
  }
  static size_t Done() { return index(); }

private:
  static std::vector<Step>& list() {
    static std::vector<Step> s;
    return s;
  }
  static size_t& index() {
    static size_t i = 0;
    return i;
  }
  static UINT_PTR& timer() {
    static UINT_PTR t = 0;
    return t;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (index() < list().size() && list()[index()]())
      ++index();
  }
};
