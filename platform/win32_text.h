// Pure text rules of the Win32 calls: how a path is put for a call that has
// a length limit, and how a list of NUL-terminated strings is read. They
// take every input explicitly (the one answer they need from the system is
// passed in), so both builds compile them and the native tests cover them;
// platform/win32 feeds them from the real calls.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// MAX_PATH: the longest path, terminator included, that the calls without
// the \\?\ form take.
constexpr std::size_t kMaxPathChars = 260;

// "C:\..." as "\\?\C:\..." when it is too long for the plain form of the
// folder calls (from MAX_PATH - 12 characters on: CreateDirectoryW leaves
// room for an 8.3 file name); any other path as it is.
std::wstring LongForm(const std::wstring& szPath);

// The strings of a list of NUL-terminated strings that ends with an empty
// one (QueryDosDeviceW, GetLogicalDriveStringsW), read from `chars` only: a
// list cut short ends where the characters end.
std::vector<std::wstring> SplitMultiString(std::wstring_view chars);

// Answers the short (8.3) form of a folder given in its LongForm, or empty
// when it has none: GetShortPathNameW on Windows.
using ShortFolderReader = std::function<std::wstring(const std::wstring& szFolder)>;

// The name the profile writer (WritePrivateProfileStringW) is given for
// szFile. It takes names shorter than MAX_PATH only (Wine even reports
// success for a longer one and writes nothing), so a longer file is named
// through the short form of its folder, which must exist. Empty when there
// is no such name.
std::wstring ProfileFileName(const std::wstring& szFile, const ShortFolderReader& readShortFolder);

}  // namespace platform
