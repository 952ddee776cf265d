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
