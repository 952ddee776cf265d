#pragma once
// The Text tool's option controls: the text, the font face box (with the button of the font
// selection dialog), the style and the size.
#include "wul/WULProtoEdit.h"

class CWULDropDown;
class CWULSpinEdit;

// The face-name box: typing completes the name from the font list and keeps the suggested
// rest selected; Up and Down step through the list.
class CFontNameEdit : public CWULButtonEdit {
public:
  CFontNameEdit();

  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnChar(int key, LPARAM lParam) override;
};

// The controls of the open option pane; null while the Text tool's options are not shown.
struct CTextToolOptions {
  CWULProtoEdit* text;
  CFontNameEdit* font;
  CWULDropDown* style;
  CWULSpinEdit* size;
};
const CTextToolOptions& GetTextToolOptions();

// Builds the controls into parent (the tool panel's option host) from the settings.
void CreateTextToolOptions(CWULInteractor* parent);
