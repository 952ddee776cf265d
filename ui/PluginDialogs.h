#pragma once
// Three small modal dialogs: the list of loaded plug-ins, the program's About box and the
// chooser of one image of a project. Each exists at most once; asking for it while it is
// open brings it to the front.
#include <windows.h>

class CImage;
class CProject;
class CThumbnailList;
class CWULAppWindow;
class CWULCheckBox;
class CWULLabel;
class CWULListBox;
class CWULPicture;
class CWULPushButton;

// "Plugins": the module plug-ins with their settings and about boxes.
void PluginsDialog();
// "About Vellumcraft".
void AboutDialog();
// "Select an image": the chosen image of the project, null when cancelled.
CImage* SelectImageDialog(CProject* project);

// The open dialogs' parts, for tests; null while the dialog is not open.
enum { PLUGINS_BUTTON_CLOSE = 0, PLUGINS_BUTTON_SETTINGS = 1, PLUGINS_BUTTON_ABOUT = 2 };
CWULAppWindow* GetPluginsDialogWindow();
CWULListBox* GetPluginsDialogList();
CWULPushButton* GetPluginsDialogButton(int which);

CWULAppWindow* GetAboutDialogWindow();
CWULLabel* GetAboutDialogText();
CWULLabel* GetAboutDialogLink();
// Opens the About box's web address; tests replace it.
typedef HINSTANCE(WINAPI* AboutLinkOpener)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern AboutLinkOpener g_AboutLinkOpener;

CWULAppWindow* GetSelectImageDialogWindow();
CThumbnailList* GetSelectImageList();
CWULPicture* GetSelectImagePreview();
CWULCheckBox* GetSelectImageChequerBox();
CWULPushButton* GetSelectImageButton(bool ok);

// Shows a built dialog modally over owner (centred on it), runs shown once it is visible
// and closes the dialog when its loop ends; returns the modal result, initial when the
// dialog cannot be shown. The dialog is deleted by its close.
int RunPluginDialog(CWULAppWindow* dialog, HWND owner, int initial, void (*shown)());
// The main window's handle, or null.
HWND PluginDialogOwner();
