#pragma once
// Layers of an image. The bottom of the stack is the image's first layer.
#include <cstdint>
#include "document/PixelArray.h"
#include "document/Supersample.h"
#include "wul/WULString.h"

class CImage;

class CLayer {
public:
  enum { KIND_RASTER = 1 };
  enum { BLEND_NORMAL = 1, BLEND_REPLACE = 2 };
  enum { RENDER_COPY = 1, RENDER_BLEND = 2 };

  explicit CLayer(int32_t kind);
  // Removes the layer from its image.
  virtual ~CLayer();
  CLayer(const CLayer&) = delete;
  CLayer& operator=(const CLayer&) = delete;

  // Resizes to the owner image's size (0 x 0 without an owner).
  virtual void FitToImage();
  // A new size clears the pixels to 0.
  virtual void Resize(int32_t newWidth, int32_t newHeight);
  // Called after the layer's pixels were edited inside rect (1x; null = everything).
  virtual void Update(const Rect* rect);
  // Draws the layer magnified by zoom (>= 1) at origin into rect of target: RENDER_COPY
  // copies and scales the alpha by the opacity, RENDER_BLEND composes over the target.
  virtual void Render(CPixelArray& target, const Rect& rect, const Point& origin, int32_t zoom,
                      int32_t mode);
  virtual const char* GetTypeName() const = 0;
  virtual uint32_t GetMemorySize() const;

  CImage* GetOwner() const { return owner; }
  int32_t GetKind() const { return kind; }
  int32_t GetListNumber() const { return number; }
  CLayer* GetPrevious() const { return previous; }
  CLayer* GetNext() const { return next; }
  int32_t GetId() const { return id; }
  int32_t GetLinkId() const { return displayNumber; }
  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }
  bool IsVisible() const { return visible != 0; }
  int32_t GetBlendMode() const { return blendMode; }
  float GetOpacity() const { return opacity; }
  CPixelArray* GetPixels() { return &pixels; }
  const CPixelArray* GetPixels() const { return &pixels; }
  const char* GetName() const { return name.text; }

  // Setters only store; the caller recomposes the image when the picture changes.
  void SetName(const char* text);
  void SetVisible(bool on) { visible = on ? 1 : 0; }
  void SetBlendMode(int32_t mode) { blendMode = mode; }
  // Limited to 0..1.
  void SetOpacity(float value);
  void SetId(int32_t value) { id = value; }
  void SetLinkId(int32_t value) { displayNumber = value; }
  // The name, else the type name and the display number; cut to length and terminated.
  void GetDisplayName(char* buffer, int32_t length) const;

  void SetListNumber(int32_t n) { number = n; }

  // Layer command, defined with the image commands (tools/ImageCommands.cpp): selects the
  // layer of the current image in the layers panel and makes it the current layer.
  bool MakeCurrent();

protected:
  // Takes the layer out of its image (without deleting it).
  void Detach();

private:
  friend class CImage;

  CImage* owner;
  int32_t kind;
  int32_t number;
  CLayer* previous;
  CLayer* next;
  int32_t id;
  int32_t displayNumber;
  int32_t width;
  int32_t height;
  uint8_t visible;
  int32_t blendMode;
  float opacity;

protected:
  CPixelArray pixels;

private:
  CWULString name;
};

class CRasterLayer : public CLayer {
public:
  CRasterLayer();
  ~CRasterLayer() override;

  void Resize(int32_t newWidth, int32_t newHeight) override;
  // Reduces the 8x level to 1x inside rect while supersampled.
  void Update(const Rect* rect) override;
  void Render(CPixelArray& target, const Rect& rect, const Point& origin, int32_t zoom,
              int32_t mode) override;
  const char* GetTypeName() const override;
  uint32_t GetMemorySize() const override;

  bool IsSupersampled() const { return supersampled != 0; }
  // On: the 2x, 4x and 8x levels are built from the 1x pixels. A failed allocation
  // leaves supersampling off.
  void SetSupersampling(bool on);
  // The array that tools and actions edit: the 8x level while supersampled, else 1x.
  CPixelArray* GetPixelArray();
  // Shift between layer and edit coordinates: 3 while supersampled, else 0.
  int32_t GetSupersampleLevel() const { return supersampled ? 3 : 0; }
  CPixelArray* GetSupersampleTop();
  CPixelSupersampleStack* GetSupersampleStack() const { return stack; }
  // The owner image's selection mask that limits edits of the edit array (the 8x mask while
  // supersampled); null when the selection is not active.
  CMaskArray* GetSelectionMask();

private:
  uint8_t supersampled;
  CPixelSupersampleStack* stack;
};
