#include "sys/ZRReplace.h"
#include <cstdlib>
#include <cwchar>

namespace {

// What the new file takes over from the file it replaces.
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Names tried for the new file before giving up.
const unsigned kAttempts = 1000;
// Units of the target's name that go into the new file's name, so that the new name stays
// within what a file system allows for one name however long the target's is.
const size_t kNameKept = 64;

wchar_t* NewText(size_t units) {
  return static_cast<wchar_t*>(std::malloc(units * sizeof(wchar_t)));
}

bool StartsWith(const wchar_t* text, const wchar_t* start) {
  return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

bool Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// A copy of a full path that the wide file calls take whatever its length: past MAX_PATH in
// the "\\?\" form, which they take as it stands.
wchar_t* CallablePath(const wchar_t* full) {
  const wchar_t* prefix = L"";
  const wchar_t* rest = full;
  if (std::wcslen(full) >= MAX_PATH && !StartsWith(full, L"\\\\?\\")) {
    if (StartsWith(full, L"\\\\")) {
      prefix = L"\\\\?\\UNC\\";
      rest = full + 2;
    } else {
      prefix = L"\\\\?\\";
    }
  }
  wchar_t* path = NewText(std::wcslen(prefix) + std::wcslen(rest) + 1);
  if (path) {
    std::wcscpy(path, prefix);
    std::wcscat(path, rest);
  }
  return path;
}

// The full path that the file calls make of a path in their code page; null when the code
// page does not hold it or it has none.
wchar_t* FullPath(const char* path) {
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  const int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  wchar_t* wide = units > 0 ? NewText(static_cast<size_t>(units)) : nullptr;
  if (!wide || MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path, -1, wide, units) != units) {
    std::free(wide);
    return nullptr;
  }
  const DWORD size = GetFullPathNameW(wide, 0, nullptr, nullptr);
  wchar_t* full = size ? NewText(size) : nullptr;
  const DWORD length = full ? GetFullPathNameW(wide, size, full, nullptr) : 0;
  std::free(wide);
  if (length == 0 || length >= size) {
    std::free(full);
    return nullptr;
  }
  return full;
}

// Why a file of these attributes cannot be written over; done when it can, or is none.
uint32_t RefusalOf(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return ZR_REPLACE_DONE;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return ZR_REPLACE_CANNOT_CREATE;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    return ZR_REPLACE_WRITE_PROTECTED;
  return ZR_REPLACE_DONE;
}

// Writes ".vc<number>.tmp" at out.
void PutSuffix(wchar_t* out, unsigned number) {
  wchar_t digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
    number /= 10;
  } while (number);
  *out++ = L'.';
  *out++ = L'v';
  *out++ = L'c';
  while (count)
    *out++ = digits[--count];
  std::wcscpy(out, L".tmp");
}

}  // namespace

CZRReplacement::CZRReplacement()
    : m_file(INVALID_HANDLE_VALUE), m_target(nullptr), m_temporary(nullptr) {}

CZRReplacement::~CZRReplacement() {
  Abandon();
  std::free(m_target);
}

void CZRReplacement::Abandon() {
  if (m_file != INVALID_HANDLE_VALUE)
    CloseHandle(m_file);
  m_file = INVALID_HANDLE_VALUE;
  if (m_temporary)
    DeleteFileW(m_temporary);
  std::free(m_temporary);
  m_temporary = nullptr;
}

uint32_t CZRReplacement::Begin(const char* target) {
  Abandon();
  std::free(m_target);
  m_target = nullptr;
  wchar_t* full = target && target[0] ? FullPath(target) : nullptr;
  // A device, or a path without a name after its folder, is no file to write over.
  const wchar_t* slash = full && !StartsWith(full, L"\\\\.\\") ? std::wcsrchr(full, L'\\') : nullptr;
  uint32_t result = ZR_REPLACE_CANNOT_CREATE;
  if (slash && slash[1] && (m_target = CallablePath(full)) != nullptr) {
    result = RefusalOf(GetFileAttributesW(m_target));
    if (result == ZR_REPLACE_DONE)
      result = MakeNewFile(full, static_cast<size_t>(slash + 1 - full));
  }
  std::free(full);
  return result;
}

uint32_t CZRReplacement::MakeNewFile(const wchar_t* full, size_t folder) {
  // The target's folder and (the start of) its name, then ".vc<n>.tmp" for the first n that
  // names no file yet.
  size_t name = std::wcslen(full + folder);
  if (name > kNameKept) {
    name = kNameKept;
    if (IS_HIGH_SURROGATE(full[folder + name - 1]))
      --name;
  }
  wchar_t* candidate = NewText(folder + name + 20);
  for (unsigned attempt = 1; candidate && attempt <= kAttempts; ++attempt) {
    std::wmemcpy(candidate, full, folder + name);
    PutSuffix(candidate + folder + name, attempt);
    wchar_t* path = CallablePath(candidate);
    if (!path)
      break;
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      m_file = file;
      m_temporary = path;
      break;
    }
    const DWORD error = GetLastError();
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || Exists(path);
    std::free(path);
    if (!taken)
      break;
  }
  std::free(candidate);
  return m_temporary ? ZR_REPLACE_DONE : ZR_REPLACE_CANNOT_CREATE;
}

uint32_t CZRReplacement::Commit() {
  if (!m_temporary)
    return ZR_REPLACE_CANNOT_CREATE;
  const bool flushed = FlushFileBuffers(m_file) != 0;
  WIN32_FILE_ATTRIBUTE_DATA target = {};
  const bool exists = flushed && GetFileAttributesExW(m_target, GetFileExInfoStandard, &target);
  void* security = nullptr;
  if (exists) {
    TakeOverFromTarget(target);
    security = TargetSecurity();
  }
  const bool closed = CloseHandle(m_file) != 0;
  m_file = INVALID_HANDLE_VALUE;
  const uint32_t result =
      flushed && closed ? Swap(exists ? target.dwFileAttributes : INVALID_FILE_ATTRIBUTES) : ZR_REPLACE_WRITE_FAILED;
  if (result == ZR_REPLACE_DONE) {
    // Only once the new file is in place, so that nothing the old file's list denies can
    // keep the new one from being moved or removed.
    if (security)
      SetFileSecurityW(m_target, DACL_SECURITY_INFORMATION, security);
    std::free(m_temporary);
    m_temporary = nullptr;
  } else {
    Abandon();
  }
  std::free(security);
  return result;
}

void CZRReplacement::TakeOverFromTarget(const WIN32_FILE_ATTRIBUTE_DATA& target) {
  // A failure leaves the new file its own.
  FILE_BASIC_INFO basic = {};
  basic.CreationTime.LowPart = target.ftCreationTime.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(target.ftCreationTime.dwHighDateTime);
  const DWORD kept = target.dwFileAttributes & kKeptAttributes;
  basic.FileAttributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(m_file, FileBasicInfo, &basic, sizeof basic);
}

void* CZRReplacement::TargetSecurity() const {
  DWORD size = 0;
  GetFileSecurityW(m_target, DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  void* security = size ? std::malloc(size) : nullptr;
  if (security && !GetFileSecurityW(m_target, DACL_SECURITY_INFORMATION, security, size, &size)) {
    std::free(security);
    security = nullptr;
  }
  return security;
}

uint32_t CZRReplacement::Swap(DWORD attributes) {
  // Nothing to replace: the new file takes the name, unless a file took it meanwhile.
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return MoveFileExW(m_temporary, m_target, MOVEFILE_WRITE_THROUGH) ? ZR_REPLACE_DONE : ZR_REPLACE_CANNOT_CREATE;
  const uint32_t refusal = RefusalOf(attributes);
  if (refusal != ZR_REPLACE_DONE)
    return refusal;
  // One rename over the target, which is there either as it was or as the new file; it fails
  // where the target is held open without shared deletion. (Wine's ReplaceFileW moves the
  // target aside under a name from GetTempFileNameW first, which in a deep folder can be
  // another file's.)
  return MoveFileExW(m_temporary, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? ZR_REPLACE_DONE
             : ZR_REPLACE_CANNOT_CREATE;
}
