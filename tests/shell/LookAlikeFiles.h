#pragma once
// A file whose name the ANSI code page cannot hold beside the look-alike that the system's
// best-fit conversion makes of that name: "i\u03A9.ico" (U+03A9, whose best fit in code
// page 1252 is an O) and "iO.ico", each a copy of one of the icon fixtures.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

const wchar_t kOmegaIcon[] = L"i\u03A9.ico";
// The name as the program shows it: '?' for what the code page lacks.
const char kOmegaIconShown[] = "i?.ico";
const char kLookAlikeIcon[] = "iO.ico";

// A file of an ANSI folder, in wide characters.
inline std::wstring WideFileIn(const std::string& folder, const wchar_t* name) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
  return std::wstring(wide) + L"\\" + name;
}

inline void WriteLookAlikeIcons(const std::string& folder) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring fixture(program);
  fixture = fixture.substr(0, fixture.rfind(L'\\') + 1) +
            L"..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\icon-ramp-32x32.ico";
  ASSERT_TRUE(CopyFileW(fixture.c_str(), WideFileIn(folder, kOmegaIcon).c_str(), TRUE));
  ASSERT_TRUE(CopyFileW(fixture.c_str(), WideFileIn(folder, L"iO.ico").c_str(), TRUE));
}
