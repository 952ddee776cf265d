#include "shell/Settings.h"
#include <cctype>
#include <cstdio>
#include <cstring>
#include "shell/Registry.h"
#include "shell/ShellFolderApi.h"

const char* const kSettingsRootKey = "SOFTWARE\\Tolvenark\\Vellumcraft";

CSettings g_Settings;

namespace {

// Number conversion as sscanf's "%d" and "%u" do it (leading white space, an optional
// sign, at least one digit, the rest ignored), except that a number too large for 32
// bits fails instead of wrapping. "%u" takes a minus sign as negation modulo 2^32.
bool ScanMagnitude(const char*& p, bool& negative, uint64_t& magnitude) {
  while (std::isspace(static_cast<unsigned char>(*p)))
    ++p;
  negative = *p == '-';
  if (*p == '-' || *p == '+')
    ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p)))
    return false;
  magnitude = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
    if (magnitude > 0xFFFFFFFFull)
      return false;
    ++p;
  }
  return true;
}

bool ScanUInt(const char*& p, uint32_t& out) {
  bool negative;
  uint64_t magnitude;
  if (!ScanMagnitude(p, negative, magnitude))
    return false;
  out = static_cast<uint32_t>(negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude));
  return true;
}

bool ScanInt(const char*& p, int32_t& out) {
  bool negative;
  uint64_t magnitude;
  if (!ScanMagnitude(p, negative, magnitude))
    return false;
  if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull))
    return false;
  out = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
  return true;
}

bool SaveText(HKEY key, const char* valueName, const char* text) { return WriteRegString(key, valueName, text); }

// A REG_SZ value short enough for the buffer, zero-terminated.
bool LoadShortText(HKEY key, const char* valueName, char* buffer, DWORD size) {
  DWORD type = 0;
  DWORD length = size - 1;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ || length > size - 1)
    return false;
  buffer[length] = 0;
  return true;
}

bool SameColor(const CColor& a, const CColor& b) { return a.value == b.value; }

uint32_t Clamp(uint32_t v, uint32_t low, uint32_t high) { return v < low ? low : v > high ? high : v; }
int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

void ClampEntry(CUIntSetting* entry, uint32_t low, uint32_t high) {
  if (entry)
    entry->value = Clamp(entry->value, low, high);
}

void ClampEntry(CIntSetting* entry, int32_t low, int32_t high) {
  if (entry)
    entry->value = Clamp(entry->value, low, high);
}

int CompareKeyNames(CListItem* a, CListItem* b, void*) {
  return _stricmp(static_cast<CSetting*>(a)->keyName.text, static_cast<CSetting*>(b)->keyName.text);
}

// Opens the subkey path of a dotted key below root: every part but the last is a subkey,
// created when create is set. Returns null when a subkey is missing or cannot be made;
// else the key to close (root itself for a key without dots, not to be closed) and, in
// valueName, the last part inside path.
HKEY OpenEntryKey(HKEY root, CWULString& path, bool create, const char*& valueName) {
  char* part = path.text;
  HKEY current = root;
  for (char* dot; (dot = std::strchr(part, '.')) != nullptr; part = dot + 1) {
    *dot = 0;
    HKEY sub = create ? CreateRegKey(current, part, KEY_WRITE) : OpenRegKey(current, part, KEY_READ);
    if (current != root)
      CloseRegKey(current);
    if (!sub)
      return nullptr;
    current = sub;
  }
  valueName = part;
  return current;
}

}  // namespace

// Integer entries.

bool CIntSetting::Save(HKEY key, const char* valueName) const {
  char text[64];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  return SaveText(key, valueName, text);
}

bool CIntSetting::Load(HKEY key, const char* valueName) {
  char text[64];
  int32_t v;
  const char* p = text;
  if (!LoadShortText(key, valueName, text, sizeof text) || !ScanInt(p, v))
    return false;
  value = v;
  return true;
}

bool CUIntSetting::Save(HKEY key, const char* valueName) const {
  char text[64];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  return SaveText(key, valueName, text);
}

bool CUIntSetting::Load(HKEY key, const char* valueName) {
  char text[64];
  uint32_t v;
  const char* p = text;
  if (!LoadShortText(key, valueName, text, sizeof text) || !ScanUInt(p, v))
    return false;
  value = v;
  return true;
}

// Boolean entries.

bool CBoolSetting::Save(HKEY key, const char* valueName) const { return WriteRegDword(key, valueName, value ? 1 : 0); }

bool CBoolSetting::Load(HKEY key, const char* valueName) {
  uint32_t data = 0;
  if (!ReadRegDword(key, valueName, data))
    return false;
  value = data != 0;
  return true;
}

// Colour entries.

void CColorSetting::ResetToDefault() {
  value = defaultValue;
  Remember();
}

void CColorSetting::ClearDefault() {
  defaultValue = CColor(255, 0, 0, 0);
  ResetToDefault();
}

void CColorSetting::RememberDefault() { remembered = defaultValue; }
void CColorSetting::Revert() { value = remembered; }
void CColorSetting::Remember() { remembered = value; }
bool CColorSetting::IsDefault() const { return SameColor(value, defaultValue); }

bool CColorSetting::Save(HKEY key, const char* valueName) const {
  char text[64];
  std::snprintf(text, sizeof text, "%u,%u,%u:%u", static_cast<unsigned>(value.GetRed()),
                static_cast<unsigned>(value.GetGreen()), static_cast<unsigned>(value.GetBlue()),
                static_cast<unsigned>(value.GetAlpha()));
  return SaveText(key, valueName, text);
}

bool CColorSetting::Load(HKEY key, const char* valueName) {
  char text[64];
  if (!LoadShortText(key, valueName, text, sizeof text))
    return false;
  uint32_t red, green, blue, alpha;
  const char* p = text;
  if (!ScanUInt(p, red) || *p++ != ',' || !ScanUInt(p, green) || *p++ != ',' || !ScanUInt(p, blue) ||
      *p++ != ':' || !ScanUInt(p, alpha))
    return false;
  value.SetArgb(alpha, red, green, blue);  // each limited to 255
  return true;
}

// Text entries.

void CStringSetting::ResetToDefault() {
  value = defaultValue;
  Remember();
}

void CStringSetting::ClearDefault() {
  defaultValue.Clear();
  ResetToDefault();
}

void CStringSetting::RememberDefault() { remembered = defaultValue; }
void CStringSetting::Revert() { value = remembered; }
void CStringSetting::Remember() { remembered = value; }
bool CStringSetting::IsDefault() const { return value.Equals(defaultValue); }

bool CStringSetting::Save(HKEY key, const char* valueName) const { return SaveText(key, valueName, value.text); }

bool CStringSetting::Load(HKEY key, const char* valueName) { return ReadRegString(key, valueName, value); }

// The settings object.

CSettings::CSettings() {
#define VC_SETTING_NULL(type, member, key, mode) member = nullptr;
  VC_SETTINGS_TABLE(VC_SETTING_NULL)
#undef VC_SETTING_NULL
  CreateEntries();
}

CSettings::~CSettings() { Done(); }

void CSettings::CreateEntries() {
  // Each new entry goes into the list at once, so that the list owns it from the start.
#define VC_SETTING_CREATE(type, member, key, mode) \
  if (!member)                                     \
    entries.Append(member = new type);
  VC_SETTINGS_TABLE(VC_SETTING_CREATE)
#undef VC_SETTING_CREATE
}

void CSettings::Register(CSetting* entry, const char* key) {
  if (!entry)
    return;
  entry->keyName.Assign(key);
  entries.Append(entry);
}

void CSettings::Init() {
  CreateEntries();
#define VC_SETTING_REGISTER(type, member, key, mode) Register(member, key);
  VC_SETTINGS_TABLE(VC_SETTING_REGISTER)
#undef VC_SETTING_REGISTER
  entries.Sort(CompareKeyNames, nullptr);

#define VC_SETTING_MODE(type, member, key, mode) member->saveMode = mode;
  VC_SETTINGS_TABLE(VC_SETTING_MODE)
#undef VC_SETTING_MODE

  RECT workArea = {};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0)) {
    workArea.left = 0;
    workArea.top = 0;
    workArea.right = GetSystemMetrics(SM_CXSCREEN);
    workArea.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  CWULString documents;
  g_ShellFolderApi.GetDocumentsFolder(documents);
  SetDefaults(workArea, documents.text);

  for (CListItem* item = entries.first; item; item = item->next)
    static_cast<CSetting*>(item)->ResetToDefault();
}

void CSettings::SetDefaults(const RECT& workArea, const char* documentsFolder) {
  if (!drawingColorsPrimary)  // entries deleted by Done
    return;
  int32_t areaWidth = workArea.right - workArea.left;
  int32_t areaHeight = workArea.bottom - workArea.top;
  int32_t height = areaHeight - 20;
  if (height > 768)
    height = 768;
  int32_t width = height * 4 / 3;
  if (width > areaWidth - 20)
    width = areaWidth - 20;
  int32_t left = workArea.left + 10;
  int32_t top = workArea.top + 10;
  bool maximized = false;
  if (width < 640 || height < 640) {
    width = areaWidth;
    height = areaHeight;
    left = workArea.left;
    top = workArea.top;
    maximized = true;
  }

  timingsAutoScrollInterval->SetDefault(100);
  timingsMaskAnimationInterval->SetDefault(200);
  drawingColorsPrimary->SetDefault(CColor(255, 0, 0, 0));
  drawingColorsSecondary->SetDefault(CColor(0, 0, 0, 0));
  uiColorsChequerA->SetDefault(CColor(255, 240, 240, 240));
  uiColorsChequerB->SetDefault(CColor(255, 192, 192, 192));
  uiColorsGridA->SetDefault(CColor(255, 160, 160, 200));
  uiColorsGridB->SetDefault(CColor(255, 204, 204, 255));
  mainWindowSizeWidth->SetDefault(width);
  mainWindowSizeHeight->SetDefault(height);
  mainWindowPositionLeft->SetDefault(left);
  mainWindowPositionTop->SetDefault(top);
  mainWindowMinimized->SetDefault(false);
  mainWindowMaximized->SetDefault(maximized);
  panelsProjectBodyFolded->SetDefault(false);
  panelsProjectBodyClientHeight->SetDefault(96);
  panelsImageBodyFolded->SetDefault(false);
  panelsImageBodyClientHeight->SetDefault(92);
  panelsToolBodyFolded->SetDefault(false);
  panelsToolBodyClientHeight->SetDefault(56);
  panelsColorBodyFolded->SetDefault(false);
  panelsColorBodyClientHeight->SetDefault(height < 720 ? 87 : 102);
  panelsPreviewBodyFolded->SetDefault(false);
  panelsPreviewBodyClientHeight->SetDefault(256);
  panelsPreviewChequeredBackground->SetDefault(true);
  colorEditorColorSpace->SetDefault(1);
  imageFilePreviewEnabled->SetDefault(true);
  imageFilePreviewChequeredBackground->SetDefault(false);
  drawingToolsSelectorShape->SetDefault(1);
  drawingToolsMagicWandTolerance->SetDefault(0);
  drawingToolsPencilSize->SetDefault(1);
  drawingToolsBrushSize->SetDefault(8);
  drawingToolsBrushHardness->SetDefault(0);
  drawingToolsBrushOpacity->SetDefault(100);
  drawingToolsGradientType->SetDefault(1);
  drawingToolsFloodFillerTolerance->SetDefault(0);
  drawingToolsEraserSize->SetDefault(16);
  drawingToolsTextFontName->SetDefault("Tahoma");
  drawingToolsTextFontStyle->SetDefault(0);
  drawingToolsTextFontSize->SetDefault(11);
  drawingToolsRectangleType->SetDefault(1);
  drawingToolsRectangleOutlineWidth->SetDefault(1);
  drawingToolsEllipseType->SetDefault(1);
  drawingToolsEllipseOutlineWidth->SetDefault(1);
  swatchesFilePath->SetDefault(documentsFolder);
  projectFilePath->SetDefault(documentsFolder);
  projectFileRelaxedChecks->SetDefault(false);
  projectFileEmbedThumbnails->SetDefault(true);
  projectFileMaxThumbnailSize->SetDefault(256);
  projectFileMaxThumbnailSizeEx->SetDefault(1024);
  projectFileCompression->SetDefault(1);
  imageWidth->SetDefault(32);
  imageHeight->SetDefault(32);
  imageTargetFormat->SetDefault(0x200000);
  importPath->SetDefault(documentsFolder);
  exportPath->SetDefault(documentsFolder);
  exportFormatId->SetDefault(0);
  exportFormatPlugin->SetDefault("");
  limitsSupersamplingMaxPixelCount->SetDefault(100000);
  limitsToolsTextMemoryLimit->SetDefault(16);
  limitsUndoMinDepth->SetDefault(1);
  limitsUndoMaxDepth->SetDefault(100);
  limitsUndoMemoryLimit->SetDefault(16);
  shellRegisterFileTypesOnStartup->SetDefault(false);
}

bool CSettings::Save() {
  HKEY root = CreateRegKey(HKEY_CURRENT_USER, kSettingsRootKey, KEY_WRITE);
  if (!root)
    return false;
  for (CListItem* item = entries.first; item; item = item->next) {
    CSetting* entry = static_cast<CSetting*>(item);
    if (entry->saveMode != SETTING_SAVE_ALWAYS && entry->saveMode != SETTING_SAVE_IF_CHANGED)
      continue;
    CWULString path(entry->keyName);
    const char* valueName = nullptr;
    HKEY key = OpenEntryKey(root, path, true, valueName);
    if (!key)
      continue;
    if (entry->saveMode == SETTING_SAVE_IF_CHANGED && entry->IsDefault())
      DeleteRegValue(key, valueName);
    else
      entry->Save(key, valueName);
    if (key != root)
      CloseRegKey(key);
  }
  CloseRegKey(root);
  return true;
}

bool CSettings::Load() {
  HKEY root = OpenRegKey(HKEY_CURRENT_USER, kSettingsRootKey, KEY_READ);
  if (!root)
    return false;
  for (CListItem* item = entries.first; item; item = item->next) {
    CSetting* entry = static_cast<CSetting*>(item);
    CWULString path(entry->keyName);
    const char* valueName = nullptr;
    HKEY key = OpenEntryKey(root, path, false, valueName);
    if (!key)
      continue;
    entry->Load(key, valueName);
    if (key != root)
      CloseRegKey(key);
  }
  CloseRegKey(root);
  ApplyLimits();
  return true;
}

void CSettings::ApplyLimits() {
  ClampEntry(drawingToolsMagicWandTolerance, 0, 255);
  ClampEntry(drawingToolsFloodFillerTolerance, 0, 255);
  ClampEntry(drawingToolsPencilSize, 1, 100);
  ClampEntry(drawingToolsBrushSize, 1, 100);
  ClampEntry(drawingToolsBrushOpacity, 1, 100);
  ClampEntry(drawingToolsEraserSize, 1, 100);
  ClampEntry(drawingToolsRectangleOutlineWidth, 1, 100);
  ClampEntry(drawingToolsEllipseOutlineWidth, 1, 100);
  ClampEntry(drawingToolsBrushHardness, 0, 100);
  if (drawingToolsTextFontStyle && drawingToolsTextFontStyle->value > 3)
    drawingToolsTextFontStyle->ResetToDefault();
  ClampEntry(drawingToolsTextFontSize, 1, 999);
  ClampEntry(projectFileMaxThumbnailSize, 16, 1024);
  ClampEntry(limitsToolsTextMemoryLimit, 1, 64);
  ClampEntry(limitsUndoMinDepth, 1, INT32_MAX);
  ClampEntry(limitsUndoMaxDepth, 1, 1000);
  ClampEntry(limitsUndoMemoryLimit, 1, 256);
}

void CSettings::RememberAll() {
  for (CListItem* item = entries.first; item; item = item->next)
    static_cast<CSetting*>(item)->Remember();
}

void CSettings::RevertAll() {
  for (CListItem* item = entries.first; item; item = item->next)
    static_cast<CSetting*>(item)->Revert();
}

void CSettings::Done() {
  entries.DeleteAll();
#define VC_SETTING_NULL(type, member, key, mode) member = nullptr;
  VC_SETTINGS_TABLE(VC_SETTING_NULL)
#undef VC_SETTING_NULL
}
