#include "shell/TextRoutines.h"
#include <windows.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

static_assert(sizeof(wchar_t) == 2, "wchar_t must hold one UTF-16 unit");

namespace {

char* CopyOut(char* buffer, const char* text, int size) {
  if (!buffer)
    return nullptr;
  if (size > 0)
    std::strncpy(buffer, text, static_cast<size_t>(size));
  return buffer;
}

}  // namespace

char* FormatVersion(char* buffer, unsigned version, int size) {
  if (!buffer)
    return nullptr;
  char text[48];
  int length = std::snprintf(text, sizeof text, "%u.%u", version >> 24, (version >> 16) & 0xFF);
  if (version & 0xFFFF)
    length += std::snprintf(text + length, sizeof text - length, ".%u", (version >> 8) & 0xFF);
  if (version & 0xFF)
    std::snprintf(text + length, sizeof text - length, ".%u", version & 0xFF);
  return CopyOut(buffer, text, size);
}

char* FormatByteSize(char* buffer, unsigned bytes, unsigned flags, int size) {
  if (!buffer)
    return nullptr;
  unsigned unit = (flags & 1) ? 1024 : 1000;
  char text[48];
  if (bytes < unit)
    std::snprintf(text, sizeof text, "%u", bytes);
  else if (bytes < unit * unit)
    std::snprintf(text, sizeof text, "%.2fK", static_cast<double>(bytes) / unit);
  else
    std::snprintf(text, sizeof text, "%.2fM", static_cast<double>(bytes) / (static_cast<double>(unit) * unit));
  return CopyOut(buffer, text, size);
}

char* ColorDepthName(char* buffer, unsigned format, int size) {
  const char* name;
  switch (format) {
    case 0:
      name = "NULL";
      break;
    case 0x10001:
      name = "2 colors";
      break;
    case 0x40001:
      name = "16 colors";
      break;
    case 0x80001:
      name = "256 colors";
      break;
    case 0x180000:
      name = "RGB";
      break;
    case 0x200000:
      name = "RGBA";
      break;
    default:
      name = "Unknown";
      break;
  }
  return CopyOut(buffer, name, size);
}

int CommonPrefixLength(const char* a, const char* b, bool ignoreCase) {
  if (!a || !b)
    return 0;
  int n = 0;
  for (; a[n]; n++) {
    unsigned char ca = static_cast<unsigned char>(a[n]);
    unsigned char cb = static_cast<unsigned char>(b[n]);
    if (ignoreCase ? std::toupper(ca) != std::toupper(cb) : ca != cb)
      break;
  }
  return n;
}

int Utf8Encode(char* out, const wchar_t* text) {
  if (!text)
    return 0;
  int count = 0;
  auto put = [&](unsigned value) {
    if (out)
      out[count] = static_cast<char>(value);
    count++;
  };
  for (const wchar_t* p = text;; p++) {
    unsigned unit = static_cast<uint16_t>(*p);
    if (unit < 0x80) {
      put(unit);
    } else if (unit < 0x800) {
      put(0xC0 | (unit >> 6));
      put(0x80 | (unit & 0x3F));
    } else {
      put(0xE0 | (unit >> 12));
      put(0x80 | ((unit >> 6) & 0x3F));
      put(0x80 | (unit & 0x3F));
    }
    if (unit == 0)
      break;
  }
  return count;
}

int Utf8Decode(wchar_t* out, const char* text) {
  if (!text)
    return 0;
  int count = 0;
  auto put = [&](unsigned unit) {
    if (out)
      out[count] = static_cast<wchar_t>(unit);
    count++;
  };
  uint32_t code = 0;
  int pending = 0;  // continuation bytes still expected
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);; p++) {
    unsigned c = *p;
    if (c < 0x80) {
      pending = 0;
      put(c);
      if (c == 0)
        break;
    } else if ((c & 0xC0) == 0x80) {
      // Outside a sequence it is skipped.
      if (pending == 0)
        continue;
      code = (code << 6) | (c & 0x3F);
      if (--pending == 0) {
        if (code <= 0xFFFF) {
          put(code);
        } else if (code <= 0x10FFFF) {
          code -= 0x10000;
          put(0xD800 | (code >> 10));
          put(0xDC00 | (code & 0x3FF));
        }
      }
    } else if ((c & 0xE0) == 0xC0) {
      code = c & 0x1F;
      pending = 1;
    } else if ((c & 0xF0) == 0xE0) {
      code = c & 0x0F;
      pending = 2;
    } else if ((c & 0xF8) == 0xF0) {
      code = c & 0x07;
      pending = 3;
    } else {
      pending = 0;
    }
  }
  return count;
}

const char* PathFileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; p = CharNextA(p))
    if (*p == '\\' || *p == '/' || *p == ':')
      name = p + 1;
  return name;
}

const char* PathExtensionDot(const char* path) {
  const char* dot = nullptr;
  for (const char* p = PathFileName(path); *p; p = CharNextA(p))
    if (*p == '.')
      dot = p;
  return dot;
}

const char* LastCharacter(const char* text) { return CharPrevA(text, text + std::strlen(text)); }

bool EndsWithSeparator(const char* path, bool slashToo) {
  if (!path || !path[0])
    return false;
  const char last = *LastCharacter(path);
  return last == '\\' || (slashToo && last == '/');
}

char* AddTrailingBackslash(char* path) {
  if (!path)
    return nullptr;
  size_t length = std::strlen(path);
  if (length > 0 && !EndsWithSeparator(path, false)) {
    path[length] = '\\';
    path[length + 1] = 0;
  }
  return path;
}

bool WideToAnsiExact(const wchar_t* wide, CWULString& ansi) {
  ansi.Clear();
  if (!wide || !wide[0])
    return true;
  // The UTF-8 code page takes neither the flag nor the default-character report; the round
  // trip below still catches what it cannot carry (a lone surrogate).
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, used);
  if (size <= 0)
    return false;
  char* buffer = ansi.GetBuffer(size);
  if (WideCharToMultiByte(CP_ACP, flags, wide, -1, buffer, size, nullptr, used) <= 0) {
    ansi.Clear();
    return false;
  }
  buffer[size - 1] = 0;
  return !usedDefault && AnsiToWide(buffer) == wide;
}

std::wstring AnsiToWide(const char* ansi) {
  if (!ansi || !ansi[0])
    return std::wstring();
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  if (size <= 0)
    return std::wstring();
  std::vector<wchar_t> wide(static_cast<size_t>(size), 0);
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), size);
  return std::wstring(wide.data());
}
