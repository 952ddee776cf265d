#pragma once
// Keyboard shortcuts: key combinations with a callback, kept in a per-thread table that
// the main loop consults for key presses that no window consumed.
#include <windows.h>
#include <cstdint>
#include "wul/WULList.h"
#include "wul/WULObject.h"

class CWULShortcutTable;

// Key kinds.
enum {
  WUL_KEY_VIRTUAL = 0,  // virtual-key code
  WUL_KEY_SCAN = 1,     // scan code
  WUL_KEY_CHAR = 2      // unshifted character of the key
};

// Modifier bits.
enum {
  WUL_MOD_SHIFT = 1,
  WUL_MOD_CTRL = 2,
  WUL_MOD_ALT = 4
};

class CWULShortcut : public CWULObject, public CWULListNode {
public:
  typedef int (*Callback)(CWULShortcut* shortcut, CWULShortcut* sender);

  // Registers itself in the calling thread's table when the thread has one.
  CWULShortcut(int32_t keyKind, int32_t keyValue, int32_t modifiers);
  // Unlinks itself from its table, if any, without touching the reference count.
  ~CWULShortcut();

  // Both accept null. Release deletes the shortcut when the count drops below 1 and
  // auto-delete is set.
  static void AddRef(CWULShortcut* shortcut);
  static void Release(CWULShortcut* shortcut);
  // Runs the callback of a shortcut; accepts null.
  static void Trigger(CWULShortcut* shortcut);

  bool HasShift() const { return (modifiers & WUL_MOD_SHIFT) != 0; }
  bool HasCtrl() const { return (modifiers & WUL_MOD_CTRL) != 0; }
  bool HasAlt() const { return (modifiers & WUL_MOD_ALT) != 0; }
  CWULShortcutTable* GetOwner() const;

  // Display text such as "Ctrl+Shift+Delete", cut to size - 1 characters.
  void GetText(char* buffer, int size) const;

  Callback callback;
  int32_t keyKind;
  int32_t keyValue;
  int32_t modifiers;
  uint8_t enabled;
  int32_t refCount;
  uint8_t autoDelete;

private:
  CWULShortcut(const CWULShortcut&) = delete;
  CWULShortcut& operator=(const CWULShortcut&) = delete;
};

class CWULShortcutTable : public CWULObject {
public:
  CWULShortcutTable();
  // Forgets every shortcut without releasing it.
  ~CWULShortcutTable();

  // Both accept null. Add takes the shortcut from its current table and holds a
  // reference to it; Remove gives that reference back, which may delete the shortcut.
  void Add(CWULShortcut* shortcut);
  void Remove(CWULShortcut* shortcut);

  // Runs the first enabled shortcut that matches a WM_KEYDOWN or WM_SYSKEYDOWN; true
  // when one ran.
  bool ProcessMessage(const MSG* message);

  CWULList shortcuts;  // in registration order

private:
  CWULShortcutTable(const CWULShortcutTable&) = delete;
  CWULShortcutTable& operator=(const CWULShortcutTable&) = delete;
};
