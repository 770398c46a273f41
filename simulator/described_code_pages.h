// The code pages a machine description may give as "console_code_page" and
// "ansi_code_page": those the simulated machine has tables for. The capture
// writes only these, and notes any other it finds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace platform {

inline constexpr std::uint32_t kDescribedCodePages[] = {437, 850, 1252, 65000, 65001};

// "console_code_page" may also be this: the program has no console, and a
// child it starts gets a new one in the OEM code page.
inline constexpr std::uint32_t kNoConsoleCodePage = 0;

inline bool IsDescribedCodePage(std::uint32_t nCodePage) {
  return std::find(std::begin(kDescribedCodePages), std::end(kDescribedCodePages), nCodePage) !=
         std::end(kDescribedCodePages);
}

}  // namespace platform
