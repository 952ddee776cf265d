#pragma once
// The "New image" and "New project :: new image" dialogs. Both are modal, one at a time,
// offer the same sizes, target colour formats and options, and remember the last size and
// format in the settings. New image adds an image to the current project, optionally with
// copies of the layers of one of its images; New project replaces the current project by
// a new one with one image.

class CThumbnailList;
class CWULAppWindow;
class CWULCheckBox;
class CWULLabel;
class CWULPushButton;
class CWULRadioButton;
class CWULSpinEdit;

// True when an image was added. Nothing happens without a current project; while the
// dialog is open it is brought to the front instead and the result is false.
bool NewImageDialog();
// True when a new project was made current. The open project is closed without a question.
bool NewProjectDialog();
// File > New: asks whether to save a modified project first (Cancel ends it), then runs
// the New project dialog.
bool NewProjectCommand();

enum { NEW_IMAGE_PRESET_COUNT = 8, NEW_IMAGE_FORMAT_COUNT = 5 };

// The open dialog's parts, for tests; the parts of the Contents group are null in the
// New project dialog.
struct CNewImageParts {
  CWULAppWindow* window;
  CWULRadioButton* custom;
  CWULLabel* widthLabel;
  CWULLabel* heightLabel;
  CWULSpinEdit* width;
  CWULSpinEdit* height;
  CWULRadioButton* presets[NEW_IMAGE_PRESET_COUNT];  // 16x16 up to 256x256
  CWULRadioButton* matchClipboard;
  CWULRadioButton* formats[NEW_IMAGE_FORMAT_COUNT];  // 32, 24, 8, 4 and 1 bpp
  CWULCheckBox* supersampled;
  CWULCheckBox* notForExport;
  CWULCheckBox* borrow;
  CWULLabel* fromLabel;
  CThumbnailList* images;  // items stand for the project's images (CThumbnailItem::object)
  CWULPushButton* ok;
  CWULPushButton* cancel;
};
// Null while the dialog is closed.
const CNewImageParts* GetNewImageParts();
const CNewImageParts* GetNewProjectParts();
