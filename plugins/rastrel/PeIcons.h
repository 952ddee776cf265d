#pragma once
// Icon groups, cursor groups and bitmaps stored as resources of 32-bit Windows executables
// and icon libraries, read from the file's own PE headers and resource tree.
#include <windows.h>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include "plugins/sdk/VCXList.h"
#include "plugins/sdk/VCXRecords.h"
#include "plugins/sdk/VCXStream.h"

// Resource types read from the root directory.
enum {
  PE_RT_CURSOR = 1,
  PE_RT_BITMAP = 2,
  PE_RT_ICON = 3,
  PE_RT_GROUP_CURSOR = 12,
  PE_RT_GROUP_ICON = 14
};

class ResourceModule;

// What a group's preview found of one of its icons or cursors, kept once looked at.
struct EntryFacts {
  enum State { UNKNOWN, PICTURE, NO_PICTURE, BROKEN };
  State state = UNKNOWN;
  // Of a picture with pixels within the host's preview limit.
  int64_t width = 0;
  int64_t height = 0;
  int64_t depth = 0;
};

class ResourceItem : public CVCXListNode {
public:
  ResourceItem();
  ~ResourceItem() override;

  ResourceModule* module;
  int32_t type;        // PE_RT_...
  uint16_t id;         // 0 for a named resource
  char name[260];      // the name in the ANSI code page, or the decimal id
  int64_t base;        // file position of the resource section
  uint32_t offset;     // of the language directory inside the section
  const uint8_t* data;  // loaded once by PeLoadResourceData; the module's block
  uint32_t size;
  int64_t position;     // of the data in the file, once loaded
  bool loaded;
  EntryFacts facts;  // of an icon or cursor
  // Search tree by id over the item's list.
  ResourceItem* left;
  ResourceItem* right;
};

class ResourceSection : public CVCXListNode {
public:
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
};

class ResourceModule {
public:
  explicit ResourceModule(CVCXStream& stream);

  CVCXStream& stream;
  int64_t start;  // file offsets are relative to it
  CVCXList iconGroups;
  CVCXList cursorGroups;
  CVCXList bitmaps;
  CVCXList icons;
  CVCXList cursors;
  CVCXList sections;
  ResourceItem* iconTree;
  ResourceItem* cursorTree;
  ResourceItem* iconGroupTree;
  ResourceItem* cursorGroupTree;
  ResourceItem* bitmapTree;
  // Directory entries still allowed to be walked; a tree that shares or loops its
  // directories runs out of them instead of growing without bound.
  int64_t entryBudget;
  // The resource data loaded, one block per file position and size, shared by every item
  // whose data entry names it.
  std::map<std::pair<int64_t, uint32_t>, std::unique_ptr<uint8_t[]>> blocks;
  // Bytes of resource data still allowed to be loaded: data entries that overlap in part
  // run out of them instead of loading the same bytes again and again.
  int64_t dataBudget;

  // The icon (PE_RT_ICON) or cursor (PE_RT_CURSOR) resource of an id; null when none.
  ResourceItem* Find(int32_t type, uint16_t id) const;
  // Icon groups + cursor groups + bitmaps.
  int32_t ImageCount() const;

private:
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;
};

// Sniff with optional description and preview; the stream is returned to where it was.
bool ExeCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen);
// One item chosen by the user when there are several; outType gets 1, 2 or 3.
VCXMultiImage* ExeImport(HWND parent, CVCXStream& stream, int* outType);
// Headers, sections and the resource tree from the stream's position. The caller deletes it.
ResourceModule* PeReadResources(CVCXStream& stream);
// The item's bytes, read on first use and kept by the module; null with size 0 for empty data.
const uint8_t* PeLoadResourceData(ResourceItem* item);
// A group's best-suited image for a box (null: the largest), or a bitmap; null when none.
// Neither gives an image without pixels or above the host's preview limit. With a budget, the
// image is read only when its pixels fit what is left of it, which they then use up, whether
// or not it can be read.
VCXLayeredImage* ExeReadPreview(ResourceItem* item, const SIZE* box, uint64_t* pixelBudget = nullptr);
VCXLayeredImage* ExeChooseGroupImage(ResourceItem* group, const SIZE* box, uint64_t* pixelBudget = nullptr);
// All images of an icon or cursor group, in directory order; outType gets 2 or 3.
VCXMultiImage* ExeReadGroup(ResourceItem* group, int* outType);
