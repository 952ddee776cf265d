// Exports over an existing file: a complete write takes its place, one that fails leaves it
// byte for byte, and neither leaves a file of its own beside it.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "common/ReplacedFile.h"

namespace {

// The plug-in's error code, 0 on success.
int ExportOver(const ExistingFile& target, int type, VCXMultiImage* doc) {
  return Rastrel().exportFile(nullptr, target.path.c_str(), type, doc) ? 0 : Rastrel().LastError();
}

struct Case {
  int type;
  const char* name;
  std::vector<uint8_t> start;  // the first bytes the type writes
};

const Case kCases[] = {{1, "old.bmp", {'B', 'M'}}, {2, "old.ico", {0, 0, 1, 0}}, {3, "old.cur", {0, 0, 2, 0}}};

// Five 128 x 128 icon entries (written as DIBs) or one 300 x 300 bitmap: each file larger
// than the full-disk run's limit.
VCXMultiImage* LargeDocument(int type) {
  if (type == 1)
    return Wrap({MakeIcon(VCX_FORMAT_32, 300, 300, 0, false)});
  std::vector<VCXLayeredImage*> entries;
  for (int i = 0; i < 5; ++i)
    entries.push_back(MakeIcon(VCX_FORMAT_32, 128, 128, 0, true));
  return Wrap(entries);
}

// A document of one 100 x 100 32-bit image with its mask, about 40 KB as an icon or a
// bitmap, owned for the test's lifetime.
class ReplacingExports {
public:
  ReplacingExports() : doc(Wrap({MakeIcon(VCX_FORMAT_32, 100, 100, 0, true)})) {}
  ~ReplacingExports() { VcsFreeMultiImage(doc); }
  ReplacingExports(const ReplacingExports&) = delete;
  ReplacingExports& operator=(const ReplacingExports&) = delete;

  // The icon and the bitmap export, each reporting the plug-in's error code.
  std::vector<ReplacingWrite> Exports() const {
    VCXMultiImage* written = doc;
    auto exporter = [written](int type) {
      return [written, type](const std::string& path) {
        const int code = Rastrel().exportFile(nullptr, path.c_str(), type, written) ? 0 : Rastrel().LastError();
        return code ? std::to_string(code) : std::string();
      };
    };
    return {{"i", exporter(2), "10", "12", Rastrel().module}, {"b", exporter(1), "10", "12", Rastrel().module}};
  }

  VCXMultiImage* doc;
};

}  // namespace

TEST(ExportOverAFile, WorksInFoldersOf250CharactersAndMore) {
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectReplacesInDeepFolders(w);
}

TEST(ExportOverAFile, LeavesFilesUnderTheNamesItMightTakeAlone) {
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectLeavesOtherFilesAlone(w);
}

TEST(ExportOverAFile, AHiddenSystemFileStaysOne) {
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectKeepsTheAttributes(w);
}

TEST(ExportOverAFile, KeepsEverythingTheFileWas) {
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectKeepsEverythingTheTargetWas(w);
}

TEST(ExportOverAFile, AFileHeldOpenElsewhereIsKept) {
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectKeepsAHeldTarget(w);
}

TEST(FullDisk, AnExportWhoseLastWriteFailsKeepsTheFile) {
  if (!FileSizeLimit())
    GTEST_SKIP() << "runs where files are limited in size (ctest's plugins_rastrel_full_disk)";
  ReplacingExports exports;
  for (const ReplacingWrite& w : exports.Exports())
    ExpectKeepsTheTargetWhenTheLastWriteFails(w);
}

TEST(ExportOverAFile, ACompleteWriteTakesItsPlaceAndAReadOnlyFileIsRefused) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 4, 4, 0, true)});
    ExistingFile target(c.name);
    ASSERT_EQ(ExportOver(target, c.type, doc), 0);
    const std::vector<uint8_t> written = target.Replacement();
    ASSERT_GT(written.size(), c.start.size());
    EXPECT_TRUE(std::vector<uint8_t>(written.begin(), written.begin() + c.start.size()) == c.start);

    ExistingFile locked(c.name);
    SetFileAttributesA(locked.path.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string message;
    EXPECT_EQ(Rastrel().exportFile(nullptr, locked.path.c_str(), c.type, doc), 0);
    EXPECT_EQ(Rastrel().LastError(&message), VCX_ERROR_CREATE);
    EXPECT_EQ(message, "Cannot create file");
    locked.ExpectKept();
    VcsFreeMultiImage(doc);
  }
}

TEST(FullDisk, AWriteThatFailsLeavesTheOldFile) {
  if (!FileSizeLimit())
    GTEST_SKIP() << "runs where files are limited in size (ctest's plugins_rastrel_full_disk)";
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    VCXMultiImage* doc = LargeDocument(c.type);
    ExistingFile target(c.name);
    EXPECT_EQ(ExportOver(target, c.type, doc), VCX_ERROR_WRITE);
    target.ExpectKept();
    VcsFreeMultiImage(doc);
  }
}
