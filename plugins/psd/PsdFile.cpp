#include "plugins/psd/PsdFile.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"

namespace {

uint16_t Be16(const uint8_t* b) {
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t Be32(const uint8_t* b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

// Bounds-checked reading of the layer section in memory; running past its end is error 4.
class CSectionReader {
public:
  CSectionReader(const uint8_t* data, size_t size) : m_data(data), m_size(size), m_position(0) {}
  size_t Position() const { return m_position; }
  size_t Remaining() const { return m_size - m_position; }
  const uint8_t* At(size_t n) {
    vcxThrowIf(n > Remaining(), VCX_ERROR_DATA);
    const uint8_t* p = m_data + m_position;
    m_position += n;
    return p;
  }
  uint8_t U8() { return *At(1); }
  uint16_t U16() { return Be16(At(2)); }
  uint32_t U32() { return Be32(At(4)); }
  int32_t S32() { return static_cast<int32_t>(U32()); }
  void Skip(uint64_t n) {
    vcxThrowIf(n > Remaining(), VCX_ERROR_DATA);
    m_position += static_cast<size_t>(n);
  }
  void Seek(size_t position) {
    vcxThrowIf(position > m_size, VCX_ERROR_DATA);
    m_position = position;
  }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_position;
};

struct ChannelInfo {
  int16_t id;
  uint32_t length;  // compression word included
  size_t offset;    // of the compression word in the section
};

struct LayerRecord {
  int32_t top, left, bottom, right;
  std::vector<ChannelInfo> channels;
  uint8_t opacity;
  uint8_t flags;
  bool hasMask;
  int32_t maskTop, maskLeft, maskBottom, maskRight;
  uint8_t maskDefault;
  uint8_t maskFlags;
  char name[64];
};

// Layer images freed unless released.
struct LayerList {
  std::vector<VCXImage*> images;
  ~LayerList() {
    for (VCXImage* image : images)
      vcxHostFreeImage(image);
  }
};

uint8_t Clamp8(double v) {
  return static_cast<uint8_t>(v <= 0 ? 0 : v >= 255 ? 255 : std::lround(v));
}

uint16_t Clamp16(double v) {
  return static_cast<uint16_t>(v <= 0 ? 0 : v >= 65535 ? 65535 : std::lround(v));
}

// CMYK stored inverted (255 = no ink): the colour channel under the black.
uint8_t Ink8(uint32_t x, uint32_t k) {
  const uint32_t o = ((255 - x) * k + 127) / 255;
  return static_cast<uint8_t>(o > k ? 0 : k - o);
}

uint16_t Ink16(uint64_t x, uint64_t k) {
  const uint64_t o = ((65535 - x) * k + 32767) / 65535;
  return static_cast<uint16_t>(o > k ? 0 : k - o);
}

// Reads one sample of a plane: 8 bits, or 16 bits big-endian.
uint32_t Sample(const uint8_t* plane, size_t index, bool wide) {
  return wide ? Be16(plane + 2 * index) : plane[index];
}

// Unpacks one channel of a layer record into size = width * height bytes (the high byte of
// 16-bit samples). Throws 4 when its data is short or does not unpack.
void UnpackLayerChannel(const uint8_t* section, const ChannelInfo& channel, uint32_t width,
                        uint32_t height, uint32_t sampleBytes, uint8_t* out) {
  vcxThrowIf(channel.length < 2, VCX_ERROR_DATA);
  const uint8_t* data = section + channel.offset + 2;
  const size_t dataSize = channel.length - 2;
  const uint16_t compression = Be16(section + channel.offset);
  const size_t rowBytes = size_t(width) * sampleBytes;
  CVcxBlock row(rowBytes);
  const uint8_t* packed = data + size_t(height) * 2;
  size_t used = size_t(height) * 2;
  if (compression == 1)
    vcxThrowIf(used > dataSize, VCX_ERROR_DATA);
  else
    vcxThrowIf(uint64_t(rowBytes) * height > dataSize, VCX_ERROR_DATA);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source;
    if (compression == 1) {
      const size_t count = Be16(data + 2 * size_t(y));
      vcxThrowIf(count > dataSize - used, VCX_ERROR_DATA);
      vcxThrowIf(!PsdUnpackBits(packed, count, row.data, rowBytes), VCX_ERROR_DATA);
      packed += count;
      used += count;
      source = row.data;
    } else {
      source = data + rowBytes * y;
    }
    uint8_t* to = out + size_t(width) * y;
    for (uint32_t x = 0; x < width; ++x)
      to[x] = source[size_t(x) * sampleBytes];
  }
}

LayerRecord ReadLayerRecord(CSectionReader& in) {
  LayerRecord r;
  r.top = in.S32();
  r.left = in.S32();
  r.bottom = in.S32();
  r.right = in.S32();
  const uint32_t channelCount = in.U16();
  vcxThrowIf(uint64_t(channelCount) * 6 > in.Remaining(), VCX_ERROR_DATA);
  r.channels.resize(channelCount);
  for (ChannelInfo& c : r.channels) {
    c.id = static_cast<int16_t>(in.U16());
    c.length = in.U32();
    c.offset = 0;
  }
  in.Skip(8);  // blend signature and key
  r.opacity = in.U8();
  in.U8();  // clipping
  r.flags = in.U8();
  in.U8();
  const uint32_t extraLength = in.U32();
  vcxThrowIf(extraLength > in.Remaining(), VCX_ERROR_DATA);
  const size_t extraEnd = in.Position() + extraLength;
  r.hasMask = false;
  r.name[0] = 0;
  if (extraLength >= 4) {
    const uint32_t maskLength = in.U32();
    vcxThrowIf(maskLength > extraEnd - in.Position(), VCX_ERROR_DATA);
    const size_t maskEnd = in.Position() + maskLength;
    if (maskLength >= 18) {
      r.hasMask = true;
      r.maskTop = in.S32();
      r.maskLeft = in.S32();
      r.maskBottom = in.S32();
      r.maskRight = in.S32();
      r.maskDefault = in.U8();
      r.maskFlags = in.U8();
    }
    in.Seek(maskEnd);
    if (extraEnd - in.Position() >= 4) {
      const uint32_t rangesLength = in.U32();
      vcxThrowIf(rangesLength > extraEnd - in.Position(), VCX_ERROR_DATA);
      in.Skip(rangesLength);
    }
    if (extraEnd > in.Position()) {
      const uint32_t nameLength = in.U8();
      vcxThrowIf(nameLength > extraEnd - in.Position(), VCX_ERROR_DATA);
      const uint8_t* name = in.At(nameLength);
      const uint32_t kept = nameLength > 63 ? 63 : nameLength;
      std::memcpy(r.name, name, kept);
      r.name[kept] = 0;
    }
  }
  in.Seek(extraEnd);
  return r;
}

// The colour of one layer pixel from its channel planes (null when missing), written blue,
// green, red.
void LayerColor(uint16_t mode, const uint8_t* const* planes, size_t i, uint8_t* bgr) {
  auto c = [&](int k) -> uint32_t { return planes[k] ? planes[k][i] : 0; };
  switch (mode) {
    case PSD_RGB:
      bgr[0] = static_cast<uint8_t>(c(2));
      bgr[1] = static_cast<uint8_t>(c(1));
      bgr[2] = static_cast<uint8_t>(c(0));
      break;
    case PSD_CMYK: {
      const uint32_t k = c(3);
      bgr[0] = Ink8(c(2), k);
      bgr[1] = Ink8(c(1), k);
      bgr[2] = Ink8(c(0), k);
      break;
    }
    case PSD_LAB: {
      double rgb[3];
      PsdLabToRgb(c(0) * 100.0 / 255.0, double(c(1)) - 128.0, double(c(2)) - 128.0, rgb);
      bgr[0] = Clamp8(rgb[2] * 255.0);
      bgr[1] = Clamp8(rgb[1] * 255.0);
      bgr[2] = Clamp8(rgb[0] * 255.0);
      break;
    }
    default:  // grey and duotone
      bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>(c(0));
      break;
  }
}

VCXImage* MakeLayer(const PsdDocument& document, const LayerRecord& r, const uint8_t* extraAlpha,
                    size_t extraSize) {
  const uint8_t* section = document.layerSection.data;
  const uint16_t mode = document.header.mode;
  const uint32_t sampleBytes = document.header.depth == 16 ? 2 : 1;
  const int64_t width64 = int64_t(r.right) - r.left;
  const int64_t height64 = int64_t(r.bottom) - r.top;
  const uint32_t width = static_cast<uint32_t>(width64);
  const uint32_t height = static_cast<uint32_t>(height64);
  const uint64_t count = uint64_t(width) * height;

  // A layer cannot be larger than its channel data could describe (PackBits packs at most
  // 128 samples into two bytes).
  uint64_t data = 0;
  for (const ChannelInfo& c : r.channels)
    data += c.length;
  vcxThrowIf(width64 > INT32_MAX || height64 > INT32_MAX || count > data * 64, VCX_ERROR_DATA);
  vcxCheckedSize(count * 4);

  const int colorChannels = mode == PSD_RGB || mode == PSD_LAB ? 3 : mode == PSD_CMYK ? 4 : 1;
  std::vector<CVcxBlock> owned(r.channels.size());
  const uint8_t* planes[4] = {nullptr, nullptr, nullptr, nullptr};
  const uint8_t* alpha = nullptr;
  const uint8_t* mask = nullptr;
  uint32_t maskWidth = 0;
  uint32_t maskHeight = 0;
  const bool maskUsed = r.hasMask && !(r.maskFlags & 2);
  // A channel id listed more than once: only its last channel image is used.
  size_t lastOfId[6] = {0, 0, 0, 0, 0, 0};  // ids -2 to 3
  for (size_t k = 0; k < r.channels.size(); ++k)
    if (r.channels[k].id >= -2 && r.channels[k].id <= 3)
      lastOfId[r.channels[k].id + 2] = k;
  for (size_t k = 0; k < r.channels.size(); ++k) {
    const ChannelInfo& c = r.channels[k];
    if (c.id >= -2 && c.id <= 3 && lastOfId[c.id + 2] != k)
      continue;
    if (c.id == -2) {
      vcxThrowIf(!r.hasMask, VCX_ERROR_DATA);
      if (!maskUsed)
        continue;
      const int64_t mw = int64_t(r.maskRight) - r.maskLeft;
      const int64_t mh = int64_t(r.maskBottom) - r.maskTop;
      if (mw <= 0 || mh <= 0)
        continue;
      vcxThrowIf(mw > INT32_MAX || mh > INT32_MAX || uint64_t(mw) * uint64_t(mh) > uint64_t(c.length) * 64,
                 VCX_ERROR_DATA);
      maskWidth = static_cast<uint32_t>(mw);
      maskHeight = static_cast<uint32_t>(mh);
      owned[k].Allocate(uint64_t(maskWidth) * maskHeight);
      UnpackLayerChannel(section, c, maskWidth, maskHeight, sampleBytes, owned[k].data);
      mask = owned[k].data;
    } else if (c.id == -1 || (c.id >= 0 && c.id < colorChannels)) {
      owned[k].Allocate(count);
      UnpackLayerChannel(section, c, width, height, sampleBytes, owned[k].data);
      if (c.id == -1)
        alpha = owned[k].data;
      else
        planes[c.id] = owned[k].data;
    }
  }

  VCXImage request = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, static_cast<int32_t>(width),
                                     static_cast<int32_t>(height), r.name);
  request.flags = (r.flags & 2) ? VCX_FLAG_HIDDEN : 0;
  request.x = r.left;
  request.y = r.top;
  request.opacity = r.opacity / 255.0f;
  VCXImage* image = vcxHostCreateImage(request);
  vcxThrowIf(!image, VCX_ERROR_MEMORY);
  uint8_t* out = vcxGetPixelSlot(image);
  for (uint64_t i = 0; i < count; ++i, out += 4) {
    LayerColor(mode, planes, static_cast<size_t>(i), out);
    if (alpha)
      out[3] = alpha[i];
    else if (extraAlpha)
      out[3] = i < extraSize ? extraAlpha[i] : 255;
    else
      out[3] = 255;
  }

  if (maskUsed) {
    int64_t left = r.maskLeft;
    int64_t top = r.maskTop;
    if (!(r.maskFlags & 1)) {
      left -= r.left;
      top -= r.top;
    }
    const bool invert = (r.maskFlags & 4) != 0;
    uint8_t* pixels = vcxGetPixelSlot(image);
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        uint8_t& a = pixels[(size_t(y) * width + x) * 4 + 3];
        const int64_t mx = x - left;
        const int64_t my = y - top;
        if (mask && mx >= 0 && my >= 0 && mx < maskWidth && my < maskHeight) {
          uint32_t m = mask[size_t(my) * maskWidth + size_t(mx)];
          if (invert)
            m = 255 - m;
          a = static_cast<uint8_t>((a * m + 127) / 255);
        } else if (r.maskDefault == 0) {
          a = 0;
        }
      }
    }
  }
  return image;
}

}  // namespace

void PsdParseHeader(const uint8_t* b, PsdHeader& h) {
  vcxThrowIf(std::memcmp(b, "8BPS", 4) != 0, VCX_ERROR_DATA);
  h.version = Be16(b + 4);
  for (int i = 6; i < 12; ++i)
    vcxThrowIf(b[i] != 0, VCX_ERROR_DATA);
  h.channels = Be16(b + 12);
  h.height = Be32(b + 14);
  h.width = Be32(b + 18);
  h.depth = Be16(b + 22);
  h.mode = Be16(b + 24);
  vcxThrowIf(h.version != 1, VCX_ERROR_DATA);
  vcxThrowIf(h.channels < 1 || h.channels > PSD_MAX_CHANNELS, VCX_ERROR_DATA);
  vcxThrowIf(h.height < 1 || h.height > PSD_MAX_SIZE || h.width < 1 || h.width > PSD_MAX_SIZE,
             VCX_ERROR_DATA);
  vcxThrowIf(h.depth != 1 && h.depth != 8 && h.depth != 16, VCX_ERROR_DATA);
  vcxThrowIf(h.mode > 9, VCX_ERROR_DATA);
}

void PsdDescribe(const PsdHeader& h, char* text, int size) {
  if (!text || size <= 0)
    return;
  const char* name;
  uint32_t bits;
  switch (h.mode) {
    case PSD_BITMAP: name = "Monochrome"; bits = h.depth; break;
    case PSD_GREY: name = "Grayscale"; bits = h.depth; break;
    case PSD_INDEXED: name = "Indexed"; bits = h.depth; break;
    case PSD_RGB:
      name = h.channels == 3 ? "RGB" : "RGBA";
      bits = (h.channels == 3 ? 3u : 4u) * h.depth;
      break;
    case PSD_CMYK: name = "CMYK"; bits = 4u * h.depth; break;
    case PSD_MULTICHANNEL: name = "Multichannel"; bits = uint32_t(h.depth) * h.channels; break;
    case PSD_DUOTONE: name = "Duotone"; bits = h.depth; break;
    case PSD_LAB: name = "Lab"; bits = 3u * h.depth; break;
    default: name = "Unknown"; bits = uint32_t(h.depth) * h.channels; break;
  }
  std::snprintf(text, static_cast<size_t>(size), "Photoshop document\n%ux%u %s (%u bpp)", h.width, h.height,
                name, bits);
}

void PsdReadDocument(CVcxReader& reader, PsdDocument& d, bool keepLayers) {
  uint8_t raw[PSD_HEADER_SIZE];
  reader.Read(raw, sizeof raw);
  PsdParseHeader(raw, d.header);

  const uint32_t colorLength = reader.ReadBE32();
  if (colorLength == sizeof d.palette) {
    reader.Read(d.palette, sizeof d.palette);
    d.hasPalette = true;
  } else {
    reader.Skip(colorLength);
  }

  const uint32_t resourcesLength = reader.ReadBE32();
  vcxThrowIf(resourcesLength > reader.Remaining(), VCX_ERROR_READ);
  const uint64_t resourcesEnd = reader.Position() + resourcesLength;
  if (d.hasPalette) {
    bool count = false;
    bool transparent = false;
    // Signature, id, padded name, data length and padded data per block.
    while (!(count && transparent) && resourcesEnd - reader.Position() >= 12) {
      reader.Skip(4);
      const uint16_t id = reader.ReadBE16();
      const uint32_t nameLength = reader.ReadByte();
      const uint32_t namePadded = (nameLength + 2) & ~1u;
      if (namePadded - 1 > resourcesEnd - reader.Position())
        break;
      reader.Skip(namePadded - 1);
      if (resourcesEnd - reader.Position() < 4)
        break;
      const uint32_t length = reader.ReadBE32();
      const uint64_t padded = (uint64_t(length) + 1) & ~uint64_t(1);
      if (padded > resourcesEnd - reader.Position())
        break;
      const uint64_t next = reader.Position() + padded;
      if (id == 1046 && length >= 2) {
        // More entries than the colour table holds cannot be filled.
        const uint16_t n = reader.ReadBE16();
        d.paletteCount = n > 256 ? 256 : n;
        count = true;
      } else if (id == 1047 && length >= 2) {
        d.transparentIndex = reader.ReadBE16();
        transparent = true;
      }
      reader.Seek(next);
    }
  }
  reader.Seek(resourcesEnd);

  const uint32_t sectionLength = reader.ReadBE32();
  vcxThrowIf(sectionLength > reader.Remaining(), VCX_ERROR_READ);
  const uint64_t sectionEnd = reader.Position() + sectionLength;
  int16_t stored = 0;
  if (keepLayers) {
    d.layerSection.Allocate(sectionLength);
    reader.Read(d.layerSection.data, d.layerSection.size);
    if (sectionLength >= 6 && Be32(d.layerSection.data) >= 2)
      stored = static_cast<int16_t>(Be16(d.layerSection.data + 4));
  } else if (sectionLength >= 6) {
    const uint32_t infoLength = reader.ReadBE32();
    const uint16_t value = reader.ReadBE16();
    if (infoLength >= 2)
      stored = static_cast<int16_t>(value);
  }
  reader.Seek(sectionEnd);
  d.layerCount = stored < 0 ? -int32_t(stored) : stored;
  d.mergedAlpha = stored < 0;
  d.compositeOffset = reader.Position();
}

uint32_t PsdNeededChannels(const PsdDocument& d) {
  uint32_t n;
  switch (d.header.mode) {
    case PSD_BITMAP:
    case PSD_GREY:
    case PSD_INDEXED:
    case PSD_DUOTONE: n = 1; break;
    case PSD_RGB:
    case PSD_LAB: n = 3; break;
    case PSD_CMYK: n = 4; break;
    case PSD_MULTICHANNEL: n = 0; break;
    default: n = d.header.mode; break;
  }
  return n + (d.mergedAlpha ? 1 : 0);
}

bool PsdUnpackBits(const uint8_t* data, size_t dataSize, uint8_t* out, size_t size) {
  size_t in = 0;
  size_t done = 0;
  while (done < size) {
    if (in >= dataSize)
      return false;
    const uint8_t c = data[in++];
    if (c < 128) {
      const size_t n = size_t(c) + 1;
      if (n > size - done || n > dataSize - in)
        return false;
      std::memcpy(out + done, data + in, n);
      in += n;
      done += n;
    } else if (c > 128) {
      const size_t n = 257 - size_t(c);
      if (n > size - done || in >= dataSize)
        return false;
      std::memset(out + done, data[in++], n);
      done += n;
    }
  }
  return true;
}

void PsdReadComposite(CVcxReader& reader, const PsdDocument& d, uint32_t first, uint32_t count,
                      CVcxBlock& planes) {
  const PsdHeader& h = d.header;
  vcxThrowIf(first + count > h.channels, VCX_ERROR_DATA);
  const uint64_t rowBytes = CalcRowBytes(h.width, h.depth);
  const uint64_t planeBytes = rowBytes * h.height;
  reader.Seek(d.compositeOffset);
  const uint16_t compression = reader.ReadBE16();
  if (compression == 0) {
    vcxThrowIf(planeBytes * (first + count) > reader.Remaining(), VCX_ERROR_READ);
    planes.Allocate(planeBytes * count);
    reader.Skip(planeBytes * first);
    reader.Read(planes.data, planes.size);
    return;
  }

  // Byte counts of every row of every channel image, then the rows.
  const uint64_t rows = uint64_t(h.channels) * h.height;
  vcxThrowIf(rows * 2 > reader.Remaining(), VCX_ERROR_READ);
  CVcxBlock counts(rows * 2);
  reader.Read(counts.data, counts.size);
  uint64_t skip = 0;
  uint64_t packed = 0;
  size_t largest = 0;
  for (uint64_t row = 0; row < uint64_t(first + count) * h.height; ++row) {
    const uint16_t n = Be16(counts.data + 2 * row);
    if (row < uint64_t(first) * h.height) {
      skip += n;
    } else {
      packed += n;
      if (n > largest)
        largest = n;
    }
  }
  vcxThrowIf(skip + packed > reader.Remaining(), VCX_ERROR_READ);
  // Two packed bytes give at most 128 bytes.
  vcxThrowIf(planeBytes * count > packed * 64, VCX_ERROR_DATA);
  planes.Allocate(planeBytes * count);
  reader.Skip(skip);
  CVcxBlock row(largest ? largest : 1);
  for (uint64_t i = 0; i < uint64_t(count) * h.height; ++i) {
    const uint16_t n = Be16(counts.data + 2 * (uint64_t(first) * h.height + i));
    reader.Read(row.data, n);
    vcxThrowIf(!PsdUnpackBits(row.data, n, planes.data + rowBytes * i, static_cast<size_t>(rowBytes)),
               VCX_ERROR_DATA);
  }
}

VCXImage* PsdMakeComposite(CVcxReader& reader, const PsdDocument& d) {
  const PsdHeader& h = d.header;
  const uint32_t fc = h.channels;
  const bool wide = h.depth == 16;
  // Channels of the record and channel images to read.
  uint32_t channels = 0;
  uint32_t read = 0;
  switch (h.mode) {
    case PSD_RGB:
    case PSD_LAB:
      vcxThrowIf(fc < 3, VCX_ERROR_DATA);
      channels = d.mergedAlpha && fc >= 4 ? 4 : 3;
      read = channels;
      break;
    case PSD_CMYK:
      vcxThrowIf(fc < 4, VCX_ERROR_DATA);
      channels = d.mergedAlpha && fc >= 5 ? 4 : 3;
      read = channels + 1;
      break;
    case PSD_BITMAP:
    case PSD_GREY:
    case PSD_INDEXED:
    case PSD_DUOTONE:
      channels = read = 1;
      break;
    case PSD_MULTICHANNEL:
      channels = 3;
      read = fc < 3 ? fc : 3;
      break;
    default:
      throw CVcxError(VCX_ERROR_DATA);
  }
  uint32_t format;
  switch (channels * h.depth) {
    case 1: format = VCX_FORMAT_1; break;
    case 8: format = VCX_FORMAT_8; break;
    case 16: format = VCX_FORMAT_16; break;
    case 24: format = VCX_FORMAT_24; break;
    case 32: format = VCX_FORMAT_32; break;
    case 48: format = VCX_FORMAT_48; break;
    case 64: format = VCX_FORMAT_64; break;
    default: throw CVcxError(VCX_ERROR_DATA);
  }

  CVcxBlock planes;
  PsdReadComposite(reader, d, 0, read, planes);
  const size_t planeBytes = static_cast<size_t>(CalcRowBytes(h.width, h.depth) * h.height);
  const uint8_t* p[5] = {};
  for (uint32_t i = 0; i < read; ++i)
    p[i] = planes.data + planeBytes * i;

  VCXPalette* palette = nullptr;
  if (d.hasPalette && channels * h.depth <= 16) {
    palette = vcxHostCreatePalette(d.paletteCount);
    vcxThrowIf(!palette, VCX_ERROR_MEMORY);
    VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    for (int32_t i = 0; i < d.paletteCount; ++i) {
      entries[i].alpha = i == d.transparentIndex ? 0 : 255;
      entries[i].red = d.palette[i];
      entries[i].green = d.palette[256 + i];
      entries[i].blue = d.palette[512 + i];
    }
  }
  VCXImage* image = vcxHostCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, static_cast<int32_t>(h.width),
                                                       static_cast<int32_t>(h.height), "Background"));
  if (!image) {
    vcxHostFreePalette(palette);
    throw CVcxError(VCX_ERROR_MEMORY);
  }
  vcxSetImagePalette(image, palette);
  uint8_t* out = vcxGetPixelSlot(image);
  const size_t count = size_t(h.width) * h.height;

  switch (h.mode) {
    case PSD_BITMAP:
      for (size_t i = 0; i < planeBytes; ++i)
        out[i] = static_cast<uint8_t>(~p[0][i]);
      break;
    case PSD_GREY:
    case PSD_INDEXED:
    case PSD_DUOTONE:
      if (!wide) {
        std::memcpy(out, p[0], planeBytes);
      } else {
        // Records hold 16-bit samples little-endian.
        for (size_t i = 0; i < count; ++i) {
          out[2 * i] = p[0][2 * i + 1];
          out[2 * i + 1] = p[0][2 * i];
        }
      }
      break;
    default: {
      const uint32_t ss = wide ? 2 : 1;
      for (size_t i = 0; i < count; ++i) {
        uint32_t bgr[3];
        const uint32_t a = channels == 4 ? Sample(p[read - 1], i, wide) : 0;
        if (h.mode == PSD_CMYK) {
          const uint32_t k = Sample(p[3], i, wide);
          for (int c = 0; c < 3; ++c) {
            const uint32_t x = Sample(p[2 - c], i, wide);
            bgr[c] = wide ? Ink16(x, k) : Ink8(x, k);
          }
        } else if (h.mode == PSD_LAB) {
          const double scale = wide ? 65535.0 : 255.0;
          const double offset = wide ? 32768.0 : 128.0;
          const double unit = wide ? 257.0 : 1.0;
          double rgb[3];
          PsdLabToRgb(Sample(p[0], i, wide) * 100.0 / scale, (Sample(p[1], i, wide) - offset) / unit,
                      (Sample(p[2], i, wide) - offset) / unit, rgb);
          for (int c = 0; c < 3; ++c)
            bgr[c] = wide ? Clamp16(rgb[2 - c] * 65535.0) : Clamp8(rgb[2 - c] * 255.0);
        } else {
          // RGB, and the first three channels of a multichannel document.
          for (int c = 0; c < 3; ++c)
            bgr[c] = p[2 - c] ? Sample(p[2 - c], i, wide) : 0;
        }
        uint8_t* to = out + i * channels * ss;
        for (uint32_t c = 0; c < channels; ++c) {
          const uint32_t v = c < 3 ? bgr[c] : a;
          if (wide) {
            to[2 * c] = static_cast<uint8_t>(v);
            to[2 * c + 1] = static_cast<uint8_t>(v >> 8);
          } else {
            to[c] = static_cast<uint8_t>(v);
          }
        }
      }
      break;
    }
  }
  return image;
}

std::vector<VCXImage*> PsdMakeLayers(const PsdDocument& d, const uint8_t* extraAlpha, size_t extraSize) {
  const uint16_t mode = d.header.mode;
  vcxThrowIf(mode != PSD_GREY && mode != PSD_RGB && mode != PSD_CMYK && mode != PSD_LAB && mode != PSD_DUOTONE,
             VCX_ERROR_DATA);
  CSectionReader in(d.layerSection.data, d.layerSection.size);
  const uint32_t infoLength = in.U32();
  vcxThrowIf(infoLength > in.Remaining(), VCX_ERROR_DATA);
  const size_t infoEnd = in.Position() + infoLength;
  in.U16();  // the count, known already
  std::vector<LayerRecord> records;
  for (int32_t i = 0; i < d.layerCount; ++i) {
    // Each record takes at least 34 bytes.
    vcxThrowIf(in.Remaining() < 34, VCX_ERROR_DATA);
    records.push_back(ReadLayerRecord(in));
  }
  // The channel images follow the records, in record order.
  uint64_t offset = in.Position();
  for (LayerRecord& r : records) {
    for (ChannelInfo& c : r.channels) {
      c.offset = static_cast<size_t>(offset);
      offset += c.length;
      vcxThrowIf(offset > infoEnd, VCX_ERROR_DATA);
    }
  }
  LayerList made;
  for (const LayerRecord& r : records) {
    const bool irrelevant = (r.flags & 0x18) == 0x18;
    if (irrelevant || int64_t(r.right) - r.left <= 0 || int64_t(r.bottom) - r.top <= 0)
      continue;
    made.images.push_back(nullptr);
    made.images.back() = MakeLayer(d, r, extraAlpha, extraSize);
  }
  std::vector<VCXImage*> result;
  result.swap(made.images);
  return result;
}

void PsdLabToRgb(double l, double a, double b, double rgb[3]) {
  // CIELAB under D50 to linear sRGB (Bradford-adapted), then the sRGB curve.
  const double fy = (l + 16.0) / 116.0;
  const double fx = fy + a / 500.0;
  const double fz = fy - b / 200.0;
  auto finv = [](double t) {
    const double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3.0 * d * d * (t - 4.0 / 29.0);
  };
  const double x = 0.96422 * finv(fx);
  const double y = finv(fy);
  const double z = 0.82521 * finv(fz);
  const double linear[3] = {3.1338561 * x - 1.6168667 * y - 0.4906146 * z,
                            -0.9787684 * x + 1.9161415 * y + 0.0334540 * z,
                            0.0719453 * x - 0.2289914 * y + 1.4052427 * z};
  for (int i = 0; i < 3; ++i) {
    double c = linear[i] < 0 ? 0 : linear[i] > 1 ? 1 : linear[i];
    c = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    rgb[i] = c < 0 ? 0 : c > 1 ? 1 : c;
  }
}
