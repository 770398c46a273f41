// The firmware probe's outcomes as a machine description names them
// ("firmware"): the simulated machine reads these words, the capture writes
// them and the report shows them.
#pragma once

#include <cstdint>

#include "platform/win32_codes.h"

namespace platform {

struct FirmwareErrorWord {
  std::uint32_t m_Error;  // the probe's last error
  const wchar_t* m_Word;
};

inline constexpr FirmwareErrorWord kFirmwareErrorWords[] = {
    {kERROR_NOACCESS, L"uefi"},
    {kERROR_INVALID_FUNCTION, L"legacy"},
};

// A probe that reads something.
constexpr wchar_t kFirmwareSucceedsWord[] = L"succeeds";

// The word for a probe that failed with nError, or nullptr.
inline const wchar_t* FindFirmwareErrorWord(std::uint32_t nError) {
  for (const FirmwareErrorWord& word : kFirmwareErrorWords) {
    if (word.m_Error == nError) return word.m_Word;
  }
  return nullptr;
}

}  // namespace platform
