// The paths malvik and the simulator's verdict look at on a volume, and
// only those: the verdict's paths (the recovery folders, \EFI\Microsoft\Boot,
// the recovery environment's image, the Windows system folder), the entries
// the boot-file copy checks in \EFI\Microsoft\Boot and \EFI\OEM, and the
// program folder's scripts, log folder and batch file. The rest of the
// volume is never listed. A path that could not be read (access denied) is
// listed as unknown: whether it is there nobody can tell.
#include <set>

#include "capture/capture.h"
#include "core/copy_efi.h"
#include "platform/ascii.h"
#include "platform/platform.h"
#include "platform/win32_codes.h"
#include "support/log.h"
#include "capture/recorded_paths.h"

namespace {

using description::Key;

// Each folder's boot folder holds the entries the copy checks; shown as
// "Boot", as Windows names it.
const wchar_t kBootFolder[] = L"\\Boot";

// The lists a volume's paths go to.
struct PathLists {
  JsonValue& m_Files;
  JsonValue& m_Unknown;
  std::set<std::wstring>& m_Seen;  // upper-cased: a path that two lists name is read once
};

// Adds szPath (from the root: "\EFI\OEM") when it exists, shown below the
// root with forward slashes: a folder with a trailing "/", a hidden entry in
// the object form. A path the capture was denied is unknown.
void AddIfThere(PathLists lists, const std::wstring& szLetter, const std::wstring& szPath) {
  if (!lists.m_Seen.insert(platform::UpperAscii(szPath)).second) return;
  const platform::FileAttributes attributes = platform::ReadFileAttributes(szLetter + szPath);
  std::wstring szShown = szPath.substr(1);
  for (wchar_t& c : szShown) {
    if (c == L'\\') c = L'/';
  }
  if (!attributes.m_Exists) {
    if (attributes.m_LastError == platform::kERROR_ACCESS_DENIED) {
      Push(lists.m_Unknown, JsonString(szShown));
    }
    return;
  }
  JsonValue& files = lists.m_Files;
  if (attributes.m_Folder) szShown += L'/';
  if (!attributes.m_Hidden) {
    Push(files, JsonString(szShown));
    return;
  }
  JsonValue entry = JsonValue::object();
  Add(entry, Key::kFilePath, JsonString(szShown));
  Add(entry, Key::kFileHidden, JsonValue(true));
  Push(files, std::move(entry));
}

}  // namespace

JsonValue CapturePaths(const std::wstring& szLetter,
                       const std::optional<std::wstring>& programFolder, JsonValue& unknown) {
  JsonValue files = JsonValue::array();
  unknown = JsonValue::array();
  std::set<std::wstring> seen;
  const PathLists lists{files, unknown, seen};
  for (const std::wstring& szPath : VerdictPaths()) AddIfThere(lists, szLetter, szPath);
  for (const wchar_t* szFolder : {kEfiSourceFolder, kOemFolder}) {
    AddIfThere(lists, szLetter, szFolder);
    AddIfThere(lists, szLetter, szFolder + std::wstring(kBootFolder));
  }
  for (const wchar_t* szFolder : {kEfiSourceFolder, kOemFolder}) {
    for (const wchar_t* szEntry : kPresenceEntries) {
      AddIfThere(lists, szLetter, szFolder + std::wstring(kBootFolder) + L"\\" + szEntry);
    }
  }
  if (programFolder) {
    const std::wstring szFolder = programFolder->empty() ? L"" : L"\\" + *programFolder;
    if (!programFolder->empty()) AddIfThere(lists, szLetter, szFolder);
    for (const wchar_t* szEntry : {kPbrScript, kWinReScript, kLogFolder, kBatchName}) {
      AddIfThere(lists, szLetter, szFolder + L"\\" + szEntry);
    }
  }
  return files;
}
