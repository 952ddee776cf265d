#pragma once
// Pieces shared by the program's small modal dialogs.
#include <algorithm>
#include <cstdint>
#include <new>
#include "document/PixelArray.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

// The target colour formats the image dialogs offer, in their order.
struct CTargetFormatChoice {
  const char* text;
  int32_t code;
};
inline constexpr CTargetFormatChoice kTargetFormatChoices[5] = {
    {"RGB color with alpha channel (32 bpp)", 0x200000},
    {"RGB color (24 bpp)", 0x180000},
    {"256-color palette (8 bpp)", 0x80001},
    {"16-color palette (4 bpp)", 0x40001},
    {"Monochrome (1 bpp)", 0x10001},
};

// The pixels fitted into size x size keeping their aspect ratio (each side rounded, at
// least 1) by smooth resampling; pixels that fit are copied. Null for an empty array.
// Throws CWULError when the picture cannot be allocated.
inline CWULImage* FitPicture(const CPixelArray* source, int size) {
  if (!source || !source->data || source->width <= 0 || source->height <= 0)
    return nullptr;
  int w = source->width;
  int h = source->height;
  if (w > size || h > size) {
    const double scale = static_cast<double>(size) / std::max(w, h);
    w = std::max(1, static_cast<int>(w * scale + 0.5));
    h = std::max(1, static_cast<int>(h * scale + 0.5));
  }
  auto* image = new CWULImage(w, h);
  if (w == source->width && h == source->height) {
    image->SetPixels(source->data);
  } else {
    CPixelArray target(image->pixels, w, h);
    CResampleOptions options;
    options.smooth = 1;
    options.totalSamples = 1000000;
    options.pixelSamples = 64;
    source->Resample(target, &options);
  }
  return image;
}

// Whether a dialog key asks for its help topic: F1, or the help key (code 47).
inline bool IsDialogHelpKey(int key) { return key == VK_F1 || key == 47; }

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

// A label for a control row at top (the text sits 3 pixels lower).
inline CWULLabel* MakeLabel(const char* text, int left, int top, int width) {
  auto* label = new CWULLabel;
  label->SetText(text);
  label->SetBounds(left, top + 3, width, 14);
  return label;
}

// A whole-number spin edit, 20 high.
inline CWULSpinEdit* MakeSpin(int left, int top, int width, double minimum, double maximum, double value) {
  auto* spin = new CWULSpinEdit;
  spin->SetBounds(left, top, width, 20);
  spin->SetMaxDecimals(0);
  spin->SetMinimum(minimum);
  spin->SetMaximum(maximum);
  spin->SetValue(value);
  return spin;
}

// A check box or radio button, 18 high.
template <class T>
T* MakeIndicator(const char* text, int left, int top, int width, bool checked) {
  auto* box = new T;
  box->SetText(text);
  box->SetBounds(left, top, width, 18);
  box->SetChecked(checked);
  return box;
}

// Builds the children of a new group frame.
template <class Build>
CWULGroupFrame* MakeGroup(const char* text, int left, int top, int width, int height, Build build) {
  auto* frame = new CWULGroupFrame;
  frame->SetText(text);
  frame->SetBounds(left, top, width, height);
  BuildInside(frame, build);
  return frame;
}

// A dialog push button (80 x 24) at x, y.
inline CWULButton* MakeDialogButton(const char* text, int x, int y, CWULPushButton::Callback press) {
  auto* button = new CWULButton;
  button->SetText(text);
  button->SetBounds(x, y, 80, 24);
  button->pressCallback = press;
  return button;
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

// Lets a dialog whose modal loop has returned end now: asks its window to close and
// dispatches the deferred close that this posts, so that the window is gone on return.
// Nothing when the window was never made or is gone already.
inline void CloseEndedDialog(CWULInteractor* dialog, HWND handle) {
  if (!handle || !IsWindow(handle))
    return;
  dialog->Close();
  MSG message;
  for (int round = 0; round < 100 && IsWindow(handle) &&
                      PeekMessageA(&message, handle, WUL_MSG_DEFERRED_CLOSE, WUL_MSG_DEFERRED_CLOSE, PM_REMOVE);
       ++round)
    DispatchMessageA(&message);
}
