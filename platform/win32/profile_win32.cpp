// Profile (INI) files on real Windows.
#include "platform/platform.h"

#include <vector>

#include "platform/win32/call_result_win32.h"
#include "platform/win32/windows_min.h"
#include "platform/win32_text.h"

namespace platform {
namespace {

constexpr DWORD kMostPathChars = 32768;  // longest \\?\ path plus its terminator

// The profile writer takes names shorter than MAX_PATH only (Wine even
// reports success for a longer one and writes nothing), so a longer file is
// named through the short form of its folder, which must exist. Empty when
// there is no such form.
std::wstring ProfileFileName(const std::wstring& szFile) {
  if (szFile.size() < MAX_PATH) return szFile;
  const size_t nSlash = szFile.find_last_of(L"\\/");
  if (nSlash == std::wstring::npos) return {};
  const std::wstring szFolder = LongForm(szFile.substr(0, nSlash));
  std::vector<wchar_t> buffer(kMostPathChars, L'\0');
  const DWORD nChars = GetShortPathNameW(szFolder.c_str(), buffer.data(), kMostPathChars);
  if (nChars == 0 || nChars >= kMostPathChars) return {};
  std::wstring szShort(buffer.data(), nChars);
  if (szShort.rfind(L"\\\\?\\", 0) == 0) szShort.erase(0, 4);
  szShort += szFile.substr(nSlash);
  return szShort.size() < MAX_PATH ? szShort : std::wstring();
}

}  // namespace

CallResult WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                             const std::wstring& szValue, const std::wstring& szFile) {
  const std::wstring szName = ProfileFileName(szFile);
  if (szName.empty()) return {false, ERROR_FILENAME_EXCED_RANGE};
  return win32::ResultOf(WritePrivateProfileStringW(szSection.c_str(), szKey.c_str(),
                                                    szValue.c_str(), szName.c_str()));
}

}  // namespace platform
