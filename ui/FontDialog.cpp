#include "ui/FontDialog.h"
#include <cctype>
#include <new>
#include "document/EditorUI.h"
#include "document/PixelArray.h"
#include "shell/TextRoutines.h"
#include "tools/FontList.h"
#include "tools/TextRenderer.h"
#include "ui/DialogParts.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULListBox.h"
#include "wul/WULPanel.h"

namespace {

const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kMargin = 8;
const int kListWidth = 232;
const int kListRows = 12;
const int kSampleHeight = 40;
const int kTypeAheadPause = 1000;

class CFontDialogWindow;
class CSamplePicture;

void ChooseAndClose();

class CFontListBox : public CWULListBox {
public:
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override {
    const LRESULT result = CWULListBox::OnLButtonDblClk(keys, mx, my);
    if (ItemAtPoint(mx, my))
      ChooseAndClose();
    return result;
  }
};

// The open dialog.
CFontDialogWindow* g_dialog = nullptr;
CWULButton* g_ok = nullptr;
CWULButton* g_cancel = nullptr;
CWULPanel* g_strip = nullptr;
CSamplePicture* g_picture = nullptr;
CFontListBox* g_list = nullptr;
CWULString* g_destination = nullptr;
CWULString g_sample;
CTextRenderer* g_renderer = nullptr;

// Type-ahead in the list.
CWULString g_typed;
DWORD g_typedTime = 0;

void ForgetDialog() {
  g_dialog = nullptr;
  g_ok = g_cancel = nullptr;
  g_strip = nullptr;
  g_picture = nullptr;
  g_list = nullptr;
  g_destination = nullptr;
}

class CFontDialogWindow : public CWULAppWindow {
public:
  ~CFontDialogWindow() override {
    delete g_renderer;
    g_renderer = nullptr;
    if (g_dialog == this)
      ForgetDialog();
  }
};

class CFontItem : public CWULListItem {
public:
  CFontItem(const char* name, bool isTrueType) : CWULListItem(name), trueType(isTrueType ? 1 : 0) {}
  uint8_t trueType;
};

void DrawSample();

class CSamplePicture : public CWULPicture {
public:
  LRESULT OnPaint(PAINTSTRUCT* paint) override {
    DrawSample();
    return CWULPicture::OnPaint(paint);
  }
};

void ChooseAndClose() {
  if (!g_dialog)
    return;
  CWULListItem* item = g_list ? g_list->GetCurrentItem() : nullptr;
  if (item && g_destination)
    g_destination->Assign(item->GetText());
  g_dialog->EndModal(1);
  g_dialog->Close();
}

// The list item that best matches text: the longest common prefix without regard to case,
// the first one on ties.
CWULListItem* BestMatch(const char* text) {
  if (!g_list)
    return nullptr;
  CWULListItem* best = g_list->GetFirstItem();
  if (!text)
    return best;
  int bestLength = -1;
  for (int i = 1; i <= g_list->GetCount(); ++i) {
    CWULListItem* item = g_list->FindByIndex(i);
    const int length = CommonPrefixLength(text, item->GetText(), true);
    if (length > bestLength) {
      bestLength = length;
      best = item;
    }
  }
  return best;
}

void DrawSample() {
  if (!g_picture)
    return;
  CWULImage* image = g_picture->GetImage();
  if (!image || !image->pixels)
    return;
  image->Fill(g_picture->GetColor());
  CFontItem* item = g_list ? static_cast<CFontItem*>(g_list->GetCurrentItem()) : nullptr;
  if (!item || !g_renderer || g_renderer->GetBufferWidth() <= 0 || g_renderer->GetBufferHeight() <= 0)
    return;
  const int32_t w = image->width;
  const int32_t h = image->height;
  const char* text = g_sample.text[0] ? g_sample.text : "Sample";
  const int shift = item->trueType ? 3 : 0;
  g_renderer->SetFontName(item->GetText());
  g_renderer->SetStyle(CTextRenderer::STYLE_REGULAR);
  g_renderer->SetHeight((h - 2) << shift);
  const SIZE measured = g_renderer->Render(text);
  const CMaskArray* mask = g_renderer->GetLevel(CMaskSupersampleStack::TOP - shift);
  if (!mask || measured.cx <= 0 || measured.cy <= 0)
    return;
  const int32_t f = (measured.cx - 1) >> shift;
  const int32_t g = (measured.cy - 1) >> shift;
  int32_t left = (w - f - 1) / 2;
  if (((w - f - 1) & ~1) <= 2)
    left = 1;
  int32_t top = (h - g - 1) / 2;
  if (((h - g - 1) & ~1) <= 2)
    top = 1;
  const uint32_t color = g_picture->GetFont().color.value;
  for (int32_t y = 0; y <= g && top + y < h && y < mask->height; ++y) {
    const uint8_t* row = mask->data + static_cast<size_t>(y) * mask->width;
    uint32_t* out = image->pixels + static_cast<size_t>(top + y) * w;
    for (int32_t x = 0; x <= f && left + x < w && x < mask->width; ++x) {
      if (row[x])
        out[left + x] = BlendRgb(out[left + x], color, row[x]);
    }
  }
}

void RedrawSample() {
  if (!g_picture)
    return;
  DrawSample();
  g_picture->Redraw();
}

void SelectionChanged(CWULListBox*, CWULListItem*, CWULListItem*) {
  RedrawSample();
}

void OkPressed(CWULPushButton*) {
  ChooseAndClose();
}

void CancelPressed(CWULPushButton*) {
  if (!g_dialog)
    return;
  g_dialog->EndModal(0);
  g_dialog->Close();
}

int DialogKeyDown(CWULInteractor*, int* key, LPARAM) {
  if (*key == VK_RETURN) {
    if (g_cancel && g_cancel->HasFocus())
      g_cancel->PerformClick();
    else if (g_ok)
      g_ok->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    CancelPressed(nullptr);
    return 1;
  }
  return 0;
}

int DialogChar(CWULInteractor*, int* key, LPARAM) {
  const int ch = *key & 0xFFFF;
  if (ch < 32 || ch == 127 || !g_list)
    return 0;
  const DWORD now = GetTickCount();
  if (now - g_typedTime > static_cast<DWORD>(kTypeAheadPause))
    g_typed.Clear();
  g_typedTime = now;
  CWULString text(g_typed);
  text.Append(static_cast<char>(ch));
  CWULListItem* item = BestMatch(text.text);
  if (item && CommonPrefixLength(text.text, item->GetText(), true) == text.GetLength()) {
    g_typed.Assign(text.text);
    g_list->SetCurrentItem(item);
  }
  return 1;
}

void FillList() {
  if (!g_FontList.count)
    g_FontList.Enumerate();
  for (CFontListItem* entry = g_FontList.GetFirst(); entry; entry = entry->GetNext())
    g_list->InsertItem(new CFontItem(entry->name.text, entry->trueType != 0), nullptr);
}

// Builds the controls and sizes the dialog; the dialog is the default parent meanwhile.
void BuildDialog(CFontDialogWindow* dialog) {
  g_strip = new CWULPanel;
  g_strip->SetOuterEdge(WUL_EDGE_SUNKEN);
  g_strip->SetBounds(kMargin, kMargin, kListWidth, kSampleHeight);
  BuildInside(g_strip, [] {
    g_picture = new CSamplePicture;
    g_picture->SetAlignment(WUL_ALIGN_FILL);
  });

  g_list = new CFontListBox;
  g_list->SetHBarMode(WUL_BAR_NEVER);
  g_list->SetBounds(kMargin, kMargin + kSampleHeight + 6, kListWidth, 100);
  g_list->SetClientHeight(kListRows * g_list->GetItemHeight());
  g_list->currentItemChangedHandler = SelectionChanged;
  FillList();

  const int buttonsTop = g_list->GetBottom() + 8;
  const int clientWidth = kListWidth + 2 * kMargin;
  g_cancel = MakeDialogButton("Cancel", clientWidth - kMargin - kButtonWidth, buttonsTop, CancelPressed);
  g_ok = MakeDialogButton("OK", clientWidth - kMargin - 2 * kButtonWidth - 4, buttonsTop, OkPressed);
  dialog->SetClientSize(clientWidth, buttonsTop + kButtonHeight + kMargin);
}

// Below the anchor (or at the pointer), inside the work area.
void PlaceDialog(CFontDialogWindow* dialog, const RECT& anchor) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  int x = anchor.left;
  int y = anchor.bottom;
  if (y + dialog->GetHeight() > work.bottom)
    y = anchor.top - dialog->GetHeight();
  if (x + dialog->GetWidth() > work.right)
    x = work.right - dialog->GetWidth();
  if (x < work.left)
    x = work.left;
  if (y < work.top)
    y = work.top;
  dialog->SetPosition(x, y);
}

}  // namespace

CWULAppWindow* GetFontDialogWindow() {
  return g_dialog;
}

CWULListBox* GetFontDialogList() {
  return g_list;
}

CWULPicture* GetFontDialogSample() {
  return g_picture;
}

CWULPushButton* GetFontDialogButton(bool ok) {
  return ok ? g_ok : g_cancel;
}

bool SelectFontDialog(CWULString* name, const char* sample, const RECT* anchor) {
  if (g_dialog) {
    g_dialog->BringToForeground();
    return false;
  }
  RECT place;
  if (anchor) {
    place = *anchor;
  } else {
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    place = RECT{pointer.x, pointer.y, pointer.x, pointer.y};
  }
  HWND owner = GetEditorUI()->GetMainWindow();
  if (owner && !IsWindow(owner))
    owner = nullptr;

  CFontDialogWindow* dialog = nullptr;
  HWND handle = nullptr;
  int result = 0;
  bool pushed = false;
  try {
    wulPushDefaultParent(nullptr);
    pushed = true;
    dialog = new CFontDialogWindow;
    g_dialog = dialog;
    g_destination = name;
    g_sample.Assign(sample);
    dialog->SetFrameKind(WUL_FRAME_FIXED);
    dialog->SetCloseBox(true);
    dialog->SetText("Select a font");
    dialog->keyDownHandler = DialogKeyDown;
    dialog->charHandler = DialogChar;
    BuildInside(dialog, [dialog] { BuildDialog(dialog); });
    wulPopDefaultParent();
    pushed = false;
    PlaceDialog(dialog, place);

    g_renderer = new (std::nothrow) CTextRenderer();
    if (g_renderer &&
        !g_renderer->SetBufferSize(8 * (kListWidth - 4), 8 * (kSampleHeight - 4))) {
      delete g_renderer;
      g_renderer = nullptr;
    }

    g_typed.Clear();
    g_typedTime = 0;
    dialog->IncarnateTree(owner);
    handle = dialog->window;
    if (g_renderer && g_picture->GetWidth() > 0)
      g_renderer->SetBufferSize(8 * g_picture->GetWidth(), 8 * g_picture->GetHeight());
    if (CWULListItem* item = BestMatch(name ? name->text : nullptr))
      g_list->SetCurrentItem(item);
    RedrawSample();
    g_list->SetFocus();
    result = dialog->ShowModal(0);
  } catch (...) {
    if (pushed)
      wulPopDefaultParent();
    if (dialog) {
      if (g_dialog == dialog)
        ForgetDialog();
      if (!handle)
        delete dialog;
      else
        dialog->Close();
    }
    try {
      throw;
    } catch (const CWULError&) {
      return false;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (g_dialog == dialog)
    ForgetDialog();
  // The dialog ends through its deferred close; let it end now.
  CloseEndedDialog(dialog, handle);
  return result == 1;
}
