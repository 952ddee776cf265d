#pragma once
// Thin registry operations shared by the settings and the shell registration.
#include <windows.h>
#include <cstdint>
#include "wul/WULString.h"

// Creates or opens a subkey; null on failure.
HKEY CreateRegKey(HKEY parent, const char* path, REGSAM access);
// Opens an existing subkey; null on failure.
HKEY OpenRegKey(HKEY parent, const char* path, REGSAM access);
void CloseRegKey(HKEY key);
// A string value of any size, zero-terminated even when the stored bytes are not; the
// text is left unchanged on failure.
bool ReadRegString(HKEY key, const char* valueName, CWULString& text);
// Fails unless the value is a REG_DWORD of four bytes.
bool ReadRegDword(HKEY key, const char* valueName, uint32_t& value);
bool WriteRegDword(HKEY key, const char* valueName, uint32_t value);
// REG_SZ, the terminating zero included.
bool WriteRegString(HKEY key, const char* valueName, const char* text);
bool DeleteRegValue(HKEY key, const char* valueName);
// Deletes a key with all its subkeys; false when the key itself could not be deleted.
bool DeleteRegTree(HKEY parent, const char* path);
