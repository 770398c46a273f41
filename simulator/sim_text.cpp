// Text of the simulated machine: UTF-8 for files and reports.
#include "simulator/sim_text.h"

#include "platform/utf8.h"

namespace sim {

std::string ToUtf8(const std::wstring& sz) { return platform::WideToUtf8(sz); }

std::wstring FromUtf8(const std::string& sz) { return platform::Utf8ToText<std::wstring>(sz); }

bool IsRoundTripUtf8(const std::string& sz) {
  for (std::size_t i = 0; i < sz.size();) {
    if (static_cast<unsigned char>(sz[i]) < 0x80) {
      ++i;
      continue;
    }
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(sz, i);
    const std::uint32_t c = sequence.m_CodePoint;
    const std::size_t nShortest = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (!sequence.m_Valid || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
        sequence.m_Length != nShortest) {
      return false;
    }
    i += sequence.m_Length;
  }
  return true;
}

}  // namespace sim
