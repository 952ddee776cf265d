#pragma once
// This test program run again on one of its tests (disabled ones included), for what needs a
// process of its own: a start-up, or a file a system control holds until its process ends.
#include <windows.h>
#include <cstdio>
#include <string>

constexpr const char* kTestChildVariable = "VC_TEST_CHILD";

// Whether this process is such a run.
inline bool IsTestChild() { return GetEnvironmentVariableA(kTestChildVariable, nullptr, 0) > 0; }

// The number of tests that ran, by the XML report of a test program; -1 without a report.
inline int TestsRunInReport(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return -1;
  std::string report;
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
    report.append(block, got);
  std::fclose(file);
  int count = 0;
  for (size_t at = report.find("<testcase "); at != std::string::npos; at = report.find("<testcase ", at + 1)) {
    const std::string tag = report.substr(at, report.find('>', at) - at);
    if (tag.find(" status=\"run\"") != std::string::npos)
      ++count;
  }
  return count;
}

// Runs the test ("Suite.Name") and waits for it: its exit code; 1000 and above when it did not
// start or end (1001 to 1003), or when the name did not make exactly one test run (1004: none
// or more than one; 1005: the run left no report).
inline DWORD RunTestInChild(const std::string& test) {
  char path[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, path, MAX_PATH))
    return 1000;
  char folder[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, folder))
    return 1000;
  static int runs = 0;
  const std::string report = std::string(folder) + "vc-child-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++runs) + ".xml";
  DeleteFileA(report.c_str());
  std::string command = std::string("\"") + path + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test +
                        " \"--gtest_output=xml:" + report + "\"";
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
  const int ran = TestsRunInReport(report);
  DeleteFileA(report.c_str());
  if (exitCode != 0)
    return exitCode;
  return ran < 0 ? 1005 : ran != 1 ? 1004 : 0;
}
