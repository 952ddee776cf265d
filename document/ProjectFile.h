#pragma once
// The project file (.vcj): a whole project in nested chunks. Pixels are stored as bitmaps:
// uniform areas as fills, the rest as vertical strips of alpha bytes and of predicted
// colour residuals, optionally compressed.
//
//   VCP1  record (0, file version, minimum program version, image count)
//     CREA  string "Vellumcraft " and the program version
//     TIME  record (0, year, month, day, hour, minute, second)
//     THMB  record (0), BMAP                                  (optional)
//     IMAG  record (flags, type, id, width, height, x res, y res, format, layer count)
//       PLTE  record (0, count), DATA (0, first, count, entry format, method) + entries
//       LAYR  record (flags, type, id, number, width, height, 0, 0, blend mode, opacity)
//         NAME  string
//         DATA  record (0, supersampling level), BMAP
//   BMAP  record (0, width, height, 0, 0, 3), then DATA tile runs and FILL chunks
#include <cstdint>
#include "document/ChunkStream.h"

class CImage;
class CLayer;
class CPalette;
class CPixelArray;
class CProject;

namespace projectfile {

const uint32_t ID_VCP1 = MakeChunkId("VCP1");
const uint32_t ID_CREA = MakeChunkId("CREA");
const uint32_t ID_TIME = MakeChunkId("TIME");
const uint32_t ID_THMB = MakeChunkId("THMB");
const uint32_t ID_IMAG = MakeChunkId("IMAG");
const uint32_t ID_PLTE = MakeChunkId("PLTE");
const uint32_t ID_LAYR = MakeChunkId("LAYR");
const uint32_t ID_NAME = MakeChunkId("NAME");
const uint32_t ID_DATA = MakeChunkId("DATA");
const uint32_t ID_BMAP = MakeChunkId("BMAP");
const uint32_t ID_FILL = MakeChunkId("FILL");

const int32_t FILE_VERSION = 0x01000000;

// IMAG flags.
enum { IMAGE_CURRENT = 1, IMAGE_FLAG_A = 2, IMAGE_PALETTE_FIXED = 4, IMAGE_NOT_FOR_EXPORT = 8 };
// LAYR flags.
enum { LAYER_CURRENT = 1, LAYER_HIDDEN = 2 };
// Tile-run pixel formats and fill formats.
enum { PIXELS_ALPHA = 1, PIXELS_RESIDUALS = 2 };
enum { FILL_ALPHA = 1, FILL_RGB = 2, FILL_ARGB = 3 };
enum { PALETTE_RGB = 2, PALETTE_ARGB = 3 };
enum { BITMAP_ARGB = 3 };

// The 32-bit program's budget for reading: no project it holds can be larger, that is all of
// its address space.
const uint64_t READ_MEMORY_BUDGET_32 = uint64_t(1) << 31;

}  // namespace projectfile

// Most memory a read may claim for pixels now; a file needing more is refused. The 32-bit
// program's fixed budget; in the 64-bit one what the process can commit, never less than the
// 32-bit budget, so that every project the program could hold and save loads back.
uint64_t GetReadMemoryBudget();
// Holds the budget to at most cap (0: no cap). The fuzzing program keeps its workers to the
// 32-bit budget.
void SetReadMemoryBudgetCap(uint64_t cap);
// The memory-status query the 64-bit budget is taken from (false: it failed); null, the
// default, is GlobalMemoryStatusEx. Tests stand in for it.
typedef bool (*ReadMemoryStatusQuery)(struct _MEMORYSTATUSEX* status);
void SetReadMemoryStatusQuery(ReadMemoryStatusQuery query);

// The packed version (major << 24 | minor << 16 | build << 8 | revision) of the running
// program, written into CREA and compared with a file's minimum version. Start-up sets it
// from the version block; it starts as 0.9.0.0.
void SetProjectFileProgramVersion(uint32_t version);
uint32_t GetProjectFileProgramVersion();

class CProjectReader {
public:
  // Takes Project.File.RelaxedChecks.
  CProjectReader();
  CProjectReader(const CProjectReader&) = delete;
  CProjectReader& operator=(const CProjectReader&) = delete;

  // A new project, or null after an error box.
  CProject* Read(const char* path);
  // Throws CVCException with the message; nothing is left behind.
  CProject* Load(const char* path);

  // Applies the children of a BMAP chunk the reader has just entered onto target (which
  // gets the bitmap's size checked, and is cleared first). Throws CVCException.
  void ReadBitmap(CChunkReader& file, CPixelArray& target);
  // Claims what a read claims for an image of that size and target format with its first
  // layer, which allows a preview of that layer's bitmap the work the read would do on it.
  // "Insufficient memory" beyond the budget.
  void ClaimImageWithLayer(int32_t width, int32_t height, int32_t targetFormat);

  bool GetRelaxedChecks() const { return relaxedChecks != 0; }
  void SetRelaxedChecks(bool on) { relaxedChecks = on ? 1 : 0; }

private:
  void ReadProject(CChunkReader& file, CProject& project);
  void ReadImage(CChunkReader& file, CProject& project);
  void ReadLayer(CChunkReader& file, CImage& image);
  void ReadLayerData(CChunkReader& file, CLayer& layer);
  void ReadPalette(CChunkReader& file, CPalette& palette);
  void ReadTileRun(CChunkReader& file, CPixelArray& target);
  void ReadFill(CChunkReader& file, CPixelArray& target);

  // Claims memory for pixels; "Insufficient memory" beyond the budget.
  void ClaimMemory(uint64_t bytes);
  // Counts pixel work; a file that asks for far more work than its pixels need is damaged.
  void ClaimWork(uint64_t pixels);

  uint8_t relaxedChecks;
  uint64_t memoryBudget;  // taken when a read starts
  uint64_t memoryClaimed;
  uint64_t workDone;
};

class CProjectWriter {
public:
  // Takes Project.File.Compression, .EmbedThumbnails, .MaxThumbnailSize, .MaxThumbnailSizeEx.
  CProjectWriter();
  CProjectWriter(const CProjectWriter&) = delete;
  CProjectWriter& operator=(const CProjectWriter&) = delete;

  // False after an error box. The file at path is replaced only by a complete new one.
  bool Write(const char* path, CProject* project);
  // Throws CVCException with the message; no partial file is left behind.
  void Save(const char* path, CProject* project);

  // The image whose composite becomes the thumbnail, or null for none.
  CImage* ChooseThumbnail(CProject* project) const;
  // Throws CVCException, with a message that names the cause, for a project the reader would
  // refuse (with its checks strict).
  void CheckReadable(CProject& project) const;

  int32_t GetCompression() const { return compression; }
  void SetCompression(int32_t value) { compression = value; }
  bool GetEmbedThumbnails() const { return embedThumbnails != 0; }
  void SetEmbedThumbnails(bool on) { embedThumbnails = on ? 1 : 0; }
  void SetMaxThumbnailSize(int32_t size) { maxThumbnailSize = size; }
  void SetMaxThumbnailSizeEx(int32_t size) { maxThumbnailSizeEx = size; }

private:
  void WriteProject(CChunkWriter& file, CProject& project);
  void WriteThumbnail(CChunkWriter& file, CImage& image);
  void WriteImage(CChunkWriter& file, CProject& project, CImage& image);
  void WritePalette(CChunkWriter& file, const CPalette& palette);
  void WriteLayer(CChunkWriter& file, CImage& image, CLayer& layer);
  void WriteBitmap(CChunkWriter& file, CPixelArray& pixels);
  void WriteAlphaRun(CChunkWriter& file, const CPixelArray& pixels, int32_t tileWidth,
                     int32_t method);
  void WriteColorRun(CChunkWriter& file, CPixelArray& pixels, int32_t tileWidth,
                     int32_t predictor, int32_t method);

  int32_t compression;
  uint8_t embedThumbnails;
  int32_t maxThumbnailSize;
  int32_t maxThumbnailSizeEx;
};
