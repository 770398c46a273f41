// Operating-system independent: pure text rules of the Win32 calls, built
// into both platform libraries.
#include "platform/win32_text.h"

namespace platform {
namespace {

// Paths from this length on need the \\?\ form for the folder calls.
constexpr std::size_t kLongFolderChars = kMaxPathChars - 12;

const wchar_t kLongPrefix[] = L"\\\\?\\";

}  // namespace

std::wstring LongForm(const std::wstring& szPath) {
  const bool bDrive = szPath.size() > 2 && szPath[1] == L':' && szPath[2] == L'\\';
  return bDrive && szPath.size() >= kLongFolderChars ? kLongPrefix + szPath : szPath;
}

std::vector<std::wstring> SplitMultiString(std::wstring_view chars) {
  std::vector<std::wstring> strings;
  std::size_t pos = 0;
  while (pos < chars.size() && chars[pos] != L'\0') {
    std::size_t end = pos;
    while (end < chars.size() && chars[end] != L'\0') ++end;
    strings.emplace_back(chars.substr(pos, end - pos));
    pos = end + 1;
  }
  return strings;
}

std::wstring ProfileFileName(const std::wstring& szFile, const ShortFolderReader& readShortFolder) {
  if (szFile.size() < kMaxPathChars) return szFile;
  const std::size_t nSlash = szFile.find_last_of(L"\\/");
  if (nSlash == std::wstring::npos) return {};
  std::wstring szShort = readShortFolder(LongForm(szFile.substr(0, nSlash)));
  if (szShort.empty()) return {};
  if (szShort.rfind(kLongPrefix, 0) == 0) szShort.erase(0, std::size(kLongPrefix) - 1);
  szShort += szFile.substr(nSlash);
  return szShort.size() < kMaxPathChars ? szShort : std::wstring();
}

}  // namespace platform
