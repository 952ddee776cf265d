#include "shell/Registry.h"
#include <cstring>
#include <memory>
#include <new>

HKEY CreateRegKey(HKEY parent, const char* path, REGSAM access) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

HKEY OpenRegKey(HKEY parent, const char* path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path, 0, access, &key) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

void CloseRegKey(HKEY key) {
  if (key)
    RegCloseKey(key);
}

bool ReadRegString(HKEY key, const char* valueName, CWULString& text) {
  DWORD size = 0;
  if (!key || RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
  if (!buffer)
    return false;
  DWORD length = size;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.get()), &length) !=
          ERROR_SUCCESS ||
      length > size)
    return false;
  buffer[length] = 0;
  text.Assign(buffer.get());
  return true;
}

bool ReadRegDword(HKEY key, const char* valueName, uint32_t& value) {
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (!key || RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
                  ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof data)
    return false;
  value = data;
  return true;
}

bool WriteRegDword(HKEY key, const char* valueName, uint32_t value) {
  DWORD data = value;
  return key && RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
                    ERROR_SUCCESS;
}

bool WriteRegString(HKEY key, const char* valueName, const char* text) {
  if (!key || !text)
    return false;
  return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool DeleteRegValue(HKEY key, const char* valueName) {
  return key && RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
}

bool DeleteRegTree(HKEY parent, const char* path) {
  HKEY key = OpenRegKey(parent, path, KEY_READ);
  if (!key)
    return false;
  // Always take subkey 0: each deletion shifts the rest down. A subkey that cannot be
  // deleted stops the walk instead of looping on it.
  for (;;) {
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys == 0)
      break;
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (!DeleteRegTree(key, name))
      break;
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, path) == ERROR_SUCCESS;
}
