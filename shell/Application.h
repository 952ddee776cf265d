#pragma once
// Process-wide facts gathered at start, floating-point set-up, the command line and the
// registration of the program and its file types with the shell.
#include <windows.h>
#include <cstdint>
#include "wul/WULString.h"

struct CAppFacts {
  HINSTANCE instance;
  bool ssePresent;
  OSVERSIONINFOA osVersion;
  uint32_t version;    // major << 24 | minor << 16 | build << 8 | revision
  char programPath[MAX_PATH];
  char programFolder[MAX_PATH];  // drive and folder, ending in a backslash
};

extern CAppFacts g_App;

bool StartApplication(HINSTANCE instance);
// The x87 and SSE exception masks of the program: only underflow and inexact masked.
void SetupFloatingPoint(bool sse);
bool HasSse();
// The product version of the program file, packed; 0 when it has none.
uint32_t GetModuleVersion();
uint32_t GetFileProductVersion(const char* path);

// The option word (without its slash) and the path of a command line; only the first of
// each counts. Empty when absent. The words arrive in wide characters; a path that the
// ANSI code page cannot hold exactly is kept with '?' in their place and pathFits false.
struct CCommandLine {
  CWULString option;
  CWULString path;
  bool hasOption = false;
  bool hasPath = false;
  bool pathFits = true;
};
// The whole command line, as GetCommandLineW gives it: the program name comes first and is
// skipped as the run-time library skips it for WinMain.
void ParseCommandLine(const wchar_t* commandLine, CCommandLine& result);

// Start and stop the application's singletons, in their fixed orders.
void InitServices();
void DoneServices();
// The editor's run: services, settings, the main window, the command line's path, the main
// loop, then the settings saved and the services stopped. Returns the exit code.
int RunEditor(const CCommandLine& line);

enum { SHELL_APPLICATION = 1, SHELL_FILE_TYPES = 2, SHELL_ALL = -1 };
bool RegisterShellTypes(int flags);
bool UnregisterShellTypes(int flags);
void RegisterTypesOnStartup();
