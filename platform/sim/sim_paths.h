// Path resolution on the simulated machine.
#pragma once

#include <string>

#include "platform/sim/sim_machine.h"

namespace sim {

// "/" becomes "\".
std::wstring NormaliseSeparators(std::wstring sz);

// Starts with a letter A to Z (either case) and a colon.
bool HasDriveLetter(const std::wstring& sz);

// The root an absolute path starts with, upper case: "C:", or a volume path
// without its trailing backslash ("\\?\VOLUME{...}").
std::wstring RootOf(const std::wstring& szAbsolute);

// Splits "C:\a\b" into "C:" (upper case) and "a\b" (no leading separator).
void SplitAbsolute(const std::wstring& szAbsolute, std::wstring& szLetter, std::wstring& szRest);

}  // namespace sim
