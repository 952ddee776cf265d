#pragma once
// The Text tool: one line of text, rendered by the font engine into the tool's renderer,
// shown under the pointer and imprinted into the current raster layer in the pressed
// button's colour on a click. Alt picks colours.
#include <cstdint>
#include "document/Geometry.h"
#include "tools/TextRenderer.h"
#include "tools/Tool.h"
#include "wul/WULString.h"

enum { CURSOR_TEXT = 210 };

class CTextTool : public CTool {
public:
  enum { STATE_PRESSED = 2, STATE_PICKING = 3 };
  enum { MODE_NONE = 0, MODE_IMPRINT = 1, MODE_PICK = 2 };

  CTextTool();
  ~CTextTool() override;

  void Activate() override;
  void Deactivate() override;
  void CreateOptionsPane() override;
  void PointerLeft() override;
  void PointerEntered(const Point& pos) override;
  HCURSOR GetCursor(const Point& pos) override;
  void MouseMove(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void DrawOverlay(CToolOverlay& overlay) override;
  void ShowHint() override;

  // Stores the text and renders it again.
  void SetText(const char* value);
  const char* GetText() const { return text.text; }
  // After a change of the text or the font settings: renders again (when active), redraws
  // the feedback and lets the view ask for the cursor again.
  void Rerender();

  // The text box at p in 24.8 units: the drawn size centred on p, and the same box moved
  // onto the working-pixel grid.
  Rect GetTextBox(const Point& p) const;
  Rect GetSnappedTextBox(const Point& p) const;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }
  const Point& GetImprintPosition() const { return imprintPos; }
  CTextRenderer& GetRenderer() { return renderer; }

private:
  // True when the mode changed.
  bool UpdateMode();
  void InvalidateBox(const Point& p);
  void Imprint();

  CWULString text;
  int32_t state;
  int32_t mode;
  int32_t button;
  Point imprintPos;
  Point current;
  CTextRenderer renderer;
};

// The Text tool of the tool set, for its option controls.
extern CTextTool* g_TextTool;
