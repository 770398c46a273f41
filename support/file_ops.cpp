#include "support/file_ops.h"

#include <array>

#include "platform/ascii.h"
#include "platform/device_names.h"
#include "platform/platform.h"

namespace {

constexpr std::uint16_t kFOF_NOCONFIRMATION = 0x0010;
constexpr std::uint16_t kFOF_NOCONFIRMMKDIR = 0x0200;

// The current directory as a buffer of kCurrentDirectoryChars reads it: one
// that does not fit with its terminator reads empty.
std::wstring ReadCurrentDirectory() {
  std::wstring sz = platform::GetCurrentFolder();
  if (sz.size() + 1 > kCurrentDirectoryChars) sz.clear();
  return sz;
}

// szPath is szFolder or lies below it, as text, letters A to Z without
// regard to case; trailing backslashes aside.
bool IsSameOrBelow(const std::wstring& szPath, const std::wstring& szFolder) {
  std::wstring szTop = platform::UpperAscii(szFolder);
  while (!szTop.empty() && szTop.back() == L'\\') szTop.pop_back();
  const std::wstring szUpper = platform::UpperAscii(szPath);
  return szUpper.compare(0, szTop.size(), szTop) == 0 &&
         (szUpper.size() == szTop.size() || szUpper[szTop.size()] == L'\\');
}

}  // namespace

bool LiesInFolder(const std::wstring& szPath, const std::wstring& szFolder) {
  const platform::PathVolume path = platform::FindVolumeOfPath(szPath);
  const platform::PathVolume folder = platform::FindVolumeOfPath(szFolder);
  if (!path.m_Ok || !folder.m_Ok) return IsSameOrBelow(szPath, szFolder);
  // Both paths from their volume's root on, each with a leading backslash.
  return platform::UpperAscii(path.m_Volume) == platform::UpperAscii(folder.m_Volume) &&
         IsSameOrBelow(L"\\" + szPath.substr(path.m_RootChars),
                       L"\\" + szFolder.substr(folder.m_RootChars));
}

bool OnSameVolume(const std::wstring& szA, const std::wstring& szB) {
  const platform::PathVolume a = platform::FindVolumeOfPath(szA);
  const platform::PathVolume b = platform::FindVolumeOfPath(szB);
  return a.m_Ok && b.m_Ok && platform::UpperAscii(a.m_Volume) == platform::UpperAscii(b.m_Volume);
}

bool IsDriveRootForm(const std::wstring& sz) {
  if (sz.size() != 2 && sz.size() != 3) return false;
  return platform::StartsWithDriveLetter(sz) && (sz.size() == 2 || sz[2] == L'\\');
}

StepUpRule DecideStepUp(const std::wstring& szCurrent) {
  StepUpRule rule;
  if (IsDriveRootForm(szCurrent)) return rule;
  const size_t nSlash = szCurrent.rfind(L'\\');
  rule.m_WriteBuffer = true;
  if (nSlash == std::wstring::npos) {
    rule.m_Folder = szCurrent;
    return rule;
  }
  rule.m_Folder = szCurrent.substr(0, nSlash);
  // A folder directly under a drive root stays: the step never lands on a root.
  rule.m_Step = !IsDriveRootForm(rule.m_Folder);
  return rule;
}

bool IsFolderAbove(const std::wstring& szCurrent, const std::wstring& szPath) {
  const size_t c = szCurrent.size();
  if (c + 1 >= szPath.size() || szPath[c] != L'\\') return false;
  for (size_t i = 0; i < c; ++i) {
    if (platform::UpperAscii(szCurrent[i]) != platform::UpperAscii(szPath[i])) return false;
  }
  return true;
}

bool FileExists(std::wstring szPath) { return platform::SearchFindsEntry(szPath); }

int StepUpCurrentDirectory(std::wstring* pBuffer) {
  const StepUpRule rule = DecideStepUp(ReadCurrentDirectory());
  if (rule.m_WriteBuffer && pBuffer != nullptr) *pBuffer = rule.m_Folder;
  if (!rule.m_Step) return 0;
  // A refused change (a folder gone, a bare server name) is a step not made,
  // so a caller stepping in a loop comes to an end.
  return platform::SetCurrentFolder(rule.m_Folder).m_Ok ? 1 : 0;
}

bool DeleteFolderTree(const wchar_t* pPath) {
  const std::wstring szPath = pPath != nullptr ? pPath : L"";
  // Cut to fit, the path would name a different folder, which would be the
  // one deleted.
  if (szPath.size() > kDeletePathChars) return false;
  // Zero-filled: the shell's path list ends in a second NUL.
  std::array<wchar_t, kDeletePathChars + 2> pathList{};
  szPath.copy(pathList.data(), szPath.size());

  // The shell cannot remove the current directory or a folder holding it.
  std::wstring szCurrent = ReadCurrentDirectory();
  while (!IsFolderAbove(szCurrent, szPath)) {
    if (StepUpCurrentDirectory(&szCurrent) == 0) break;
  }
  return platform::ShellDeleteTree(pathList.data(), kFOF_NOCONFIRMATION | kFOF_NOCONFIRMMKDIR) == 0;
}
