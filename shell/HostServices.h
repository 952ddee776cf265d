#pragma once
// The services that the host offers its plug-ins. The host owns every portable record:
// plug-ins create, copy, convert and free them only through these services. Services never
// throw; a failure returns null (or 0) and sets the calling thread's service error code.
#include "plugins/sdk/VCXRecords.h"

// Frees a portable record with FreeFn on scope exit unless released.
template <class T, void(WINAPI* FreeFn)(T*)>
class COwnedRecord {
public:
  explicit COwnedRecord(T* p = nullptr) : m_p(p) {}
  ~COwnedRecord() {
    if (m_p)
      FreeFn(m_p);
  }
  COwnedRecord(const COwnedRecord&) = delete;
  COwnedRecord& operator=(const COwnedRecord&) = delete;
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  T* release() {
    T* p = m_p;
    m_p = nullptr;
    return p;
  }
  void reset(T* p) {
    if (m_p)
      FreeFn(m_p);
    m_p = p;
  }

private:
  T* m_p;
};

// The resolver handed to each plug-in's VCXLink. An unknown id shows an error box and
// returns null.
VCXServiceFunction WINAPI GetServiceProc(uint32_t serviceId);

// The calling thread's service error code (service 0x100).
int32_t GetServiceError();

// The host's text for a plug-in error code; null for the codes that show nothing (0, 7).
const char* GetPluginErrorText(int code);

// The services, callable by the host itself.
int32_t WINAPI VcsGetLastError();
int32_t WINAPI VcsGetOption(uint32_t optionId);
int32_t WINAPI VcsGetMetric(uint32_t metricId);
uint32_t WINAPI VcsGetColor(uint32_t colorId);
int32_t WINAPI VcsReserved(int32_t, int32_t, int32_t);
VCXPalette* WINAPI VcsCreatePalette(const VCXPalette* request);
VCXImage* WINAPI VcsCreateImage(const VCXImage* request);
VCXLayeredImage* WINAPI VcsCreateLayeredImage(const VCXLayeredImage* request);
VCXMultiImage* WINAPI VcsCreateMultiImage(const VCXMultiImage* request);
VCXFileType* WINAPI VcsCreateFileType(const VCXFileType* request);
void WINAPI VcsFreePalette(VCXPalette* palette);
void WINAPI VcsFreeFileType(VCXFileType* type);
void WINAPI VcsFreeImage(VCXImage* image);
void WINAPI VcsFreeLayeredImage(VCXLayeredImage* image);
void WINAPI VcsFreeMultiImage(VCXMultiImage* image);
VCXPalette* WINAPI VcsClonePalette(const VCXPalette* palette);
VCXImage* WINAPI VcsCloneImage(const VCXImage* image);
VCXLayeredImage* WINAPI VcsCloneLayeredImage(const VCXLayeredImage* image);
VCXImage* WINAPI VcsConvertImage(VCXImage* image, uint32_t format, int32_t freeSource);
VCXLayeredImage* WINAPI VcsConvertLayeredImage(VCXLayeredImage* image, uint32_t format,
                                               int32_t freeSource);
VCXImage* WINAPI VcsResampleImage(VCXImage* image, int32_t width, int32_t height, int32_t method,
                                  const void* options, int32_t freeSource);
VCXLayeredImage* WINAPI VcsResampleLayeredImage(VCXLayeredImage* image, int32_t width,
                                                int32_t height, int32_t method,
                                                const void* options, int32_t freeSource);
VCXLayeredImage* WINAPI VcsFlatten(VCXLayeredImage* image, int32_t freeSource);
int32_t WINAPI VcsPremultiply(VCXImage* image);

// A multi-image record freed on scope exit unless released.
typedef COwnedRecord<VCXMultiImage, VcsFreeMultiImage> COwnedMultiImage;

// Bytes of one unpadded row: (bits per pixel x width + 7) / 8.
uint64_t GetRecordRowBytes(uint32_t format, int32_t width);
