#include "document/Selection.h"
#include <cstddef>
#include <cstdint>
#include <new>
#include "document/Image.h"

namespace {

const uint32_t kOutlinePattern[8] = {
    0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0,
    0xFFFFFFFF, 0xFFC0C0C0, 0xFF808080, 0xFF404040,
};

void ClearRect(Rect& r) {
  r.left = r.top = r.right = r.bottom = 0;
}

// Scans a mask for its non-zero bytes; false when there are none.
bool ScanBounds(const CMaskArray& m, Rect& out, bool* allFull) {
  ClearRect(out);
  if (allFull)
    *allFull = false;
  if (m.width <= 0 || m.height <= 0 || !m.data)
    return false;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(m.data);
  int32_t minX = m.width, minY = m.height, maxX = -1, maxY = -1;
  bool full = true;
  for (int32_t y = 0; y < m.height; ++y) {
    const uint8_t* row = p + static_cast<ptrdiff_t>(y) * m.width;
    for (int32_t x = 0; x < m.width; ++x) {
      uint8_t v = row[x];
      if (v != 255)
        full = false;
      if (v) {
        if (x < minX)
          minX = x;
        if (x > maxX)
          maxX = x;
        if (y < minY)
          minY = y;
        if (y > maxY)
          maxY = y;
      }
    }
  }
  if (allFull)
    *allFull = full;
  if (maxX < 0)
    return false;
  out.left = minX;
  out.top = minY;
  out.right = maxX + 1;
  out.bottom = maxY + 1;
  return true;
}

}  // namespace

CSelection::CSelection(CImage* image)
    : owner(image), width(0), height(0), active(0), supersampled(0), stack(nullptr), full(0),
      empty(1) {
  ClearRect(bounds);
  ClearRect(bounds8x);
}

CSelection::~CSelection() {
  delete stack;
}

CMaskArray* CSelection::GetMask() {
  if (supersampled && stack)
    return stack->GetLevel(CMaskSupersampleStack::TOP);
  return &mask;
}

CMaskArray* CSelection::GetSupersampleTop() {
  if (supersampled && stack)
    return stack->GetLevel(CMaskSupersampleStack::TOP);
  return nullptr;
}

void CSelection::GetBounds(Rect& out) const {
  out = supersampled ? bounds8x : bounds;
}

void CSelection::UpdateBounds() {
  full = 0;
  empty = 1;
  ClearRect(bounds);
  ClearRect(bounds8x);
  CMaskArray* edit = GetMask();
  if (!edit || edit->width <= 0 || edit->height <= 0 || !edit->data)
    return;
  bool allFull = false;
  Rect scanned;
  bool any = ScanBounds(*edit, scanned, &allFull);
  full = allFull ? 1 : 0;
  if (!any)
    return;
  empty = 0;
  if (supersampled) {
    bounds8x = scanned;
    ScanBounds(mask, bounds, nullptr);
  } else {
    bounds = scanned;
  }
}

void CSelection::Update(const Rect* rect) {
  if (supersampled && stack)
    stack->Reduce(rect);
  UpdateBounds();
}

void CSelection::SetSupersampling(bool on) {
  if ((supersampled != 0) == on)
    return;
  if (on) {
    CMaskSupersampleStack* created = new (std::nothrow) CMaskSupersampleStack();
    if (created) {
      created->Attach(&mask);
      if (created->IsComplete()) {
        created->Expand(nullptr);
        stack = created;
        supersampled = 1;
      } else {
        delete created;
      }
    }
  } else {
    delete stack;
    stack = nullptr;
    supersampled = 0;
  }
  UpdateBounds();
}

void CSelection::SyncToImage() {
  if (!owner)
    return;
  const bool s = owner->HasSupersampledLayer();
  const int32_t w = owner->GetWidth();
  const int32_t h = owner->GetHeight();
  if (mask.width == w && mask.height == h) {
    if (s)
      SetSupersampling(true);
    else if (!active)
      SetSupersampling(false);
    return;
  }
  active = 0;
  mask.SetSize(w, h);
  mask.Fill(0);
  // The size is stored first so that the bounds scan below sees the new mask.
  width = mask.width;
  height = mask.height;
  if (s == (supersampled != 0)) {
    if (stack) {
      stack->Attach(&mask);
      stack->Expand(nullptr);
      if (!stack->IsComplete()) {
        delete stack;
        stack = nullptr;
        supersampled = 0;
      }
    }
  } else {
    SetSupersampling(s);
  }
  UpdateBounds();
}

void CSelection::Clear() {
  if (!active)
    return;
  CMaskArray* edit = GetMask();
  if (edit)
    edit->Fill(0);
  Update(nullptr);
  active = 0;
  SyncToImage();
}

uint32_t CSelection::GetMemorySize() const {
  uint32_t size = 60 + mask.GetMemorySize();
  if (stack)
    size += stack->GetMemorySize();
  return size;
}

void CSelection::DrawOutline(CPixelArray& view, const Rect& viewRect, const Point& origin,
                             int32_t zoom, int32_t phase) const {
  if (zoom < 1 || !view.data)
    return;
  Rect r = viewRect;
  if (r.left < 0)
    r.left = 0;
  if (r.top < 0)
    r.top = 0;
  if (r.right > view.width)
    r.right = view.width;
  if (r.bottom > view.height)
    r.bottom = view.height;
  if (r.left >= r.right || r.top >= r.bottom)
    return;

  const CMaskArray* m = &mask;
  int32_t z = zoom;
  if (supersampled && stack) {
    int level = 0;
    while (z >= 2 && level < 3) {
      z >>= 1;
      ++level;
    }
    m = stack->GetLevel(level);
  }
  if (!m || !m->data || m->width <= 0 || m->height <= 0)
    return;

  auto clampTo = [](int32_t v, int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
  const int32_t col0 = clampTo((r.left - origin.x) / z, m->width);
  const int32_t col1 = clampTo((r.right + z - origin.x - 1) / z, m->width);
  const int32_t row0 = clampTo((r.top - origin.y) / z, m->height);
  const int32_t row1 = clampTo((r.bottom + z - origin.y - 1) / z, m->height);

  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(m->data);
  const int32_t mw = m->width;
  const int32_t mh = m->height;
  auto inside = [&](int32_t col, int32_t row) {
    return bytes[static_cast<ptrdiff_t>(row) * mw + col] >= 128;
  };
  uint32_t* pixels = reinterpret_cast<uint32_t*>(view.data);
  const int32_t vw = view.width;
  // Only the low three bits matter, so the sums wrap harmlessly.
  const uint32_t base = static_cast<uint32_t>(phase) + static_cast<uint32_t>(origin.x) +
                        static_cast<uint32_t>(origin.y);
  auto plot = [&](int32_t x, int32_t y) {
    const uint32_t step = static_cast<uint32_t>(x) + static_cast<uint32_t>(y) - base;
    pixels[static_cast<ptrdiff_t>(y) * vw + x] = kOutlinePattern[step & 7];
  };

  for (int32_t row = row0; row < row1; ++row) {
    for (int32_t col = col0; col < col1; ++col) {
      if (!inside(col, row))
        continue;
      const bool leftOpen = col == 0 || !inside(col - 1, row);
      const bool rightOpen = col == mw - 1 || !inside(col + 1, row);
      const bool topOpen = row == 0 || !inside(col, row - 1);
      const bool bottomOpen = row == mh - 1 || !inside(col, row + 1);
      if (z == 1) {
        if (leftOpen || rightOpen || topOpen || bottomOpen) {
          int32_t x = origin.x + col, y = origin.y + row;
          if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            plot(x, y);
        }
        continue;
      }
      const int32_t bx0 = origin.x + z * col, by0 = origin.y + z * row;
      const int32_t bx1 = bx0 + z, by1 = by0 + z;
      const int32_t x0 = bx0 > r.left ? bx0 : r.left;
      const int32_t y0 = by0 > r.top ? by0 : r.top;
      const int32_t x1 = bx1 < r.right ? bx1 : r.right;
      const int32_t y1 = by1 < r.bottom ? by1 : r.bottom;
      if (x0 >= x1 || y0 >= y1)
        continue;
      if (leftOpen && bx0 >= r.left)
        for (int32_t y = y0; y < y1; ++y)
          plot(bx0, y);
      if (topOpen && by0 >= r.top)
        for (int32_t x = x0; x < x1; ++x)
          plot(x, by0);
      if (rightOpen && bx1 <= r.right)
        for (int32_t y = y0; y < y1; ++y)
          plot(bx1 - 1, y);
      if (bottomOpen && by1 <= r.bottom)
        for (int32_t x = x0; x < x1; ++x)
          plot(x, by1 - 1);
    }
  }
}
