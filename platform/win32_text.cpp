// Operating-system independent: pure text rules of the Win32 calls, built
// into both platform libraries.
#include "platform/win32_text.h"

namespace platform {
namespace {

// Paths from this length on need the \\?\ form for the folder calls.
constexpr std::size_t kLongFolderChars = kMaxPathChars - 12;

}  // namespace

std::wstring LongForm(const std::wstring& szPath) {
  const bool bDrive = szPath.size() > 2 && szPath[1] == L':' && szPath[2] == L'\\';
  return bDrive && szPath.size() >= kLongFolderChars ? L"\\\\?\\" + szPath : szPath;
}

}  // namespace platform
