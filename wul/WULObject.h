#pragma once
// Base of the framework's objects: a class code and one listener that hears of changes.
#include <cstdint>
#include "wul/WULList.h"

// Class codes.
enum {
  WUL_CLASS_NONE = 0,
  WUL_CLASS_STRING = 1,
  WUL_CLASS_COLOR = 2,
  WUL_CLASS_FONT = 3,
  WUL_CLASS_IMAGE = 4,
  WUL_CLASS_BITMAP = 5,
  WUL_CLASS_OFFSCREEN_BUFFER = 6,
  WUL_CLASS_SHORTCUT_TABLE = 50,
  WUL_CLASS_SHORTCUT = 51,
  WUL_CLASS_TIMER = 60,
  WUL_CLASS_INTERACTOR = 100,
  WUL_CLASS_MENU = 200,
  WUL_CLASS_MENU_ITEM = 201,
  WUL_CLASS_BAR_ITEM = 301,
  WUL_CLASS_LIST_ITEM = 302,
  WUL_CLASS_DROP_DOWN_ITEM = 304,
  WUL_CLASS_PAGE_CONTROL_ITEM = 306,
  WUL_CLASS_CANVAS_OVERLAY = 307
};

// Notification codes.
enum {
  WUL_NOTIFY_CHANGED = 0,      // param 0
  WUL_NOTIFY_ITEM_CHOSEN = 1,  // param: the chosen menu item
  WUL_NOTIFY_MENU_DESTROYED = 2,
  WUL_NOTIFY_SHELL_ENDED = 3,
  WUL_NOTIFY_NAVIGATION_KEY = 4  // param: virtual-key code
};

class CWULObject {
public:
  CWULObject() : listener(nullptr), classCode(WUL_CLASS_NONE) {}
  // A copy keeps the kind but never reports to the source's listener.
  CWULObject(const CWULObject& other) : listener(nullptr), classCode(other.classCode) {}
  // Assignment changes the value only; the target keeps its own listener and kind.
  CWULObject& operator=(const CWULObject&) { return *this; }
  virtual ~CWULObject() {}

  // The param is pointer-sized because some notifications carry an object.
  virtual int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param);

  int32_t Notify(int32_t code, intptr_t param);
  int32_t Notify(int32_t code) { return Notify(code, 0); }
  int32_t NotifyChanged() { return Notify(WUL_NOTIFY_CHANGED, 0); }

  static int32_t NotifyTo(CWULObject* sender, CWULObject* target, int32_t code, intptr_t param);
  static int32_t NotifyTo(CWULObject* sender, CWULObject* target, int32_t code) {
    return NotifyTo(sender, target, code, 0);
  }
  static int32_t NotifyTo(CWULObject* sender, CWULObject* target) {
    return NotifyTo(sender, target, WUL_NOTIFY_CHANGED, 0);
  }

  // True when this object is met following the listener links from other's listener on.
  bool IsInListenerChainOf(const CWULObject* other) const;

  CWULObject* listener;  // not owned
  int32_t classCode;
};
