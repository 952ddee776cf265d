// The replacement of a file by a new one written beside it, for every form of path.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "common/ReplacedFile.h"
#include <algorithm>
#include "sys/ZR.h"

namespace {

// Writes bytes through a replacement of path and commits; the replacement's result.
uint32_t Replace(const std::string& path, const std::string& bytes) {
  CZRReplacement replacement;
  const uint32_t begun = replacement.Begin(path.c_str());
  if (begun != ZR_REPLACE_DONE)
    return begun;
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(replacement.GetHandle(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  return replacement.Commit();
}

// The same, through the road Begin chose, reported in inPlace.
uint32_t Replace(const std::string& path, const std::string& bytes, bool& inPlace) {
  CZRReplacement replacement;
  const uint32_t begun = replacement.Begin(path.c_str());
  inPlace = replacement.WritesInPlace();
  if (begun != ZR_REPLACE_DONE)
    return begun;
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(replacement.GetHandle(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  return replacement.Commit();
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = LoadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The current folder for the object's lifetime.
class CurrentFolder {
public:
  explicit CurrentFolder(const std::string& folder) {
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(folder.c_str());
  }
  ~CurrentFolder() { SetCurrentDirectoryA(saved); }

private:
  char saved[MAX_PATH];
};

}  // namespace

TEST(Replacement, TheNewFileIsMadeInTheTargetsFolderWhateverThePathsForm) {
  ScratchFolder folder;
  StoreBytes(folder.File("old.bin"), {1, 2, 3});
  std::string slashed = folder.File("old.bin");
  for (char& c : slashed)
    if (c == '\\')
      c = '/';
  EXPECT_EQ(Replace(slashed, "slashes"), ZR_REPLACE_DONE);
  EXPECT_EQ(Text(folder.File("old.bin")), "slashes");
  {
    CurrentFolder current(folder.path);
    EXPECT_EQ(Replace("old.bin", "bare"), ZR_REPLACE_DONE);
    EXPECT_EQ(Text(folder.File("old.bin")), "bare");
    // Relative to the current folder of the drive.
    ASSERT_EQ(folder.path.substr(1, 2), ":\\");
    EXPECT_EQ(Replace(folder.path.substr(0, 2) + "old.bin", "drive"), ZR_REPLACE_DONE);
    EXPECT_EQ(Text(folder.File("old.bin")), "drive");
    EXPECT_EQ(Replace("new.bin", "new"), ZR_REPLACE_DONE);
  }
  EXPECT_EQ(Text(folder.File("new.bin")), "new");
  // A name longer than the start of it that the new file's name takes.
  const std::string longName(200, 'n');
  EXPECT_EQ(Replace(folder.File(longName.c_str()), "long"), ZR_REPLACE_DONE);
  EXPECT_EQ(Text(folder.File(longName.c_str())), "long");
  EXPECT_EQ(folder.Files().size(), 3u);
}

TEST(Replacement, WhatCannotBeWrittenOverIsRefusedAndAnAbandonedFileGoes) {
  ScratchFolder folder;
  const std::string path = folder.File("old.bin");
  StoreBytes(path, {1, 2, 3});
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  CZRReplacement replacement;
  EXPECT_EQ(replacement.Begin(path.c_str()), ZR_REPLACE_WRITE_PROTECTED);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  for (const std::string& refused : {std::string(), folder.path, folder.path + "\\", std::string("NUL"),
                                     folder.File("missing\\x.bin")})
    EXPECT_EQ(replacement.Begin(refused.c_str()), ZR_REPLACE_CANNOT_CREATE) << refused;
  EXPECT_EQ(replacement.Begin(nullptr), ZR_REPLACE_CANNOT_CREATE);
  EXPECT_EQ(replacement.Commit(), ZR_REPLACE_CANNOT_CREATE);

  ASSERT_EQ(replacement.Begin(path.c_str()), ZR_REPLACE_DONE);
  EXPECT_EQ(folder.Files().size(), 2u);
  replacement.Abandon();
  EXPECT_EQ(folder.Files(), std::vector<std::string>{"old.bin"});
  EXPECT_EQ(LoadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(Replacement, InTheDeepestFolderWhereTheTargetFitsTheSwapTakesNoOtherName) {
  for (const DWORD attributes : {DWORD(FILE_ATTRIBUTE_ARCHIVE), kHiddenSystem}) {
    SCOPED_TRACE(attributes);
    ExistingFile target("t", MAX_PATH - 1);
    target.AddBystanders({"t.vc1.tmp", "rf", "rf.tmp"});
    ASSERT_TRUE(SetFileAttributesA(target.path.c_str(), attributes));
    EXPECT_EQ(Replace(target.path, "new"), ZR_REPLACE_DONE);
    EXPECT_EQ(GetFileAttributesA(target.path.c_str()), attributes);
    const std::vector<uint8_t> written = target.Replacement();
    EXPECT_EQ(std::string(written.begin(), written.end()), "new");
    EXPECT_EQ(target.folder.Files(), std::vector<std::string>{});
  }
}

TEST(Replacement, AFileWithAnAccessListOfItsOwnKeepsIt) {
  ScratchFolder folder;
  const std::string path = folder.File("old.bin");
  StoreBytes(path, {1, 2, 3});
  // A list of its own: everyone may do everything, and the users' group is named for reading.
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID everyone = nullptr;
  PSID users = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0,
                                       &users));
  uint8_t list[256];
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(list), sizeof list, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(list), ACL_REVISION, FILE_ALL_ACCESS, everyone));
  ASSERT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(list), ACL_REVISION, FILE_GENERIC_READ, users));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(list), FALSE));
  ASSERT_TRUE(SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor));
  auto dacl = [](const std::string& file) {
    std::vector<uint8_t> bytes(1024);
    DWORD size = 0;
    if (!GetFileSecurityA(file.c_str(), DACL_SECURITY_INFORMATION, bytes.data(), 1024, &size))
      return std::vector<uint8_t>();
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    GetSecurityDescriptorDacl(bytes.data(), &present, &acl, &defaulted);
    return present && acl ? std::vector<uint8_t>(reinterpret_cast<uint8_t*>(acl),
                                                 reinterpret_cast<uint8_t*>(acl) + acl->AclSize)
                          : std::vector<uint8_t>();
  };
  const std::vector<uint8_t> before = dacl(path);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(Replace(path, "new"), ZR_REPLACE_DONE);
  EXPECT_EQ(Text(path), "new");
  EXPECT_TRUE(dacl(path) == before);
  FreeSid(everyone);
  FreeSid(users);
}

TEST(Replacement, TheNewFileIsMadeBesideWhateverTheTargetsNameAndLeftoversBesideIt) {
  ScratchFolder folder;
  // The longest name a file may have, and a thousand files that ended saves of other
  // processes left beside a target.
  const std::string longest = folder.File(std::string(255, 'n').c_str());
  StoreBytes(longest, {1});
  bool inPlace = true;
  EXPECT_EQ(Replace(longest, "long", inPlace), ZR_REPLACE_DONE);
  EXPECT_FALSE(inPlace);
  EXPECT_EQ(Text(longest), "long");
  const std::string path = folder.File("old.bin");
  StoreBytes(path, {1, 2, 3});
  for (int i = 1; i <= 1000; ++i) {
    StoreBytes(path + ".vc" + std::to_string(i) + ".tmp", {});
    StoreBytes(path + ".vc" + std::to_string(i) + "-1.tmp", {});
  }
  EXPECT_EQ(Replace(path, "new", inPlace), ZR_REPLACE_DONE);
  EXPECT_FALSE(inPlace);
  EXPECT_EQ(Text(path), "new");
  EXPECT_EQ(folder.Files().size(), 2002u);
}

TEST(Replacement, AWriteOverTheTargetThatFailsPutsItsBytesBack) {
  // The flushes: the new data's, the copy's of the old bytes, then the target's.
  for (const int failing : {1, 2, 3}) {
    SCOPED_TRACE(failing);
    ExistingFile target("t");
    ASSERT_TRUE(CreateHardLinkA((target.dir + "\\u").c_str(), target.path.c_str(), nullptr));
    char temporary[MAX_PATH];
    GetTempPathA(MAX_PATH, temporary);
    const std::vector<std::string> before = FilesIn(temporary);
    bool inPlace = false;
    {
      FailingFileCalls full(nullptr, "", failing);
      EXPECT_EQ(Replace(target.path, std::string(5000, 'x'), inPlace), ZR_REPLACE_WRITE_FAILED);
      EXPECT_EQ(FailingFileCalls::Flushes(), failing == 3 ? 4 : failing);
    }
    EXPECT_TRUE(inPlace);
    EXPECT_TRUE(LoadBytes(target.path) == target.old);
    EXPECT_TRUE(LoadBytes(target.dir + "\\u") == target.old);
    EXPECT_EQ(target.folder.Files().size(), 2u);
    EXPECT_EQ(FilesIn(temporary), before);
    DeleteFileA((target.dir + "\\u").c_str());
  }
}
