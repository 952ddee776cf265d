#pragma once
// The HTML Help window: the help file beside the program, shown at a topic.
#include <windows.h>

// HtmlHelpA, bound at run time from the HTML Help control.
typedef HWND(WINAPI* HtmlHelpProc)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// Opens the help file at a topic; null or empty opens the contents. Places the help
// window on the right of the work area. Returns the help window, null when the help
// cannot be shown (no help control, no help file).
HWND ShowHelpTopic(const char* topic);
HWND ShowHelpContents();

// The bound HtmlHelpA; null when the help control is missing. Binding is tried once.
HtmlHelpProc GetHtmlHelpProc();
// Replaces the bound function; null binds the help control's own again on next use.
void SetHtmlHelpProc(HtmlHelpProc proc);
