#pragma once
// Drives the plug-in's modal dialogs from a thread timer while their loop runs: finds the
// dialog by caption, finds its controls, sends them real clicks and keys, and reads the
// state of the plug-in's framework objects behind their windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "common/CloseBox.h"
#include "common/KeyMessages.h"
#include "wul/WULButton.h"
#include "wul/WULListBox.h"
#include "wul/WULPanel.h"

struct DialogProbe {
  std::string caption;
  // Runs once with the dialog; it ends the dialog itself (a click or a key).
  std::function<void(HWND dialog)> run;
  bool seen = false;
};

inline DialogProbe*& CurrentDialogProbe() {
  static DialogProbe* probe = nullptr;
  return probe;
}

inline BOOL CALLBACK FindDialogCaptioned(HWND window, LPARAM lParam) {
  auto* found = reinterpret_cast<std::pair<std::string, HWND>*>(lParam);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (IsWindowVisible(window) && found->first == text) {
    found->second = window;
    return FALSE;
  }
  return TRUE;
}

inline HWND FindDialog(const std::string& caption) {
  std::pair<std::string, HWND> found(caption, nullptr);
  EnumThreadWindows(GetCurrentThreadId(), FindDialogCaptioned, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

inline void CALLBACK DialogProbeTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  DialogProbe* probe = CurrentDialogProbe();
  if (!probe)
    return;
  HWND dialog = FindDialog(probe->caption);
  if (!dialog)
    return;
  KillTimer(nullptr, timer);
  CurrentDialogProbe() = nullptr;
  probe->seen = true;
  if (probe->run)
    probe->run(dialog);
}

// Arms the probe for the next dialog; disarms on destruction.
class DialogProbeArm {
public:
  explicit DialogProbeArm(DialogProbe& probe) {
    CurrentDialogProbe() = &probe;
    m_timer = SetTimer(nullptr, 0, 30, DialogProbeTimer);
  }
  ~DialogProbeArm() {
    CurrentDialogProbe() = nullptr;
    KillTimer(nullptr, m_timer);
  }

private:
  UINT_PTR m_timer;
};

// Export option dialogs shown for the scope.
class ExportDialogsOn {
public:
  ExportDialogsOn() { ExportDialogsShown() = true; }
  ~ExportDialogsOn() { ExportDialogsShown() = false; }
};

inline BOOL CALLBACK CollectDialogChildren(HWND window, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
  return TRUE;
}

inline std::vector<HWND> DialogChildren(HWND dialog) {
  std::vector<HWND> children;
  EnumChildWindows(dialog, CollectDialogChildren, reinterpret_cast<LPARAM>(&children));
  return children;
}

inline std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline HWND ChildByText(HWND dialog, const std::string& text) {
  for (HWND child : DialogChildren(dialog))
    if (WindowText(child) == text)
      return child;
  return nullptr;
}

// The child whose window has the size; null when none.
inline HWND ChildBySize(HWND dialog, int width, int height) {
  for (HWND child : DialogChildren(dialog)) {
    RECT r;
    GetWindowRect(child, &r);
    if (r.right - r.left == width && r.bottom - r.top == height)
      return child;
  }
  return nullptr;
}

inline SIZE ClientSize(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return SIZE{r.right, r.bottom};
}

inline void ClickWindow(HWND window, int x = 4, int y = 4) {
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline void ClickText(HWND dialog, const std::string& text) {
  HWND child = ChildByText(dialog, text);
  EXPECT_NE(child, nullptr) << text;
  if (child)
    ClickWindow(child);
}

inline void SendChar(HWND window, char ch) {
  SendMessageA(window, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

// The plug-in's framework object behind one of its windows.
template <class T>
T* ObjectOf(HWND window) {
  return static_cast<T*>(reinterpret_cast<CWULInteractor*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
}

inline bool IsCheckedText(HWND dialog, const std::string& text) {
  HWND child = ChildByText(dialog, text);
  EXPECT_NE(child, nullptr) << text;
  return child && ObjectOf<CWULPushButton>(child)->checked != 0;
}

inline bool IsEnabledText(HWND dialog, const std::string& text) {
  HWND child = ChildByText(dialog, text);
  EXPECT_NE(child, nullptr) << text;
  return child && IsWindowEnabled(child);
}

inline std::vector<std::string> ListTexts(HWND list) {
  std::vector<std::string> texts;
  CWULListBox* box = ObjectOf<CWULListBox>(list);
  for (CWULListNode* node = box->items.first; node; node = node->next)
    texts.push_back(static_cast<CWULListItem*>(node)->text.text);
  return texts;
}

// Presses the list's row (1-based) with the mouse.
inline void ClickRow(HWND list, int row) {
  CWULListBox* box = ObjectOf<CWULListBox>(list);
  ClickWindow(list, 8, (row - 1) * box->itemHeight + box->itemHeight / 2);
}
