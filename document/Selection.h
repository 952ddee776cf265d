#pragma once
// The selection of an image: an 8-bit coverage mask (supersampled on demand), its derived
// full/empty flags and bounds, and the marching-ants outline drawn from it.
#include <cstdint>
#include "document/PixelArray.h"
#include "document/Supersample.h"

class CImage;

class CSelection {
public:
  explicit CSelection(CImage* owner);
  ~CSelection();
  CSelection(const CSelection&) = delete;
  CSelection& operator=(const CSelection&) = delete;

  CImage* GetOwner() const { return owner; }
  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }

  void SetActive(bool on) { active = on ? 1 : 0; }
  bool IsActive() const { return active != 0; }
  bool IsEmpty() const { return empty != 0; }
  bool IsFull() const { return full != 0; }
  bool IsSupersampled() const { return supersampled != 0; }

  // The mask that edits change: the 8x level while supersampled, else the 1x mask.
  CMaskArray* GetMask();
  // The 8x mask, or null when not supersampled.
  CMaskArray* GetSupersampleTop();
  CMaskSupersampleStack* GetSupersampleStack() const { return stack; }
  // The 8x bounds while supersampled, else the 1x bounds.
  void GetBounds(Rect& bounds) const;
  const Rect& GetBounds1x() const { return bounds; }

  // After an edit of the edit mask inside rect (1x coordinates; null = everything).
  void Update(const Rect* rect);
  void UpdateBounds();
  void SetSupersampling(bool on);
  // Follows the owner image's size and supersampling.
  void SyncToImage();
  void Clear();
  uint32_t GetMemorySize() const;

  // Marching ants into a view buffer; the caller advances phase to animate them.
  void DrawOutline(CPixelArray& view, const Rect& viewRect, const Point& origin, int32_t zoom,
                   int32_t phase) const;

private:
  CImage* owner;
  int32_t width;
  int32_t height;
  uint8_t active;
  uint8_t supersampled;
  CMaskArray mask;
  CMaskSupersampleStack* stack;
  uint8_t full;
  uint8_t empty;
  Rect bounds;
  Rect bounds8x;
};
