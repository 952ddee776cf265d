#pragma once
// The program's own modal message box: a picture for the kind of message, a word-wrapped
// text and a centred row of buttons with mnemonics. One box exists at a time.
#include <windows.h>

class CWULInteractor;

// Box types: the buttons shown, left to right.
enum {
  MSGBOX_TYPE_OK = 1,            // "&OK"
  MSGBOX_TYPE_YES_NO = 2,        // "&Yes", "&No"
  MSGBOX_TYPE_OK_CANCEL = 3,     // "&OK", "&Cancel"
  MSGBOX_TYPE_YES_NO_CANCEL = 4  // "&Yes", "&No", "&Cancel"
};

// Kinds: the picture beside the text.
enum {
  MSGBOX_KIND_ERROR = 1,
  MSGBOX_KIND_QUESTION = 2,
  MSGBOX_KIND_WARNING = 3,
  MSGBOX_KIND_INFORMATION = 4
};

// The values the buttons return; closing the box without a button answers MSGBOX_VALUE_OK.
enum {
  MSGBOX_VALUE_YES = 1,
  MSGBOX_VALUE_NO = 2,
  MSGBOX_VALUE_OK = 3,
  MSGBOX_VALUE_CANCEL = 4
};

// Shows the box modally over owner (may be null) and returns the value of the button
// pressed; the button whose value is defaultValue has the focus. 0 when the type or kind
// is unknown or when a box is already open.
int MessageBoxDialog(HWND owner, int type, int kind, const char* caption, const char* text, int defaultValue);
// The same, owned by a framework window's native window (none when owner is null).
int ShowMessageBox(CWULInteractor* owner, int type, int kind, const char* caption, const char* text, int defaultValue);
