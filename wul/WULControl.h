#pragma once
// The layers between CWULInteractor and the concrete controls: a child window that
// reports to its parent (CWULControl), one with a caption it can measure and draw
// (CWULTextControl), and one that is pressed with the mouse or the space key and can be
// checked, alone or in an exclusive group (CWULPushButton).
#include "wul/WULInteractor.h"

class CWULControl : public CWULInteractor {
public:
  // WS_CHILD; reports its changes to its parent.
  CWULControl();
  ~CWULControl() override;

  // Stores the layout code and tells the parent, which lays its children out again.
  virtual void SetAlignment(int code);

  void SetParent(CWULInteractor* newParent) override;
  void SetVisible(bool on) override;
  int GetAlignment() override;
  LRESULT OnEraseBackground(HDC dc) override;

  int32_t alignment;
};

enum {
  WUL_HALIGN_LEFT = 1,
  WUL_HALIGN_CENTER = 2,
  WUL_HALIGN_RIGHT = 3,
  WUL_VALIGN_TOP = 1,
  WUL_VALIGN_CENTER = 2,
  WUL_VALIGN_BOTTOM = 3
};

// The caption is the interactor's text.
class CWULTextControl : public CWULControl {
public:
  CWULTextControl();

  virtual int GetHAlign();
  virtual void SetHAlign(int value);
  virtual int GetVAlign();
  virtual void SetVAlign(int value);
  virtual bool GetMultiLine();
  virtual void SetMultiLine(bool on);
  virtual bool GetWordWrap();
  virtual void SetWordWrap(bool on);
  // Off: '&' is drawn as it is.
  virtual bool GetMnemonic();
  virtual void SetMnemonic(bool on);
  // Measures the caption against the rectangle's width and turns the rectangle into the
  // text's box placed by the alignments. A null dc measures on the screen.
  virtual void MeasureText(HDC dc, RECT* rect);
  // Draws the caption clipped to the rectangle; a disabled control draws it faded.
  virtual void DrawCaption(HDC dc, const RECT* rect);

  void SetText(const char* newText) override;
  LRESULT OnSetFocus(HWND previous) override;
  LRESULT OnKillFocus(HWND next) override;

  int32_t hAlign;
  int32_t vAlign;
  uint8_t multiLine;
  uint8_t wordWrap;
  uint8_t mnemonic;

protected:
  UINT TextFlags() const;
};

enum {
  WUL_BEHAVIOUR_PUSH = 0,
  WUL_BEHAVIOUR_EXCLUSIVE = 1,
  WUL_BEHAVIOUR_TOGGLE = 2
};

class CWULPushButton : public CWULTextControl {
public:
  typedef void (*Callback)(CWULPushButton* control);

  // A tab stop.
  CWULPushButton();
  ~CWULPushButton() override;

  // Links this control's group after the end of other's group; returns other's last member.
  virtual CWULPushButton* JoinGroup(CWULPushButton* other);
  virtual void LeaveGroup();
  // A click from the program, redrawn afterwards.
  virtual void PerformClick();
  virtual bool IsChecked();
  virtual void SetChecked(bool on);
  // The press callback, then the behaviour's change of the checked state.
  virtual void Click();
  virtual void OnPress();
  virtual void Activate();
  // The centre of the screen rectangle.
  virtual void GetCentre(POINT* point);

  void GeometryHook() override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnKillFocus(HWND next) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnKeyUp(int key, LPARAM lParam) override;

  Callback pressCallback;           // at the start of every click
  Callback checkedChangedCallback;
  CWULPushButton* groupPrev;
  CWULPushButton* groupNext;
  int32_t behaviour;
  uint8_t pressed;
  uint8_t checked;
  RECT faceRect;
  int32_t captureMode;  // 0 none, 1 space key held, 2 mouse

private:
  void Press();
  void Release(bool click);
  void MoveFocusInGroup(int key);
};
