#pragma once
// Small pieces of logic used alike by several WUL classes: button groups, image slots,
// buffered painting and one turn of a popup's modal loop.
#include <windows.h>
#include <cstdint>
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInteractor.h"
#include "wul/WULPaintKit.h"
#include "wul/WULSystem.h"

// Groups are doubly linked rings of T through the members `prev` and `next`. Joins the group
// of `self` to the group of `other` and returns the tail of `other`'s group (null for null).
template <class T>
T* wulJoinGroup(T* self, T* other, T* T::*prev, T* T::*next) {
  if (!other)
    return nullptr;
  T* head = self;
  while (head->*prev)
    head = head->*prev;
  T* tail = other;
  while (tail->*next)
    tail = tail->*next;
  T* otherHead = other;
  while (otherHead->*prev)
    otherHead = otherHead->*prev;
  // Already one group: linking again would make a ring.
  if (otherHead == head)
    return tail;
  tail->*next = head;
  head->*prev = tail;
  return tail;
}

template <class T>
void wulLeaveGroup(T* self, T* T::*prev, T* T::*next) {
  if (self->*prev)
    (self->*prev)->*next = self->*next;
  if (self->*next)
    (self->*next)->*prev = self->*prev;
  self->*prev = nullptr;
  self->*next = nullptr;
}

// Puts a referenced image into `slot`, releasing the old one; false when it was already there.
inline bool wulReplaceImage(CWULImage*& slot, CWULImage* newImage) {
  if (newImage == slot)
    return false;
  CWULImage::AddRef(newImage);
  CWULImage* old = slot;
  slot = newImage;
  CWULImage::Release(old);
  return true;
}

// WM_PAINT for a control drawn into an offscreen buffer: paintControl(HDC) draws the whole
// control into the buffer, then the damaged area is copied to the window.
template <class PaintControl>
void wulPaintBuffered(CWULOffscreenBuffer& buffer, int width, int height, PAINTSTRUCT* paint,
                      PaintControl paintControl) {
  if (!wulFitBuffer(buffer, width, height))
    return;
  paintControl(buffer.GetDC());
  GdiFlush();
  const RECT& area = paint->rcPaint;
  buffer.Blit(paint->hdc, area.left, area.top, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

enum class WULPopupLoopStep {
  Stop,        // leave the loop now
  Idle,        // nothing was queued
  Keyboard,    // a keyboard message went to the popup
  Dispatched,  // another message was taken and dispatched
};

// One turn of the modal loop of a popup whose window is `window` while `running` is set.
// Clicks elsewhere, Alt, F10 and a deferred close call endLoop() and stop the loop.
template <class EndLoop>
WULPopupLoopStep wulPopupLoopStep(const HWND& window, const uint8_t& running, EndLoop endLoop) {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    try {
      // Sent messages handled while peeking may have left an error.
      wulRaisePendingException();
    } catch (const CWULError& error) {
      wulShowError(error);
    }
    if (running)
      WaitMessage();
    return WULPopupLoopStep::Idle;
  }
  if ((wulIsButtonPress(message.message) || wulIsNcButtonPress(message.message)) && message.hwnd != window) {
    // The click stays queued for its own window.
    endLoop();
    return WULPopupLoopStep::Stop;
  }
  if (message.message == WM_SYSKEYDOWN && (message.wParam == VK_MENU || message.wParam == VK_F10)) {
    endLoop();
    return WULPopupLoopStep::Stop;
  }
  if (wulIsKeyboardMessage(message.message)) {
    wulPumpMessage(window);
    return WULPopupLoopStep::Keyboard;
  }
  if (message.message == WUL_MSG_DEFERRED_CLOSE && message.hwnd == window) {
    endLoop();
    return WULPopupLoopStep::Stop;
  }
  BOOL got = wulGetMessage(&message);
  if (got == 0) {
    PostQuitMessage(static_cast<int>(message.wParam));
    return WULPopupLoopStep::Stop;
  }
  try {
    if (got > 0) {
      wulDispatchMessage(&message);
      TranslateMessage(&message);
    }
  } catch (const CWULError& error) {
    wulShowError(error);
  }
  return WULPopupLoopStep::Dispatched;
}
