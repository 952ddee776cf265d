#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <set>
#include <string>
#include <vector>
#include "common/SettingsKey.h"
#include "shell/Settings.h"
#include "shell/ShellFolderApi.h"

namespace {

std::string SubkeyPath(const char* subkey) {
  std::string path = kSettingsRootKey;
  if (subkey && *subkey)
    path += std::string("\\") + subkey;
  return path;
}

void WriteRaw(const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath(subkey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

void WriteText(const char* subkey, const char* name, const char* text) {
  WriteRaw(subkey, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

void WriteDword(const char* subkey, const char* name, DWORD value) {
  WriteRaw(subkey, name, REG_DWORD, &value, sizeof value);
}

struct RawValue {
  bool present = false;
  DWORD type = 0;
  std::vector<char> data;
  std::string Text() const { return std::string(data.begin(), data.end()); }
  DWORD Dword() const {
    DWORD v = 0;
    if (data.size() == sizeof v)
      std::memcpy(&v, data.data(), sizeof v);
    return v;
  }
};

RawValue ReadRaw(const char* subkey, const char* name) {
  RawValue result;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath(subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return result;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &result.type, nullptr, &size) == ERROR_SUCCESS) {
    result.data.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &result.type, reinterpret_cast<BYTE*>(result.data.data()), &size) ==
        ERROR_SUCCESS) {
      result.present = true;
      result.data.resize(size);
    }
  }
  RegCloseKey(key);
  return result;
}

// REG_SZ text with its terminating zero, as the settings write it.
std::string SzData(const char* text) { return std::string(text, std::strlen(text) + 1); }

uint32_t Argb(const CColor& c) { return c.value; }

std::vector<CSetting*> Entries(const CSettings& settings) {
  std::vector<CSetting*> result;
  for (CListItem* item = settings.entries.first; item; item = item->next)
    result.push_back(static_cast<CSetting*>(item));
  return result;
}

class SettingsTest : public testing::Test {
protected:
  void SetUp() override {
    ClearSettingsKey();
    settings.Init();
  }
  void TearDown() override { ClearSettingsKey(); }

  // A second program start: fresh defaults, then the registry.
  bool Restart(CSettings& fresh) {
    fresh.Init();
    return fresh.Load();
  }

  CSettings settings;
};

TEST(SettingsEntryTest, NewEntriesHoldTheZeroValueEverywhere) {
  CSettings fresh;
  std::vector<CSetting*> all = Entries(fresh);
  ASSERT_EQ(all.size(), static_cast<size_t>(CSettings::ENTRY_COUNT));
  for (CSetting* entry : all) {
    EXPECT_EQ(entry->saveMode, SETTING_SAVE_ALWAYS);
    EXPECT_TRUE(entry->IsDefault());
  }
  EXPECT_EQ(fresh.timingsAutoScrollInterval->GetValue(), 0u);
  EXPECT_EQ(fresh.mainWindowSizeWidth->remembered, 0);
  EXPECT_FALSE(fresh.imageFilePreviewEnabled->GetValue());
  EXPECT_STREQ(fresh.drawingToolsTextFontName->GetValue(), "");
  // The colour's zero value is opaque black, in all three places.
  EXPECT_EQ(Argb(fresh.drawingColorsSecondary->GetDefault()), 0xFF000000u);
  EXPECT_EQ(Argb(fresh.drawingColorsSecondary->GetValue()), 0xFF000000u);
  EXPECT_EQ(Argb(fresh.drawingColorsSecondary->remembered), 0xFF000000u);
}

TEST(SettingsEntryTest, ResetRevertAndRemember) {
  CIntSetting entry;
  entry.SetDefault(5);
  entry.RememberDefault();
  EXPECT_EQ(entry.remembered, 5);
  EXPECT_EQ(entry.GetValue(), 0);
  entry.ResetToDefault();
  EXPECT_TRUE(entry.IsDefault());
  entry.SetValue(9);
  EXPECT_FALSE(entry.IsDefault());
  entry.Revert();
  EXPECT_EQ(entry.GetValue(), 5);
  entry.SetValue(9);
  entry.Remember();
  entry.SetValue(1);
  entry.Revert();
  EXPECT_EQ(entry.GetValue(), 9);
  entry.ClearDefault();
  EXPECT_EQ(entry.GetDefault(), 0);
  EXPECT_EQ(entry.GetValue(), 0);
  EXPECT_EQ(entry.remembered, 0);
}

TEST(SettingsEntryTest, TextEqualityIsCaseSensitive) {
  CStringSetting entry;
  entry.SetDefault("Tahoma");
  entry.ResetToDefault();
  EXPECT_TRUE(entry.IsDefault());
  entry.SetValue("tahoma");
  EXPECT_FALSE(entry.IsDefault());
}

TEST_F(SettingsTest, InitRegistersEveryKeyOnceSortedWithoutRegardToCase) {
  std::vector<CSetting*> all = Entries(settings);
  ASSERT_EQ(all.size(), 64u);
  std::set<std::string> keys;
  for (size_t i = 0; i < all.size(); ++i) {
    keys.insert(all[i]->keyName.text);
    if (i > 0) {
      EXPECT_LT(_stricmp(all[i - 1]->keyName.text, all[i]->keyName.text), 0)
          << all[i - 1]->keyName.text << " / " << all[i]->keyName.text;
    }
  }
  EXPECT_EQ(keys.size(), 64u);
  EXPECT_STREQ(all.front()->keyName.text, "ColorEditor.ColorSpace");
  EXPECT_STREQ(all.back()->keyName.text, "UI.Colors.Grid.B");
  EXPECT_STREQ(settings.limitsUndoMemoryLimit->keyName.text, "Limits.Undo.MemoryLimit");
  EXPECT_STREQ(settings.exportFormatId->keyName.text, "Export.Format.ID");
}

TEST_F(SettingsTest, InitSetsDefaultsAndModes) {
  for (CSetting* entry : Entries(settings))
    EXPECT_TRUE(entry->IsDefault()) << entry->keyName.text;
  EXPECT_EQ(settings.timingsAutoScrollInterval->GetValue(), 100u);
  EXPECT_EQ(settings.timingsAutoScrollInterval->saveMode, 2);
  EXPECT_EQ(settings.timingsMaskAnimationInterval->GetValue(), 200u);
  EXPECT_EQ(Argb(settings.drawingColorsPrimary->GetValue()), 0xFF000000u);
  EXPECT_EQ(Argb(settings.drawingColorsSecondary->GetValue()), 0x00000000u);
  EXPECT_EQ(settings.drawingColorsSecondary->saveMode, 1);
  EXPECT_EQ(Argb(settings.uiColorsChequerA->GetValue()), 0xFFF0F0F0u);
  EXPECT_EQ(Argb(settings.uiColorsChequerB->GetValue()), 0xFFC0C0C0u);
  EXPECT_EQ(Argb(settings.uiColorsGridA->GetValue()), 0xFFA0A0C8u);
  EXPECT_EQ(Argb(settings.uiColorsGridB->GetValue()), 0xFFCCCCFFu);
  EXPECT_EQ(settings.uiColorsGridB->saveMode, 2);
  EXPECT_STREQ(settings.drawingToolsTextFontName->GetValue(), "Tahoma");
  EXPECT_EQ(settings.drawingToolsTextFontSize->GetValue(), 11u);
  EXPECT_EQ(settings.drawingToolsEraserSize->GetValue(), 16u);
  EXPECT_EQ(settings.imageTargetFormat->GetValue(), 0x200000u);
  EXPECT_TRUE(settings.panelsPreviewChequeredBackground->GetValue());
  EXPECT_TRUE(settings.projectFileEmbedThumbnails->GetValue());
  EXPECT_EQ(settings.projectFileMaxThumbnailSizeEx->GetValue(), 1024);
  EXPECT_EQ(settings.limitsSupersamplingMaxPixelCount->GetValue(), 100000u);
  EXPECT_EQ(settings.limitsUndoMaxDepth->GetValue(), 100);
  EXPECT_EQ(settings.shellRegisterFileTypesOnStartup->saveMode, 2);
  EXPECT_STREQ(settings.exportFormatPlugin->GetValue(), "");
  int modeTwo = 0;
  for (CSetting* entry : Entries(settings))
    modeTwo += entry->saveMode == 2;
  EXPECT_EQ(modeTwo, 17);
}

TEST_F(SettingsTest, PathsDefaultToTheDocumentsFolder) {
  CWULString documents;
  g_ShellFolderApi.GetDocumentsFolder(documents);
  if (documents.GetLength() > 0) {
    EXPECT_EQ(documents.text[documents.GetLength() - 1], '\\');
  }
  for (CStringSetting* path :
       {settings.swatchesFilePath, settings.projectFilePath, settings.importPath, settings.exportPath})
    EXPECT_STREQ(path->GetValue(), documents.text);

  RECT area = {0, 0, 1280, 1024};
  settings.SetDefaults(area, "D:\\Docs\\");
  EXPECT_STREQ(settings.importPath->GetDefault(), "D:\\Docs\\");
  EXPECT_STREQ(settings.projectFilePath->GetDefault(), "D:\\Docs\\");
  EXPECT_STREQ(settings.importPath->GetValue(), documents.text);  // values untouched
}

TEST(ShellFolderApiTest, UnboundFunctionGivesTheEmptyText) {
  CShellFolderApi api;
  api.Unload();
  CWULString path("stale");
  api.GetDocumentsFolder(path);
  EXPECT_STREQ(path.text, "");
  EXPECT_TRUE(api.Load());
}

struct WorkAreaCase {
  RECT area;
  int32_t width, height, left, top;
  bool maximized;
  int32_t colorPanelHeight;
};

TEST_F(SettingsTest, MainWindowDefaultsFollowTheWorkArea) {
  const WorkAreaCase cases[] = {
      {{0, 0, 1024, 738}, 957, 718, 10, 10, false, 87},
      {{0, 0, 1280, 1024}, 1024, 768, 10, 10, false, 102},
      {{0, 0, 1280, 740}, 960, 720, 10, 10, false, 102},
      {{100, 40, 1380, 1064}, 1024, 768, 110, 50, false, 102},
      {{0, 0, 900, 1000}, 880, 768, 10, 10, false, 102},  // width-limited
      {{0, 0, 1000, 660}, 853, 640, 10, 10, false, 87},   // just tall enough
      {{0, 0, 1000, 659}, 1000, 659, 0, 0, true, 87},     // one pixel short
      {{0, 0, 659, 1000}, 659, 1000, 0, 0, true, 102},    // too narrow
      {{-800, 0, 0, 600}, 800, 600, -800, 0, true, 87},   // a monitor left of the primary
      {{0, 0, 0, 0}, 0, 0, 0, 0, true, 87},
  };
  for (const WorkAreaCase& c : cases) {
    settings.SetDefaults(c.area, "");
    SCOPED_TRACE(testing::Message() << c.area.right - c.area.left << "x" << c.area.bottom - c.area.top);
    EXPECT_EQ(settings.mainWindowSizeWidth->GetDefault(), c.width);
    EXPECT_EQ(settings.mainWindowSizeHeight->GetDefault(), c.height);
    EXPECT_EQ(settings.mainWindowPositionLeft->GetDefault(), c.left);
    EXPECT_EQ(settings.mainWindowPositionTop->GetDefault(), c.top);
    EXPECT_EQ(settings.mainWindowMaximized->GetDefault(), c.maximized);
    EXPECT_FALSE(settings.mainWindowMinimized->GetDefault());
    EXPECT_EQ(settings.panelsColorBodyClientHeight->GetDefault(), c.colorPanelHeight);
  }
}

TEST_F(SettingsTest, FirstStartKeepsDefaultsAndAppliesNoLimits) {
  settings.drawingToolsBrushSize->SetValue(0);
  settings.limitsUndoMaxDepth->SetValue(5000);
  EXPECT_FALSE(settings.Load());
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 0u);
  EXPECT_EQ(settings.limitsUndoMaxDepth->GetValue(), 5000);
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsRootKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(SettingsTest, SaveWritesTheRegistryLayout) {
  settings.drawingToolsBrushSize->SetValue(42);
  settings.mainWindowPositionLeft->SetValue(-1200);
  settings.mainWindowMaximized->SetValue(true);
  settings.drawingColorsPrimary->SetValue(CColor(128, 255, 0, 0));
  settings.drawingToolsTextFontName->SetValue("Courier New");
  settings.imageTargetFormat->SetValue(0xFFFFFFFFu);
  ASSERT_TRUE(settings.Save());

  RawValue size = ReadRaw("Drawing\\Tools\\Brush", "Size");
  ASSERT_TRUE(size.present);
  EXPECT_EQ(size.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size.Text(), SzData("42"));
  EXPECT_EQ(ReadRaw("MainWindow\\Position", "Left").Text(), SzData("-1200"));
  RawValue maximized = ReadRaw("MainWindow", "Maximized");
  EXPECT_EQ(maximized.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(maximized.Dword(), 1u);
  RawValue minimized = ReadRaw("MainWindow", "Minimized");
  EXPECT_TRUE(minimized.present);
  EXPECT_EQ(minimized.Dword(), 0u);
  EXPECT_EQ(ReadRaw("Drawing\\Colors", "Primary").Text(), SzData("255,0,0:128"));
  EXPECT_EQ(ReadRaw("Drawing\\Colors", "Secondary").Text(), SzData("0,0,0:0"));
  RawValue font = ReadRaw("Drawing\\Tools\\Text\\Font", "Name");
  EXPECT_EQ(font.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(font.Text(), SzData("Courier New"));
  EXPECT_EQ(ReadRaw("Image", "TargetFormat").Text(), SzData("4294967295"));
  // Mode 1 writes defaults too, an empty text included; mode 2 leaves defaults out.
  EXPECT_EQ(ReadRaw("Image", "Width").Text(), SzData("32"));
  EXPECT_EQ(ReadRaw("Export\\Format", "Plugin").Text(), SzData(""));
  EXPECT_FALSE(ReadRaw("Timings", "AutoScrollInterval").present);
  EXPECT_FALSE(ReadRaw("Limits\\Undo", "MaxDepth").present);
}

TEST_F(SettingsTest, SecondStartReadsBackWhatWasSaved) {
  settings.timingsAutoScrollInterval->SetValue(35);
  settings.uiColorsGridA->SetValue(CColor(7, 1, 2, 3));
  settings.mainWindowSizeWidth->SetValue(1500);
  settings.mainWindowPositionTop->SetValue(-20);
  settings.panelsImageBodyFolded->SetValue(true);
  settings.projectFileEmbedThumbnails->SetValue(false);
  settings.projectFilePath->SetValue("C:\\Some where\\\xC4rger\\");
  settings.exportFormatPlugin->SetValue("");
  settings.limitsUndoMemoryLimit->SetValue(200);
  ASSERT_TRUE(settings.Save());

  CSettings fresh;
  ASSERT_TRUE(Restart(fresh));
  EXPECT_EQ(fresh.timingsAutoScrollInterval->GetValue(), 35u);
  EXPECT_EQ(Argb(fresh.uiColorsGridA->GetValue()), 0x07010203u);
  EXPECT_EQ(fresh.mainWindowSizeWidth->GetValue(), 1500);
  EXPECT_EQ(fresh.mainWindowPositionTop->GetValue(), -20);
  EXPECT_TRUE(fresh.panelsImageBodyFolded->GetValue());
  EXPECT_FALSE(fresh.projectFileEmbedThumbnails->GetValue());
  EXPECT_STREQ(fresh.projectFilePath->GetValue(), "C:\\Some where\\\xC4rger\\");
  EXPECT_EQ(fresh.limitsUndoMemoryLimit->GetValue(), 200);
  // Loading changes the current values only.
  EXPECT_EQ(fresh.timingsAutoScrollInterval->remembered, 100u);
  EXPECT_EQ(fresh.timingsAutoScrollInterval->GetDefault(), 100u);
}

TEST_F(SettingsTest, ModeTwoDeletesAStaleValueThatEqualsTheDefault) {
  WriteText("Timings", "AutoScrollInterval", "500");
  WriteDword("Shell", "RegisterFileTypesOnStartup", 1);
  ASSERT_TRUE(settings.Save());
  EXPECT_FALSE(ReadRaw("Timings", "AutoScrollInterval").present);
  EXPECT_FALSE(ReadRaw("Shell", "RegisterFileTypesOnStartup").present);

  settings.timingsAutoScrollInterval->SetValue(300);
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(ReadRaw("Timings", "AutoScrollInterval").Text(), SzData("300"));

  settings.timingsAutoScrollInterval->ResetToDefault();
  ASSERT_TRUE(settings.Save());
  EXPECT_FALSE(ReadRaw("Timings", "AutoScrollInterval").present);

  // A colour of mode 2 counts as default only when all four channels match.
  settings.uiColorsChequerA->SetValue(CColor(254, 240, 240, 240));
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(ReadRaw("UI\\Colors\\Chequer", "A").Text(), SzData("240,240,240:254"));
}

TEST_F(SettingsTest, ModeZeroAndUnknownModesWriteAndDeleteNothing) {
  WriteText("Image", "Width", "77");
  settings.imageWidth->saveMode = 0;
  settings.imageWidth->SetValue(64);
  settings.imageHeight->saveMode = 7;
  settings.imageHeight->SetValue(48);
  WriteText("Timings", "MaskAnimationInterval", "250");
  settings.timingsMaskAnimationInterval->saveMode = -1;
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(ReadRaw("Image", "Width").Text(), SzData("77"));
  EXPECT_FALSE(ReadRaw("Image", "Height").present);
  EXPECT_EQ(ReadRaw("Timings", "MaskAnimationInterval").Text(), SzData("250"));
}

TEST_F(SettingsTest, LoadAppliesTheLimits) {
  struct Case {
    const char* subkey;
    const char* name;
    const char* stored;
    CUIntSetting* CSettings::*entry;
    uint32_t expected;
  };
  const Case cases[] = {
      {"Drawing\\Tools\\Brush", "Size", "0", &CSettings::drawingToolsBrushSize, 1},
      {"Drawing\\Tools\\Pencil", "Size", "1000", &CSettings::drawingToolsPencilSize, 100},
      {"Drawing\\Tools\\Brush", "Opacity", "0", &CSettings::drawingToolsBrushOpacity, 1},
      {"Drawing\\Tools\\Brush", "Hardness", "101", &CSettings::drawingToolsBrushHardness, 100},
      {"Drawing\\Tools\\Eraser", "Size", "-1", &CSettings::drawingToolsEraserSize, 100},  // %u wraps
      {"Drawing\\Tools\\Rectangle", "OutlineWidth", "100", &CSettings::drawingToolsRectangleOutlineWidth, 100},
      {"Drawing\\Tools\\Ellipse", "OutlineWidth", "101", &CSettings::drawingToolsEllipseOutlineWidth, 100},
      {"Drawing\\Tools\\MagicWand", "Tolerance", "256", &CSettings::drawingToolsMagicWandTolerance, 255},
      {"Drawing\\Tools\\FloodFiller", "Tolerance", "255", &CSettings::drawingToolsFloodFillerTolerance, 255},
      {"Drawing\\Tools\\Text\\Font", "Style", "7", &CSettings::drawingToolsTextFontStyle, 0},
      {"Drawing\\Tools\\Text\\Font", "Size", "0", &CSettings::drawingToolsTextFontSize, 1},
      {"Limits\\Tools\\Text", "MemoryLimit", "100", &CSettings::limitsToolsTextMemoryLimit, 64},
      {"Limits\\Supersampling", "MaxPixelCount", "4000000000", &CSettings::limitsSupersamplingMaxPixelCount,
       4000000000u},
      {"Drawing\\Tools\\Gradient", "Type", "99", &CSettings::drawingToolsGradientType, 99},  // no limit
  };
  for (const Case& c : cases)
    WriteText(c.subkey, c.name, c.stored);
  WriteText("Limits\\Undo", "MemoryLimit", "5");
  WriteText("Limits\\Undo", "MinDepth", "-3");
  WriteText("Limits\\Undo", "MaxDepth", "2000");
  WriteText("Project\\File", "MaxThumbnailSize", "-5");
  ASSERT_TRUE(settings.Load());
  for (const Case& c : cases)
    EXPECT_EQ((settings.*(c.entry))->GetValue(), c.expected) << c.subkey << "\\" << c.name;
  EXPECT_EQ(settings.limitsUndoMemoryLimit->GetValue(), 5);
  EXPECT_EQ(settings.limitsUndoMinDepth->GetValue(), 1);
  EXPECT_EQ(settings.limitsUndoMaxDepth->GetValue(), 1000);
  EXPECT_EQ(settings.projectFileMaxThumbnailSize->GetValue(), 16);  // signed comparison

  WriteText("Drawing\\Tools\\Text\\Font", "Style", "3");
  WriteText("Drawing\\Tools\\Text\\Font", "Size", "1000");
  WriteText("Limits\\Undo", "MemoryLimit", "300");
  WriteText("Project\\File", "MaxThumbnailSize", "5000");
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.drawingToolsTextFontStyle->GetValue(), 3u);
  EXPECT_EQ(settings.drawingToolsTextFontSize->GetValue(), 999u);
  EXPECT_EQ(settings.limitsUndoMemoryLimit->GetValue(), 256);
  EXPECT_EQ(settings.limitsToolsTextMemoryLimit->GetValue(), 64u);
  EXPECT_EQ(settings.projectFileMaxThumbnailSize->GetValue(), 1024);
}

TEST_F(SettingsTest, LimitsApplyToValuesSetBeforeALoadThatFindsTheKey) {
  WriteText("Image", "Width", "40");
  settings.drawingToolsBrushSize->SetValue(500);  // no stored value, but the key exists
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 100u);
  EXPECT_EQ(settings.imageWidth->GetValue(), 40u);
}

TEST_F(SettingsTest, NumbersInTextFollowScanfRules) {
  WriteText("Image", "Width", "12abc");     // one field converted: accepted
  WriteText("Image", "Height", "  +7");     // leading blanks and sign
  WriteText("MainWindow\\Size", "Width", " -640");
  WriteText("MainWindow\\Size", "Height", "abc");
  WriteText("MainWindow\\Position", "Left", "");
  WriteText("MainWindow\\Position", "Top", "- 5");
  WriteText("Panels\\Tool\\Body", "ClientHeight", "2147483648");  // above the int range
  WriteText("Panels\\Image\\Body", "ClientHeight", "-2147483648");
  WriteText("Export\\Format", "ID", "4294967296");                 // above the unsigned range
  WriteText("ColorEditor", "ColorSpace", "0000000000000000000003");
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.imageWidth->GetValue(), 12u);
  EXPECT_EQ(settings.imageHeight->GetValue(), 7u);
  EXPECT_EQ(settings.mainWindowSizeWidth->GetValue(), -640);
  EXPECT_TRUE(settings.mainWindowSizeHeight->IsDefault());
  EXPECT_TRUE(settings.mainWindowPositionLeft->IsDefault());
  EXPECT_TRUE(settings.mainWindowPositionTop->IsDefault());
  EXPECT_EQ(settings.panelsToolBodyClientHeight->GetValue(), 56);
  EXPECT_EQ(settings.panelsImageBodyClientHeight->GetValue(), INT32_MIN);
  EXPECT_EQ(settings.exportFormatId->GetValue(), 0u);
  EXPECT_EQ(settings.colorEditorColorSpace->GetValue(), 3u);
}

TEST_F(SettingsTest, MalformedValuesKeepTheCurrentValue) {
  // Numbers must be REG_SZ text that fits the 64-byte buffer.
  WriteDword("Image", "Width", 64);
  std::string longText(100, '1');
  WriteText("Image", "Height", longText.c_str());
  std::string padded = std::string(70, ' ') + "5";
  WriteText("Drawing\\Tools\\Pencil", "Size", padded.c_str());
  WriteRaw("Drawing\\Tools\\Brush", "Size", REG_BINARY, "12", 2);
  // Booleans must be REG_DWORD of four bytes.
  WriteText("MainWindow", "Maximized", "1");
  WriteRaw("Panels\\Project\\Body", "Folded", REG_BINARY, "\1\0\0\0\0\0\0\0", 8);
  WriteRaw("Panels\\Image\\Body", "Folded", REG_DWORD, "\1\0", 2);
  WriteRaw("Panels\\Tool\\Body", "Folded", REG_QWORD, "\1\0\0\0\0\0\0\0", 8);
  settings.mainWindowMaximized->SetValue(false);
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.imageWidth->GetValue(), 32u);
  EXPECT_EQ(settings.imageHeight->GetValue(), 32u);
  EXPECT_EQ(settings.drawingToolsPencilSize->GetValue(), 1u);
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 8u);
  EXPECT_FALSE(settings.mainWindowMaximized->GetValue());
  EXPECT_FALSE(settings.panelsProjectBodyFolded->GetValue());
  EXPECT_FALSE(settings.panelsImageBodyFolded->GetValue());
  EXPECT_FALSE(settings.panelsToolBodyFolded->GetValue());
}

TEST_F(SettingsTest, BooleanDwordFiveLoadsAsTrueAndSavesAsOne) {
  WriteDword("Panels\\Color\\Body", "Folded", 5);
  WriteDword("Panels\\Preview", "ChequeredBackground", 0);
  ASSERT_TRUE(settings.Load());
  EXPECT_TRUE(settings.panelsColorBodyFolded->GetValue());
  EXPECT_FALSE(settings.panelsPreviewChequeredBackground->GetValue());
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(ReadRaw("Panels\\Color\\Body", "Folded").Dword(), 1u);
  EXPECT_EQ(ReadRaw("Panels\\Preview", "ChequeredBackground").Dword(), 0u);
}

TEST_F(SettingsTest, ColoursNeedAllFourNumbers) {
  WriteText("Drawing\\Colors", "Primary", "255,0,0:128");
  WriteText("Drawing\\Colors", "Secondary", "255,0,0");
  WriteText("UI\\Colors\\Chequer", "A", "1, 2, 3: 4");       // blanks before numbers are fine
  WriteText("UI\\Colors\\Chequer", "B", "1 ,2,3:4");         // not before a separator
  WriteText("UI\\Colors\\Grid", "A", "300,1000,256:4294967295");  // each channel at most 255
  WriteText("UI\\Colors\\Grid", "B", "1,2,3,4");             // wrong separator
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(Argb(settings.drawingColorsPrimary->GetValue()), 0x80FF0000u);
  EXPECT_EQ(Argb(settings.drawingColorsSecondary->GetValue()), 0x00000000u);
  EXPECT_EQ(Argb(settings.uiColorsChequerA->GetValue()), 0x04010203u);
  EXPECT_EQ(Argb(settings.uiColorsChequerB->GetValue()), 0xFFC0C0C0u);
  EXPECT_EQ(Argb(settings.uiColorsGridA->GetValue()), 0xFFFFFFFFu);
  EXPECT_EQ(Argb(settings.uiColorsGridB->GetValue()), 0xFFCCCCFFu);
}

TEST_F(SettingsTest, TextsLoadWhateverTheRegistryType) {
  WriteRaw("Drawing\\Tools\\Text\\Font", "Name", REG_BINARY, "Arial", 5);  // no terminating zero
  WriteDword("Export\\Format", "Plugin", 0x00434241);                     // "ABC"
  std::string longPath = "C:\\" + std::string(600, 'x') + "\\";
  WriteText("Project\\File", "Path", longPath.c_str());
  WriteRaw("Import", "Path", REG_SZ, "", 0);
  WriteRaw("Export", "Path", REG_MULTI_SZ, "one\0two\0", 9);
  ASSERT_TRUE(settings.Load());
  EXPECT_STREQ(settings.drawingToolsTextFontName->GetValue(), "Arial");
  EXPECT_STREQ(settings.exportFormatPlugin->GetValue(), "ABC");
  EXPECT_EQ(std::string(settings.projectFilePath->GetValue()), longPath);
  EXPECT_STREQ(settings.importPath->GetValue(), "");
  EXPECT_STREQ(settings.exportPath->GetValue(), "one");
}

TEST_F(SettingsTest, MissingSubkeyOrValueLeavesTheEntry) {
  WriteText("Drawing", "Unrelated", "1");
  settings.drawingToolsBrushSize->SetValue(33);
  settings.drawingToolsTextFontName->SetValue("Verdana");
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 33u);
  EXPECT_STREQ(settings.drawingToolsTextFontName->GetValue(), "Verdana");
}

TEST_F(SettingsTest, RememberAllAndRevertAll) {
  settings.drawingToolsBrushSize->SetValue(20);
  settings.drawingToolsTextFontName->SetValue("Arial");
  settings.drawingColorsPrimary->SetValue(CColor(255, 1, 2, 3));
  settings.RememberAll();
  settings.drawingToolsBrushSize->SetValue(30);
  settings.drawingToolsTextFontName->SetValue("Verdana");
  settings.drawingColorsPrimary->SetValue(CColor(0, 0, 0, 0));
  settings.mainWindowMinimized->SetValue(true);
  settings.RevertAll();
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 20u);
  EXPECT_STREQ(settings.drawingToolsTextFontName->GetValue(), "Arial");
  EXPECT_EQ(Argb(settings.drawingColorsPrimary->GetValue()), 0xFF010203u);
  EXPECT_FALSE(settings.mainWindowMinimized->GetValue());
}

TEST_F(SettingsTest, DoneDeletesTheEntriesAndInitMakesThemAgain) {
  settings.Done();
  EXPECT_EQ(settings.entries.count, 0);
  EXPECT_EQ(settings.drawingToolsBrushSize, nullptr);
  EXPECT_TRUE(settings.Save());
  EXPECT_FALSE(ReadRaw("Image", "Width").present);
  settings.Init();
  EXPECT_EQ(settings.entries.count, 64);
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 8u);
}

TEST_F(SettingsTest, InitTwiceKeepsSixtyFourEntries) {
  settings.drawingToolsBrushSize->SetValue(50);
  settings.Init();
  EXPECT_EQ(Entries(settings).size(), 64u);
  EXPECT_EQ(settings.drawingToolsBrushSize->GetValue(), 8u);
}

TEST(GlobalSettingsTest, TheSingletonHoldsEveryEntry) {
  EXPECT_EQ(g_Settings.entries.count, CSettings::ENTRY_COUNT);
  EXPECT_NE(g_Settings.shellRegisterFileTypesOnStartup, nullptr);
}

}  // namespace
