#include <gtest/gtest.h>
#include <windows.h>
#include <cctype>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "tools/FontList.h"
#include "ui/FontDialog.h"
#include "wul/WULButton.h"
#include "wul/WULImage.h"
#include "wul/WULListBox.h"
#include "wul/WULPanel.h"

namespace {

const char* const kCaption = "Select a font";

std::string Upper(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

bool StartsWithNoCase(const std::string& name, const std::string& prefix) {
  return Upper(name.substr(0, prefix.size())) == Upper(prefix);
}

std::string CurrentName() {
  CWULListItem* item = GetFontDialogList() ? GetFontDialogList()->GetCurrentItem() : nullptr;
  return item ? item->GetText() : "";
}

std::vector<uint32_t> SamplePixels() {
  CWULImage* image = GetFontDialogSample() ? GetFontDialogSample()->GetImage() : nullptr;
  if (!image || !image->pixels)
    return {};
  return std::vector<uint32_t>(image->pixels, image->pixels + image->width * image->height);
}

void SendChar(int ch) {
  SendMessageA(GetFontDialogList()->GetHandle(), WM_CHAR, ch, 1);
}

class FontDialogTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    DropQueued();
    ASSERT_TRUE(g_FontList.Enumerate());
    ASSERT_GT(g_FontList.count, 1);
  }
  void TearDown() override { DropQueued(); }

  static void DropQueued() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT)
        DispatchMessageA(&message);
    }
  }

  static bool Open(CWULString& name, const char* sample, const BoxDriver::Action& action,
                   const RECT* anchor = nullptr) {
    return BoxDriver::Run(kCaption, action,
                          [&] { return SelectFontDialog(&name, sample, anchor) ? 1 : 0; }) == 1;
  }

  // A family whose name has at least two letters, and the first in the list that starts with
  // the same two letters.
  static std::string TwoLetterFace() {
    for (CFontListItem* item = g_FontList.GetFirst(); item; item = item->GetNext()) {
      const std::string name = item->name.text;
      if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) &&
          std::isalpha(static_cast<unsigned char>(name[1])) && item->GetPrev() &&
          !StartsWithNoCase(item->GetPrev()->name.text, name.substr(0, 1)))
        return name;
    }
    return g_FontList.GetFirst()->name.text;
  }
};

TEST_F(FontDialogTest, ListsTheFamiliesPreselectsTheBestMatchAndOkReturnsIt) {
  CFontListItem* wanted = g_FontList.GetFirst()->GetNext();
  // A lower-case prefix of the name finds the family.
  std::string typed = wanted->name.text;
  typed = Upper(typed).substr(0, typed.size());
  CWULString name(typed.c_str());
  std::vector<std::string> listed;
  int listClient = 0, itemHeight = 0;
  const bool chosen = Open(name, "Abc", [&](CWULAppWindow* dialog) {
    EXPECT_EQ(dialog, GetFontDialogWindow());
    CWULListBox* list = GetFontDialogList();
    for (int i = 1; i <= list->GetCount(); ++i)
      listed.push_back(list->FindByIndex(i)->GetText());
    listClient = list->GetClientHeight();
    itemHeight = list->GetItemHeight();
    EXPECT_EQ(CurrentName(), wanted->name.text);
    EXPECT_TRUE(list->HasFocus());
    BoxDriver::PostKey(dialog, VK_RETURN);
  });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_TRUE(chosen);
  EXPECT_STREQ(name.text, wanted->name.text);
  ASSERT_EQ(static_cast<int>(listed.size()), g_FontList.count);
  int i = 0;
  for (CFontListItem* item = g_FontList.GetFirst(); item; item = item->GetNext())
    EXPECT_EQ(listed[i++], item->name.text);
  // A whole number of rows.
  ASSERT_GT(itemHeight, 0);
  EXPECT_GT(listClient, 0);
  EXPECT_EQ(listClient % itemHeight, 0);
  EXPECT_EQ(GetFontDialogWindow(), nullptr);
}

TEST_F(FontDialogTest, CancelEscapeAndTheCloseBoxLeaveTheNameAlone) {
  CWULString name("Nothing like it");
  EXPECT_FALSE(Open(name, "x", [](CWULAppWindow*) {
    BoxDriver::PostClick(GetFontDialogButton(false), 40, 12);
  }));
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_STREQ(name.text, "Nothing like it");
  EXPECT_FALSE(Open(name, "x", [](CWULAppWindow* dialog) {
    BoxDriver::PostKey(dialog, VK_DOWN);
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_STREQ(name.text, "Nothing like it");
  EXPECT_FALSE(Open(name, "x", [](CWULAppWindow* dialog) {
    PostMessageA(dialog->GetHandle(), WM_CLOSE, 0, 0);
  }));
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_STREQ(name.text, "Nothing like it");
}

TEST_F(FontDialogTest, EnterOnTheFocusedCancelButtonCancelsAndKeysMoveTheSelection) {
  CWULString name(g_FontList.GetFirst()->name.text);
  std::string afterDown;
  EXPECT_FALSE(Open(name, nullptr, [&](CWULAppWindow* dialog) {
    SendMessageA(GetFontDialogList()->GetHandle(), WM_KEYDOWN, VK_DOWN, KeyParam(VK_DOWN, false));
    afterDown = CurrentName();
    GetFontDialogButton(false)->SetFocus();
    BoxDriver::PostKey(dialog, VK_RETURN);
  }));
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(afterDown, g_FontList.GetFirst()->GetNext()->name.text);
  EXPECT_STREQ(name.text, g_FontList.GetFirst()->name.text);
  // Down, then OK by click.
  EXPECT_TRUE(Open(name, nullptr, [&](CWULAppWindow* dialog) {
    BoxDriver::PostKey(dialog, VK_DOWN);
    BoxDriver::PostClick(GetFontDialogButton(true), 40, 12);
  }));
  EXPECT_STREQ(name.text, g_FontList.GetFirst()->GetNext()->name.text);
}

TEST_F(FontDialogTest, ADoubleClickOnAnItemChoosesIt) {
  CWULString name(g_FontList.GetFirst()->name.text);
  EXPECT_TRUE(Open(name, "x", [](CWULAppWindow*) {
    CWULListBox* list = GetFontDialogList();
    const int y = list->GetItemHeight() * 2 + 3;  // the third row
    HWND window = list->GetHandle();
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(10, y));
    PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(10, y));
  }));
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_STREQ(name.text, g_FontList.GetFirst()->GetNext()->GetNext()->name.text);
}

TEST_F(FontDialogTest, TypeAheadSelectsByPrefixAndStartsAgainAfterAPause) {
  const std::string face = TwoLetterFace();
  std::string expectedTwo;
  for (CFontListItem* item = g_FontList.GetFirst(); item && expectedTwo.empty(); item = item->GetNext())
    if (StartsWithNoCase(item->name.text, face.substr(0, 2)))
      expectedTwo = item->name.text;
  std::string expectedOne;
  const std::string firstLetter = g_FontList.GetFirst()->name.text;
  for (CFontListItem* item = g_FontList.GetFirst(); item && expectedOne.empty(); item = item->GetNext())
    if (StartsWithNoCase(item->name.text, firstLetter.substr(0, 1)))
      expectedOne = item->name.text;

  CWULString name(g_FontList.GetLast()->name.text);
  std::string afterTwo, afterBad, afterPause, afterControl;
  EXPECT_FALSE(Open(name, "x", [&](CWULAppWindow* dialog) {
    SendChar(std::tolower(static_cast<unsigned char>(face[0])));
    SendChar(std::toupper(static_cast<unsigned char>(face[1])));
    afterTwo = CurrentName();
    SendChar('\x01');  // control characters are ignored
    afterControl = CurrentName();
    SendChar('~');  // no family goes on like that: nothing changes
    afterBad = CurrentName();
    Sleep(1100);
    SendChar(firstLetter[0]);
    afterPause = CurrentName();
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  EXPECT_EQ(afterTwo, expectedTwo);
  EXPECT_EQ(afterControl, expectedTwo);
  EXPECT_EQ(afterBad, expectedTwo);
  EXPECT_EQ(afterPause, expectedOne);
}

TEST_F(FontDialogTest, OpeningWhileOpenReturnsFalseAndLeavesTheFirstRunning) {
  CWULString name("a");
  CWULString other("b");
  bool second = true;
  HWND first = nullptr;
  bool stillOpen = false;
  EXPECT_TRUE(Open(name, "x", [&](CWULAppWindow* dialog) {
    first = dialog->GetHandle();
    second = SelectFontDialog(&other, "y", nullptr);
    stillOpen = IsWindow(first) && GetFontDialogWindow() == dialog;
    BoxDriver::PostKey(dialog, VK_RETURN);
  }));
  EXPECT_FALSE(second);
  EXPECT_TRUE(stillOpen);
  EXPECT_STREQ(other.text, "b");
}

TEST_F(FontDialogTest, AnEmptySampleShowsSampleAndTheTextIsDrawnInTheMiddle) {
  // A TrueType family, so the sample comes from the reduced level.
  CFontListItem* trueType = nullptr;
  for (CFontListItem* item = g_FontList.GetFirst(); item && !trueType; item = item->GetNext())
    if (item->trueType && item->name.text[0] != '@')
      trueType = item;
  ASSERT_NE(trueType, nullptr);
  CWULString name(trueType->name.text);
  std::vector<uint32_t> empty, word, other;
  int width = 0, height = 0;
  uint32_t background = 0;
  auto grab = [&](std::vector<uint32_t>& into) {
    return [&](CWULAppWindow* dialog) {
      EXPECT_EQ(CurrentName(), trueType->name.text);
      into = SamplePixels();
      CWULImage* image = GetFontDialogSample()->GetImage();
      width = image->width;
      height = image->height;
      background = GetFontDialogSample()->GetColor().value;
      BoxDriver::PostKey(dialog, VK_ESCAPE);
    };
  };
  Open(name, "", grab(empty));
  Open(name, "Sample", grab(word));
  Open(name, "WWWWWW", grab(other));
  ASSERT_FALSE(empty.empty());
  EXPECT_EQ(empty, word);
  EXPECT_NE(empty, other);
  // The drawn part is centred horizontally and vertically within a pixel or two.
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((word[y * width + x] & 0xFFFFFF) != (background & 0xFFFFFF)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, left) << "nothing drawn";
  EXPECT_GT(right - left, 10);
  EXPECT_LE(std::abs(left - (width - 1 - right)), 12);
  EXPECT_GE(top, 1);
  EXPECT_LE(bottom, height - 1);
}

TEST_F(FontDialogTest, TheDialogOpensBelowItsAnchor) {
  CWULString name("x");
  RECT anchor = {120, 100, 200, 118};
  RECT placed = {};
  Open(name, "x", [&](CWULAppWindow* dialog) {
    GetWindowRect(dialog->GetHandle(), &placed);
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }, &anchor);
  EXPECT_EQ(placed.left, 120);
  EXPECT_EQ(placed.top, 118);
}

}  // namespace
