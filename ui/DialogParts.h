#pragma once
// Pieces shared by the program's small modal dialogs.
#include <new>
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

// Runs build with parent as the default parent; the parent is popped however build ends.
template <class Build>
void BuildInside(CWULInteractor* parent, Build&& build) {
  wulPushDefaultParent(parent);
  try {
    build();
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}

// A dialog push button (80 x 24) at x, y.
inline CWULButton* MakeDialogButton(const char* text, int x, int y, CWULPushButton::Callback press) {
  auto* button = new CWULButton;
  button->SetText(text);
  button->SetBounds(x, y, 80, 24);
  button->pressCallback = press;
  return button;
}

// A one-line label beside a 20-pixel control whose top is top.
inline CWULLabel* MakeDialogLabel(const char* text, int left, int top, int width) {
  auto* label = new CWULLabel;
  label->SetText(text);
  label->SetBounds(left, top + 3, width, 14);
  return label;
}

// An integer spin edit, 20 pixels high, with its limits and value.
inline CWULSpinEdit* MakeDialogSpin(int left, int top, int width, double minimum, double maximum, double value) {
  auto* spin = new CWULSpinEdit;
  spin->SetBounds(left, top, width, 20);
  spin->SetMaxDecimals(0);
  spin->SetMinimum(minimum);
  spin->SetMaximum(maximum);
  spin->SetValue(value);
  return spin;
}

// A check box or radio button, 18 pixels high.
template <class T>
T* MakeDialogIndicator(const char* text, int left, int top, int width, bool checked) {
  auto* box = new T;
  box->SetText(text);
  box->SetBounds(left, top, width, 18);
  box->SetChecked(checked);
  return box;
}

// Makes a fixed dialog with a close box, kept in slot, and fills it with build(dialog)
// while the dialog is the default parent. When a window or memory cannot be had, forget
// runs, the dialog is deleted and the result is null.
template <class Window, class Build>
Window* MakeSingleDialog(Window*& slot, const char* title, CWULInteractor::KeyHandler keyDown,
                         void (*forget)(), Build&& build) {
  Window* dialog = nullptr;
  int pushed = 0;
  try {
    wulPushDefaultParent(nullptr);
    ++pushed;
    dialog = new Window;
    slot = dialog;
    dialog->SetFrameKind(WUL_FRAME_FIXED);
    dialog->SetCloseBox(true);
    dialog->SetText(title);
    dialog->keyDownHandler = keyDown;
    wulPushDefaultParent(dialog);
    ++pushed;
    build(dialog);
    wulPopDefaultParent();
    wulPopDefaultParent();
    pushed = 0;
  } catch (...) {
    while (pushed-- > 0)
      wulPopDefaultParent();
    forget();
    delete dialog;
    try {
      throw;
    } catch (const CWULError&) {
      return nullptr;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return dialog;
}
