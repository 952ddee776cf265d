#pragma once
// Creation of images and layers for the commands, the conversions and the project reader,
// and the commands of the Image and Layer menus on the current image. Undoable commands
// build an action and let the image's history execute it; each returns true when it did.
#include <cstdint>

class CAction;
class CFileFormat;
class CImage;
class CLayer;
class CRasterLayer;

// Null after the error box "Image creation failed".
CImage* CreateImage();
// Null after the error box "Raster layer creation failed".
CRasterLayer* CreateRasterLayer();

// A current image whose pixel count fits Limits.Supersampling.MaxPixelCount.
bool CanSupersample();
// Runs the action through the current image's history (deleting it when that fails); the
// properties dialogs hand their actions here. Null gives false.
bool ExecuteCommandAction(CAction* action);

// Image commands.
bool DeleteImageCommand();
// The Image properties dialog on the current image; its action runs through the history.
bool ImagePropertiesCommand();
bool CropCommand();
bool ReorientImageCommand(const char* caption, int32_t code);
bool FlipImageHorizontalCommand();
bool FlipImageVerticalCommand();
bool RotateImageCwCommand();
bool RotateImage180Command();
bool RotateImageCcwCommand();
bool NextImageCommand();
bool PreviousImageCommand();
bool MoveImageUpCommand();
bool MoveImageDownCommand();

// Layer commands. "Above" is towards the top of the stack (the image's last layer).
bool NewLayerCommand(bool supersampled);
bool DuplicateLayerCommand();
bool DeleteLayerCommand();
// The Layer properties dialog on the current raster layer.
bool LayerPropertiesCommand();
bool MergeDownCommand();
bool MergeAllLayersCommand();
bool SelectLayerAboveCommand();
bool SelectLayerBelowCommand();
// Places the current layer just above anchor (null: at the bottom).
bool MoveLayerCommand(CLayer* anchor);
bool MoveLayerToTopCommand();
bool MoveLayerUpCommand();
bool MoveLayerDownCommand();
bool MoveLayerToBottomCommand();

// Import and export through the plug-ins. The commands run the host's file dialogs; the
// file functions do the rest. Import adds the file's image (the host chooses one of
// several) to the current project and makes it current.
bool ImportImageCommand();
bool ImportImageFile(const char* path);
bool ExportImageCommand();
// Writes the image as the plug-in's file type; false (after the plug-in's error) on failure.
bool ExportImageFile(CImage* image, const char* path, int32_t typeId, CFileFormat* plugin);
