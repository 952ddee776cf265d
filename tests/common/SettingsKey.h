#pragma once
// The program's settings in the registry, taken away for tests that write them or start the
// program itself.
#include <windows.h>
#include "shell/Registry.h"
#include "shell/Settings.h"

inline void ClearSettingsKey() {
  DeleteRegTree(HKEY_CURRENT_USER, kSettingsRootKey);
  // The maker's key goes too when nothing else lives in it.
  RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Tolvenark");
}
