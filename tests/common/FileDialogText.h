#pragma once
// The file name box of the common file dialogs, read and typed into from a test as the user
// would, in wide characters, whatever the character set the dialog runs in.
#include <windows.h>
#include <string>

// edt1, or cmb13 where the name box is a combo box.
inline int FileNameControl(HWND dialog) { return GetDlgItem(dialog, 1152) ? 1152 : 1148; }

inline void SetFileNameText(HWND dialog, const std::wstring& name) {
  SetDlgItemTextW(dialog, FileNameControl(dialog), name.c_str());
}

inline void SetFileNameText(HWND dialog, const char* name) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_PATH);
  SetFileNameText(dialog, std::wstring(wide));
}

// The name in the box as the box holds it.
inline std::wstring FileNameWide(HWND dialog) {
  wchar_t wide[MAX_PATH] = {};
  GetDlgItemTextW(dialog, FileNameControl(dialog), wide, MAX_PATH);
  return wide;
}

// The name in the box, in the ANSI code page.
inline std::string FileNameSpec(HWND dialog) {
  char spec[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, FileNameWide(dialog).c_str(), -1, spec, MAX_PATH, nullptr, nullptr);
  return spec;
}

// The dialog's type box (cmb1).
inline HWND FileTypeBox(HWND dialog) { return GetDlgItem(dialog, 1136); }

// Chooses the type at index in the type box as a choice from its list reaches the dialog,
// and lets the dialog act on it.
inline void ChooseFileType(HWND dialog, int index) {
  HWND types = FileTypeBox(dialog);
  SendMessageA(types, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(1136, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
  Sleep(100);
}

// Types a name into the dialog and confirms it.
template <typename Name>
void ConfirmFileName(HWND dialog, const Name& name) {
  SetFileNameText(dialog, name);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}
