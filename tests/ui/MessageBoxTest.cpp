#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "common/BoxWatcher.h"
#include "common/CloseGap.h"
#include "shell/Errors.h"
#include "ui/MessageBox.h"
#include "wul/WULButton.h"
#include "wul/WULPanel.h"

namespace {

// The parts of an open box, read inside its loop.
struct BoxParts {
  CWULAppWindow* box = nullptr;
  CWULPicture* picture = nullptr;
  CWULLabel* label = nullptr;
  std::vector<CWULButton*> buttons;
};

BoxParts PartsOf(CWULAppWindow* box) {
  BoxParts parts;
  parts.box = box;
  for (CWULInteractor* child = box->firstChild; child; child = child->nextSibling) {
    if (auto* picture = dynamic_cast<CWULPicture*>(child))
      parts.picture = picture;
    else if (auto* label = dynamic_cast<CWULLabel*>(child))
      parts.label = label;
    else if (auto* button = dynamic_cast<CWULButton*>(child))
      parts.buttons.push_back(button);
  }
  return parts;
}

std::vector<std::string> ButtonTexts(const BoxParts& parts) {
  std::vector<std::string> texts;
  for (CWULButton* button : parts.buttons)
    texts.push_back(button->GetText());
  return texts;
}

CWULButton* FocusedButton(const BoxParts& parts) {
  for (CWULButton* button : parts.buttons)
    if (button->HasFocus())
      return button;
  return nullptr;
}

uint32_t RGBOfPixel(uint32_t pixel) { return pixel & 0xFFFFFFu; }

class MessageBoxTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    DropQueued();
  }
  void TearDown() override { DropQueued(); }

  static void DropQueued() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT)
        DispatchMessageA(&message);
    }
  }

  // Opens a box captioned "Box test" and runs the action inside it.
  static int Open(int type, int kind, const char* text, int defaultValue, const BoxDriver::Action& action) {
    return BoxDriver::Run("Box test", action, [&] {
      return MessageBoxDialog(nullptr, type, kind, "Box test", text, defaultValue);
    });
  }
};

TEST_F(MessageBoxTest, UnknownTypeOrKindAnswersZeroWithoutABox) {
  const int bad[][2] = {{0, 1}, {5, 1}, {-1, 1}, {1, 0}, {1, 5}, {4, 99}};
  for (const auto& args : bad) {
    const DWORD before = GetTickCount();
    EXPECT_EQ(MessageBoxDialog(nullptr, args[0], args[1], "Box test", "text", 3), 0)
        << "type " << args[0] << " kind " << args[1];
    EXPECT_LT(GetTickCount() - before, 2000u);
    EXPECT_EQ(BoxDriver::Find("Box test"), nullptr);
  }
}

TEST_F(MessageBoxTest, ErrorBoxWithOneWordIsMinimumWidthWithOkAtTheRight) {
  BoxParts seen;
  RECT client = {};
  RECT button = {};
  RECT label = {};
  bool focused = false;
  std::vector<std::string> buttonTexts;
  const int result = Open(MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Oops", MSGBOX_VALUE_OK, [&](CWULAppWindow* box) {
    seen = PartsOf(box);
    buttonTexts = ButtonTexts(seen);
    client = {0, 0, box->GetClientWidth(), box->GetClientHeight()};
    if (seen.buttons.size() == 1) {
      seen.buttons[0]->GetRect(&button);
      focused = seen.buttons[0]->HasFocus();
    }
    if (seen.label)
      seen.label->GetRect(&label);
    BoxDriver::PostKey(box, VK_RETURN);
  });
  EXPECT_EQ(result, MSGBOX_VALUE_OK);
  EXPECT_FALSE(BoxDriver::TimedOut());
  ASSERT_EQ(seen.buttons.size(), 1u);
  ASSERT_NE(seen.label, nullptr);
  ASSERT_NE(seen.picture, nullptr);
  EXPECT_EQ(buttonTexts, std::vector<std::string>{"&OK"});
  EXPECT_TRUE(focused);
  // The picture is 32 pixels wide: the text starts at 48 and is at least 144 wide.
  EXPECT_EQ(label.left, 48);
  EXPECT_EQ(label.top, 10);
  EXPECT_EQ(label.right - label.left, 144);
  EXPECT_GE(label.bottom - label.top, 32);
  EXPECT_EQ(client.right, 200);
  EXPECT_GE(client.right, 84 + 4);
  EXPECT_EQ(client.bottom, label.bottom + 36);
  EXPECT_EQ(button.right - button.left, 80);
  EXPECT_EQ(button.bottom - button.top, 24);
  EXPECT_EQ(button.right, client.right - 4);
  EXPECT_EQ(button.bottom, client.bottom - 4);
}

TEST_F(MessageBoxTest, YesNoCancelFocusesTheDefaultAndAnswersTheMnemonic) {
  BoxParts seen;
  std::string focused;
  int clientWidth = 0;
  bool mnemonicsShown = true;
  std::vector<RECT> rects;
  std::vector<std::string> buttonTexts;
  const int result =
      Open(MSGBOX_TYPE_YES_NO_CANCEL, MSGBOX_KIND_QUESTION, "Save the changes you made to Untitled?", MSGBOX_VALUE_YES,
           [&](CWULAppWindow* box) {
             seen = PartsOf(box);
             buttonTexts = ButtonTexts(seen);
             clientWidth = box->GetClientWidth();
             if (CWULButton* button = FocusedButton(seen))
               focused = button->GetText();
             for (CWULButton* button : seen.buttons) {
               mnemonicsShown = mnemonicsShown && button->GetMnemonic();
               RECT rect;
               button->GetRect(&rect);
               rects.push_back(rect);
             }
             BoxDriver::PostKey(box, 'N');
           });
  EXPECT_EQ(result, MSGBOX_VALUE_NO);
  EXPECT_EQ(focused, "&Yes");
  EXPECT_EQ(buttonTexts, (std::vector<std::string>{"&Yes", "&No", "&Cancel"}));
  // The ampersands mark the underlined mnemonics rather than showing.
  EXPECT_TRUE(mnemonicsShown);
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(clientWidth % 2, 0);
  EXPECT_EQ(rects[0].left, (clientWidth - 3 * 84 + 4) / 2);
  EXPECT_EQ(rects[1].left, rects[0].left + 84);
  EXPECT_EQ(rects[2].left, rects[0].left + 168);
  EXPECT_EQ(rects[0].top, rects[2].top);
}

TEST_F(MessageBoxTest, EnterPressesTheFocusedButton) {
  std::string focused;
  const int result = Open(MSGBOX_TYPE_OK_CANCEL, MSGBOX_KIND_WARNING, "Proceed?", MSGBOX_VALUE_CANCEL,
                          [&](CWULAppWindow* box) {
                            if (CWULButton* button = FocusedButton(PartsOf(box)))
                              focused = button->GetText();
                            BoxDriver::PostKey(box, VK_RETURN);
                          });
  EXPECT_EQ(focused, "&Cancel");
  EXPECT_EQ(result, MSGBOX_VALUE_CANCEL);
}

TEST_F(MessageBoxTest, ClicksAndKeysPostedWhileTheBoxClosesChangeNothing) {
  // Yes is answered; a click on No and Enter come after the close began.
  CloseGapProbe gap([](HWND box) { return CloseGapProbe::ClickThenKey(box, "&No", VK_RETURN); });
  ASSERT_TRUE(gap.Hooked());
  const int result = Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "Answer once", MSGBOX_VALUE_YES,
                          [](CWULAppWindow* box) { BoxDriver::PostKey(box, VK_RETURN); });
  EXPECT_EQ(result, MSGBOX_VALUE_YES);
  EXPECT_EQ(gap.filled, 1);
  EXPECT_EQ(gap.freedEarly, 0);
}

TEST_F(MessageBoxTest, TabMovesTheFocusAlongTheButtons) {
  const int result = Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "Replace?", MSGBOX_VALUE_YES,
                          [&](CWULAppWindow* box) {
                            BoxDriver::PostKey(box, VK_TAB);
                            BoxDriver::PostKey(box, VK_RETURN);
                          });
  EXPECT_EQ(result, MSGBOX_VALUE_NO);
}

TEST_F(MessageBoxTest, EscapeAndTheCloseBoxAnswerOk) {
  EXPECT_EQ(Open(MSGBOX_TYPE_YES_NO_CANCEL, MSGBOX_KIND_QUESTION, "Escape", MSGBOX_VALUE_YES,
                 [](CWULAppWindow* box) { BoxDriver::PostKey(box, VK_ESCAPE); }),
            MSGBOX_VALUE_OK);
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "Close", MSGBOX_VALUE_NO,
                 [](CWULAppWindow* box) { PostMessageA(box->GetHandle(), WM_CLOSE, 0, 0); }),
            MSGBOX_VALUE_OK);
}

TEST_F(MessageBoxTest, ClickingAButtonAnswersItsValue) {
  const int result = Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "Click", MSGBOX_VALUE_YES, [](CWULAppWindow* box) {
    BoxParts parts = PartsOf(box);
    if (parts.buttons.size() == 2)
      BoxDriver::PostClick(parts.buttons[1], 40, 12);
  });
  EXPECT_EQ(result, MSGBOX_VALUE_NO);
  EXPECT_FALSE(BoxDriver::TimedOut());
}

TEST_F(MessageBoxTest, MnemonicsIgnoreCaseAndOtherCharacters) {
  // 'x' and '&' are no mnemonic of the box; 'c' (typed without Shift) is Cancel's.
  const int result = Open(MSGBOX_TYPE_OK_CANCEL, MSGBOX_KIND_INFORMATION, "Keys", MSGBOX_VALUE_OK,
                          [](CWULAppWindow* box) {
                            PostMessageA(box->GetHandle(), WM_CHAR, 'x', 0);
                            PostMessageA(box->GetHandle(), WM_CHAR, '&', 0);
                            PostMessageA(box->GetHandle(), WM_CHAR, 'c', 0);
                          });
  EXPECT_EQ(result, MSGBOX_VALUE_CANCEL);
}

TEST_F(MessageBoxTest, WithoutAMatchingDefaultNoButtonHasTheFocusAndEnterDoesNothing) {
  bool anyFocused = true;
  const int result = Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "No default", 3, [&](CWULAppWindow* box) {
    anyFocused = FocusedButton(PartsOf(box)) != nullptr;
    BoxDriver::PostKey(box, VK_RETURN);
    // A key typed after Enter shows that Enter left the box open.
    PostMessageA(box->GetHandle(), WM_CHAR, 'y', 0);
  });
  EXPECT_FALSE(anyFocused);
  EXPECT_EQ(result, MSGBOX_VALUE_YES);
}

TEST_F(MessageBoxTest, LongTextWrapsAtTheMaximumWidthAndGrowsInHeight) {
  std::string text;
  for (int i = 0; i < 60; i++)
    text += "wrapping words ";
  RECT label = {};
  int clientWidth = 0;
  int clientHeight = 0;
  Open(MSGBOX_TYPE_OK, MSGBOX_KIND_INFORMATION, text.c_str(), MSGBOX_VALUE_OK, [&](CWULAppWindow* box) {
    BoxParts parts = PartsOf(box);
    if (parts.label)
      parts.label->GetRect(&label);
    clientWidth = box->GetClientWidth();
    clientHeight = box->GetClientHeight();
    BoxDriver::PostKey(box, VK_ESCAPE);
  });
  EXPECT_EQ(label.right - label.left, 480 - (32 + 24));
  EXPECT_EQ(clientWidth, 480);
  EXPECT_GT(label.bottom - label.top, 3 * 14);
  EXPECT_EQ(clientHeight, label.bottom + 36);
}

TEST_F(MessageBoxTest, OnlyOneBoxAtATime) {
  int nested = -1;
  int nestedError = -1;
  bool stillOpen = false;
  const int result = Open(MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "First", MSGBOX_VALUE_NO, [&](CWULAppWindow* box) {
    nested = MessageBoxDialog(box->GetHandle(), MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Second", "text", MSGBOX_VALUE_OK);
    nestedError = ShowMessageBox(box, MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Second", "text", MSGBOX_VALUE_OK);
    stillOpen = IsWindowVisible(box->GetHandle()) != 0;
    BoxDriver::PostKey(box, 'Y');
  });
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(nestedError, 0);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, MSGBOX_VALUE_YES);
  // Once closed, the next box opens.
  EXPECT_EQ(Open(MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Again", MSGBOX_VALUE_OK,
                 [](CWULAppWindow* box) { BoxDriver::PostKey(box, VK_RETURN); }),
            MSGBOX_VALUE_OK);
  EXPECT_FALSE(BoxDriver::TimedOut());
}

TEST_F(MessageBoxTest, EachKindShowsItsPicture) {
  // A point inside each picture's body and the colour family expected there.
  struct Expect {
    int kind;
    int x, y;
    bool (*matches)(uint32_t rgb);
  };
  const Expect expects[] = {
      {MSGBOX_KIND_ERROR, 16, 6, [](uint32_t c) { return (c >> 16 & 255) > 180 && (c >> 8 & 255) < 90 && (c & 255) < 90; }},
      {MSGBOX_KIND_QUESTION, 16, 28, [](uint32_t c) { return (c & 255) > 180 && (c >> 16 & 255) < 90; }},
      {MSGBOX_KIND_WARNING, 8, 26, [](uint32_t c) { return (c >> 16 & 255) > 200 && (c >> 8 & 255) > 150 && (c & 255) < 90; }},
      {MSGBOX_KIND_INFORMATION, 16, 28, [](uint32_t c) { return (c & 255) > 180 && (c >> 16 & 255) < 90; }},
  };
  for (const Expect& expect : expects) {
    uint32_t body = 0, corner = 0, background = 1;
    int width = 0;
    Open(MSGBOX_TYPE_OK, expect.kind, "Picture", MSGBOX_VALUE_OK, [&](CWULAppWindow* box) {
      BoxParts parts = PartsOf(box);
      if (parts.picture && parts.picture->GetImage()) {
        GdiFlush();
        body = RGBOfPixel(parts.picture->GetImage()->GetPixel(expect.x, expect.y));
        corner = RGBOfPixel(parts.picture->GetImage()->GetPixel(0, 0));
        background = RGBOfPixel(parts.picture->GetColor().value);
        width = parts.picture->GetWidth();
      }
      BoxDriver::PostKey(box, VK_RETURN);
    });
    EXPECT_EQ(width, 32) << "kind " << expect.kind;
    EXPECT_TRUE(expect.matches(body)) << "kind " << expect.kind << std::hex << " pixel " << body;
    // The picture's transparent corner shows the box's colour.
    EXPECT_EQ(corner, background) << "kind " << expect.kind;
  }
}

TEST_F(MessageBoxTest, BoxIsOwnedByAndCentredOnItsOwner) {
  auto* owner = new CWULAppWindow();
  owner->SetFrameKind(WUL_FRAME_FIXED);
  owner->SetText("Owner");
  owner->SetBounds(200, 150, 500, 400);
  owner->Incarnate(nullptr);
  owner->Show();
  HWND ownerWindow = owner->GetHandle();
  HWND boxOwner = nullptr;
  bool ownerDisabled = false;
  RECT boxRect = {};
  const int result = BoxDriver::Run("Owned", [&](CWULAppWindow* box) {
    boxOwner = GetWindow(box->GetHandle(), GW_OWNER);
    ownerDisabled = !IsWindowEnabled(ownerWindow);
    GetWindowRect(box->GetHandle(), &boxRect);
    BoxDriver::PostKey(box, VK_RETURN);
  }, [&] { return ShowMessageBox(owner, MSGBOX_TYPE_OK, MSGBOX_KIND_WARNING, "Owned", "text", MSGBOX_VALUE_OK); });
  EXPECT_EQ(result, MSGBOX_VALUE_OK);
  EXPECT_EQ(boxOwner, ownerWindow);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(ownerWindow));
  EXPECT_NEAR((boxRect.left + boxRect.right) / 2, 200 + 250, 1);
  EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2, 150 + 200, 1);
  owner->Close();
  DropQueued();
  EXPECT_FALSE(IsWindow(ownerWindow));
}

TEST_F(MessageBoxTest, TextIsShownAsGivenAndTheBoxLeavesNoWindowBehind) {
  std::string shown;
  HWND boxWindow = nullptr;
  Open(MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Fish & Chips", MSGBOX_VALUE_OK, [&](CWULAppWindow* box) {
    boxWindow = box->GetHandle();
    BoxParts parts = PartsOf(box);
    if (parts.label) {
      shown = parts.label->GetText();
      EXPECT_FALSE(parts.label->GetMnemonic());
    }
    BoxDriver::PostKey(box, VK_RETURN);
  });
  EXPECT_EQ(shown, "Fish & Chips");
  EXPECT_FALSE(IsWindow(boxWindow));
}

TEST_F(MessageBoxTest, ErrorBoxUsesTheProgramsOwnBox) {
  BoxParts seen;
  char className[64] = {};
  std::string labelText;
  std::vector<std::string> buttonTexts;
  // The box is gone after the run: its texts are taken while it shows.
  BoxDriver::Run("Vellumcraft :: Error", [&](CWULAppWindow* box) {
    seen = PartsOf(box);
    if (seen.label)
      labelText = seen.label->GetText();
    buttonTexts = ButtonTexts(seen);
    GetClassNameA(box->GetHandle(), className, sizeof className);
    BoxDriver::PostKey(box, VK_RETURN);
  }, [] {
    ErrorBox("Disk full");
    return 0;
  });
  EXPECT_TRUE(BoxDriver::Ran());
  ASSERT_NE(seen.label, nullptr);
  EXPECT_EQ(labelText, "Disk full");
  EXPECT_EQ(buttonTexts, std::vector<std::string>{"&OK"});
}

TEST_F(MessageBoxTest, WatcherReadsAndAnswersTheProgramsBox) {
  {
    BoxWatcher watcher("Watched");
    EXPECT_EQ(MessageBoxDialog(nullptr, MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "Watched", "Overwrite it?", 1),
              MSGBOX_VALUE_OK);
    ASSERT_EQ(watcher.Count(), 1u);
    EXPECT_EQ(watcher.Texts()[0], "Overwrite it?");
  }
  {
    BoxWatcher watcher("Watched", 'n');
    EXPECT_EQ(MessageBoxDialog(nullptr, MSGBOX_TYPE_YES_NO_CANCEL, MSGBOX_KIND_QUESTION, "Watched", "Save?", 1),
              MSGBOX_VALUE_NO);
  }
}

}  // namespace
