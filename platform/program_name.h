// The program's name as its message boxes show it, from the full path of its
// executable. Plain text work, shared by both platform implementations.
#pragma once

#include <string>

namespace platform {

// "C:\Tools\malvik.exe" -> "malvik": the file name after the last "\" or
// "/", without its last extension.
inline std::wstring ProgramNameFromPath(const std::wstring& szPath) {
  const size_t slash = szPath.find_last_of(L"\\/");
  std::wstring sz = slash == std::wstring::npos ? szPath : szPath.substr(slash + 1);
  const size_t dot = sz.find_last_of(L'.');
  return dot == std::wstring::npos ? sz : sz.substr(0, dot);
}

}  // namespace platform
