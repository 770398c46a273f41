// Text of the simulated machine: UTF-8 for files and reports.
#include "platform/sim/sim_text.h"

#include "platform/utf8.h"

namespace sim {

std::string ToUtf8(const std::wstring& sz) { return platform::WideToUtf8(sz); }

std::wstring FromUtf8(const std::string& sz) {
  std::wstring out;
  for (size_t i = 0; i < sz.size();) {
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(sz, i);
    out += sequence.m_Valid ? static_cast<wchar_t>(sequence.m_CodePoint) : L'\xFFFD';
    i += sequence.m_Length;
  }
  return out;
}

}  // namespace sim
