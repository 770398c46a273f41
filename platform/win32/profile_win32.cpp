// Profile (INI) files on real Windows.
#include "platform/platform.h"

#include <vector>

#include "platform/win32/call_result_win32.h"
#include "platform/win32/windows_min.h"
#include "platform/win32_text.h"

namespace platform {
namespace {

constexpr DWORD kMostPathChars = 32768;  // longest \\?\ path plus its terminator

// The short form of a folder that exists; empty when it has none.
std::wstring ReadShortFolder(const std::wstring& szFolder) {
  std::vector<wchar_t> buffer(kMostPathChars, L'\0');
  // The result counts the characters without the terminator, or, when the
  // buffer is too small, the size needed; 0 on failure.
  const DWORD nChars = GetShortPathNameW(szFolder.c_str(), buffer.data(), kMostPathChars);
  if (nChars == 0 || nChars >= kMostPathChars) return {};
  return std::wstring(buffer.data(), nChars);
}

}  // namespace

CallResult WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                             const std::wstring& szValue, const std::wstring& szFile) {
  const std::wstring szName = ProfileFileName(szFile, ReadShortFolder);
  if (szName.empty()) return {false, ERROR_FILENAME_EXCED_RANGE};
  return win32::ResultOf(WritePrivateProfileStringW(szSection.c_str(), szKey.c_str(),
                                                    szValue.c_str(), szName.c_str()));
}

}  // namespace platform
