// Pure text rules of the Win32 calls: how a path is put for a call that has
// a length limit, and how a list of NUL-terminated strings is read. They
// take every input explicitly, so both builds compile them and the native
// tests cover them; platform/win32 feeds them from the real calls.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// MAX_PATH: the longest path, terminator included, that the calls without
// the \\?\ form take.
constexpr std::size_t kMaxPathChars = 260;

// "C:\..." as "\\?\C:\..." when it is too long for the plain form of the
// folder calls (from MAX_PATH - 12 characters on: CreateDirectoryW leaves
// room for an 8.3 file name); any other path as it is.
std::wstring LongForm(const std::wstring& szPath);

}  // namespace platform
