#include "tools/TextOptions.h"
#include <cstring>
#include <new>
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/FontList.h"
#include "tools/OptionPanes.h"
#include "tools/TextTool.h"
#include "ui/FontDialog.h"
#include "wul/WULDropDown.h"
#include "wul/WULEdit.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

CTextToolOptions g_options = {nullptr, nullptr, nullptr, nullptr};
// Set while the controls are filled from the settings: their change callbacks do nothing.
bool g_filling = false;

void Forget(CWULInteractor* control) {
  if (control == g_options.text)
    g_options.text = nullptr;
  else if (control == g_options.font)
    g_options.font = nullptr;
  else if (control == g_options.style)
    g_options.style = nullptr;
  else if (control == g_options.size)
    g_options.size = nullptr;
}

void Rerender() {
  if (g_TextTool)
    g_TextTool->Rerender();
}

void TextChanged(CWULProtoEdit* control) {
  if (g_filling || !g_TextTool)
    return;
  g_TextTool->SetText(control->GetText());
}

void FontChanged(CWULProtoEdit* control) {
  if (g_filling || !g_Settings.drawingToolsTextFontName)
    return;
  g_Settings.drawingToolsTextFontName->SetValue(control->GetText());
  Rerender();
}

void StyleChanged(CWULDropDown*, CWULDropDownItem* item, CWULDropDownItem*) {
  if (g_filling || !item || !g_Settings.drawingToolsTextFontStyle)
    return;
  g_Settings.drawingToolsTextFontStyle->SetValue(static_cast<uint32_t>(item->value));
  Rerender();
}

void SizeChanged(CWULInteractor*, uint32_t) {
  if (!g_filling)
    Rerender();
}

void BrowseFonts(CWULButtonEdit* control, const RECT* screenRect) {
  CWULString name(control->GetText());
  if (SelectFontDialog(&name, g_TextTool ? g_TextTool->GetText() : nullptr, screenRect))
    control->SetText(name.text);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CFontNameEdit

CFontNameEdit::CFontNameEdit() {}

LRESULT CFontNameEdit::OnKeyDown(int key, LPARAM lParam) {
  if (GetSelStart() < 0)
    return CWULButtonEdit::OnKeyDown(key, lParam);
  const int length = text.GetLength();
  int caret = GetSelStart();
  switch (key) {
    case VK_UP:
    case VK_DOWN: {
      CFontListItem* match = g_FontList.FindBestMatch(text.text);
      if (!match)
        return 0;
      CFontListItem* step = key == VK_UP ? match->GetPrev() : match->GetNext();
      SetText((step ? step : match)->name.text);
      SelectAll();
      return 0;
    }
    case VK_HOME:
      caret = 0;
      break;
    case VK_END:
      caret = length;
      break;
    case VK_LEFT:
      caret = caret > 0 ? caret - 1 : 0;
      break;
    case VK_RIGHT:
      caret = caret < length ? caret + 1 : length;
      break;
    default:
      return CWULButtonEdit::OnKeyDown(key, lParam);
  }
  SetSelection(caret, length);
  return 0;
}

LRESULT CFontNameEdit::OnChar(int key, LPARAM lParam) {
  const int ch = key & 0xFFFF;
  const int caret = GetSelStart();
  if (caret < 0 || wulIsCtrlDown())
    return CWULButtonEdit::OnChar(key, lParam);
  if (ch == '\b') {
    SetSelection(caret > 0 ? caret - 1 : 0, text.GetLength());
    return 0;
  }
  if (ch < 32 || ch == 127 || ch > 255)
    return CWULButtonEdit::OnChar(key, lParam);
  CWULString typed;
  typed.Assign(text.text);
  if (caret < typed.GetLength())
    typed.text[caret] = '\0';
  typed.Append(static_cast<char>(ch));
  CFontListItem* match = g_FontList.FindBestMatch(typed.text);
  if (!match)
    return CWULButtonEdit::OnChar(key, lParam);
  const int common = CommonPrefixLength(typed.text, match->name.text, true);
  SetText(match->name.text);
  const int start = caret + 1 < common ? caret + 1 : common;
  SetSelection(start, text.GetLength());
  return 0;
}

// ---------------------------------------------------------------------------------------------
// The pane

const CTextToolOptions& GetTextToolOptions() {
  return g_options;
}

void CreateTextToolOptions(CWULInteractor* parent) {
  if (!parent)
    return;
  if (!g_FontList.count)
    g_FontList.Enumerate();
  wulPushDefaultParent(parent);
  g_filling = true;
  try {
    CWULEdit* textEdit = new CWULEdit;
    g_options.text = textEdit;
    textEdit->deletedHandler = Forget;
    textEdit->SetBounds(4, 4, 160, 20);
    textEdit->SetText(g_TextTool ? g_TextTool->GetText() : "");
    textEdit->changeCallback = TextChanged;

    CWULLabel* label = new CWULLabel;
    label->SetText("Font:");
    label->SetBounds(4, 32, 34, 16);

    CFontNameEdit* font = new CFontNameEdit;
    g_options.font = font;
    font->deletedHandler = Forget;
    font->SetBounds(40, 30, 124, 20);
    font->SetText(g_Settings.drawingToolsTextFontName ? g_Settings.drawingToolsTextFontName->GetValue()
                                                      : "");
    font->changeCallback = FontChanged;
    font->buttonCallback = BrowseFonts;

    CWULDropDown* style = new CWULDropDown;
    g_options.style = style;
    style->deletedHandler = Forget;
    style->SetBounds(4, 56, 118, 20);
    const char* const names[4] = {"Regular", "Bold", "Italic", "Bold Italic"};
    for (int i = 0; i < 4; ++i)
      style->InsertItem(new CWULDropDownItem(i, names[i]));
    uint32_t current = g_Settings.drawingToolsTextFontStyle ? g_Settings.drawingToolsTextFontStyle->GetValue() : 0;
    style->SetSelection(style->FindByValue(current <= 3 ? static_cast<int>(current) : 0));
    style->selectionChangedHandler = StyleChanged;

    // Every typed or stepped size is stored and rendered at once.
    COptionSpinEdit* size = AddOptionSpinEdit(128, 58, g_Settings.drawingToolsTextFontSize, 1, 999, SizeChanged);
    g_options.size = size;
    size->deletedHandler = Forget;
  } catch (...) {
    g_filling = false;
    wulPopDefaultParent();
    throw;
  }
  g_filling = false;
  wulPopDefaultParent();
}
