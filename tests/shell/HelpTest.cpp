#include <gtest/gtest.h>
#include <windows.h>
#include <htmlhelp.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "shell/Help.h"

namespace {

struct Call {
  HWND caller;
  std::string file;
  UINT command;
  DWORD_PTR data;
  HH_WINTYPE type;  // what HH_SET_WIN_TYPE was given
};

std::vector<Call> calls;
HH_WINTYPE offered;          // what HH_GET_WIN_TYPE hands out
bool offerType = false;
HWND getResult = nullptr;
HWND displayResult = reinterpret_cast<HWND>(0x1234);

HWND WINAPI FakeHtmlHelp(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
  Call call = {};
  call.caller = caller;
  call.file = file ? file : "(null)";
  call.command = command;
  call.data = data;
  if (command == HH_SET_WIN_TYPE)
    std::memcpy(&call.type, reinterpret_cast<const void*>(data), sizeof call.type);
  calls.push_back(call);
  if (command == HH_GET_WIN_TYPE) {
    if (offerType)
      *reinterpret_cast<HH_WINTYPE**>(data) = &offered;
    return getResult;
  }
  if (command == HH_DISPLAY_TOPIC)
    return displayResult;
  return nullptr;
}

// The program path with the extension "chm".
std::string HelpFile() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file = path;
  return file.substr(0, file.rfind('.')) + ".chm";
}

class Help : public ::testing::Test {
protected:
  void SetUp() override {
    calls.clear();
    std::memset(&offered, 0, sizeof offered);
    offerType = false;
    getResult = nullptr;
    SetHtmlHelpProc(FakeHtmlHelp);
  }
  void TearDown() override { SetHtmlHelpProc(nullptr); }

  const Call* Find(UINT command) {
    for (const Call& call : calls)
      if (call.command == command)
        return &call;
    return nullptr;
  }
};

}  // namespace

TEST_F(Help, ContentsOpenTheHelpFileBesideTheProgram) {
  EXPECT_EQ(displayResult, ShowHelpContents());
  const Call* display = Find(HH_DISPLAY_TOPIC);
  ASSERT_NE(nullptr, display);
  EXPECT_EQ(HelpFile(), display->file);
  EXPECT_EQ(GetDesktopWindow(), display->caller);
  EXPECT_EQ(0u, display->data);
  EXPECT_EQ(HH_DISPLAY_TOPIC, calls.back().command);
}

TEST_F(Help, NullAndEmptyTopicsOpenTheContents) {
  ShowHelpTopic(nullptr);
  std::string contents = Find(HH_DISPLAY_TOPIC)->file;
  calls.clear();
  ShowHelpTopic("");
  EXPECT_EQ(contents, Find(HH_DISPLAY_TOPIC)->file);
}

TEST_F(Help, TopicWithAndWithoutSlashOpensTheSameTopic) {
  ShowHelpTopic("tools/pencil.htm");
  std::string plain = Find(HH_DISPLAY_TOPIC)->file;
  calls.clear();
  ShowHelpTopic("/tools/pencil.htm");
  std::string slashed = Find(HH_DISPLAY_TOPIC)->file;
  EXPECT_EQ(HelpFile() + "::/tools/pencil.htm", plain);
  EXPECT_EQ(plain, slashed);
}

TEST_F(Help, AsksForTheWindowTypeOfTheHelpFile) {
  ShowHelpTopic("index.htm");
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(HH_GET_WIN_TYPE, calls[0].command);
  EXPECT_EQ(HelpFile() + ">VC Help", calls[0].file);
  EXPECT_EQ(GetDesktopWindow(), calls[0].caller);
  // Without a window type nothing is stored back.
  EXPECT_EQ(nullptr, Find(HH_SET_WIN_TYPE));
}

TEST_F(Help, MissingWindowTypeIsLeftAlone) {
  offerType = true;
  getResult = reinterpret_cast<HWND>(-1);
  ShowHelpTopic("index.htm");
  EXPECT_EQ(nullptr, Find(HH_SET_WIN_TYPE));
  EXPECT_NE(nullptr, Find(HH_DISPLAY_TOPIC));
}

TEST_F(Help, WindowTypeIsPlacedOnTheRightOfTheWorkArea) {
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  offerType = true;
  offered.cbStruct = sizeof offered;
  offered.pszType = "VC Help";
  offered.fsValidMembers = HHWIN_PARAM_RECT | HHWIN_PARAM_STYLES;
  offered.dwStyles = 0x12345678;
  offered.nShowState = SW_SHOWNORMAL;
  offered.rcWindowPos = {1, 2, 3, 4};
  ShowHelpTopic("index.htm");
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(HH_GET_WIN_TYPE, calls[0].command);
  EXPECT_EQ(HH_SET_WIN_TYPE, calls[1].command);
  EXPECT_EQ(HH_DISPLAY_TOPIC, calls[2].command);
  const Call& set = calls[1];
  EXPECT_EQ(HelpFile() + ">VC Help", set.file);
  EXPECT_EQ(static_cast<int>(sizeof(HH_WINTYPE)), set.type.cbStruct);
  EXPECT_EQ(std::max(work.left, work.right - 800), set.type.rcWindowPos.left);
  EXPECT_EQ(work.top, set.type.rcWindowPos.top);
  EXPECT_EQ(work.right, set.type.rcWindowPos.right);
  EXPECT_EQ(work.bottom, set.type.rcWindowPos.bottom);
  // The rest is the help file's own.
  EXPECT_STREQ("VC Help", set.type.pszType);
  EXPECT_EQ(0x12345678u, set.type.dwStyles);
  EXPECT_EQ(SW_SHOWNORMAL, set.type.nShowState);
  EXPECT_EQ(static_cast<DWORD>(HHWIN_PARAM_RECT | HHWIN_PARAM_STYLES), set.type.fsValidMembers);
  // The copy was handed over, not the help control's own record.
  EXPECT_NE(reinterpret_cast<DWORD_PTR>(&offered), set.data);
  EXPECT_EQ(1, offered.rcWindowPos.left);
}

TEST_F(Help, ShortWindowTypeRecordIsCopiedOnlyAsFarAsItGoes) {
  offerType = true;
  offered.cbStruct = 8;  // size and the string flag only
  offered.fUniCodeStrings = FALSE;
  offered.dwStyles = 0x55;
  ShowHelpTopic(nullptr);
  const Call* set = Find(HH_SET_WIN_TYPE);
  ASSERT_NE(nullptr, set);
  EXPECT_EQ(0u, set->type.dwStyles);
  EXPECT_EQ(static_cast<int>(sizeof(HH_WINTYPE)), set->type.cbStruct);
}

TEST_F(Help, FailureOfTheHelpControlIsReturned) {
  displayResult = nullptr;
  EXPECT_EQ(nullptr, ShowHelpTopic("index.htm"));
  displayResult = reinterpret_cast<HWND>(0x1234);
}

// The real help control, when the system has one: the help file does not exist here,
// so nothing opens and nothing is shown.
TEST(HelpControl, MissingHelpFileOpensNothing) {
  SetHtmlHelpProc(nullptr);
  HtmlHelpProc proc = GetHtmlHelpProc();
  EXPECT_EQ(proc, GetHtmlHelpProc());
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HelpFile().c_str()));
  EXPECT_EQ(nullptr, ShowHelpTopic("index.htm"));
  EXPECT_EQ(nullptr, ShowHelpContents());
  if (!proc)
    GTEST_LOG_(INFO) << "no HTML Help control on this system";
}
