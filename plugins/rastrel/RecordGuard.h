#pragma once
// Owners of host records inside the readers and writers: the record is freed through the
// host's service on scope exit unless released.
#include "plugins/sdk/VCXPlugin.h"

class CLayeredImageGuard {
public:
  explicit CLayeredImageGuard(VCXLayeredImage* image = nullptr) : m_image(image) {}
  ~CLayeredImageGuard() {
    try {
      vcxFreeLayeredImage(m_image);
    } catch (...) {
    }
  }
  VCXLayeredImage* get() const { return m_image; }
  void reset(VCXLayeredImage* image) { m_image = image; }
  VCXLayeredImage* release() {
    VCXLayeredImage* image = m_image;
    m_image = nullptr;
    return image;
  }

private:
  CLayeredImageGuard(const CLayeredImageGuard&) = delete;
  CLayeredImageGuard& operator=(const CLayeredImageGuard&) = delete;
  VCXLayeredImage* m_image;
};

// A copy of one layer (service 0x1201), freed with 0x1101.
class CImageCopy {
public:
  explicit CImageCopy(const VCXImage* image) : m_image(nullptr) {
    VCXServiceFunction clone = vcxGetService(VCX_SC_CLONE_IMAGE);
    if (!clone)
      vcxThrow(VCX_ERROR_INTERNAL);
    m_image = reinterpret_cast<VCXCloneImageService>(reinterpret_cast<void*>(clone))(image);
    if (!m_image) {
      vcxThrowServiceError();
      vcxThrow(VCX_ERROR_INTERNAL);
    }
  }
  ~CImageCopy() {
    VCXServiceFunction free = vcxGetService(VCX_SC_FREE_IMAGE);
    if (free && m_image)
      reinterpret_cast<VCXFreeImageService>(reinterpret_cast<void*>(free))(m_image);
  }
  VCXImage* get() const { return m_image; }

private:
  CImageCopy(const CImageCopy&) = delete;
  CImageCopy& operator=(const CImageCopy&) = delete;
  VCXImage* m_image;
};
