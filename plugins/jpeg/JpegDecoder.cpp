// The library's boolean is an int; the full windows.h would bring in another one.
#define WIN32_LEAN_AND_MEAN
#include "plugins/jpeg/JpegDecoder.h"
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

namespace {

enum { SOURCE_BUFFER_SIZE = 65536 };

// Real files have a few dozen scans at most; each scan costs a pass over the whole image, so
// a small file of many empty scans would otherwise hold the reader for seconds.
enum { MAX_SCANS = 1000 };

// The data source: reads the file handle into a buffer from the library's permanent pool.
struct Source {
  jpeg_source_mgr pub;
  HANDLE file;
  JOCTET* buffer;
  bool atStart;
};

// Everything that must survive a jump back out of the library.
struct Decode {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  jpeg_progress_mgr progress;
  Source source;
  jmp_buf jump;
  bool created;
  bool readFailed;
  uint8_t* pixels;
  int32_t errorCode;
};

Decode* StateOf(j_common_ptr cinfo) {
  return static_cast<Decode*>(cinfo->client_data);
}

void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(StateOf(cinfo)->jump, 1);
}

// Called before each piece of input the library takes in; ends a decompression past the
// last scan allowed the way the error manager does.
void ProgressMonitor(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MAX_SCANS) {
    StateOf(cinfo)->errorCode = VCX_ERROR_DATA;
    cinfo->err->error_exit(cinfo);
  }
}

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<Source*>(cinfo->src)->atStart = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  Source* src = reinterpret_cast<Source*>(cinfo->src);
  DWORD got = 0;
  if (!ReadFile(src->file, src->buffer, SOURCE_BUFFER_SIZE, &got, nullptr)) {
    StateOf(reinterpret_cast<j_common_ptr>(cinfo))->readFailed = true;
    cinfo->err->msg_code = VCX_ERROR_READ;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  }
  if (got == 0) {
    if (src->atStart)
      ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // A fake end-of-image marker.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = got;
  src->atStart = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  Source* src = reinterpret_cast<Source*>(cinfo->src);
  if (count <= 0)
    return;
  const size_t n = static_cast<size_t>(count);
  if (n > src->pub.bytes_in_buffer) {
    LARGE_INTEGER move;
    move.QuadPart = static_cast<LONGLONG>(n - src->pub.bytes_in_buffer);
    if (!SetFilePointerEx(src->file, move, nullptr, FILE_CURRENT)) {
      StateOf(reinterpret_cast<j_common_ptr>(cinfo))->readFailed = true;
      cinfo->err->msg_code = VCX_ERROR_READ;
      cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = 0;
  } else {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
  }
}

void TermSource(j_decompress_ptr) {}

// The library part: no object with a destructor lives here, so that a jump out of the
// library skips nothing. Returns 0 or an error code; the state keeps what was allocated.
int RunLibrary(Decode& d, HANDLE file, JpegInfo& info, bool wantPixels) {
  d.cinfo.err = jpeg_std_error(&d.err);
  d.err.error_exit = ErrorExit;
  d.cinfo.client_data = &d;
  if (setjmp(d.jump)) {
    if (d.errorCode)
      return d.errorCode;
    return d.readFailed ? VCX_ERROR_READ : VCX_ERROR_DATA;
  }
  jpeg_create_decompress(&d.cinfo);
  d.cinfo.client_data = &d;
  d.created = true;
  // Bounds the library's own buffers (whole-image coefficients of progressive files).
  d.cinfo.mem->max_memory_to_use = static_cast<long>(VCX_MAX_BLOCK);
  d.progress.progress_monitor = ProgressMonitor;
  d.cinfo.progress = &d.progress;

  d.source.file = file;
  d.source.buffer = static_cast<JOCTET*>(d.cinfo.mem->alloc_small(
      reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_PERMANENT, SOURCE_BUFFER_SIZE));
  d.source.pub.init_source = InitSource;
  d.source.pub.fill_input_buffer = FillInputBuffer;
  d.source.pub.skip_input_data = SkipInputData;
  d.source.pub.resync_to_restart = jpeg_resync_to_restart;
  d.source.pub.term_source = TermSource;
  d.source.pub.bytes_in_buffer = 0;
  d.source.pub.next_input_byte = nullptr;
  d.cinfo.src = &d.source.pub;

  jpeg_read_header(&d.cinfo, TRUE);
  info.width = static_cast<int32_t>(d.cinfo.image_width);
  info.height = static_cast<int32_t>(d.cinfo.image_height);
  switch (d.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: info.colorSpace = 1; break;
    case JCS_RGB: info.colorSpace = 2; break;
    case JCS_YCbCr: info.colorSpace = 3; break;
    case JCS_CMYK: info.colorSpace = 4; break;
    case JCS_YCCK: info.colorSpace = 5; break;
    default: info.colorSpace = 0; break;
  }
  info.components = d.cinfo.num_components;
  info.hasJfif = d.cinfo.saw_JFIF_marker != 0;
  info.jfifMajor = d.cinfo.JFIF_major_version;
  info.jfifMinor = d.cinfo.JFIF_minor_version;
  info.densityUnit = d.cinfo.density_unit;
  info.xDensity = d.cinfo.X_density;
  info.yDensity = d.cinfo.Y_density;
  info.hasAdobe = d.cinfo.saw_Adobe_marker != 0;
  info.adobeTransform = d.cinfo.Adobe_transform;
  if (!wantPixels)
    return 0;

  // The output buffer is sized before the library sets anything up.
  const uint64_t bytes = uint64_t(d.cinfo.image_width) * d.cinfo.image_height *
                         static_cast<uint64_t>(d.cinfo.num_components > 0 ? d.cinfo.num_components : 1);
  if (bytes > VCX_MAX_BLOCK || bytes > SIZE_MAX / 2)
    return VCX_ERROR_MEMORY;

  jpeg_start_decompress(&d.cinfo);
  const uint64_t rowBytes = uint64_t(d.cinfo.output_width) * d.cinfo.output_components;
  const uint64_t total = rowBytes * d.cinfo.output_height;
  if (total > VCX_MAX_BLOCK || total > SIZE_MAX / 2)
    return VCX_ERROR_MEMORY;
  d.pixels = static_cast<uint8_t*>(vcxAlloc(static_cast<size_t>(total)));
  if (!d.pixels)
    return VCX_ERROR_MEMORY;
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    JSAMPROW row = d.pixels + rowBytes * d.cinfo.output_scanline;
    jpeg_read_scanlines(&d.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d.cinfo);
  return 0;
}

}  // namespace

const char* JpegColorSpaceName(int32_t colorSpace) {
  switch (colorSpace) {
    case 1: return "Gs";
    case 2: return "RGB";
    case 3: return "YUV";
    case 4: return "CMYK";
    case 5: return "YCCK";
    default: return "Unknown";
  }
}

void JpegConvertCmyk(const uint8_t* cmyk, uint8_t* bgr, uint64_t pixelCount) {
  for (uint64_t i = 0; i < pixelCount; ++i, cmyk += 4, bgr += 3) {
    const uint32_t k = cmyk[3];
    bgr[0] = static_cast<uint8_t>((cmyk[2] * k * 65793u + 0x800000u) >> 24);
    bgr[1] = static_cast<uint8_t>((cmyk[1] * k * 65793u + 0x800000u) >> 24);
    bgr[2] = static_cast<uint8_t>((cmyk[0] * k * 65793u + 0x800000u) >> 24);
  }
}

void JpegReadFile(const char* path, JpegInfo& info, JpegPicture* picture) {
  std::memset(&info, 0, sizeof info);
  CVcxFile file(vcxOpenForRead(path));
  Decode* d = static_cast<Decode*>(vcxAlloc(sizeof(Decode)));
  vcxThrowIf(!d, VCX_ERROR_MEMORY);
  std::memset(d, 0, sizeof *d);
  const int code = RunLibrary(*d, file.handle, info, picture != nullptr);
  int32_t outputComponents = d->cinfo.output_components;
  int32_t width = static_cast<int32_t>(d->cinfo.output_width);
  int32_t height = static_cast<int32_t>(d->cinfo.output_height);
  if (d->created)
    jpeg_destroy_decompress(&d->cinfo);
  CVcxBlock pixels;
  pixels.data = d->pixels;
  pixels.size = d->pixels ? static_cast<size_t>(uint64_t(width) * height * outputComponents) : 0;
  vcxFree(d);
  file.Close();
  vcxThrowIf(code != 0, code);
  if (!picture)
    return;

  picture->width = width;
  picture->height = height;
  const uint64_t count = uint64_t(width) * height;
  switch (info.colorSpace) {
    case 2:
    case 3:
      // Delivered as RGB: swap red and blue.
      picture->bitsPerPixel = 24;
      for (uint64_t i = 0; i < count; ++i) {
        uint8_t* p = pixels.data + 3 * i;
        const uint8_t red = p[0];
        p[0] = p[2];
        p[2] = red;
      }
      picture->pixels.data = pixels.Detach();
      picture->pixels.size = static_cast<size_t>(count * 3);
      return;
    case 4:
    case 5: {
      vcxThrowIf(outputComponents != 4, VCX_ERROR_DATA);
      picture->bitsPerPixel = 24;
      picture->pixels.Allocate(count * 3);
      JpegConvertCmyk(pixels.data, picture->pixels.data, count);
      return;
    }
    default:
      picture->bitsPerPixel = 8 * outputComponents;
      const size_t size = pixels.size;
      picture->pixels.data = pixels.Detach();
      picture->pixels.size = size;
      return;
  }
}
