// Path resolution on the simulated machine.
#pragma once

#include <string>

#include "simulator/sim_model.h"

namespace sim {

// Absolute form of a path against the current directory, with backslashes:
// "C:\Tools\Log". Relative paths and paths without a letter are resolved as
// Windows does for the current drive.
std::wstring AbsolutePath(const SimMachine& machine, const std::wstring& szPath);

// "/" becomes "\".
std::wstring NormaliseSeparators(std::wstring sz);

// The root an absolute path starts with, upper case: "C:", or a volume path
// without its trailing backslash ("\\?\VOLUME{...}").
std::wstring RootOf(const std::wstring& szAbsolute);

// Splits "C:\a\b" into "C:" (upper case) and "a\b" (no leading separator).
void SplitAbsolute(const std::wstring& szAbsolute, std::wstring& szLetter, std::wstring& szRest);

}  // namespace sim
