// The paths malvik looks at on a volume, and only those: the recovery
// folders, \EFI\Microsoft\Boot with the entries the boot-file copy checks,
// \EFI\OEM with the same, and the program folder's scripts, log folder and
// batch file. The rest of the volume is never listed.
#include "capture/capture.h"
#include "core/copy_efi.h"
#include "platform/platform.h"
#include "support/log.h"

namespace {

// Each folder's boot folder holds the entries the copy checks; shown as
// "Boot", as Windows names it.
const wchar_t kBootFolder[] = L"\\Boot";

// Adds szPath (from the root: "\EFI\OEM") when it exists, shown below the
// root with forward slashes: a folder with a trailing "/", a hidden entry in
// the object form.
void AddIfThere(JsonValue& files, const std::wstring& szLetter, const std::wstring& szPath) {
  const platform::FileAttributes attributes = platform::ReadFileAttributes(szLetter + szPath);
  if (!attributes.m_Exists) return;
  std::wstring szShown = szPath.substr(1);
  for (wchar_t& c : szShown) {
    if (c == L'\\') c = L'/';
  }
  if (attributes.m_Folder) szShown += L'/';
  if (!attributes.m_Hidden) {
    Push(files, JsonString(szShown));
    return;
  }
  JsonValue entry = JsonObject();
  Add(entry, "path", JsonString(szShown));
  Add(entry, "hidden", JsonBool(true));
  Push(files, std::move(entry));
}

}  // namespace

JsonValue CapturePaths(const std::wstring& szLetter,
                       const std::optional<std::wstring>& programFolder) {
  JsonValue files = JsonArray();
  for (const wchar_t* szFolder : kRecoveryFolders) AddIfThere(files, szLetter, szFolder);
  for (const wchar_t* szFolder : {kEfiSourceFolder, kOemFolder}) {
    AddIfThere(files, szLetter, szFolder);
    AddIfThere(files, szLetter, szFolder + std::wstring(kBootFolder));
  }
  for (const wchar_t* szFolder : {kEfiSourceFolder, kOemFolder}) {
    for (const wchar_t* szEntry : kPresenceEntries) {
      AddIfThere(files, szLetter, szFolder + std::wstring(kBootFolder) + L"\\" + szEntry);
    }
  }
  if (programFolder) {
    const std::wstring szFolder = programFolder->empty() ? L"" : L"\\" + *programFolder;
    if (!programFolder->empty()) AddIfThere(files, szLetter, szFolder);
    for (const wchar_t* szEntry : {kPbrScript, kWinReScript, kLogFolder, kBatchName}) {
      AddIfThere(files, szLetter, szFolder + L"\\" + szEntry);
    }
  }
  return files;
}
