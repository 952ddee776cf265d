#include "shell/FileDialogs.h"
#include <commdlg.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "document/PixelArray.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "ui/AppCursors.h"
#include "ui/MessageBox.h"
#include "ui/PanelResourceIds.h"
#include "wul/WULButton.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

const int kPathSize = MAX_PATH;
const int kFileNameControl = 1152;  // edt1
const int kFileNameCombo = 1148;    // cmb13, where the name box is a combo box
const int kStc32 = 1119;            // where the standard controls go
const char kAllFiles[] = "ALL FILES\t*.*\t";

SIZE g_dialogSize = {0, 0};
HWND g_owner = nullptr;
WNDPROC g_dialogProc = nullptr;
CFilePreview g_preview = {};

// ---------------------------------------------------------------------------------------------
// Paths and filters

// The extension of a name without its dot, or null when it has none.
const char* ExtensionOf(const char* name) {
  const char* dot = PathExtensionDot(name);
  return dot ? dot + 1 : nullptr;
}

const char* FirstExtension(const CFileTypeEntry* type) {
  if (!type || !type->extensions.first)
    return nullptr;
  return static_cast<CFileExtension*>(type->extensions.first)->text.text;
}

void SplitPath(const char* path, CWULString& folder, CWULString& name) {
  const char* part = PathFileName(path);
  CWULString whole(path);
  whole.text[part - path] = 0;
  folder.Assign(whole.text);
  name.Assign(part);
}

// The filter text with its tabs turned into the double-zero list of the common dialogs.
std::wstring ZeroSeparated(const CWULString& filter) {
  std::wstring list = AnsiToWide(filter.text);
  std::replace(list.begin(), list.end(), L'\t', L'\0');
  list.push_back(L'\0');
  return list;
}

// The dialogs run wide, so that the chosen name comes back as the system has it.
DWORD OpenFileNameSize() {
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  return version.dwMajorVersion < 5 ? OPENFILENAME_SIZE_VERSION_400W : sizeof(OPENFILENAMEW);
}

// The answer of CDM_GETSPEC or CDM_GETFILEPATH, in wide characters.
std::wstring DialogText(HWND dialog, UINT message) {
  wchar_t text[kPathSize];
  text[0] = 0;
  SendMessageW(dialog, message, kPathSize, reinterpret_cast<LPARAM>(text));
  text[kPathSize - 1] = 0;
  return text;
}

// Says, in a box owned by the dialog, that the name cannot be used.
void RefuseName(HWND dialog, const char* path) {
  CWULString text(path);
  text.Append(" cannot be used: its name has characters outside this system's code page.");
  MessageBoxDialog(dialog, MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Vellumcraft :: Error", text.text, MSGBOX_VALUE_OK);
}

// ---------------------------------------------------------------------------------------------
// Dialog placement

void PlaceDialog(HWND dialog) {
  RECT rect;
  GetWindowRect(dialog, &rect);
  int w = rect.right - rect.left;
  int h = rect.bottom - rect.top;
  if (g_dialogSize.cx > 0 && g_dialogSize.cy > 0) {
    w = g_dialogSize.cx;
    h = g_dialogSize.cy;
  } else {
    MINMAXINFO info;
    std::memset(&info, 0, sizeof info);
    SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (info.ptMinTrackSize.x > 0 && info.ptMinTrackSize.y > 0) {
      w = info.ptMinTrackSize.x;
      h = info.ptMinTrackSize.y;
    }
  }
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT centre = work;
  if (g_owner && IsWindow(g_owner))
    GetWindowRect(g_owner, &centre);
  int left = centre.left + (centre.right - centre.left - w) / 2;
  int top = centre.top + (centre.bottom - centre.top - h) / 2;
  if (left < work.left)
    left = work.left;
  if (top < work.top)
    top = work.top;
  SetWindowPos(dialog, nullptr, left, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = g_dialogProc;
  const LRESULT result = CallWindowProcW(previous, dialog, message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam) {
    PlaceDialog(dialog);
  } else if (message == WM_DESTROY) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    g_dialogSize.cx = rect.right - rect.left;
    g_dialogSize.cy = rect.bottom - rect.top;
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// Preview pane

// The pane's controls from the top: the box, the importer's text, the two check boxes with
// their pictures.
const int kPaneTop = 8;
const int kLabelHeight = 36;
const int kCheckHeight = 22;

int PaneHeight(int side) { return kPaneTop + side + 4 + kLabelHeight + 4 + 2 * kCheckHeight + 4; }

int PaneWidth() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return g_preview.boxSide + (6 * dpi + 48) / 96 + 2;
}

void PaintPreview() {
  if (!g_preview.box)
    return;
  CWULImage* target = g_preview.box->GetImage();
  if (target) {
    if (g_Settings.imageFilePreviewChequeredBackground &&
        g_Settings.imageFilePreviewChequeredBackground->GetValue()) {
      const uint32_t a = g_Settings.uiColorsChequerA ? g_Settings.uiColorsChequerA->GetValue().value : 0xFFFFFFFF;
      const uint32_t b = g_Settings.uiColorsChequerB ? g_Settings.uiColorsChequerB->GetValue().value : 0xFFC0C0C0;
      for (int y = 0; y < target->height; ++y)
        for (int x = 0; x < target->width; ++x)
          target->SetPixel(x, y, (((x >> 2) ^ (y >> 2)) & 1 ? b : a) | 0xFF000000u);
    } else {
      target->Fill(g_preview.pane->GetColor());
    }
    if (g_preview.image)
      target->Draw((target->width - g_preview.image->width) / 2, (target->height - g_preview.image->height) / 2,
                   g_preview.image);
  }
  g_preview.box->Redraw();
  if (g_preview.label)
    g_preview.label->SetText(g_preview.path[0] ? g_preview.text : "No file selected");
}

void ClearPreviewImage() {
  if (g_preview.image) {
    CWULImage::Release(g_preview.image);
    g_preview.image = nullptr;
  }
}

bool PreviewEnabled() {
  return !g_Settings.imageFilePreviewEnabled || g_Settings.imageFilePreviewEnabled->GetValue();
}

void UpdatePreview(HWND dialog) {
  ClearPreviewImage();
  g_preview.type = nullptr;
  g_preview.path[0] = 0;
  g_preview.text[0] = 0;
  const std::wstring wide = DialogText(dialog, CDM_GETFILEPATH);
  const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CWULString path;
    const bool fits = WideToAnsiExact(wide.c_str(), path);
    std::snprintf(g_preview.path, sizeof g_preview.path, "%s", path.text);
    if (PreviewEnabled() && !fits) {
      // The importers would read another file under the name the code page makes of it.
      std::strcpy(g_preview.text, "Unknown file format...");
    } else if (PreviewEnabled()) {
      VCXLayeredImage* record = nullptr;
      g_preview.type = FindImportTypeForFile(path.text, &record, g_preview.text, sizeof g_preview.text);
      if (!g_preview.type) {
        std::strcpy(g_preview.text, "Unknown file format...");
        if (record)
          VcsFreeLayeredImage(record);
      } else {
        try {
          g_preview.image = MakePreviewImage(record, g_preview.boxSide);
        } catch (...) {
          g_preview.image = nullptr;
        }
      }
    }
  }
  PaintPreview();
}

void OnEnableClicked(CWULPushButton* control) {
  const bool on = control->IsChecked();
  if (g_Settings.imageFilePreviewEnabled)
    g_Settings.imageFilePreviewEnabled->SetValue(on);
  if (g_preview.pane && g_preview.pane->GetHandle())
    UpdatePreview(GetParent(GetParent(g_preview.pane->GetHandle())));
}

void OnChequerClicked(CWULPushButton* control) {
  if (g_Settings.imageFilePreviewChequeredBackground)
    g_Settings.imageFilePreviewChequeredBackground->SetValue(control->IsChecked());
  PaintPreview();
}

void LayoutPreviewPane(int clientWidth, int clientHeight) {
  if (!g_preview.pane)
    return;
  const int width = PaneWidth();
  g_preview.pane->SetBounds(clientWidth > width ? clientWidth - width : 0, 0, width, clientHeight);
}

void CreatePreviewPane(HWND hook) {
  WULInit(GetModuleHandleA(nullptr));
  g_preview.boxSide = GetPreviewBoxSide();
  const int width = PaneWidth();
  const int side = g_preview.boxSide;
  const int left = (width - side) / 2;

  wulPushDefaultParent(nullptr);
  CWULPanel* pane = nullptr;
  try {
    pane = new CWULPanel;
    pane->SetBounds(0, 0, width, PaneHeight(side));
    wulPushDefaultParent(pane);
    try {
      g_preview.box = new CWULPicture;
      g_preview.box->SetBounds(left, kPaneTop, side, side);
      g_preview.label = new CWULLabel;
      g_preview.label->SetMultiLine(true);
      g_preview.label->SetWordWrap(true);
      g_preview.label->SetMnemonic(false);
      int y = kPaneTop + side + 4;
      g_preview.label->SetBounds(left, y, side, kLabelHeight);
      y += kLabelHeight + 4;
      g_preview.enableBox = new CWULCheckBox;
      g_preview.enableBox->SetText("Enable preview");
      g_preview.enableBox->SetPicture(GetAppPicture(IDB_FILE_PREVIEW));
      g_preview.enableBox->SetBounds(left, y, side, kCheckHeight);
      y += kCheckHeight;
      g_preview.enableBox->SetChecked(PreviewEnabled());
      g_preview.enableBox->checkedChangedCallback = OnEnableClicked;
      g_preview.chequerBox = new CWULCheckBox;
      g_preview.chequerBox->SetText("Chequered background");
      g_preview.chequerBox->SetPicture(GetAppPicture(IDB_FILE_PREVIEW_CHEQUERED));
      g_preview.chequerBox->SetBounds(left, y, side, kCheckHeight);
      g_preview.chequerBox->SetChecked(g_Settings.imageFilePreviewChequeredBackground &&
                                       g_Settings.imageFilePreviewChequeredBackground->GetValue());
      g_preview.chequerBox->checkedChangedCallback = OnChequerClicked;
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    g_preview.pane = pane;
    RECT client;
    GetClientRect(hook, &client);
    LayoutPreviewPane(client.right, client.bottom);
    pane->IncarnateTree(hook);
    PaintPreview();
  } catch (...) {
    delete pane;
    g_preview = CFilePreview();
  }
  wulPopDefaultParent();
}

void DestroyPreviewPane() {
  ClearPreviewImage();
  delete g_preview.pane;
  g_preview = CFilePreview();
}

// ---------------------------------------------------------------------------------------------
// Hook

CFileTypeEntry* SelectedType(CFileDialogHookState* state, const OPENFILENAMEW* ofn) {
  if (!state || !ofn || !state->types)
    return nullptr;
  const int32_t index = static_cast<int32_t>(ofn->nFilterIndex);
  return index >= 1 && index <= state->typeCount ? state->types[index - 1] : nullptr;
}

void OnTypeChange(HWND dialog, CFileDialogHookState* state, const OPENFILENAMEW* ofn) {
  CFileTypeEntry* type = SelectedType(state, ofn);
  if (!type)
    return;
  // A typed name the code page cannot hold stays as typed; the OK button refuses it.
  CWULString text;
  if (WideToAnsiExact(DialogText(dialog, CDM_GETSPEC).c_str(), text) && ReplaceSpecExtension(text, type))
    SendMessageW(dialog, CDM_SETCONTROLTEXT, GetDlgItem(dialog, kFileNameControl) ? kFileNameControl : kFileNameCombo,
                 reinterpret_cast<LPARAM>(AnsiToWide(text.text).c_str()));
}

// False keeps the dialog open.
bool OnFileOk(HWND dialog, CFileDialogHookState* state, const OPENFILENAMEW* ofn) {
  if (!ofn || !ofn->lpstrFile)
    return true;
  CWULString path;
  const bool fits = WideToAnsiExact(ofn->lpstrFile, path);
  CompleteSaveExtension(path, SelectedType(state, ofn));
  if (!fits) {
    RefuseName(dialog, path.text);
    return false;
  }
  if (GetFileAttributesA(path.text) != INVALID_FILE_ATTRIBUTES) {
    CWULString text(path);
    text.Append(" already exists.");
    text.Append("\nDo you want to replace it?");
    if (MessageBoxDialog(dialog, MSGBOX_TYPE_YES_NO, MSGBOX_KIND_QUESTION, "The file already exists", text.text,
                         MSGBOX_VALUE_YES) != MSGBOX_VALUE_YES)
      return false;
  }
  if (state)
    state->path.Assign(path.text);
  return true;
}

UINT_PTR CALLBACK HookProc(HWND hook, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<CFileDialogHookState*>(GetWindowLongPtrW(hook, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
      state = reinterpret_cast<CFileDialogHookState*>(ofn->lCustData);
      SetWindowLongPtrW(hook, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      HWND dialog = GetParent(hook);
      g_dialogProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DialogProc)));
      if (state && state->preview)
        CreatePreviewPane(hook);
      return TRUE;
    }
    case WM_SIZE:
      if (state && state->preview)
        LayoutPreviewPane(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_NOTIFY: {
      const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
      HWND dialog = GetParent(hook);
      switch (notice->hdr.code) {
        case CDN_SELCHANGE:
          if (state && state->preview)
            UpdatePreview(dialog);
          break;
        case CDN_TYPECHANGE:
          if (state && state->kind == FILE_DIALOG_SAVE)
            OnTypeChange(dialog, state, notice->lpOFN);
          break;
        case CDN_FILEOK:
          if (state && state->kind == FILE_DIALOG_SAVE && !OnFileOk(dialog, state, notice->lpOFN)) {
            SetWindowLongPtrW(hook, DWLP_MSGRESULT, 1);
            return TRUE;
          }
          break;
      }
      return 0;
    }
    case WM_DESTROY:
      if (state && state->preview)
        DestroyPreviewPane();
      return 0;
  }
  return 0;
}

// An explorer child template: the standard controls in stc32, the preview pane beside it.
struct PreviewTemplate {
  DLGTEMPLATE dialog;
  WORD menu, windowClass, title;  // the item that follows starts on a DWORD boundary
  DLGITEMTEMPLATE item;
  WORD itemClass[2];
  WORD itemTitle;
  WORD creationData;
};

static_assert(offsetof(PreviewTemplate, item) % 4 == 0, "dialog item alignment");

void BuildPreviewTemplate(PreviewTemplate& t) {
  std::memset(&t, 0, sizeof t);
  const LONG units = GetDialogBaseUnits();
  const int baseX = LOWORD(units) > 0 ? LOWORD(units) : 8;
  const int baseY = HIWORD(units) > 0 ? HIWORD(units) : 16;
  const int side = GetPreviewBoxSide();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  const int paneWidth = side + (6 * dpi + 48) / 96 + 2;
  t.dialog.style = WS_CHILD | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL;
  t.dialog.cdit = 1;
  t.dialog.cx = static_cast<short>(8 + (paneWidth * 4 + baseX - 1) / baseX);
  // As tall as the pane, so that the dialog grows to show all of it.
  t.dialog.cy = static_cast<short>((PaneHeight(side) * 8 + baseY - 1) / baseY);
  t.item.style = WS_CHILD;
  t.item.cx = 8;
  t.item.cy = t.dialog.cy;
  t.item.id = kStc32;
  t.itemClass[0] = 0xFFFF;
  t.itemClass[1] = 0x0082;  // static
}

// Runs one dialog; on success the request gets the chosen folder and name. A chosen name
// that the code page cannot hold is refused: an open dialog says the file cannot be opened
// and returns false (a save dialog refuses it while open).
bool RunDialog(HWND owner, CFileDialogRequest& request, const CWULString& filter, int32_t filterIndex,
               CFileDialogHookState& state, const char* initialName, int32_t* chosenIndex = nullptr) {
  const std::wstring filterList = ZeroSeparated(filter);
  const std::wstring folder = AnsiToWide(request.folder.text);
  const std::wstring title = AnsiToWide(request.title.text);
  wchar_t file[kPathSize];
  lstrcpynW(file, AnsiToWide(initialName).c_str(), kPathSize);
  PreviewTemplate templ;
  OPENFILENAMEW ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = OpenFileNameSize();
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filterList.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
  ofn.lpstrFile = file;
  ofn.nMaxFile = kPathSize;
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              OFN_PATHMUSTEXIST;
  if (state.kind == FILE_DIALOG_OPEN)
    ofn.Flags |= OFN_FILEMUSTEXIST;
  if (state.preview) {
    BuildPreviewTemplate(templ);
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
    ofn.hInstance = reinterpret_cast<HINSTANCE>(&templ);
  }
  ofn.lCustData = reinterpret_cast<LPARAM>(&state);
  ofn.lpfnHook = HookProc;
  if (ofn.lStructSize >= sizeof(OPENFILENAMEW))
    ofn.FlagsEx = OFN_EX_NOPLACESBAR;

  HWND savedOwner = g_owner;
  WNDPROC savedProc = g_dialogProc;
  g_owner = owner;
  request.hookState = &state;
  const BOOL confirmed = state.kind == FILE_DIALOG_SAVE ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  request.hookState = nullptr;
  g_owner = savedOwner;
  g_dialogProc = savedProc;
  if (!confirmed)
    return false;
  // A save dialog's hook has completed the path; an open dialog's is the one chosen.
  CWULString chosen(state.path);
  if (!chosen.text[0]) {
    file[kPathSize - 1] = 0;
    if (!WideToAnsiExact(file, chosen)) {
      if (state.kind == FILE_DIALOG_SAVE)
        RefuseName(owner, chosen.text);
      else
        ShowCannotOpenFile(chosen.text);
      return false;
    }
  }
  if (chosenIndex)
    *chosenIndex = static_cast<int32_t>(ofn.nFilterIndex);
  SplitPath(chosen.text, request.folder, request.fileName);
  return true;
}

// The filter of a save dialog over the types; returns the filter index to preselect.
int32_t BuildSaveFilter(std::vector<CFileTypeEntry*>& types, int32_t selectedId, const CFileFormat* plugin,
                        CWULString& filter) {
  int32_t index = 1;
  for (size_t i = 0; i < types.size(); ++i) {
    AppendFilterEntry(filter, types[i], nullptr);
    if (index == 1 && types[i]->typeId == selectedId && (!plugin || types[i]->plugin == plugin))
      index = static_cast<int32_t>(i) + 1;
  }
  return index;
}

bool RunSaveOver(HWND owner, CFileDialogRequest& request, std::vector<CFileTypeEntry*>& types) {
  // A type without extensions gets no filter entry, so it leaves the list too: the chosen
  // filter index is then a position in types.
  types.erase(std::remove_if(types.begin(), types.end(),
                             [](const CFileTypeEntry* type) { return !type->extensions.first; }),
              types.end());
  if (types.empty())
    return false;
  CWULString filter;
  const int32_t index = BuildSaveFilter(types, request.selectedTypeId, request.selectedPlugin, filter);
  CWULString name(request.fileName);
  if (const char* extension = FirstExtension(types[index - 1])) {
    name.Append('.');
    name.Append(extension);
  }
  CFileDialogHookState state;
  state.kind = FILE_DIALOG_SAVE;
  state.types = types.data();
  state.typeCount = static_cast<int32_t>(types.size());
  int32_t chosenIndex = index;
  if (!RunDialog(owner, request, filter, index, state, name.text, &chosenIndex))
    return false;
  if (chosenIndex < 1 || chosenIndex > static_cast<int32_t>(types.size()))
    chosenIndex = index;
  CFileTypeEntry* chosen = types[chosenIndex - 1];
  request.selectedTypeId = chosen->typeId;
  request.selectedPlugin = chosen->plugin;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public

CFileDialogRequest::CFileDialogRequest()
    : hookState(nullptr), selectedTypeId(0), selectedPlugin(nullptr), listProjectType(true),
      listPluginTypes(true) {}

CFileDialogRequest::~CFileDialogRequest() { filters.DeleteAll(); }

void CFileDialogRequest::GetPath(CWULString& path) const {
  path.Assign(folder.text);
  if (folder.text[0] && !EndsWithSeparator(folder.text, true))
    path.Append('\\');
  path.Append(fileName);
}

CFileTypeEntry* CreateFileFilter(const char* description, const char* extensions, int32_t typeId) {
  std::vector<std::string> parts;
  std::string all(extensions ? extensions : "");
  size_t start = 0;
  while (start <= all.size()) {
    const size_t end = all.find(';', start);
    const std::string part = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!part.empty())
      parts.push_back(part);
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  std::vector<uint8_t> buffer(sizeof(VCXFileType) + sizeof(VCXFileTypeExtension) * parts.size(), 0);
  auto* record = reinterpret_cast<VCXFileType*>(buffer.data());
  record->headerSize = sizeof(VCXFileType);
  record->id = typeId;
  std::snprintf(record->description, sizeof record->description, "%s", description ? description : "");
  record->extensionCount = static_cast<int32_t>(parts.size());
  VCXFileTypeExtension* items = vcxGetFileTypeExtensions(record);
  for (size_t i = 0; i < parts.size(); ++i)
    std::snprintf(items[i].extension, sizeof items[i].extension, "%s", parts[i].c_str());
  return new CFileTypeEntry(nullptr, record);
}

bool AppendFilterEntry(CWULString& filter, const CFileTypeEntry* type, CWULString* allPatterns) {
  if (!type || !type->extensions.first)
    return false;
  CWULString patterns;
  for (CListItem* item = type->extensions.first; item; item = item->next) {
    if (item != type->extensions.first)
      patterns.Append(';');
    patterns.Append("*.");
    patterns.Append(static_cast<CFileExtension*>(item)->text);
  }
  filter.Append(type->description);
  filter.Append(" (");
  filter.Append(patterns);
  filter.Append(")\t");
  filter.Append(patterns);
  filter.Append('\t');
  if (allPatterns) {
    if (allPatterns->text[0])
      allPatterns->Append(';');
    allPatterns->Append(patterns);
  }
  return true;
}

int32_t BuildPluginOpenFilter(const CFileDialogRequest& request, CWULString& filter) {
  CWULString entries;
  CWULString patterns;
  int32_t listed = 0;
  for (CListItem* item = g_ImportTypes.first; item; item = item->next) {
    const auto* type = static_cast<CFileTypeEntry*>(item);
    const bool builtin = type->plugin && type->plugin->kind == FORMAT_KIND_BUILTIN;
    if (builtin ? !request.listProjectType : !request.listPluginTypes)
      continue;
    if (AppendFilterEntry(entries, type, &patterns))
      ++listed;
  }
  filter.Assign(kAllFiles);
  if (listed > 1) {
    filter.Append("All supported file types\t");
    filter.Append(patterns);
    filter.Append('\t');
  }
  filter.Append(entries);
  return 2;
}

void CompleteSaveExtension(CWULString& path, const CFileTypeEntry* type) {
  const char* first = FirstExtension(type);
  if (!first)
    return;
  const char* name = PathFileName(path.text);
  // "name." stays as typed; "name.." does not count as a single dot.
  if (name[0]) {
    const char* last = LastCharacter(name);
    if (*last == '.' && (last == name || *CharPrevA(name, last) != '.'))
      return;
  }
  const char* extension = ExtensionOf(path.text);
  if (extension && extension[0] && type->HasExtension(extension))
    return;
  path.Append('.');
  path.Append(first);
}

bool ReplaceSpecExtension(CWULString& spec, const CFileTypeEntry* type) {
  const char* first = FirstExtension(type);
  const char* name = PathFileName(spec.text);
  if (!first || !name[0] || name[0] == '.')
    return false;
  CWULString result(spec);
  if (char* dot = PathExtensionDot(result.text))
    *dot = 0;
  CWULString text(result.text);
  text.Append('.');
  text.Append(first);
  spec.Assign(text.text);
  return true;
}

bool CFileDialog::RunOpen(HWND owner, CFileDialogRequest& request) {
  CWULString filter(kAllFiles);
  for (CListItem* item = request.filters.first; item; item = item->next)
    AppendFilterEntry(filter, static_cast<CFileTypeEntry*>(item), nullptr);
  CFileDialogHookState state;
  state.kind = FILE_DIALOG_OPEN;
  return RunDialog(owner, request, filter, 2, state, request.fileName.text);
}

bool CSaveFileDialog::RunSave(HWND owner, CFileDialogRequest& request) {
  std::vector<CFileTypeEntry*> types;
  for (CListItem* item = request.filters.first; item; item = item->next)
    types.push_back(static_cast<CFileTypeEntry*>(item));
  return RunSaveOver(owner, request, types);
}

bool CPluginFileDialog::RunOpen(HWND owner, CFileDialogRequest& request) {
  CWULString filter;
  const int32_t index = BuildPluginOpenFilter(request, filter);
  CFileDialogHookState state;
  state.kind = FILE_DIALOG_OPEN;
  state.preview = true;
  return RunDialog(owner, request, filter, index, state, request.fileName.text);
}

bool CPluginSaveDialog::RunSave(HWND owner, CFileDialogRequest& request) {
  std::vector<CFileTypeEntry*> types;
  for (CListItem* item = g_ExportTypes.first; item; item = item->next) {
    auto* type = static_cast<CFileTypeEntry*>(item);
    if (request.listProjectType || !type->plugin || type->plugin->kind != FORMAT_KIND_BUILTIN)
      types.push_back(type);
  }
  return RunSaveOver(owner, request, types);
}

const CFilePreview& GetFilePreview() { return g_preview; }

int32_t GetPreviewBoxSide() { return VcsGetMetric(VCX_METRIC_PREVIEW_WIDTH); }

CWULImage* MakePreviewImage(VCXLayeredImage* source, int32_t side) {
  COwnedRecord<VCXLayeredImage, VcsFreeLayeredImage> record(source);
  if (!record.get() || record->layerCount < 1)
    return nullptr;
  if (record->layerCount > 1) {
    VCXLayeredImage* flat = VcsFlatten(record.release(), 1);
    record.reset(flat);
  }
  if (!record.get() || !vcxGetLayerSlot(record.get(), 0))
    return nullptr;
  if (vcxGetLayerSlot(record.get(), 0)->format != VCX_FORMAT_32) {
    VCXLayeredImage* converted = VcsConvertLayeredImage(record.release(), VCX_FORMAT_32, 1);
    record.reset(converted);
  }
  const VCXImage* layer = record.get() ? vcxGetLayerSlot(record.get(), 0) : nullptr;
  if (!layer || layer->width < 1 || layer->height < 1 || !vcxGetPixelSlot(layer))
    return nullptr;
  const CPixelArray pixels(reinterpret_cast<uint32_t*>(vcxGetPixelSlot(layer)), layer->width, layer->height);
  if (layer->width <= side && layer->height <= side) {
    CWULImage* image = new CWULImage(layer->width, layer->height);
    image->SetPixels(pixels.data);
    return image;
  }
  const double scale = std::min(static_cast<double>(side) / layer->width, static_cast<double>(side) / layer->height);
  const int32_t w = std::max<int32_t>(1, static_cast<int32_t>(std::lround(layer->width * scale)));
  const int32_t h = std::max<int32_t>(1, static_cast<int32_t>(std::lround(layer->height * scale)));
  CPixelArray scaled(w, h);
  if (scaled.width != w || scaled.height != h)
    return nullptr;
  CResampleOptions options;
  options.smooth = 1;
  options.totalSamples = 1000000;
  options.pixelSamples = 64;
  pixels.Resample(scaled, &options);
  CWULImage* image = new CWULImage(w, h);
  image->SetPixels(scaled.data);
  return image;
}

SIZE GetFileDialogSize() { return g_dialogSize; }
void SetFileDialogSize(SIZE size) { g_dialogSize = size; }
