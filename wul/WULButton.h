#pragma once
// The push controls: the push button, the check box and the radio button, and two free
// functions the controls share (the mnemonic test and the circle's segment area).
#include "wul/WULControl.h"
#include "wul/WULCoverage.h"
#include "wul/WULOffscreen.h"

// True when ch is alphanumeric and, compared in upper case, is the character that
// follows a single '&' of the text; "&&" is a literal ampersand.
bool wulMatchMnemonic(const char* text, int ch);
// The area of the smaller circular segment that the chord from (x1, y1) to (x2, y2)
// cuts off a circle of radius r; a chord longer than the diameter counts as the diameter.
float wulSegmentArea(float x1, float y1, float x2, float y2, float r);

class CWULButton : public CWULPushButton {
public:
  CWULButton();

  virtual int GetBehaviour();
  virtual void SetBehaviour(int value);

  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  // Draws the whole button into dc.
  virtual void PaintButton(HDC dc);

  int32_t paddingX;
  int32_t paddingY;
  CWULOffscreenBuffer buffer;  // the button as last painted
};

enum {
  WUL_INDICATOR_LEFT = 0,
  WUL_INDICATOR_RIGHT = 1
};

// The common part of the check box and the radio button: an indicator beside the text,
// optionally with a picture between the two.
class CWULIndicatorButton : public CWULPushButton {
public:
  CWULIndicatorButton();
  ~CWULIndicatorButton() override;

  virtual int GetIndicatorSide();
  virtual void SetIndicatorSide(int side);
  virtual int GetIndicatorSize();
  virtual void SetIndicatorSize(int size);
  virtual int GetSpacing();
  virtual void SetSpacing(int value);
  // The indicator square in client coordinates.
  virtual void GetIndicatorRect(RECT* rect);
  // The colour inside the indicator for the current state.
  virtual CWULColor GetFillColor();
  // The picture drawn beside the indicator (faded when disabled), spacing away from it and
  // from the text; null for none. The button holds a reference.
  virtual CWULImage* GetPicture();
  virtual void SetPicture(CWULImage* image);

  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  virtual void PaintControl(HDC dc);
  virtual void PaintIndicator(HDC dc, const RECT* rect) = 0;

  CWULColor indicatorColor;
  CWULColor checkColor;
  int32_t indicatorSide;
  int32_t indicatorSize;
  int32_t spacing;
  CWULOffscreenBuffer buffer;  // the control as last painted
  CWULImage* picture;

protected:
  // The indicator colour, faded when the control is disabled.
  CWULColor OwnIndicatorColor();
};

class CWULCheckBox : public CWULIndicatorButton {
public:
  CWULCheckBox();
  void PaintIndicator(HDC dc, const RECT* rect) override;
};

class CWULRadioButton : public CWULIndicatorButton {
public:
  CWULRadioButton();
  void PaintIndicator(HDC dc, const RECT* rect) override;
};
