// The About box of the JPEG, TGA and PSD plug-ins, opened through VCXAbout and inspected
// from a thread timer while its modal loop runs.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "OldPluginHarness.h"
#include "plugins/rastrel/AboutBoxKit.h"

namespace {

const char* const kHomepage = "https://vellumcraft.example.org/";

struct Child {
  HWND window;
  std::string text;
  RECT rect;  // in the box's client coordinates
};

struct Probe {
  std::string caption;
  std::function<void(HWND box)> inspect;
  int key = VK_RETURN;  // 0: the close box
  bool seen = false;
};

Probe*& CurrentProbe() {
  static Probe* probe = nullptr;
  return probe;
}

void CALLBACK ProbeTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  Probe* probe = CurrentProbe();
  if (!probe)
    return;
  std::pair<std::string, HWND> found(probe->caption, nullptr);
  EnumThreadWindows(GetCurrentThreadId(), FindCaptioned, reinterpret_cast<LPARAM>(&found));
  if (!found.second)
    return;
  KillTimer(nullptr, timer);
  CurrentProbe() = nullptr;
  probe->seen = true;
  RedrawWindow(found.second, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (probe->inspect)
    probe->inspect(found.second);
  if (probe->key)
    SendKeyStroke(GetFocus() ? GetFocus() : found.second, probe->key);
  else
    EXPECT_TRUE(ClickCloseBox(found.second));
}

// Calls VCXAbout with the probe armed; returns its result.
int RunAbout(OldPlugin& plugin, Probe& probe) {
  CurrentProbe() = &probe;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, ProbeTimer);
  const int result = plugin.about(nullptr);
  KillTimer(nullptr, timer);
  CurrentProbe() = nullptr;
  return result;
}

std::vector<Child> Children(HWND box) {
  std::vector<HWND> windows;
  EnumChildWindows(box, CollectChildren, reinterpret_cast<LPARAM>(&windows));
  std::vector<Child> children;
  for (HWND window : windows) {
    Child child{window, "", {}};
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    child.text = text;
    GetWindowRect(window, &child.rect);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&child.rect), 2);
    children.push_back(child);
  }
  return children;
}

const Child* FindChild(const std::vector<Child>& children, const std::string& text) {
  for (const Child& child : children)
    if (child.text == text)
      return &child;
  return nullptr;
}

void CheckBox(const char* name, const std::string& about) {
  OldPlugin& plugin = LoadOldPlugin(name);
  ASSERT_NE(plugin.about, nullptr);
  Probe probe;
  probe.caption = std::string("About ") + name + " plugin";
  probe.inspect = [&](HWND box) {
    RECT client;
    GetClientRect(box, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 150);
    const std::vector<Child> children = Children(box);

    const Child* ok = FindChild(children, "OK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->rect.left, 320 - 4 - 80);
    EXPECT_EQ(ok->rect.top, 150 - 4 - 24);
    EXPECT_EQ(ok->rect.right - ok->rect.left, 80);
    EXPECT_EQ(ok->rect.bottom - ok->rect.top, 24);
    EXPECT_EQ(GetFocus(), ok->window);

    const Child* text = FindChild(children, about);
    ASSERT_NE(text, nullptr) << about;
    EXPECT_EQ(text->rect.left, 8 + 60 + 8);

    const Child* homepage = FindChild(children, "Homepage:");
    ASSERT_NE(homepage, nullptr);
    const int middle = (homepage->rect.top + homepage->rect.bottom) / 2;
    EXPECT_NEAR(middle, (10 + 48 + ok->rect.top) / 2, 1);
    const Child* link = FindChild(children, kHomepage);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->rect.left, homepage->rect.right + 4);
    EXPECT_EQ(link->rect.top, homepage->rect.top);

    // The hand cursor of resource 102 over the link.
    SendMessageA(link->window, WM_SETCURSOR, reinterpret_cast<WPARAM>(link->window),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(plugin.module, MAKEINTRESOURCEA(102)));

    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = CaptureClient(box, &width, &height);
    // Every opaque pixel of the picture at (8, 10).
    const ResourceArt art = LoadResourceArt(plugin.module, 101);
    ASSERT_EQ(art.width, 60);
    ASSERT_EQ(art.height, 48);
    const ArtMatch match = MatchArt(pixels, width, height, art, 8, 10);
    EXPECT_GT(match.opaque, 500);
    EXPECT_EQ(match.matching, match.opaque);
    // The link: text in RGB(48, 48, 144) with an underline across it.
    int longest = 0;
    for (int y = link->rect.top; y < link->rect.bottom; ++y) {
      int run = 0;
      for (int x = link->rect.left; x < link->rect.right; ++x)
        if (pixels[size_t(y) * width + x] == 0x303090)
          longest = std::max(longest, ++run);
        else
          run = 0;
    }
    EXPECT_GT(longest, (link->rect.right - link->rect.left) * 3 / 4);

    // One box at a time.
    EXPECT_EQ(plugin.about(nullptr), 0);
  };
  EXPECT_EQ(RunAbout(plugin, probe), 1);
  EXPECT_TRUE(probe.seen);

  // Escape and the close box close it too, and then a new one opens.
  for (int key : {VK_ESCAPE, 0}) {
    Probe closing;
    closing.caption = probe.caption;
    closing.key = key;
    EXPECT_EQ(RunAbout(plugin, closing), 1);
    EXPECT_TRUE(closing.seen);
    std::pair<std::string, HWND> left(probe.caption, nullptr);
    EnumThreadWindows(GetCurrentThreadId(), FindCaptioned, reinterpret_cast<LPARAM>(&left));
    EXPECT_EQ(left.second, nullptr);
  }
}

}  // namespace

TEST(AboutBox, Jpeg) {
  CheckBox("JPEG",
           "JPEG import plug-in for Vellumcraft\nVersion 1.0\nDecoding by the Independent JPEG "
           "Group's library");
}

TEST(AboutBox, Tga) {
  CheckBox("TGA",
           "TGA import and export plug-in for Vellumcraft\nVersion 1.0\nTruevision Targa files, raw "
           "and run-length encoded");
}

TEST(AboutBox, Psd) {
  CheckBox("PSD",
           "Photoshop document import plug-in for Vellumcraft\nVersion 1.0\nLayers or the "
           "composite of Photoshop documents");
}
