#pragma once
// Loads JPEG.vcplugin, TGA.vcplugin or PSD.vcplugin from the build's Plugins folder, binds
// their exports by name and links them with the host's services; answers their modal
// dialogs from a thread timer; reads fixtures and reference decodes.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>
#include "common/CloseBox.h"
#include "common/KeyMessages.h"
#include "plugins/rastrel/RastrelHarness.h"
#include "plugins/sdk/VCXRecords.h"
#include "shell/HostServices.h"

struct OldPlugin {
  HMODULE module = nullptr;
  VCXGetSDKVersionProc getSDKVersion = nullptr;
  VCXGetFeaturesProc getFeatures = nullptr;
  VCXGetNameProc getName = nullptr;
  VCXGetVersionProc getVersion = nullptr;
  VCXGetLastErrorProc getLastError = nullptr;
  VCXLinkProc link = nullptr;
  VCXAboutProc about = nullptr;
  VCXGetFileTypeProc firstImport = nullptr;
  VCXGetFileTypeProc nextImport = nullptr;
  VCXGetFileTypeProc firstExport = nullptr;
  VCXGetFileTypeProc nextExport = nullptr;
  VCXCanImportProc canImport = nullptr;
  VCXImportProc import = nullptr;
  VCXCanExportProc canExport = nullptr;
  VCXExportProc exportFile = nullptr;

  int LastError() const { return getLastError(nullptr, 0); }
};

// Loaded once per file for the whole test program and linked with the host's resolver.
// Exports a plug-in does not have stay null.
inline OldPlugin& LoadOldPlugin(const std::string& name) {
  static std::map<std::string, OldPlugin> plugins;
  OldPlugin& plugin = plugins[name];
  if (plugin.module)
    return plugin;
  plugin.module = LoadLibraryA((ExeFolder() + "Plugins\\" + name + ".vcplugin").c_str());
  EXPECT_NE(plugin.module, nullptr) << name << ".vcplugin not found";
  if (!plugin.module)
    return plugin;
  auto bind = [&](auto& function, const char* export_) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, export_)));
  };
  bind(plugin.getSDKVersion, "VCXGetSDKVersion");
  bind(plugin.getFeatures, "VCXGetFeatures");
  bind(plugin.getName, "VCXGetName");
  bind(plugin.getVersion, "VCXGetVersion");
  bind(plugin.getLastError, "VCXGetLastError");
  bind(plugin.link, "VCXLink");
  bind(plugin.about, "VCXAbout");
  bind(plugin.firstImport, "VCXGetFirstImportableFileType");
  bind(plugin.nextImport, "VCXGetNextImportableFileType");
  bind(plugin.firstExport, "VCXGetFirstExportableFileType");
  bind(plugin.nextExport, "VCXGetNextExportableFileType");
  bind(plugin.canImport, "VCXCanImport");
  bind(plugin.import, "VCXImport");
  bind(plugin.canExport, "VCXCanExport");
  bind(plugin.exportFile, "VCXExport");
  EXPECT_NE(plugin.link, nullptr);
  if (plugin.link) {
    EXPECT_EQ(plugin.link(0, VCX_SDK_VERSION, GetServiceProc), 1);
  }
  return plugin;
}

inline std::string OldFixture(const char* folder, const std::string& name) {
  return ExeFolder() + "..\\..\\..\\tests\\plugins\\" + folder + "\\fixtures\\" + name;
}

// --- answering dialogs ---

// What the timer does with the next visible window of the thread captioned caption: click
// the child windows with the given texts in order, then press Enter or Escape, or click
// the close box.
struct DialogScript {
  enum End { ENTER, ESCAPE, CLOSE_BOX };
  std::string caption;
  std::vector<std::string> clicks;
  End end = ENTER;
  int seen = 0;
  std::vector<std::string> texts;  // the texts of the dialog's child windows
};

inline DialogScript*& CurrentDialogScript() {
  static DialogScript* script = nullptr;
  return script;
}

inline BOOL CALLBACK FindCaptioned(HWND window, LPARAM lParam) {
  auto* found = reinterpret_cast<std::pair<std::string, HWND>*>(lParam);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (IsWindowVisible(window) && found->first == text) {
    found->second = window;
    return FALSE;
  }
  return TRUE;
}

inline BOOL CALLBACK CollectChildren(HWND window, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
  return TRUE;
}

inline void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  DialogScript* script = CurrentDialogScript();
  if (!script)
    return;
  std::pair<std::string, HWND> found(script->caption, nullptr);
  EnumThreadWindows(GetCurrentThreadId(), FindCaptioned, reinterpret_cast<LPARAM>(&found));
  if (!found.second)
    return;
  KillTimer(nullptr, timer);
  CurrentDialogScript() = nullptr;
  ++script->seen;
  std::vector<HWND> children;
  EnumChildWindows(found.second, CollectChildren, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    char text[256] = {};
    GetWindowTextA(child, text, sizeof text);
    script->texts.push_back(text);
  }
  for (const std::string& wanted : script->clicks) {
    for (HWND child : children) {
      char text[256] = {};
      GetWindowTextA(child, text, sizeof text);
      if (wanted == text) {
        SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        SendMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
      }
    }
  }
  if (script->end == DialogScript::CLOSE_BOX)
    EXPECT_TRUE(ClickCloseBox(found.second)) << script->caption;
  else
    SendKeyStroke(GetFocus() ? GetFocus() : found.second, script->end == DialogScript::ESCAPE ? VK_ESCAPE : VK_RETURN);
}

// Arms the timer for the next dialog; disarms on destruction.
class DialogAnswer {
public:
  explicit DialogAnswer(DialogScript& script) {
    CurrentDialogScript() = &script;
    m_timer = SetTimer(nullptr, 0, 30, AnswerDialog);
  }
  ~DialogAnswer() {
    CurrentDialogScript() = nullptr;
    KillTimer(nullptr, m_timer);
  }

private:
  UINT_PTR m_timer;
};

// --- pixels ---

// The pixels of a colour layer as R, G, B, A per pixel (through the host's conversion).
inline std::vector<uint8_t> LayerRgba(VCXImage* layer) {
  std::vector<uint8_t> rgba;
  VCXImage* copy = VcsConvertImage(layer, VCX_FORMAT_32, 0);
  if (!copy)
    return rgba;
  const uint8_t* p = vcxGetPixelSlot(copy);
  const size_t count = size_t(copy->width) * copy->height;
  rgba.resize(count * 4);
  for (size_t i = 0; i < count; ++i) {
    rgba[4 * i] = p[4 * i + 2];
    rgba[4 * i + 1] = p[4 * i + 1];
    rgba[4 * i + 2] = p[4 * i];
    rgba[4 * i + 3] = p[4 * i + 3];
  }
  VcsFreeImage(copy);
  return rgba;
}

// The largest difference of one channel; -1 when the sizes differ.
inline int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool withAlpha = true) {
  if (a.size() != b.size() || a.empty())
    return -1;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!withAlpha && i % 4 == 3)
      continue;
    worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  }
  return worst;
}

inline VCXLayeredImage* OnlyImageOf(VCXMultiImage* multi) {
  return multi && multi->count == 1 ? vcxGetImageSlot(multi, 0) : nullptr;
}

// Writes bytes to a temporary file, imports it and returns the last error (0 on success).
inline int ImportBytesError(OldPlugin& plugin, const std::vector<uint8_t>& bytes, const char* name) {
  const std::string path = TempPath(name);
  WriteFileBytes(path, bytes);
  int type = 0;
  VCXMultiImage* multi = plugin.import(nullptr, path.c_str(), &type);
  const int code = multi ? 0 : plugin.LastError();
  VcsFreeMultiImage(multi);
  DeleteFileA(path.c_str());
  return code;
}
