#include "document/ProjectFile.h"
#include <windows.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Predictors.h"
#include "document/Project.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "wul/WULFloatBits.h"

using namespace projectfile;

namespace {

uint32_t g_programVersion = 0x00090000;
uint64_t g_readBudgetCap = 0;
ReadMemoryStatusQuery g_readMemoryStatusQuery = nullptr;

const float kDefaultResolution = 3779.5276f;  // 96 dots per inch, in pixels per metre
const int32_t kMaxPaletteEntries = 256;

// Pixel work a read may do per pixel of memory it claimed, and a floor for small files.
const uint64_t kWorkPerPixel = 8;
const uint64_t kWorkFloor = uint64_t(1) << 26;

// What a read claims is what the project it builds holds, so that every project the
// program could hold and save loads back within the budget. Per pixel of an image: the
// composite and the selection mask; the preview of every target format but 32-bit; a layer;
// a layer cache for the second and for the third layer.
const uint64_t kImageBytesPerPixel = 4 + 1;
const uint64_t kPreviewBytesPerPixel = 4;
const uint64_t kLayerBytesPerPixel = 4;
const uint64_t kCacheBytesPerPixel = 4;
// The 2x, 4x and 8x levels of a supersampled layer, and those of the selection, which an
// image has once whatever the number of its supersampled layers.
const uint64_t kSupersampleLevelPixels = 4 + 16 + 64;
const uint64_t kLayerSupersampleBytesPerPixel = kSupersampleLevelPixels * 4;
const uint64_t kSelectionSupersampleBytesPerPixel = kSupersampleLevelPixels * 1;

uint64_t ImageClaim(uint64_t pixels, int32_t targetFormat) {
  return pixels * (kImageBytesPerPixel + (targetFormat == CImage::FORMAT_32BIT_ARGB ? 0 : kPreviewBytesPerPixel));
}

// The layer that becomes the image's layerIndex-th (from 0).
uint64_t LayerClaim(uint64_t pixels, int32_t layerIndex) {
  const bool addsCache = layerIndex == 1 || layerIndex == 2;
  return pixels * (kLayerBytesPerPixel + (addsCache ? kCacheBytesPerPixel : 0));
}

uint64_t Pixels(int32_t width, int32_t height) {
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
}

[[noreturn]] void Fail(const char* text) {
  throw CVCException(text);
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

void PutField(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetField(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

void WriteFields(CChunkWriter& file, std::initializer_list<uint32_t> fields) {
  uint8_t bytes[4 * 16];
  uint32_t n = 0;
  for (uint32_t v : fields)
    PutField(bytes + 4 * n++, v);
  file.WriteRecord(bytes, 4 * n);
}

template <int N>
void WriteFields(CChunkWriter& file, const int32_t (&fields)[N]) {
  uint8_t bytes[4 * N];
  for (int i = 0; i < N; ++i)
    PutField(bytes + 4 * i, static_cast<uint32_t>(fields[i]));
  file.WriteRecord(bytes, sizeof bytes);
}

// Reads a record of n fields; fields missing from a short record are 0, except the last,
// which keeps the sentinel -1.
template <int N>
void ReadFields(CChunkReader& file, int32_t (&fields)[N]) {
  uint8_t bytes[4 * N];
  std::memset(bytes, 0, sizeof bytes);
  PutField(bytes + 4 * (N - 1), 0xFFFFFFFFu);
  file.ReadRecord(bytes, sizeof bytes);
  for (int i = 0; i < N; ++i)
    fields[i] = GetField(bytes + 4 * i);
}

bool IsTargetFormat(int32_t code) {
  return code == 0 || code == CImage::FORMAT_1BIT_PALETTE || code == CImage::FORMAT_4BIT_PALETTE ||
         code == CImage::FORMAT_8BIT_PALETTE || code == CImage::FORMAT_24BIT_RGB ||
         code == CImage::FORMAT_32BIT_ARGB;
}

// What the reader refuses in a record, in the order it looks; the writer refuses the same
// before it writes anything.
enum RecordFault {
  FAULT_NONE,
  FAULT_MISSING_FIELD,
  FAULT_NO_PIXELS,
  FAULT_RESOLUTION,
  FAULT_TARGET_FORMAT,
  FAULT_IMAGE_TYPE,
  FAULT_LAYER_SIZE,
  FAULT_BLEND_MODE,
  FAULT_OPACITY,
  FAULT_LAYER_TYPE,
  FAULT_PALETTE_COUNT,
  FAULT_BITMAP_SIZE,
  FAULT_BITMAP_FORMAT
};

// The reader's message for a fault.
const char* ReaderText(RecordFault fault) {
  switch (fault) {
    case FAULT_TARGET_FORMAT:
      return "Unknown target format";
    case FAULT_IMAGE_TYPE:
      return "Unknown image type";
    case FAULT_BLEND_MODE:
      return "Unknown blend mode";
    case FAULT_LAYER_TYPE:
      return "Unknown layer type";
    case FAULT_BITMAP_FORMAT:
      return "Unknown bitmap format";
    default:
      return "Invalid data";
  }
}

// The IMAG record: flags, type, id, width, height, x and y resolution, target format, layer
// count. Relaxed checks mend a resolution that is not a number; an image of another type is
// a fault they skip.
RecordFault ImageRecordFault(const int32_t (&f)[9], bool relaxed) {
  if (f[8] == -1)
    return FAULT_MISSING_FIELD;
  if (f[3] <= 0 || f[4] <= 0)
    return FAULT_NO_PIXELS;
  // Judged by their bits: a denormal traps as soon as it is compared, and counts as damage
  // like infinity and NaN.
  if (!relaxed && (!wulIsUsableFloat(&f[5]) || !wulIsUsableFloat(&f[6])))
    return FAULT_RESOLUTION;
  if (!IsTargetFormat(f[7]))
    return FAULT_TARGET_FORMAT;
  if (f[1] != CImage::KIND_IMAGE)
    return FAULT_IMAGE_TYPE;
  return FAULT_NONE;
}

// The LAYR record: flags, type, id, number, width, height, 0, 0, blend mode, opacity. Relaxed
// checks mend an opacity that is not a number; a layer of another type is a fault they skip.
RecordFault LayerRecordFault(const int32_t (&f)[10], int32_t imageWidth, int32_t imageHeight, bool relaxed) {
  if (f[4] != imageWidth || f[5] != imageHeight || f[6] != 0 || f[7] != 0)
    return FAULT_LAYER_SIZE;
  if (f[8] != CLayer::BLEND_NORMAL && f[8] != CLayer::BLEND_REPLACE)
    return FAULT_BLEND_MODE;
  if (!relaxed && !wulIsUsableFloat(&f[9]))
    return FAULT_OPACITY;
  if (f[1] != CLayer::KIND_RASTER)
    return FAULT_LAYER_TYPE;
  return FAULT_NONE;
}

// Palettes of the target formats hold at most 256 entries.
RecordFault PaletteCountFault(int32_t count) {
  return count < 0 || count > kMaxPaletteEntries ? FAULT_PALETTE_COUNT : FAULT_NONE;
}

// The BMAP record (0, width, height, 0, 0, format) for a target array of that size.
RecordFault BitmapRecordFault(const int32_t (&f)[6], int64_t width, int64_t height) {
  if (f[1] != width || f[2] != height || f[3] != 0 || f[4] != 0)
    return FAULT_BITMAP_SIZE;
  if (f[5] != BITMAP_ARGB)
    return FAULT_BITMAP_FORMAT;
  return FAULT_NONE;
}

// A rectangle of a record inside a width x height bitmap.
bool IsValidRect(const int32_t* r, const CPixelArray& target) {
  return r[0] >= 0 && r[1] >= 0 && r[2] >= r[0] && r[3] >= r[1] && r[2] <= target.width &&
         r[3] <= target.height;
}

void FormatProgramVersion(char* buffer, int size, uint32_t version) {
  FormatVersion(buffer, version, size);
  buffer[size - 1] = '\0';
}

bool SettingBool(CBoolSetting* setting, bool fallback) {
  return setting ? setting->GetValue() : fallback;
}

int32_t SettingInt(CIntSetting* setting, int32_t fallback) {
  return setting ? setting->GetValue() : fallback;
}

}  // namespace

void SetProjectFileProgramVersion(uint32_t version) {
  g_programVersion = version;
}

uint32_t GetProjectFileProgramVersion() {
  return g_programVersion;
}

// =============================================================================================
// Reading

uint64_t GetReadMemoryBudget() {
  uint64_t budget = READ_MEMORY_BUDGET_32;
#ifdef _WIN64
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (g_readMemoryStatusQuery ? g_readMemoryStatusQuery(&status) : GlobalMemoryStatusEx(&status) != 0) {
    const uint64_t commit = status.ullAvailPageFile < status.ullAvailVirtual ? status.ullAvailPageFile
                                                                              : status.ullAvailVirtual;
    if (commit > budget)
      budget = commit;
  }
#endif
  if (g_readBudgetCap && budget > g_readBudgetCap)
    budget = g_readBudgetCap;
  return budget;
}

void SetReadMemoryBudgetCap(uint64_t cap) { g_readBudgetCap = cap; }

void SetReadMemoryStatusQuery(ReadMemoryStatusQuery query) { g_readMemoryStatusQuery = query; }

CProjectReader::CProjectReader()
    : relaxedChecks(SettingBool(g_Settings.projectFileRelaxedChecks, false) ? 1 : 0),
      memoryBudget(GetReadMemoryBudget()), memoryClaimed(0), workDone(0) {}

CProject* CProjectReader::Read(const char* path) {
  try {
    return Load(path);
  } catch (const CVCException& e) {
    ErrorBox(e.message.text && e.message.text[0] ? e.message.text
                                                  : "Error while reading the project file");
  } catch (...) {
    ErrorBox("Error while reading the project file");
  }
  return nullptr;
}

CProject* CProjectReader::Load(const char* path) {
  memoryBudget = GetReadMemoryBudget();
  memoryClaimed = 0;
  workDone = 0;
  CChunkReader file;
  file.error.SetMode(CStreamError::MODE_THROW);
  file.Open(path);

  // Anything that does not start with the project chunk is not a project file.
  uint8_t magic[4] = {0, 0, 0, 0};
  file.error.SetMode(CStreamError::MODE_RETURN);
  const bool gotMagic = file.Read(magic, sizeof magic);
  file.error.Reset();
  file.error.SetMode(CStreamError::MODE_THROW);
  if (!gotMagic || std::memcmp(magic, "VCP1", 4) != 0)
    Fail("Unknown file format");
  file.Seek(0);

  uint32_t id = 0;
  file.BeginChunk(id);
  if (id != ID_VCP1)
    Fail("Unknown file format");
  int32_t header[4];
  ReadFields(file, header);
  if (header[3] == -1)
    Fail("Invalid data");
  if (!relaxedChecks && static_cast<uint32_t>(header[2]) > g_programVersion) {
    char version[32];
    FormatProgramVersion(version, sizeof version, static_cast<uint32_t>(header[2]));
    char text[256];
    std::snprintf(text, sizeof text,
                  "This file should be opened by Vellumcraft version\xA0%s\xA0or later.\n"
                  "Try to enable relaxed integrity checks",
                  version);
    Fail(text);
  }
  std::unique_ptr<CProject> project(new (std::nothrow) CProject());
  if (!project)
    Fail("Insufficient memory");

  while (!file.AtChunkEnd()) {
    file.BeginChunk(id);
    if (id == ID_IMAG)
      ReadImage(file, *project);
    file.EndChunk();
  }
  if (!relaxedChecks && project->GetImageCount() != header[3])
    Fail("Project is corrupted");
  file.EndChunk();
  file.Close();
  return project.release();
}

void CProjectReader::ClaimMemory(uint64_t bytes) {
  if (bytes > memoryBudget || memoryClaimed + bytes > memoryBudget)
    Fail("Insufficient memory");
  memoryClaimed += bytes;
}

void CProjectReader::ClaimImageWithLayer(int32_t width, int32_t height, int32_t targetFormat) {
  if (width <= 0 || height <= 0)
    Fail("Invalid data");
  const uint64_t pixels = Pixels(width, height);
  ClaimMemory(ImageClaim(pixels, targetFormat));
  ClaimMemory(LayerClaim(pixels, 0));
}

void CProjectReader::ClaimWork(uint64_t pixels) {
  workDone += pixels;
  if (workDone > kWorkFloor + kWorkPerPixel * (memoryClaimed / 4))
    Fail("Invalid data");
}

void CProjectReader::ReadImage(CChunkReader& file, CProject& project) {
  int32_t f[9];
  ReadFields(file, f);
  const RecordFault fault = ImageRecordFault(f, relaxedChecks != 0);
  if (fault == FAULT_IMAGE_TYPE && relaxedChecks)
    return;
  if (fault != FAULT_NONE)
    Fail(ReaderText(fault));
  const int32_t flags = f[0];
  const int32_t imageId = f[2];
  const int32_t width = f[3];
  const int32_t height = f[4];
  const float xResolution = wulUsableFloat(&f[5], kDefaultResolution);
  const float yResolution = wulUsableFloat(&f[6], kDefaultResolution);
  const int32_t format = f[7];
  const int32_t layerCount = f[8];
  ClaimMemory(ImageClaim(Pixels(width, height), format));

  std::unique_ptr<CImage> image(new (std::nothrow) CImage());
  if (!image)
    Fail("Insufficient memory");
  image->BeginUpdate();
  // Ids must be positive and unique: anything else gets a fresh one.
  if (imageId > 0 && !project.FindImage(imageId))
    image->SetId(imageId);
  image->SetSize(width, height);
  if (!image->GetComposite()->data)
    Fail("Insufficient memory");
  image->SetResolution(xResolution, yResolution);
  image->SetTargetFormat(format);
  image->SetFlagA((flags & IMAGE_FLAG_A) != 0);
  image->SetPaletteFixed((flags & IMAGE_PALETTE_FIXED) != 0);
  image->SetForExport((flags & IMAGE_NOT_FOR_EXPORT) == 0);

  int32_t layersRead = 0;
  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_LAYR) {
      ReadLayer(file, *image);
      ++layersRead;
    } else if (id == ID_PLTE && image->GetPalette()) {
      ReadPalette(file, *image->GetPalette());
    }
    file.EndChunk();
  }
  // Layers skipped under relaxed checks are counted too; only strict reads compare.
  if (!relaxedChecks && layersRead != layerCount)
    Fail("Image is corrupted");

  image->EndUpdate();
  if (image->GetPalette())
    image->GetPalette()->ClearLookup();
  CImage* added = image.release();
  project.AddImage(added);
  if (flags & IMAGE_CURRENT)
    project.SetCurrentImage(added);
}

void CProjectReader::ReadLayer(CChunkReader& file, CImage& image) {
  int32_t f[10];
  ReadFields(file, f);
  const RecordFault fault = LayerRecordFault(f, image.GetWidth(), image.GetHeight(), relaxedChecks != 0);
  if (fault == FAULT_LAYER_TYPE && relaxedChecks)
    return;
  if (fault != FAULT_NONE)
    Fail(ReaderText(fault));
  const int32_t flags = f[0];
  const int32_t layerId = f[2];
  const int32_t number = f[3];
  const int32_t blendMode = f[8];
  const float opacity = wulUsableFloat(&f[9], 0.0f);
  ClaimMemory(LayerClaim(Pixels(image.GetWidth(), image.GetHeight()), image.GetLayerCount()));
  CRasterLayer* layer = new (std::nothrow) CRasterLayer();
  if (!layer)
    Fail("Insufficient memory");
  if (layerId > 0 && !image.FindLayer(layerId))
    layer->SetId(layerId);
  layer->SetLinkId(number > 0 ? number : 0);
  layer->SetBlendMode(blendMode);
  layer->SetOpacity(opacity);
  layer->SetVisible((flags & LAYER_HIDDEN) == 0);
  // In the image from here on (which sizes it and owns it): the pixels are read in place.
  image.AddLayer(layer);
  if (!layer->GetPixels()->data)
    Fail("Insufficient memory");

  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_DATA) {
      ReadLayerData(file, *layer);
    } else if (id == ID_NAME) {
      CWULString name;
      file.ReadString(name);
      layer->SetName(name.text);
    }
    file.EndChunk();
  }
  if (flags & LAYER_CURRENT)
    image.SetActiveLayer(layer);
}

void CProjectReader::ReadLayerData(CChunkReader& file, CLayer& layer) {
  int32_t f[2];
  ReadFields(file, f);
  const int32_t level = f[1];
  if (level != 0 && level != 3)
    Fail("Invalid data");
  CRasterLayer& raster = static_cast<CRasterLayer&>(layer);
  if (level == 3 && !raster.IsSupersampled()) {
    const bool firstOfImage = !layer.GetOwner() || !layer.GetOwner()->HasSupersampledLayer();
    ClaimMemory(static_cast<uint64_t>(layer.GetWidth()) * static_cast<uint64_t>(layer.GetHeight()) *
                (kLayerSupersampleBytesPerPixel +
                 (firstOfImage ? kSelectionSupersampleBytesPerPixel : 0)));
    raster.SetSupersampling(true);
    if (!raster.IsSupersampled())
      Fail("Insufficient memory");
  }
  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_BMAP) {
      CPixelArray* target = raster.GetPixelArray();
      ReadBitmap(file, *target);
      if (raster.IsSupersampled()) {
        ClaimWork(static_cast<uint64_t>(target->width) * static_cast<uint64_t>(target->height));
        raster.Update(nullptr);
      }
    }
    file.EndChunk();
  }
}

void CProjectReader::ReadPalette(CChunkReader& file, CPalette& palette) {
  int32_t f[2];
  ReadFields(file, f);
  const int32_t count = f[1];
  const RecordFault fault = PaletteCountFault(count);
  if (fault != FAULT_NONE)
    Fail(ReaderText(fault));
  palette.SetCount(count);
  if (palette.GetCount() != count)
    Fail("Insufficient memory");
  for (int32_t i = 0; i < count; ++i)
    palette.GetEntry(i)->SetColor(0);

  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_DATA) {
      int32_t d[5];
      ReadFields(file, d);
      const int32_t first = d[1];
      const int32_t n = d[2];
      const int32_t format = d[3];
      const int32_t method = d[4];
      if (method == -1 || first < 0 || n < 0 ||
          static_cast<int64_t>(first) + n > palette.GetCount())
        Fail("Invalid data");
      if (n > 0) {
        if (format != PALETTE_RGB && format != PALETTE_ARGB)
          Fail("Unknown palette format");
        const int32_t size = format == PALETTE_RGB ? 3 : 4;
        uint8_t bytes[4 * kMaxPaletteEntries];
        if (method != 0)
          file.BeginDecompression(method);
        file.Read(bytes, static_cast<uint32_t>(n * size));
        if (method != 0)
          file.EndDecompression();
        for (int32_t i = 0; i < n; ++i) {
          const uint8_t* e = bytes + i * size;
          CPaletteEntry* entry = palette.GetEntry(first + i);
          if (format == PALETTE_RGB)
            entry->SetRgb(e[0], e[1], e[2]);
          else
            entry->SetArgb(e[0], e[1], e[2], e[3]);
        }
      }
    }
    file.EndChunk();
  }
}

void CProjectReader::ReadBitmap(CChunkReader& file, CPixelArray& target) {
  int32_t f[6];
  ReadFields(file, f);
  const RecordFault fault = BitmapRecordFault(f, target.width, target.height);
  if (fault != FAULT_NONE)
    Fail(ReaderText(fault));
  ClaimWork(static_cast<uint64_t>(target.width) * static_cast<uint64_t>(target.height));
  target.Fill(0);
  while (!file.AtChunkEnd()) {
    uint32_t id = 0;
    file.BeginChunk(id);
    if (id == ID_DATA)
      ReadTileRun(file, target);
    else if (id == ID_FILL)
      ReadFill(file, target);
    file.EndChunk();
  }
}

void CProjectReader::ReadTileRun(CChunkReader& file, CPixelArray& target) {
  int32_t f[10];
  ReadFields(file, f);
  const int32_t* rect = f + 1;
  const int32_t format = f[5];
  int32_t tileWidth = f[6];
  int32_t tileHeight = f[7];
  const int32_t predictorNumber = f[8];
  const int32_t method = f[9];
  if (method == -1 || !IsValidRect(rect, target) || tileWidth < 0 || tileHeight < 0)
    Fail("Invalid data");
  const int32_t left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
  if (left == right || top == bottom)
    return;
  if (tileWidth == 0 || tileWidth > right - left)
    tileWidth = right - left;
  if (tileHeight == 0 || tileHeight > bottom - top)
    tileHeight = bottom - top;
  ClaimWork(static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top));

  if (method != 0)
    file.BeginDecompression(method);
  std::unique_ptr<CPixelPredictor> predictor;
  int32_t bytesPerPixel;
  if (format == PIXELS_ALPHA) {
    if (predictorNumber != 0)
      Fail("Alpha prediction is not supported");
    bytesPerPixel = 1;
  } else if (format == PIXELS_RESIDUALS) {
    predictor.reset(CreatePredictor(&target, predictorNumber));
    bytesPerPixel = 3;
  } else {
    Fail("Unknown pixel format");
  }
  std::vector<uint8_t> row(static_cast<size_t>(tileWidth) * bytesPerPixel);
  for (int64_t ty = top; ty < bottom; ty += tileHeight) {
    const int32_t tb = static_cast<int32_t>(ty + tileHeight < bottom ? ty + tileHeight : bottom);
    for (int64_t tx = left; tx < right; tx += tileWidth) {
      const int32_t tl = static_cast<int32_t>(tx);
      const int32_t tr = static_cast<int32_t>(tx + tileWidth < right ? tx + tileWidth : right);
      const int32_t n = tr - tl;
      for (int32_t y = static_cast<int32_t>(ty); y < tb; ++y) {
        file.Read(row.data(), static_cast<uint32_t>(n * bytesPerPixel));
        if (predictor) {
          for (int32_t i = 0; i < n; ++i)
            predictor->Reconstruct(tl + i, y, row.data() + 3 * i);
        } else {
          uint32_t* pixel = target.PixelAt(tl, y);
          for (int32_t i = 0; i < n; ++i)
            pixel[i] = (pixel[i] & 0x00FFFFFFu) | (static_cast<uint32_t>(row[i]) << 24);
        }
      }
    }
  }
  if (method != 0)
    file.EndDecompression();
}

void CProjectReader::ReadFill(CChunkReader& file, CPixelArray& target) {
  int32_t f[6];
  ReadFields(file, f);
  const int32_t* rect = f + 1;
  const int32_t format = f[5];
  if (format == -1 || !IsValidRect(rect, target))
    Fail("Invalid data");
  if (format != FILL_ALPHA && format != FILL_RGB && format != FILL_ARGB)
    Fail("Unknown fill format");
  const int32_t left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
  if (left == right || top == bottom)
    return;
  uint8_t v[4] = {0, 0, 0, 0};
  file.Read(v, format == FILL_ALPHA ? 1 : (format == FILL_RGB ? 3 : 4));
  ClaimWork(static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top));
  uint32_t keep, value;
  if (format == FILL_ALPHA) {
    keep = 0x00FFFFFFu;
    value = static_cast<uint32_t>(v[0]) << 24;
  } else if (format == FILL_RGB) {
    keep = 0xFF000000u;
    value = (static_cast<uint32_t>(v[0]) << 16) | (static_cast<uint32_t>(v[1]) << 8) | v[2];
  } else {
    keep = 0;
    value = (static_cast<uint32_t>(v[0]) << 24) | (static_cast<uint32_t>(v[1]) << 16) |
            (static_cast<uint32_t>(v[2]) << 8) | v[3];
  }
  for (int32_t y = top; y < bottom; ++y) {
    uint32_t* pixel = target.PixelAt(left, y);
    for (int32_t x = 0; x < right - left; ++x)
      pixel[x] = (pixel[x] & keep) | value;
  }
}

// =============================================================================================
// Writing

CProjectWriter::CProjectWriter()
    : compression(SettingInt(g_Settings.projectFileCompression, 1)),
      embedThumbnails(SettingBool(g_Settings.projectFileEmbedThumbnails, true) ? 1 : 0),
      maxThumbnailSize(SettingInt(g_Settings.projectFileMaxThumbnailSize, 256)),
      maxThumbnailSizeEx(SettingInt(g_Settings.projectFileMaxThumbnailSizeEx, 1024)) {}

bool CProjectWriter::Write(const char* path, CProject* project) {
  try {
    Save(path, project);
    return true;
  } catch (const CVCException& e) {
    ErrorBox(e.message.text && e.message.text[0] ? e.message.text
                                                  : "Error while writing the project file");
  } catch (...) {
    ErrorBox("Error while writing the project file");
  }
  return false;
}

void CProjectWriter::Save(const char* path, CProject* project) {
  if (!project)
    Fail("Error while writing the project file");
  // Nothing is written, nor the file at path replaced, for a project that would not load.
  CheckReadable(*project);
  CChunkWriter file;
  try {
    WriteFileReplacing(file, path, [&] { WriteProject(file, *project); });
  } catch (const CVCException&) {
    throw;
  } catch (...) {
    Fail("Error while writing the project file");
  }
}

void CProjectWriter::WriteProject(CChunkWriter& file, CProject& project) {
  file.BeginChunk(ID_VCP1);
  WriteFields(file, {0, static_cast<uint32_t>(FILE_VERSION), 0,
                     static_cast<uint32_t>(project.GetImageCount())});

  char version[32];
  FormatProgramVersion(version, sizeof version, g_programVersion);
  char creator[64];
  std::snprintf(creator, sizeof creator, "Vellumcraft %s", version);
  file.BeginChunk(ID_CREA);
  file.WriteString(creator);
  file.EndChunk();

  SYSTEMTIME now;
  GetLocalTime(&now);
  const uint8_t time[8] = {0,
                           static_cast<uint8_t>(now.wYear),
                           static_cast<uint8_t>(now.wYear >> 8),
                           static_cast<uint8_t>(now.wMonth),
                           static_cast<uint8_t>(now.wDay),
                           static_cast<uint8_t>(now.wHour),
                           static_cast<uint8_t>(now.wMinute),
                           static_cast<uint8_t>(now.wSecond)};
  file.BeginChunk(ID_TIME);
  file.WriteRecord(time, sizeof time);
  file.EndChunk();

  if (embedThumbnails) {
    CImage* thumbnail = ChooseThumbnail(&project);
    if (thumbnail)
      WriteThumbnail(file, *thumbnail);
  }
  for (CImage* image = project.GetFirstImage(); image; image = image->GetNext())
    WriteImage(file, project, *image);
  file.EndChunk();
}

namespace {

void ImageFields(CProject& project, CImage& image, int32_t (&f)[9]) {
  int32_t flags = 0;
  if (project.GetCurrentImage() == &image)
    flags |= IMAGE_CURRENT;
  if (image.GetFlagA())
    flags |= IMAGE_FLAG_A;
  if (image.IsPaletteFixed())
    flags |= IMAGE_PALETTE_FIXED;
  if (!image.IsForExport())
    flags |= IMAGE_NOT_FOR_EXPORT;
  const int32_t fields[9] = {flags,
                             image.GetKind(),
                             image.GetId(),
                             image.GetWidth(),
                             image.GetHeight(),
                             static_cast<int32_t>(FloatBits(image.GetXResolution())),
                             static_cast<int32_t>(FloatBits(image.GetYResolution())),
                             image.GetTargetFormat(),
                             image.GetLayerCount()};
  std::memcpy(f, fields, sizeof fields);
}

void LayerFields(CImage& image, CLayer& layer, int32_t (&f)[10]) {
  int32_t flags = 0;
  if (image.GetActiveLayer() == &layer)
    flags |= LAYER_CURRENT;
  if (!layer.IsVisible())
    flags |= LAYER_HIDDEN;
  const int32_t fields[10] = {flags,           layer.GetKind(),   layer.GetId(),
                              layer.GetLinkId(), layer.GetWidth(), layer.GetHeight(),
                              0,               0,                 layer.GetBlendMode(),
                              static_cast<int32_t>(FloatBits(layer.GetOpacity()))};
  std::memcpy(f, fields, sizeof fields);
}

void BitmapFields(const CPixelArray& pixels, int32_t (&f)[6]) {
  const int32_t fields[6] = {0, pixels.width, pixels.height, 0, 0, BITMAP_ARGB};
  std::memcpy(f, fields, sizeof fields);
}

// What the user is told of a project the reader would refuse.
[[noreturn]] void RefuseToSave(RecordFault fault, int32_t imageNumber, const CImage& image,
                               const CLayer* layer) {
  char layerName[128] = "";
  if (layer)
    layer->GetDisplayName(layerName, sizeof layerName);
  char cause[256];
  switch (fault) {
    case FAULT_NO_PIXELS:
      std::snprintf(cause, sizeof cause, "image %d has no pixels (%d x %d)", static_cast<int>(imageNumber),
                    static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()));
      break;
    case FAULT_RESOLUTION:
      std::snprintf(cause, sizeof cause, "the resolution of image %d is not a number",
                    static_cast<int>(imageNumber));
      break;
    case FAULT_TARGET_FORMAT:
      std::snprintf(cause, sizeof cause, "image %d has an unknown color format", static_cast<int>(imageNumber));
      break;
    case FAULT_PALETTE_COUNT:
      std::snprintf(cause, sizeof cause, "the palette of image %d has more than 256 colors",
                    static_cast<int>(imageNumber));
      break;
    case FAULT_LAYER_SIZE:
    case FAULT_BITMAP_SIZE:
      std::snprintf(cause, sizeof cause, "the pixels of layer \"%s\" of image %d are not the image's size",
                    layerName, static_cast<int>(imageNumber));
      break;
    case FAULT_BLEND_MODE:
      std::snprintf(cause, sizeof cause, "layer \"%s\" of image %d has an unknown blend mode", layerName,
                    static_cast<int>(imageNumber));
      break;
    case FAULT_OPACITY:
      std::snprintf(cause, sizeof cause, "the opacity of layer \"%s\" of image %d is not a number", layerName,
                    static_cast<int>(imageNumber));
      break;
    default:
      if (layer)
        std::snprintf(cause, sizeof cause, "layer \"%s\" of image %d is of an unknown kind", layerName,
                      static_cast<int>(imageNumber));
      else
        std::snprintf(cause, sizeof cause, "image %d is of an unknown kind", static_cast<int>(imageNumber));
      break;
  }
  char text[512];
  std::snprintf(text, sizeof text,
                "The project cannot be saved, because Vellumcraft could not open the file again: %s.", cause);
  Fail(text);
}

}  // namespace

void CProjectWriter::CheckReadable(CProject& project) const {
  int32_t imageNumber = 0;
  for (CImage* image = project.GetFirstImage(); image; image = image->GetNext()) {
    ++imageNumber;
    int32_t imageFields[9];
    ImageFields(project, *image, imageFields);
    RecordFault fault = ImageRecordFault(imageFields, false);
    if (fault != FAULT_NONE)
      RefuseToSave(fault, imageNumber, *image, nullptr);
    // The reader reads a fixed palette only for a target format that has one.
    if (image->IsPaletteFixed() && image->GetPalette()) {
      fault = PaletteCountFault(image->GetPalette()->GetCount());
      if (fault != FAULT_NONE)
        RefuseToSave(fault, imageNumber, *image, nullptr);
    }
    for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext()) {
      int32_t layerFields[10];
      LayerFields(*image, *layer, layerFields);
      fault = LayerRecordFault(layerFields, image->GetWidth(), image->GetHeight(), false);
      if (fault == FAULT_NONE && layer->GetKind() == CLayer::KIND_RASTER) {
        // The bitmap goes into the layer's array, or into its 8x array when supersampled.
        CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
        CPixelArray* top = raster->GetSupersampleTop();
        const int64_t scale = top ? 8 : 1;
        int32_t bitmapFields[6];
        BitmapFields(top ? *top : *raster->GetPixels(), bitmapFields);
        fault = BitmapRecordFault(bitmapFields, scale * image->GetWidth(), scale * image->GetHeight());
      }
      if (fault != FAULT_NONE)
        RefuseToSave(fault, imageNumber, *image, layer);
    }
  }
}

CImage* CProjectWriter::ChooseThumbnail(CProject* project) const {
  if (!project || project->GetImageCount() == 0)
    return nullptr;
  if (project->GetImageCount() == 1) {
    CImage* image = project->GetFirstImage();
    const int32_t larger = image->GetWidth() > image->GetHeight() ? image->GetWidth()
                                                                  : image->GetHeight();
    CLayer* layer = image->GetFirstLayer();
    // A lone plain layer is its own preview.
    if (larger <= maxThumbnailSizeEx && image->GetLayerCount() == 1 && layer &&
        layer->GetKind() == CLayer::KIND_RASTER &&
        !static_cast<CRasterLayer*>(layer)->IsSupersampled())
      return nullptr;
    return image;
  }
  bool anyForExport = false;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext())
    anyForExport = anyForExport || image->IsForExport();
  CImage* best = nullptr;
  float bestScore = 0.0f;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
    if (anyForExport && !image->IsForExport())
      continue;
    const float score = GetThumbnailScore(image);
    if (score > bestScore) {
      bestScore = score;
      best = image;
    }
  }
  return best;
}

void CProjectWriter::WriteThumbnail(CChunkWriter& file, CImage& image) {
  CPixelArray* composite = image.GetComposite();
  const int32_t w = composite->width;
  const int32_t h = composite->height;
  file.BeginChunk(ID_THMB);
  WriteFields(file, {0});
  const int32_t larger = w > h ? w : h;
  if (larger <= maxThumbnailSize || w <= 0 || h <= 0) {
    WriteBitmap(file, *composite);
  } else {
    const double s = std::fmin(static_cast<double>(maxThumbnailSize) / w,
                               static_cast<double>(maxThumbnailSize) / h);
    const long tw = std::lround(w * s);
    const long th = std::lround(h * s);
    CPixelArray small(tw > 1 ? static_cast<int32_t>(tw) : 1, th > 1 ? static_cast<int32_t>(th) : 1);
    if (!small.data)
      Fail("Insufficient memory");
    CResampleOptions options;
    options.pixelSamples = 64;
    composite->Resample(small, &options);
    WriteBitmap(file, small);
  }
  file.EndChunk();
}

void CProjectWriter::WriteImage(CChunkWriter& file, CProject& project, CImage& image) {
  int32_t fields[9];
  ImageFields(project, image, fields);
  file.BeginChunk(ID_IMAG);
  WriteFields(file, fields);
  if (image.IsPaletteFixed() && image.GetPalette())
    WritePalette(file, *image.GetPalette());
  for (CLayer* layer = image.GetFirstLayer(); layer; layer = layer->GetNext())
    WriteLayer(file, image, *layer);
  file.EndChunk();
}

void CProjectWriter::WritePalette(CChunkWriter& file, const CPalette& palette) {
  const int32_t count = palette.GetCount();
  bool opaque = true;
  for (int32_t i = 0; i < count; ++i)
    opaque = opaque && palette.GetEntry(i)->GetAlpha() == 255;
  const int32_t format = opaque ? PALETTE_RGB : PALETTE_ARGB;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(count) * 4);
  for (int32_t i = 0; i < count; ++i) {
    const CPaletteEntry* e = palette.GetEntry(i);
    if (!opaque)
      bytes.push_back(static_cast<uint8_t>(e->GetAlpha()));
    bytes.push_back(static_cast<uint8_t>(e->GetRed()));
    bytes.push_back(static_cast<uint8_t>(e->GetGreen()));
    bytes.push_back(static_cast<uint8_t>(e->GetBlue()));
  }
  file.BeginChunk(ID_PLTE);
  WriteFields(file, {0, static_cast<uint32_t>(count)});
  file.BeginChunk(ID_DATA);
  WriteFields(file, {0, 0, static_cast<uint32_t>(count), static_cast<uint32_t>(format), 0});
  file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  file.EndChunk();
  file.EndChunk();
}

void CProjectWriter::WriteLayer(CChunkWriter& file, CImage& image, CLayer& layer) {
  int32_t fields[10];
  LayerFields(image, layer, fields);
  file.BeginChunk(ID_LAYR);
  WriteFields(file, fields);
  if (layer.GetName() && layer.GetName()[0]) {
    file.BeginChunk(ID_NAME);
    file.WriteString(layer.GetName());
    file.EndChunk();
  }
  if (layer.GetKind() == CLayer::KIND_RASTER) {
    CRasterLayer& raster = static_cast<CRasterLayer&>(layer);
    CPixelArray* top = raster.GetSupersampleTop();
    file.BeginChunk(ID_DATA);
    WriteFields(file, {0, static_cast<uint32_t>(top ? 3 : 0)});
    WriteBitmap(file, top ? *top : *raster.GetPixels());
    file.EndChunk();
  }
  file.EndChunk();
}

void CProjectWriter::WriteBitmap(CChunkWriter& file, CPixelArray& pixels) {
  const int32_t w = pixels.width;
  const int32_t h = pixels.height;
  int32_t fields[6];
  BitmapFields(pixels, fields);
  file.BeginChunk(ID_BMAP);
  WriteFields(file, fields);

  const int64_t count = w > 0 && h > 0 && pixels.data ? static_cast<int64_t>(w) * h : 0;
  const uint32_t first = count > 0 ? pixels.data[0] : 0;
  bool uniform = true;
  bool alphaUniform = true;
  for (int64_t i = 1; i < count && (uniform || alphaUniform); ++i) {
    const uint32_t v = pixels.data[i];
    uniform = uniform && v == first;
    alphaUniform = alphaUniform && (v >> 24) == (first >> 24);
  }
  auto writeFill = [&](uint32_t format, const uint8_t* value, uint32_t size) {
    file.BeginChunk(ID_FILL);
    WriteFields(file, {0, 0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), format});
    file.Write(value, size);
    file.EndChunk();
  };
  if (count == 0 || uniform) {
    const uint8_t value[4] = {static_cast<uint8_t>(first >> 24), static_cast<uint8_t>(first >> 16),
                              static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first)};
    writeFill(FILL_ARGB, value, 4);
  } else {
    int32_t alphaWidth, alphaMethod, colorWidth, colorMethod;
    switch (compression) {
      case 0:
        alphaWidth = 4096, alphaMethod = COMPRESSION_NONE;
        colorWidth = 1024, colorMethod = COMPRESSION_NONE;
        break;
      case 1:
        alphaWidth = 1024, alphaMethod = COMPRESSION_DICT;
        colorWidth = 256, colorMethod = COMPRESSION_DICT;
        break;
      case 2:
        alphaWidth = 256, alphaMethod = COMPRESSION_RANGE;
        colorWidth = 64, colorMethod = COMPRESSION_RANGE;
        break;
      default:
        Fail("Unknown compression method");
    }
    if (alphaWidth > w)
      alphaWidth = w;
    if (colorWidth > w)
      colorWidth = w;
    if (alphaUniform) {
      const uint8_t alpha = static_cast<uint8_t>(first >> 24);
      writeFill(FILL_ALPHA, &alpha, 1);
    } else {
      WriteAlphaRun(file, pixels, alphaWidth, alphaMethod);
    }
    int32_t predictor = CPixelPredictor::ZERO;
    if (compression == 1) {
      predictor = CPixelPredictor::PAETH;
    } else if (compression == 2) {
      std::unique_ptr<CLzEstimator> estimator(new CLzEstimator());
      predictor = ChoosePredictor(&pixels, colorWidth, *estimator);
    }
    WriteColorRun(file, pixels, colorWidth, predictor, colorMethod);
  }
  file.EndChunk();
}

void CProjectWriter::WriteAlphaRun(CChunkWriter& file, const CPixelArray& pixels,
                                   int32_t tileWidth, int32_t method) {
  const int32_t w = pixels.width;
  const int32_t h = pixels.height;
  file.BeginChunk(ID_DATA);
  WriteFields(file, {0, 0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), PIXELS_ALPHA,
                     static_cast<uint32_t>(tileWidth), static_cast<uint32_t>(h), 0,
                     static_cast<uint32_t>(method)});
  if (method != 0)
    file.BeginCompression(method);
  std::vector<uint8_t> row(static_cast<size_t>(tileWidth));
  for (int32_t left = 0; left < w; left += tileWidth) {
    const int32_t n = w - left < tileWidth ? w - left : tileWidth;
    for (int32_t y = 0; y < h; ++y) {
      const uint32_t* p = pixels.PixelAt(left, y);
      for (int32_t i = 0; i < n; ++i)
        row[i] = static_cast<uint8_t>(p[i] >> 24);
      file.Write(row.data(), static_cast<uint32_t>(n));
    }
  }
  if (method != 0)
    file.EndCompression();
  file.EndChunk();
}

void CProjectWriter::WriteColorRun(CChunkWriter& file, CPixelArray& pixels, int32_t tileWidth,
                                   int32_t predictorNumber, int32_t method) {
  const int32_t w = pixels.width;
  const int32_t h = pixels.height;
  file.BeginChunk(ID_DATA);
  WriteFields(file, {0, 0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), PIXELS_RESIDUALS,
                     static_cast<uint32_t>(tileWidth), static_cast<uint32_t>(h),
                     static_cast<uint32_t>(predictorNumber), static_cast<uint32_t>(method)});
  if (method != 0)
    file.BeginCompression(method);
  std::unique_ptr<CPixelPredictor> predictor(CreatePredictor(&pixels, predictorNumber));
  ForEachResidualRow(*predictor, tileWidth,
                     [&file](const uint8_t* bytes, uint32_t n) { file.Write(bytes, n); });
  if (method != 0)
    file.EndCompression();
  file.EndChunk();
}
