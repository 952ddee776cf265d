#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "FrameworkProbe.h"
#include "wul/WULInit.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"

namespace {

class ProbeShortcut : public CWULShortcut {
public:
  ProbeShortcut(int32_t kind, int32_t value, int32_t modifiers, bool* deleted)
      : CWULShortcut(kind, value, modifiers), deleted(deleted) {
    callback = Count;
  }
  ~ProbeShortcut() override {
    if (deleted)
      *deleted = true;
  }
  static int Count(CWULShortcut* shortcut, CWULShortcut* sender) {
    auto* self = static_cast<ProbeShortcut*>(shortcut);
    ++self->calls;
    self->sameSender = sender == shortcut;
    return 1;
  }
  bool* deleted;
  int calls = 0;
  bool sameSender = false;
};

class Shortcut : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    threadTable = wulGetTLS()->shortcutTable;
    keys.Set({});
  }
  // A shortcut of the local table, taken out of the thread's table.
  ProbeShortcut* Make(int32_t kind, int32_t value, int32_t modifiers) {
    auto* shortcut = new ProbeShortcut(kind, value, modifiers, nullptr);
    table.Add(shortcut);
    return shortcut;
  }
  void TearDown() override {
    while (table.shortcuts.first)
      table.Remove(static_cast<CWULShortcut*>(table.shortcuts.first));
  }
  static MSG Key(UINT message, WPARAM key, bool alt = false) {
    MSG msg = {};
    msg.message = message;
    msg.wParam = key;
    msg.lParam = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
    if (alt)
      msg.lParam |= 1 << 29;
    return msg;
  }

  CWULShortcutTable* threadTable = nullptr;
  CWULShortcutTable table;
  KeyState keys;
};

TEST_F(Shortcut, ConstructionRegistersInTheThreadTable) {
  bool deleted = false;
  auto* shortcut = new ProbeShortcut(WUL_KEY_VIRTUAL, 'N', WUL_MOD_CTRL, &deleted);
  EXPECT_EQ(shortcut->classCode, WUL_CLASS_SHORTCUT);
  EXPECT_EQ(shortcut->GetOwner(), threadTable);
  EXPECT_EQ(threadTable->shortcuts.last, static_cast<CWULListNode*>(shortcut));
  EXPECT_EQ(shortcut->refCount, 1);
  EXPECT_TRUE(shortcut->enabled);
  EXPECT_TRUE(shortcut->autoDelete);
  EXPECT_TRUE(shortcut->HasCtrl());
  EXPECT_FALSE(shortcut->HasShift());
  EXPECT_FALSE(shortcut->HasAlt());

  // A holder's reference keeps it alive after the table lets go.
  CWULShortcut::AddRef(shortcut);
  threadTable->Remove(shortcut);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(shortcut->GetOwner(), nullptr);
  CWULShortcut::Release(shortcut);
  EXPECT_TRUE(deleted);
}

DWORD WINAPI MakeShortcutElsewhere(LPVOID param) {
  CWULShortcut shortcut(WUL_KEY_VIRTUAL, VK_F1, 0);
  *static_cast<CWULShortcutTable**>(param) = shortcut.GetOwner();
  return 0;
}

TEST_F(Shortcut, ThreadWithoutTableMakesUnregisteredShortcuts) {
  CWULShortcutTable* owner = threadTable;
  HANDLE thread = CreateThread(nullptr, 0, MakeShortcutElsewhere, &owner, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(owner, nullptr);
}

TEST_F(Shortcut, ReferenceCountingAndAutoDelete) {
  CWULShortcut::AddRef(nullptr);
  CWULShortcut::Release(nullptr);
  CWULShortcut::Trigger(nullptr);

  bool deleted = false;
  auto* shortcut = new ProbeShortcut(WUL_KEY_VIRTUAL, 'K', 0, &deleted);
  shortcut->autoDelete = 0;
  threadTable->Remove(shortcut);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(shortcut->refCount, 0);
  CWULShortcut::AddRef(shortcut);
  CWULShortcut::Release(shortcut);
  CWULShortcut::Release(shortcut);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(shortcut->refCount, -1);
  shortcut->autoDelete = 1;
  CWULShortcut::AddRef(shortcut);
  CWULShortcut::AddRef(shortcut);
  CWULShortcut::Release(shortcut);
  EXPECT_TRUE(deleted);
}

TEST_F(Shortcut, DeletingARegisteredShortcutUnlinksIt) {
  ProbeShortcut* shortcut = Make(WUL_KEY_VIRTUAL, 'D', 0);
  int before = table.shortcuts.count;
  delete shortcut;
  EXPECT_EQ(table.shortcuts.count, before - 1);
}

TEST_F(Shortcut, MovingToAnotherTableKeepsItAlive) {
  bool deleted = false;
  auto* shortcut = new ProbeShortcut(WUL_KEY_VIRTUAL, 'M', 0, &deleted);
  int threadCount = threadTable->shortcuts.count;
  table.Add(shortcut);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(shortcut->GetOwner(), &table);
  EXPECT_EQ(shortcut->refCount, 1);
  EXPECT_EQ(threadTable->shortcuts.count, threadCount - 1);
  // Adding it again moves it to the end of the same table.
  ProbeShortcut* other = Make(WUL_KEY_VIRTUAL, 'O', 0);
  table.Add(shortcut);
  EXPECT_EQ(table.shortcuts.last, static_cast<CWULListNode*>(shortcut));
  EXPECT_EQ(table.shortcuts.first, static_cast<CWULListNode*>(other));
  EXPECT_EQ(shortcut->refCount, 1);
  // A table does not remove what is not its own.
  threadTable->Remove(shortcut);
  EXPECT_EQ(shortcut->GetOwner(), &table);
  EXPECT_FALSE(deleted);
  table.Remove(shortcut);
  EXPECT_TRUE(deleted);
}

TEST_F(Shortcut, TableDestructorForgetsWithoutReleasing) {
  bool deleted = false;
  auto* local = new CWULShortcutTable;
  auto* shortcut = new ProbeShortcut(WUL_KEY_VIRTUAL, 'T', 0, &deleted);
  local->Add(shortcut);
  delete local;
  EXPECT_FALSE(deleted);
  EXPECT_EQ(shortcut->GetOwner(), nullptr);
  EXPECT_EQ(shortcut->refCount, 1);
  delete shortcut;
  EXPECT_TRUE(deleted);
}

TEST_F(Shortcut, ModifiersMustMatchExactly) {
  ProbeShortcut* undo = Make(WUL_KEY_VIRTUAL, 'Z', WUL_MOD_CTRL);
  ProbeShortcut* redo = Make(WUL_KEY_VIRTUAL, 'Z', WUL_MOD_CTRL | WUL_MOD_SHIFT);
  ProbeShortcut* plain = Make(WUL_KEY_VIRTUAL, 'Z', 0);
  MSG z = Key(WM_KEYDOWN, 'Z');

  keys.Set({VK_CONTROL, VK_SHIFT});
  EXPECT_TRUE(table.ProcessMessage(&z));
  EXPECT_EQ(undo->calls, 0);
  EXPECT_EQ(redo->calls, 1);
  EXPECT_TRUE(redo->sameSender);

  keys.Set({VK_CONTROL});
  EXPECT_TRUE(table.ProcessMessage(&z));
  EXPECT_EQ(undo->calls, 1);

  keys.Set({VK_SHIFT});
  EXPECT_FALSE(table.ProcessMessage(&z));
  keys.Set({});
  EXPECT_TRUE(table.ProcessMessage(&z));
  EXPECT_EQ(plain->calls, 1);
  EXPECT_EQ(undo->calls, 1);
  EXPECT_EQ(redo->calls, 1);
}

TEST_F(Shortcut, AltComesFromTheContextBit) {
  ProbeShortcut* close = Make(WUL_KEY_VIRTUAL, VK_F4, WUL_MOD_ALT);
  MSG withoutAlt = Key(WM_SYSKEYDOWN, VK_F4);
  MSG withAlt = Key(WM_SYSKEYDOWN, VK_F4, true);
  // The key state of Alt does not count.
  keys.Set({VK_MENU});
  EXPECT_FALSE(table.ProcessMessage(&withoutAlt));
  keys.Set({});
  EXPECT_TRUE(table.ProcessMessage(&withAlt));
  EXPECT_EQ(close->calls, 1);
}

TEST_F(Shortcut, FirstRegisteredWins) {
  ProbeShortcut* first = Make(WUL_KEY_VIRTUAL, VK_F6, 0);
  ProbeShortcut* second = Make(WUL_KEY_VIRTUAL, VK_F6, 0);
  MSG f6 = Key(WM_KEYDOWN, VK_F6);
  EXPECT_TRUE(table.ProcessMessage(&f6));
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second->calls, 0);
  first->enabled = 0;
  EXPECT_TRUE(table.ProcessMessage(&f6));
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second->calls, 1);
}

TEST_F(Shortcut, DisabledOrKeylessShortcutsNeverMatch) {
  ProbeShortcut* disabled = Make(WUL_KEY_VIRTUAL, VK_F7, 0);
  disabled->enabled = 0;
  ProbeShortcut* keyless = Make(WUL_KEY_VIRTUAL, 0, 0);
  MSG f7 = Key(WM_KEYDOWN, VK_F7);
  MSG none = Key(WM_KEYDOWN, 0);
  EXPECT_FALSE(table.ProcessMessage(&f7));
  EXPECT_FALSE(table.ProcessMessage(&none));
  EXPECT_EQ(disabled->calls, 0);
  EXPECT_EQ(keyless->calls, 0);
}

TEST_F(Shortcut, OnlyKeyDownsTrigger) {
  ProbeShortcut* shortcut = Make(WUL_KEY_VIRTUAL, VK_F8, 0);
  for (UINT message : {WM_KEYUP, WM_CHAR, WM_DEADCHAR, WM_SYSKEYUP, WM_SYSCHAR, WM_SYSDEADCHAR}) {
    MSG msg = Key(message, VK_F8);
    EXPECT_FALSE(table.ProcessMessage(&msg)) << message;
  }
  EXPECT_FALSE(table.ProcessMessage(nullptr));
  EXPECT_EQ(shortcut->calls, 0);
  MSG down = Key(WM_KEYDOWN, VK_F8);
  MSG sysDown = Key(WM_SYSKEYDOWN, VK_F8);
  EXPECT_TRUE(table.ProcessMessage(&down));
  EXPECT_TRUE(table.ProcessMessage(&sysDown));
  EXPECT_EQ(shortcut->calls, 2);
}

TEST_F(Shortcut, ScanCodeAndCharacterKinds) {
  UINT scan = MapVirtualKeyA(VK_F9, 0);
  ASSERT_NE(scan, 0u);
  ProbeShortcut* byScan = Make(WUL_KEY_SCAN, static_cast<int32_t>(scan), 0);
  ProbeShortcut* byChar = Make(WUL_KEY_CHAR, 'A', WUL_MOD_CTRL);
  MSG f9 = Key(WM_KEYDOWN, VK_F9);
  f9.wParam = 0;  // only the scan code of lParam counts
  EXPECT_TRUE(table.ProcessMessage(&f9));
  EXPECT_EQ(byScan->calls, 1);
  keys.Set({VK_CONTROL});
  MSG a = Key(WM_KEYDOWN, 'A');
  EXPECT_TRUE(table.ProcessMessage(&a));
  EXPECT_EQ(byChar->calls, 1);
  MSG b = Key(WM_KEYDOWN, 'B');
  EXPECT_FALSE(table.ProcessMessage(&b));
}

std::string KeyName(LONG code) {
  char name[256] = {};
  GetKeyNameTextA(code, name, sizeof name);
  return name;
}

TEST_F(Shortcut, TextNamesModifiersThenTheKey) {
  ProbeShortcut* shortcut = Make(WUL_KEY_VIRTUAL, VK_DELETE, WUL_MOD_CTRL | WUL_MOD_SHIFT);
  char text[64];
  shortcut->GetText(text, sizeof text);
  LONG code = static_cast<LONG>(MapVirtualKeyA(VK_DELETE, 0) << 16);
  std::string extended = KeyName(code | (1 << 24));
  ASSERT_FALSE(extended.empty());
  EXPECT_EQ(std::string(text), "Ctrl+Shift+" + extended);
  std::string pad = KeyName(code);
  if (pad != extended) {
    EXPECT_NE(std::string(text), "Ctrl+Shift+" + pad);
  }

  shortcut->modifiers = WUL_MOD_ALT | WUL_MOD_CTRL | WUL_MOD_SHIFT;
  shortcut->keyValue = VK_F4;
  shortcut->GetText(text, sizeof text);
  EXPECT_EQ(std::string(text), "Alt+Ctrl+Shift+" + KeyName(static_cast<LONG>(MapVirtualKeyA(VK_F4, 0) << 16)));

  shortcut->keyKind = WUL_KEY_SCAN;
  shortcut->keyValue = static_cast<int32_t>(MapVirtualKeyA('Q', 0));
  shortcut->modifiers = WUL_MOD_ALT;
  shortcut->GetText(text, sizeof text);
  EXPECT_EQ(std::string(text), "Alt+" + KeyName(shortcut->keyValue << 16));

  shortcut->keyKind = WUL_KEY_CHAR;
  shortcut->keyValue = '+';
  shortcut->modifiers = WUL_MOD_CTRL;
  shortcut->GetText(text, sizeof text);
  EXPECT_STREQ(text, "Ctrl++");
}

TEST_F(Shortcut, TextIsCutToTheBuffer) {
  ProbeShortcut* shortcut = Make(WUL_KEY_CHAR, 'X', WUL_MOD_CTRL);
  char text[8] = "xxxxxxx";
  shortcut->GetText(text, 4);
  EXPECT_STREQ(text, "Ctr");
  shortcut->GetText(text, 1);
  EXPECT_STREQ(text, "");
  text[0] = 'k';
  shortcut->GetText(text, 0);
  EXPECT_EQ(text[0], 'k');
  shortcut->GetText(nullptr, 10);
}

}  // namespace
