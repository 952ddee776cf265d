#pragma once
// The status bar along the bottom of the main window: a help pane, a geometry pane, a pixel
// pane and a colour pane. Windows that describe what is under the pointer register a status
// callback; every tick the window under the pointer refreshes the panes, and the help,
// pixel and colour panes that nobody refreshed are cleared.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"
#include "wul/WULString.h"

class CWULImage;
class CWULInteractor;
class CWULPanel;
class CWULPicture;

class CStatusPane {
public:
  // Builds the pane's panel and picture in the current default parent.
  CStatusPane();
  // The panel belongs to the bar's window tree and is left to it.
  virtual ~CStatusPane();
  CStatusPane(const CStatusPane&) = delete;
  CStatusPane& operator=(const CStatusPane&) = delete;

  virtual void SetStale();
  // Empties the text (repainting when it was not empty) and notes the time.
  virtual void Clear();
  // A new non-empty text is shown at once; an empty one clears the pane only when the
  // last change is 100 ms or more ago.
  virtual void SetText(const char* newText);
  // Paints the pane into its picture.
  virtual void Paint() = 0;

  const char* GetText() const { return text.text; }
  bool IsStale() const { return stale; }
  CWULPanel* GetPanel() const { return panel; }
  CWULPicture* GetPicture() const { return picture; }

  enum { CLEAR_DELAY = 100 };

  bool stale;
  CWULString text;
  DWORD changeTime;  // GetTickCount of the last change
  CWULPanel* panel;
  CWULPicture* picture;

protected:
  // Paints and shows the picture again.
  void Repaint();
};

// The pane of the help text: the remaining width, the text cut with an ellipsis.
class CHelpPane : public CStatusPane {
public:
  CHelpPane();
  void Paint() override;
};

// A pane docked at the right with an icon and a centred text.
class CIconPane : public CStatusPane {
public:
  // The icon is taken over (null: none).
  CIconPane(int clientWidth, CWULImage* newIcon);
  ~CIconPane() override;
  // Takes the icon over, releases the old one and repaints.
  void SetIcon(CWULImage* newIcon);
  void Paint() override;

  CWULImage* icon;
};

// The windows that describe the pointer; newest first.
class CStatusRegistry {
public:
  // Client coordinates of the pointer in the window.
  typedef void (*Callback)(HWND window, int32_t x, int32_t y);
  typedef void (*Updater)(int32_t x, int32_t y);

  struct Entry {
    HWND window;
    Callback callback;  // one of the two is set
    Updater updater;
    Entry* next;
  };

  CStatusRegistry();
  ~CStatusRegistry();
  CStatusRegistry(const CStatusRegistry&) = delete;
  CStatusRegistry& operator=(const CStatusRegistry&) = delete;

  static void Register(HWND window, Callback callback);
  static void Register(HWND window, Updater updater);
  // Removes the first entry of the window.
  static void Unregister(HWND window);
  static void Clear();
  // The first entry of the window, or null.
  static Entry* Find(HWND window);
  static int32_t GetCount();

private:
  static void Add(Entry* entry);
};

// Builds the bar in the current default parent (the main window). Shows "Status bar
// creation failed" and passes a failure on.
void CreateStatusBar();

namespace StatusBar {

enum { PANE_HELP = 0, PANE_GEOMETRY = 1, PANE_PIXEL = 2, PANE_COLOR = 3, PANE_COUNT = 4 };

// The bar, or null while it does not exist.
CWULPanel* GetBar();
CStatusPane* GetPane(int which);

// Each writes one pane; nothing without the bar.
void SetHelpText(const char* text);
void SetPositionInt(int32_t x, int32_t y);
// 24.8 values, shown with three decimals.
void SetPosition(int32_t x, int32_t y);
void SetSize(int32_t w, int32_t h);
void SetSizeFixed(int32_t w, int32_t h);
void SetPixelPosition(int32_t x, int32_t y);
void SetColor(CColor color);
void SetColorText(const char* text);
void ClearGeometry();
void ClearColor();

// The ticker's client, public for the tests.
void OnTick();

// The main view's hooks into the registry.
void RegisterWindow(CWULInteractor* window, void (*updater)(int32_t x, int32_t y));
void UnregisterWindow(CWULInteractor* window);

}  // namespace StatusBar
