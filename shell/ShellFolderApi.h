#pragma once
// SHGetSpecialFolderPathA, bound at run time from the shell library.
#include <windows.h>
#include "wul/WULString.h"

typedef BOOL(WINAPI* ShGetSpecialFolderPathProc)(HWND, LPSTR, int, BOOL);

class CShellFolderApi {
public:
  CShellFolderApi();
  ~CShellFolderApi();

  // Binds the function; false when the library or the function is missing.
  bool Load();
  void Unload();

  // The user's documents folder with a trailing backslash; empty when unknown.
  void GetDocumentsFolder(CWULString& path) const;

  HMODULE module;
  ShGetSpecialFolderPathProc getSpecialFolderPath;  // null when not bound
};

extern CShellFolderApi g_ShellFolderApi;
