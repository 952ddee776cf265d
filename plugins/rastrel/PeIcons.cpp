#include "plugins/rastrel/PeIcons.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include "plugins/rastrel/BmpFile.h"
#include "plugins/rastrel/IcoFile.h"
#include "plugins/rastrel/PngEntry.h"
#include "plugins/rastrel/RastrelDialogs.h"
#include "plugins/rastrel/RecordGuard.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A position beyond the end would only give a short read there.
void SeekIn(CVCXStream& stream, int64_t position) {
  if (position < 0 || position > stream.GetSize())
    vcxThrow(VCX_ERROR_EOF);
  stream.Seek(position);
}

void ReadAt(CVCXStream& stream, int64_t position, void* buffer, size_t count) {
  SeekIn(stream, position);
  stream.ReadExact(buffer, count);
}

void Spend(ResourceModule& module, int64_t entries) {
  if (entries > module.entryBudget)
    vcxThrow(VCX_ERROR_DATA);
  module.entryBudget -= entries;
}

class MultiGuard {
public:
  explicit MultiGuard(VCXMultiImage* image) : m_image(image) {}
  ~MultiGuard() {
    try {
      vcxFreeMultiImage(m_image);
    } catch (...) {
    }
  }
  VCXMultiImage* release() {
    VCXMultiImage* image = m_image;
    m_image = nullptr;
    return image;
  }

private:
  MultiGuard(const MultiGuard&) = delete;
  MultiGuard& operator=(const MultiGuard&) = delete;
  VCXMultiImage* m_image;
};

CVCXList* ListOfType(ResourceModule& module, uint32_t type) {
  switch (type) {
    case PE_RT_CURSOR:
      return &module.cursors;
    case PE_RT_BITMAP:
      return &module.bitmaps;
    case PE_RT_ICON:
      return &module.icons;
    case PE_RT_GROUP_CURSOR:
      return &module.cursorGroups;
    case PE_RT_GROUP_ICON:
      return &module.iconGroups;
    default:
      return nullptr;
  }
}

// The name level of one resource type: one item per subdirectory entry.
void ReadNames(ResourceModule& module, int64_t base, uint32_t directory, int32_t type,
               CVCXList& list) {
  CVCXStream& stream = module.stream;
  uint8_t header[16];
  ReadAt(stream, base + directory, header, 16);
  const int named = Get16(header + 12);
  const int total = named + Get16(header + 14);
  Spend(module, total);
  for (int i = 0; i < total; ++i) {
    uint8_t entry[8];
    ReadAt(stream, base + directory + 16 + 8 * static_cast<int64_t>(i), entry, 8);
    const uint32_t target = Get32(entry + 4);
    if (!(target & 0x80000000u))
      continue;
    ResourceItem* item = new ResourceItem;
    list.Append(item);
    item->module = &module;
    item->type = type;
    item->base = base;
    item->offset = target & 0x7FFFFFFFu;
    if (i < named) {
      uint8_t length[2];
      ReadAt(stream, base + (Get32(entry) & 0x7FFFFFFFu), length, 2);
      int units = Get16(length);
      if (units > 63)
        units = 64;
      wchar_t text[64];
      stream.ReadExact(text, 2 * static_cast<size_t>(units));
      const int written = units ? WideCharToMultiByte(CP_ACP, 0, text, units, item->name,
                                                      sizeof item->name - 1, nullptr, nullptr)
                                : 0;
      item->name[written > 0 ? written : 0] = 0;
      item->id = 0;
    } else {
      item->id = Get16(entry);
      std::snprintf(item->name, sizeof item->name, "%d", item->id);
    }
  }
}

// The root directory of one resource section: the types the plug-in reads.
void ReadResourceSection(ResourceModule& module, int64_t base) {
  CVCXStream& stream = module.stream;
  uint8_t header[16];
  ReadAt(stream, base, header, 16);
  const int named = Get16(header + 12);
  const int ids = Get16(header + 14);
  Spend(module, named + ids);
  for (int i = 0; i < ids; ++i) {
    uint8_t entry[8];
    ReadAt(stream, base + 16 + 8 * static_cast<int64_t>(named + i), entry, 8);
    const uint32_t type = Get32(entry);
    const uint32_t target = Get32(entry + 4);
    CVCXList* list = ListOfType(module, type);
    if (list && (target & 0x80000000u))
      ReadNames(module, base, target & 0x7FFFFFFFu, static_cast<int32_t>(type), *list);
  }
}

int CompareIds(const CVCXListNode* a, const CVCXListNode* b, void*) {
  const uint16_t x = static_cast<const ResourceItem*>(a)->id;
  const uint16_t y = static_cast<const ResourceItem*>(b)->id;
  return x < y ? -1 : (x > y ? 1 : 0);
}

// The middle item of each range becomes the node.
ResourceItem* BuildTree(ResourceItem** items, int count) {
  if (count <= 0)
    return nullptr;
  const int middle = count / 2;
  ResourceItem* node = items[middle];
  node->left = BuildTree(items, middle);
  node->right = BuildTree(items + middle + 1, count - middle - 1);
  return node;
}

ResourceItem* SortAndIndex(CVCXList& list) {
  list.Sort(CompareIds, nullptr);
  if (!list.count)
    return nullptr;
  std::unique_ptr<ResourceItem*[]> items(new ResourceItem*[list.count]);
  int n = 0;
  for (CVCXListNode* node = list.first; node; node = node->next)
    items[n++] = static_cast<ResourceItem*>(node);
  return BuildTree(items.get(), n);
}

void AppendCount(char* text, size_t size, int count, const char* one, const char* many) {
  if (!count)
    return;
  const size_t used = std::strlen(text);
  char part[48];
  if (count == 1)
    std::snprintf(part, sizeof part, "%s", one);
  else
    std::snprintf(part, sizeof part, many, count);
  std::snprintf(text + used, size - used, "%s%s", text[used - 1] == '\n' ? "" : ", ", part);
}

bool IsGroup(const ResourceItem* item) {
  return item->type == PE_RT_GROUP_ICON || item->type == PE_RT_GROUP_CURSOR;
}

// The size and depth of an icon or cursor resource from its header (a cursor's image starts
// after its hotspot): a DIB header, or a PNG's as libpng reads it. An image without pixels or
// depth, above the host's preview limit or of another kind is no picture; data too short
// for its header is broken. Looked at once per resource, however many entries name it.
const EntryFacts& FactsOf(ResourceItem* member) {
  EntryFacts& facts = member->facts;
  if (facts.state != EntryFacts::UNKNOWN)
    return facts;
  const uint8_t* data = PeLoadResourceData(member);
  const uint32_t skip = member->type == PE_RT_CURSOR ? 4 : 0;
  if (member->size < skip + 4) {
    facts.state = EntryFacts::BROKEN;
    return facts;
  }
  const uint8_t* image = data + skip;
  const uint32_t available = member->size - skip;
  int64_t width, height, depth;
  if (Get32(image) == 40) {
    if (available < 40) {
      facts.state = EntryFacts::BROKEN;
      return facts;
    }
    width = static_cast<int32_t>(Get32(image + 4));
    height = static_cast<int32_t>(Get32(image + 8));
    width = width < 0 ? -width : width;
    height = (height < 0 ? -height : height) / 2;
    depth = Get16(image + 14);
  } else if (available >= 8 && std::memcmp(image, kPngSignature, 8) == 0) {
    // A member whose header libpng rejects is no picture of the group.
    CVCXMemoryStream png(image, available);
    PngInfo info;
    try {
      info = PngReadInfo(png);
    } catch (const CVCXException&) {
      facts.state = EntryFacts::NO_PICTURE;
      return facts;
    }
    width = info.width;
    height = info.height;
    depth = info.depth;
  } else {
    facts.state = EntryFacts::NO_PICTURE;
    return facts;
  }
  if (depth == 0 || !vcxIsPreviewSize(static_cast<uint64_t>(width * height))) {
    facts.state = EntryFacts::NO_PICTURE;
    return facts;
  }
  facts.state = EntryFacts::PICTURE;
  facts.width = width;
  facts.height = height;
  facts.depth = depth;
  return facts;
}

}  // namespace

ResourceItem::ResourceItem()
    : module(nullptr),
      type(0),
      id(0),
      base(0),
      offset(0),
      data(nullptr),
      size(0),
      position(0),
      loaded(false),
      left(nullptr),
      right(nullptr) {
  name[0] = 0;
}

ResourceItem::~ResourceItem() {}

ResourceModule::ResourceModule(CVCXStream& s)
    : stream(s),
      start(s.GetPosition()),
      iconTree(nullptr),
      cursorTree(nullptr),
      iconGroupTree(nullptr),
      cursorGroupTree(nullptr),
      bitmapTree(nullptr),
      entryBudget(s.GetSize() / 8 + 64),
      // The distinct blocks of a sound file lie side by side in it, together no more than
      // its size; twice that and 64 KiB leave room for blocks that share some bytes.
      dataBudget(2 * s.GetSize() + 65536) {}

ResourceItem* ResourceModule::Find(int32_t type, uint16_t id) const {
  ResourceItem* node = type == PE_RT_CURSOR ? cursorTree
                       : type == PE_RT_ICON ? iconTree
                       : type == PE_RT_GROUP_ICON ? iconGroupTree
                       : type == PE_RT_GROUP_CURSOR ? cursorGroupTree
                       : type == PE_RT_BITMAP ? bitmapTree
                                              : nullptr;
  while (node && node->id != id)
    node = id < node->id ? node->left : node->right;
  return node;
}

int32_t ResourceModule::ImageCount() const {
  return iconGroups.count + cursorGroups.count + bitmaps.count;
}

ResourceModule* PeReadResources(CVCXStream& stream) {
  std::unique_ptr<ResourceModule> module(new ResourceModule(stream));
  const int64_t start = module->start;
  uint8_t dos[64];
  stream.ReadExact(dos, 64);
  if (Get16(dos) != 0x5A4D)
    vcxThrow(VCX_ERROR_DATA);
  uint8_t signature[4];
  ReadAt(stream, start + Get32(dos + 60), signature, 4);
  if (Get32(signature) != 0x00004550)
    vcxThrow(VCX_ERROR_DATA);
  uint8_t file[20];
  stream.ReadExact(file, 20);
  const int sectionCount = Get16(file + 2);
  int64_t next = stream.GetPosition() + Get16(file + 16);
  for (int i = 0; i < sectionCount; ++i) {
    uint8_t raw[40];
    ReadAt(stream, next, raw, 40);
    next += 40;
    ResourceSection* section = new ResourceSection;
    module->sections.Append(section);
    section->virtualSize = Get32(raw + 8);
    section->virtualAddress = Get32(raw + 12);
    section->rawSize = Get32(raw + 16);
    section->rawOffset = Get32(raw + 20);
    char name[9] = {};
    std::memcpy(name, raw, 8);
    if (_stricmp(name, ".rsrc") == 0)
      ReadResourceSection(*module, start + section->rawOffset);
  }
  module->iconGroupTree = SortAndIndex(module->iconGroups);
  module->cursorGroupTree = SortAndIndex(module->cursorGroups);
  module->bitmapTree = SortAndIndex(module->bitmaps);
  module->iconTree = SortAndIndex(module->icons);
  module->cursorTree = SortAndIndex(module->cursors);
  return module.release();
}

const uint8_t* PeLoadResourceData(ResourceItem* item) {
  if (!item)
    vcxThrow(VCX_ERROR_INTERNAL);
  if (item->loaded)
    return item->data;
  ResourceModule& module = *item->module;
  CVCXStream& stream = module.stream;
  uint8_t header[16];
  ReadAt(stream, item->base + item->offset, header, 16);
  if (Get16(header + 12) + Get16(header + 14) == 0)
    vcxThrow(VCX_ERROR_DATA);
  uint8_t entry[8];
  stream.ReadExact(entry, 8);
  const uint32_t target = Get32(entry + 4);
  if (target & 0x80000000u)
    vcxThrow(VCX_ERROR_FORMAT);
  uint8_t dataEntry[16];
  ReadAt(stream, item->base + target, dataEntry, 16);
  const uint32_t rva = Get32(dataEntry);
  const uint32_t size = Get32(dataEntry + 4);
  int64_t position = -1;
  for (CVCXListNode* node = module.sections.first; node; node = node->next) {
    const ResourceSection* section = static_cast<const ResourceSection*>(node);
    if (section->virtualAddress <= rva &&
        rva < static_cast<uint64_t>(section->virtualAddress) + section->virtualSize) {
      position = module.start + section->rawOffset + (rva - section->virtualAddress);
      break;
    }
  }
  if (position < 0 || position + static_cast<int64_t>(size) > stream.GetSize())
    vcxThrow(VCX_ERROR_DATA);
  if (size) {
    const std::pair<int64_t, uint32_t> key(position, size);
    auto block = module.blocks.find(key);
    if (block == module.blocks.end()) {
      if (size > module.dataBudget)
        vcxThrow(VCX_ERROR_DATA);
      std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size]);
      if (!data)
        vcxThrow(VCX_ERROR_MEMORY);
      stream.Seek(position);
      if (stream.Read(data.get(), size) != size)
        vcxThrow(VCX_ERROR_READ);
      block = module.blocks.emplace(key, std::move(data)).first;
      module.dataBudget -= size;
    }
    item->data = block->second.get();
  }
  item->size = size;
  item->position = position;
  item->loaded = true;
  return item->data;
}

VCXLayeredImage* ExeChooseGroupImage(ResourceItem* group, const SIZE* box, uint64_t* pixelBudget) {
  const uint8_t* bytes = PeLoadResourceData(group);
  CVCXMemoryStream groupStream(bytes, group->size);
  IconDirectory directory;
  IcoReadDirectory(groupStream, true, directory);
  const bool cursor = group->type == PE_RT_GROUP_CURSOR;
  ResourceItem* best = nullptr;
  double bestScore = 0;
  for (CVCXListNode* node = directory.entries.first; node; node = node->next) {
    const IconDirEntry* entry = static_cast<const IconDirEntry*>(node);
    ResourceItem* member =
        group->module->Find(cursor ? PE_RT_CURSOR : PE_RT_ICON, static_cast<uint16_t>(entry->resourceId));
    if (!member)
      continue;
    const EntryFacts& facts = FactsOf(member);
    if (facts.state == EntryFacts::BROKEN)
      vcxThrow(VCX_ERROR_DATA);
    if (facts.state != EntryFacts::PICTURE)
      continue;
    double score;
    if (box) {
      const double dw = std::fabs(static_cast<double>(facts.width - box->cx));
      const double dh = std::fabs(static_cast<double>(facts.height - box->cy));
      score = static_cast<double>(facts.depth) /
              (std::sqrt(dw * dh / static_cast<double>(facts.width * facts.height)) + 0.25);
    } else {
      score = static_cast<double>(facts.width * facts.height) * static_cast<double>(facts.depth);
    }
    if (!best || score >= bestScore) {
      best = member;
      bestScore = score;
    }
  }
  if (!best)
    return nullptr;
  if (pixelBudget) {
    const uint64_t pixels = static_cast<uint64_t>(best->facts.width * best->facts.height);
    if (pixels > *pixelBudget)
      return nullptr;
    *pixelBudget -= pixels;
  }
  const uint32_t skip = cursor ? 4 : 0;
  CVCXMemoryStream image(best->data + skip, best->size - skip);
  return IcoReadEntry(image, nullptr);
}

VCXLayeredImage* ExeReadPreview(ResourceItem* item, const SIZE* box, uint64_t* pixelBudget) {
  if (!item)
    return nullptr;
  if (IsGroup(item))
    return ExeChooseGroupImage(item, box, pixelBudget);
  if (item->type == PE_RT_BITMAP) {
    const uint8_t* data = PeLoadResourceData(item);
    CVCXMemoryStream stream(data, item->size);
    return DibReadPreview(stream, true, 0, pixelBudget);
  }
  return nullptr;
}

VCXMultiImage* ExeReadGroup(ResourceItem* group, int* outType) {
  const uint8_t* bytes = PeLoadResourceData(group);
  CVCXMemoryStream groupStream(bytes, group->size);
  IconDirectory directory;
  IcoReadDirectory(groupStream, true, directory);
  if (outType)
    *outType = directory.type == ICON_TYPE_CURSOR ? 3 : 2;
  if (!directory.entries.count)
    vcxThrow(VCX_ERROR_DATA, "There are no images in this file");
  const bool cursor = group->type == PE_RT_GROUP_CURSOR;
  VCXMultiImage* multi = vcxCreateMultiImage(directory.entries.count);
  MultiGuard guard(multi);
  CEntryReads reads(group->module->stream.GetSize());
  int32_t slot = 0;
  for (CVCXListNode* node = directory.entries.first; node; node = node->next, ++slot) {
    const IconDirEntry* entry = static_cast<const IconDirEntry*>(node);
    ResourceItem* member =
        group->module->Find(cursor ? PE_RT_CURSOR : PE_RT_ICON, static_cast<uint16_t>(entry->resourceId));
    if (!member)
      vcxThrow(VCX_ERROR_INTERNAL);
    const uint8_t* data = PeLoadResourceData(member);
    if (!reads.MayRead(member->position))
      continue;
    const uint32_t skip = cursor ? 4 : 0;
    if (member->size < skip)
      vcxThrow(VCX_ERROR_DATA);
    POINT hotspot = {cursor ? Get16(data) : 0, cursor ? Get16(data + 2) : 0};
    CVCXMemoryStream stream(data + skip, member->size - skip);
    vcxSetImageSlot(multi, slot, IcoReadEntry(stream, cursor ? &hotspot : nullptr));
    reads.Read(member->position, member->position + skip + stream.GetPosition());
  }
  if (vcxCountImages(multi) == 0)
    vcxThrow(VCX_ERROR_DATA, "There are no images in this file");
  return guard.release();
}

bool ExeCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen) {
  const int64_t start = stream.GetPosition();
  uint8_t dos[64];
  uint8_t signature[4];
  bool accepted = stream.Read(dos, 64) == 64 && Get16(dos) == 0x5A4D;
  if (accepted) {
    const int64_t pe = start + Get32(dos + 60);
    accepted = pe <= stream.GetSize();
    if (accepted) {
      stream.Seek(pe);
      accepted = stream.Read(signature, 4) == 4 && Get32(signature) == 0x00004550;
    }
  }
  if (!accepted || (!preview && !description)) {
    stream.Seek(start);
    return accepted;
  }
  std::unique_ptr<ResourceModule> module;
  try {
    stream.Seek(start);
    module.reset(PeReadResources(stream));
    if (description) {
      char text[160] = "Windows executable\n";
      AppendCount(text, sizeof text, module->iconGroups.count, "1 icon", "%d icons");
      AppendCount(text, sizeof text, module->cursorGroups.count, "1 cursor", "%d cursors");
      AppendCount(text, sizeof text, module->bitmaps.count, "1 bitmap", "%d bitmaps");
      if (!module->ImageCount())
        std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "No images");
      vcxStrCopy(description, text, descriptionLen);
    }
  } catch (...) {
    stream.Seek(start);
    return false;
  }
  if (preview) {
    try {
      vcxFreeLayeredImage(*preview);
      *preview = nullptr;
      ResourceItem* item = static_cast<ResourceItem*>(module->iconGroups.first);
      if (!item)
        item = static_cast<ResourceItem*>(module->bitmaps.first);
      if (!item)
        item = static_cast<ResourceItem*>(module->cursorGroups.first);
      if (item) {
        SIZE box = {vcxGetMetric(VCX_METRIC_PREVIEW_WIDTH), vcxGetMetric(VCX_METRIC_PREVIEW_HEIGHT)};
        *preview = ExeReadPreview(item, &box);
      }
    } catch (...) {
      *preview = nullptr;
    }
  }
  module.reset();
  stream.Seek(start);
  return true;
}

VCXMultiImage* ExeImport(HWND parent, CVCXStream& stream, int* outType) {
  std::unique_ptr<ResourceModule> module(PeReadResources(stream));
  if (module->ImageCount() == 0)
    vcxThrow(VCX_ERROR_DATA, "There are no images in this file");
  ResourceItem* item = nullptr;
  if (module->ImageCount() == 1) {
    item = static_cast<ResourceItem*>(module->iconGroups.first);
    if (!item)
      item = static_cast<ResourceItem*>(module->cursorGroups.first);
    if (!item)
      item = static_cast<ResourceItem*>(module->bitmaps.first);
  } else {
    item = ImageChooserDialog(parent, module.get());
    if (!item)
      vcxThrow(VCX_ERROR_CANCELLED);
  }
  if (IsGroup(item))
    return ExeReadGroup(item, outType);
  const uint8_t* data = PeLoadResourceData(item);
  CVCXMemoryStream bitmap(data, item->size);
  VCXMultiImage* result = vcxWrapInMultiImage(DibReadBitmap(bitmap, true, 0));
  if (outType)
    *outType = 1;
  return result;
}
