#pragma once
// What undoable actions tell the rest of the program after a change: the layers panel,
// the tools' working copies, the main view, the preview and project panels and the command
// states. Each hook is null until the program installs it; the model never depends on them.
class CImage;
class CLayer;

enum {
  LAYER_ITEM_ADDED = 1,
  LAYER_ITEM_REMOVED = 2,  // sent before the layer is deleted
  LAYER_ITEM_MOVED = 3,
  LAYER_ITEM_REFRESHED = 4,
  LAYER_ITEM_SELECTED = 5,
  LAYER_ITEMS_REFRESHED = 6,  // every layer changed (the layer is null)
};

struct CActionHooks {
  // The layers panel: changes come inside a begin/end bracket.
  void (*beginLayerItems)();
  void (*layerItem)(int notice, CLayer* layer);
  void (*endLayerItems)();
  // Takes the working copies of the current layer and selection again; when null the
  // actions call ResyncWorkingCopies themselves.
  void (*resyncWorkingCopies)();
  // The main view after a change of the image, or of the selection only.
  void (*refitView)();
  void (*redrawToolOverlay)();
  void (*refreshPreview)();
  void (*refreshImageItem)(CImage* image);
  void (*updateCommandStates)();
};

extern CActionHooks g_ActionHooks;

inline void NotifyBeginLayerItems() {
  if (g_ActionHooks.beginLayerItems)
    g_ActionHooks.beginLayerItems();
}
inline void NotifyLayerItem(int notice, CLayer* layer) {
  if (g_ActionHooks.layerItem)
    g_ActionHooks.layerItem(notice, layer);
}
inline void NotifyEndLayerItems() {
  if (g_ActionHooks.endLayerItems)
    g_ActionHooks.endLayerItems();
}
inline void NotifyRefitView() {
  if (g_ActionHooks.refitView)
    g_ActionHooks.refitView();
}
inline void NotifyRedrawToolOverlay() {
  if (g_ActionHooks.redrawToolOverlay)
    g_ActionHooks.redrawToolOverlay();
}
inline void NotifyRefreshPreview() {
  if (g_ActionHooks.refreshPreview)
    g_ActionHooks.refreshPreview();
}
inline void NotifyRefreshImageItem(CImage* image) {
  if (g_ActionHooks.refreshImageItem)
    g_ActionHooks.refreshImageItem(image);
}
inline void NotifyUpdateCommandStates() {
  if (g_ActionHooks.updateCommandStates)
    g_ActionHooks.updateCommandStates();
}
