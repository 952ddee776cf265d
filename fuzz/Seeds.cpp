// The readers under test and their seeds: the tree's small fixtures, files the program's
// own writers make, and clipboard blocks laid out here.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/Swatches.h"
#include "fuzz/Fuzz.h"
#include "tests/common/JpegScans.h"
#include "tests/common/PeView.h"

namespace fuzz {

const std::vector<Reader>& Readers() {
  static const std::vector<Reader> readers = {
      {"vcj", "vcj", "project files", nullptr, nullptr},
      {"vccolors", "vccolors", "swatch sets", nullptr, nullptr},
      {"bmp", "bmp", "BMP, every depth and compression", "rastrel", "*.bmp"},
      {"ico", "ico", "ICO, BMP and PNG entries", "rastrel", "*.ico"},
      {"cur", "cur", "CUR", "rastrel", "*.cur"},
      {"exe", "dll", "PE executables, 32 and 64 bits", "rastrel", "*.dll"},
      {"tga", "tga", "TGA, every type", "tga", "*.tga"},
      {"psd", "psd", "PSD, layered and composite", "psd", "*.psd"},
      {"jpeg", "jpg", "JPEG baseline, progressive, CMYK", "jpeg", "*.jpg"},
      {"dib", "dib", "clipboard CF_DIB and CF_DIBV5", nullptr, nullptr},
      {"clip", "clip", "clipboard private format", nullptr, nullptr},
  };
  return readers;
}

const Reader* FindReader(const std::string& name) {
  for (const Reader& r : Readers())
    if (name == r.name)
      return &r;
  return nullptr;
}

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string WorkFolder() { return ExeFolder() + "..\\fuzz\\"; }
std::string SeedFolder(const Reader& reader) { return WorkFolder() + "seeds\\" + reader.name + "\\"; }
std::string FoundFolder() { return WorkFolder() + "found\\"; }

bool ReadFileBytes(const std::string& path, Bytes& bytes) {
  bytes.clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

namespace {

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(folder + found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string FixtureFolder(const char* plugin) {
  return ExeFolder() + "..\\..\\..\\tests\\plugins\\" + plugin + "\\fixtures\\";
}

int g_seedNumber = 0;

bool AddSeed(const Reader& reader, const Bytes& bytes) {
  char name[32];
  std::snprintf(name, sizeof name, "%03d.", ++g_seedNumber);
  return WriteFileBytes(SeedFolder(reader) + name + reader.extension, bytes);
}

// A bitmap file of a 40-byte header given a larger header: the masks that followed it move
// inside; null when the file has another header.
Bytes WithLargerHeader(const Bytes& file, uint32_t size) {
  if (file.size() < 54 || Le32(file, 14) != 40)
    return Bytes();
  const bool masks = Le32(file, 30) == BI_BITFIELDS;
  Bytes b(file.begin(), file.begin() + 54);
  b.resize(14 + size, 0);
  SetLe32(b, 14, size);
  size_t rest = 54;
  if (masks && file.size() >= 66) {
    std::copy(file.begin() + 54, file.begin() + 66, b.begin() + 54);
    rest = 66;
  }
  b.insert(b.end(), file.begin() + rest, file.end());
  const uint32_t grown = uint32_t(b.size() - file.size());
  SetLe32(b, 2, uint32_t(b.size()));
  SetLe32(b, 10, Le32(file, 10) + grown);
  return b;
}

int CopyFixtures(const Reader& reader) {
  int copied = 0;
  Bytes bytes;
  for (const std::string& path : FilesIn(FixtureFolder(reader.fixtureFolder), reader.fixturePattern)) {
    if (!ReadFileBytes(path, bytes) || !AddSeed(reader, bytes))
      continue;
    ++copied;
    // The fixtures' headers are 40 and 124 bytes; others write 52, 56 and 108.
    const bool bitmap = std::strcmp(reader.name, "bmp") == 0;
    if (bitmap && (path.find("32bit-rgbmasks") != std::string::npos || path.find("8bit.bmp") != std::string::npos))
      for (uint32_t size : {52u, 56u, 108u})
        copied += AddSeed(reader, WithLargerHeader(bytes, size));
  }
  return copied;
}

// Libraries of several images whose bitmaps claim sizes at the edges of the previews: no
// pixels, and 8192 x 8192 pixels of RLE8 in a stream that ends at once, far more than the host
// lets a preview have.
int AddLibraryEdges(const Reader& reader) {
  int added = 0;
  Bytes b;
  if (ReadFileBytes(FixtureFolder("rastrel") + "pe-two-bitmaps.dll", b)) {
    const PeView view(b);
    if (view.Count(2) == 2) {
      SetLe32(b, view.Data(2, 1) + 8, 0);
      added += AddSeed(reader, b);
    }
  }
  if (ReadFileBytes(FixtureFolder("rastrel") + "pe-icons.dll", b)) {
    const PeView view(b);
    if (view.Count(2) == 2) {
      SetLe32(b, view.Data(2, 0) + 8, 0);
      const size_t claim = view.Data(2, 1);
      SetLe32(b, claim + 4, 8192);
      SetLe32(b, claim + 8, 8192);
      b[claim + 14] = 8;
      b[claim + 15] = 0;
      SetLe32(b, claim + 16, BI_RLE8);
      SetLe32(b, claim + 32, 1);
      b[claim + 44] = 0;
      b[claim + 45] = 1;
      added += AddSeed(reader, b);
    }
  }
  // More rows than the walk previews: the two bitmaps of pe-two-bitmaps.dll, each named by
  // 20 resources.
  if (ReadFileBytes(FixtureFolder("rastrel") + "pe-two-bitmaps.dll", b)) {
    const PeView view(b);
    if (view.Count(2) == 2) {
      PeBuilder builder;
      for (uint32_t i = 0; i < 2; ++i) {
        const uint32_t at = view.Data(2, i), size = Le32(b, view.DataEntry(2, i) + 4);
        if (at && at + size <= b.size()) {
          const size_t data = builder.AddData(Bytes(b.begin() + at, b.begin() + at + size));
          for (uint16_t n = 0; n < 20; ++n)
            builder.AddResource(2, uint16_t(100 * (i + 1) + n), data);
        }
      }
      added += AddSeed(reader, builder.Build());
    }
  }
  return added;
}

// A progressive file with one scan more than the reader takes: empty copies of its last scan.
int AddManyScans(const Reader& reader) {
  Bytes b;
  if (!ReadFileBytes(FixtureFolder("jpeg") + "grey-progressive.jpg", b))
    return 0;
  const int scans = int(JpegScans(b).headers.size());
  return scans ? AddSeed(reader, JpegWithEmptyScans(b, 1001 - scans)) : 0;
}

void Le(Bytes& b, uint32_t value, int width) {
  for (int i = 0; i < width; ++i)
    b.push_back(uint8_t(value >> (8 * i)));
}

void Float(Bytes& b, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  Le(b, bits, 4);
}

// A clipboard bitmap: header of headerSize bytes, masks after a plain header with
// BI_BITFIELDS, a colour table for 8 bits, padded rows of a pattern.
Bytes MakeDib(uint32_t headerSize, int bits, int32_t width, int32_t height, uint32_t compression, bool alpha) {
  Bytes b;
  const int colors = bits == 8 ? 4 : 0;
  Le(b, headerSize, 4);
  Le(b, uint32_t(width), 4);
  Le(b, uint32_t(height), 4);
  Le(b, 1, 2);
  Le(b, uint32_t(bits), 2);
  Le(b, compression, 4);
  Le(b, 0, 4);
  Le(b, 2835, 4);
  Le(b, 2835, 4);
  Le(b, uint32_t(colors), 4);
  Le(b, 0, 4);
  if (headerSize > 40) {
    Le(b, 0x00FF0000u, 4);
    Le(b, 0x0000FF00u, 4);
    Le(b, 0x000000FFu, 4);
    Le(b, alpha ? 0xFF000000u : 0, 4);
    while (b.size() < headerSize)
      b.push_back(0);
  } else if (compression == BI_BITFIELDS) {
    Le(b, 0x00FF0000u, 4);
    Le(b, 0x0000FF00u, 4);
    Le(b, 0x000000FFu, 4);
  }
  for (int i = 0; i < colors; ++i)
    Le(b, 0x00102030u * uint32_t(i + 1), 4);
  const int32_t rows = height < 0 ? -height : height;
  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  for (int32_t y = 0; y < rows; ++y)
    for (size_t x = 0; x < stride; ++x)
      b.push_back(uint8_t(x * 37 + y * 11 + (alpha && x % 4 == 3 ? 128 : 0)));
  return b;
}

Bytes MakePrivate(int bits, int32_t width, int32_t height) {
  Bytes b;
  Le(b, 24, 4);
  Le(b, uint32_t(bits) << 16, 4);
  Le(b, uint32_t(width), 4);
  Le(b, uint32_t(height), 4);
  Float(b, 2834.6f);
  Float(b, 3779.5276f);
  for (size_t i = 0, n = size_t(width) * height * (bits / 8); i < n; ++i)
    b.push_back(uint8_t(i * 29));
  return b;
}

int WriteProjects(const Reader& reader) {
  const std::string sources[] = {FixtureFolder("rastrel") + "icon-multi.ico", FixtureFolder("psd") + "rgba-layers.psd",
                                 FixtureFolder("rastrel") + "icon-8bit-48x48.ico"};
  const std::string path = WorkFolder() + "project.vcj";
  int written = 0;
  for (int i = 0; i < 3; ++i) {
    CProject* project = ImportThroughPlugins(sources[i]);
    if (!project)
      continue;
    if (i == 1)  // a supersampled layer
      if (auto* layer = dynamic_cast<CRasterLayer*>(project->GetFirstImage()->GetFirstLayer()))
        layer->SetSupersampling(true);
    for (int compression = 0; compression < 2; ++compression) {
      CProjectWriter writer;
      writer.SetCompression(compression ? writer.GetCompression() : 0);
      writer.SetEmbedThumbnails(compression == 1);
      Bytes bytes;
      try {
        writer.Save(path.c_str(), project);
        if (ReadFileBytes(path, bytes) && AddSeed(reader, bytes))
          ++written;
      } catch (...) {
      }
    }
    CProject::Destroy(project);
  }
  DeleteFileA(path.c_str());
  return written;
}

int WriteSwatchSets(const Reader& reader) {
  const std::string path = WorkFolder() + "swatches.vccolors";
  int written = 0;
  Bytes bytes;
  g_Swatches.SetDefaults();
  if (SaveSwatchSet(path.c_str()) && ReadFileBytes(path, bytes) && AddSeed(reader, bytes))
    ++written;
  g_Swatches.Clear();
  g_Swatches.AddColor(CColor(0x80FF0000u));
  g_Swatches.AddColor(CColor(0xFF00FF00u));
  g_Swatches.AddColor(CColor(0x00000000u));
  if (SaveSwatchSet(path.c_str()) && ReadFileBytes(path, bytes) && AddSeed(reader, bytes))
    ++written;
  g_Swatches.SetDefaults();
  DeleteFileA(path.c_str());
  return written;
}

int AddBlocks(const Reader& reader) {
  int added = 0;
  if (std::strcmp(reader.name, "dib") == 0) {
    added += AddSeed(reader, MakeDib(40, 8, 5, 3, BI_RGB, false));
    added += AddSeed(reader, MakeDib(40, 24, 7, -3, BI_RGB, false));
    added += AddSeed(reader, MakeDib(40, 32, 4, 4, BI_RGB, false));
    added += AddSeed(reader, MakeDib(40, 32, 3, 2, BI_BITFIELDS, false));
    added += AddSeed(reader, MakeDib(108, 32, 4, -4, BI_BITFIELDS, true));
    added += AddSeed(reader, MakeDib(124, 32, 6, 5, BI_BITFIELDS, true));
  } else {
    added += AddSeed(reader, MakePrivate(8, 5, 3));
    added += AddSeed(reader, MakePrivate(24, 4, 4));
    added += AddSeed(reader, MakePrivate(32, 3, 6));
  }
  return added;
}

}  // namespace

void EmptyFolder(const std::string& folder) {
  for (const std::string& old : FilesIn(folder, "*"))
    DeleteFileA(old.c_str());
}

bool PrepareSeeds() {
  CreateDirectoryA(WorkFolder().c_str(), nullptr);
  CreateDirectoryA((WorkFolder() + "seeds").c_str(), nullptr);
  bool complete = true;
  for (const Reader& reader : Readers()) {
    const std::string folder = SeedFolder(reader);
    CreateDirectoryA(folder.c_str(), nullptr);
    EmptyFolder(folder);
    const std::string name = reader.name;
    int count = 0;
    if (reader.fixtureFolder) {
      count = CopyFixtures(reader);
      if (name == "exe")
        count += AddLibraryEdges(reader);
      else if (name == "jpeg")
        count += AddManyScans(reader);
    } else if (name == "vcj")
      count = WriteProjects(reader);
    else if (name == "vccolors")
      count = WriteSwatchSets(reader);
    else
      count = AddBlocks(reader);
    if (count == 0) {
      std::printf("no seeds for %s\n", reader.name);
      complete = false;
    }
  }
  return complete;
}

std::vector<Bytes> LoadSeeds(const Reader& reader) {
  std::vector<Bytes> seeds;
  Bytes bytes;
  for (const std::string& path : FilesIn(SeedFolder(reader), "*"))
    if (ReadFileBytes(path, bytes))
      seeds.push_back(bytes);
  return seeds;
}

}  // namespace fuzz
