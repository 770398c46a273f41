#include "support/file_ops.h"

#include <array>

#include "platform/ascii.h"
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

}  // namespace

bool IsDriveRootForm(const std::wstring& sz) {
  if (sz.size() != 2 && sz.size() != 3) return false;
  return platform::IsAsciiLetter(sz[0]) && sz[1] == L':' && (sz.size() == 2 || sz[2] == L'\\');
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
