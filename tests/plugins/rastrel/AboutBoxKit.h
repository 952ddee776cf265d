#pragma once
// Looking at a plug-in's About box from outside: the client area's pixels, child rectangles
// and the picture resource that the box shows.
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <vector>

// A child's rectangle in its top-level window's client coordinates.
inline RECT ClientRectOf(HWND child, HWND box) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The client area as 0x00RRGGBB values, rows top-down.
inline std::vector<uint32_t> CaptureClient(HWND box, int* width, int* height) {
  RECT client;
  GetClientRect(box, &client);
  *width = client.right;
  *height = client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = -*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(box);
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits),
                               static_cast<uint32_t*>(bits) + size_t(*width) * *height);
  for (uint32_t& p : pixels)
    p &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(dib);
  ReleaseDC(box, screen);
  return pixels;
}

// A 32-bit bitmap resource as ARGB values, rows top-down; empty when there is none.
struct ResourceArt {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};

inline ResourceArt LoadResourceArt(HMODULE module, int id) {
  ResourceArt art;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
  if (!found)
    return art;
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.biBitCount != 32)
    return art;
  art.width = header.biWidth;
  art.height = header.biHeight;
  const uint32_t* rows = reinterpret_cast<const uint32_t*>(data + header.biSize);
  for (int y = 0; y < art.height; ++y)
    for (int x = 0; x < art.width; ++x)
      art.argb.push_back(rows[size_t(art.height - 1 - y) * art.width + x]);
  return art;
}

// How many opaque pixels the art has, and how many of them the capture shows unchanged
// with the art's top left corner at (left, top).
struct ArtMatch {
  int opaque = 0;
  int matching = 0;
};

inline ArtMatch MatchArt(const std::vector<uint32_t>& pixels, int width, int height,
                         const ResourceArt& art, int left, int top) {
  ArtMatch match;
  for (int y = 0; y < art.height; ++y)
    for (int x = 0; x < art.width; ++x) {
      const uint32_t p = art.argb[size_t(y) * art.width + x];
      if ((p >> 24) != 255)
        continue;
      ++match.opaque;
      if (left + x < width && top + y < height &&
          pixels[size_t(top + y) * width + left + x] == (p & 0xFFFFFF))
        ++match.matching;
    }
  return match;
}
