#include "plugins/sdk/VCXReplace.h"
#include <cstring>

CVCXReplacement::~CVCXReplacement() {
  if (m_pending)
    DeleteFileA(m_temporary);
}

bool CVCXReplacement::Begin(const char* path) {
  if (m_pending || !path || !path[0] || std::strlen(path) >= sizeof m_target)
    return false;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  // The target's folder ("." for a bare name), so that putting it in place is a rename on
  // one volume.
  char folder[MAX_PATH];
  size_t length = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
      length = i + 1;
  if (length) {
    std::memcpy(folder, path, length);
    folder[length] = 0;
  } else {
    std::strcpy(folder, ".");
  }
  if (!GetTempFileNameA(folder, "vc", 0, m_temporary))
    return false;
  std::strcpy(m_target, path);
  m_pending = true;
  return true;
}

bool CVCXReplacement::Finish() {
  if (!m_pending || !MoveFileExA(m_temporary, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  m_pending = false;
  return true;
}
