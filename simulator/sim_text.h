// Text helpers of the simulated machine.
#pragma once

#include <string>

#include "platform/ascii.h"

namespace sim {

// Text of the simulated files is UTF-8.
std::string ToUtf8(const std::wstring& sz);
std::wstring FromUtf8(const std::string& sz);
// Whether ToUtf8(FromUtf8(sz)) gives sz back: only whole, shortest-form
// UTF-8 sequences of characters (no surrogate, nothing past U+10FFFF).
bool IsRoundTripUtf8(const std::string& sz);

// Upper-cases the letters a to z only, as the file system and labels do.
using platform::UpperAscii;

}  // namespace sim
