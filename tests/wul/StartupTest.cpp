#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/ChildRun.h"
#include "FrameworkProbe.h"
#include "wul/WULColor.h"
#include "wul/WULFont.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULSRGB.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"

namespace {

// The framework runs for the whole test program, except in the child process that
// checks start-up and shut-down on its own.
class FrameworkEnvironment : public testing::Environment {
public:
  void SetUp() override {
    if (!IsTestChild())
      WULInit(GetModuleHandleA(nullptr));
  }
};

testing::Environment* const frameworkEnvironment = testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

class Startup : public testing::Test {
protected:
  void SetUp() override {
    if (IsTestChild())
      GTEST_SKIP();
    DiscardQueuedMessages();
  }
  void TearDown() override {
    wulPopAllDefaultParents();
    DiscardQueuedMessages();
  }
};

using WindowProc = Startup;
using DefaultParent = Startup;
using MessageLoop = Startup;
using Modality = Startup;

ProbeInteractor* MakeWindow(std::shared_ptr<ProbeLog> log = std::make_shared<ProbeLog>()) {
  auto* probe = new ProbeInteractor(log);
  probe->Incarnate(nullptr);
  return probe;
}

// --- start-up ---

TEST_F(Startup, ClassIsRegisteredUnderTheProcedureAddress) {
  char expected[32];
  std::snprintf(expected, sizeof expected, "WUL:%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(&wulWindowProc)));
  EXPECT_STREQ(wulClassName, expected);
  EXPECT_EQ(wulInstance, GetModuleHandleA(nullptr));

  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExA(wulInstance, wulClassName, &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(info.lpfnWndProc, &wulWindowProc);
  EXPECT_EQ(info.cbClsExtra, 0);
  EXPECT_EQ(info.cbWndExtra, 0);
  EXPECT_EQ(info.hIcon, nullptr);
  EXPECT_EQ(info.hbrBackground, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

TEST_F(Startup, SecondInitDoesNothing) {
  DWORD index = wulTLSIndex;
  WULThreadBlock* block = wulGetTLS();
  CWULShortcutTable* table = block->shortcutTable;
  WULInit(GetModuleHandleA(nullptr));
  EXPECT_EQ(wulTLSIndex, index);
  EXPECT_EQ(wulGetTLS(), block);
  EXPECT_EQ(wulGetTLS()->shortcutTable, table);
}

TEST_F(Startup, ThreadRecordHoldsAShortcutTable) {
  WULThreadBlock* block = wulGetTLS();
  ASSERT_NE(block, nullptr);
  ASSERT_NE(block->shortcutTable, nullptr);
  EXPECT_EQ(block->shortcutTable->classCode, WUL_CLASS_SHORTCUT_TABLE);
  wulCreateTLS();
  EXPECT_EQ(wulGetTLS(), block);
}

TEST_F(Startup, TLSIndexIsAllocatedOnce) {
  DWORD index = wulTLSIndex;
  ASSERT_NE(index, TLS_OUT_OF_INDEXES);
  wulAllocTLSIndex();
  wulAllocTLSIndex();
  EXPECT_EQ(wulTLSIndex, index);
}

struct ThreadRecords {
  WULThreadBlock* before = nullptr;
  WULThreadBlock* after = nullptr;
  CWULShortcutTable* table = nullptr;
  CWULShortcutTable* shortcutOwner = nullptr;
  CWULInteractor* pushedParent = nullptr;
  CWULInteractor* parentSeen = nullptr;
};

DWORD WINAPI MakeThreadRecord(LPVOID param) {
  auto* records = static_cast<ThreadRecords*>(param);
  records->before = wulGetTLS();
  wulCreateTLS();
  records->after = wulGetTLS();
  records->table = records->after->shortcutTable;
  // A shortcut made here joins this thread's table.
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F11, 0);
  records->shortcutOwner = shortcut->GetOwner();
  delete shortcut;
  // Default parents of this thread; the block goes with one still pushed.
  wulPushDefaultParent(records->pushedParent);
  records->parentSeen = wulGetDefaultParent();
  wulFreeTLSBlock();
  return 0;
}

TEST_F(Startup, OtherThreadHasItsOwnRecord) {
  WULThreadBlock* mine = wulGetTLS();
  CWULInteractor mainParent;
  CWULInteractor threadParent;
  wulPushDefaultParent(&mainParent);
  ThreadRecords records;
  records.before = mine;
  records.pushedParent = &threadParent;
  HANDLE thread = CreateThread(nullptr, 0, MakeThreadRecord, &records, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(records.before, nullptr);
  ASSERT_NE(records.after, nullptr);
  EXPECT_NE(records.after, mine);
  EXPECT_EQ(wulGetTLS(), mine);
  ASSERT_NE(records.table, nullptr);
  EXPECT_NE(records.table, mine->shortcutTable);
  EXPECT_EQ(records.shortcutOwner, records.table);
  EXPECT_EQ(records.parentSeen, &threadParent);
  EXPECT_EQ(wulGetDefaultParent(), &mainParent);
  wulPopDefaultParent();
}

TEST_F(Startup, AllocateMemoryThrowsCodeThreeWhenRefused) {
  void* block = wulAllocateMemory(64);
  ASSERT_NE(block, nullptr);
  wulFreeMemory(block);
  try {
    wulAllocateMemory(SIZE_MAX - 4096);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 3);
    EXPECT_STREQ(error.location, "wulAllocateMemory");
    EXPECT_STREQ(error.description, "Cannot allocate memory");
  }
}

TEST_F(Startup, VersionRecordIsRead) {
  EXPECT_EQ(wulOSVersion.dwOSVersionInfoSize, 148u);
  EXPECT_GT(wulOSVersion.dwMajorVersion, 0u);
}

TEST_F(Startup, SRGBTablesAreBuilt) {
  EXPECT_NEAR(wulSRGBDecodeTable[255], 1.0f, 1e-4f);
  EXPECT_NEAR(wulSRGBEncodeTable[255], 1.0f, 1e-4f);
  EXPECT_GT(wulSRGBDecodeTable[128], 0.1f);
  EXPECT_LT(wulSRGBDecodeTable[128], 0.5f);
}

TEST_F(Startup, LookMetricsAndTimings) {
  EXPECT_EQ(wulAppWindowMetricPair[0], 20);
  EXPECT_EQ(wulAppWindowMetricPair[1], 14);
  EXPECT_EQ(wulAppWindowMetrics[0], 100);
  EXPECT_EQ(wulAppWindowMetrics[1], 6);
  EXPECT_EQ(wulAppWindowMetrics[2], 12);
  EXPECT_EQ(wulAppWindowMetrics[3], 4);
  EXPECT_EQ(wulScrollBarThickness, 15);
  EXPECT_EQ(wulMenuItemHeight, 16);
  EXPECT_EQ(wulSystemMenuItemHeight, 16);
  EXPECT_EQ(wulControlTextHeight, 14);
  EXPECT_EQ(wulPageTabHeight, 18);
  EXPECT_EQ(wulCheckTickSize, 12);
  EXPECT_EQ(wulRadioDotSize, 12);
  EXPECT_EQ(wulTooltipMetrics[0], 2);
  EXPECT_EQ(wulTooltipMetrics[1], 400);
  EXPECT_EQ(wulHoverPeriod, 100);
  EXPECT_EQ(wulSubmenuDelay, 250);
  EXPECT_EQ(wulRepeatDelay, 500);
  EXPECT_EQ(wulRepeatPeriod, 100);
  EXPECT_EQ(wulHintDelay, 1200);
  EXPECT_EQ(wulHintDuration, 10000);
  EXPECT_EQ(wulWheelFactor, 3.0f);
}

uint32_t Rgb(int r, int g, int b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

uint32_t SystemColor(int index) {
  COLORREF color = GetSysColor(index);
  return Rgb(GetRValue(color), GetGValue(color), GetBValue(color));
}

TEST_F(Startup, LookColors) {
  const uint32_t expected[WUL_COLOR_COUNT] = {
      Rgb(128, 128, 128), Rgb(32, 32, 32),    Rgb(64, 64, 64),    Rgb(112, 112, 112),
      Rgb(80, 80, 80),    Rgb(112, 112, 112), Rgb(192, 192, 192), Rgb(192, 192, 192),
      Rgb(192, 192, 192), Rgb(80, 80, 112),   Rgb(255, 255, 255), Rgb(192, 192, 192),
      Rgb(80, 80, 112),   Rgb(255, 255, 255), Rgb(144, 144, 144), Rgb(96, 96, 96),
      Rgb(224, 224, 224), Rgb(0, 0, 0),       SystemColor(COLOR_HIGHLIGHT), SystemColor(COLOR_HIGHLIGHTTEXT),
      Rgb(64, 64, 64),    Rgb(64, 64, 64),    Rgb(144, 144, 144), Rgb(0, 0, 0),
      0x80C04040u,        Rgb(240, 240, 240)};
  for (int i = 0; i < WUL_COLOR_COUNT; ++i)
    EXPECT_EQ(wulColors[i].value, expected[i]) << "colour " << i;
}

TEST_F(Startup, LookFonts) {
  const char* ui = wulFontFamilyExists("Tahoma") ? "Tahoma" : "Arial";
  const char* alternative = wulFontFamilyExists("Arial") ? "Arial" : "Tahoma";
  const char* faces[WUL_FONT_COUNT] = {ui, ui, alternative, ui, ui, ui, ui, ui, ui};
  const int heights[WUL_FONT_COUNT] = {-11, -9, -11, -9, -11, -11, -11, -11, -9};
  const int qualities[WUL_FONT_COUNT] = {2, 2, 2, 2, 2, 2, 2, 2, 3};
  const uint32_t colors[WUL_FONT_COUNT] = {Rgb(0, 0, 0),       Rgb(0, 0, 0), Rgb(0, 0, 0),
                                           Rgb(0, 0, 0),       Rgb(255, 255, 255), Rgb(240, 240, 240),
                                           Rgb(0, 0, 0),       Rgb(0, 0, 0), Rgb(240, 240, 240)};
  for (int i = 0; i < WUL_FONT_COUNT; ++i) {
    EXPECT_STREQ(wulFonts[i].faceName.text, faces[i]) << "font " << i + 1;
    EXPECT_EQ(wulFonts[i].charSet, DEFAULT_CHARSET) << "font " << i + 1;
    EXPECT_EQ(wulFonts[i].height, heights[i]) << "font " << i + 1;
    EXPECT_EQ(wulFonts[i].quality, qualities[i]) << "font " << i + 1;
    EXPECT_EQ(wulFonts[i].style, 0) << "font " << i + 1;
    EXPECT_EQ(wulFonts[i].color.value, colors[i]) << "font " << i + 1;
  }
}

std::vector<std::string> askedFamilies;

bool OnlyArial(const char* face) {
  askedFamilies.push_back(face);
  return std::strcmp(face, "Arial") == 0;
}
bool OnlyTahoma(const char* face) {
  askedFamilies.push_back(face);
  return std::strcmp(face, "Tahoma") == 0;
}
bool BothFamilies(const char* face) {
  askedFamilies.push_back(face);
  return std::strcmp(face, "Tahoma") == 0 || std::strcmp(face, "Arial") == 0;
}
bool NoFamily(const char* face) {
  askedFamilies.push_back(face);
  return false;
}

// Puts the fonts of the real system back, whatever the test did to them.
struct SystemLookFonts {
  ~SystemLookFonts() { wulInitLookFonts(wulFontFamilyExists); }
};

TEST_F(Startup, LookFontsFallBackFromTahomaToArial) {
  SystemLookFonts restore;
  struct Case {
    WULFontFamilyQuery exists;
    const char* ui;     // fonts 1, 2 and 4 to 9
    const char* third;  // standard font 3
  };
  const Case cases[] = {{OnlyArial, "Arial", "Arial"},
                        {OnlyTahoma, "Tahoma", "Tahoma"},
                        {BothFamilies, "Tahoma", "Arial"},
                        {NoFamily, "Arial", "Tahoma"}};
  const int heights[WUL_FONT_COUNT] = {-11, -9, -11, -9, -11, -11, -11, -11, -9};
  for (const Case& c : cases) {
    askedFamilies.clear();
    wulInitLookFonts(c.exists);
    EXPECT_NE(std::find(askedFamilies.begin(), askedFamilies.end(), "Tahoma"), askedFamilies.end());
    EXPECT_NE(std::find(askedFamilies.begin(), askedFamilies.end(), "Arial"), askedFamilies.end());
    for (int i = 0; i < WUL_FONT_COUNT; ++i) {
      EXPECT_STREQ(wulFonts[i].faceName.text, i == 2 ? c.third : c.ui) << "font " << i + 1 << " with " << c.ui;
      EXPECT_EQ(wulFonts[i].height, heights[i]) << "font " << i + 1;
    }
  }
}

TEST_F(Startup, CloseGlyphsAreSmallCrosses) {
  for (CWULImage* glyph : {wulCloseGlyph, wulCloseGlyphHot}) {
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(glyph->width, 12);
    EXPECT_EQ(glyph->height, 12);
    EXPECT_FALSE(glyph->ownsPixels);
    EXPECT_EQ(glyph->refCount, 1);
    EXPECT_EQ(glyph->GetPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(glyph->GetPixel(2, 2) >> 24, 255u);
    EXPECT_EQ(glyph->GetPixel(9, 2) >> 24, 255u);
    EXPECT_EQ(glyph->GetPixel(5, 5) >> 24, 255u);
    EXPECT_EQ(glyph->GetPixel(5, 2) >> 24, 0u);
  }
  EXPECT_NE(wulCloseGlyph->GetPixel(2, 2), wulCloseGlyphHot->GetPixel(2, 2));
}

TEST_F(Startup, DynamicEntryPointsMatchTheSystem) {
  HMODULE user = GetModuleHandleA("USER32.DLL");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(wulLoadModule("USER32.DLL"), user);
  EXPECT_EQ(reinterpret_cast<void*>(wulDynamicApi.updateLayeredWindow),
            reinterpret_cast<void*>(GetProcAddress(user, "UpdateLayeredWindow")));
  EXPECT_NE(wulDynamicApi.updateLayeredWindow, nullptr);
  HMODULE dwm = GetModuleHandleA("DWMAPI.DLL");
  if (dwm) {
    EXPECT_EQ(reinterpret_cast<void*>(wulDynamicApi.dwmSetWindowAttribute),
              reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
    EXPECT_EQ(reinterpret_cast<void*>(wulDynamicApi.dwmGetWindowAttribute),
              reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
  } else {
    EXPECT_EQ(wulDynamicApi.dwmSetWindowAttribute, nullptr);
  }
  EXPECT_EQ(wulLoadModule("NO_SUCH_MODULE_VC.DLL"), nullptr);
  EXPECT_EQ(wulLoadModule(nullptr), nullptr);
}

int CALLBACK FirstFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) {
  std::strcpy(reinterpret_cast<char*>(param), font->lfFaceName);
  return 0;
}

TEST_F(Startup, FontFamilyExists) {
  char first[LF_FACESIZE] = {};
  HDC dc = GetDC(nullptr);
  LOGFONTA all = {};
  all.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(dc, &all, reinterpret_cast<FONTENUMPROCA>(FirstFamily), reinterpret_cast<LPARAM>(first), 0);
  ReleaseDC(nullptr, dc);
  ASSERT_NE(first[0], 0);
  EXPECT_TRUE(wulFontFamilyExists(first));
  EXPECT_FALSE(wulFontFamilyExists("No Such Family Vc"));
  EXPECT_FALSE(wulFontFamilyExists(""));
  EXPECT_FALSE(wulFontFamilyExists(nullptr));
  EXPECT_FALSE(wulFontFamilyExists("A face name far longer than thirty-one characters"));
}

TEST_F(Startup, ModifierKeysFollowTheKeyState) {
  KeyState keys;
  keys.Set({});
  EXPECT_FALSE(wulIsShiftDown());
  EXPECT_FALSE(wulIsCtrlDown());
  EXPECT_FALSE(wulIsAltDown());
  keys.Set({VK_SHIFT, VK_MENU});
  EXPECT_TRUE(wulIsShiftDown());
  EXPECT_FALSE(wulIsCtrlDown());
  EXPECT_TRUE(wulIsAltDown());
  keys.Set({VK_CONTROL});
  EXPECT_TRUE(wulIsCtrlDown());
}

// Start-up and shut-down in a process of their own, so that the rest keeps its framework.
TEST(StartupChild, DISABLED_InitAndDone) {
  ASSERT_TRUE(IsTestChild());
  EXPECT_EQ(wulTLSIndex, TLS_OUT_OF_INDEXES);
  EXPECT_EQ(wulGetTLS(), nullptr);
  EXPECT_EQ(wulGetDefaultParent(), nullptr);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WULInit(instance);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExA(instance, wulClassName, &info));
  ASSERT_NE(wulGetTLS(), nullptr);
  CWULShortcutTable* table = wulGetTLS()->shortcutTable;
  ASSERT_NE(table, nullptr);

  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F2, 0);
  EXPECT_EQ(shortcut->GetOwner(), table);
  CWULInteractor parent;
  wulPushDefaultParent(&parent);
  wulPushDefaultParent(&parent);

  ASSERT_NE(wulCloseGlyph, nullptr);
  CWULImage* held = wulCloseGlyph;
  CWULImage::AddRef(held);

  wulDone();
  EXPECT_FALSE(GetClassInfoExA(instance, wulClassName, &info));
  EXPECT_EQ(wulCloseGlyph, nullptr);
  EXPECT_EQ(wulCloseGlyphHot, nullptr);
  // A holder keeps its glyph until it lets go.
  EXPECT_EQ(held->refCount, 1);
  EXPECT_EQ(held->GetPixel(2, 2) >> 24, 255u);
  CWULImage::Release(held);
  EXPECT_EQ(wulTLSIndex, TLS_OUT_OF_INDEXES);
  EXPECT_EQ(wulGetTLS(), nullptr);
  EXPECT_EQ(wulGetDefaultParent(), nullptr);
  // The table let go of its shortcuts without releasing them.
  EXPECT_EQ(shortcut->GetOwner(), nullptr);
  EXPECT_EQ(shortcut->refCount, 1);
  delete shortcut;
}

// A taken class name makes the start-up fail; once it is free, a new start-up succeeds.
TEST(StartupChild, DISABLED_FailingInit) {
  ASSERT_TRUE(IsTestChild());
  HINSTANCE instance = GetModuleHandleA(nullptr);
  char name[32];
  std::snprintf(name, sizeof name, "WUL:%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(&wulWindowProc)));
  WNDCLASSEXA taken = {};
  taken.cbSize = sizeof taken;
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = instance;
  taken.lpszClassName = name;
  ASSERT_TRUE(RegisterClassExA(&taken));

  BoxWatcher watcher("WUL Error");
  try {
    WULInit(instance);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 1);
    EXPECT_STREQ(error.location, "WULInit");
    EXPECT_STREQ(error.description, "WUL initialization failed");
  }
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Location: wulRegisterWindowClass\nDescription: Cannot register window class");

  ASSERT_TRUE(UnregisterClassA(name, instance));
  WULInit(instance);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExA(instance, wulClassName, &info));
  EXPECT_EQ(info.lpfnWndProc, &wulWindowProc);
  EXPECT_NE(wulGetTLS(), nullptr);
  wulDone();
}

DWORD RunChild(const char* test) { return RunTestInChild(std::string("StartupChild.") + test); }

TEST_F(Startup, InitAndDoneInAFreshProcess) { EXPECT_EQ(RunChild("DISABLED_InitAndDone"), 0u); }

TEST_F(Startup, FailingInitShowsTheCauseAndThrows) { EXPECT_EQ(RunChild("DISABLED_FailingInit"), 0u); }

// --- window procedure ---

TEST_F(WindowProc, RoutesMessagesToItsObject) {
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  HWND window = probe->GetHandle();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(probe));
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, wulClassName);
  // Creation messages came before the object was attached.
  EXPECT_EQ(log->Count(WM_NCCREATE), 0);
  EXPECT_EQ(log->Count(WM_CREATE), 0);

  probe->handler = [](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_APP)
      return false;
    *result = static_cast<LRESULT>(wParam + lParam);
    return true;
  };
  EXPECT_EQ(SendMessageA(window, WM_APP, 40, 2), 42);
  EXPECT_EQ(log->Count(WM_APP), 1);
  // Unhandled messages reach the default procedure.
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("routed"));
  char text[16] = {};
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ(text, "routed");

  delete probe;
  EXPECT_TRUE(log->deleted);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowProc, WindowWithoutObjectUsesTheDefaultProcedure) {
  HWND window = CreateWindowExA(0, wulClassName, "plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wulInstance, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
  char text[16] = {};
  EXPECT_EQ(SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 5);
  EXPECT_STREQ(text, "plain");
  DestroyWindow(window);
}

TEST_F(WindowProc, DestroyingTheWindowDeletesTheObject) {
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  HWND window = probe->GetHandle();
  DestroyWindow(window);
  EXPECT_TRUE(log->deleted);
  EXPECT_EQ(log->Count(WM_DESTROY), 1);
}

TEST_F(WindowProc, ObjectWithoutWindowAnswersMinusOne) {
  CWULInteractor interactor;
  EXPECT_EQ(interactor.WindowProc(WM_APP, 0, 0), -1);
}

TEST_F(WindowProc, ChildWindowLivesInsideItsParent) {
  auto parentLog = std::make_shared<ProbeLog>();
  auto childLog = std::make_shared<ProbeLog>();
  auto* parent = new ProbeInteractor(parentLog);
  wulPushDefaultParent(parent);
  auto* child = new ProbeInteractor(childLog);
  child->style = WS_CHILD;
  wulPopDefaultParent();
  parent->Incarnate(nullptr);
  child->Incarnate(nullptr);
  EXPECT_EQ(GetParent(child->GetHandle()), parent->GetHandle());
  delete parent;
  EXPECT_TRUE(childLog->deleted);
}

TEST_F(WindowProc, ExceptionOfAHandlerComesOutOfTheSendingCall) {
  ProbeInteractor* probe = MakeWindow();
  probe->handler = [](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
    if (message == WM_APP)
      wulThrowError(6, "Probe::Dispatch", "sent failure");
    return false;
  };
  try {
    wulSendMessage(probe->GetHandle(), WM_APP, 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 6);
    EXPECT_STREQ(error.description, "sent failure");
  }
  EXPECT_FALSE(wulHasPendingException());
  delete probe;
}

// --- default parents ---

TEST_F(DefaultParent, StackEdgeCases) {
  CWULInteractor a;
  CWULInteractor b;
  CWULInteractor c;
  EXPECT_EQ(wulGetDefaultParent(), nullptr);
  wulPopDefaultParent();
  EXPECT_EQ(wulGetDefaultParent(), nullptr);
  wulSetDefaultParent(&a);
  EXPECT_EQ(wulGetDefaultParent(), &a);
  wulPopDefaultParent();
  EXPECT_EQ(wulGetDefaultParent(), nullptr);

  wulPushDefaultParent(&a);
  wulPushDefaultParent(&b);
  EXPECT_EQ(wulGetDefaultParent(), &b);
  wulSetDefaultParent(&c);
  EXPECT_EQ(wulGetDefaultParent(), &c);
  wulPopDefaultParent();
  EXPECT_EQ(wulGetDefaultParent(), &a);
  wulPushDefaultParent(&b);
  wulPushDefaultParent(&c);
  wulPopAllDefaultParents();
  EXPECT_EQ(wulGetDefaultParent(), nullptr);
}

TEST_F(DefaultParent, NewInteractorsAttachToTheTop) {
  CWULInteractor outer;
  wulPushDefaultParent(&outer);
  auto* first = new CWULInteractor;
  auto* second = new CWULInteractor;
  wulPushDefaultParent(first);
  auto* inner = new CWULInteractor;
  wulPopDefaultParent();
  auto* third = new CWULInteractor;
  wulPopDefaultParent();
  CWULInteractor loose;

  EXPECT_EQ(first->parent, &outer);
  EXPECT_EQ(second->parent, &outer);
  EXPECT_EQ(third->parent, &outer);
  EXPECT_EQ(inner->parent, first);
  EXPECT_EQ(loose.parent, nullptr);
  EXPECT_EQ(outer.childCount, 3);
  EXPECT_EQ(outer.firstChild, first);
  EXPECT_EQ(first->nextSibling, second);
  EXPECT_EQ(second->nextSibling, third);
  EXPECT_EQ(outer.lastChild, third);
  EXPECT_EQ(first->childCount, 1);
  // The outer interactor deletes its children when it goes.
}

TEST_F(DefaultParent, DeletedParentIsNotHandedOut) {
  CWULInteractor outer;
  wulPushDefaultParent(&outer);
  auto* builder = new CWULInteractor;
  wulPushDefaultParent(builder);
  delete builder;
  EXPECT_EQ(wulGetDefaultParent(), nullptr);
  CWULInteractor orphan;
  EXPECT_EQ(orphan.parent, nullptr);
  wulPopDefaultParent();
  EXPECT_EQ(wulGetDefaultParent(), &outer);
  wulPopDefaultParent();
  EXPECT_EQ(outer.childCount, 0);
}

// --- message loops ---

TEST_F(MessageLoop, QuitCodeIsReturnedAfterClosingEveryWindow) {
  auto firstLog = std::make_shared<ProbeLog>();
  auto secondLog = std::make_shared<ProbeLog>();
  auto keeperLog = std::make_shared<ProbeLog>();
  ProbeInteractor* first = MakeWindow(firstLog);
  ProbeInteractor* second = MakeWindow(secondLog);
  // A window that refuses to close and receives what the others post while closing.
  ProbeInteractor* keeper = MakeWindow(keeperLog);
  keeper->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = 0;
    return message == WM_CLOSE;
  };
  HWND keeperWindow = keeper->GetHandle();
  first->handler = [keeperWindow](UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_CLOSE)
      PostMessageA(keeperWindow, WM_APP + 5, 0, 0);
    return false;
  };
  PostMessageA(second->GetHandle(), WM_APP, 0, 0);
  PostQuitMessage(5);

  EXPECT_EQ(wulRunMessageLoop(), 5);
  EXPECT_EQ(secondLog->Count(WM_APP), 1);
  EXPECT_EQ(firstLog->Count(WM_CLOSE), 1);
  EXPECT_EQ(secondLog->Count(WM_CLOSE), 1);
  EXPECT_EQ(keeperLog->Count(WM_CLOSE), 1);
  EXPECT_TRUE(firstLog->deleted);
  EXPECT_TRUE(secondLog->deleted);
  ASSERT_FALSE(keeperLog->deleted);
  // What was posted while closing was handled before the loop returned.
  EXPECT_EQ(keeperLog->Count(WM_APP + 5), 1);
  MSG left;
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
  delete keeper;
}

TEST_F(MessageLoop, PumpLeavesTheQuitRequestQueued) {
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  PostMessageA(probe->GetHandle(), WM_APP, 0, 0);
  PostMessageA(probe->GetHandle(), WM_APP + 1, 0, 0);
  PostQuitMessage(7);
  wulPumpMessages();
  EXPECT_EQ(log->Count(WM_APP), 1);
  EXPECT_EQ(log->Count(WM_APP + 1), 1);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 7u);
  delete probe;
}

TEST_F(MessageLoop, PumpReturnsWhenTheQueueIsEmpty) {
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  PostMessageA(probe->GetHandle(), WM_APP, 0, 0);
  wulPumpMessages();
  EXPECT_EQ(log->Count(WM_APP), 1);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  delete probe;
}

TEST_F(MessageLoop, ErrorOfAHandlerIsShownAndTheLoopGoesOn) {
  BoxWatcher watcher("WUL Error");
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  int ticks = 0;
  probe->handler = [&watcher, &ticks](UINT message, WPARAM, LPARAM, LRESULT* result) -> bool {
    if (message == WM_APP)
      wulThrowError(5, "Probe::Dispatch", "probe failure");
    if (message == WM_TIMER) {
      // Ends the loop once the box was seen and has gone; gives up after a long while.
      if ((watcher.Count() >= 1 && !FindWindowA(nullptr, "WUL Error")) || ++ticks > 3000)
        PostQuitMessage(3);
      *result = 0;
      return true;
    }
    return false;
  };
  PostMessageA(probe->GetHandle(), WM_APP, 0, 0);
  PostMessageA(probe->GetHandle(), WM_APP + 1, 0, 0);
  SetTimer(probe->GetHandle(), 1, 20, nullptr);

  EXPECT_EQ(wulRunMessageLoop(), 3);
  EXPECT_LE(ticks, 3000);
  ASSERT_EQ(watcher.Count(), 1u);
  EXPECT_EQ(watcher.Texts()[0], "Location: Probe::Dispatch\nDescription: probe failure");
  EXPECT_EQ(log->Count(WM_APP + 1), 1);
  // The loop closed the window at its end.
  EXPECT_TRUE(log->deleted);
}

TEST_F(MessageLoop, PumpShowsErrorsAndGoesOn) {
  BoxWatcher watcher("WUL Error");
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  probe->handler = [](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
    if (message == WM_APP)
      wulThrowError(2, "Probe::Pump", "pumped failure");
    return false;
  };
  PostMessageA(probe->GetHandle(), WM_APP, 0, 0);
  PostMessageA(probe->GetHandle(), WM_APP + 1, 0, 0);
  wulPumpMessages();
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Location: Probe::Pump\nDescription: pumped failure");
  EXPECT_EQ(log->Count(WM_APP + 1), 1);
  delete probe;
}

TEST_F(MessageLoop, AnErrorLeftPendingIsShownWithoutLosingTheMessageTaken) {
  BoxWatcher watcher("WUL Error");
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  probe->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) -> bool {
    if (message == WM_APP)
      wulThrowError(5, "Probe::Sent", "sent failure");
    if (message == WM_APP + 1)
      PostQuitMessage(4);
    // Only a loop that lost the message needs this way out.
    if (message == WM_TIMER)
      PostQuitMessage(99);
    *result = 0;
    return message == WM_TIMER || message == WM_APP + 1;
  };
  // Sent as the system sends inside its own calls: nothing raises the error on the way back.
  SendMessageA(probe->GetHandle(), WM_APP, 0, 0);
  ASSERT_TRUE(wulHasPendingException());
  PostQuitMessage(6);
  wulPumpMessages();
  ASSERT_TRUE(watcher.WaitFor(1));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 6u);

  SendMessageA(probe->GetHandle(), WM_APP, 0, 0);
  PostMessageA(probe->GetHandle(), WM_APP + 1, 0, 0);
  SetTimer(probe->GetHandle(), 1, 5000, nullptr);
  EXPECT_EQ(wulRunMessageLoop(), 4);
  EXPECT_EQ(log->Count(WM_APP + 1), 1);
  EXPECT_EQ(watcher.Count(), 2u);
  EXPECT_TRUE(log->deleted);
}

TEST_F(MessageLoop, OtherExceptionsLeaveThePump) {
  ProbeInteractor* probe = MakeWindow();
  probe->handler = [](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
    if (message == WM_APP)
      throw 42;
    return false;
  };
  PostMessageA(probe->GetHandle(), WM_APP, 0, 0);
  int caught = 0;
  try {
    wulPumpMessages();
  } catch (int value) {
    caught = value;
  }
  EXPECT_EQ(caught, 42);
  EXPECT_FALSE(wulHasPendingException());
  delete probe;
}

int shortcutCalls = 0;
int CountShortcut(CWULShortcut*, CWULShortcut*) {
  ++shortcutCalls;
  return 1;
}

TEST_F(MessageLoop, OnlyUnconsumedKeyDownsReachTheShortcutTable) {
  KeyState keys;
  keys.Set({});
  shortcutCalls = 0;
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F5, 0);
  shortcut->callback = CountShortcut;
  auto consumedLog = std::make_shared<ProbeLog>();
  auto passedLog = std::make_shared<ProbeLog>();
  ProbeInteractor* consuming = MakeWindow(consumedLog);
  ProbeInteractor* passing = MakeWindow(passedLog);
  consuming->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = 0;
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
  };
  passing->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = -1;
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
  };
  LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyA(VK_F5, 0)) << 16);
  PostMessageA(consuming->GetHandle(), WM_KEYDOWN, VK_F5, down);
  PostMessageA(passing->GetHandle(), WM_DEADCHAR, VK_F5, down);
  PostMessageA(passing->GetHandle(), WM_KEYUP, VK_F5, down | 0xC0000000);
  PostMessageA(passing->GetHandle(), WM_CHAR, VK_F5, down);
  PostQuitMessage(0);
  EXPECT_EQ(wulRunMessageLoop(), 0);
  EXPECT_EQ(consumedLog->Count(WM_KEYDOWN), 1);
  EXPECT_EQ(passedLog->Count(WM_DEADCHAR), 1);
  EXPECT_EQ(shortcutCalls, 0);

  consuming = MakeWindow(consumedLog);
  passing = MakeWindow(passedLog);
  passing->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = -1;
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
  };
  PostMessageA(passing->GetHandle(), WM_KEYDOWN, VK_F5, down);
  PostQuitMessage(0);
  EXPECT_EQ(wulRunMessageLoop(), 0);
  EXPECT_EQ(shortcutCalls, 1);
  wulGetTLS()->shortcutTable->Remove(shortcut);
}

// A pending quit request is reported by every peek, whatever its filter.
bool CharacterQueued() {
  MSG queued;
  return PeekMessageA(&queued, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE) && queued.message == WM_CHAR;
}

LPARAM KeyDownParam(UINT key) { return 1 | (static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16); }

TEST_F(MessageLoop, KeyReachesItsWindowBeforeItsCharacterExists) {
  KeyState keys;
  keys.Set({});
  bool characterQueuedAtKeyDown = true;
  WPARAM character = 0;
  ProbeInteractor* probe = MakeWindow();
  probe->handler = [&](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_KEYDOWN)
      characterQueuedAtKeyDown = CharacterQueued();
    else if (message == WM_CHAR)
      character = wParam;
    else
      return false;
    *result = 0;
    return true;
  };
  PostMessageA(probe->GetHandle(), WM_KEYDOWN, 'A', KeyDownParam('A'));
  PostQuitMessage(0);
  EXPECT_EQ(wulRunMessageLoop(), 0);
  EXPECT_FALSE(characterQueuedAtKeyDown);
  EXPECT_EQ(character, static_cast<WPARAM>('a'));
}

bool characterQueuedAtShortcut = false;
int NoteQueuedCharacter(CWULShortcut*, CWULShortcut*) {
  ++shortcutCalls;
  characterQueuedAtShortcut = CharacterQueued();
  return 1;
}

TEST_F(MessageLoop, ShortcutTableRunsAfterTheKeyWasTranslated) {
  KeyState keys;
  keys.Set({});
  shortcutCalls = 0;
  characterQueuedAtShortcut = false;
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, 'B', 0);
  shortcut->callback = NoteQueuedCharacter;
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* passing = MakeWindow(log);
  passing->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = -1;
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
  };
  PostMessageA(passing->GetHandle(), WM_KEYDOWN, 'B', KeyDownParam('B'));
  PostQuitMessage(0);
  EXPECT_EQ(wulRunMessageLoop(), 0);
  EXPECT_EQ(shortcutCalls, 1);
  EXPECT_TRUE(characterQueuedAtShortcut);
  // The character message itself never fires a shortcut.
  EXPECT_EQ(log->Count(WM_CHAR), 1);
  wulGetTLS()->shortcutTable->Remove(shortcut);
}

TEST_F(MessageLoop, PumpsDoNotConsultTheShortcutTable) {
  KeyState keys;
  keys.Set({});
  shortcutCalls = 0;
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F6, 0);
  shortcut->callback = CountShortcut;
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* passing = MakeWindow(log);
  passing->handler = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = -1;
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
  };
  HWND window = passing->GetHandle();
  PostMessageA(window, WM_KEYDOWN, VK_F6, KeyDownParam(VK_F6));
  wulPumpMessages();
  PostMessageA(window, WM_SYSKEYDOWN, VK_F6, KeyDownParam(VK_F6));
  wulPumpMessage(window);
  EXPECT_EQ(log->Count(WM_KEYDOWN), 1);
  EXPECT_EQ(log->Count(WM_SYSKEYDOWN), 1);
  EXPECT_EQ(shortcutCalls, 0);
  // The same key in the main loop does fire it.
  PostMessageA(window, WM_KEYDOWN, VK_F6, KeyDownParam(VK_F6));
  PostQuitMessage(0);
  EXPECT_EQ(wulRunMessageLoop(), 0);
  EXPECT_EQ(shortcutCalls, 1);
  wulGetTLS()->shortcutTable->Remove(shortcut);
}

TEST_F(MessageLoop, ErrorWhileClosingTheWindowsIsShown) {
  BoxWatcher watcher("WUL Error");
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeWindow(log);
  probe->handler = [](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
    if (message == WM_CLOSE)
      wulThrowError(5, "Probe::Close", "close failure");
    return false;
  };
  PostQuitMessage(9);
  EXPECT_EQ(wulRunMessageLoop(), 9);
  ASSERT_EQ(watcher.Count(), 1u);
  EXPECT_EQ(watcher.Texts()[0], "Location: Probe::Close\nDescription: close failure");
  EXPECT_FALSE(wulHasPendingException());
  ASSERT_FALSE(log->deleted);
  probe->handler = nullptr;
  delete probe;
}

TEST_F(MessageLoop, PumpMessageHandsTheMessageToTheGivenWindow) {
  auto aimedLog = std::make_shared<ProbeLog>();
  auto popupLog = std::make_shared<ProbeLog>();
  ProbeInteractor* aimed = MakeWindow(aimedLog);
  ProbeInteractor* popup = MakeWindow(popupLog);
  PostMessageA(aimed->GetHandle(), WM_KEYDOWN, VK_DOWN, 1);
  wulPumpMessage(popup->GetHandle());
  EXPECT_EQ(aimedLog->Count(WM_KEYDOWN), 0);
  EXPECT_EQ(popupLog->Count(WM_KEYDOWN), 1);
  delete aimed;
  delete popup;
}

TEST_F(MessageLoop, PumpMessageKeepsTheQuitRequest) {
  ProbeInteractor* popup = MakeWindow();
  PostQuitMessage(4);
  wulPumpMessage(popup->GetHandle());
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 4u);
  delete popup;
}

TEST_F(MessageLoop, PumpMessageShowsAnError) {
  BoxWatcher watcher("WUL Error");
  ProbeInteractor* popup = MakeWindow();
  popup->handler = [](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
    if (message == WM_KEYDOWN)
      wulThrowError(1, "Probe::Key", "key failure");
    return false;
  };
  PostMessageA(popup->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
  wulPumpMessage(popup->GetHandle());
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Location: Probe::Key\nDescription: key failure");
  delete popup;
}

// --- modality ---

ProbeInteractor* MakeShownWindow(std::shared_ptr<ProbeLog> log, int x) {
  auto* probe = new ProbeInteractor(log);
  probe->flagsA |= WUL_IF_VISIBLE;
  probe->x = x;
  probe->y = 10;
  probe->width = 40;
  probe->height = 30;
  probe->Incarnate(nullptr);
  return probe;
}

TEST_F(Modality, DisableAndEnableThreadWindows) {
  ProbeInteractor* modal = MakeShownWindow(std::make_shared<ProbeLog>(), 10);
  ProbeInteractor* first = MakeShownWindow(std::make_shared<ProbeLog>(), 60);
  ProbeInteractor* second = MakeShownWindow(std::make_shared<ProbeLog>(), 110);
  ProbeInteractor* hidden = MakeWindow();
  ProbeInteractor* disabled = MakeShownWindow(std::make_shared<ProbeLog>(), 160);
  EnableWindow(disabled->GetHandle(), FALSE);
  HWND firstWindow = first->GetHandle();
  HWND secondWindow = second->GetHandle();

  WULDisabledWindow* list = nullptr;
  wulDisableThreadWindows(&list, modal->GetHandle());
  int recorded = 0;
  bool hasFirst = false, hasSecond = false;
  for (WULDisabledWindow* record = list; record; record = record->next) {
    ++recorded;
    hasFirst = hasFirst || record->window == firstWindow;
    hasSecond = hasSecond || record->window == secondWindow;
    EXPECT_NE(record->window, modal->GetHandle());
    EXPECT_NE(record->window, hidden->GetHandle());
    EXPECT_NE(record->window, disabled->GetHandle());
  }
  EXPECT_TRUE(hasFirst);
  EXPECT_TRUE(hasSecond);
  EXPECT_GE(recorded, 2);
  EXPECT_TRUE(IsWindowEnabled(modal->GetHandle()));
  EXPECT_FALSE(IsWindowEnabled(firstWindow));
  EXPECT_FALSE(IsWindowEnabled(secondWindow));
  EXPECT_TRUE(IsWindowEnabled(hidden->GetHandle()));

  // A window destroyed while disabled is skipped.
  delete first;
  EXPECT_FALSE(IsWindow(firstWindow));
  wulEnableThreadWindows(&list);
  EXPECT_EQ(list, nullptr);
  EXPECT_TRUE(IsWindowEnabled(secondWindow));
  EXPECT_FALSE(IsWindowEnabled(disabled->GetHandle()));
  wulEnableThreadWindows(&list);
  EXPECT_EQ(list, nullptr);

  delete modal;
  delete second;
  delete hidden;
  delete disabled;
}

TEST_F(Modality, RecordsAreAppendedAtTheEnd) {
  ProbeInteractor* shown = MakeShownWindow(std::make_shared<ProbeLog>(), 10);
  WULDisabledWindow* earlier = static_cast<WULDisabledWindow*>(std::malloc(sizeof(WULDisabledWindow)));
  HWND stand = CreateWindowExA(0, wulClassName, "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, wulInstance, nullptr);
  earlier->window = stand;
  earlier->next = nullptr;
  WULDisabledWindow* list = earlier;
  wulDisableThreadWindows(&list, nullptr);
  ASSERT_EQ(list, earlier);
  ASSERT_NE(list->next, nullptr);
  bool found = false;
  for (WULDisabledWindow* record = list->next; record; record = record->next)
    found = found || record->window == shown->GetHandle();
  EXPECT_TRUE(found);
  wulEnableThreadWindows(&list);
  EXPECT_TRUE(IsWindowEnabled(shown->GetHandle()));
  DestroyWindow(stand);
  delete shown;
}

TEST_F(Modality, CursorRefreshAsksTheWindowUnderThePointer) {
  auto log = std::make_shared<ProbeLog>();
  ProbeInteractor* probe = MakeShownWindow(log, 300);
  SetWindowPos(probe->GetHandle(), HWND_TOPMOST, 300, 300, 80, 80, SWP_NOACTIVATE);
  LPARAM setCursor = 0;
  probe->handler = [&setCursor](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message == WM_NCHITTEST) {
      *result = HTCAPTION;
      return true;
    }
    if (message == WM_SETCURSOR) {
      setCursor = lParam;
      *result = 1;
      return true;
    }
    return false;
  };
  SetCursorPos(340, 340);
  POINT at;
  GetCursorPos(&at);
  if (WindowFromPoint(at) != probe->GetHandle()) {
    delete probe;
    GTEST_SKIP() << "the pointer cannot be placed on the window here";
  }
  setCursor = 0;
  wulUpdateCursor();
  EXPECT_EQ(LOWORD(setCursor), HTCAPTION);
  EXPECT_EQ(HIWORD(setCursor), WM_MOUSEMOVE);
  delete probe;
}

}  // namespace
