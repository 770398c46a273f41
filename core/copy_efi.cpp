#include "core/copy_efi.h"

#include "core/efi_batch.h"
#include "core/setup_context.h"
#include "platform/platform.h"
#include "support/command_runner.h"
#include "support/file_ops.h"
#include "support/log.h"

namespace {

// Folders on the reset partition whose presence means it can restore the
// machine: any one of them hands over to the reset script. Tried in order.
const wchar_t* const kRecoveryFolders[] = {L"\\Zeph_XP", L"\\Zeph_VISTA", L"\\Zeph_WIN7",
                                           L"\\Zeph2", L"\\Zeph_WIN8"};

// What the copy should have left on the EFI system partition, logged in order.
const wchar_t* const kPresencePaths[] = {
    L"\\EFI\\OEM",
    L"\\EFI\\OEM\\boot\\BCD",
    L"\\EFI\\OEM\\boot\\bootmgfw.efi",
    L"\\EFI\\OEM\\boot\\bootmgr.efi",
    L"\\EFI\\OEM\\boot\\memtest.efi",
    L"\\EFI\\OEM\\boot\\fonts",
    L"\\EFI\\OEM\\boot\\resources",
};

const wchar_t kBatchName[] = L"CopyEFI_byOEM.cmd";
const wchar_t kBatchTempSuffix[] = L".new";
const wchar_t kPbrScript[] = L"modifybcdtoPBR.cmd";
const wchar_t kWinReScript[] = L"modifybcdtoWinRE.cmd";

bool AnyRecoveryFolder(const std::wstring& szPBR) {
  for (const wchar_t* szFolder : kRecoveryFolders) {
    if (FileExists(szPBR + szFolder)) return true;
  }
  return false;
}

// Written to a temporary name beside it and renamed into place, so the batch
// file is either this run's in full or not there under its name at all; an
// older one that cannot be replaced stays as it was.
bool WriteBatchFile(const std::wstring& szBatch, const std::string& szBytes) {
  const std::wstring szTemp = szBatch + kBatchTempSuffix;
  if (platform::WriteWholeFile(szTemp, szBytes) && platform::RenameFileReplacing(szTemp, szBatch)) {
    return true;
  }
  platform::RemoveFile(szTemp);
  return false;
}

}  // namespace

void CopyEfiBootFiles(SetupContext& context) {
  Logger& logger = context.m_Logger;
  const std::wstring szDir = GetProgramDirectory(logger);
  const std::wstring& szESP = context.m_ESPLetter;
  const std::wstring szLogFolder = szDir + L"Log";
  const std::wstring szOemFolder = szESP + L"\\EFI\\OEM";

  // An old \EFI\OEM goes first, so nothing of it outlives a failing copy.
  if (FileExists(szOemFolder)) DeleteFolderTree(szOemFolder.c_str());

  const std::wstring szBatch = szDir + kBatchName;
  EfiBatchInput input;
  input.m_ProgramDir = szDir;
  input.m_ESPLetter = szESP;
  input.m_LogFolderMissing = !FileExists(szLogFolder);
  const bool bReset = AnyRecoveryFolder(context.m_PBRLetter);
  input.m_Script = bReset ? kPbrScript : kWinReScript;
  input.m_ScriptLetter = bReset ? context.m_PBRLetter : context.m_RecoveryLetter;

  std::uint32_t nExitCode = kBatchNotRunExitCode;
  if (const std::wstring* pText = FindUncarriedText(input)) {
    // Written, it would name other paths than these; an older batch file
    // is not this run's either.
    WriteLog(logger, L"Error Batch File Cannot Hold Path, not run", *pText);
  } else if (WriteBatchFile(szBatch, BuildEfiBatch(input))) {
    nExitCode = RunCommand(QuoteForCommandLine(szBatch));
  } else {
    // An older batch file may still be there; its commands are not this run's.
    WriteLog(logger, L"Error Writing Batch File, not run", szBatch);
  }
  LogExitCode(logger, nExitCode);

  for (const wchar_t* szPath : kPresencePaths) {
    const std::wstring szFull = szESP + szPath;
    WriteLog(logger, szFull, BoolToText(FileExists(szFull)));
  }
}
