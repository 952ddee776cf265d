#include "tools/StrokePreview.h"
#include <cmath>
#include <cstdio>
#include "document/Geometry.h"
#include "tools/BrushTool.h"
#include "wul/WULFont.h"
#include "wul/WULPanel.h"

namespace {

// The centre of a brush of diameter d in a box of the given side, in pixel indices.
double PreviewCentre(int32_t side, int32_t d) {
  return (side - 1 - d % 2) / 2.0;
}

void Clear(float* coverage, int32_t width, int32_t height) {
  for (int32_t n = 0; n < width * height; ++n)
    coverage[n] = 0.0f;
}

}  // namespace

bool StrokePreviewShowsNumber(int32_t size, int32_t width) {
  return size > width - 2;
}

void ComputePencilPreview(int32_t size, int32_t width, int32_t height, float* coverage) {
  if (!coverage || width <= 0 || height <= 0)
    return;
  Clear(coverage, width, height);
  if (!StrokePreviewShowsNumber(size, width)) {
    const double cx = PreviewCentre(width, size);
    const double cy = PreviewCentre(height, size);
    const double r2 = (size / 2.0) * (size / 2.0);
    for (int32_t i = 0; i < height; ++i) {
      for (int32_t j = 0; j < width; ++j) {
        const double dx = j - cx;
        const double dy = i - cy;
        if (dx * dx + dy * dy <= r2)
          coverage[i * width + j] = 1.0f;
      }
    }
    return;
  }
  const int32_t d = width - 2;
  if (d <= 0)
    return;
  CCircle circle;
  circle.centerX = PreviewCentre(width, d);
  circle.centerY = PreviewCentre(height, d);
  circle.radius = d / 2.0;
  const double rim = std::sqrt(2.0) / 2.0;
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      const double dx = j - circle.centerX;
      const double dy = i - circle.centerY;
      const double distance = std::sqrt(dx * dx + dy * dy);
      float c;
      if (distance < circle.radius - rim) {
        c = 1.0f;
      } else if (distance > circle.radius + rim) {
        c = 0.0f;
      } else {
        // The coverage routine measures pixel j as the square [j, j + 1].
        CCircle square = circle;
        square.centerX += 0.5;
        square.centerY += 0.5;
        c = square.GetPixelCoverage(j, i);
      }
      coverage[i * width + j] = c;
    }
  }
}

void ComputeBrushPreview(int32_t size, int32_t hardness, int32_t width, int32_t height, float* coverage) {
  if (!coverage || width <= 0 || height <= 0)
    return;
  Clear(coverage, width, height);
  const int32_t d = size < width - 2 ? size : width - 2;
  if (d <= 0)
    return;
  const CDabProfile profile(d, hardness);
  const double cx = PreviewCentre(width, d);
  const double cy = PreviewCentre(height, d);
  for (int32_t i = 0; i < height; ++i)
    for (int32_t j = 0; j < width; ++j)
      coverage[i * width + j] = profile.GetCoverage(j - cx, i - cy);
}

void DrawStrokePreview(CWULPicture* picture, const float* coverage, int32_t number) {
  if (!picture || !coverage)
    return;
  CWULImage* image = picture->GetImage();
  if (!image || !image->pixels)
    return;
  const CWULColor back(picture->GetColor());
  CWULFont& font = picture->GetFont();
  const CWULColor ink(font.color);
  const int32_t w = image->width;
  const int32_t h = image->height;
  for (int32_t i = 0; i < h; ++i) {
    for (int32_t j = 0; j < w; ++j) {
      float c = coverage[i * w + j];
      c = c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
      image->pixels[i * w + j] = back.Blend(ink, c).value;
    }
  }
  if (number > 0) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    HDC dc = picture->buffer.GetDC();
    CWULTextFont selected(&font);
    selected.SetColor(back);
    if (selected.Select(dc)) {
      RECT box = {0, 0, w, h};
      DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      selected.Restore();
    }
    GdiFlush();
  }
  picture->Redraw();
}
