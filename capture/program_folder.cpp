// The folder malvik runs from, as the capture settles and checks it: a
// relative --program is made full against the current folder, a file
// stands for its folder, and the folder must hold malvik.exe and both
// boot-configuration scripts to be malvik's.
#include <algorithm>
#include <vector>

#include "capture/capture.h"
#include "core/copy_efi.h"
#include "platform/ascii.h"
#include "platform/device_names.h"
#include "platform/platform.h"

namespace {

std::wstring Backslashed(std::wstring sz) {
  for (wchar_t& c : sz) {
    if (c == L'/') c = L'\\';
  }
  return sz;
}

bool SameDrive(const std::wstring& szA, const std::wstring& szB) {
  return platform::UpperAscii(szA.substr(0, 2)) == platform::UpperAscii(szB.substr(0, 2));
}

// szDrive ("C:") with the names of szBelow, "." and ".." folded: "C:\a\b",
// or "C:\" for the root.
std::wstring Folded(const std::wstring& szDrive, const std::wstring& szBelow) {
  std::vector<std::wstring> parts;
  size_t begin = 0;
  while (begin <= szBelow.size()) {
    size_t end = szBelow.find(L'\\', begin);
    if (end == std::wstring::npos) end = szBelow.size();
    const std::wstring szPart = szBelow.substr(begin, end - begin);
    if (szPart == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!szPart.empty() && szPart != L".") {
      parts.push_back(szPart);
    }
    begin = end + 1;
  }
  std::wstring sz = szDrive + L"\\";
  for (size_t i = 0; i < parts.size(); ++i) sz += (i == 0 ? L"" : L"\\") + parts[i];
  return sz;
}

std::wstring InFolder(const std::wstring& szFolder, const std::wstring& szName) {
  return szFolder + (szFolder.back() == L'\\' ? L"" : L"\\") + szName;
}

// "the program folder C:\Tools", or with why it is the capture's own.
std::wstring FolderWords(const ProgramFolderCheck& check) {
  return L"The program folder " + check.m_Folder +
         (check.m_Given ? L"" : L" (the capture's own folder, as no --program was given)");
}

// What the folder holds of malvik.exe and its scripts; the rest it lacks.
void CheckContents(ProgramFolderCheck& check) {
  std::vector<std::wstring> missing;
  for (const wchar_t* szName : {kMalvikProgram, kPbrScript, kWinReScript}) {
    const platform::FileAttributes file =
        platform::ReadFileAttributes(InFolder(check.m_Folder, szName));
    (file.m_Exists && !file.m_Folder ? check.m_Found : missing).push_back(szName);
  }
  if (missing.empty()) return;
  std::wstring sz = FolderWords(check) + L" holds no " + missing[0];
  for (size_t i = 1; i < missing.size(); ++i) sz += L" and no " + missing[i];
  check.m_Lacks.push_back(sz);
}

}  // namespace

std::wstring FullFolder(const std::wstring& szGiven, const std::wstring& szCurrent) {
  const std::wstring sz = Backslashed(szGiven);
  if (sz.rfind(L"\\\\", 0) == 0) {  // a share or a device path, as it is
    return sz.substr(0, std::max<size_t>(2, sz.find_last_not_of(L'\\') + 1));
  }
  if (platform::StartsWithDriveLetter(sz)) {
    std::wstring szBelow = sz.substr(2);
    // "D:Tools" lies below D:'s current folder, which is known here for the
    // current drive only; on another drive it is taken from the root.
    if ((szBelow.empty() || szBelow[0] != L'\\') && platform::StartsWithDriveLetter(szCurrent) &&
        SameDrive(sz, szCurrent)) {
      szBelow = szCurrent.substr(2) + L"\\" + szBelow;
    }
    return Folded(sz.substr(0, 2), szBelow);
  }
  if (!platform::StartsWithDriveLetter(szCurrent)) return {};
  const std::wstring szBelow =
      !sz.empty() && sz[0] == L'\\' ? sz : szCurrent.substr(2) + L"\\" + sz;
  return Folded(szCurrent.substr(0, 2), szBelow);
}

bool IsFullFolder(const std::wstring& sz) {
  return sz.size() >= 3 && platform::StartsWithDriveLetter(sz) && sz[2] == L'\\';
}

std::wstring OwnFolder() {
  const std::wstring szPath = platform::ReadProgramPath();
  const size_t slash = szPath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : FullFolder(szPath.substr(0, slash), L"");
}

ProgramFolderCheck CheckProgramFolder(const std::wstring& szGiven) {
  ProgramFolderCheck check;
  check.m_Given = !szGiven.empty();
  const std::wstring szCurrent = check.m_Given ? platform::GetCurrentFolder() : L"";
  check.m_Folder = check.m_Given ? FullFolder(szGiven, szCurrent) : OwnFolder();
  if (check.m_Folder.empty()) {
    check.m_Lacks.push_back(
        check.m_Given ? L"--program " + szGiven + L" cannot be made a full path: the current " +
                            (szCurrent.empty() ? L"folder cannot be read"
                                               : L"folder " + szCurrent + L" has no drive letter")
                      : L"The capture's own folder cannot be read");
    return check;
  }
  if (!IsFullFolder(check.m_Folder)) {
    check.m_Lacks.push_back(FolderWords(check) +
                            L" has no drive letter, which malvik's folder needs");
    return check;
  }
  if (check.m_Given && !IsFullFolder(Backslashed(szGiven))) {
    check.m_Settled.push_back(L"--program " + szGiven + L" is taken as " + check.m_Folder +
                              L" (the current folder being " + szCurrent + L")");
  }
  platform::FileAttributes folder = platform::ReadFileAttributes(check.m_Folder);
  if (folder.m_Exists && !folder.m_Folder) {
    const std::wstring szFile = check.m_Folder;
    check.m_Folder = FullFolder(szFile.substr(0, szFile.find_last_of(L'\\')), L"");
    check.m_Settled.push_back(szFile + L" is a file; its folder " + check.m_Folder +
                              L" is taken as malvik's");
    folder = platform::ReadFileAttributes(check.m_Folder);
  }
  if (!folder.m_Exists) {
    check.m_Lacks.push_back(FolderWords(check) + L" cannot be found (" +
                            ErrorWords(folder.m_LastError) + L")");
    return check;
  }
  CheckContents(check);
  return check;
}
