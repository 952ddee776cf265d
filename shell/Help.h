#pragma once
// The HTML Help window: the help file beside the program, shown at a topic.
#include <windows.h>
#include "wul/WULString.h"

// HtmlHelpA, bound at run time from the HTML Help control.
typedef HWND(WINAPI* HtmlHelpProc)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// The topics the program opens besides the contents.
constexpr const char* HELP_TOPIC_KEYBOARD = "keyboard.html";
constexpr const char* HELP_TOPIC_OPTIONS = "options.html";
constexpr const char* HELP_TOPIC_IMAGE_PROPERTIES = "ui.dialogs.imageprops.html";
constexpr const char* HELP_TOPIC_LAYER_PROPERTIES = "ui.dialogs.layerprops.html";
constexpr const char* HELP_TOPIC_NEW_IMAGE = "ui.dialogs.newimage.html";
constexpr const char* HELP_TOPIC_NEW_PROJECT = "ui.dialogs.newproject.html";
constexpr const char* HELP_TOPICS[] = {HELP_TOPIC_KEYBOARD,          HELP_TOPIC_OPTIONS,
                                       HELP_TOPIC_IMAGE_PROPERTIES, HELP_TOPIC_LAYER_PROPERTIES,
                                       HELP_TOPIC_NEW_IMAGE,        HELP_TOPIC_NEW_PROJECT};
// The window type the help window is placed by.
constexpr const char* HELP_WINDOW_TYPE = "VC Help";

// Opens the help file at a topic; null or empty opens the contents. Places the help
// window on the right of the work area. Returns the help window; null when the help
// cannot be shown (no help control, no help file), after an error box that names the file.
HWND ShowHelpTopic(const char* topic);
HWND ShowHelpContents();

// The help file: the program path with the extension "chm"; empty when it cannot be told.
void GetHelpFilePath(CWULString& path);

// The bound HtmlHelpA; null when the help control is missing. Binding is tried once.
HtmlHelpProc GetHtmlHelpProc();
// Replaces the bound function. Null binds the help control's own again on next use, or,
// with rebind false, stands for a system without a help control.
void SetHtmlHelpProc(HtmlHelpProc proc, bool rebind = true);
