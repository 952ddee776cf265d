#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "document/ScratchFiles.h"
#include "common/BoxWatcher.h"
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
