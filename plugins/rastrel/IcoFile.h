#pragma once
// Windows icon (ICO) and cursor (CUR) files: sniffer, reader and writer.
#include <windows.h>
#include <cstdint>
#include <map>
#include "plugins/sdk/VCXList.h"
#include "plugins/sdk/VCXRecords.h"
#include "plugins/sdk/VCXStream.h"

enum { ICON_TYPE_ICON = 1, ICON_TYPE_CURSOR = 2 };

class IconDirEntry : public CVCXListNode {
public:
  VCXLayeredImage* image = nullptr;  // writer: the image it stands for (not owned)
  int64_t offset = 0;                // reader: stream position of the image; writer: where it starts
  int64_t size = 0;
  int32_t hotspotX = 0;
  int32_t hotspotY = 0;
  int32_t index = 0;       // position before any sorting
  int32_t resourceId = 0;  // resource mode: id of the icon or cursor resource
  // Writer: what was written for the directory entry.
  int32_t writtenWidth = 0;
  int32_t writtenHeight = 0;
  int32_t writtenDepth = 0;
};

struct IconDirectory {
  int32_t type = 0;  // ICON_TYPE_ICON or ICON_TYPE_CURSOR
  CVCXList entries;
};

// Writer options; set by the option dialog, defaults at load.
struct IconWriterOptions {
  int32_t sortMode = 0;    // 0 as is, 1 size / colour, 2 colour / size
  int32_t sizeOrder = 1;   // 1 ascending, 2 descending
  int32_t depthOrder = 1;  // 1 ascending, 2 descending
  bool pngCompression = true;
  bool pngMultipass = true;
};
extern IconWriterOptions g_IconOptions;
// Entries with more pixels than this are written as PNG when PNG compression is on.
enum { ICON_PNG_THRESHOLD = 16384 };

// Sniff: type id 2 (icon) or 3 (cursor); optional description and preview. The stream is
// returned to where it was.
bool IcoCanImport(CVCXStream& stream, int* outType, VCXLayeredImage** preview, char* description,
                  int descriptionLen);
// Reads the directory at the stream's position; resource mode reads 14-byte group entries.
void IcoReadDirectory(CVCXStream& stream, bool resourceMode, IconDirectory& directory);
// Reads the entry whose image starts at the stream's position; null when the entry is
// neither a DIB nor a readable PNG (it is left out).
VCXLayeredImage* IcoReadEntry(CVCXStream& stream, const POINT* hotspot);
// Every entry of the directory, in directory order.
VCXMultiImage* IcoReadFile(CVCXStream& stream, int* outType);

// What the entries of one directory read of their file, so that entries that name the same
// data again and again cannot make a small file into gigabytes of images. An entry whose
// image starts in bytes an earlier entry read is left out (the entries of a sound file have
// bytes of their own), and all entries together may read twice the file and 64 KiB; past
// that the file is refused as invalid data.
class CEntryReads {
public:
  explicit CEntryReads(int64_t fileSize);
  // Whether an entry whose image starts at this file position may be read.
  bool MayRead(int64_t position) const;
  // Counts the bytes from start to end that an entry read.
  void Read(int64_t start, int64_t end);

private:
  std::map<int64_t, int64_t> m_read;  // the bytes read, as ranges start -> end that do not touch
  int64_t m_left;
};

bool IcoCanExport(const VCXMultiImage* document, int* outFlags);
// type 2 writes an icon file, 3 a cursor file. A failure leaves a file at path as it was.
void IcoExport(HWND parent, const char* path, int type, VCXMultiImage* document);
void IcoWriteFile(HWND parent, CVCXStream& stream, IconDirectory& directory);
// Writes one entry's image and fills the written size and depth of entry.
void IcoWriteEntry(HWND parent, CVCXStream& stream, VCXLayeredImage* image, IconDirEntry& entry);

// Order of the writer's entries under the current options (> 0: a after b).
int IconSortCompare(const CVCXListNode* a, const CVCXListNode* b, void* context);
