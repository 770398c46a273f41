// Text of the simulated machine: UTF-8 for files and reports.
#include "simulator/sim_text.h"

#include "platform/utf8.h"

namespace sim {

std::string ToUtf8(const std::wstring& sz) { return platform::WideToUtf8(sz); }

std::wstring FromUtf8(const std::string& sz) { return platform::Utf8ToText<std::wstring>(sz); }

}  // namespace sim
