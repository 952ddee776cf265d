#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "TimerSteps.h"
#include "ViewSettings.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Application.h"
#include "shell/Conversion.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "shell/TextRoutines.h"
#include "ui/AppCursors.h"
#include "ui/MainWindow.h"
#include "ui/PluginDialogs.h"
#include "ui/ThumbnailList.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULImage.h"
#include "wul/WULListBox.h"
#include "wul/WULPanel.h"
#include "wul/WindowTestKit.h"

namespace {

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.rfind('\\') + 1);
}

std::vector<std::string> Rows(CWULListBox* list) {
  std::vector<std::string> rows;
  for (int i = 1; list && i <= list->GetCount(); ++i)
    rows.push_back(list->FindByIndex(i)->GetText());
  return rows;
}

// A click in the middle of a row of the list.
void ClickRow(CWULListBox* list, int index, bool twice = false) {
  RECT row;
  list->GetItemRect(list->FindByIndex(index), &row);
  const int x = (row.left + row.right) / 2;
  const int y = (row.top + row.bottom) / 2;
  BoxDriver::PostClick(list, x, y);
  if (twice) {
    PostMessageA(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(list->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
}

// The list's item at a 1-based index, or null.
CSizeListItem* ItemAt(CThumbnailList* list, int index) {
  CThumbnailItem* item = list ? list->GetFirst() : nullptr;
  while (item && --index > 0)
    item = CThumbnailList::Next(item);
  return static_cast<CSizeListItem*>(item);
}

std::vector<std::string> Captions(CThumbnailList* list) {
  std::vector<std::string> captions;
  for (CThumbnailItem* item = list ? list->GetFirst() : nullptr; item; item = CThumbnailList::Next(item))
    captions.push_back(static_cast<CSizeListItem*>(item)->text.text);
  return captions;
}

// A click in the middle of an item's picture, through the list's window.
void ClickItem(CThumbnailList* list, int index, bool twice = false) {
  CSizeListItem* item = ItemAt(list, index);
  if (!item)
    return;
  const int x = item->x + (item->pictureRect.left + item->pictureRect.right) / 2 - list->GetScrollX();
  const int y = item->y + (item->pictureRect.top + item->pictureRect.bottom) / 2 - list->GetScrollY();
  BoxDriver::PostClick(list, x, y);
  if (twice) {
    PostMessageA(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(list->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
}

// --- Plugins ---

int g_settingsCalls = 0;
int g_aboutCalls = 0;
HWND g_calledWith = nullptr;
int __cdecl FakeSettings(HWND parent) {
  ++g_settingsCalls;
  g_calledWith = parent;
  return 1;
}
int __cdecl FakeAbout(HWND parent) {
  ++g_aboutCalls;
  g_calledWith = parent;
  return 1;
}

CFileFormat* AddFormat(int kind, const char* name, uint32_t version, bool settings, bool about) {
  auto* format = new CFileFormat;
  format->kind = kind;
  format->name.Assign(name);
  format->version = version;
  format->settings = settings ? FakeSettings : nullptr;
  format->about = about ? FakeAbout : nullptr;
  g_Plugins.Add(format);
  return format;
}

class PluginDialogsTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    StartFramework();
    EnsureViewSettings();
    LoadAppCursors();
  }
  void SetUp() override {
    DropQueuedMessages();
    ClearPluginLists();
    g_settingsCalls = g_aboutCalls = 0;
    g_calledWith = nullptr;
  }
  void TearDown() override {
    Steps::Stop();
    ClearPluginLists();
    DropQueuedMessages();
  }
  static void RunPlugins(const BoxDriver::Action& action) {
    BoxDriver::Run("Plugins", action, [] {
      PluginsDialog();
      return 0;
    });
  }
};

TEST_F(PluginDialogsTest, PluginsListsOnlyModulePluginsAndTheButtonsFollowTheRow) {
  AddFormat(FORMAT_KIND_BUILTIN, "Vellumcraft project", 0x01000000u, true, true);
  AddFormat(FORMAT_KIND_PLUGIN, "Alpha", 0x01020300u, true, true);
  AddFormat(FORMAT_KIND_PLUGIN, "Beta", 0x02000000u, false, false);
  std::vector<std::string> rows;
  bool settingsEnabled[3] = {}, aboutEnabled[3] = {};
  int width = 0, height = 0;
  RunPlugins([&](CWULAppWindow* dialog) {
    width = dialog->GetClientWidth();
    height = dialog->GetClientHeight();
    CWULListBox* list = GetPluginsDialogList();
    rows = Rows(list);
    auto state = [](bool* s, bool* a) {
      *s = GetPluginsDialogButton(PLUGINS_BUTTON_SETTINGS)->IsEnabled();
      *a = GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT)->IsEnabled();
    };
    state(&settingsEnabled[0], &aboutEnabled[0]);
    Steps::Start({
        [=] { ClickRow(list, 1); return true; },
        [=, &settingsEnabled, &aboutEnabled] {
          if (list->GetCurrentItem() != list->FindByIndex(1))
            return false;
          state(&settingsEnabled[1], &aboutEnabled[1]);
          BoxDriver::PostClick(GetPluginsDialogButton(PLUGINS_BUTTON_SETTINGS), 40, 12);
          return true;
        },
        [=] {
          if (!g_settingsCalls)
            return false;
          BoxDriver::PostClick(GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT), 40, 12);
          return true;
        },
        [=] {
          if (!g_aboutCalls)
            return false;
          ClickRow(list, 2);
          return true;
        },
        [=, &settingsEnabled, &aboutEnabled] {
          if (list->GetCurrentItem() != list->FindByIndex(2))
            return false;
          state(&settingsEnabled[2], &aboutEnabled[2]);
          BoxDriver::PostClick(GetPluginsDialogButton(PLUGINS_BUTTON_CLOSE), 40, 12);
          return true;
        },
    });
  });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(Steps::Done(), 5u);
  EXPECT_EQ(width, 288);
  EXPECT_EQ(height, 256);
  EXPECT_EQ(rows, (std::vector<std::string>{"Alpha 1.2.3", "Beta 2.0"}));
  EXPECT_FALSE(settingsEnabled[0]);
  EXPECT_FALSE(aboutEnabled[0]);
  EXPECT_TRUE(settingsEnabled[1]);
  EXPECT_TRUE(aboutEnabled[1]);
  EXPECT_FALSE(settingsEnabled[2]);
  EXPECT_FALSE(aboutEnabled[2]);
  EXPECT_EQ(g_settingsCalls, 1);
  EXPECT_EQ(g_aboutCalls, 1);
  EXPECT_NE(g_calledWith, nullptr);
  EXPECT_EQ(GetPluginsDialogWindow(), nullptr);
}

TEST_F(PluginDialogsTest, PluginsWithoutModulesIsEmptyAndEnterAndEscapeClose) {
  AddFormat(FORMAT_KIND_BUILTIN, "Vellumcraft project", 0x01000000u, true, true);
  for (int key : {VK_RETURN, VK_ESCAPE}) {
    int count = -1;
    bool settings = true, about = true;
    RunPlugins([&](CWULAppWindow* dialog) {
      count = GetPluginsDialogList()->GetCount();
      settings = GetPluginsDialogButton(PLUGINS_BUTTON_SETTINGS)->IsEnabled();
      about = GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT)->IsEnabled();
      // Asking again while it is open shows no second one.
      PluginsDialog();
      BoxDriver::PostKey(dialog, key);
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut()) << key;
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(settings);
    EXPECT_FALSE(about);
  }
}

BOOL CALLBACK AddChildText(HWND child, LPARAM param) {
  char text[512] = "";
  GetWindowTextA(child, text, sizeof text);
  reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
  return TRUE;
}

// The window texts of a top-level window's children.
std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  EnumChildWindows(window, &AddChildText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// The real plug-ins: each listed with its version, and Rastrel's own About box opens from
// the dialog with its name and version.
TEST_F(PluginDialogsTest, PluginsShowsTheLoadedModulesAndOpensRastrelsAboutBox) {
  ASSERT_TRUE(ScanPluginFolder((BinFolder() + "Plugins").c_str()));
  std::vector<std::string> expected;
  int rastrel = 0;
  std::string versionLine;
  for (CListItem* node = g_Plugins.first; node; node = node->next) {
    auto* plugin = static_cast<CFileFormat*>(node);
    if (plugin->kind != FORMAT_KIND_PLUGIN)
      continue;
    char version[64] = "";
    FormatVersion(version, plugin->version, sizeof version - 1);
    expected.push_back(std::string(plugin->name.text) + " " + version);
    if (std::string(plugin->name.text) == "Rastrel" && plugin->about) {
      rastrel = static_cast<int>(expected.size());
      const unsigned v = plugin->version;
      versionLine = "\nVersion " + std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255);
      if (v & 0xFFFF)
        versionLine += "." + std::to_string((v >> 8) & 255);
      if (v & 255)
        versionLine += "." + std::to_string(v & 255);
      versionLine += "\n";
    }
  }
  ASSERT_GE(expected.size(), 2u);
  ASSERT_GT(rastrel, 0);
  std::vector<std::string> rows;
  std::vector<std::string> aboutTexts;
  bool aboutOwned = false;
  RunPlugins([&](CWULAppWindow* dialog) {
    CWULListBox* list = GetPluginsDialogList();
    rows = Rows(list);
    HWND self = dialog->GetHandle();
    Steps::Start({
        [=] { ClickRow(list, rastrel); return true; },
        [=] {
          if (list->GetCurrentItem() != list->FindByIndex(rastrel) ||
              !GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT)->IsEnabled())
            return false;
          BoxDriver::PostClick(GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT), 40, 12);
          return true;
        },
        // The plug-in's box, from the plug-in's own framework, owned by the dialog.
        [=, &aboutTexts, &aboutOwned] {
          HWND box = BoxDriver::Find("About Rastrel plugin");
          if (!box)
            return false;
          aboutTexts = ChildTexts(box);
          aboutOwned = GetWindow(box, GW_OWNER) == self;
          HWND target = GetFocus() ? GetFocus() : box;
          PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, KeyParam(VK_ESCAPE, false));
          PostMessageA(target, WM_KEYUP, VK_ESCAPE, KeyParam(VK_ESCAPE, true));
          return true;
        },
        [=] {
          if (BoxDriver::Find("About Rastrel plugin"))
            return false;
          BoxDriver::PostKey(static_cast<CWULAppWindow*>(BoxDriver::InteractorOf(self)), VK_ESCAPE);
          return true;
        },
    });
  });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(Steps::Done(), 4u);
  EXPECT_EQ(rows, expected);
  EXPECT_TRUE(aboutOwned);
  bool versionShown = false;
  for (const std::string& text : aboutTexts)
    if (text.find(versionLine) != std::string::npos)
      versionShown = true;
  EXPECT_TRUE(versionShown) << versionLine;
  EXPECT_NE(std::find(aboutTexts.begin(), aboutTexts.end(), "OK"), aboutTexts.end());
}

// --- About ---

std::string g_opened;
int g_openedShow = -1;
HINSTANCE WINAPI FakeOpener(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT show) {
  g_opened = std::string(verb ? "verb:" : "") + (file ? file : "");
  g_openedShow = show;
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

TEST_F(PluginDialogsTest, AboutShowsTheVersionAndTheLinkOpensTheAddress) {
  AboutLinkOpener saved = g_AboutLinkOpener;
  g_AboutLinkOpener = FakeOpener;
  g_opened.clear();
  std::string text;
  int width = 0, height = 0;
  bool ran = false;
  BoxDriver::Run("About Vellumcraft", [&](CWULAppWindow* dialog) {
    width = dialog->GetClientWidth();
    height = dialog->GetClientHeight();
    text = GetAboutDialogText()->GetText();
    CWULLabel* link = GetAboutDialogLink();
    Steps::Start({
        [=] { BoxDriver::PostClick(link, 4, link->GetHeight() / 2); return true; },
        [=] {
          if (g_opened.empty())
            return false;
          BoxDriver::PostKey(dialog, VK_RETURN);
          return true;
        },
    });
    ran = true;
  }, [] {
    AboutDialog();
    return 0;
  });
  g_AboutLinkOpener = saved;
  EXPECT_TRUE(ran);
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 168);
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const uint32_t packed = g_App.version ? g_App.version : GetFileProductVersion(self);
  ASSERT_NE(packed, 0u);
  char version[64] = "";
  FormatVersion(version, packed, sizeof version - 1);
  EXPECT_EQ(text.rfind(std::string("Vellumcraft\nVersion ") + version + "\n", 0), 0u) << text;
  EXPECT_GT(text.size(), std::strlen("Vellumcraft\nVersion \n") + std::strlen(version));
  // No verb, shown.
  EXPECT_EQ(g_opened.rfind("http", 0), 0u) << g_opened;
  EXPECT_EQ(g_openedShow, SW_SHOW);
  EXPECT_EQ(GetAboutDialogWindow(), nullptr);
}

// --- Image selection ---

CImage* AddImage(CProject* project, int w, int h, uint32_t argb, int32_t format) {
  auto* image = new CImage();
  image->SetSize(w, h);
  image->SetTargetFormat(format);
  project->AddImage(image);
  auto* layer = new CRasterLayer();
  image->AddLayer(layer);
  layer->GetPixels()->Fill(argb);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  return image;
}

class SelectImageTest : public PluginDialogsTest {
protected:
  void SetUp() override {
    PluginDialogsTest::SetUp();
    small = AddImage(&project, 16, 16, 0xFFFF0000u, CImage::FORMAT_32BIT_ARGB);
    wide = AddImage(&project, 256, 128, 0xFF00FF00u, CImage::FORMAT_32BIT_ARGB);
    paletted = AddImage(&project, 32, 32, 0xFF0000FFu, CImage::FORMAT_8BIT_PALETTE);
  }
  CImage* Run(const BoxDriver::Action& action) {
    CImage* chosen = reinterpret_cast<CImage*>(1);
    BoxDriver::Run("Select an image", action, [&] {
      chosen = SelectImageDialog(&project);
      return 0;
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(GetSelectImageDialogWindow(), nullptr);
    return chosen;
  }
  CProject project;
  CImage* small = nullptr;
  CImage* wide = nullptr;
  CImage* paletted = nullptr;
};

TEST_F(SelectImageTest, ListsEveryImageWithThumbnailAndTextAndOkReturnsTheClickedOne) {
  std::vector<std::string> rows;
  int width = 0, height = 0;
  int thumbs[3][2] = {};
  uint32_t thumbPixel[2] = {};
  bool firstSelected = false;
  CImage* chosen = Run([&](CWULAppWindow* dialog) {
    width = dialog->GetClientWidth();
    height = dialog->GetClientHeight();
    CThumbnailList* list = GetSelectImageList();
    rows = Captions(list);
    firstSelected = list->GetSelected() == ItemAt(list, 1);
    for (int i = 0; i < 3 && i < list->GetCount(); ++i) {
      CWULImage* image = ItemAt(list, i + 1)->picture;
      thumbs[i][0] = image ? image->width : 0;
      thumbs[i][1] = image ? image->height : 0;
    }
    if (list->GetCount() >= 2 && ItemAt(list, 1)->picture && ItemAt(list, 2)->picture) {
      thumbPixel[0] = ItemAt(list, 1)->picture->GetPixel(7, 7);
      thumbPixel[1] = ItemAt(list, 2)->picture->GetPixel(40, 20);
    }
    Steps::Start({
        [=] { ClickItem(list, 2); return true; },
        [=] {
          if (list->GetSelected() != ItemAt(list, 2))
            return false;
          BoxDriver::PostClick(GetSelectImageButton(true), 40, 12);
          return true;
        },
    });
  });
  EXPECT_EQ(Steps::Done(), 2u);
  EXPECT_EQ(chosen, wide);
  EXPECT_TRUE(firstSelected);
  EXPECT_EQ(width, 394);
  EXPECT_EQ(height, 298);
  char depth[64] = "";
  ColorDepthName(depth, CImage::FORMAT_32BIT_ARGB, sizeof depth - 1);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], std::string("16x16 ") + depth);
  EXPECT_EQ(rows[1], std::string("256x128 ") + depth);
  EXPECT_EQ(rows[2], "32x32 256 colors");
  // Unscaled; fitted keeping the ratio.
  EXPECT_EQ(thumbs[0][0], 16);
  EXPECT_EQ(thumbs[0][1], 16);
  EXPECT_EQ(thumbs[1][0], 80);
  EXPECT_EQ(thumbs[1][1], 40);
  EXPECT_EQ(thumbs[2][0], 32);
  EXPECT_EQ(thumbs[2][1], 32);
  EXPECT_EQ(thumbPixel[0], 0xFFFF0000u);
  EXPECT_EQ(thumbPixel[1], 0xFF00FF00u);
}

TEST_F(SelectImageTest, TheListShowsEachPictureAboveItsCaption) {
  uint32_t shown[2] = {};
  bool below[2] = {};
  Run([&](CWULAppWindow* dialog) {
    CThumbnailList* list = GetSelectImageList();
    CWULOffscreenBuffer shot;
    shot.SetSize(list->GetClientWidth(), list->GetClientHeight());
    HDC dc = GetDC(list->GetHandle());
    RedrawWindow(list->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    BitBlt(shot.GetDC(), 0, 0, shot.GetWidth(), shot.GetHeight(), dc, 0, 0, SRCCOPY);
    ReleaseDC(list->GetHandle(), dc);
    for (int i = 0; i < 2; ++i) {
      CSizeListItem* item = ItemAt(list, i + 1);
      if (!item)
        continue;
      const int x = item->x + (item->pictureRect.left + item->pictureRect.right) / 2 - list->GetScrollX();
      const int y = item->y + (item->pictureRect.top + item->pictureRect.bottom) / 2 - list->GetScrollY();
      if (x >= 0 && y >= 0 && x < shot.GetWidth() && y < shot.GetHeight())
        shown[i] = RGBAt(shot, x, y);
      below[i] = item->textRect.top >= item->pictureRect.bottom;
    }
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(shown[0], 0xFF0000u);
  EXPECT_EQ(shown[1], 0x00FF00u);
  EXPECT_TRUE(below[0]);
  EXPECT_TRUE(below[1]);
}

TEST_F(SelectImageTest, CancelEscapeAndTheCloseBoxReturnNothing) {
  EXPECT_EQ(Run([](CWULAppWindow*) { BoxDriver::PostClick(GetSelectImageButton(false), 40, 12); }), nullptr);
  EXPECT_EQ(Run([](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); }), nullptr);
  EXPECT_EQ(Run([](CWULAppWindow* dialog) { PostMessageA(dialog->GetHandle(), WM_CLOSE, 0, 0); }), nullptr);
}

TEST_F(SelectImageTest, EnterTakesTheSelectedImageAndADoubleClickTheRow) {
  EXPECT_EQ(Run([](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_RETURN); }), small);
  EXPECT_EQ(Run([](CWULAppWindow*) { ClickItem(GetSelectImageList(), 3, true); }), paletted);
  // Enter on the focused Cancel button cancels.
  EXPECT_EQ(Run([](CWULAppWindow* dialog) {
              GetSelectImageButton(false)->SetFocus();
              BoxDriver::PostKey(dialog, VK_RETURN);
            }),
            nullptr);
}

TEST_F(SelectImageTest, PreviewDrawsTheImageOverTheChequerOrThePlainBackground) {
  uint32_t chequered[3] = {}, plain[3] = {};
  uint32_t afterSelect = 0;
  int pw = 0, ph = 0;
  Run([&](CWULAppWindow* dialog) {
    CWULImage* canvas = GetSelectImagePreview()->GetImage();
    pw = canvas->width;
    ph = canvas->height;
    chequered[0] = canvas->GetPixel(0, 0);
    chequered[1] = canvas->GetPixel(4, 0);
    chequered[2] = canvas->GetPixel(pw / 2, ph / 2);
    Steps::Start({
        [=] { BoxDriver::PostClick(GetSelectImageChequerBox(), 6, 10); return true; },
        [=, &plain] {
          if (GetSelectImageChequerBox()->IsChecked())
            return false;
          CWULImage* c = GetSelectImagePreview()->GetImage();
          plain[0] = c->GetPixel(0, 0);
          plain[1] = c->GetPixel(4, 0);
          plain[2] = GetSelectImagePreview()->GetColor().value;
          ClickItem(GetSelectImageList(), 3);
          return true;
        },
        [=, &afterSelect] {
          if (GetSelectImageList()->GetSelected() != ItemAt(GetSelectImageList(), 3))
            return false;
          afterSelect = GetSelectImagePreview()->GetImage()->GetPixel(pw / 2, ph / 2);
          BoxDriver::PostKey(dialog, VK_ESCAPE);
          return true;
        },
    });
  });
  EXPECT_EQ(Steps::Done(), 3u);
  ASSERT_GT(pw, 16);
  ASSERT_GT(ph, 16);
  EXPECT_EQ(chequered[0] & 0xFFFFFFu, g_Settings.uiColorsChequerA->GetValue().value & 0xFFFFFFu);
  EXPECT_EQ(chequered[1] & 0xFFFFFFu, g_Settings.uiColorsChequerB->GetValue().value & 0xFFFFFFu);
  EXPECT_EQ(chequered[2] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(plain[0], plain[1]);
  EXPECT_EQ(plain[0] & 0xFFFFFFu, plain[2] & 0xFFFFFFu);
  EXPECT_EQ(afterSelect & 0xFFFFFFu, 0x0000FFu);
}

// --- Unloading and reloading the modules ---

CPlugin* FindPlugin(const char* name) {
  for (CListItem* node = g_Plugins.first; node; node = node->next)
    if (auto* plugin = dynamic_cast<CPlugin*>(static_cast<CFileFormat*>(node)))
      if (std::strcmp(plugin->name.text, name) == 0)
        return plugin;
  return nullptr;
}

// The rows the Plugins dialog should show for the modules now loaded.
std::vector<std::string> LoadedRows() {
  std::vector<std::string> rows;
  for (CListItem* node = g_Plugins.first; node; node = node->next) {
    auto* plugin = static_cast<CFileFormat*>(node);
    if (plugin->kind != FORMAT_KIND_PLUGIN)
      continue;
    char version[64] = "";
    FormatVersion(version, plugin->version, sizeof version - 1);
    rows.push_back(std::string(plugin->name.text) + " " + version);
  }
  return rows;
}

void PostKeyTo(HWND window, int key) {
  PostMessageA(window, WM_KEYDOWN, key, KeyParam(key, false));
  PostMessageA(window, WM_KEYUP, key, KeyParam(key, true));
}

// A dialog of a plug-in, seen from outside its framework copy: found by its caption,
// answered with a key, and the window class it was made of.
struct PluginBox {
  explicit PluginBox(std::string text) : caption(std::move(text)) {}
  std::string caption;
  HWND window = nullptr;
  std::string className;
  HINSTANCE classModule = nullptr;
  int ticks = 0;
  bool timedOut = false;

  bool ClassRegistered() const {
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    return !className.empty() && GetClassInfoExA(classModule, className.c_str(), &info) != 0;
  }
};

// Steps that press key in the box once it shows and then wait until it has gone; a box
// left open is closed after a while and counted as timed out.
std::vector<Steps::Step> AnswerBox(PluginBox* box, int key) {
  return {
      [=] {
        HWND found = BoxDriver::Find(box->caption.c_str());
        if (!found)
          return false;
        box->window = found;
        char name[64] = "";
        GetClassNameA(found, name, sizeof name);
        box->className = name;
        box->classModule = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(found, GCLP_HMODULE));
        PostKeyTo(found, key);
        return true;
      },
      [=] {
        if (!IsWindow(box->window))
          return true;
        if (++box->ticks > 100) {
          box->timedOut = true;
          box->ticks = 0;
          PostMessageA(box->window, WM_CLOSE, 0, 0);
        }
        return false;
      },
  };
}

std::string ModuleFile(const char* name) { return std::string(name) + ".vcplugin"; }

// Every plug-in's own dialog: the About boxes of JPEG, TGA and PSD, and Rastrel's BMP
// options on an export, each answered and closed; keeps the window class of each.
void UseEveryPluginDialog(std::vector<PluginBox>* boxes) {
  boxes->reserve(boxes->size() + 4);  // the steps hold pointers to the boxes
  for (const char* name : {"JPEG", "TGA", "PSD"}) {
    SCOPED_TRACE(name);
    CPlugin* plugin = FindPlugin(name);
    ASSERT_NE(plugin, nullptr);
    ASSERT_NE(plugin->about, nullptr);
    boxes->emplace_back(std::string("About ") + name + " plugin");
    PluginBox* box = &boxes->back();
    Steps::Start(AnswerBox(box, VK_ESCAPE));
    EXPECT_EQ(plugin->about(nullptr), 1);
    Steps::Stop();
    EXPECT_NE(box->window, nullptr);
    EXPECT_FALSE(IsWindow(box->window));
    EXPECT_FALSE(box->timedOut);
    EXPECT_NE(box->className.rfind("WUL:", 0), std::string::npos) << box->className;
    EXPECT_EQ(box->classModule, plugin->module);
  }

  CPlugin* rastrel = FindPlugin("Rastrel");
  ASSERT_NE(rastrel, nullptr);
  ASSERT_NE(rastrel->exportFile, nullptr);
  CProject project;
  AddImage(&project, 16, 16, 0xFF336699u, CImage::FORMAT_32BIT_ARGB);
  VCXMultiImage* doc = CreatePortableMultiImage(&project);
  ASSERT_NE(doc, nullptr);
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "vc-unload-" + std::to_string(GetCurrentProcessId()) + ".bmp";
  boxes->emplace_back("BMP options");
  PluginBox* box = &boxes->back();
  Steps::Start(AnswerBox(box, VK_RETURN));
  EXPECT_EQ(rastrel->exportFile(nullptr, path.c_str(), 1, doc), 1);
  Steps::Stop();
  VcsFreeMultiImage(doc);
  EXPECT_FALSE(IsWindow(box->window));
  EXPECT_FALSE(box->timedOut);
  EXPECT_EQ(box->classModule, rastrel->module);
  WIN32_FILE_ATTRIBUTE_DATA written = {};
  EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &written));
  EXPECT_GT(written.nFileSizeLow, 54u);
  DeleteFileA(path.c_str());
}

// Each module is freed on its own, in several orders, and loaded again; after every step
// the program's own dialogs and the plug-ins still loaded work, and a freed module leaves
// nothing behind: it is no longer mapped and its window class is gone.
TEST_F(PluginDialogsTest, ModulesUnloadInAnyOrderAndLoadAgainWithWorkingDialogs) {
  const char* const orders[][4] = {
      {"JPEG", "PSD", "Rastrel", "TGA"},
      {"TGA", "Rastrel", "PSD", "JPEG"},
      {"Rastrel", "JPEG", "TGA", "PSD"},
  };
  for (const auto& order : orders) {
    SCOPED_TRACE(std::string("first out: ") + order[0]);
    ASSERT_TRUE(ScanPluginFolder((BinFolder() + "Plugins").c_str()));
    for (const char* name : order) {
      ASSERT_NE(FindPlugin(name), nullptr) << name;
      ASSERT_NE(GetModuleHandleA(ModuleFile(name).c_str()), nullptr) << name;
    }
    std::vector<PluginBox> boxes;
    UseEveryPluginDialog(&boxes);
    if (HasFatalFailure())
      return;

    for (const char* name : order) {
      SCOPED_TRACE(std::string("freed: ") + name);
      CPlugin* plugin = FindPlugin(name);
      const HMODULE module = plugin->module;
      delete plugin;
      EXPECT_EQ(GetModuleHandleA(ModuleFile(name).c_str()), nullptr);
      for (const PluginBox& box : boxes) {
        if (box.classModule == module) {
          EXPECT_FALSE(box.ClassRegistered()) << box.caption << " " << box.className;
        }
      }
      const std::vector<std::string> expected = LoadedRows();
      CPlugin* next = nullptr;
      for (const char* other : {"JPEG", "TGA", "PSD"})
        if (!next)
          next = FindPlugin(other);
      // The Plugins dialog lists the others, and the About box of one still loaded opens
      // from it, owned by the dialog.
      std::vector<std::string> rows;
      size_t stepCount = 0;
      PluginBox about(next ? std::string("About ") + next->name.text + " plugin" : std::string());
      RunPlugins([&](CWULAppWindow* dialog) {
        CWULListBox* list = GetPluginsDialogList();
        rows = Rows(list);
        HWND self = dialog->GetHandle();
        std::vector<Steps::Step> steps;
        int row = 0;
        for (size_t i = 0; next && i < rows.size(); ++i)
          if (rows[i].rfind(std::string(next->name.text) + " ", 0) == 0)
            row = static_cast<int>(i) + 1;
        if (row) {
          steps.push_back([=] { ClickRow(list, row); return true; });
          steps.push_back([=] {
            CWULPushButton* button = GetPluginsDialogButton(PLUGINS_BUTTON_ABOUT);
            if (list->GetCurrentItem() != list->FindByIndex(row) || !button->IsEnabled())
              return false;
            BoxDriver::PostClick(button, button->GetWidth() / 2, button->GetHeight() / 2);
            return true;
          });
          for (Steps::Step& step : AnswerBox(&about, VK_ESCAPE))
            steps.push_back(step);
        }
        steps.push_back([=] {
          PostKeyTo(self, VK_ESCAPE);
          return true;
        });
        stepCount = steps.size();
        Steps::Start(steps);
      });
      EXPECT_TRUE(BoxDriver::Ran());
      EXPECT_FALSE(BoxDriver::TimedOut());
      EXPECT_EQ(Steps::Done(), stepCount);
      EXPECT_EQ(rows, expected);
      if (next) {
        EXPECT_NE(about.window, nullptr);
        EXPECT_FALSE(IsWindow(about.window));
        EXPECT_FALSE(about.timedOut);
        EXPECT_EQ(about.classModule, next->module);
      }
    }
  }
}

}  // namespace

