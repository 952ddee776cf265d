#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include "common/BoxWatcher.h"
#include "document/Swatches.h"
#include "document/TextFile.h"
#include "document/ScratchFiles.h"

namespace {

std::string TempPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "vc-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<uint32_t> Colors(const CSwatchSet& set) {
  std::vector<uint32_t> out;
  for (CSwatch* s = set.GetFirst(); s; s = CSwatchSet::Next(s))
    out.push_back(s->color.value);
  return out;
}

// Loads text as a swatch file; returns the error box texts shown.
std::vector<std::string> LoadText(const std::string& text) {
  std::string path = TempPath("load.vccolors");
  Write(path, text);
  BoxWatcher watcher("Vellumcraft :: Error");
  bool ok = LoadSwatchSet(path.c_str());
  if (!ok)
    watcher.WaitFor(1);
  DeleteFileA(path.c_str());
  return watcher.Texts();
}

}  // namespace

TEST(TextFile, WriterLayoutIsByteExact) {
  std::string path = TempPath("layout.txt");
  CTextWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  EXPECT_TRUE(writer.BeginBlock("ROOT"));
  EXPECT_TRUE(writer.WriteValue("A", "x y"));
  EXPECT_TRUE(writer.BeginBlock("CHILD"));
  EXPECT_TRUE(writer.WriteValue("B", "1"));
  EXPECT_TRUE(writer.Close());  // ends both blocks
  EXPECT_EQ("ROOT\r\n {\r\n A \"x y\";\r\n CHILD\r\n  {\r\n  B \"1\";\r\n  }\r\n }\r\n", Read(path));
  DeleteFileA(path.c_str());
}

TEST(TextFile, ReaderSkipsUnknownEntriesAndNestedBlocks) {
  std::string path = TempPath("read.txt");
  Write(path, "root{skip \"a \"\"quoted\"\" ; { }\";deep{x{y\"}\";}z;}\n\tkey\"value \"\"q\"\"\";last{}}");
  CTextReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  char keyword[16], value[32];
  ASSERT_TRUE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_STREQ("root", keyword);
  ASSERT_TRUE(reader.EnterBlock());
  ASSERT_TRUE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_STREQ("skip", keyword);
  // Not reading its value: the next keyword skips it, and the whole "deep" block.
  ASSERT_TRUE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_STREQ("deep", keyword);
  ASSERT_TRUE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_STREQ("key", keyword);
  ASSERT_TRUE(reader.ReadValue(value, sizeof value));
  EXPECT_STREQ("value \"q\"", value);
  ASSERT_TRUE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_STREQ("last", keyword);
  EXPECT_FALSE(reader.ReadValue(value, sizeof value));  // a block, not a string
  EXPECT_FALSE(reader.error.IsFailed());
  ASSERT_TRUE(reader.EnterBlock());
  EXPECT_FALSE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_TRUE(reader.LeaveBlock());
  EXPECT_FALSE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_TRUE(reader.LeaveBlock());
  EXPECT_FALSE(reader.LeaveBlock());  // depth 0
  EXPECT_FALSE(reader.ReadKeyword(keyword, sizeof keyword));
  EXPECT_FALSE(reader.error.IsFailed());
  reader.Close();
  DeleteFileA(path.c_str());
}

TEST(TextFile, ReaderErrors) {
  std::string path = TempPath("errors.txt");
  auto firstError = [&](const std::string& text, int keywordSize, int valueSize) {
    Write(path, text);
    CTextReader reader;
    reader.Open(path.c_str());
    char keyword[64], value[64];
    while (reader.ReadKeyword(keyword, keywordSize)) {
      reader.ReadValue(value, valueSize);
      reader.EnterBlock();
    }
    std::string message = reader.error.GetMessage();
    reader.Close();
    return message;
  };
  EXPECT_EQ("Keyword is too long", firstError("abcdef \"x\";", 4, 64));
  EXPECT_EQ("Value is too long", firstError("a \"abcdef\";", 64, 4));
  EXPECT_EQ("Buffer is too small", firstError("a;", 1, 64));
  EXPECT_EQ("Invalid Data", firstError("a = \"x\";", 64, 64));
  EXPECT_EQ("Invalid data", firstError("a \"never closed", 64, 64));
  EXPECT_EQ("Invalid data", firstError("a { b { c \"x\";", 64, 64));
  DeleteFileA(path.c_str());
}

TEST(SwatchSet, DefaultsAndTheSearchIndex) {
  CSwatchSet set;
  set.SetDefaults();
  ASSERT_EQ(48, set.GetCount());
  const uint32_t greys[] = {0, 25, 51, 76, 102, 127, 153, 178, 204, 229, 255};
  std::vector<uint32_t> colors = Colors(set);
  for (int i = 0; i < 11; ++i)
    EXPECT_EQ(0xFF000000u | greys[i] * 0x010101u, colors[i]) << i;
  EXPECT_EQ(0x00000000u, colors[11]);
  // Hue 0 at 25 %, 50 % and 75 % lightness: (128, 0, 0), (255, 0, 0), (255, 128, 128).
  EXPECT_EQ(0xFF800000u, colors[12]);
  EXPECT_EQ(0xFFFF0000u, colors[24]);
  EXPECT_EQ(0xFFFF8080u, colors[36]);
  // Hue 4/12 (green) at 50 %.
  EXPECT_EQ(0xFF00FF00u, colors[28]);
  for (int32_t n = 1; n <= 48; ++n) {
    CSwatch* s = set.FindByNumber(n);
    ASSERT_NE(nullptr, s) << n;
    EXPECT_EQ(n, s->number);
    EXPECT_EQ(colors[n - 1], s->color.value);
  }
  EXPECT_EQ(nullptr, set.FindByNumber(49));
  EXPECT_EQ(nullptr, set.FindByNumber(0));
}

TEST(SwatchSet, InsertMoveRemoveKeepNumbers) {
  CSwatchSet set;
  CSwatch* a = set.AddColor(CColor(0xFF0000AAu));
  CSwatch* b = set.AddColor(CColor(0xFF0000BBu));
  CSwatch* c = new CSwatch(CColor(0xFF0000CCu));
  set.Insert(c, a);
  EXPECT_EQ((std::vector<uint32_t>{0xFF0000CCu, 0xFF0000AAu, 0xFF0000BBu}), Colors(set));
  EXPECT_EQ(1, c->number);
  EXPECT_EQ(3, b->number);
  set.Move(b, c);
  EXPECT_EQ(b, set.FindByNumber(1));
  set.Move(b, b);  // nothing
  EXPECT_EQ(b, set.FindByNumber(1));
  set.Remove(c);
  EXPECT_EQ(nullptr, c->set);
  EXPECT_EQ(a, set.FindByNumber(2));
  EXPECT_EQ(nullptr, set.FindByNumber(3));
  delete c;
  delete a;  // leaves the set on its own
  EXPECT_EQ(1, set.GetCount());
  EXPECT_EQ(b, set.FindByNumber(1));
  set.BeginUpdate();
  for (int i = 0; i < 100; ++i)
    set.AddColor(CColor(uint32_t(i)));
  set.EndUpdate();
  EXPECT_EQ(101, set.GetCount());
  for (int32_t n = 1; n <= 101; ++n)
    ASSERT_NE(nullptr, set.FindByNumber(n)) << n;
  set.Clear();
  EXPECT_EQ(0, set.GetCount());
  EXPECT_EQ(nullptr, set.FindByNumber(1));
}

TEST(SwatchFiles, SaveAndLoadBack) {
  g_Swatches.SetDefaults();
  std::vector<uint32_t> before = Colors(g_Swatches);
  std::string path = TempPath("round.vccolors");
  ASSERT_TRUE(SaveSwatchSet(path.c_str()));
  std::string text = Read(path);
  EXPECT_EQ(0u, text.find("VELLUMCRAFT.COLORS\r\n {\r\n VERSION \"1.0\";\r\n COLOR\r\n  {\r\n  RGBA255 \"0,0,0\";\r\n  }\r\n"));
  EXPECT_NE(std::string::npos, text.find("RGBA255 \"0,0,0:0\";"));
  g_Swatches.Clear();
  ASSERT_TRUE(LoadSwatchSet(path.c_str()));
  EXPECT_EQ(before, Colors(g_Swatches));
  EXPECT_EQ(48, g_Swatches.FindByNumber(48)->number);
  DeleteFileA(path.c_str());
}

// Loading renumbers and re-indexes the set a fixed number of times, not once per swatch.
TEST(SwatchFiles, LoadingIndexesTheSetOnlyAtTheEnd) {
  std::string text = "VELLUMCRAFT.COLORS { VERSION \"1.0\";";
  for (int i = 0; i < 2000; ++i)
    text += " COLOR { RGBA255 \"" + std::to_string(i % 256) + ",1," + std::to_string(i / 256) + "\"; }";
  text += " }";
  const int64_t before = CSwatchSet::GetIndexRebuilds();
  EXPECT_TRUE(LoadText(text).empty());
  EXPECT_LE(CSwatchSet::GetIndexRebuilds() - before, 8);
  ASSERT_EQ(2000, g_Swatches.GetCount());
  EXPECT_EQ(0xFFCF0107u, g_Swatches.FindByNumber(2000)->color.value);
  EXPECT_EQ(1000, g_Swatches.FindByNumber(1000)->number);
}

TEST(SwatchFiles, ValuesAndUnknownEntries) {
  EXPECT_TRUE(LoadText("vellumcraft.colors { version \"1.0\"; junk { a \"b\"; c { } } "
                       "COLOR { RGBA255 \"10,20,30\"; } COLOR { other \"x\"; RGBA255 \"10,20,30:0\"; } "
                       "COLOR { RGBA255 \"300,1,2\"; RGBA255 \"5,6,7:128\"; } COLOR { } }")
                  .empty());
  EXPECT_EQ((std::vector<uint32_t>{0xFF0A141Eu, 0x000A141Eu, 0x80050607u, 0xFF000000u}), Colors(g_Swatches));
  EXPECT_TRUE(LoadText("VELLUMCRAFT.COLORS { VERSION \"1\"; COLOR { RGBA255 \"300,255,254\"; } }").empty());
  EXPECT_EQ((std::vector<uint32_t>{0xFFFFFFFEu}), Colors(g_Swatches));
}

TEST(SwatchFiles, BadFilesLeaveTheSwatchesUnchanged) {
  g_Swatches.SetDefaults();
  std::vector<uint32_t> before = Colors(g_Swatches);
  EXPECT_EQ((std::vector<std::string>{"Unsupported format"}),
            LoadText("VELLUMCRAFT.COLORS { VERSION \"2.0\"; COLOR { RGBA255 \"1,2,3\"; } }"));
  EXPECT_EQ((std::vector<std::string>{"Unknown file format"}), LoadText("OTHER.FORMAT { VERSION \"1.0\"; }"));
  EXPECT_EQ((std::vector<std::string>{"Invalid data"}),
            LoadText("VELLUMCRAFT.COLORS { VERSION \"1.0\"; COLOR { RGBA255 \"10,20\"; } }"));
  EXPECT_EQ((std::vector<std::string>{"Unsupported format"}), LoadText("VELLUMCRAFT.COLORS { COLOR { } }"));
  EXPECT_EQ((std::vector<std::string>{"Invalid data"}),
            LoadText("VELLUMCRAFT.COLORS { VERSION \"1.0\"; COLOR { RGBA255 \"1,2,3"));
  EXPECT_EQ((std::vector<std::string>{"Unknown file format"}), LoadText(""));
  EXPECT_EQ(before, Colors(g_Swatches));
  BoxWatcher watcher("Vellumcraft :: Error");
  EXPECT_FALSE(LoadSwatchSet(TempPath("missing.vccolors").c_str()));
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ("Cannot open the file", watcher.Texts()[0]);
  EXPECT_EQ(before, Colors(g_Swatches));
}

TEST(SwatchFiles, FailedSaveKeepsThePreviousFile) {
  g_Swatches.SetDefaults();
  ScratchFolder folder;
  const std::string path = folder.File("keep.vccolors");
  Write(path, "previous");
  // A file of the user's that happens to have the name a temporary might take.
  Write(path + ".tmp", "mine");
  BoxWatcher watcher("Vellumcraft :: Error");
  EXPECT_FALSE(SaveSwatchSet(folder.File("no such folder\\x.vccolors").c_str()));
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ("Cannot create the file", watcher.Texts()[0]);
  EXPECT_EQ("previous", Read(path));

  // Read-only: refused before anything is written.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(SaveSwatchSet(path.c_str()));
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ("The file is write-protected", watcher.Texts()[1]);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ("previous", Read(path));

  ASSERT_TRUE(SaveSwatchSet(path.c_str()));
  EXPECT_NE("previous", Read(path));
  EXPECT_EQ("mine", Read(path + ".tmp"));
  std::vector<std::string> files = folder.Files();
  std::sort(files.begin(), files.end());
  EXPECT_EQ((std::vector<std::string>{"keep.vccolors", "keep.vccolors.tmp"}), files);
  EXPECT_EQ(2u, watcher.Count());
}
