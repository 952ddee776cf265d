#include "wul/WULShortcut.h"
#include <cstdio>
#include <cstring>
#include "wul/WULSystem.h"

CWULShortcut::CWULShortcut(int32_t keyKind, int32_t keyValue, int32_t modifiers)
    : callback(nullptr),
      keyKind(keyKind),
      keyValue(keyValue),
      modifiers(modifiers),
      enabled(1),
      refCount(0),
      autoDelete(1) {
  classCode = WUL_CLASS_SHORTCUT;
  WULThreadBlock* block = wulGetTLS();
  if (block && block->shortcutTable)
    block->shortcutTable->Add(this);
}

CWULShortcut::~CWULShortcut() {
  CWULShortcutTable* owner = GetOwner();
  if (owner)
    owner->shortcuts.Remove(this);
  listener = nullptr;
}

CWULShortcutTable* CWULShortcut::GetOwner() const { return static_cast<CWULShortcutTable*>(listener); }

void CWULShortcut::AddRef(CWULShortcut* shortcut) {
  if (shortcut)
    ++shortcut->refCount;
}

void CWULShortcut::Release(CWULShortcut* shortcut) {
  if (!shortcut)
    return;
  if (--shortcut->refCount < 1 && shortcut->autoDelete)
    delete shortcut;
}

void CWULShortcut::Trigger(CWULShortcut* shortcut) {
  if (shortcut && shortcut->callback)
    shortcut->callback(shortcut, shortcut);
}

void CWULShortcut::GetText(char* buffer, int size) const {
  if (!buffer || size <= 0)
    return;
  char text[256];
  text[0] = 0;
  if (HasAlt())
    std::strcat(text, "Alt+");
  if (HasCtrl())
    std::strcat(text, "Ctrl+");
  if (HasShift())
    std::strcat(text, "Shift+");
  size_t used = std::strlen(text);
  char* name = text + used;
  int room = static_cast<int>(sizeof text - used);
  if (keyKind == WUL_KEY_VIRTUAL) {
    LONG code = static_cast<LONG>(MapVirtualKeyA(static_cast<UINT>(keyValue), 0) << 16);
    // Named after the navigation block, not the numeric pad.
    if ((keyValue >= VK_PRIOR && keyValue <= VK_DOWN) || keyValue == VK_INSERT || keyValue == VK_DELETE ||
        (keyValue >= VK_LWIN && keyValue <= VK_APPS) || keyValue == VK_NUMLOCK)
      code |= 1 << 24;
    if (GetKeyNameTextA(code, name, room) <= 0)
      name[0] = 0;
  } else if (keyKind == WUL_KEY_SCAN) {
    if (GetKeyNameTextA(static_cast<LONG>(keyValue << 16), name, room) <= 0)
      name[0] = 0;
  } else if (keyKind == WUL_KEY_CHAR) {
    name[0] = static_cast<char>(keyValue);
    name[1] = 0;
  }
  text[sizeof text - 1] = 0;
  std::snprintf(buffer, static_cast<size_t>(size), "%s", text);
}

CWULShortcutTable::CWULShortcutTable() { classCode = WUL_CLASS_SHORTCUT_TABLE; }

CWULShortcutTable::~CWULShortcutTable() {
  for (CWULListNode* node = shortcuts.first; node; node = node->next)
    static_cast<CWULShortcut*>(node)->listener = nullptr;
  shortcuts.UnlinkAll();
}

void CWULShortcutTable::Add(CWULShortcut* shortcut) {
  if (!shortcut)
    return;
  // The new reference is taken first so that leaving the old table cannot delete it.
  CWULShortcut::AddRef(shortcut);
  CWULShortcutTable* owner = shortcut->GetOwner();
  if (owner)
    owner->Remove(shortcut);
  shortcuts.Append(shortcut);
  shortcut->listener = this;
}

void CWULShortcutTable::Remove(CWULShortcut* shortcut) {
  if (!shortcut || shortcut->GetOwner() != this)
    return;
  shortcuts.Remove(shortcut);
  shortcut->listener = nullptr;
  CWULShortcut::Release(shortcut);
}

bool CWULShortcutTable::ProcessMessage(const MSG* message) {
  if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
    return false;
  int32_t current = 0;
  if (GetKeyState(VK_SHIFT) < 0)
    current |= WUL_MOD_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0)
    current |= WUL_MOD_CTRL;
  if (message->lParam & (1 << 29))
    current |= WUL_MOD_ALT;
  for (CWULListNode* node = shortcuts.first; node; node = node->next) {
    auto* shortcut = static_cast<CWULShortcut*>(node);
    if (!shortcut->enabled || shortcut->keyValue == 0 || shortcut->modifiers != current)
      continue;
    bool match = false;
    switch (shortcut->keyKind) {
      case WUL_KEY_VIRTUAL:
        match = static_cast<WPARAM>(shortcut->keyValue) == message->wParam;
        break;
      case WUL_KEY_SCAN:
        match = shortcut->keyValue == static_cast<int32_t>((message->lParam >> 16) & 0xFF);
        break;
      case WUL_KEY_CHAR:
        match = static_cast<UINT>(shortcut->keyValue) == MapVirtualKeyA(static_cast<UINT>(message->wParam), 2);
        break;
    }
    if (match) {
      CWULShortcut::Trigger(shortcut);
      return true;
    }
  }
  return false;
}
