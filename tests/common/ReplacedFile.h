#pragma once
// A file that a write replaces, in a folder of its own: whether it stayed byte for byte, or
// the new file took its place, with nothing else left beside it; and the checks that every
// helper writing over a file must pass.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "common/HeldFile.h"
#include "common/ImportStandIn.h"
#include "common/UnixFiles.h"
#include "document/ScratchFiles.h"

class ExistingFile {
public:
  // pathLength: the file's path gets exactly that many characters, its folder being a
  // folder inside the scratch folder; 0 puts the file in the scratch folder itself.
  explicit ExistingFile(const char* fileName, size_t pathLength = 0)
      : dir(FolderFor(folder, fileName, pathLength)), name(fileName), path(dir + "\\" + fileName) {
    for (int i = 0; i < 1000; ++i)
      old.push_back(static_cast<uint8_t>(7 * i + 3));
    StoreBytes(path, old);
  }
  ~ExistingFile() {
    if (dir != folder.path)
      RemoveScratchFolder(dir);
  }
  ExistingFile(const ExistingFile&) = delete;
  ExistingFile& operator=(const ExistingFile&) = delete;

  // Files of the user's beside the target, each holding its own name (their paths may pass
  // MAX_PATH).
  void AddBystanders(const std::vector<std::string>& names) {
    for (const std::string& other : names) {
      const HANDLE file = CreateFileW(LongPath(dir + "\\" + other).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE) << other;
      DWORD written = 0;
      EXPECT_TRUE(WriteFile(file, other.data(), static_cast<DWORD>(other.size()), &written, nullptr));
      CloseHandle(file);
      bystanders.push_back(other);
    }
  }

  void ExpectKept() const {
    ExpectOnlyTheseFiles();
    EXPECT_TRUE(LoadBytes(path) == old);
  }
  // What took the old file's place.
  std::vector<uint8_t> Replacement() const {
    ExpectOnlyTheseFiles();
    return LoadBytes(path);
  }

  ScratchFolder folder;
  const std::string dir;
  const std::string name;
  const std::string path;
  std::vector<uint8_t> old;
  std::vector<std::string> bystanders;

private:
  static std::string FolderFor(const ScratchFolder& scratch, const char* fileName, size_t pathLength) {
    if (!pathLength)
      return scratch.path;
    const size_t used = scratch.path.size() + 2 + std::string(fileName).size();
    std::string deep = scratch.path + "\\" + std::string(pathLength > used ? pathLength - used : 1, 'd');
    CreateDirectoryW(LongPath(deep).c_str(), nullptr);
    return deep;
  }
  // The folder holds the target and the bystanders, each as it was put there.
  void ExpectOnlyTheseFiles() const {
    std::vector<std::string> expected = bystanders;
    expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> files = FilesIn(dir);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, expected);
    for (const std::string& other : bystanders) {
      const HANDLE file = CreateFileW(LongPath(dir + "\\" + other).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
      char bytes[256] = {};
      DWORD read = 0;
      EXPECT_TRUE(file != INVALID_HANDLE_VALUE && ReadFile(file, bytes, sizeof bytes, &read, nullptr)) << other;
      if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
      EXPECT_EQ(std::string(bytes, read), other);
    }
  }
};

// The size past which no file of the test program may grow in the full-disk run (its writes
// fail there, as on a full disk); 0 in the ordinary run.
inline uint64_t FileSizeLimit() {
  const char* limit = std::getenv("VC_FILE_SIZE_LIMIT");
  return limit ? std::strtoull(limit, nullptr, 10) : 0;
}

// The checks of a helper that writes over a file. write writes its document to the path and
// returns "" on success, else what it reported (a message, or a plug-in's error code as
// digits). The document's file must be larger than the full-disk run's limit and smaller than
// the helper's buffer, so that in that run nothing fails before the last write.
struct ReplacingWrite {
  const char* name;  // of the target: one character, so that the deepest folder is 257
  std::function<std::string(const std::string& path)> write;
  std::string cannotCreate;  // reported when the new file cannot take the target's place
  std::string writeFailed;   // reported when the data does not reach the disk
  HMODULE module = nullptr;  // whose file calls the write makes; null: the test program's
};

// Buffer size of every helper's stream.
constexpr size_t kReplacingBufferSize = 65536;

inline void ExpectFileSizeForTheFullDiskRun(size_t size) {
  EXPECT_GT(size, static_cast<size_t>(VC_FILE_SIZE_LIMIT));
  EXPECT_LT(size, kReplacingBufferSize);
}

// The attributes that a replaced file keeps.
constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The new file is made beside the target in every folder of 250 characters and more where
// the target's path still fits in MAX_PATH, and a hidden system target stays one. Files there
// under the names that GetTempFileName cuts its names to in such folders stay as they are.
inline void ExpectReplacesInDeepFolders(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  const size_t longest = MAX_PATH - 1;
  for (size_t length = 250 + 1 + std::string(w.name).size(); length <= longest; ++length) {
    SCOPED_TRACE(length);
    ExistingFile target(w.name, length);
    ASSERT_EQ(target.path.size(), length);
    target.AddBystanders({"v", "vc"});
    ASSERT_TRUE(SetFileAttributesA(target.path.c_str(), kHiddenSystem));
    ASSERT_EQ(w.write(target.path), "");
    EXPECT_EQ(GetFileAttributesA(target.path.c_str()) & kHiddenSystem, kHiddenSystem);
    const std::vector<uint8_t> written = target.Replacement();
    EXPECT_FALSE(written == target.old);
    if (length == longest)
      ExpectFileSizeForTheFullDiskRun(written.size());
  }
}

// Files under the names that a new file would take (those of the helpers' own scheme, those
// of GetTempFileName's, in the deepest folder also those it cuts its names to, and that of the
// system's own replacement) stay as they are, in an ordinary folder and in the deepest one
// where the target's path fits in MAX_PATH.
inline void ExpectLeavesOtherFilesAlone(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  std::vector<std::string> taken;
  for (int i = 1; i <= 3; ++i)
    taken.push_back(std::string(w.name) + ".vc" + std::to_string(i) + ".tmp");
  taken.push_back(std::string(w.name) + ".tmp");
  for (const char* name : {"vc1.tmp", "vc2.tmp", "vcFFFF.tmp", "v", "vc", "rf"})
    taken.push_back(name);
  for (const size_t length : {size_t(0), size_t(MAX_PATH - 1)}) {
    SCOPED_TRACE(length);
    ExistingFile target(w.name, length);
    target.AddBystanders(taken);
    ASSERT_EQ(w.write(target.path), "");
    EXPECT_FALSE(target.Replacement() == target.old);
  }
}

// A hidden system file stays one.
inline void ExpectKeepsTheAttributes(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  ASSERT_TRUE(SetFileAttributesA(target.path.c_str(), kHiddenSystem));
  ASSERT_EQ(w.write(target.path), "");
  EXPECT_EQ(GetFileAttributesA(target.path.c_str()) & kHiddenSystem, kHiddenSystem);
  EXPECT_FALSE(target.Replacement() == target.old);
}

// A target that another program holds open cannot be replaced: that is reported, and the
// target stays with nothing beside it.
inline void ExpectKeepsAHeldTarget(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  {
    HeldFile held(target.path);
    ASSERT_TRUE(held.IsHeld());
    EXPECT_EQ(w.write(target.path), w.cannotCreate);
  }
  target.ExpectKept();
}

// In the full-disk run: the last write of the buffer fails, which is reported, and the
// target stays with nothing beside it.
inline void ExpectKeepsTheTargetWhenTheLastWriteFails(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  EXPECT_EQ(w.write(target.path), w.writeFailed);
  target.ExpectKept();
}

// File calls of a writing module that fail as the test says, for the object's lifetime.
class FailingFileCalls {
public:
  // CREATE_NEW in folder ("" for none) is refused as access denied; the given call of
  // FlushFileBuffers (0: none) fails as on a full disk.
  FailingFileCalls(HMODULE module, const std::string& folder, int failingFlush)
      : m_create(Module(module), "CreateFileW", reinterpret_cast<void*>(CreateFile)),
        m_flush(Module(module), "FlushFileBuffers", reinterpret_cast<void*>(Flush)) {
    RefusedFolder() = folder.empty() ? std::wstring() : LongPath(folder).substr(4) + L"\\";
    Flushes() = 0;
    FailingFlush() = failingFlush;
    EXPECT_TRUE(m_create.Installed() && m_flush.Installed());
  }
  ~FailingFileCalls() {
    RefusedFolder().clear();
    FailingFlush() = 0;
  }

  static int& Flushes() {
    static int count = 0;
    return count;
  }

private:
  static HMODULE Module(HMODULE module) { return module ? module : GetModuleHandleA(nullptr); }
  static std::wstring& RefusedFolder() {
    static std::wstring folder;
    return folder;
  }
  static int& FailingFlush() {
    static int call = 0;
    return call;
  }
  static HANDLE WINAPI CreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile) {
    std::wstring path = name ? name : L"";
    if (path.compare(0, 4, L"\\\\?\\") == 0)
      path = path.substr(4);
    const std::wstring& refused = RefusedFolder();
    if (disposition == CREATE_NEW && !refused.empty() && path.size() > refused.size() &&
        CompareStringOrdinal(path.c_str(), static_cast<int>(refused.size()), refused.c_str(),
                             static_cast<int>(refused.size()), TRUE) == CSTR_EQUAL &&
        path.find(L'\\', refused.size()) == std::wstring::npos) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    return ImportStandIn::Real<decltype(&CreateFileW)>("CreateFileW")(name, access, share, security, disposition,
                                                                        flags, templateFile);
  }
  static BOOL WINAPI Flush(HANDLE file) {
    if (++Flushes() == FailingFlush()) {
      SetLastError(ERROR_DISK_FULL);
      return FALSE;
    }
    return ImportStandIn::Real<decltype(&FlushFileBuffers)>("FlushFileBuffers")(file);
  }

  ImportStandIn m_create;
  ImportStandIn m_flush;
};

// The file a symbolic link names takes the new data, in its own folder, and the link stays
// the link it was.
inline void ExpectWritesThroughASymbolicLink(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  ScratchFolder elsewhere;
  const std::string link = elsewhere.File(w.name);
  ASSERT_EQ(MakeSymbolicLink(target.path, link), "");
  EXPECT_EQ(w.write(link), "");
  EXPECT_EQ(SymbolicLinkTarget(link), UnixPathOf(target.path));
  EXPECT_FALSE(target.Replacement() == target.old);
  EXPECT_TRUE(LoadBytes(link) == LoadBytes(target.path));
  EXPECT_EQ(elsewhere.Files(), std::vector<std::string>{w.name});
  RemoveSymbolicLink(link);
}

// Both names of a file with two take the new data.
inline void ExpectWritesThroughAHardLink(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  const std::string other = target.dir + "\\other";
  ASSERT_TRUE(CreateHardLinkA(other.c_str(), target.path.c_str(), nullptr));
  ASSERT_EQ(w.write(target.path), "");
  const std::vector<uint8_t> written = LoadBytes(target.path);
  EXPECT_FALSE(written == target.old);
  EXPECT_TRUE(LoadBytes(other) == written);
  EXPECT_EQ(target.folder.Files().size(), 2u);
}

// A private file stays exactly as private, and another user's group-writable file stays
// theirs and as writable; both take the new data.
inline void ExpectKeepsTheOwnerAndTheMode(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  for (const char* owner : {"", "nobody"}) {
    ExistingFile target(w.name);
    const char* mode = owner[0] ? "664" : "600";
    SetUnixModeAndOwner(target.path, mode, owner);
    const std::string before = UnixModeAndOwner(target.path);
    ASSERT_EQ(before.substr(0, 3), mode);
    ASSERT_EQ(w.write(target.path), "") << before;
    EXPECT_EQ(UnixModeAndOwner(target.path), before);
    EXPECT_FALSE(target.Replacement() == target.old);
  }
}

// A writable file in a folder that takes no new file takes the new data.
inline void ExpectWritesInAFolderThatTakesNoNewFile(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  {
    FailingFileCalls refusing(w.module, target.dir, 0);
    ASSERT_EQ(w.write(target.path), "");
  }
  EXPECT_FALSE(target.Replacement() == target.old);
}

// A target that another program holds open, sharing it for reading, writing and deleting,
// takes the new data.
inline void ExpectWritesATargetHeldWithSharing(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  ExistingFile target(w.name);
  {
    HeldFile held(target.path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(held.IsHeld());
    ASSERT_EQ(w.write(target.path), "");
  }
  EXPECT_FALSE(target.Replacement() == target.old);
}

// A flush that fails as on a full disk is reported, whether the new data goes beside the
// target or over it (a target with a second name), and the target stays as it was.
inline void ExpectReportsAFailingFlush(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked);
    ExistingFile target(w.name);
    const std::string other = target.dir + "\\other";
    if (linked)
      ASSERT_TRUE(CreateHardLinkA(other.c_str(), target.path.c_str(), nullptr));
    {
      FailingFileCalls full(w.module, "", 1);
      EXPECT_EQ(w.write(target.path), w.writeFailed);
      EXPECT_GE(FailingFileCalls::Flushes(), 1);
    }
    if (linked) {
      EXPECT_TRUE(LoadBytes(other) == target.old);
      DeleteFileA(other.c_str());
    }
    target.ExpectKept();
  }
}

// A file whose name has the 255 characters a name may have.
inline void ExpectWritesAFileOfTheLongestName(const ReplacingWrite& w) {
  SCOPED_TRACE(w.name);
  const std::string name(255, w.name[0]);
  ExistingFile target(name.c_str());
  ASSERT_EQ(w.write(target.path), "");
  EXPECT_FALSE(target.Replacement() == target.old);
}

// A write over a file keeps everything the file was: its links, its owner and mode, and it
// reaches the file where no new file can take its place.
inline void ExpectKeepsEverythingTheTargetWas(const ReplacingWrite& w) {
  ExpectWritesThroughASymbolicLink(w);
  ExpectWritesThroughAHardLink(w);
  ExpectKeepsTheOwnerAndTheMode(w);
  ExpectWritesInAFolderThatTakesNoNewFile(w);
  ExpectWritesATargetHeldWithSharing(w);
  ExpectReportsAFailingFlush(w);
  ExpectWritesAFileOfTheLongestName(w);
}
