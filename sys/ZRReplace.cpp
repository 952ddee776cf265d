#include "sys/ZRReplace.h"
#include <aclapi.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// What the new file takes over from the file it replaces.
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Names tried for a file of this object's before giving up.
const unsigned kAttempts = 1000;
// Units of the target's name that go into the new file's name, so that the new name stays
// within what a file system allows for one name however long the target's is.
const size_t kNameKept = 64;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Bytes moved at a time between the files.
const DWORD kCopyBlock = 65536;

wchar_t* NewText(size_t units) {
  return static_cast<wchar_t*>(std::malloc(units * sizeof(wchar_t)));
}

wchar_t* CopyText(const wchar_t* text) {
  wchar_t* copy = NewText(std::wcslen(text) + 1);
  if (copy)
    std::wcscpy(copy, text);
  return copy;
}

bool StartsWith(const wchar_t* text, const wchar_t* start) {
  return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

bool Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void CloseFile(HANDLE& file) {
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  file = INVALID_HANDLE_VALUE;
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

// The units of full up to and including its last backslash; 0 when it has no name there.
size_t FolderUnits(const wchar_t* full) {
  const wchar_t* slash = std::wcsrchr(full, L'\\');
  return slash && slash[1] ? static_cast<size_t>(slash + 1 - full) : 0;
}

// Writes ".vc<process>-<number>.tmp" at out: the process's own names cannot be those that
// an ended save of another process left behind.
void PutSuffix(wchar_t* out, unsigned number) {
  std::swprintf(out, 32, L".vc%lu-%u.tmp", static_cast<unsigned long>(GetCurrentProcessId()), number);
}

// Creates a file of its own in folder (full's first folder units), named after the name that
// follows them; the file system's error, 0 on success with the handle and the callable path
// set.
DWORD CreateOwnFile(const wchar_t* full, size_t folder, DWORD flags, HANDLE& file, wchar_t*& created) {
  size_t name = std::wcslen(full + folder);
  if (name > kNameKept) {
    name = kNameKept;
    if (IS_HIGH_SURROGATE(full[folder + name - 1]))
      --name;
  }
  DWORD error = ERROR_FILE_EXISTS;
  wchar_t* candidate = NewText(folder + name + 32);
  for (unsigned attempt = 1; candidate && attempt <= kAttempts; ++attempt) {
    std::wmemcpy(candidate, full, folder + name);
    PutSuffix(candidate + folder + name, attempt);
    wchar_t* path = CallablePath(candidate);
    if (!path) {
      error = ERROR_NOT_ENOUGH_MEMORY;
      break;
    }
    const HANDLE made = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (made != INVALID_HANDLE_VALUE) {
      file = made;
      created = path;
      error = 0;
      break;
    }
    error = GetLastError();
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || Exists(path);
    std::free(path);
    if (!taken)
      break;
  }
  std::free(candidate);
  return candidate ? error : ERROR_NOT_ENOUGH_MEMORY;
}

// The temporary folder's full path with its last backslash; null without one.
wchar_t* TemporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || folder[length - 1] != L'\\')
    return nullptr;
  return CopyText(folder);
}

// Creates a file of its own named after full's name, in the temporary folder or, failing
// that, beside full (its first folder units being its folder); whether it could.
bool CreateOwnFileAside(const wchar_t* full, size_t folder, DWORD flags, HANDLE& file, wchar_t*& created) {
  wchar_t* temporary = TemporaryFolder();
  if (temporary) {
    const size_t units = std::wcslen(temporary);
    wchar_t* named = NewText(units + std::wcslen(full + folder) + 1);
    if (named) {
      std::wcscpy(named, temporary);
      std::wcscat(named, full + folder);
      CreateOwnFile(named, units, flags, file, created);
    }
    std::free(named);
  }
  std::free(temporary);
  if (file == INVALID_HANDLE_VALUE)
    CreateOwnFile(full, folder, flags, file, created);
  return file != INVALID_HANDLE_VALUE;
}

// Who owns a file and who may do what with it, as far as the file system tells.
class CFileSecurity {
public:
  explicit CFileSecurity(HANDLE file)
      : m_descriptor(nullptr), m_owner(nullptr), m_group(nullptr), m_list(nullptr), m_read(false) {
    m_read = GetSecurityInfo(file, SE_FILE_OBJECT,
                             OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                             &m_owner, &m_group, &m_list, nullptr, &m_descriptor) == ERROR_SUCCESS;
  }
  ~CFileSecurity() {
    if (m_descriptor)
      LocalFree(m_descriptor);
  }
  CFileSecurity(const CFileSecurity&) = delete;
  CFileSecurity& operator=(const CFileSecurity&) = delete;

  // Both read, or both unreadable alike (a file system without security), and the same.
  bool SameAs(const CFileSecurity& other) const {
    if (!m_read || !other.m_read)
      return m_read == other.m_read;
    return SameSid(m_owner, other.m_owner) && SameSid(m_group, other.m_group) && SameList(m_list, other.m_list);
  }

private:
  static bool SameSid(PSID a, PSID b) { return a && b ? EqualSid(a, b) != 0 : a == b; }
  static bool SameList(PACL a, PACL b) {
    if (!a || !b)
      return a == b;
    if (a->AceCount != b->AceCount)
      return false;
    for (DWORD i = 0; i < a->AceCount; ++i) {
      void* x = nullptr;
      void* y = nullptr;
      if (!GetAce(a, i, &x) || !GetAce(b, i, &y))
        return false;
      const WORD size = static_cast<const ACE_HEADER*>(x)->AceSize;
      if (size != static_cast<const ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0)
        return false;
    }
    return true;
  }

  PSECURITY_DESCRIPTOR m_descriptor;
  PSID m_owner;
  PSID m_group;
  PACL m_list;
  bool m_read;
};

// What the file at path is: the full path that a link of it names, its number of names, and
// its security. Unknown where it cannot be opened to be looked at.
class CTargetFacts {
public:
  explicit CTargetFacts(const wchar_t* path)
      : file(CreateFileW(path, FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr)),
        named(nullptr),
        links(1) {
    if (file == INVALID_HANDLE_VALUE)
      return;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (GetFileInformationByHandle(file, &information))
      links = information.nNumberOfLinks;
    const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    named = size ? NewText(size + 1) : nullptr;
    if (named) {
      const DWORD length = GetFinalPathNameByHandleW(file, named, size + 1, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length == 0 || length > size) {
        std::free(named);
        named = nullptr;
      }
    }
  }
  ~CTargetFacts() {
    CloseFile(file);
    std::free(named);
  }
  CTargetFacts(const CTargetFacts&) = delete;
  CTargetFacts& operator=(const CTargetFacts&) = delete;

  bool Known() const { return file != INVALID_HANDLE_VALUE; }

  HANDLE file;
  wchar_t* named;  // null where the system does not tell
  DWORD links;
};

// Copies every byte of from (from its start) over to's, which ends where they end.
bool CopyAll(HANDLE from, HANDLE to) {
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN) || !SetFilePointerEx(to, start, nullptr, FILE_BEGIN))
    return false;
  void* block = std::malloc(kCopyBlock);
  bool copied = block != nullptr;
  for (DWORD read = 0; copied;) {
    copied = ReadFile(from, block, kCopyBlock, &read, nullptr) != 0;
    if (!copied || read == 0)
      break;
    DWORD written = 0;
    copied = WriteFile(to, block, read, &written, nullptr) && written == read;
  }
  std::free(block);
  return copied && SetEndOfFile(to) && FlushFileBuffers(to);
}

}  // namespace

CZRReplacement::CZRReplacement()
    : m_file(INVALID_HANDLE_VALUE), m_inPlace(INVALID_HANDLE_VALUE), m_target(nullptr), m_temporary(nullptr) {}

CZRReplacement::~CZRReplacement() {
  Abandon();
  std::free(m_target);
}

void CZRReplacement::Abandon() {
  CloseFile(m_file);
  CloseFile(m_inPlace);
  if (m_temporary)
    DeleteFileW(m_temporary);
  std::free(m_temporary);
  m_temporary = nullptr;
}

uint32_t CZRReplacement::Begin(const char* target) {
  Abandon();
  std::free(m_target);
  m_target = nullptr;
  wchar_t* given = target && target[0] ? FullPath(target) : nullptr;
  // A device, or a path without a name after its folder, is no file to write over.
  if (!given || StartsWith(given, L"\\\\.\\") || !FolderUnits(given) || !(m_target = CallablePath(given))) {
    std::free(given);
    return ZR_REPLACE_CANNOT_CREATE;
  }
  std::free(given);
  const DWORD attributes = GetFileAttributesW(m_target);
  uint32_t result = RefusalOf(attributes);
  if (result != ZR_REPLACE_DONE)
    return result;
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return MakeNewFile(m_target, FolderUnits(m_target)) ? ZR_REPLACE_CANNOT_CREATE : ZR_REPLACE_DONE;

  CTargetFacts facts(m_target);
  if (facts.named) {
    // The file a link names is the one written over.
    std::free(m_target);
    m_target = facts.named;
    facts.named = nullptr;
    result = RefusalOf(GetFileAttributesW(m_target));
    if (result != ZR_REPLACE_DONE)
      return result;
  }
  const size_t folder = FolderUnits(m_target);
  if (!folder)
    return ZR_REPLACE_CANNOT_CREATE;
  // A new file beside the target where it can be all the target was; where the target
  // cannot be looked at, as it was.
  bool beside = facts.links <= 1 && MakeNewFile(m_target, folder) == 0;
  if (beside && facts.Known()) {
    const CFileSecurity old(facts.file);
    const CFileSecurity made(m_file);
    beside = old.SameAs(made);
  }
  if (beside)
    return ZR_REPLACE_DONE;
  Abandon();
  return BeginInPlace(m_target, folder);
}

DWORD CZRReplacement::MakeNewFile(const wchar_t* full, size_t folder) {
  return CreateOwnFile(full, folder, FILE_FLAG_SEQUENTIAL_SCAN, m_file, m_temporary);
}

uint32_t CZRReplacement::BeginInPlace(const wchar_t* full, size_t folder) {
  m_inPlace = CreateFileW(full, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (m_inPlace == INVALID_HANDLE_VALUE)
    return ZR_REPLACE_CANNOT_CREATE;
  // The new data's file goes when it is closed, whatever ends this process.
  const DWORD flags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
  wchar_t* created = nullptr;
  CreateOwnFileAside(full, folder, flags, m_file, created);
  std::free(created);
  if (m_file == INVALID_HANDLE_VALUE) {
    CloseFile(m_inPlace);
    return ZR_REPLACE_CANNOT_CREATE;
  }
  return ZR_REPLACE_DONE;
}

uint32_t CZRReplacement::Commit() {
  if (m_file == INVALID_HANDLE_VALUE)
    return ZR_REPLACE_CANNOT_CREATE;
  if (!FlushFileBuffers(m_file)) {
    Abandon();
    return ZR_REPLACE_WRITE_FAILED;
  }
  if (WritesInPlace()) {
    const uint32_t result = WriteInPlace(m_file);
    Abandon();
    return result;
  }
  WIN32_FILE_ATTRIBUTE_DATA target = {};
  const bool exists = GetFileAttributesExW(m_target, GetFileExInfoStandard, &target) != 0;
  if (exists)
    TakeOverFromTarget(target);
  const bool closed = CloseHandle(m_file) != 0;
  m_file = INVALID_HANDLE_VALUE;
  uint32_t result = closed ? Swap(exists ? target.dwFileAttributes : INVALID_FILE_ATTRIBUTES) : ZR_REPLACE_WRITE_FAILED;
  if (result == ZR_REPLACE_CANNOT_CREATE && exists) {
    // The target's name cannot be taken over (another program holds it open, say): its own
    // bytes are written over where it can be written.
    m_inPlace = CreateFileW(m_target, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE source = WritesInPlace() ? CreateFileW(m_temporary, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                                    : INVALID_HANDLE_VALUE;
    if (source != INVALID_HANDLE_VALUE)
      result = WriteInPlace(source);
    CloseFile(source);
  }
  if (result == ZR_REPLACE_DONE && !WritesInPlace()) {
    std::free(m_temporary);
    m_temporary = nullptr;
  }
  Abandon();
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

uint32_t CZRReplacement::Swap(DWORD attributes) {
  // Nothing to replace: the new file takes the name, unless a file took it meanwhile.
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return MoveFileExW(m_temporary, m_target, MOVEFILE_WRITE_THROUGH) ? ZR_REPLACE_DONE : ZR_REPLACE_CANNOT_CREATE;
  const uint32_t refusal = RefusalOf(attributes);
  if (refusal != ZR_REPLACE_DONE)
    return refusal;
  // One rename over the target, which is there either as it was or as the new file. (Wine's
  // ReplaceFileW moves the target aside under a name from GetTempFileNameW first, which in a
  // deep folder can be another file's.)
  return MoveFileExW(m_temporary, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? ZR_REPLACE_DONE
             : ZR_REPLACE_CANNOT_CREATE;
}

uint32_t CZRReplacement::WriteInPlace(HANDLE source) {
  // A complete copy of the target's bytes first, in the temporary folder (or beside the
  // target); it stays there should even putting them back fail.
  HANDLE copy = INVALID_HANDLE_VALUE;
  wchar_t* copyPath = nullptr;
  if (!CreateOwnFileAside(m_target, FolderUnits(m_target), 0, copy, copyPath))
    return ZR_REPLACE_CANNOT_CREATE;
  uint32_t result = ZR_REPLACE_WRITE_FAILED;
  bool keepCopy = false;
  if (CopyAll(m_inPlace, copy)) {
    if (CopyAll(source, m_inPlace))
      result = ZR_REPLACE_DONE;
    else
      keepCopy = !CopyAll(copy, m_inPlace);
  }
  CloseFile(copy);
  if (!keepCopy)
    DeleteFileW(copyPath);
  std::free(copyPath);
  return result;
}
