#pragma once
// The framework's text field: a framework window that hosts a native "EDIT" child for
// the editing itself. The framework window paints its frame and margins, owns the font
// and background brush of the native edit, routes the edit's keyboard and focus
// messages through its own handlers and copies the text back on every change. The edit
// with a button adds a small button showing three dots at the right edge.
#include "wul/WULControl.h"
#include "wul/WULOffscreen.h"

// The procedure installed on the native edits: focus, key and wheel messages go to the
// framework window that hosts the edit, everything else to the edit's own procedure.
LRESULT CALLBACK wulEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

class CWULProtoEdit : public CWULTextControl {
public:
  typedef void (*ChangeCallback)(CWULProtoEdit* control);

  CWULProtoEdit();
  ~CWULProtoEdit() override;

  virtual void SelectAll();
  virtual void SetSelection(int start, int end);
  // Both ends at the end of the selection.
  virtual void CollapseSelection();
  // SetText without the change notification.
  virtual void SetTextSilently(const char* newText);
  virtual int GetLeftMargin();
  virtual void SetLeftMargin(int value);
  virtual int GetTopMargin();
  virtual void SetTopMargin(int value);
  virtual int GetRightMargin();
  virtual void SetRightMargin(int value);
  virtual int GetBottomMargin();
  virtual void SetBottomMargin(int value);
  virtual int GetTextLimit();
  virtual void SetTextLimit(int value);
  virtual bool GetReadOnly();
  virtual void SetReadOnly(bool on);
  virtual bool GetSelectAllOnFocus();
  virtual void SetSelectAllOnFocus(bool on);
  virtual bool GetTabIntoText();
  virtual void SetTabIntoText(bool on);
  // -1 without a native edit.
  virtual int GetSelStart();
  virtual int GetSelEnd();
  // Runs after every change of the text while changes are notified.
  virtual void OnTextChanged();
  // Font, margins and text limit of the native edit.
  virtual void ApplyFont();
  virtual LRESULT OnCtlColorEdit(HDC dc, HWND edit);
  virtual LRESULT OnCtlColorStatic(HDC dc, HWND edit);

  // The native edit's rectangle in client coordinates.
  virtual void ComputeEditRect(RECT* rect);
  // The style the native edit is created with.
  virtual DWORD ComputeNativeStyle();
  // Paints everything but the native edit.
  virtual void PaintControl(HDC dc);
  HWND GetEditWindow() const { return editWindow; }

  using CWULTextControl::Redraw;
  HWND Incarnate(HWND parentWindow) override;
  void SetFocus() override;
  void Redraw(const RECT* rect) override;
  void SetText(const char* newText) override;
  bool CanFocus() override;
  void SetEnabled(bool on) override;
  void OnColorChanged() override;
  void GeometryHook() override;
  void OnSizeChanged() override;
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT OnSetFocus(HWND previous) override;
  LRESULT OnKillFocus(HWND next) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnKeyUp(int key, LPARAM lParam) override;
  LRESULT OnChar(int key, LPARAM lParam) override;
  LRESULT OnCommand(int notifyCode, int id, HWND control) override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  void SetHAlign(int value) override;
  void SetMultiLine(bool on) override;
  void SetWordWrap(bool on) override;

  ChangeCallback changeCallback;
  int32_t textLimit;
  uint8_t readOnly;
  uint8_t selectAllOnFocus;
  uint8_t tabIntoText;
  uint8_t notifyChanges;
  uint8_t clipboardGuard;
  int32_t leftMargin;
  int32_t topMargin;
  int32_t rightMargin;
  int32_t bottomMargin;
  DWORD nativeStyle;
  HWND editWindow;
  HFONT editFont;
  HBRUSH editBrush;
  WNDPROC previousProc;
  RECT editRect;
  CWULOffscreenBuffer buffer;  // the control as last painted, without the native edit

protected:
  // Makes the native edit again with the current style, keeping text, selection and focus.
  void RecreateEditor();
  // Runs after the native edit was made; derived classes send what the style cannot say.
  virtual void OnEditorCreated();
  // Gives the message to the native edit's own procedure.
  LRESULT PassToEdit(UINT message, WPARAM wParam, LPARAM lParam);
  // Moves the native edit to the rectangle of the margins.
  void PlaceEditor();

private:
  void CreateEditor();
  void DestroyEditor();
  void MakeFontAndBrush();
  LRESULT RouteKey(UINT message, int key, LPARAM lParam);
  // Takes the native edit's text; true when it differed.
  bool TextFromEditor();
  // OnTextChanged and the change callback, while changes are notified.
  void NotifyTextChange();

  uint8_t m_settingText;
};

class CWULButtonEdit : public CWULProtoEdit {
public:
  typedef void (*ButtonCallback)(CWULButtonEdit* control, const RECT* screenRect);

  CWULButtonEdit();

  // Clicks the button as a user would.
  virtual void Click();
  virtual int GetBorderStyle();
  virtual void SetBorderStyle(int value);
  virtual int GetButtonWidth();
  virtual void SetButtonWidth(int value);  // negative: automatic
  virtual void ClickButton();
  // Paints the button into dc, or into the window at once for null.
  virtual void PaintButton(HDC dc);

  void GeometryHook() override;
  void ComputeEditRect(RECT* rect) override;
  void PaintControl(HDC dc) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnKillFocus(HWND next) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnKeyUp(int key, LPARAM lParam) override;
  LRESULT OnChar(int key, LPARAM lParam) override;

  CWULColor faceColor;
  CWULColor glyphColor;
  ButtonCallback buttonCallback;
  int32_t borderStyle;
  int32_t buttonWidth;
  RECT buttonRect;
  uint8_t pressed;
  int32_t captureMode;  // 0 none, 1 keyboard, 2 mouse

private:
  void EndPress(bool click);
  void PaintDots(HDC dc, const RECT* face);
};
