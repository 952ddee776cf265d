#pragma once
// Small text routines shared across the program. The formatting routines return null
// for a null buffer and copy at most size characters with strncpy, so a text that fills
// the buffer is not terminated.
#include <cstdint>
#include <string>
#include "wul/WULString.h"

// "major.minor", then ".build" when the low 16 bits are not 0 and ".revision" when
// the low 8 bits are not 0; one byte each from the top down.
char* FormatVersion(char* buffer, unsigned version, int size);
// Bit 0 of flags: units of 1024 instead of 1000. Prints "%u", "%.2fK" or "%.2fM".
char* FormatByteSize(char* buffer, unsigned bytes, unsigned flags, int size);
// The name of a target colour format code ("256 colors", "RGBA", ...).
char* ColorDepthName(char* buffer, unsigned format, int size);
// How many leading characters of a b matches; toupper-compared when ignoreCase.
int CommonPrefixLength(const char* a, const char* b, bool ignoreCase);

// UTF-16 to UTF-8, unit by unit (surrogates too), the terminator included. Returns the
// byte count; a null out only counts.
int Utf8Encode(char* out, const wchar_t* text);
// UTF-8 to UTF-16, the terminator included; code points above 0xFFFF become surrogate
// pairs, those above 0x10FFFF are dropped. Returns the unit count; a null out only counts.
int Utf8Decode(wchar_t* out, const char* text);

// Paths in the ANSI code page, scanned character by character: the second byte of a
// double-byte character may be a backslash.
// The file name of a path: what follows its last '\\', '/' or ':'.
const char* PathFileName(const char* path);
inline char* PathFileName(char* path) { return const_cast<char*>(PathFileName(static_cast<const char*>(path))); }
// The last '.' of the path's file name, or null when the name has none.
const char* PathExtensionDot(const char* path);
inline char* PathExtensionDot(char* path) {
  return const_cast<char*>(PathExtensionDot(static_cast<const char*>(path)));
}
// Whether the last character of the text is a backslash, or with slashToo also a slash.
bool EndsWithSeparator(const char* path, bool slashToo);
// The last character of a text that is not empty.
const char* LastCharacter(const char* text);

// Adds a backslash unless the path is empty or already ends with one. The buffer must
// have room for it.
char* AddTrailingBackslash(char* path);

// A name from the system (wide) in the ANSI code page, without best-fit look-alikes: false
// when some character has no exact counterpart there; ansi then shows it as '?'.
bool WideToAnsiExact(const wchar_t* wide, CWULString& ansi);
// An ANSI text in wide characters.
std::wstring AnsiToWide(const char* ansi);
