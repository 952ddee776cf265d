#pragma once
// A file written over another is written beside it, in the same folder, and put in the
// other's place only once complete: a failed write leaves the old file as it was.
#include <windows.h>

class CVCXReplacement {
public:
  CVCXReplacement() : m_pending(false) { m_target[0] = m_temporary[0] = 0; }
  // Removes the new file unless Finish put it in place.
  ~CVCXReplacement();
  CVCXReplacement(const CVCXReplacement&) = delete;
  CVCXReplacement& operator=(const CVCXReplacement&) = delete;

  // Makes the new file, empty and under a name no other file has, beside path. False when
  // path cannot be written over (read-only, a folder) or nothing can be made in its folder.
  bool Begin(const char* path);
  // The new file, to be opened for writing.
  const char* GetTemporaryPath() const { return m_temporary; }
  // Puts the new file, closed and complete, in path's place; false when it cannot be.
  bool Finish();

private:
  char m_target[MAX_PATH];
  char m_temporary[MAX_PATH];
  bool m_pending;
};
