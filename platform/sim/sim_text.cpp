// Text of the simulated machine: UTF-8 for files and reports, and the
// upper-casing of a to z that the file system and labels use.
#include "platform/sim/sim_text.h"

#include <cstdint>

#include "platform/utf8.h"

namespace sim {

std::wstring UpperAscii(std::wstring sz) {
  for (wchar_t& c : sz) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return sz;
}

std::string ToUtf8(const std::wstring& sz) {
  std::string out;
  for (wchar_t wc : sz) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    platform::AppendUtf8(out, c);
  }
  return out;
}

std::wstring FromUtf8(const std::string& sz) {
  std::wstring out;
  for (size_t i = 0; i < sz.size();) {
    const auto b = static_cast<unsigned char>(sz[i]);
    const int nExtra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (nExtra < 0 || i + static_cast<size_t>(nExtra) >= sz.size() + (nExtra == 0)) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    std::uint32_t c = nExtra == 0 ? b : b & (0x3F >> nExtra);
    bool bValid = true;
    for (int k = 1; k <= nExtra; ++k) {
      const auto cont = static_cast<unsigned char>(sz[i + static_cast<size_t>(k)]);
      if ((cont & 0xC0) != 0x80) bValid = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!bValid) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<size_t>(nExtra) + 1;
  }
  return out;
}

}  // namespace sim
