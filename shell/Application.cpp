#include "shell/Application.h"
#include <float.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include "document/PixelArray.h"
#include "document/StringList.h"
#include "document/Swatches.h"
#include "shell/Clipboard.h"
#include "shell/Errors.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
#include "shell/Registry.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/FontList.h"
#include "tools/Ticker.h"
#include "tools/ToolManager.h"
#include "ui/AppCursors.h"
#include "ui/MainWindow.h"
#include "wul/WULInit.h"
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <xmmintrin.h>
#endif

CAppFacts g_App;

bool HasSse() {
#if defined(__x86_64__)
  return true;
#elif defined(__i386__)
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d))
    return false;
  return (d & (1u << 25)) != 0;
#else
  return false;
#endif
}

#if defined(__i386__) || defined(__x86_64__)
namespace {
// MXCSR keeps its upper half; only underflow and precision masked, round to nearest.
__attribute__((target("sse"))) void SetupMxcsr() { _mm_setcsr((_mm_getcsr() & 0xFFFF0000u) | 0x1800u); }
}  // namespace
#endif

void SetupFloatingPoint(bool sse) {
#if defined(__i386__)
  // 53-bit precision, round to nearest; invalid, denormal, divide-by-zero and overflow raise.
  _controlfp(_PC_53 | _EM_UNDERFLOW | _EM_INEXACT, _MCW_EM | _MCW_RC | _MCW_PC);
#else
  // x86-64 has no precision control; the same masks and rounding.
  _controlfp(_EM_UNDERFLOW | _EM_INEXACT, _MCW_EM | _MCW_RC);
#endif
#if defined(__i386__) || defined(__x86_64__)
  if (sse)
    SetupMxcsr();
#endif
}

uint32_t GetFileProductVersion(const char* path) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0)
    return 0;
  void* block = AllocMemory(size);
  if (!block)
    return 0;
  uint32_t version = 0;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(path, 0, size, block) &&
      VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &length) && info &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    DWORD ms = info->dwProductVersionMS, ls = info->dwProductVersionLS;
    version = (HIWORD(ms) & 0xFFu) << 24 | (LOWORD(ms) & 0xFFu) << 16 | (HIWORD(ls) & 0xFFu) << 8 |
              (LOWORD(ls) & 0xFFu);
  }
  FreeMemory(block);
  return version;
}

uint32_t GetModuleVersion() { return GetFileProductVersion(g_App.programPath); }

bool StartApplication(HINSTANCE instance) {
  g_App.instance = instance;
  g_App.ssePresent = HasSse();
  SetupFloatingPoint(g_App.ssePresent);
  InitReciprocalTable();
  std::memset(&g_App.osVersion, 0, sizeof g_App.osVersion);
  g_App.osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  GetVersionExA(&g_App.osVersion);

  DWORD length = GetModuleFileNameA(instance, g_App.programPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    g_App.programPath[0] = 0;
    CriticalErrorBox("Cannot locate executable");
    return false;
  }
  g_App.version = GetModuleVersion();
  char drive[_MAX_DRIVE], folder[_MAX_DIR];
  _splitpath(g_App.programPath, drive, folder, nullptr, nullptr);
  std::snprintf(g_App.programFolder, sizeof g_App.programFolder - 1, "%s%s", drive, folder);
  AddTrailingBackslash(g_App.programFolder);
  if (!g_Clipboard.Init()) {
    CriticalErrorBox("Cannot initialize clipboard");
    return false;
  }
  return true;
}

void InitServices() {
  g_FontList.Enumerate();
  g_Settings.Init();
  LoadAppCursors();
  LoadPlugins();
  BuildFileTypeLists();
  CreateShortcutTable();
  g_Swatches.SetDefaults();
  g_Ticker.Start();
}

void DoneServices() {
  g_Ticker.Stop();
  g_Swatches.Clear();
  g_ToolManager.ClearActiveTool();
  // The type entries point to their plug-ins, so they go first.
  ClearPluginLists();
  FreeAppCursors();
  g_Settings.Done();
  g_FontList.DeleteAll();
}

int RunEditor(const CCommandLine& line) {
  InitServices();
  g_Settings.Load();
  RegisterTypesOnStartup();
  CreateMainWindow();
  if (line.hasPath) {
    wulPumpMessages();
    OpenCommandLinePath(line);
  }
  wulRunMessageLoop();
  if (!SettingsSavedAtSessionEnd())
    g_Settings.Save();
  DoneServices();
  return 0;
}

void ParseCommandLine(const wchar_t* commandLine, CCommandLine& result) {
  const wchar_t* p = commandLine ? commandLine : L"";
  // The program name: up to the first blank outside quotes.
  for (bool quoted = false; *p > L' ' || (*p && quoted); ++p)
    if (*p == L'"')
      quoted = !quoted;
  SplitCommandLineWords(p, [&result](const std::wstring& word) {
    if (word[0] == L'/') {
      if (!result.hasOption) {
        WideToAnsiExact(word.c_str() + 1, result.option);
        result.hasOption = true;
      }
    } else if (!result.hasPath) {
      result.pathFits = WideToAnsiExact(word.c_str(), result.path);
      result.hasPath = true;
    }
  });
}

// Shell registration.

namespace {

struct FileType {
  const char* extension;
  const char* className;
  const char* description;
  int iconIndex;
};

const FileType kFileTypes[] = {
    {"vcplugin", "Vellumcraft.Plugin", "Vellumcraft Plugin", 1},
    {"vcj", "Vellumcraft.Project", "Vellumcraft Project", 2},
    {"vccolors", "Vellumcraft.Colors", "Vellumcraft Colors", 3},
};

// Sets the default value of path below parent, creating the keys.
bool SetDefaultValue(HKEY parent, const char* path, const char* value) {
  HKEY key = CreateRegKey(parent, path, KEY_WRITE);
  if (!key)
    return false;
  bool ok = WriteRegString(key, nullptr, value);
  CloseRegKey(key);
  return ok;
}

bool ReadDefaultValue(HKEY parent, const char* path, CWULString& value) {
  HKEY key = OpenRegKey(parent, path, KEY_READ);
  if (!key)
    return false;
  bool ok = ReadRegString(key, nullptr, value);
  CloseRegKey(key);
  return ok;
}

using CompareOrdinalProc = int(WINAPI*)(LPCWCH, int, LPCWCH, int, BOOL);

// Whether two registry names are one: the registry compares them ordinally, without case.
bool SameRegistryName(const char* a, const char* b) {
  std::wstring first = AnsiToWide(a), second = AnsiToWide(b);
  static const auto compare = reinterpret_cast<CompareOrdinalProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CompareStringOrdinal")));
  if (compare)
    return compare(first.c_str(), -1, second.c_str(), -1, TRUE) == CSTR_EQUAL;
  // Before Vista: the system's upper case, unit by unit.
  if (first.size() != second.size())
    return false;
  CharUpperBuffW(&first[0], static_cast<DWORD>(first.size()));
  CharUpperBuffW(&second[0], static_cast<DWORD>(second.size()));
  return first == second;
}

bool IsOwnClass(const char* name) {
  for (const FileType& type : kFileTypes)
    if (SameRegistryName(name, type.className))
      return true;
  return false;
}

bool IsEmptyKey(HKEY key) {
  DWORD subkeys = 0, values = 0;
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

// Takes the program's entry out of an extension key: its default value when it names one of
// the program's classes (that class goes too). Whatever else lives there belongs to other
// programs and stays; the key goes only when nothing is left in it. Returns whether the key
// named an own class and lost the entry; named tells whether it did.
bool UnregisterExtension(const char* extensionKey, bool& named) {
  named = false;
  HKEY key = OpenRegKey(HKEY_CLASSES_ROOT, extensionKey, KEY_READ | KEY_SET_VALUE);
  CWULString className;
  if (!key || !ReadRegString(key, nullptr, className) || !IsOwnClass(className.text)) {
    CloseRegKey(key);
    return false;
  }
  named = true;
  DeleteRegTree(HKEY_CLASSES_ROOT, className.text);
  const bool removed = DeleteRegValue(key, nullptr);
  const bool empty = removed && IsEmptyKey(key);
  CloseRegKey(key);
  return removed && (!empty || RegDeleteKeyA(HKEY_CLASSES_ROOT, extensionKey) == ERROR_SUCCESS);
}

void ApplicationKeyPath(CWULString& path) {
  path.Assign("Applications\\");
  path.Append(PathFileName(g_App.programPath));
}

// A double quote, the program path, "\" " and the arguments.
void OpenCommand(CWULString& command, const char* arguments) {
  command.Assign("\"");
  command.Append(g_App.programPath);
  command.Append("\" ");
  command.Append(arguments);
}

}  // namespace

bool RegisterShellTypes(int flags) {
  bool ok = true;
  if (flags & SHELL_APPLICATION) {
    CWULString path, command;
    ApplicationKeyPath(path);
    path.Append("\\shell\\open\\command");
    OpenCommand(command, "/i \"%1\"");
    ok = SetDefaultValue(HKEY_CLASSES_ROOT, path.text, command.text) && ok;
  }
  if (flags & SHELL_FILE_TYPES) {
    for (const FileType& type : kFileTypes) {
      char extensionKey[32], icon[MAX_PATH + 16];
      std::snprintf(extensionKey, sizeof extensionKey, ".%s", type.extension);
      std::snprintf(icon, sizeof icon, "%s,%d", g_App.programPath, type.iconIndex);
      CWULString iconKey(type.className);
      iconKey.Append("\\DefaultIcon");
      ok = SetDefaultValue(HKEY_CLASSES_ROOT, extensionKey, type.className) && ok;
      ok = SetDefaultValue(HKEY_CLASSES_ROOT, type.className, type.description) && ok;
      ok = SetDefaultValue(HKEY_CLASSES_ROOT, iconKey.text, icon) && ok;
    }
    // The open verb goes to whatever class the project extension names now.
    CWULString className;
    if (!ReadDefaultValue(HKEY_CLASSES_ROOT, ".vcj", className)) {
      ok = false;
    } else if (className.text[0]) {
      CWULString path(className), command;
      path.Append("\\shell\\open\\command");
      OpenCommand(command, "\"%1\"");
      ok = SetDefaultValue(HKEY_CLASSES_ROOT, path.text, command.text) && ok;
    }
  }
  if (flags & (SHELL_APPLICATION | SHELL_FILE_TYPES))
    SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
  return ok;
}

bool UnregisterShellTypes(int flags) {
  bool ok = true;
  if (flags & SHELL_FILE_TYPES) {
    for (const FileType& type : kFileTypes) {
      char extensionKey[32];
      std::snprintf(extensionKey, sizeof extensionKey, ".%s", type.extension);
      // Only the program's own entries go; an extension that another program has taken
      // since stays with it, as does that program's class.
      bool named = false;
      const bool entryGone = UnregisterExtension(extensionKey, named);
      const bool classGone = DeleteRegTree(HKEY_CLASSES_ROOT, type.className);
      ok = (named ? entryGone : classGone) && ok;
    }
  }
  if (flags & SHELL_APPLICATION) {
    CWULString path;
    ApplicationKeyPath(path);
    ok = DeleteRegTree(HKEY_CLASSES_ROOT, path.text) && ok;
  }
  if (flags & (SHELL_APPLICATION | SHELL_FILE_TYPES))
    SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
  return ok;
}

void RegisterTypesOnStartup() {
  if (g_Settings.shellRegisterFileTypesOnStartup && g_Settings.shellRegisterFileTypesOnStartup->value)
    RegisterShellTypes(SHELL_FILE_TYPES);
}
