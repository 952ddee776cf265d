#pragma once
// A file held open by another process, as another program may hold it (without sharing, or
// sharing it as given):
// a second instance of the test program, started with --hold-file, which TestMain hands to
// HoldFileForParent before any test runs.
#include <windows.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// Safety bound of the waits on the other process; no test relies on it.
constexpr DWORD kHolderWaitMs = 60000;

class HeldFile {
public:
  explicit HeldFile(const std::string& path, DWORD share = 0) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    m_held = CreateEventA(&inherited, TRUE, FALSE, nullptr);
    m_release = CreateEventA(&inherited, TRUE, FALSE, nullptr);
    char self[MAX_PATH];
    if (!m_held || !m_release || !GetModuleFileNameA(nullptr, self, MAX_PATH))
      return;
    std::string line = std::string("\"") + self + "\" --hold-file \"" + path + "\" " +
                       std::to_string(reinterpret_cast<uintptr_t>(m_held)) + " " +
                       std::to_string(reinterpret_cast<uintptr_t>(m_release)) + " " + std::to_string(share);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &m_process))
      return;
    const HANDLE either[2] = {m_held, m_process.hProcess};
    m_isHeld = WaitForMultipleObjects(2, either, FALSE, kHolderWaitMs) == WAIT_OBJECT_0;
  }
  ~HeldFile() {
    if (m_release)
      SetEvent(m_release);
    if (m_process.hProcess) {
      if (WaitForSingleObject(m_process.hProcess, kHolderWaitMs) != WAIT_OBJECT_0)
        TerminateProcess(m_process.hProcess, 1);
      CloseHandle(m_process.hThread);
      CloseHandle(m_process.hProcess);
    }
    if (m_held)
      CloseHandle(m_held);
    if (m_release)
      CloseHandle(m_release);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // True once the other process has the file open.
  bool IsHeld() const { return m_isHeld; }

private:
  HANDLE m_held = nullptr;
  HANDLE m_release = nullptr;
  PROCESS_INFORMATION m_process = {};
  bool m_isHeld = false;
};

// The other process's part: with "--hold-file PATH HELD RELEASE SHARE" it opens PATH for
// reading and writing, sharing it as SHARE says, signals HELD and keeps the file open until RELEASE is signalled, and true is
// returned (exit code in code); false for any other command line.
inline bool HoldFileForParent(int argc, char** argv, int& code) {
  if (argc != 6 || std::strcmp(argv[1], "--hold-file") != 0)
    return false;
  const HANDLE held = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[3], nullptr, 10)));
  const HANDLE release = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[4], nullptr, 10)));
  const DWORD share = static_cast<DWORD>(std::strtoul(argv[5], nullptr, 10));
  const HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
  code = 1;
  if (file != INVALID_HANDLE_VALUE) {
    SetEvent(held);
    WaitForSingleObject(release, kHolderWaitMs);
    CloseHandle(file);
    code = 0;
  }
  return true;
}
