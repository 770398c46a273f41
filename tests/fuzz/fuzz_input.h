// Turning a fuzzer's bytes into the program's inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Every two bytes become one UTF-16 code unit, so any code unit, paired
// surrogates or not, can reach the code under test.
inline std::wstring WideFromBytes(const std::uint8_t* pData, std::size_t nSize) {
  std::wstring sz;
  for (std::size_t i = 0; i + 1 < nSize; i += 2) {
    sz += static_cast<wchar_t>(pData[i] | (pData[i + 1] << 8));
  }
  return sz;
}

// Splits the text at each NUL into at most nParts pieces; missing pieces
// are empty.
inline std::vector<std::wstring> SplitAtNul(const std::wstring& sz, std::size_t nParts) {
  std::vector<std::wstring> parts(1);
  for (wchar_t c : sz) {
    if (c == L'\0' && parts.size() < nParts) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  parts.resize(nParts);
  return parts;
}

}  // namespace fuzz
