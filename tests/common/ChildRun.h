#pragma once
// This test program run again on one of its tests (disabled ones included), for what needs a
// process of its own: a start-up, or a file a system control holds until its process ends.
#include <windows.h>
#include <string>

constexpr const char* kTestChildVariable = "VC_TEST_CHILD";

// Whether this process is such a run.
inline bool IsTestChild() { return GetEnvironmentVariableA(kTestChildVariable, nullptr, 0) > 0; }

// Runs the test ("Suite.Name") and waits for it: its exit code, or 1000 and above when it did
// not start or end.
inline DWORD RunTestInChild(const std::string& test) {
  char path[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, path, MAX_PATH))
    return 1000;
  std::string command = std::string("\"") + path + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
  SetEnvironmentVariableA(kTestChildVariable, "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kTestChildVariable, nullptr);
  if (!started)
    return 1001;
  DWORD exitCode = 1002;
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &exitCode);
  else
    TerminateProcess(process.hProcess, 1003);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}
