#pragma once
// The user's preferences: typed entries named by dotted keys, kept in the registry under
// HKEY_CURRENT_USER "SOFTWARE\Tolvenark\Vellumcraft". Each dotted part but the last is a
// subkey, the last part is the value name.
#include <windows.h>
#include <cstdint>
#include "document/ObjectList.h"
#include "document/Color.h"
#include "wul/WULString.h"

// Save modes.
enum {
  SETTING_SAVE_NEVER = 0,
  SETTING_SAVE_ALWAYS = 1,
  SETTING_SAVE_IF_CHANGED = 2  // written when not the default, else the value is deleted
};

class CSetting : public CListItem {
public:
  CSetting() : saveMode(SETTING_SAVE_ALWAYS) {}

  // value = default, then Remember.
  virtual void ResetToDefault() = 0;
  // default = the type's zero value, then ResetToDefault.
  virtual void ClearDefault() = 0;
  // remembered = default.
  virtual void RememberDefault() = 0;
  // value = remembered.
  virtual void Revert() = 0;
  // remembered = value.
  virtual void Remember() = 0;
  virtual bool Save(HKEY key, const char* valueName) const = 0;
  // On failure the value is left as it was.
  virtual bool Load(HKEY key, const char* valueName) = 0;
  virtual bool IsDefault() const = 0;

  int32_t saveMode;
  CWULString keyName;  // the dotted key
};

// An entry with a default, a current and a remembered value of type T.
template <class T>
class CValueSetting : public CSetting {
public:
  CValueSetting() : defaultValue(), value(), remembered() {}

  void ResetToDefault() override {
    value = defaultValue;
    Remember();
  }
  void ClearDefault() override {
    defaultValue = T();
    ResetToDefault();
  }
  void RememberDefault() override { remembered = defaultValue; }
  void Revert() override { value = remembered; }
  void Remember() override { remembered = value; }
  bool IsDefault() const override { return value == defaultValue; }

  T GetValue() const { return value; }
  void SetValue(T v) { value = v; }
  T GetDefault() const { return defaultValue; }
  void SetDefault(T v) { defaultValue = v; }

  T defaultValue;
  T value;
  T remembered;
};

// REG_SZ text of "%d".
class CIntSetting : public CValueSetting<int32_t> {
public:
  CIntSetting() { ClearDefault(); }
  bool Save(HKEY key, const char* valueName) const override;
  bool Load(HKEY key, const char* valueName) override;
};

// REG_SZ text of "%u".
class CUIntSetting : public CValueSetting<uint32_t> {
public:
  CUIntSetting() { ClearDefault(); }
  bool Save(HKEY key, const char* valueName) const override;
  bool Load(HKEY key, const char* valueName) override;
};

// REG_DWORD 0 or 1; any non-zero DWORD loads as true.
class CBoolSetting : public CValueSetting<bool> {
public:
  CBoolSetting() { ClearDefault(); }
  bool Save(HKEY key, const char* valueName) const override;
  bool Load(HKEY key, const char* valueName) override;
};

// REG_SZ text "red,green,blue:alpha". The zero value is opaque black.
class CColorSetting : public CSetting {
public:
  CColorSetting() { ClearDefault(); }

  void ResetToDefault() override;
  void ClearDefault() override;
  void RememberDefault() override;
  void Revert() override;
  void Remember() override;
  bool Save(HKEY key, const char* valueName) const override;
  bool Load(HKEY key, const char* valueName) override;
  bool IsDefault() const override;

  CColor GetValue() const { return value; }
  void SetValue(const CColor& v) { value = v; }
  CColor GetDefault() const { return defaultValue; }
  void SetDefault(const CColor& v) { defaultValue = v; }

  CColor defaultValue;
  CColor value;
  CColor remembered;
};

// REG_SZ on saving; loads the value's bytes whatever its registry type.
class CStringSetting : public CSetting {
public:
  CStringSetting() { ClearDefault(); }

  void ResetToDefault() override;
  void ClearDefault() override;
  void RememberDefault() override;
  void Revert() override;
  void Remember() override;
  bool Save(HKEY key, const char* valueName) const override;
  bool Load(HKEY key, const char* valueName) override;
  bool IsDefault() const override;

  const char* GetValue() const { return value.text; }
  void SetValue(const char* v) { value.Assign(v); }
  const char* GetDefault() const { return defaultValue.text; }
  void SetDefault(const char* v) { defaultValue.Assign(v); }

  CWULString defaultValue;
  CWULString value;
  CWULString remembered;
};

// The entries: X(class, member, key, save mode), in the order of the fields.
#define VC_SETTINGS_TABLE(X)                                                                   \
  X(CUIntSetting, timingsAutoScrollInterval, "Timings.AutoScrollInterval", 2)                  \
  X(CUIntSetting, timingsMaskAnimationInterval, "Timings.MaskAnimationInterval", 2)            \
  X(CColorSetting, drawingColorsPrimary, "Drawing.Colors.Primary", 1)                          \
  X(CColorSetting, drawingColorsSecondary, "Drawing.Colors.Secondary", 1)                      \
  X(CColorSetting, uiColorsChequerA, "UI.Colors.Chequer.A", 2)                                 \
  X(CColorSetting, uiColorsChequerB, "UI.Colors.Chequer.B", 2)                                 \
  X(CColorSetting, uiColorsGridA, "UI.Colors.Grid.A", 2)                                       \
  X(CColorSetting, uiColorsGridB, "UI.Colors.Grid.B", 2)                                       \
  X(CIntSetting, mainWindowSizeWidth, "MainWindow.Size.Width", 1)                              \
  X(CIntSetting, mainWindowSizeHeight, "MainWindow.Size.Height", 1)                            \
  X(CIntSetting, mainWindowPositionLeft, "MainWindow.Position.Left", 1)                        \
  X(CIntSetting, mainWindowPositionTop, "MainWindow.Position.Top", 1)                          \
  X(CBoolSetting, mainWindowMinimized, "MainWindow.Minimized", 1)                              \
  X(CBoolSetting, mainWindowMaximized, "MainWindow.Maximized", 1)                              \
  X(CBoolSetting, panelsProjectBodyFolded, "Panels.Project.Body.Folded", 1)                    \
  X(CIntSetting, panelsProjectBodyClientHeight, "Panels.Project.Body.ClientHeight", 1)         \
  X(CBoolSetting, panelsImageBodyFolded, "Panels.Image.Body.Folded", 1)                        \
  X(CIntSetting, panelsImageBodyClientHeight, "Panels.Image.Body.ClientHeight", 1)             \
  X(CBoolSetting, panelsToolBodyFolded, "Panels.Tool.Body.Folded", 1)                          \
  X(CIntSetting, panelsToolBodyClientHeight, "Panels.Tool.Body.ClientHeight", 1)               \
  X(CBoolSetting, panelsColorBodyFolded, "Panels.Color.Body.Folded", 1)                        \
  X(CIntSetting, panelsColorBodyClientHeight, "Panels.Color.Body.ClientHeight", 1)             \
  X(CBoolSetting, panelsPreviewBodyFolded, "Panels.Preview.Body.Folded", 1)                    \
  X(CIntSetting, panelsPreviewBodyClientHeight, "Panels.Preview.Body.ClientHeight", 1)         \
  X(CBoolSetting, panelsPreviewChequeredBackground, "Panels.Preview.ChequeredBackground", 1)   \
  X(CUIntSetting, colorEditorColorSpace, "ColorEditor.ColorSpace", 1)                          \
  X(CBoolSetting, imageFilePreviewEnabled, "ImageFilePreview.Enabled", 1)                      \
  X(CBoolSetting, imageFilePreviewChequeredBackground, "ImageFilePreview.ChequeredBackground", 1) \
  X(CUIntSetting, drawingToolsSelectorShape, "Drawing.Tools.Selector.Shape", 1)                \
  X(CUIntSetting, drawingToolsMagicWandTolerance, "Drawing.Tools.MagicWand.Tolerance", 1)      \
  X(CUIntSetting, drawingToolsPencilSize, "Drawing.Tools.Pencil.Size", 1)                      \
  X(CUIntSetting, drawingToolsBrushSize, "Drawing.Tools.Brush.Size", 1)                        \
  X(CUIntSetting, drawingToolsBrushHardness, "Drawing.Tools.Brush.Hardness", 1)                \
  X(CUIntSetting, drawingToolsBrushOpacity, "Drawing.Tools.Brush.Opacity", 1)                  \
  X(CUIntSetting, drawingToolsGradientType, "Drawing.Tools.Gradient.Type", 1)                  \
  X(CUIntSetting, drawingToolsFloodFillerTolerance, "Drawing.Tools.FloodFiller.Tolerance", 1)  \
  X(CUIntSetting, drawingToolsEraserSize, "Drawing.Tools.Eraser.Size", 1)                      \
  X(CStringSetting, drawingToolsTextFontName, "Drawing.Tools.Text.Font.Name", 1)               \
  X(CUIntSetting, drawingToolsTextFontStyle, "Drawing.Tools.Text.Font.Style", 1)               \
  X(CUIntSetting, drawingToolsTextFontSize, "Drawing.Tools.Text.Font.Size", 1)                 \
  X(CUIntSetting, drawingToolsRectangleType, "Drawing.Tools.Rectangle.Type", 1)                \
  X(CUIntSetting, drawingToolsRectangleOutlineWidth, "Drawing.Tools.Rectangle.OutlineWidth", 1) \
  X(CUIntSetting, drawingToolsEllipseType, "Drawing.Tools.Ellipse.Type", 1)                    \
  X(CUIntSetting, drawingToolsEllipseOutlineWidth, "Drawing.Tools.Ellipse.OutlineWidth", 1)    \
  X(CStringSetting, swatchesFilePath, "Swatches.File.Path", 1)                                 \
  X(CStringSetting, projectFilePath, "Project.File.Path", 1)                                   \
  X(CBoolSetting, projectFileRelaxedChecks, "Project.File.RelaxedChecks", 2)                   \
  X(CBoolSetting, projectFileEmbedThumbnails, "Project.File.EmbedThumbnails", 2)               \
  X(CIntSetting, projectFileMaxThumbnailSize, "Project.File.MaxThumbnailSize", 2)              \
  X(CIntSetting, projectFileMaxThumbnailSizeEx, "Project.File.MaxThumbnailSizeEx", 2)          \
  X(CIntSetting, projectFileCompression, "Project.File.Compression", 2)                        \
  X(CUIntSetting, imageWidth, "Image.Width", 1)                                                \
  X(CUIntSetting, imageHeight, "Image.Height", 1)                                              \
  X(CUIntSetting, imageTargetFormat, "Image.TargetFormat", 1)                                  \
  X(CStringSetting, importPath, "Import.Path", 1)                                              \
  X(CStringSetting, exportPath, "Export.Path", 1)                                              \
  X(CUIntSetting, exportFormatId, "Export.Format.ID", 1)                                       \
  X(CStringSetting, exportFormatPlugin, "Export.Format.Plugin", 1)                             \
  X(CUIntSetting, limitsSupersamplingMaxPixelCount, "Limits.Supersampling.MaxPixelCount", 2)   \
  X(CUIntSetting, limitsToolsTextMemoryLimit, "Limits.Tools.Text.MemoryLimit", 2)              \
  X(CIntSetting, limitsUndoMinDepth, "Limits.Undo.MinDepth", 2)                                \
  X(CIntSetting, limitsUndoMaxDepth, "Limits.Undo.MaxDepth", 2)                                \
  X(CIntSetting, limitsUndoMemoryLimit, "Limits.Undo.MemoryLimit", 2)                          \
  X(CBoolSetting, shellRegisterFileTypesOnStartup, "Shell.RegisterFileTypesOnStartup", 2)

class CSettings {
public:
  enum { ENTRY_COUNT = 64 };

  // Makes every entry, each holding its type's zero value.
  CSettings();
  ~CSettings();

  // Registers the keys, sorts the list by key, sets the save modes and the defaults and
  // resets every entry to its default. Entries deleted by Done are made again first.
  void Init();
  // Defaults from the desktop work area and the documents folder (with its trailing
  // backslash, or empty); the current values are not touched.
  void SetDefaults(const RECT& workArea, const char* documentsFolder);
  // False when the settings key does not exist (nothing changes then).
  bool Load();
  // False when the settings key cannot be created.
  bool Save();
  void RememberAll();
  void RevertAll();
  // Unlinks and deletes every entry; the entry members become null.
  void Done();

  void Register(CSetting* entry, const char* key);

#define VC_SETTING_MEMBER(type, member, key, mode) type* member;
  VC_SETTINGS_TABLE(VC_SETTING_MEMBER)
#undef VC_SETTING_MEMBER

  CObjectList entries;  // sorted by key, case-insensitively, once registered

private:
  void CreateEntries();
  void ApplyLimits();

  CSettings(const CSettings&) = delete;
  CSettings& operator=(const CSettings&) = delete;
};

// The settings root key below HKEY_CURRENT_USER.
extern const char* const kSettingsRootKey;

extern CSettings g_Settings;
