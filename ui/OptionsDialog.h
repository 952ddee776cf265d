#pragma once
// The "Options" dialog: a page list on the left and the selected page's controls beside it.
// The pages edit the settings entries' remembered values; Apply and OK copy every remembered
// value into the current one, Cancel drops them. One dialog at a time, modal over the main
// window.

class CWULAppWindow;
class CWULCheckBox;
class CWULListBox;
class CWULPanel;
class CWULPicture;
class CWULPushButton;
class CWULSpinEdit;

// Brings an open dialog to the front; otherwise snapshots the settings and runs the dialog.
void OptionsDialog();

// The pages in list order.
enum {
  OPTIONS_PAGE_VIEWPORTS = 0,
  OPTIONS_PAGE_UNDO,
  OPTIONS_PAGE_MEMORY,
  OPTIONS_PAGE_SUPERSAMPLING,
  OPTIONS_PAGE_PROJECT_FILES,
  OPTIONS_PAGE_COUNT
};

// The open dialog's parts, for tests; null while the dialog is closed.
struct COptionsDialogParts {
  CWULAppWindow* window;
  CWULListBox* pageList;
  CWULPanel* container;
  CWULPanel* pages[OPTIONS_PAGE_COUNT];  // one panel per page inside the container
  CWULPushButton* ok;
  CWULPushButton* cancel;
  CWULPushButton* apply;
  CWULPushButton* reset;
  // Viewports.
  CWULPicture* chequerA;
  CWULPicture* chequerB;
  CWULPicture* grid;
  // Undo.
  CWULSpinEdit* undoMinDepth;
  CWULSpinEdit* undoMaxDepth;
  CWULSpinEdit* undoMemoryLimit;
  // Memory.
  CWULSpinEdit* textMemoryLimit;
  // Supersampling.
  CWULSpinEdit* supersamplingLimit;
  // Project files.
  CWULCheckBox* relaxedChecks;
  CWULCheckBox* embedThumbnails;
  CWULSpinEdit* thumbnailSize;
};
const COptionsDialogParts* GetOptionsDialogParts();

// Whether the open dialog holds changes that Apply has not yet copied.
bool OptionsChangesPending();
// The index of the page selected last, kept while the program runs; -1 before any.
int GetOptionsLastPage();
