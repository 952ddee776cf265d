#pragma once
// The "Image properties" and "Layer properties" dialogs. Each is modal, one at a time, and
// returns an undoable action filled from its controls; the caller owns the action and runs
// it through the image's history.
class CAction;
class CImage;
class CLayer;
class CWULAppWindow;
class CWULCheckBox;
class CWULEdit;
class CWULPushButton;
class CWULRadioButton;
class CWULSpinEdit;

// Null when image is null, when cancelled, or when the dialog is already open (it is brought
// to the foreground instead).
CAction* ImagePropertiesDialog(CImage* image);
// The same for a raster layer of the current image (null for any other layer).
CAction* LayerPropertiesDialog(CLayer* layer);

// The open dialogs' parts, for tests; null while the dialog is closed.
struct CImagePropertiesParts {
  CWULAppWindow* window;
  CWULSpinEdit* width;
  CWULSpinEdit* height;
  CWULRadioButton* formats[5];
  CWULCheckBox* notForExport;
  CWULPushButton* cancel;
  CWULPushButton* ok;
};
struct CLayerPropertiesParts {
  CWULAppWindow* window;
  CWULEdit* name;
  CWULSpinEdit* opacity;
  CWULCheckBox* visible;
  CWULCheckBox* supersampled;
  CWULPushButton* ok;
  CWULPushButton* cancel;
};
const CImagePropertiesParts* GetImagePropertiesParts();
const CLayerPropertiesParts* GetLayerPropertiesParts();
