#include <gtest/gtest.h>
#include <windows.h>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "document/ScratchFiles.h"
#include "common/BoxWatcher.h"
#include "common/PeView.h"
#include "common/FileDialogText.h"
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "shell/Application.h"
#include "shell/DialogPoker.h"
#include "shell/FileDialogs.h"
#include "shell/LookAlikeFiles.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "sys/ZR.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"
#include "wul/WULError.h"

namespace {

const char kErrorCaption[] = "Vellumcraft :: Error";

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.rfind('\\') + 1);
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint32_t Pixel(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x * 40) << 16 | static_cast<uint32_t>(y * 30) << 8 | 0x55u; }

// The fixtures folder of a plug-in's tests.
std::string FixtureFolder(const char* plugin) {
  return BinFolder() + "..\\..\\..\\tests\\plugins\\" + plugin + "\\fixtures\\";
}

// Every picture of the plug-ins' test fixtures that a plug-in imports, and the libraries the
// Rastrel tests are built with.
std::vector<std::string> ImportableFixtures() {
  std::vector<std::string> paths;
  for (const char* plugin : {"rastrel", "tga", "psd", "jpeg"}) {
    const std::string folder = FixtureFolder(plugin);
    for (const std::string& name : FilesIn(folder)) {
      std::string type = name.substr(name.rfind('.') + 1);
      for (char& c : type)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      // A library of no images imports nothing.
      const bool picture = type == "bmp" || type == "ico" || type == "cur" || type == "tga" ||
                           type == "psd" || type == "jpg" || type == "dll";
      if (picture && name != "pe-no-images.dll")
        paths.push_back(folder + name);
    }
  }
  return paths;
}

// The controls of a dialog of a plug-in, found and pressed from another thread.
BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

HWND ChildWhere(HWND dialog, const std::function<bool(HWND)>& match) {
  std::vector<HWND> children;
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children)
    if (match(child))
      return child;
  return nullptr;
}

void ClickChildText(HWND dialog, const std::string& text) {
  HWND child = ChildWhere(dialog, [&](HWND w) {
    char buffer[256] = {};
    GetWindowTextA(w, buffer, sizeof buffer);
    return text == buffer;
  });
  EXPECT_NE(nullptr, child) << text;
  if (!child)
    return;
  SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

// Picks the row (from 1) of a kind ("&Icons", "&Cursors", "&Bitmaps") in the chooser of a
// library's images, a click on its list's row of 18 pixels, and takes it with OK.
void ChooseResource(HWND dialog, const std::string& kind, uint32_t row) {
  ClickChildText(dialog, kind);
  HWND list = ChildWhere(dialog, [](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return r.right - r.left == 128 && r.bottom - r.top == 178;
  });
  EXPECT_NE(nullptr, list);
  const LPARAM at = MAKELPARAM(8, (row - 1) * 18 + 9);
  SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list, WM_LBUTTONUP, 0, at);
  ClickChildText(dialog, "OK");
}

// One image of a project as the editor composes it.
struct Composed {
  int32_t width;
  int32_t height;
  int32_t format;
  std::vector<uint32_t> pixels;
  bool operator==(const Composed& o) const {
    return width == o.width && height == o.height && format == o.format && pixels == o.pixels;
  }
};

std::vector<Composed> Composites(CProject* project) {
  std::vector<Composed> images;
  for (CImage* image = project ? project->GetFirstImage() : nullptr; image; image = image->GetNext()) {
    const CPixelArray* c = image->GetComposite();
    const size_t n = c->data ? static_cast<size_t>(c->width) * static_cast<size_t>(c->height) : 0;
    images.push_back({image->GetWidth(), image->GetHeight(), image->GetTargetFormat(),
                      std::vector<uint32_t>(c->data, c->data + n)});
  }
  return images;
}

// The CRC of a PNG chunk's type and data.
uint32_t PngCrc(const uint8_t* bytes, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// The 32-bit pixels, top row first, that an icon (its first entry), a bitmap or a TGA file of
// this size holds, each B, G, R, A read as one value as the pixel arrays hold it; empty when
// the file is not laid out so.
std::vector<uint32_t> WrittenPixels(const std::vector<uint8_t>& b, const std::string& type, int32_t w, int32_t h) {
  size_t bits = 0;
  bool bottomUp = true;
  if (type == "ico") {
    const uint32_t entry = Le32(b, 6 + 12);
    if (Le32(b, entry + 4) != uint32_t(w) || Le32(b, entry + 8) != uint32_t(2 * h) || Le16(b, entry + 14) != 32)
      return {};
    bits = entry + 40;
  } else if (type == "bmp") {
    if (Le32(b, 18) != uint32_t(w) || Le32(b, 22) != uint32_t(h) || Le16(b, 28) != 32 || Le32(b, 30) != 0)
      return {};
    bits = Le32(b, 10);
  } else {
    if (b[2] != 2 || Le16(b, 12) != w || Le16(b, 14) != h || b[16] != 32)
      return {};
    bits = 18 + b[0];
    bottomUp = (b[17] & 0x20) == 0;
  }
  if (b.size() < bits + size_t(4) * w * h)
    return {};
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      pixels.push_back(Le32(b, bits + 4 * (size_t(bottomUp ? h - 1 - y : y) * w + x)));
  return pixels;
}

// What the hooks and the editor UI saw.
struct Seen {
  int openDialogs = 0;
  int saveDialogs = 0;
  int exportDialogs = 0;
  int rebuilds = 0;
  int clears = 0;
  int refits = 0;
  int previews = 0;
  int states = 0;
  std::string title;
  std::string folderIn;
  std::string nameIn;
  bool listProject = false;
  bool listPlugins = false;
  int32_t typeIdIn = 0;
  std::string filterText;
  // What the dialogs answer; an empty name cancels.
  std::string answerFolder;
  std::string answerName;
  int32_t answerTypeId = 0;
  std::string answerPlugin;
};
Seen g_seen;

void Remember(CFileDialogRequest& request) {
  g_seen.title = request.title.text;
  g_seen.folderIn = request.folder.text;
  g_seen.nameIn = request.fileName.text;
  g_seen.listProject = request.listProjectType;
  g_seen.listPlugins = request.listPluginTypes;
  g_seen.typeIdIn = request.selectedTypeId;
  CWULString filter;
  for (CListItem* item = request.filters.first; item; item = item->next)
    AppendFilterEntry(filter, static_cast<CFileTypeEntry*>(item), nullptr);
  g_seen.filterText = filter.text;
}

bool Answer(CFileDialogRequest& request) {
  if (g_seen.answerName.empty())
    return false;
  request.folder.Assign(g_seen.answerFolder.c_str());
  request.fileName.Assign(g_seen.answerName.c_str());
  return true;
}

bool OpenHook(HWND, CFileDialogRequest& request) {
  ++g_seen.openDialogs;
  Remember(request);
  return Answer(request);
}

bool SaveHook(HWND, CFileDialogRequest& request) {
  ++g_seen.saveDialogs;
  Remember(request);
  return Answer(request);
}

bool ExportHook(HWND, CFileDialogRequest& request) {
  ++g_seen.exportDialogs;
  Remember(request);
  if (!Answer(request))
    return false;
  request.selectedTypeId = g_seen.answerTypeId;
  request.selectedPlugin = g_Plugins.FindByName(g_seen.answerPlugin.c_str());
  return true;
}

// Counts what the commands tell the editor UI, for its lifetime.
class CountingUI : public CEditorUI {
public:
  CountingUI() { SetEditorUI(this); }
  ~CountingUI() override { SetEditorUI(nullptr); }
  void RefitToImage() override { ++g_seen.refits; }
  void RefreshPreview() override { ++g_seen.previews; }
  void UpdateCommandStates() override { ++g_seen.states; }
};

class ProjectCommandsTest : public testing::Test {
protected:
  void SetUp() override {
    zrInit();
    g_seen = Seen();
    savedProjectPath = g_Settings.projectFilePath->GetValue();
    savedImportPath = g_Settings.importPath->GetValue();
    savedExportPath = g_Settings.exportPath->GetValue();
    savedExportId = g_Settings.exportFormatId->GetValue();
    savedExportPlugin = g_Settings.exportFormatPlugin->GetValue();
    g_Plugins.Add(CreateBuiltinFormat());
    ScanPluginFolder((BinFolder() + "Plugins").c_str());
    g_Plugins.SortByName();
    BuildFileTypeLists();

    CProjectCommandHooks hooks = {};
    hooks.rebuildProjectPanel = [] { ++g_seen.rebuilds; };
    hooks.clearProjectPanel = [] { ++g_seen.clears; };
    hooks.runOpenDialog = OpenHook;
    hooks.runSaveDialog = SaveHook;
    hooks.runExportDialog = ExportHook;
    SetProjectCommandHooks(&hooks);

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    folder = std::string(temp) + "vc-projcmd-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(counter++);
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  void TearDown() override {
    if (CProject* project = GetCurrentProject()) {
      SetCurrentProject(nullptr);
      delete project;
    }
    try {
      ResyncWorkingCopies();
    } catch (...) {
    }
    SetProjectCommandHooks(nullptr);
    ClearPluginLists();
    g_Settings.projectFilePath->SetValue(savedProjectPath.c_str());
    g_Settings.importPath->SetValue(savedImportPath.c_str());
    g_Settings.exportPath->SetValue(savedExportPath.c_str());
    g_Settings.exportFormatId->SetValue(savedExportId);
    g_Settings.exportFormatPlugin->SetValue(savedExportPlugin.c_str());
    RemoveScratchFolder(folder);
  }

  std::string File(const char* name) const { return folder + "\\" + name; }

  // Paths that do not open: a name of characters outside the code page, as it arrives, and a
  // file that is not there.
  std::vector<std::string> UnopenablePaths() const { return {File("????.vcj"), File("missing.vcj")}; }

  // A current project "Sample" with one opaque 5 x 3 image, modified.
  CProject* MakeCurrent() {
    CProject* project = CreateProject();
    CImage* image = new CImage();
    image->SetSize(5, 3);
    project->AddImage(image);
    image->SetTargetFormat(0x200000);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        layer->GetPixels()->SetPixel(x, y, Pixel(x, y));
    image->SetActiveLayer(layer);
    image->UpdateAll();
    project->SetCurrentImage(image);
    project->SetName("Sample");
    project->SetModified();
    SetCurrentProject(project);
    ResyncWorkingCopies();
    return project;
  }

  static bool HasSamplePixels(CProject* project) {
    if (!project || project->GetImageCount() != 1)
      return false;
    CImage* image = project->GetFirstImage();
    if (image->GetWidth() != 5 || image->GetHeight() != 3)
      return false;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        if (image->GetComposite()->GetPixel(x, y) != Pixel(x, y))
          return false;
    return true;
  }

  // The project of MakeCurrent is still the current one, neither closed nor changed.
  static void ExpectKept(CProject* project) {
    EXPECT_EQ(project, GetCurrentProject());
    EXPECT_TRUE(project->IsModified());
    EXPECT_TRUE(HasSamplePixels(project));
    EXPECT_EQ(0, g_seen.clears);
    EXPECT_EQ(0, g_seen.rebuilds);
  }

  // A 2 x 2 24-bit bottom-up BMP: red, green / blue, white from the top.
  std::string WriteBmp(const char* name) {
    const std::string path = File(name);
    std::vector<uint8_t> bytes(54 + 16, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, 16);
    const uint8_t rows[16] = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0,  // bottom: blue, white
                              0, 0, 0xFF, 0, 0xFF, 0, 0, 0};      // top: red, green
    std::memcpy(&bytes[54], rows, 16);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }

  std::wstring WideFile(const wchar_t* name) const { return WideFileIn(folder, name); }

  // What the program says of the name outside the code page when asked to open it.
  std::string CannotOpenOmega() const { return "Cannot open the file " + File(kOmegaIconShown); }

  std::string WriteText(const char* name, const char* text) {
    const std::string path = File(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text, f);
    std::fclose(f);
    return path;
  }

  CountingUI ui;
  std::string folder;
  std::string savedProjectPath, savedImportPath, savedExportPath, savedExportPlugin;
  uint32_t savedExportId = 0;
};

TEST_F(ProjectCommandsTest, SaveAsAndOpenByPath) {
  CProject* project = MakeCurrent();
  const std::string path = File("first.vcj");
  ASSERT_TRUE(SaveProjectAsFile(path.c_str()));
  EXPECT_STREQ("first", project->GetName());
  EXPECT_EQ(path, project->GetPath());
  EXPECT_FALSE(project->IsModified());
  ASSERT_TRUE(FileExists(path));

  ASSERT_TRUE(CloseProject(SAVE_MODIFIED_DISCARD));
  EXPECT_EQ(nullptr, GetCurrentProject());
  EXPECT_EQ(1, g_seen.clears);
  EXPECT_EQ(1, g_seen.refits);
  EXPECT_EQ(1, g_seen.previews);

  ASSERT_TRUE(OpenProjectFile(path.c_str()));
  CProject* opened = GetCurrentProject();
  ASSERT_NE(nullptr, opened);
  EXPECT_STREQ("first", opened->GetName());
  EXPECT_EQ(path, opened->GetPath());
  EXPECT_FALSE(opened->IsModified());
  EXPECT_TRUE(HasSamplePixels(opened));
  EXPECT_EQ(1, g_seen.rebuilds);
  EXPECT_EQ(0, g_seen.openDialogs);
}

TEST_F(ProjectCommandsTest, SaveUsesTheStoredPathAndAsksOnlyWithoutOne) {
  CProject* project = MakeCurrent();
  // No path yet: Save is Save As, and a cancelled dialog saves nothing.
  EXPECT_FALSE(SaveProjectCommand());
  EXPECT_EQ(1, g_seen.saveDialogs);
  EXPECT_TRUE(project->IsModified());

  const std::string path = File("kept.vcj");
  ASSERT_TRUE(SaveProjectAsFile(path.c_str()));
  DeleteFileA(path.c_str());
  project->SetModified();
  EXPECT_TRUE(SaveProjectCommand());
  EXPECT_EQ(1, g_seen.saveDialogs);
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(project->IsModified());
}

TEST_F(ProjectCommandsTest, SaveAsCommandOffersTheProjectTypeAndRemembersTheFolder) {
  CProject* project = MakeCurrent();
  g_Settings.projectFilePath->SetValue("C:\\start\\");
  g_seen.answerFolder = folder + "\\";
  g_seen.answerName = "chosen.vcj";
  ASSERT_TRUE(SaveProjectAsCommand());
  EXPECT_EQ("Save project as", g_seen.title);
  EXPECT_EQ("Sample", g_seen.nameIn);
  EXPECT_EQ("C:\\start\\", g_seen.folderIn);
  EXPECT_EQ("Vellumcraft project (*.vcj)\t*.vcj\t", g_seen.filterText);
  EXPECT_EQ(1, g_seen.typeIdIn);
  EXPECT_STREQ((folder + "\\").c_str(), g_Settings.projectFilePath->GetValue());
  EXPECT_STREQ("chosen", project->GetName());
  EXPECT_TRUE(FileExists(File("chosen.vcj")));
  EXPECT_FALSE(project->IsModified());
}

TEST_F(ProjectCommandsTest, OpenCommandListsProjectsOnlyAndAsksAboutChangesFirst) {
  MakeCurrent();
  const std::string path = File("other.vcj");
  ASSERT_TRUE(SaveProjectAsFile(path.c_str()));
  GetCurrentProject()->SetModified();
  g_Settings.projectFilePath->SetValue("C:\\projects\\");
  g_seen.answerFolder = folder;
  g_seen.answerName = "other.vcj";
  {
    BoxWatcher cancel("The project is modified", 'C');
    EXPECT_FALSE(OpenProjectCommand());
    ASSERT_EQ(1u, cancel.Count());
    EXPECT_EQ("Save the changes you made to other?", cancel.Texts()[0]);
  }
  EXPECT_EQ(0, g_seen.openDialogs);
  CProject* before = GetCurrentProject();
  {
    BoxWatcher no("The project is modified", 'N');
    ASSERT_TRUE(OpenProjectCommand());
  }
  EXPECT_EQ(1, g_seen.openDialogs);
  EXPECT_EQ("Open project", g_seen.title);
  EXPECT_EQ("C:\\projects\\", g_seen.folderIn);
  EXPECT_TRUE(g_seen.listProject);
  EXPECT_FALSE(g_seen.listPlugins);
  EXPECT_STREQ(folder.c_str(), g_Settings.projectFilePath->GetValue());
  EXPECT_NE(nullptr, GetCurrentProject());
  EXPECT_NE(before, GetCurrentProject());
  EXPECT_TRUE(HasSamplePixels(GetCurrentProject()));
}

TEST_F(ProjectCommandsTest, OpeningWhatIsNoProjectExplainsAndKeepsTheOpenProject) {
  CProject* project = MakeCurrent();
  const std::string bmp = WriteBmp("picture.bmp");
  const std::string unknown = WriteText("notes.xyz", "nothing anybody reads");
  const std::string damaged = WriteText("broken.vcj", "VCP1 but nothing of a project");
  BoxWatcher boxes(kErrorCaption);
  EXPECT_FALSE(OpenProjectFile(bmp.c_str()));
  EXPECT_FALSE(OpenProjectFile(unknown.c_str()));
  EXPECT_FALSE(OpenProjectFile(damaged.c_str()));
  ASSERT_TRUE(boxes.WaitFor(3));
  const std::vector<std::string> texts = boxes.Texts();
  EXPECT_EQ(bmp + " is not a valid Vellumcraft project file.\nUse 'Import' instead of 'Open'", texts[0]);
  EXPECT_EQ(unknown + " is not a valid Vellumcraft project file", texts[1]);
  EXPECT_EQ(damaged + " is not a valid Vellumcraft project file", texts[2]);
  ExpectKept(project);
}

TEST_F(ProjectCommandsTest, AFileThatDoesNotOpenIsReportedSoAndTheOpenProjectStays) {
  CProject* project = MakeCurrent();
  BoxWatcher boxes(kErrorCaption);
  std::vector<std::string> expected;
  for (const std::string& path : UnopenablePaths()) {
    EXPECT_FALSE(OpenProjectFile(path.c_str()));
    EXPECT_FALSE(ImportProjectFile(path.c_str()));
    expected.insert(expected.end(), 2, "Cannot open the file " + path);
  }
  ASSERT_TRUE(boxes.WaitFor(expected.size()));
  EXPECT_EQ(expected, boxes.Texts());
  ExpectKept(project);
}

TEST_F(ProjectCommandsTest, ADamagedProjectFileIsReportedAndTheOpenProjectStays) {
  CProject* project = MakeCurrent();
  const std::string good = File("good.vcj");
  ASSERT_TRUE(SaveProjectAsFile(good.c_str()));
  project->SetModified();
  // The same file cut short: still a project file by its header, but unreadable.
  FILE* f = std::fopen(good.c_str(), "rb");
  std::vector<char> bytes(4096);
  const size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  const std::string cut = File("cut.vcj");
  f = std::fopen(cut.c_str(), "wb");
  std::fwrite(bytes.data(), 1, n * 3 / 4, f);
  std::fclose(f);

  BoxWatcher boxes(kErrorCaption);
  EXPECT_FALSE(OpenProjectFile(cut.c_str()));
  EXPECT_FALSE(ImportProjectFile(cut.c_str()));
  EXPECT_TRUE(boxes.WaitFor(2));
  ExpectKept(project);
  EXPECT_STREQ("good", project->GetName());
}

TEST_F(ProjectCommandsTest, ImportThroughAPluginGivesAProjectWithoutPath) {
  MakeCurrent();
  const std::string bmp = WriteBmp("picture.bmp");
  ASSERT_TRUE(ImportProjectFile(bmp.c_str()));
  CProject* project = GetCurrentProject();
  ASSERT_NE(nullptr, project);
  EXPECT_STREQ("picture", project->GetName());
  EXPECT_STREQ("", project->GetPath());
  EXPECT_FALSE(project->IsModified());
  ASSERT_EQ(1, project->GetImageCount());
  CImage* image = project->GetFirstImage();
  ASSERT_EQ(2, image->GetWidth());
  ASSERT_EQ(2, image->GetHeight());
  EXPECT_EQ(0xFFFF0000u, image->GetComposite()->GetPixel(0, 0));
  EXPECT_EQ(0xFF00FF00u, image->GetComposite()->GetPixel(1, 0));
  EXPECT_EQ(0xFF0000FFu, image->GetComposite()->GetPixel(0, 1));
  EXPECT_EQ(0xFFFFFFFFu, image->GetComposite()->GetPixel(1, 1));
  EXPECT_EQ(1, g_seen.rebuilds);

  // Save asks for a file name.
  EXPECT_FALSE(SaveProjectCommand());
  EXPECT_EQ(1, g_seen.saveDialogs);
  EXPECT_EQ("picture", g_seen.nameIn);
}

TEST_F(ProjectCommandsTest, ImportedIconEntriesHaveTheAlphaPillowShows) {
  // A 32 x 32 ramp of alpha whose AND mask is set where alpha is below 128, at 32 bits
  // (drawn from its alpha) and at 24 bits (drawn through its mask); beside it Pillow's
  // decodes, R, G, B, A per pixel.
  const std::string fixture =
      BinFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\icon-ramp-32x32.ico";
  ASSERT_TRUE(ImportProjectFile(fixture.c_str()));
  CProject* project = GetCurrentProject();
  ASSERT_NE(nullptr, project);
  ASSERT_EQ(2, project->GetImageCount());
  int entry = 0;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext(), ++entry) {
    SCOPED_TRACE(entry);
    std::vector<uint8_t> pillow(4096);
    FILE* f = std::fopen((fixture + "." + std::to_string(entry) + ".rgba").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    const size_t got = std::fread(pillow.data(), 1, pillow.size(), f);
    std::fclose(f);
    ASSERT_EQ(pillow.size(), got);
    ASSERT_EQ(32, image->GetWidth());
    int wrong = 0, faint = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const uint32_t alpha = image->GetComposite()->GetPixel(x, y) >> 24;
        wrong += alpha != pillow[4 * (32 * y + x) + 3];
        faint += alpha >= 1 && alpha <= 127;
      }
    EXPECT_EQ(0, wrong);
    // Columns 1 to 15 of the 32-bit entry: alpha 8 to 123.
    EXPECT_EQ(entry == 0 ? 480 : 0, faint);
  }
}

TEST_F(ProjectCommandsTest, EveryImportedFixtureSavesAsAProjectThatOpensWithTheSamePixels) {
  // Each fixture through its plug-in, converted as the program does: each resource of a
  // library and both sources of a layered PSD document.
  struct Road {
    std::string path;
    std::function<void(HWND)> choose;  // null: no dialog
    std::string caption;
  };
  std::vector<Road> roads;
  for (const std::string& path : ImportableFixtures()) {
    const std::string type = path.substr(path.size() - 3);
    if (type == "dll") {
      const PeView view(LoadBytes(path));
      const struct {
        uint32_t resourceType;
        const char* kind;
      } kinds[] = {{14, "&Icons"}, {12, "&Cursors"}, {2, "&Bitmaps"}};
      uint32_t total = 0;
      for (const auto& k : kinds)
        total += view.Count(k.resourceType);
      if (total == 1) {
        roads.push_back({path, nullptr, ""});
        continue;
      }
      for (const auto& k : kinds)
        for (uint32_t row = 1; row <= view.Count(k.resourceType); ++row) {
          const std::string kind = k.kind;
          roads.push_back({path, [kind, row](HWND dialog) { ChooseResource(dialog, kind, row); },
                           "The file contains more than one image"});
        }
    } else if (type == "psd") {
      for (const char* source : {"Layers", "Composite"})
        roads.push_back({path,
                         [source](HWND dialog) {
                           ClickChildText(dialog, source);
                           ClickChildText(dialog, "OK");
                         },
                         "PSD Import"});
    } else {
      roads.push_back({path, nullptr, ""});
    }
  }
  ASSERT_GE(roads.size(), 90u);
  const std::string saved = File("round-trip.vcj");
  BoxWatcher boxes(kErrorCaption);
  size_t images = 0;
  for (const Road& road : roads) {
    SCOPED_TRACE(road.path);
    bool imported;
    int dialogs = 0;
    if (road.choose) {
      DialogPoker poker(road.caption.c_str(), road.choose);
      imported = ImportProjectFile(road.path.c_str());
      dialogs = poker.Count();
    } else {
      imported = ImportProjectFile(road.path.c_str());
    }
    ASSERT_TRUE(imported);
    // A PSD document without layers asks nothing; a library of several images always does.
    EXPECT_EQ(road.caption == "PSD Import" ? dialogs : (road.choose ? 1 : 0), dialogs);
    const std::vector<Composed> before = Composites(GetCurrentProject());
    ASSERT_FALSE(before.empty());
    images += before.size();
    ASSERT_TRUE(SaveProjectAsFile(saved.c_str()));
    ASSERT_TRUE(OpenProjectFile(saved.c_str()));
    const std::vector<Composed> after = Composites(GetCurrentProject());
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
      EXPECT_TRUE(before[i] == after[i]) << "image " << i + 1;
  }
  EXPECT_EQ(0u, boxes.Count());
  EXPECT_GE(images, roads.size());
}

TEST_F(ProjectCommandsTest, EntriesAndBitmapsWithoutPixelsAreRefusedOnImport) {
  CProject* project = MakeCurrent();
  // Good files with one size field set to 0: in the info header of an icon's second entry, of
  // a bitmap file, of a library's cursor and of the second of a library's two bitmaps (chosen
  // in the chooser, which lists it), and in the header of a PNG entry.
  const std::string rastrel = FixtureFolder("rastrel");
  const std::vector<uint8_t> icon = LoadBytes(rastrel + "icon-multi.ico");
  ASSERT_GE(Le16(icon, 4), 2u);
  const uint32_t second = Le32(icon, 6 + 16 + 12);
  ASSERT_EQ(40u, Le32(icon, second));
  const std::vector<uint8_t> bitmap = LoadBytes(WriteBmp("good.bmp"));
  const std::vector<uint8_t> png = LoadBytes(rastrel + "icon-png-256.ico");
  uint32_t pngEntry = 0;
  for (uint32_t i = 0; i < Le16(png, 4); ++i) {
    const uint32_t at = Le32(png, 6 + 16 * i + 12);
    if (png[at] == 0x89 && std::memcmp(&png[at + 12], "IHDR", 4) == 0)
      pngEntry = at;
  }
  ASSERT_NE(0u, pngEntry);
  const std::vector<uint8_t> cursors = LoadBytes(rastrel + "pe-one-cursor.dll");
  // A cursor resource starts with its hotspot.
  const uint32_t cursor = PeView(cursors).Data(1) + 4;
  ASSERT_EQ(40u, Le32(cursors, cursor));
  const std::vector<uint8_t> bitmaps = LoadBytes(rastrel + "pe-two-bitmaps.dll");
  const uint32_t bitmap21 = PeView(bitmaps).Data(2, 1);
  ASSERT_EQ(40u, Le32(bitmaps, bitmap21));

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t at;
  };
  std::vector<Case> cases = {{"wide.ico", icon, second + 4},    {"high.ico", icon, second + 8},
                             {"wide.bmp", bitmap, 18},          {"high.bmp", bitmap, 22},
                             {"wide-png.ico", png, pngEntry + 16}, {"high-png.ico", png, pngEntry + 20},
                             {"cursor.dll", cursors, cursor + 4},  {"bitmap.dll", bitmaps, bitmap21 + 4}};
  BoxWatcher boxes(kErrorCaption);
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLe32(c.bytes, c.at, 0);
    if (c.bytes.size() == png.size() && c.at >= pngEntry + 16) {
      // The header's CRC made right again, so that only the size is wrong.
      const uint32_t crc = PngCrc(&c.bytes[pngEntry + 12], 4 + 13);
      for (int k = 0; k < 4; ++k)
        c.bytes[pngEntry + 29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    }
    const std::string path = File(c.name);
    StoreBytes(path, c.bytes);
    DialogPoker chooser("The file contains more than one image",
                        [](HWND dialog) { ChooseResource(dialog, "&Bitmaps", 2); });
    EXPECT_FALSE(ImportProjectFile(path.c_str()));
    EXPECT_EQ(std::string(c.name) == "bitmap.dll" ? 1 : 0, chooser.Count());
  }
  ASSERT_TRUE(boxes.WaitFor(cases.size()));
  EXPECT_EQ(std::vector<std::string>(cases.size(), "Invalid data"), boxes.Texts());
  ExpectKept(project);
}

TEST_F(ProjectCommandsTest, ImportCommandListsEveryTypeAndRemembersTheFolder) {
  const std::string bmp = WriteBmp("icon.bmp");
  g_Settings.importPath->SetValue("C:\\imports\\");
  g_seen.answerFolder = folder;
  g_seen.answerName = "icon.bmp";
  ASSERT_TRUE(ImportProjectCommand());
  EXPECT_EQ("Project import", g_seen.title);
  EXPECT_EQ("C:\\imports\\", g_seen.folderIn);
  EXPECT_TRUE(g_seen.listProject);
  EXPECT_TRUE(g_seen.listPlugins);
  EXPECT_STREQ(folder.c_str(), g_Settings.importPath->GetValue());
  ASSERT_NE(nullptr, GetCurrentProject());
  EXPECT_STREQ("icon", GetCurrentProject()->GetName());
}

TEST_F(ProjectCommandsTest, ImportOfAnUnknownFileKeepsTheOpenProject) {
  CProject* project = MakeCurrent();
  const std::string unknown = WriteText("notes.xyz", "plain words");
  BoxWatcher boxes(kErrorCaption);
  EXPECT_FALSE(ImportProjectFile(unknown.c_str()));
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_EQ("Unknown file type", boxes.Texts()[0]);
  ExpectKept(project);
}

TEST_F(ProjectCommandsTest, ExportWritesThePluginsFileAndLeavesTheProjectAlone) {
  CProject* project = MakeCurrent();
  const std::string path = File("out.bmp");
  {
    DialogPoker options("BMP options", DialogPoker::PressFocused);
    ASSERT_TRUE(ExportProjectFile(path.c_str(), 1, "Rastrel"));
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(nullptr, f);
  char magic[2] = {};
  EXPECT_EQ(2u, std::fread(magic, 1, 2, f));
  std::fclose(f);
  EXPECT_EQ('B', magic[0]);
  EXPECT_EQ('M', magic[1]);
  EXPECT_STREQ("Sample", project->GetName());
  EXPECT_STREQ("", project->GetPath());
  EXPECT_TRUE(project->IsModified());

  // Reading it back gives the same pixels.
  ASSERT_TRUE(ImportProjectFile(path.c_str()));
  EXPECT_TRUE(HasSamplePixels(GetCurrentProject()));
}

TEST_F(ProjectCommandsTest, ALoneHiddenOrFadedLayerIsExportedAsTheEditorComposesIt) {
  // One 24 x 24 RGBA image of one layer of every alpha from 0 to 255, hidden or at 50 %,
  // written as an icon, a bitmap and a TGA file.
  const int32_t w = 24, h = 24;
  auto source = [](int x, int y) {
    return static_cast<uint32_t>((y * 24 + x) * 255 / 575) << 24 | static_cast<uint32_t>(x * 10) << 16 |
           static_cast<uint32_t>(y * 10) << 8 | 0x55u;
  };
  struct Writer {
    const char* plugin;
    int32_t type;
    const char* dialog;
    const char* file;
  };
  const Writer writers[] = {{"Rastrel", 2, "ICO options", "lone.ico"},
                            {"Rastrel", 1, "BMP options", "lone.bmp"},
                            {"TGA", 1, "TGA Options", "lone.tga"}};
  for (bool hidden : {true, false}) {
    SCOPED_TRACE(hidden ? "hidden" : "50 %");
    if (CProject* old = GetCurrentProject()) {
      SetCurrentProject(nullptr);
      delete old;
    }
    CProject* project = CreateProject();
    CImage* image = new CImage();
    image->SetSize(w, h);
    project->AddImage(image);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        layer->GetPixels()->SetPixel(x, y, source(x, y));
    layer->SetVisible(!hidden);
    layer->SetOpacity(hidden ? 1.0f : 0.5f);
    image->SetActiveLayer(layer);
    image->UpdateAll();
    project->SetCurrentImage(image);
    SetCurrentProject(project);
    ResyncWorkingCopies();

    // What the editor shows: nothing, or every alpha halved (rounded up).
    std::vector<uint32_t> shown;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t p = source(x, y);
        shown.push_back(hidden ? 0u : (((p >> 24) + 1) >> 1) << 24 | (p & 0xFFFFFFu));
        ASSERT_EQ(shown.back(), image->GetComposite()->GetPixel(x, y));
      }
    for (const Writer& writer : writers) {
      SCOPED_TRACE(writer.file);
      DialogPoker options(writer.dialog, DialogPoker::PressFocused);
      ASSERT_TRUE(ExportProjectFile(File(writer.file).c_str(), writer.type, writer.plugin));
      const std::string path = File(writer.file);
      const std::vector<uint8_t> bytes = LoadBytes(path);
      const std::string type = path.substr(path.size() - 3);
      EXPECT_TRUE(WrittenPixels(bytes, type, w, h) == shown);
      if (type == "ico" && hidden) {
        // With no alpha at all the AND mask draws the entry: every bit transparent.
        const size_t mask = Le32(bytes, 6 + 12) + 40 + size_t(4) * w * h;
        for (size_t i = 0; i < size_t(4) * h; ++i)
          EXPECT_EQ(i % 4 < 3 ? 0xFF : 0x00, bytes[mask + i]) << i;
      }
    }
    // The program's readers take the files back as they were shown, but for the bitmap
    // without any alpha, which reads, as Windows reads it, as opaque.
    for (const Writer& writer : writers) {
      SCOPED_TRACE(writer.file);
      if (hidden && std::string(writer.file) == "lone.bmp")
        continue;
      ASSERT_TRUE(ImportProjectFile(File(writer.file).c_str()));
      const std::vector<Composed> back = Composites(GetCurrentProject());
      ASSERT_EQ(1u, back.size());
      EXPECT_TRUE(back[0].pixels == shown);
    }
  }
}

TEST_F(ProjectCommandsTest, ExportCommandAsTheProjectTypeWritesAProjectFile) {
  CProject* project = MakeCurrent();
  g_Settings.exportPath->SetValue("C:\\exports\\");
  g_Settings.exportFormatId->SetValue(2);
  g_Settings.exportFormatPlugin->SetValue("Rastrel");
  g_seen.answerFolder = folder;
  g_seen.answerName = "copy.vcj";
  g_seen.answerTypeId = 1;
  g_seen.answerPlugin = "INTERNAL FORMATS";
  ASSERT_TRUE(ExportProjectCommand());
  EXPECT_EQ("Project export", g_seen.title);
  EXPECT_EQ("Sample", g_seen.nameIn);
  EXPECT_EQ("C:\\exports\\", g_seen.folderIn);
  EXPECT_EQ(2, g_seen.typeIdIn);
  EXPECT_STREQ(folder.c_str(), g_Settings.exportPath->GetValue());
  EXPECT_EQ(1u, g_Settings.exportFormatId->GetValue());
  EXPECT_STREQ("INTERNAL FORMATS", g_Settings.exportFormatPlugin->GetValue());
  EXPECT_TRUE(FileExists(File("copy.vcj")));
  EXPECT_STREQ("Sample", project->GetName());
  EXPECT_TRUE(project->IsModified());

  CProjectReader reader;
  CProject* copy = reader.Read(File("copy.vcj").c_str());
  EXPECT_TRUE(HasSamplePixels(copy));
  delete copy;

  // A cancelled dialog writes nothing.
  g_seen.answerName.clear();
  EXPECT_FALSE(ExportProjectCommand());
  EXPECT_EQ(2, g_seen.exportDialogs);
}

// A framework error in the export dialog goes on to the loop that shows it.
TEST_F(ProjectCommandsTest, ExportErrorReachesTheCaller) {
  CProject* project = MakeCurrent();
  CProjectCommandHooks hooks = {};
  hooks.runExportDialog = [](HWND, CFileDialogRequest&) -> bool {
    throw CWULError(5, "CWULAppWindow::ShowModal", "Dialog creation failed");
  };
  SetProjectCommandHooks(&hooks);
  try {
    ExportProjectCommand();
    ADD_FAILURE() << "the error did not reach the caller";
  } catch (const CWULError& error) {
    EXPECT_EQ(5, error.code);
  }
  EXPECT_EQ(project, GetCurrentProject());
}

TEST_F(ProjectCommandsTest, ExportCommandThroughTheRealDialog) {
  CProjectCommandHooks hooks = {};
  SetProjectCommandHooks(&hooks);
  CProject* project = MakeCurrent();
  g_Settings.exportPath->SetValue(folder.c_str());
  g_Settings.exportFormatId->SetValue(2);
  g_Settings.exportFormatPlugin->SetValue("Rastrel");
  std::string offered;
  {
    DialogPoker options("ICO options", DialogPoker::PressFocused);
    DialogPoker dialog("Project export", [&](HWND window) {
      offered = FileNameSpec(window);
      PostMessageA(window, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(ExportProjectCommand());
  }
  EXPECT_EQ("Sample.ico", offered);
  EXPECT_TRUE(FileExists(File("Sample.ico")));
  EXPECT_EQ(2u, g_Settings.exportFormatId->GetValue());
  EXPECT_STREQ("Rastrel", g_Settings.exportFormatPlugin->GetValue());
  EXPECT_STREQ((folder + "\\").c_str(), g_Settings.exportPath->GetValue());
  EXPECT_TRUE(project->IsModified());
}

TEST_F(ProjectCommandsTest, OpenCommandThroughTheRealDialog) {
  CProjectCommandHooks hooks = {};
  SetProjectCommandHooks(&hooks);
  MakeCurrent();
  ASSERT_TRUE(SaveProjectAsFile(File("real.vcj").c_str()));
  g_Settings.projectFilePath->SetValue(folder.c_str());
  {
    DialogPoker dialog("Open project", [&](HWND window) {
      ConfirmFileName(window, "real.vcj");
    });
    ASSERT_TRUE(OpenProjectCommand());
  }
  ASSERT_NE(nullptr, GetCurrentProject());
  EXPECT_STREQ("real", GetCurrentProject()->GetName());
  EXPECT_EQ(File("real.vcj"), GetCurrentProject()->GetPath());
  EXPECT_TRUE(HasSamplePixels(GetCurrentProject()));
  EXPECT_STREQ((folder + "\\").c_str(), g_Settings.projectFilePath->GetValue());
}

TEST_F(ProjectCommandsTest, ACommandLineNameOutsideTheCodePageIsRefusedNotTakenForALookAlike) {
  CProject* project = MakeCurrent();
  WriteLookAlikeIcons(folder);
  BoxWatcher boxes(kErrorCaption);
  for (const wchar_t* option : {L"/i ", L""}) {
    CCommandLine line;
    ParseCommandLine((std::wstring(L"Vellumcraft.exe ") + option + L"\"" + WideFile(kOmegaIcon) + L"\"").c_str(), line);
    EXPECT_FALSE(OpenCommandLinePath(line));
  }
  ASSERT_TRUE(boxes.WaitFor(2));
  EXPECT_EQ(std::vector<std::string>(2, CannotOpenOmega()), boxes.Texts());
  ExpectKept(project);

  // The look-alike's own name imports it.
  CCommandLine line;
  ParseCommandLine((L"Vellumcraft.exe /i \"" + WideFile(L"iO.ico") + L"\"").c_str(), line);
  EXPECT_TRUE(OpenCommandLinePath(line));
  ASSERT_NE(nullptr, GetCurrentProject());
  EXPECT_STREQ("iO", GetCurrentProject()->GetName());
}

TEST_F(ProjectCommandsTest, ANameOutsideTheCodePageTypedIntoTheOpenDialogsIsRefused) {
  CProjectCommandHooks hooks = {};
  SetProjectCommandHooks(&hooks);
  CProject* project = MakeCurrent();
  WriteLookAlikeIcons(folder);
  g_Settings.projectFilePath->SetValue(folder.c_str());
  g_Settings.importPath->SetValue(folder.c_str());
  BoxWatcher goOn("The project is modified", 'N');
  BoxWatcher errors(kErrorCaption);
  for (bool import : {false, true}) {
    DialogPoker dialog(import ? "Project import" : "Open project",
                       [](HWND window) { ConfirmFileName(window, std::wstring(kOmegaIcon)); });
    EXPECT_FALSE(import ? ImportProjectCommand() : OpenProjectCommand());
    EXPECT_EQ(1, dialog.Count());
  }
  ASSERT_TRUE(errors.WaitFor(2));
  EXPECT_EQ(std::vector<std::string>(2, CannotOpenOmega()), errors.Texts());
  ExpectKept(project);
}

TEST_F(ProjectCommandsTest, ANameOutsideTheCodePageTypedIntoTheSaveDialogsIsRefusedThere) {
  CProjectCommandHooks hooks = {};
  SetProjectCommandHooks(&hooks);
  CProject* project = MakeCurrent();
  WriteLookAlikeIcons(folder);
  const std::vector<uint8_t> before = LoadBytes(File(kLookAlikeIcon));
  g_Settings.projectFilePath->SetValue(folder.c_str());
  g_Settings.exportPath->SetValue(folder.c_str());
  g_Settings.exportFormatId->SetValue(2);
  g_Settings.exportFormatPlugin->SetValue("Rastrel");
  BoxWatcher errors(kErrorCaption);
  // Should the look-alike be offered, a user who reads its name quickly would replace it.
  BoxWatcher replace("The file already exists", 'Y');
  DialogPoker options("ICO options", DialogPoker::PressFocused);
  struct Case {
    const char* title;
    bool (*command)();
    const char* shown;
  };
  std::vector<std::string> expected;
  for (const Case& c : {Case{"Project export", ExportProjectCommand, "i?.ico"},
                        Case{"Save project as", SaveProjectAsCommand, "i?.vcj"}}) {
    SCOPED_TRACE(c.title);
    const size_t seen = errors.Count();
    bool stayedOpen = false;
    {
      DialogPoker dialog(c.title, [&](HWND window) {
        ConfirmFileName(window, std::wstring(L"i\u03A9"));
        errors.WaitFor(seen + 1, 5000);
        Sleep(300);
        stayedOpen = IsWindowVisible(window) != FALSE;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      });
      EXPECT_FALSE(c.command());
    }
    EXPECT_TRUE(stayedOpen);
    expected.push_back(File(c.shown) + " cannot be used: its name has characters outside this system's code page.");
  }
  EXPECT_EQ(expected, errors.Texts());
  EXPECT_EQ(0u, replace.Count());
  EXPECT_EQ(before, LoadBytes(File(kLookAlikeIcon)));
  EXPECT_FALSE(FileExists(File("iO.vcj")));
  EXPECT_STREQ("Sample", project->GetName());
  EXPECT_TRUE(project->IsModified());
}

TEST_F(ProjectCommandsTest, ConfirmSaveModifiedByMode) {
  EXPECT_FALSE(ConfirmSaveModified(SAVE_MODIFIED_NEVER));
  CProject* project = MakeCurrent();
  EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_NEVER));
  EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_DISCARD));
  EXPECT_FALSE(ConfirmSaveModified(7));
  {
    BoxWatcher cancel("The project is modified", 'C');
    EXPECT_FALSE(ConfirmSaveModified(SAVE_MODIFIED_ASK));
    EXPECT_EQ(1u, cancel.Count());
  }
  {
    BoxWatcher no("The project is modified", 'N');
    EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_ASK));
  }
  // Yes saves; without a path that is Save As, here cancelled.
  {
    BoxWatcher yes("The project is modified", 'Y');
    EXPECT_FALSE(ConfirmSaveModified(SAVE_MODIFIED_ASK));
    EXPECT_EQ(1, g_seen.saveDialogs);
  }
  const std::string path = File("asked.vcj");
  g_seen.answerFolder = folder;
  g_seen.answerName = "asked.vcj";
  {
    BoxWatcher yes("The project is modified", 'Y');
    EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_ASK));
  }
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(project->IsModified());
  // Silent mode saves a modified project to its path without a question.
  project->SetModified();
  DeleteFileA(path.c_str());
  EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_SILENTLY));
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(ConfirmSaveModified(SAVE_MODIFIED_ASK));  // unmodified: no question
}

TEST_F(ProjectCommandsTest, CloseWithCancelKeepsTheProject) {
  EXPECT_FALSE(CloseProject(SAVE_MODIFIED_ASK));
  CProject* project = MakeCurrent();
  {
    BoxWatcher cancel("The project is modified", 'C');
    EXPECT_FALSE(CloseProject(SAVE_MODIFIED_ASK));
  }
  EXPECT_EQ(project, GetCurrentProject());
  EXPECT_TRUE(project->IsModified());
  EXPECT_EQ(0, g_seen.clears);
  {
    BoxWatcher no("The project is modified", 'N');
    EXPECT_TRUE(CloseProject(SAVE_MODIFIED_ASK));
  }
  EXPECT_EQ(nullptr, GetCurrentProject());
  EXPECT_EQ(1, g_seen.clears);
  EXPECT_GE(g_seen.states, 1);
}

}  // namespace
