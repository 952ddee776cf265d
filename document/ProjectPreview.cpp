#include "document/ProjectPreview.h"
#include <cstdio>
#include <cstring>
#include "document/ChunkStream.h"
#include "document/Image.h"
#include "document/PixelArray.h"
#include "document/ProjectFile.h"
#include "shell/HostServices.h"

using namespace projectfile;

namespace {

const char kProjectTypeName[] = "Vellumcraft project";
const int32_t kProjectTypeId = 1;

int32_t GetField(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

// Reads a record of N fields; false when it lacks its last field.
template <int N>
bool ReadCompleteRecord(CChunkReader& file, int32_t (&fields)[N]) {
  uint8_t bytes[4 * N];
  std::memset(bytes, 0, sizeof bytes);
  std::memset(bytes + 4 * (N - 1), 0xFF, 4);
  file.ReadRecord(bytes, sizeof bytes);
  for (int i = 0; i < N; ++i)
    fields[i] = GetField(bytes + 4 * i);
  return fields[N - 1] != -1;
}

// Enters the first child chunk with the id; false (and outside every child) when the
// parent ends first.
bool EnterChild(CChunkReader& file, uint32_t wanted) {
  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == wanted)
      return true;
    file.EndChunk();
  }
  return false;
}

// A one-layer picture of the BMAP chunk the reader has just entered, or null. It may claim
// and do what the project reader would for a layer of that size in an image of that target
// format, so that every project that opens gets its picture.
VCXLayeredImage* ReadPreviewBitmap(CChunkReader& file, int32_t targetFormat) {
  const uint64_t start = file.GetPosition();
  int32_t f[6];
  if (!ReadCompleteRecord(file, f) || f[1] < 1 || f[2] < 1 || f[5] != BITMAP_ARGB)
    return nullptr;
  const int32_t width = f[1];
  const int32_t height = f[2];
  CProjectReader reader;
  reader.ClaimImageWithLayer(width, height, targetFormat);

  VCXLayeredImage request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof request;
  request.version = 1;
  request.format = VCX_FORMAT_32;
  request.width = width;
  request.height = height;
  request.layerCount = 1;
  COwnedRecord<VCXLayeredImage, VcsFreeLayeredImage> picture(VcsCreateLayeredImage(&request));
  if (!picture.get())
    return nullptr;

  VCXImage layerRequest;
  std::memset(&layerRequest, 0, sizeof layerRequest);
  layerRequest.headerSize = sizeof layerRequest;
  layerRequest.kind = VCX_KIND_COLOR;
  layerRequest.format = VCX_FORMAT_32;
  layerRequest.width = width;
  layerRequest.height = height;
  layerRequest.opacity = 1.0f;
  std::strcpy(layerRequest.name, "PREVIEW");
  VCXImage* layer = VcsCreateImage(&layerRequest);
  if (!layer)
    return nullptr;
  vcxSetLayerSlot(picture.get(), 0, layer);
  uint8_t* pixels = vcxGetPixelSlot(layer);
  if (!pixels)
    return nullptr;

  CPixelArray target(reinterpret_cast<uint32_t*>(pixels), width, height);
  target.Fill(0);
  file.Seek(start);
  reader.ReadBitmap(file, target);
  return picture.release();
}

// Walks the children of VCP1 for the thumbnail, or the only plain layer of the first image.
VCXLayeredImage* FindPicture(CChunkReader& file) {
  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_THMB) {
      int32_t f[1];
      if (!ReadCompleteRecord(file, f) || !EnterChild(file, ID_BMAP))
        return nullptr;
      return ReadPreviewBitmap(file, CImage::FORMAT_32BIT_ARGB);
    }
    if (id == ID_IMAG) {
      int32_t image[9];
      if (!ReadCompleteRecord(file, image) || image[8] != 1 || !EnterChild(file, ID_LAYR))
        return nullptr;
      int32_t layer[10];
      if (!ReadCompleteRecord(file, layer) || layer[1] != 1 || !EnterChild(file, ID_DATA))
        return nullptr;
      int32_t data[2];
      if (!ReadCompleteRecord(file, data) || data[1] != 0 || !EnterChild(file, ID_BMAP))
        return nullptr;
      return ReadPreviewBitmap(file, image[7]);
    }
    file.EndChunk();
  }
  return nullptr;
}

}  // namespace

VCXFileType* __cdecl GetProjectFileType() {
  VCXFileType request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof request;
  request.id = kProjectTypeId;
  std::strcpy(request.description, kProjectTypeName);
  request.extensionCount = 1;
  VCXFileType* type = VcsCreateFileType(&request);
  if (type) {
    VCXFileTypeExtension* extension = vcxGetFileTypeExtensions(type);
    extension->flags = 0;
    std::strcpy(extension->extension, "vcj");
  }
  return type;
}

VCXFileType* __cdecl GetNextProjectFileType() { return nullptr; }

int __cdecl CanExportProject(int, VCXMultiImage*, int* outFlags) {
  if (outFlags)
    *outFlags = 0;
  return 1;
}

int __cdecl CanImportProject(const char* path, int* outType, VCXLayeredImage** picture, char* description,
                             int size) {
  if (picture)
    *picture = nullptr;
  if (!path || !path[0])
    return 0;
  int32_t imageCount = 0;
  try {
    CChunkReader file;
    file.error.SetMode(CStreamError::MODE_THROW);
    file.Open(path);
    uint32_t id = 0;
    file.BeginChunk(id);
    int32_t header[4];
    if (id != ID_VCP1 || !ReadCompleteRecord(file, header))
      return 0;
    imageCount = header[3];
    if (outType)
      *outType = kProjectTypeId;
    if (picture) {
      try {
        *picture = FindPicture(file);
      } catch (...) {
        *picture = nullptr;
      }
    }
    file.CloseAll();
  } catch (...) {
    if (picture && *picture) {
      VcsFreeLayeredImage(*picture);
      *picture = nullptr;
    }
    return 0;
  }
  if (description && size > 0)
    std::snprintf(description, static_cast<size_t>(size), "%s\n%d %s", kProjectTypeName, imageCount,
                  imageCount == 1 ? "image" : "images");
  return 1;
}
