#include <gtest/gtest.h>
#include <windows.h>
#include <htmlhelp.h>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/ChildRun.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Help.h"
#include "shell/Registry.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/EditCommands.h"
#include "tools/ImageCommands.h"
#include "tools/ToolManager.h"
#include "tools/WorkingCopies.h"
#include "ui/AppCursors.h"
#include "ui/AppResourceIds.h"
#include "ui/ColorPanel.h"
#include "ui/ImagePanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPanel.h"
#include "ui/ProjectPanel.h"
#include "MainWindowHarness.h"
#include "wul/WULAppWindow.h"
#include "wul/WULCanvas.h"
#include "wul/WULMenu.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WindowTestKit.h"

namespace {

const char kQuestionCaption[] = "The project is modified";

// A current project of one image with one raster layer; the test or CloseProject deletes it.
CProject* MakeProject(const char* name, int32_t width = 32, int32_t height = 32, int images = 1) {
  CProject* project = new CProject();
  project->SetName(name);
  CImage* first = nullptr;
  for (int i = 0; i < images; ++i) {
    CImage* image = new CImage();
    image->SetSize(width, height);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project->AddImage(image);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    image->SetActiveLayer(layer);
    image->UpdateAll();
    if (!first)
      first = image;
  }
  project->SetCurrentImage(first);
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
  return project;
}

class MainWindowTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    StartFramework();
    if (!g_Settings.uiColorsChequerA)
      g_Settings.Init();
    static bool once = false;
    if (!once) {
      once = true;
      g_Clipboard.Init();
      LoadAppCursors();
      CreateShortcutTable();
    }
  }

  void SetUp() override {
    PrepareMainWindow();
  }

  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
  }

  void Open() {
    CreateMainWindow();
    ASSERT_NE(nullptr, g_MainWindow);
    ASSERT_TRUE(PumpUntil([] { return g_MainWindow->GetHandle() && IsWindowVisible(g_MainWindow->GetHandle()); }));
    PumpLikeMainLoop();
  }

  // A key stroke with the modifiers held, posted to the main window.
  void Key(int key, int modifiers = 0) {
    KeyStateScope keys;
    if (modifiers & WUL_MOD_CTRL)
      keys.Press(VK_CONTROL);
    if (modifiers & WUL_MOD_SHIFT)
      keys.Press(VK_SHIFT);
    if (modifiers & WUL_MOD_ALT)
      keys.Press(VK_MENU);
    const UINT down = (modifiers & WUL_MOD_ALT) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = (modifiers & WUL_MOD_ALT) ? WM_SYSKEYUP : WM_KEYUP;
    // The system marks keys pressed with Alt in bit 29 of the key data.
    const LPARAM context = (modifiers & WUL_MOD_ALT) ? (static_cast<LPARAM>(1) << 29) : 0;
    PostMessageA(g_MainWindow->GetHandle(), down, key, KeyParam(key, false) | context);
    PostMessageA(g_MainWindow->GetHandle(), up, key, KeyParam(key, true) | context);
    PumpLikeMainLoop();
  }

  void Command(int value) { SendMessageA(g_MainWindow->GetHandle(), WM_COMMAND, value, 0); }

  bool Enabled(CWULMenuItem* item) { return item && item->enabled != 0; }

  // The menu items with those command values.
  static std::vector<CWULMenuItem*> Items(std::initializer_list<int32_t> values) {
    std::vector<CWULMenuItem*> items;
    for (int32_t value : values)
      items.push_back(FindMenuItem(value));
    return items;
  }
};

TEST_F(MainWindowTest, BuildsTheWindowWithItsMenuAndView) {
  Open();
  EXPECT_STREQ("Vellumcraft", g_MainWindow->GetText());
  EXPECT_EQ(g_MainMenu, g_MainWindow->GetMenu());
  EXPECT_EQ(WUL_FRAME_SIZING, g_MainWindow->GetFrameKind());
  EXPECT_EQ(480, g_MainWindow->GetMinClientWidth());
  EXPECT_EQ(320, g_MainWindow->GetMinClientHeight());
  EXPECT_EQ(GetAppIcon(32), g_MainWindow->GetBigIcon());
  EXPECT_NE(nullptr, GetAppIcon(16));
  ASSERT_NE(nullptr, g_ClientContainer);
  ASSERT_NE(nullptr, MainView::GetView());
  EXPECT_TRUE(g_ClientContainer->IsAncestorOf(MainView::GetView()));
  // The container takes what the docked bars leave of the client area.
  EXPECT_GT(g_ClientContainer->GetWidth(), 0);
  EXPECT_GT(g_ClientContainer->GetHeight(), 0);
  EXPECT_LE(g_ClientContainer->GetX() + g_ClientContainer->GetWidth(), g_MainWindow->GetClientWidth());
  EXPECT_LE(g_ClientContainer->GetY() + g_ClientContainer->GetHeight(), g_MainWindow->GetClientHeight());
  // The selection tool starts active; the tools draw with the program's cursors.
  ASSERT_NE(nullptr, g_ToolManager.GetActiveTool());
  EXPECT_EQ(10, g_ToolManager.GetActiveTool()->GetId());
  EXPECT_EQ(GetAppCursor(IDC_TOOL_DEFAULT), GetEditorUI()->GetAppCursor(IDC_TOOL_DEFAULT));
  EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), GetAppCursor(IDC_PAN));

  // The seven titles in order, the degree sign as one ANSI byte.
  const char* titles[] = {"&File", "&Edit", "&View", "&Image", "&Layer", "&Tools", "&Help"};
  int i = 0;
  for (CWULListNode* node = g_MainMenu->items.first; node; node = node->next, ++i) {
    ASSERT_LT(i, 7);
    EXPECT_STREQ(titles[i], static_cast<CWULMenuItem*>(node)->GetText());
  }
  EXPECT_EQ(7, i);
  EXPECT_STREQ("Rotate &90\xB0 CW", FindMenuItem(CMD_IMAGE_ROTATE_CW)->GetText());
  EXPECT_EQ(WUL_MENU_RADIO, FindMenuItem(CMD_VIEW_ALPHA_ONLY)->type);
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_NORMAL)->checked);

  // Items show their shortcuts; the second Redo, Zoom In and Zoom Out keys and Escape show nowhere.
  ASSERT_NE(nullptr, FindMenuItem(CMD_EDIT_REDO)->shortcut);
  EXPECT_EQ('Y', FindMenuItem(CMD_EDIT_REDO)->shortcut->keyValue);
  EXPECT_EQ(187, FindMenuItem(CMD_VIEW_ZOOM_IN)->shortcut->keyValue);
  EXPECT_EQ(WUL_MOD_CTRL | WUL_MOD_SHIFT, FindMenuItem(CMD_LAYER_SEND_TO_BACK)->shortcut->modifiers);
  EXPECT_EQ(nullptr, FindMenuItem(CMD_FILE_EXIT)->shortcut);
  EXPECT_EQ(WUL_MOD_ALT, FindMenuItem(CMD_IMAGE_PREVIOUS)->shortcut->modifiers);
  for (CWULShortcut* shortcut : g_Shortcuts) {
    ASSERT_NE(nullptr, shortcut);
    EXPECT_EQ(&OnShortcut, shortcut->callback);
  }
  EXPECT_EQ(VK_ESCAPE, g_Shortcuts[0]->keyValue);
  EXPECT_EQ(VK_F1, g_Shortcuts[40]->keyValue);

  // A second call only brings the window forward.
  CWULAppWindow* window = g_MainWindow;
  CreateMainWindow();
  EXPECT_EQ(window, g_MainWindow);
}

// The keyboard page of the help file lists the shortcut table, each key beside the menu path of
// the item it clicks: the two cannot drift apart.
namespace {

std::string KeyName(const CWULShortcut& shortcut) {
  static const std::map<int32_t, std::string> names = {
      {VK_ESCAPE, "Esc"},  {VK_DELETE, "Delete"},   {VK_BACK, "Backspace"}, {VK_PRIOR, "Page Up"},
      {VK_NEXT, "Page Down"}, {187, "="},          {189, "-"},             {VK_ADD, "Num +"},
      {VK_SUBTRACT, "Num -"}, {VK_F1, "F1"},       {VK_F4, "F4"},          {VK_F5, "F5"},
      {VK_F6, "F6"},       {VK_F7, "F7"}};
  // The modifiers as the menus write them; the key by its name on a Windows keyboard (Wine
  // names keys after X's).
  char shown[64];
  shortcut.GetText(shown, sizeof shown);
  std::string text = shown;
  size_t key = 0;
  for (int n = shortcut.HasAlt() + shortcut.HasCtrl() + shortcut.HasShift(); n > 0; --n)
    key = text.find('+', key) + 1;
  text.erase(key);
  auto name = names.find(shortcut.keyValue);
  if (name != names.end())
    return text + name->second;
  return text + static_cast<char>(shortcut.keyValue);
}

std::string Plain(const char* text) {
  std::string plain;
  for (const char* p = text; *p; ++p)
    if (*p != '&')
      plain += *p;
  return plain;
}

// "File > Save As..." for the item, from the menu bar down.
bool MenuPath(CWULMenu* menu, CWULMenuItem* wanted, const std::string& above, std::string& path) {
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    auto* item = static_cast<CWULMenuItem*>(node);
    const std::string here = above.empty() ? Plain(item->GetText()) : above + " > " + Plain(item->GetText());
    if (item == wanted) {
      path = here;
      return true;
    }
    if (item->submenu && MenuPath(item->submenu, wanted, here, path))
      return true;
  }
  return false;
}

std::string Decoded(std::string cell) {
  const std::pair<const char*, const char*> entities[] = {{"&gt;", ">"}, {"&lt;", "<"}, {"&nbsp;", " "}, {"&amp;", "&"}};
  for (const auto& entity : entities)
    for (size_t at; (at = cell.find(entity.first)) != std::string::npos;)
      cell.replace(at, std::strlen(entity.first), entity.second);
  return cell;
}

// The rows of the page's shortcut table as (keys, command).
std::multiset<std::pair<std::string, std::string>> ShortcutRows(const std::string& page) {
  std::multiset<std::pair<std::string, std::string>> rows;
  const size_t table = page.find("<table id=\"shortcuts\">");
  const size_t end = page.find("</table>", table);
  if (table == std::string::npos || end == std::string::npos)
    return rows;
  for (size_t at = page.find("<tr>", table); at < end; at = page.find("<tr>", at + 1)) {
    std::vector<std::string> cells;
    const size_t rowEnd = page.find("</tr>", at);
    for (size_t cell = page.find("<td>", at); cell < rowEnd; cell = page.find("<td>", cell + 1)) {
      const size_t close = page.find("</td>", cell);
      cells.push_back(Decoded(page.substr(cell + 4, close - cell - 4)));
    }
    if (cells.size() == 2)
      rows.insert({cells[0], cells[1]});
  }
  return rows;
}

}  // namespace

TEST_F(MainWindowTest, TheKeyboardHelpPageListsTheShortcutTable) {
  Open();
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string folder(program);
  folder.erase(folder.rfind('\\') + 1);
  std::ifstream in(folder + "help-check\\keyboard.html", std::ios::binary);
  std::stringstream page;
  page << in.rdbuf();
  auto rows = ShortcutRows(page.str());
  ASSERT_EQ(static_cast<size_t>(SHORTCUT_COUNT), rows.size()) << "rows of the page's shortcut table";
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    const std::string keys = KeyName(*g_Shortcuts[i]);
    std::string command;
    if (const int32_t value = GetShortcutCommand(i)) {
      ASSERT_TRUE(MenuPath(g_MainMenu, FindMenuCommand(value), "", command)) << keys;
    } else {
      // Escape clicks no item: the page says what it does.
      auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.first == keys; });
      ASSERT_NE(rows.end(), row) << keys;
      command = row->second;
    }
    auto row = rows.find({keys, command});
    EXPECT_NE(rows.end(), row) << keys << " " << command;
    if (row != rows.end())
      rows.erase(row);
  }
  EXPECT_TRUE(rows.empty());
}

// The help window, through the real help control, opens on the right part of the work area
// and stays there for the next topic. The control holds the help file until its process ends:
// the window opens in a run of its own, and the file goes once that run has ended.
TEST_F(MainWindowTest, HelpOpensOnTheRightOfTheWorkArea) {
  SetHtmlHelpProc(nullptr);
  if (!GetHtmlHelpProc())
    GTEST_SKIP() << "no HTML Help control on this system";
  CWULString file;
  GetHelpFilePath(file);
  std::string built(file.text);
  built.erase(built.rfind('\\') + 1);
  ASSERT_TRUE(CopyFileA((built + "Vellumcraft.chm").c_str(), file.text, FALSE));
  EXPECT_EQ(0u, RunTestInChild("MainWindowTest.DISABLED_HelpOpensOnTheRightInARunOfItsOwn"));
  EXPECT_TRUE(DeleteFileA(file.text));
}

TEST_F(MainWindowTest, DISABLED_HelpOpensOnTheRightInARunOfItsOwn) {
  ASSERT_TRUE(IsTestChild());
  SetHtmlHelpProc(nullptr);
  HtmlHelpProc help = GetHtmlHelpProc();
  ASSERT_NE(nullptr, help);
  Open();
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  const RECT expected = {std::max(work.left, work.right - 800), work.top, work.right, work.bottom};
  // The visible top-level windows of this thread.
  struct Visible {
    static BOOL CALLBACK Add(HWND window, LPARAM list) {
      if (IsWindowVisible(window))
        reinterpret_cast<std::set<HWND>*>(list)->insert(window);
      return TRUE;
    }
  };
  auto windows = [] {
    std::set<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), &Visible::Add, reinterpret_cast<LPARAM>(&found));
    return found;
  };
  const std::set<HWND> before = windows();
  for (int32_t command : {CMD_HELP_CONTENTS, CMD_HELP_KEYBOARD}) {
    BoxWatcher boxes("Vellumcraft :: Error");
    EXPECT_TRUE(RunMenuCommand(command));
    PumpLikeMainLoop();
    EXPECT_EQ(0u, boxes.Count());
    std::vector<HWND> opened;
    for (HWND window : windows())
      if (!before.count(window))
        opened.push_back(window);
    ASSERT_EQ(1u, opened.size()) << command;
    RECT rect;
    GetWindowRect(opened[0], &rect);
    EXPECT_EQ(expected.left, rect.left) << command;
    EXPECT_EQ(expected.top, rect.top) << command;
    EXPECT_EQ(expected.right, rect.right) << command;
    EXPECT_EQ(expected.bottom, rect.bottom) << command;
  }
  help(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

TEST_F(MainWindowTest, ThePanelButtonBarsHaveAOnePixelBorder) {
  Open();
  CWULStandardBarItem* firstButtons[] = {
      ProjectPanel::GetButton(ProjectPanel::BUTTON_NEW), ImagePanel::GetButton(ImagePanel::BUTTON_NEW),
      ColorPanel::GetButton(ColorPanel::BUTTON_NEW_SET), ColorPanel::GetButton(ColorPanel::BUTTON_LOCK_PALETTE),
      PreviewPanel::GetButton(PreviewPanel::BUTTON_ZOOM_IN)};
  for (CWULStandardBarItem* button : firstButtons) {
    ASSERT_NE(nullptr, button);
    CWULItemBar* bar = button->GetBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(WUL_BAR_FRAME_RAISED, bar->GetFrameStyle()) << button->GetText();
    // The client area of 20 holds the 18-pixel buttons at (1, 1) inside the border.
    EXPECT_EQ(20, bar->GetClientHeight()) << button->GetText();
    EXPECT_EQ(22, bar->GetHeight()) << button->GetText();
    EXPECT_EQ(1, button->GetY());
  }
}

TEST_F(MainWindowTest, EverySharedPictureIsLoaded) {
  for (int i = 0; i < APP_IMAGE_COUNT; ++i) {
    ASSERT_NE(nullptr, GetAppImage(i)) << "slot " << i;
    EXPECT_NE(nullptr, GetAppImage(i)->pixels) << "slot " << i;
  }
  // The option buttons and the preview pane's check boxes by resource number, 16 x 16 each.
  const int32_t ids[] = {314, 315, 410, 411, 412, 413, 420, 421, 440, 441, 442, 443,
                         444, 445, 450, 451, 452, 453, 454, 455};
  for (int32_t id : ids) {
    CWULImage* picture = GetAppPicture(id);
    ASSERT_NE(nullptr, picture) << id;
    EXPECT_EQ(16, picture->width) << id;
    EXPECT_EQ(16, picture->height) << id;
  }
  EXPECT_EQ(GetAppImage(APP_IMAGE_SELECTOR_FIRST + 3), GetAppPicture(413));
  EXPECT_EQ(GetAppImage(APP_IMAGE_VISIBLE), GetAppPicture(313));
  EXPECT_EQ(nullptr, GetAppPicture(0));
  EXPECT_EQ(nullptr, GetAppPicture(416));
}

TEST_F(MainWindowTest, WithoutProjectOnlyTheFileToolsAndHelpItemsWork) {
  Open();
  for (CWULMenuItem* item : Items({CMD_FILE_NEW, CMD_FILE_OPEN, CMD_FILE_IMPORT, CMD_FILE_EXIT,
                                   CMD_MENU_TOOLS, CMD_TOOLS_PLUGINS, CMD_TOOLS_OPTIONS, CMD_MENU_HELP,
                                   CMD_HELP_CONTENTS, CMD_HELP_ABOUT}))
    EXPECT_TRUE(Enabled(item)) << item->GetText();
  for (CWULMenuItem* item : Items({CMD_FILE_SAVE, CMD_FILE_SAVE_AS, CMD_FILE_CLOSE, CMD_FILE_EXPORT,
                                   CMD_MENU_IMAGE, CMD_MENU_EDIT, CMD_MENU_VIEW, CMD_MENU_LAYER}))
    EXPECT_FALSE(Enabled(item)) << item->GetText();
}

TEST_F(MainWindowTest, MenuStatesFollowTheDocument) {
  MakeProject("Icons");
  Open();
  for (CWULMenuItem* item : Items({CMD_FILE_SAVE, CMD_FILE_CLOSE, CMD_MENU_IMAGE, CMD_MENU_EDIT,
                                   CMD_MENU_VIEW, CMD_MENU_LAYER, CMD_LAYER_DELETE, CMD_VIEW_ZOOM_IN,
                                   CMD_EDIT_SELECT_ALL}))
    EXPECT_TRUE(Enabled(item)) << item->GetText();
  // One image, one layer, zoom index 0, no selection.
  for (CWULMenuItem* item : Items({CMD_IMAGE_PREVIOUS, CMD_IMAGE_NEXT, CMD_IMAGE_MOVE_UP, CMD_IMAGE_MOVE_DOWN,
                                   CMD_LAYER_MERGE_ALL, CMD_LAYER_MERGE_DOWN, CMD_LAYER_NEXT_UP,
                                   CMD_LAYER_NEXT_DOWN, CMD_LAYER_BRING_TO_FRONT, CMD_LAYER_SEND_TO_BACK,
                                   CMD_VIEW_ZOOM_OUT, CMD_IMAGE_CROP, CMD_EDIT_COPY_MERGED,
                                   CMD_EDIT_SELECTION}))
    EXPECT_FALSE(Enabled(item)) << item->GetText();

  // A second layer above the first.
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_LAYER_MERGE_ALL)));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_LAYER_MERGE_DOWN)));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_LAYER_NEXT_DOWN)));
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_LAYER_NEXT_UP)));
  // A selection enables cropping and the selection submenu.
  Command(CMD_EDIT_SELECT_ALL);
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_IMAGE_CROP)));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_EDIT_SELECTION)));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_EDIT_COPY_MERGED)));
}

TEST_F(MainWindowTest, ItemsAreFoundByCommandValueAndFollowTheMenusHoldingThem) {
  Open();
  // Titles and submenu items are found but run nothing.
  for (int32_t value : {CMD_MENU_FILE, CMD_EDIT_SELECTION, CMD_LAYER_NEW_MENU, CMD_HELP_HOME_PAGE}) {
    ASSERT_NE(nullptr, FindMenuItem(value)) << value;
    EXPECT_NE(nullptr, FindMenuItem(value)->submenu) << value;
    EXPECT_EQ(nullptr, FindMenuCommand(value)) << value;
    EXPECT_FALSE(RunMenuCommand(value)) << value;
  }
  EXPECT_EQ(FindMenuItem(CMD_HELP_PRIMARY), FindMenuCommand(CMD_HELP_PRIMARY));
  EXPECT_EQ(nullptr, FindMenuItem(0));
  // The first of the two Zoom In keys is the one the item shows.
  EXPECT_EQ(FindMenuItem(CMD_VIEW_ZOOM_IN)->shortcut, GetCommandShortcut(CMD_VIEW_ZOOM_IN));
  EXPECT_EQ(nullptr, GetCommandShortcut(CMD_FILE_EXIT));

  // "&Normal" is never disabled itself, but its "&View" title is until an image exists.
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_VIEW_NORMAL)));
  EXPECT_FALSE(IsCommandEnabled(CMD_VIEW_NORMAL, ReadCommandConditions()));
  EXPECT_TRUE(IsCommandEnabled(CMD_FILE_NEW, ReadCommandConditions()));
  EXPECT_FALSE(IsCommandEnabled(999, ReadCommandConditions()));
  MakeProject("Found");
  RefreshAll();
  const uint32_t conditions = ReadCommandConditions();
  EXPECT_TRUE(IsCommandEnabled(CMD_VIEW_NORMAL, conditions));
  EXPECT_TRUE(IsCommandChecked(CMD_VIEW_NORMAL, conditions));
  EXPECT_FALSE(IsCommandChecked(CMD_VIEW_ALPHA_ONLY, conditions));
  EXPECT_FALSE(IsCommandChecked(CMD_FILE_NEW, conditions));

  // Undo and Redo follow when the Edit menu opens, not on every refresh.
  CWULMenu* edit = FindMenuItem(CMD_MENU_EDIT)->submenu;
  edit->openCallback(edit);
  ASSERT_FALSE(Enabled(FindMenuItem(CMD_EDIT_UNDO)));
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_EDIT_UNDO)));
  EXPECT_TRUE(IsCommandEnabled(CMD_EDIT_UNDO, ReadCommandConditions()));
  edit->openCallback(edit);
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_EDIT_UNDO)));
}

TEST_F(MainWindowTest, TitleShowsTheProjectAndItsModifiedMark) {
  Open();
  EXPECT_STREQ("Vellumcraft", g_MainWindow->GetText());
  CProject* project = MakeProject("Icons");
  RefreshAll();
  EXPECT_STREQ("Vellumcraft - Icons", g_MainWindow->GetText());
  project->SetModified();
  UpdateCommandStates();
  EXPECT_STREQ("Vellumcraft - Icons*", g_MainWindow->GetText());
  // A very long name is cut to the title buffer.
  std::string name(3000, 'n');
  project->SetName(name.c_str());
  UpdateMainWindowTitle();
  EXPECT_EQ(1023u, std::strlen(g_MainWindow->GetText()));
}

TEST_F(MainWindowTest, CommandsRunThroughTheDispatcherAndShortcuts) {
  MakeProject("Zoom", 16, 16);
  Open();
  ASSERT_EQ(0, MainView::GetZoomIndex());
  Command(CMD_VIEW_ZOOM_IN);
  EXPECT_EQ(1, MainView::GetZoomIndex());
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_VIEW_ZOOM_OUT)));
  // Ctrl+= and Ctrl+numeric-pad + both zoom in, Ctrl+- and Ctrl+numeric-pad - out.
  Key(187, WUL_MOD_CTRL);
  EXPECT_EQ(2, MainView::GetZoomIndex());
  Key(VK_ADD, WUL_MOD_CTRL);
  EXPECT_EQ(3, MainView::GetZoomIndex());
  Key(189, WUL_MOD_CTRL);
  EXPECT_EQ(2, MainView::GetZoomIndex());
  Key(VK_SUBTRACT, WUL_MOD_CTRL);
  EXPECT_EQ(1, MainView::GetZoomIndex());
  // The same key without Ctrl is no shortcut.
  Key(187);
  EXPECT_EQ(1, MainView::GetZoomIndex());

  // Zoom In stops at index 8 and disables itself.
  for (int i = 0; i < 12; ++i)
    Command(CMD_VIEW_ZOOM_IN);
  EXPECT_EQ(8, MainView::GetZoomIndex());
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_VIEW_ZOOM_IN)));
  // A disabled item is still reached by its shortcut, and the command checks its bounds.
  Key(187, WUL_MOD_CTRL);
  EXPECT_EQ(8, MainView::GetZoomIndex());

  // Channel modes through F6, F7 and F5 check their radio items.
  Key(VK_F7);
  EXPECT_EQ(MainView::CHANNELS_ALPHA, MainView::GetChannelMode());
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_ALPHA_ONLY)->checked);
  EXPECT_FALSE(FindMenuItem(CMD_VIEW_NORMAL)->checked);
  Key(VK_F6);
  EXPECT_EQ(MainView::CHANNELS_COLOR, MainView::GetChannelMode());
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_COLOR_ONLY)->checked);
  Key(VK_F5);
  EXPECT_EQ(MainView::CHANNELS_NORMAL, MainView::GetChannelMode());
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_NORMAL)->checked);
  EXPECT_FALSE(FindMenuItem(CMD_VIEW_ALPHA_ONLY)->checked);

  // An unknown command value does nothing.
  Command(999);
  EXPECT_EQ(MainView::CHANNELS_NORMAL, MainView::GetChannelMode());
}

TEST_F(MainWindowTest, AltPageKeysStepThroughTheImages) {
  CProject* project = MakeProject("Pair", 16, 16, 2);
  Open();
  CImage* first = project->GetFirstImage();
  CImage* second = first->GetNext();
  ASSERT_EQ(first, GetCurrentImage());
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_IMAGE_PREVIOUS)));
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_IMAGE_NEXT)));
  Key(VK_NEXT, WUL_MOD_ALT);
  EXPECT_EQ(second, GetCurrentImage());
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_IMAGE_PREVIOUS)));
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_IMAGE_NEXT)));
  Key(VK_PRIOR, WUL_MOD_ALT);
  EXPECT_EQ(first, GetCurrentImage());
}

TEST_F(MainWindowTest, UndoAndRedoShortcutsAndItemTexts) {
  MakeProject("Layers");
  Open();
  CImage* image = GetCurrentImage();
  CWULMenu* edit = FindMenuItem(CMD_MENU_EDIT)->submenu;
  ASSERT_NE(nullptr, edit);
  ASSERT_NE(nullptr, edit->openCallback);
  edit->openCallback(edit);
  EXPECT_STREQ("&Undo", FindMenuItem(CMD_EDIT_UNDO)->GetText());
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_EDIT_UNDO)));
  EXPECT_FALSE(Enabled(FindMenuItem(CMD_EDIT_REDO)));

  Key('L', WUL_MOD_CTRL);
  ASSERT_EQ(2, image->GetLayerCount());
  ASSERT_NE(nullptr, GetUndoAction());
  const std::string caption = GetUndoAction()->GetName();
  edit->openCallback(edit);
  EXPECT_EQ("&Undo " + caption, FindMenuItem(CMD_EDIT_UNDO)->GetText());
  EXPECT_TRUE(Enabled(FindMenuItem(CMD_EDIT_UNDO)));

  Key('Z', WUL_MOD_CTRL);
  EXPECT_EQ(1, image->GetLayerCount());
  edit->openCallback(edit);
  EXPECT_STREQ("&Undo", FindMenuItem(CMD_EDIT_UNDO)->GetText());
  EXPECT_EQ("&Redo " + caption, FindMenuItem(CMD_EDIT_REDO)->GetText());
  // Ctrl+Y and Ctrl+Shift+Z both redo.
  Key('Y', WUL_MOD_CTRL);
  EXPECT_EQ(2, image->GetLayerCount());
  Key('Z', WUL_MOD_CTRL);
  EXPECT_EQ(1, image->GetLayerCount());
  Key('Z', WUL_MOD_CTRL | WUL_MOD_SHIFT);
  EXPECT_EQ(2, image->GetLayerCount());
  // The title shows the change.
  EXPECT_STREQ("Vellumcraft - Layers*", g_MainWindow->GetText());
}

TEST_F(MainWindowTest, ShortcutsWaitWhileAToolDrags) {
  MakeProject("Drag", 16, 16);
  Open();
  g_ToolManager.SetActiveTool(g_ToolManager.FindTool(50));  // pencil
  CWULTiledCanvas* view = MainView::GetView();
  ASSERT_NE(nullptr, view);
  const Point at = MainView::ImageToClient(8 * 256, 8 * 256);
  // The pointer comes over the view first, so that the tool is present.
  POINT screen = {at.x, at.y};
  ClientToScreen(view->GetHandle(), &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageA(view->GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetHandle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  SendMessageA(view->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  ASSERT_FALSE(g_ToolManager.GetActiveTool()->IsAway());
  SendMessageA(view->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PumpLikeMainLoop();
  ASSERT_EQ(MainView::DRAG_TOOL, MainView::GetDragState());
  const int zoom = MainView::GetZoomIndex();
  Key(187, WUL_MOD_CTRL);
  EXPECT_EQ(zoom, MainView::GetZoomIndex());
  SendMessageA(view->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  PumpLikeMainLoop();
  ASSERT_EQ(MainView::DRAG_IDLE, MainView::GetDragState());
  Key(187, WUL_MOD_CTRL);
  EXPECT_EQ(zoom + 1, MainView::GetZoomIndex());
  // The stroke became one undoable action and reached the title.
  ASSERT_NE(nullptr, GetUndoAction());
  EXPECT_STREQ("Pencil Stroke", GetUndoAction()->GetName());
  EXPECT_STREQ("Vellumcraft - Drag*", g_MainWindow->GetText());
}

TEST_F(MainWindowTest, EscapeGivesTheFocusToTheMainWindow) {
  MakeProject("Focus", 16, 16);
  Open();
  MainView::GetView()->SetFocus();
  PumpLikeMainLoop();
  ASSERT_EQ(MainView::GetView()->GetHandle(), GetFocus());
  KeyStateScope keys;
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, KeyParam(VK_ESCAPE, false));
  PumpLikeMainLoop();
  EXPECT_EQ(g_MainWindow->GetHandle(), GetFocus());
}

TEST_F(MainWindowTest, ClosingAModifiedProjectAsksAndCancelKeepsEverything) {
  CProject* project = MakeProject("Draft");
  project->SetModified();
  Open();
  g_Settings.mainWindowPositionLeft->SetValue(-5);
  {
    BoxWatcher watcher(kQuestionCaption, 'c');
    Command(CMD_FILE_EXIT);
    PumpLikeMainLoop();
    ASSERT_EQ(1u, watcher.Count());
    EXPECT_EQ("Save the changes you made to Draft?", watcher.Texts()[0]);
  }
  // Still open, same project, nothing stored.
  ASSERT_NE(nullptr, g_MainWindow);
  EXPECT_EQ(project, GetCurrentProject());
  EXPECT_TRUE(project->IsModified());
  EXPECT_EQ(-5, g_Settings.mainWindowPositionLeft->GetValue());

  // No: the project goes without saving, the window closes and the loop is told to end.
  {
    BoxWatcher watcher(kQuestionCaption, 'n');
    Command(CMD_FILE_EXIT);
    PumpUntil([] { return g_MainWindow == nullptr; });
    EXPECT_EQ(1u, watcher.Count());
  }
  EXPECT_EQ(nullptr, g_MainWindow);
  EXPECT_EQ(nullptr, GetCurrentProject());
  EXPECT_EQ(40, g_Settings.mainWindowPositionLeft->GetValue());
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindowTest, ClosingStoresThePlacementAndAMaximizedWindowReopensMaximized) {
  Open();
  g_MainWindow->SetBounds(70, 50, 700, 500);
  PumpLikeMainLoop();
  g_MainWindow->Maximize();
  PumpLikeMainLoop();
  ASSERT_TRUE(g_MainWindow->IsMaximized());
  g_MainWindow->RequestClose();
  ASSERT_TRUE(PumpUntil([] { return g_MainWindow == nullptr; }));
  DropQueuedMessages();
  EXPECT_EQ(70, g_Settings.mainWindowPositionLeft->GetValue());
  EXPECT_EQ(50, g_Settings.mainWindowPositionTop->GetValue());
  EXPECT_EQ(700, g_Settings.mainWindowSizeWidth->GetValue());
  EXPECT_EQ(500, g_Settings.mainWindowSizeHeight->GetValue());
  EXPECT_TRUE(g_Settings.mainWindowMaximized->GetValue());
  EXPECT_FALSE(g_Settings.mainWindowMinimized->GetValue());

  // Reopened maximized; restoring gives the stored rectangle.
  Open();
  EXPECT_TRUE(g_MainWindow->IsMaximized());
  g_MainWindow->Restore();
  PumpLikeMainLoop();
  RECT rect;
  GetWindowRect(g_MainWindow->GetHandle(), &rect);
  EXPECT_EQ(70, rect.left);
  EXPECT_EQ(50, rect.top);
  EXPECT_EQ(700, rect.right - rect.left);
  EXPECT_EQ(500, rect.bottom - rect.top);
}

TEST_F(MainWindowTest, AMinimizedWindowReopensRestored) {
  Open();
  g_MainWindow->Minimize();
  PumpLikeMainLoop();
  g_MainWindow->RequestClose();
  ASSERT_TRUE(PumpUntil([] { return g_MainWindow == nullptr; }));
  DropQueuedMessages();
  EXPECT_TRUE(g_Settings.mainWindowMinimized->GetValue());
  EXPECT_EQ(800, g_Settings.mainWindowSizeWidth->GetValue());
  Open();
  EXPECT_FALSE(g_MainWindow->IsMinimized());
  EXPECT_FALSE(IsIconic(g_MainWindow->GetHandle()));
}

// A path in the temporary folder for this test; the file is removed when the scope ends.
struct TempFile {
  explicit TempFile(const char* tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + "vc-mainwindow-" + std::to_string(GetCurrentProcessId()) + "-" + tag;
    DeleteFileA(path.c_str());
  }
  ~TempFile() { DeleteFileA(path.c_str()); }
  bool Exists() const { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  std::string path;
};

TEST_F(MainWindowTest, EndingTheSessionAsksAboutAModifiedProjectAsClosingDoes) {
  CProject* project = MakeProject("Draft");
  Open();
  const HWND window = g_MainWindow->GetHandle();
  // A clean project lets the session end without a word.
  {
    BoxWatcher watcher(kQuestionCaption, 'c');
    EXPECT_TRUE(SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_EQ(0u, watcher.Count());
  }
  project->SetModified();
  // Cancel refuses the end and keeps the project as it was.
  {
    BoxWatcher watcher(kQuestionCaption, 'c');
    EXPECT_FALSE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    ASSERT_EQ(1u, watcher.Count());
    EXPECT_EQ("Save the changes you made to Draft?", watcher.Texts()[0]);
  }
  EXPECT_EQ(project, GetCurrentProject());
  EXPECT_TRUE(project->IsModified());
  // Yes with a save that fails refuses it too.
  TempFile missing("no-such-folder\\draft.vcj");
  project->SetPath(missing.path.c_str());
  {
    BoxWatcher watcher(kQuestionCaption, 'y');
    BoxWatcher errors("Vellumcraft :: Error");
    EXPECT_FALSE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(1u, watcher.Count());
    EXPECT_EQ(1u, errors.Count());
  }
  EXPECT_TRUE(project->IsModified());
  // Yes saves, then lets it end.
  TempFile saved("draft.vcj");
  project->SetPath(saved.path.c_str());
  {
    BoxWatcher watcher(kQuestionCaption, 'y');
    EXPECT_TRUE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(1u, watcher.Count());
  }
  EXPECT_TRUE(saved.Exists());
  EXPECT_FALSE(project->IsModified());
  // No lets it end without saving; the project stays open in case the end is called off.
  project->SetModified();
  DeleteFileA(saved.path.c_str());
  {
    BoxWatcher watcher(kQuestionCaption, 'n');
    EXPECT_TRUE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(1u, watcher.Count());
  }
  EXPECT_FALSE(saved.Exists());
  EXPECT_EQ(project, GetCurrentProject());
  EXPECT_TRUE(project->IsModified());
  EXPECT_NE(nullptr, g_MainWindow);
}

TEST_F(MainWindowTest, TheEndOfTheSessionSavesTheSettingsAndThePlacement) {
  // The harness's settings may be nameless: the entry read back gets its key here.
  CWULString& keyName = g_Settings.mainWindowPositionLeft->keyName;
  const CWULString savedName(keyName);
  if (!keyName.text[0])
    keyName.Assign("MainWindow.Position.Left");
  DeleteRegTree(HKEY_CURRENT_USER, kSettingsRootKey);
  auto storedLeft = [](CWULString& value) {
    const std::string path = std::string(kSettingsRootKey) + "\\MainWindow\\Position";
    HKEY key = OpenRegKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ);
    const bool found = key && ReadRegString(key, "Left", value);
    if (key)
      CloseRegKey(key);
    return found;
  };
  Open();
  g_MainWindow->SetBounds(70, 50, 700, 500);
  PumpLikeMainLoop();
  CWULString left;
  // An end that was called off saves nothing.
  SendMessageA(g_MainWindow->GetHandle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(storedLeft(left));
  SendMessageA(g_MainWindow->GetHandle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  // The system ends the process; until then the window stays as it was.
  PumpLikeMainLoop();
  ASSERT_NE(nullptr, g_MainWindow);
  EXPECT_TRUE(IsWindowVisible(g_MainWindow->GetHandle()));
  EXPECT_EQ(70, g_Settings.mainWindowPositionLeft->GetValue());
  EXPECT_EQ(700, g_Settings.mainWindowSizeWidth->GetValue());
  EXPECT_TRUE(storedLeft(left));
  EXPECT_STREQ("70", left.text);
  DeleteRegTree(HKEY_CURRENT_USER, kSettingsRootKey);
  RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Tolvenark");
  keyName.Assign(savedName.text);
}

}  // namespace
