// The plug-in's About box: shown through VCXAbout from the plug-in's own resources, and the
// box itself driven with other versions and an extra text.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <string>
#include "AboutBoxKit.h"
#include "DialogProbe.h"
#include "RastrelHarness.h"
#include "plugins/sdk/VCXAbout.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"

namespace {

const char* const kCaption = "About Rastrel plugin";
const char* const kDescription = "Windows bitmap, icon and cursor import/export";
const char* const kHomepage = "https://vellumcraft.example.org/";

std::string AboutText(const char* description, const char* version) {
  return std::string(description) + "\nVersion " + version + "\n" + vcxMakerNotice;
}

int CentreX(const RECT& r) {
  return (r.left + r.right) / 2;
}

BOOL CALLBACK CountBox(HWND window, LPARAM lParam) {
  if (IsWindowVisible(window) && WindowText(window) == kCaption)
    ++*reinterpret_cast<int*>(lParam);
  return TRUE;
}

// The windows of the thread captioned as the box.
int BoxCount() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountBox, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Checks what every box shows, whatever its texts: size, the OK button with the focus,
// "Homepage:" and the link centred under the texts, one under the other.
void CheckFrame(HWND box, HWND text, const RECT& picture) {
  const SIZE client = ClientSize(box);
  EXPECT_EQ(client.cx, 320);
  EXPECT_EQ(client.cy, 320);
  HWND ok = ChildByText(box, "OK");
  ASSERT_NE(ok, nullptr);
  const RECT okRect = ClientRectOf(ok, box);
  EXPECT_EQ(okRect.left, 320 - 4 - 80);
  EXPECT_EQ(okRect.top, 320 - 4 - 24);
  EXPECT_EQ(okRect.right - okRect.left, 80);
  EXPECT_EQ(okRect.bottom - okRect.top, 24);
  EXPECT_EQ(GetFocus(), ok);

  ASSERT_NE(text, nullptr);
  const RECT textRect = ClientRectOf(text, box);
  EXPECT_GE(textRect.top, picture.bottom);
  EXPECT_NEAR(CentreX(textRect), 160, 1);
  EXPECT_EQ(ObjectOf<CWULLabel>(text)->hAlign, WUL_HALIGN_CENTER);

  HWND homepage = ChildByText(box, "Homepage:");
  HWND link = ChildByText(box, kHomepage);
  ASSERT_NE(homepage, nullptr);
  ASSERT_NE(link, nullptr);
  const RECT homeRect = ClientRectOf(homepage, box);
  const RECT linkRect = ClientRectOf(link, box);
  EXPECT_GE(homeRect.top, textRect.bottom);
  EXPECT_GE(linkRect.top, homeRect.bottom);
  EXPECT_LE(linkRect.bottom, okRect.top);
  EXPECT_NEAR(CentreX(homeRect), 160, 1);
  EXPECT_NEAR(CentreX(linkRect), 160, 1);
}

// Opens the plug-in's box with the probe armed; returns what VCXAbout returned.
int RunPluginAbout(DialogProbe& probe) {
  DialogProbeArm arm(probe);
  return Rastrel().about(nullptr);
}

// The framework of this program, for the boxes it shows itself.
void StartOwnFramework() {
  WULInit(GetModuleHandleA(nullptr));
}

// A plain picture of the given size.
CWULImage* MakePicture(int width, int height) {
  auto* picture = new CWULImage(width, height);
  picture->Fill(CWULColor(0xFF2060A0u));
  return picture;
}

// Shows the box of this program's own copy with a version and an extra text; returns the
// text of the box's version label.
std::string ShownText(uint32_t version, const char* extra, DialogProbe& probe) {
  StartOwnFramework();
  CWULImage* picture = MakePicture(64, 40);
  CVCXPictureHold hold(picture);
  std::string shown;
  auto inner = probe.run;
  probe.run = [&](HWND box) {
    for (HWND child : DialogChildren(box)) {
      const std::string text = WindowText(child);
      if (text.rfind("Reads things\n", 0) == 0)
        shown = text;
    }
    if (inner)
      inner(box);
    SendKeyStroke(GetFocus() ? GetFocus() : box, VK_RETURN);
  };
  DialogProbeArm arm(probe);
  EXPECT_EQ(vcxShowAboutBox(nullptr, "Rastrel", "Reads things", version, extra, picture, nullptr), 1);
  EXPECT_TRUE(probe.seen);
  return shown;
}

}  // namespace

TEST(RastrelAbout, ShowsNameVersionPictureAndLinkAndClosesWithEnter) {
  RastrelPlugin& plugin = Rastrel();
  ASSERT_NE(plugin.module, nullptr);
  DialogProbe probe;
  probe.caption = kCaption;
  int again = -1;
  int boxes = 0;
  probe.run = [&](HWND box) {
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const RECT picture = {8, 10, 8 + 304, 10 + 140};
    HWND text = ChildByText(box, AboutText(kDescription, "1.0"));
    CheckFrame(box, text, picture);

    // The picture of bitmap resource 300 at (8, 10), every opaque pixel as it is.
    const ResourceArt art = LoadResourceArt(plugin.module, 300);
    EXPECT_EQ(art.width, 304);
    EXPECT_EQ(art.height, 140);
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = CaptureClient(box, &width, &height);
    const ArtMatch match = MatchArt(pixels, width, height, art, 8, 10);
    EXPECT_GT(match.opaque, 10000);
    EXPECT_EQ(match.matching, match.opaque);

    // The hand cursor of resource 200 over the link.
    HWND link = ChildByText(box, kHomepage);
    if (link) {
      SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      EXPECT_EQ(GetCursor(), LoadCursorA(plugin.module, MAKEINTRESOURCEA(200)));
    }

    // One box at a time: asking again shows nothing.
    again = plugin.about(nullptr);
    boxes = BoxCount();
    SendKeyStroke(GetFocus() ? GetFocus() : box, VK_RETURN);
  };
  EXPECT_EQ(RunPluginAbout(probe), 1);
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(again, 0);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(FindDialog(kCaption), nullptr);
}

TEST(RastrelAbout, EscapeOrTheCloseBoxClosesAndANewBoxOpensAfterwards) {
  for (int round = 0; round < 2; ++round) {
    DialogProbe probe;
    probe.caption = kCaption;
    probe.run = [round](HWND box) {
      if (round)
        EXPECT_TRUE(ClickCloseBox(box));
      else
        SendKeyStroke(GetFocus() ? GetFocus() : box, VK_ESCAPE);
    };
    EXPECT_EQ(RunPluginAbout(probe), 1) << round;
    EXPECT_TRUE(probe.seen) << round;
    EXPECT_EQ(FindDialog(kCaption), nullptr);
  }
}

TEST(RastrelAbout, VersionLineShowsBuildAndRevisionOnlyWhenSet) {
  struct Case {
    uint32_t version;
    const char* shown;
  } cases[] = {{0x01000000u, "1.0"},       {0x01020000u, "1.2"},     {0x01020300u, "1.2.3"},
               {0x01020004u, "1.2.0.4"},   {0x01020304u, "1.2.3.4"}, {0xFF000000u, "255.0"},
               {0x0A0B0C0Du, "10.11.12.13"}};
  for (const Case& c : cases) {
    DialogProbe probe;
    probe.caption = kCaption;
    EXPECT_EQ(ShownText(c.version, nullptr, probe), AboutText("Reads things", c.shown)) << c.shown;
  }
}

TEST(RastrelAbout, ExtraTextWrapsUnderTheLinkInANarrowerLabel) {
  const char* const extra =
      "An extra remark of the plug-in that is long enough to need more than one line of the box.";
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [&](HWND box) {
    HWND label = ChildByText(box, extra);
    ASSERT_NE(label, nullptr);
    const RECT rect = ClientRectOf(label, box);
    EXPECT_EQ(rect.left, 16);
    EXPECT_EQ(rect.right - rect.left, 320 - 32);
    const RECT link = ClientRectOf(ChildByText(box, kHomepage), box);
    const RECT ok = ClientRectOf(ChildByText(box, "OK"), box);
    EXPECT_GE(rect.top, link.bottom);
    EXPECT_LE(rect.bottom, ok.top);
    // Two lines at least.
    EXPECT_GE(rect.bottom - rect.top, 2 * (link.bottom - link.top) - 4);
    CheckFrame(box, ChildByText(box, AboutText("Reads things", "3.1")), {8, 10, 8 + 64, 10 + 40});
  };
  ShownText(0x03010000u, extra, probe);
}

TEST(RastrelAbout, NoPictureShowsNothing) {
  StartOwnFramework();
  EXPECT_EQ(vcxShowAboutBox(nullptr, "Rastrel", "Reads things", 0x01000000u, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(FindDialog(kCaption), nullptr);
  // The plug-in's picture is resource 300; another number has none.
  CWULImage* picture = vcxLoadPicture(Rastrel().module, 300);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 304);
  EXPECT_EQ(picture->height, 140);
  CWULImage::Release(picture);
  EXPECT_EQ(vcxLoadPicture(Rastrel().module, 301), nullptr);
}
