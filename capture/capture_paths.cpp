// The paths malvik looks at on a volume, and only those: the recovery
// folders, \EFI\Microsoft\Boot with the entries the boot-file copy checks,
// \EFI\OEM with the same, and the program folder's scripts, log folder and
// batch file. The rest of the volume is never listed.
#include "capture/capture.h"
#include "platform/platform.h"

namespace {

const wchar_t* const kVolumePaths[] = {
    L"Zeph_XP", L"Zeph_VISTA", L"Zeph_WIN7", L"Zeph2", L"Zeph_WIN8", L"EFI\\Microsoft",
    L"EFI\\Microsoft\\Boot", L"EFI\\OEM", L"EFI\\OEM\\Boot"};
const wchar_t* const kBootEntries[] = {L"BCD",         L"bootmgfw.efi", L"bootmgr.efi",
                                       L"memtest.efi", L"fonts",        L"resources"};
const wchar_t* const kProgramEntries[] = {L"modifybcdtoPBR.cmd", L"modifybcdtoWinRE.cmd", L"Log",
                                          L"CopyEFI_byOEM.cmd"};

// Adds szPath (below the root, backslashes) when it exists: a folder with a
// trailing "/", a hidden entry in the object form.
void AddIfThere(JsonValue& files, const std::wstring& szLetter, const std::wstring& szPath) {
  const platform::FileAttributes attributes =
      platform::ReadFileAttributes(szLetter + L"\\" + szPath);
  if (!attributes.m_Exists) return;
  std::wstring szShown = szPath;
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
  for (const wchar_t* szPath : kVolumePaths) AddIfThere(files, szLetter, szPath);
  for (const wchar_t* szFolder : {L"EFI\\Microsoft\\Boot\\", L"EFI\\OEM\\Boot\\"}) {
    for (const wchar_t* szEntry : kBootEntries) {
      AddIfThere(files, szLetter, std::wstring(szFolder) + szEntry);
    }
  }
  if (programFolder) {
    const std::wstring szPrefix = programFolder->empty() ? L"" : *programFolder + L"\\";
    if (!programFolder->empty()) AddIfThere(files, szLetter, *programFolder);
    for (const wchar_t* szEntry : kProgramEntries) AddIfThere(files, szLetter, szPrefix + szEntry);
  }
  return files;
}
