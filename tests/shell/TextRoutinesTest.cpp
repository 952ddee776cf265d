#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "shell/TextRoutines.h"

namespace {

std::string Version(unsigned v) {
  char buffer[32];
  return FormatVersion(buffer, v, sizeof buffer);
}

std::string Bytes(unsigned n, unsigned flags) {
  char buffer[32];
  return FormatByteSize(buffer, n, flags, sizeof buffer);
}

std::string Depth(unsigned format) {
  char buffer[32];
  return ColorDepthName(buffer, format, sizeof buffer);
}

}  // namespace

TEST(FormatVersion, DropsZeroBuildAndRevision) {
  EXPECT_EQ("1.0", Version(0x01000000));
  EXPECT_EQ("1.2.3", Version(0x01020300));
  EXPECT_EQ("1.2.0.4", Version(0x01020004));
  EXPECT_EQ("1.2.3.4", Version(0x01020304));
  EXPECT_EQ("0.9", Version(0x00090000));
  EXPECT_EQ("0.0", Version(0));
  EXPECT_EQ("255.255.255.255", Version(0xFFFFFFFF));
}

TEST(FormatVersion, ReturnsTheBuffer) {
  char buffer[16];
  EXPECT_EQ(buffer, FormatVersion(buffer, 0x01000000, sizeof buffer));
  EXPECT_EQ(nullptr, FormatVersion(nullptr, 0x01000000, 16));
}

TEST(FormatVersion, CopiesAtMostSizeCharactersWithoutTerminator) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  FormatVersion(buffer, 0x01020304, 3);
  EXPECT_EQ(0, std::memcmp(buffer, "1.2xxxxx", 8));
  // strncpy pads the rest of the given size with zeros.
  std::memset(buffer, 'x', sizeof buffer);
  FormatVersion(buffer, 0x01000000, 6);
  EXPECT_EQ(0, std::memcmp(buffer, "1.0\0\0\0xx", 8));
}

TEST(FormatVersion, NonPositiveSizeWritesNothing) {
  char buffer[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(buffer, FormatVersion(buffer, 0x01000000, 0));
  EXPECT_EQ(buffer, FormatVersion(buffer, 0x01000000, -1));
  EXPECT_EQ(0, std::memcmp(buffer, "abcd", 4));
}

TEST(FormatByteSize, BinaryUnits) {
  EXPECT_EQ("0", Bytes(0, 1));
  EXPECT_EQ("1023", Bytes(1023, 1));
  EXPECT_EQ("1.00K", Bytes(1024, 1));
  EXPECT_EQ("1.50K", Bytes(1536, 1));
  EXPECT_EQ("1024.00K", Bytes(1048575, 1));
  EXPECT_EQ("1.00M", Bytes(1048576, 1));
  EXPECT_EQ("3.00M", Bytes(3145728, 1));
  EXPECT_EQ("4096.00M", Bytes(0xFFFFFFFF, 1));
}

TEST(FormatByteSize, DecimalUnits) {
  EXPECT_EQ("999", Bytes(999, 0));
  EXPECT_EQ("1.00K", Bytes(1000, 0));
  EXPECT_EQ("1.02K", Bytes(1024, 0));
  EXPECT_EQ("999.99K", Bytes(999990, 0));
  EXPECT_EQ("1.00M", Bytes(1000000, 0));
  EXPECT_EQ("2.50M", Bytes(2500000, 2));  // only bit 0 counts
  EXPECT_EQ("4294.97M", Bytes(0xFFFFFFFF, 0));
}

TEST(FormatByteSize, NullAndShortBuffers) {
  EXPECT_EQ(nullptr, FormatByteSize(nullptr, 5, 0, 10));
  char buffer[4] = {'a', 'b', 'c', 'd'};
  FormatByteSize(buffer, 1536, 1, 2);
  EXPECT_EQ(0, std::memcmp(buffer, "1.cd", 4));
}

TEST(ColorDepthName, KnownAndUnknownFormats) {
  EXPECT_EQ("NULL", Depth(0));
  EXPECT_EQ("2 colors", Depth(0x10001));
  EXPECT_EQ("16 colors", Depth(0x40001));
  EXPECT_EQ("256 colors", Depth(0x80001));
  EXPECT_EQ("RGB", Depth(0x180000));
  EXPECT_EQ("RGBA", Depth(0x200000));
  EXPECT_EQ("Unknown", Depth(0x80000));
  EXPECT_EQ("Unknown", Depth(0x10000));
  EXPECT_EQ("Unknown", Depth(1));
  EXPECT_EQ(nullptr, ColorDepthName(nullptr, 0, 8));
  char buffer[4];
  ColorDepthName(buffer, 0x200000, 4);
  EXPECT_EQ(0, std::memcmp(buffer, "RGBA", 4));
}

TEST(CommonPrefixLength, CountsMatchingLeadingCharacters) {
  EXPECT_EQ(0, CommonPrefixLength("", "abc", false));
  EXPECT_EQ(0, CommonPrefixLength("", "", true));
  EXPECT_EQ(3, CommonPrefixLength("abc", "abc", false));
  EXPECT_EQ(3, CommonPrefixLength("abc", "abcdef", false));
  EXPECT_EQ(2, CommonPrefixLength("abX", "abc", false));
  EXPECT_EQ(2, CommonPrefixLength("abc", "ab", false));
  EXPECT_EQ(0, CommonPrefixLength("xyz", "abc", false));
}

TEST(CommonPrefixLength, CaseIsIgnoredOnRequest) {
  EXPECT_EQ(0, CommonPrefixLength("Image", "iMAGES", false));
  EXPECT_EQ(1, CommonPrefixLength("image", "iMAGES", false));
  EXPECT_EQ(0, CommonPrefixLength("image", "IMAGE", false));
  EXPECT_EQ(5, CommonPrefixLength("image", "IMAGE", true));
  EXPECT_EQ(5, CommonPrefixLength("Image", "iMAGES", true));
  EXPECT_EQ(3, CommonPrefixLength("ab1x", "AB1Y", true));
  // Bytes above 127 are compared as they are.
  EXPECT_EQ(2, CommonPrefixLength("a\xE9z", "a\xE9y", true));
}

TEST(CommonPrefixLength, NullTextsMatchNothing) {
  EXPECT_EQ(0, CommonPrefixLength(nullptr, "abc", false));
  EXPECT_EQ(0, CommonPrefixLength("abc", nullptr, true));
}

TEST(Utf8Encode, EmptyTextIsTheTerminator) {
  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(1, Utf8Encode(nullptr, L""));
  EXPECT_EQ(1, Utf8Encode(out, L""));
  EXPECT_EQ(0, out[0]);
  EXPECT_EQ('x', out[1]);
}

TEST(Utf8Encode, OneTwoAndThreeByteUnits) {
  const wchar_t text[] = {L'A', 0x00E9, 0x07FF, 0x0800, 0x20AC, 0xFFFF, 0};
  unsigned char out[32];
  int count = Utf8Encode(nullptr, text);
  EXPECT_EQ(1 + 2 + 2 + 3 + 3 + 3 + 1, count);
  EXPECT_EQ(count, Utf8Encode(reinterpret_cast<char*>(out), text));
  const unsigned char expected[] = {'A',  0xC3, 0xA9, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xE2,
                                    0x82, 0xAC, 0xEF, 0xBF, 0xBF, 0x00};
  ASSERT_EQ(static_cast<int>(sizeof expected), count);
  EXPECT_EQ(0, std::memcmp(expected, out, sizeof expected));
}

TEST(Utf8Encode, SurrogatesAreEncodedOneByOne) {
  const wchar_t text[] = {0xD83D, 0xDE00, 0};
  unsigned char out[8];
  EXPECT_EQ(7, Utf8Encode(reinterpret_cast<char*>(out), text));
  const unsigned char expected[] = {0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80, 0};
  EXPECT_EQ(0, std::memcmp(expected, out, sizeof expected));
}

TEST(Utf8Encode, NullTextCountsNothing) { EXPECT_EQ(0, Utf8Encode(nullptr, nullptr)); }

TEST(Utf8Decode, FourByteSequenceGivesASurrogatePair) {
  const char text[] = "\xF0\x9F\x98\x80";
  EXPECT_EQ(3, Utf8Decode(nullptr, text));
  wchar_t out[4] = {1, 1, 1, 1};
  EXPECT_EQ(3, Utf8Decode(out, text));
  EXPECT_EQ(0xD83D, out[0]);
  EXPECT_EQ(0xDE00, out[1]);
  EXPECT_EQ(0, out[2]);
  EXPECT_EQ(1, out[3]);
}

TEST(Utf8Decode, AsciiTwoAndThreeByteSequences) {
  const char text[] = "A\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF";
  wchar_t out[8];
  EXPECT_EQ(5, Utf8Decode(out, text));
  EXPECT_EQ(L'A', out[0]);
  EXPECT_EQ(0x00E9, out[1]);
  EXPECT_EQ(0x20AC, out[2]);
  EXPECT_EQ(0xFFFF, out[3]);
  EXPECT_EQ(0, out[4]);
  EXPECT_EQ(1, Utf8Decode(out, ""));
  EXPECT_EQ(0, out[0]);
}

TEST(Utf8Decode, RoundTripsWithEncode) {
  const wchar_t text[] = {L'x', 0x00FC, 0x4E2D, 0xD83D, 0xDE00, L'!', 0};
  char utf8[32];
  int bytes = Utf8Encode(utf8, text);
  EXPECT_EQ(1 + 2 + 3 + 3 + 3 + 1 + 1, bytes);
  // The lone surrogates come back as themselves.
  wchar_t back[16];
  EXPECT_EQ(7, Utf8Decode(back, utf8));
  EXPECT_EQ(0, std::memcmp(text, back, sizeof text));
}

TEST(Utf8Decode, StrayContinuationBytesAreSkipped) {
  wchar_t out[8];
  EXPECT_EQ(3, Utf8Decode(out, "\x80" "a\xBF\xBF" "b"));
  EXPECT_EQ(L'a', out[0]);
  EXPECT_EQ(L'b', out[1]);
  EXPECT_EQ(0, out[2]);
}

TEST(Utf8Decode, InvalidLeadBytesStartNoSequence) {
  wchar_t out[8];
  EXPECT_EQ(2, Utf8Decode(out, "\xF8\x80\x80\xFF" "c"));
  EXPECT_EQ(L'c', out[0]);
  EXPECT_EQ(0, out[1]);
}

TEST(Utf8Decode, CutSequencesGiveNothing) {
  wchar_t out[8];
  // A new lead byte or a plain byte abandons the open sequence.
  EXPECT_EQ(3, Utf8Decode(out, "\xE2\x82" "d\xC3\xA9"));
  EXPECT_EQ(L'd', out[0]);
  EXPECT_EQ(0x00E9, out[1]);
  EXPECT_EQ(2, Utf8Decode(out, "\xE2\x82\xC3\xA9"));
  EXPECT_EQ(0x00E9, out[0]);
  // Cut by the end of the text.
  EXPECT_EQ(1, Utf8Decode(out, "\xF0\x9F\x98"));
  EXPECT_EQ(0, out[0]);
}

TEST(Utf8Decode, CodePointsAboveTheUnicodeRangeAreDropped) {
  wchar_t out[8];
  // F4 90 80 80 is 0x110000; F4 8F BF BF is 0x10FFFF.
  EXPECT_EQ(2, Utf8Decode(out, "\xF4\x90\x80\x80" "e"));
  EXPECT_EQ(L'e', out[0]);
  EXPECT_EQ(3, Utf8Decode(out, "\xF4\x8F\xBF\xBF"));
  EXPECT_EQ(0xDBFF, out[0]);
  EXPECT_EQ(0xDFFF, out[1]);
  // An overlong form is taken as it is.
  EXPECT_EQ(2, Utf8Decode(out, "\xC1\x81"));
  EXPECT_EQ(0x41, out[0]);
}

TEST(Utf8Decode, NullTextCountsNothing) { EXPECT_EQ(0, Utf8Decode(nullptr, nullptr)); }

TEST(AddTrailingBackslash, AddsOnlyWhenMissing) {
  char path[16] = "C:\\dir";
  EXPECT_EQ(path, AddTrailingBackslash(path));
  EXPECT_STREQ("C:\\dir\\", path);
  AddTrailingBackslash(path);
  EXPECT_STREQ("C:\\dir\\", path);
  char empty[4] = "";
  AddTrailingBackslash(empty);
  EXPECT_STREQ("", empty);
  char slash[8] = "C:/x/";
  AddTrailingBackslash(slash);
  EXPECT_STREQ("C:/x/\\", slash);
  EXPECT_EQ(nullptr, AddTrailingBackslash(nullptr));
}

TEST(WideToAnsiExact, RefusesWhatTheCodePageHasNoPlaceFor) {
  CWULString text("old");
  EXPECT_TRUE(WideToAnsiExact(L"caf\u00E9 \u20AC.ico", text));
  EXPECT_STREQ("caf\xE9 \x80.ico", text.text);
  EXPECT_EQ(L"caf\u00E9 \u20AC.ico", AnsiToWide(text.text));
  // Code page 1252's best fit would make these an O, an i and a long a.
  EXPECT_FALSE(WideToAnsiExact(L"i\u03A9 \u0131 \u0101.ico", text));
  EXPECT_STREQ("i? ? ?.ico", text.text);
  EXPECT_TRUE(WideToAnsiExact(nullptr, text));
  EXPECT_STREQ("", text.text);
  EXPECT_TRUE(AnsiToWide(nullptr).empty());
}
