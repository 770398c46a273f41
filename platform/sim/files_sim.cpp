// Files and folders on the simulated machine: creating, searching,
// writing, renaming and deleting them, and the current directory. Each file
// written whole, or renamed into place, goes into the machine's run record.
#include "platform/platform.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"
#include "platform/win32_codes.h"

namespace platform {
namespace {

constexpr std::uint16_t kFOF_NOCONFIRMATION = 0x0010;

// The shell's delete answers with these Win32 codes where it fails.
constexpr int kDeleteNotFound = static_cast<int>(platform::kERROR_FILE_NOT_FOUND);
constexpr int kDeleteInUse = static_cast<int>(platform::kERROR_SHARING_VIOLATION);

constexpr CallResult kDone = {true, 0};
CallResult Failed(std::uint32_t nLastError) { return {false, nLastError}; }

sim::SimMachine& FileCall() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_File);
  return machine;
}

// The current directory is szAbsolute or lies below it (ASCII case ignored).
bool HoldsCurrentDirectory(const sim::SimMachine& machine, const std::wstring& szAbsolute) {
  const std::wstring szCurrent = sim::UpperAscii(machine.m_CurrentDirectory);
  const std::wstring sz = sim::UpperAscii(szAbsolute);
  return szCurrent == sz ||
         (szCurrent.size() > sz.size() && szCurrent.compare(0, sz.size(), sz) == 0 &&
          szCurrent[sz.size()] == L'\\');
}

// Deletes one path with everything below it. A folder that holds the
// current directory stays, as Windows cannot remove it; the rest goes.
int DeleteOne(sim::SimMachine& machine, const std::wstring& szPath) {
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  const sim::SimFile* pEntry = sim::FindFile(machine, szAbsolute);
  if (pFiles == nullptr || pEntry == nullptr || szAbsolute.size() <= 3) return kDeleteNotFound;
  const std::wstring szKey = sim::UpperAscii(pEntry->m_Path);
  std::vector<std::wstring> doomed;
  for (const sim::SimFile* pBelow : sim::EntriesBelow(*pFiles, szKey)) {
    doomed.push_back(pBelow->m_Path);
  }
  doomed.push_back(pEntry->m_Path);
  int nResult = 0;
  for (const std::wstring& szDoomed : doomed) {
    if (HoldsCurrentDirectory(machine, szAbsolute.substr(0, 3) + szDoomed)) {
      nResult = kDeleteInUse;
    } else {
      pFiles->m_Entries.erase(sim::UpperAscii(szDoomed));
    }
  }
  return nResult;
}

// The shell's confirmation before a delete without FOF_NOCONFIRMATION,
// for the entries of the list that exist. Nobody is at the console of an
// unattended run, so on a real machine the run would wait at this box for
// good; the simulated person answers Yes, the deletion goes ahead, and the
// box stays in the machine's dialogs for the report.
void ConfirmDelete(sim::SimMachine& machine, const wchar_t* pPathList) {
  std::vector<const sim::SimFile*> found;
  for (const wchar_t* p = pPathList; *p != L'\0'; p += std::wstring(p).size() + 1) {
    const sim::SimFile* pEntry = sim::FindFile(machine, sim::AbsolutePath(machine, p));
    if (pEntry != nullptr) found.push_back(pEntry);
  }
  if (found.empty()) return;
  sim::SimDialog dialog{L"Delete Multiple Items",
                        L"Are you sure you want to permanently delete these " +
                            std::to_wstring(found.size()) + L" items?",
                        L"Yes, No", L"exclamation"};
  if (found.size() == 1) {
    const bool bFolder = found[0]->m_Folder;
    dialog.m_Title = bFolder ? L"Delete Folder" : L"Delete File";
    dialog.m_Text = std::wstring(L"Are you sure you want to permanently delete this ") +
                    (bFolder ? L"folder?" : L"file?");
  }
  machine.m_Dialogs.push_back(dialog);
}

// Renames szFrom to szTo on one volume; an existing szTo is replaced only
// when bReplace, and never when it is a folder or read-only.
CallResult RenameFile(const std::wstring& szFrom, const std::wstring& szTo, bool bReplace) {
  sim::SimMachine& machine = FileCall();
  const std::wstring szSource = sim::AbsolutePath(machine, szFrom);
  const std::wstring szTarget = sim::AbsolutePath(machine, szTo);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szSource);
  const sim::SimFile* pSource = sim::FindFile(machine, szSource);
  const sim::SimFile* pTarget = sim::FindFile(machine, szTarget);
  if (pFiles == nullptr || pSource == nullptr) return Failed(kERROR_FILE_NOT_FOUND);
  // The batch file's rename into place, made to fail as when the old one is
  // open elsewhere.
  if (bReplace && machine.m_Faults.m_BatchRenameFail) return Failed(kERROR_ACCESS_DENIED);
  // A rename stays on its volume.
  if (pFiles != sim::FilesOf(machine, szTarget)) return Failed(kERROR_NOT_SAME_DEVICE);
  if (szTarget.size() <= 3 || !sim::ParentFolderExists(machine, szTarget)) {
    return Failed(kERROR_PATH_NOT_FOUND);
  }
  if (pTarget != nullptr && !bReplace) return Failed(kERROR_ALREADY_EXISTS);
  if (pSource->m_Folder || (pTarget != nullptr && (pTarget->m_Folder || pTarget->m_ReadOnly))) {
    return Failed(kERROR_ACCESS_DENIED);
  }
  const sim::SimFile moved = *pSource;
  pFiles->m_Entries.erase(sim::UpperAscii(moved.m_Path));
  pFiles->m_Entries.erase(sim::UpperAscii(szTarget.substr(3)));
  sim::AddFile(*pFiles, szTarget.substr(3), false, moved.m_Hidden, moved.m_Bytes);
  machine.m_FilesWritten.push_back(szTarget);
  return kDone;
}

}  // namespace

CallResult CreateFolder(const std::wstring& szPath) {
  sim::SimMachine& machine = FileCall();
  if (machine.m_Faults.m_LogFolderFail) return Failed(kERROR_ACCESS_DENIED);
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || !sim::ParentFolderExists(machine, szAbsolute)) {
    return Failed(kERROR_PATH_NOT_FOUND);
  }
  if (szAbsolute.size() <= 3) return Failed(kERROR_ACCESS_DENIED);  // a drive root
  if (sim::FindFile(machine, szAbsolute) != nullptr) return Failed(kERROR_ALREADY_EXISTS);
  sim::AddFile(*pFiles, szAbsolute.substr(3), true, false, "");
  return kDone;
}

bool SearchFindsEntry(const std::wstring& szPath) {
  sim::SimMachine& machine = FileCall();
  return sim::SearchFinds(machine, szPath);
}

std::wstring GetCurrentFolder() { return FileCall().m_CurrentDirectory; }

CallResult SetCurrentFolder(const std::wstring& szPath) {
  sim::SimMachine& machine = FileCall();
  if (szPath.empty()) return Failed(kERROR_INVALID_NAME);
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  if (szAbsolute.size() <= 3) {
    if (!sim::FindVolumeByLetter(machine, szAbsolute.substr(0, 2)).Readable()) {
      return Failed(kERROR_PATH_NOT_FOUND);
    }
  } else {
    const sim::SimFile* pFolder = sim::FindFile(machine, szAbsolute);
    if (pFolder == nullptr) return Failed(kERROR_FILE_NOT_FOUND);
    if (!pFolder->m_Folder) return Failed(kERROR_DIRECTORY);
  }
  machine.m_CurrentDirectory = szAbsolute;
  return kDone;
}

int ShellDeleteTree(const wchar_t* pPathList, std::uint16_t nFlags) {
  sim::SimMachine& machine = FileCall();
  if ((nFlags & kFOF_NOCONFIRMATION) == 0) ConfirmDelete(machine, pPathList);
  int nResult = 0;
  for (const wchar_t* p = pPathList; *p != L'\0'; p += std::wstring(p).size() + 1) {
    const int nOne = DeleteOne(machine, p);
    if (nResult == 0) nResult = nOne;
  }
  return pPathList[0] == L'\0' ? kDeleteNotFound : nResult;
}

CallResult WriteWholeFile(const std::wstring& szPath, const std::string& szBytes) {
  sim::SimMachine& machine = FileCall();
  if (machine.m_Faults.m_BatchCreateFail) return Failed(kERROR_ACCESS_DENIED);
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || szAbsolute.size() <= 3 ||
      !sim::ParentFolderExists(machine, szAbsolute)) {
    return Failed(kERROR_PATH_NOT_FOUND);
  }
  sim::SimFile* pFile = sim::FindFile(machine, szAbsolute);
  // A normal file does not replace a hidden one: Windows refuses with
  // ERROR_ACCESS_DENIED.
  if (pFile != nullptr && (pFile->m_Folder || pFile->m_Hidden || pFile->m_ReadOnly)) {
    return Failed(kERROR_ACCESS_DENIED);
  }
  if (pFile != nullptr) {
    pFile->m_Bytes = szBytes;
  } else {
    sim::AddFile(*pFiles, szAbsolute.substr(3), false, false, szBytes);
  }
  machine.m_FilesWritten.push_back(szAbsolute);
  return kDone;
}

CallResult WriteNewFile(const std::wstring& szPath, const std::string& szBytes) {
  sim::SimMachine& machine = FileCall();
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || szAbsolute.size() <= 3 ||
      !sim::ParentFolderExists(machine, szAbsolute)) {
    return Failed(kERROR_PATH_NOT_FOUND);
  }
  if (sim::FindFile(machine, szAbsolute) != nullptr) return Failed(kERROR_FILE_EXISTS);
  sim::AddFile(*pFiles, szAbsolute.substr(3), false, false, szBytes);
  machine.m_FilesWritten.push_back(szAbsolute);
  return kDone;
}

CallResult RenameFileReplacing(const std::wstring& szFrom, const std::wstring& szTo) {
  return RenameFile(szFrom, szTo, true);
}

CallResult RenameFileNotReplacing(const std::wstring& szFrom, const std::wstring& szTo) {
  return RenameFile(szFrom, szTo, false);
}

CallResult RemoveFile(const std::wstring& szPath) {
  sim::SimMachine& machine = FileCall();
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  const sim::SimFile* pFile = sim::FindFile(machine, szAbsolute);
  if (pFiles == nullptr || pFile == nullptr) return Failed(kERROR_FILE_NOT_FOUND);
  if (pFile->m_Folder || pFile->m_ReadOnly) return Failed(kERROR_ACCESS_DENIED);
  pFiles->m_Entries.erase(sim::UpperAscii(pFile->m_Path));
  return kDone;
}

FileAttributes ReadFileAttributes(const std::wstring& szPath) {
  sim::SimMachine& machine = FileCall();
  // The root of a readable volume is a folder, as Windows answers for "C:\".
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szPath);
  if (sim::UpperAscii(szAbsolute) == sim::RootOf(szAbsolute) + L"\\") {
    if (sim::FilesOf(machine, szAbsolute) != nullptr) return {true, true, false, 0};
    return {false, false, false, kERROR_PATH_NOT_FOUND};
  }
  const sim::SimFile* pFile = sim::FindFile(machine, szAbsolute);
  if (pFile == nullptr) {
    // A path the description calls unknown is one whose reading was denied.
    std::wstring szRoot, szRest;
    sim::SplitAbsolute(szAbsolute, szRoot, szRest);
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szRoot);
    const std::vector<std::wstring>* pUnknown =
        volume.m_Partition != nullptr ? &volume.m_Partition->m_UnknownPaths
        : volume.m_Drive != nullptr   ? &volume.m_Drive->m_UnknownPaths
                                      : nullptr;
    for (size_t i = 0; pUnknown != nullptr && i < pUnknown->size(); ++i) {
      if (sim::UpperAscii((*pUnknown)[i]) == sim::UpperAscii(szRest)) {
        return {false, false, false, kERROR_ACCESS_DENIED};
      }
    }
    return {false, false, false, kERROR_FILE_NOT_FOUND};
  }
  return {true, pFile->m_Folder, pFile->m_Hidden, 0};
}

}  // namespace platform
