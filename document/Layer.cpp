#include "document/Layer.h"
#include <cstdio>
#include <cstring>
#include <new>
#include "document/Image.h"
#include "document/Selection.h"
#include "wul/WULFloatBits.h"

namespace {

void RenderArray(CPixelArray& target, const Rect& rect, const Point& origin,
                 const CPixelArray& source, int32_t zoom, int32_t mode, float opacity) {
  if (zoom < 1)
    return;
  if (mode == CLayer::RENDER_COPY) {
    target.CopyZoomed(rect, origin, source, zoom);
    target.ScaleAlpha(rect, opacity);
  } else if (mode == CLayer::RENDER_BLEND) {
    target.BlendZoomed(rect, origin, source, zoom, opacity);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CLayer

CLayer::CLayer(int32_t layerKind)
    : owner(nullptr), kind(layerKind), number(0), previous(nullptr), next(nullptr), id(0),
      displayNumber(0), width(0), height(0), visible(1), blendMode(BLEND_NORMAL), opacity(1.0f) {}

CLayer::~CLayer() {
  Detach();
}

void CLayer::Detach() {
  if (owner)
    owner->RemoveLayer(this);
}

void CLayer::FitToImage() {
  if (owner)
    Resize(owner->GetWidth(), owner->GetHeight());
  else
    Resize(0, 0);
}

void CLayer::Resize(int32_t newWidth, int32_t newHeight) {
  if (newWidth < 0)
    newWidth = 0;
  if (newHeight < 0)
    newHeight = 0;
  if (newWidth == width && newHeight == height && pixels.width == width &&
      pixels.height == height)
    return;
  pixels.SetSize(newWidth, newHeight);
  pixels.Fill(0);
  // A failed allocation leaves an empty array; the next fit tries again.
  width = pixels.width;
  height = pixels.height;
}

void CLayer::Update(const Rect*) {}

void CLayer::Render(CPixelArray& target, const Rect& rect, const Point& origin, int32_t zoom,
                    int32_t mode) {
  RenderArray(target, rect, origin, pixels, zoom, mode, opacity);
}

uint32_t CLayer::GetMemorySize() const {
  return 108 + pixels.GetMemorySize();
}

void CLayer::SetName(const char* text) {
  name.Assign(text);
}

void CLayer::SetOpacity(float value) {
  // Limited to 0..1 by its bits: NaN and denormals become 0 without trapping.
  opacity = wulUnitFloat(&value, 0.0f);
}

void CLayer::GetDisplayName(char* buffer, int32_t length) const {
  if (!buffer || length <= 0)
    return;
  if (name.text && name.text[0])
    std::snprintf(buffer, static_cast<size_t>(length), "%s", name.text);
  else
    std::snprintf(buffer, static_cast<size_t>(length), "%s %d", GetTypeName(),
                  static_cast<int>(displayNumber));
  buffer[length - 1] = '\0';
}

// ---------------------------------------------------------------------------------------------
// CRasterLayer

CRasterLayer::CRasterLayer() : CLayer(KIND_RASTER), supersampled(0), stack(nullptr) {}

CRasterLayer::~CRasterLayer() {
  Detach();
  delete stack;
}

void CRasterLayer::Resize(int32_t newWidth, int32_t newHeight) {
  const int32_t oldWidth = GetWidth(), oldHeight = GetHeight();
  const uint32_t* oldData = pixels.data;
  CLayer::Resize(newWidth, newHeight);
  // Unchanged: the supersampled levels keep their detail.
  if (GetWidth() == oldWidth && GetHeight() == oldHeight && pixels.data == oldData && (!stack || stack->IsComplete()))
    return;
  if (stack) {
    stack->Attach(&pixels);
    if (!stack->IsComplete()) {
      delete stack;
      stack = nullptr;
      supersampled = 0;
      return;
    }
    // The levels follow the cleared 1x pixels rather than keeping stale contents.
    stack->Expand(nullptr);
  }
}

void CRasterLayer::Update(const Rect* rect) {
  if (supersampled && stack)
    stack->Reduce(rect);
}

void CRasterLayer::Render(CPixelArray& target, const Rect& rect, const Point& origin,
                          int32_t zoom, int32_t mode) {
  if (zoom < 1)
    return;
  if (!supersampled || !stack) {
    CLayer::Render(target, rect, origin, zoom, mode);
    return;
  }
  int32_t level = 0;
  while (zoom > 1 && level < 3) {
    zoom >>= 1;
    ++level;
  }
  const CPixelArray* source = stack->GetLevel(level);
  if (source)
    RenderArray(target, rect, origin, *source, zoom, mode, GetOpacity());
}

const char* CRasterLayer::GetTypeName() const {
  return "Layer";
}

uint32_t CRasterLayer::GetMemorySize() const {
  uint32_t size = CLayer::GetMemorySize() + 8;
  if (stack)
    size += stack->GetMemorySize();
  return size;
}

void CRasterLayer::SetSupersampling(bool on) {
  if ((supersampled != 0) == on)
    return;
  if (on) {
    CPixelSupersampleStack* created = new (std::nothrow) CPixelSupersampleStack();
    if (!created)
      return;
    created->Attach(&pixels);
    if (!created->IsComplete()) {
      delete created;
      return;
    }
    created->Expand(nullptr);
    stack = created;
    supersampled = 1;
  } else {
    delete stack;
    stack = nullptr;
    supersampled = 0;
  }
}

CPixelArray* CRasterLayer::GetPixelArray() {
  if (supersampled && stack)
    return stack->GetLevel(CPixelSupersampleStack::TOP);
  return &pixels;
}

CPixelArray* CRasterLayer::GetSupersampleTop() {
  if (supersampled && stack)
    return stack->GetLevel(CPixelSupersampleStack::TOP);
  return nullptr;
}

CMaskArray* CRasterLayer::GetSelectionMask() {
  CImage* image = GetOwner();
  CSelection* selection = image ? image->GetSelection() : nullptr;
  if (!selection || !selection->IsActive())
    return nullptr;
  if (supersampled)
    return selection->GetSupersampleTop();
  if (selection->IsSupersampled() && selection->GetSupersampleStack())
    return selection->GetSupersampleStack()->GetLevel(0);
  return selection->GetMask();
}
