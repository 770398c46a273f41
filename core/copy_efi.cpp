#include "core/copy_efi.h"

#include "core/efi_batch.h"
#include "core/setup_context.h"
#include "platform/device_names.h"
#include "platform/platform.h"
#include "support/command_runner.h"
#include "support/file_ops.h"
#include "support/log.h"

namespace {

const wchar_t kBatchTempSuffix[] = L".new";

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
  if (platform::WriteWholeFile(szTemp, szBytes).m_Ok &&
      platform::RenameFileReplacing(szTemp, szBatch).m_Ok) {
    return true;
  }
  platform::RemoveFile(szTemp);
  return false;
}

std::uint32_t NotRun(Logger& logger, const wchar_t* szWhy, const std::wstring& szDetail) {
  WriteLog(logger, szWhy, szDetail);
  return kBatchNotRunExitCode;
}

std::uint32_t NotStarted(Logger& logger, const CommandOutcome& outcome) {
  return NotRun(logger, copy_efi_log::kCannotStart,
                L"err=" + std::to_wstring(static_cast<std::int32_t>(outcome.m_StartError)));
}

// Writes and runs the batch file; its exit code, or kBatchNotRunExitCode
// after a line that says why there is none. Everything that can refuse the
// batch file is decided before the old \EFI\OEM is touched, so a run that
// copies nothing destroys nothing.
std::uint32_t WriteAndRunBatchFile(SetupContext& context, const std::wstring& szDir) {
  Logger& logger = context.m_Logger;
  const std::wstring& szESP = context.m_ESPLetter;
  // The one letter that reaches a delete and a copy: anything else would
  // make them act on the current drive or directory.
  if (!platform::IsDriveLetter(szESP)) return NotRun(logger, copy_efi_log::kEspNotADrive, szESP);
  // The running Windows is never on the EFI system partition: such a letter
  // is a mistyped one, and its \EFI\OEM is whatever that volume holds.
  const std::wstring szWindows = platform::ReadWindowsFolder();
  if (!szWindows.empty() && OnSameVolume(szESP + L"\\", szWindows)) {
    return NotRun(logger, copy_efi_log::kEspIsWindowsVolume, szESP);
  }
  // The batch file and the log lie in the program folder: below \EFI\OEM
  // the delete would take them, the scripts and the program with it.
  const std::wstring szOemFolder = szESP + kOemFolder;
  if (LiesInFolder(szDir, szOemFolder)) {
    return NotRun(logger, copy_efi_log::kProgramInOemFolder, szDir);
  }

  EfiBatchInput input;
  input.m_ProgramDir = szDir;
  input.m_ESPLetter = szESP;
  input.m_LogFolderMissing = !FileExists(szDir + kLogFolder);
  const bool bReset = AnyRecoveryFolder(context.m_PBRLetter);
  input.m_Script = bReset ? kPbrScript : kWinReScript;
  input.m_ScriptLetter = bReset ? context.m_PBRLetter : context.m_RecoveryLetter;
  std::string szBytes;
  const BatchCodePage codePage = ChooseBatchCodePage(platform::ReadConsoleCodePages());
  if (!KeepsAscii(codePage.m_CodePage)) {
    return NotRun(logger, copy_efi_log::kCodePageNotAscii, std::to_wstring(codePage.m_CodePage));
  }
  if (const std::wstring* pText = EncodeEfiBatch(input, codePage, &szBytes)) {
    return NotRun(logger, copy_efi_log::kCannotHoldPath, *pText);
  }
  const std::wstring szBatch = szDir + kBatchName;
  // The process call would not find it; its command line is far shorter
  // than the command buffer.
  if (!FitsProgramName(szBatch)) return NotRun(logger, copy_efi_log::kBatchPathTooLong, szBatch);
  const std::wstring szCommand = QuoteForCommandLine(szBatch);
  // An older batch file may still be there; its commands are not this run's.
  if (!WriteBatchFile(szBatch, szBytes)) return NotRun(logger, copy_efi_log::kCannotWrite, szBatch);
  // An old \EFI\OEM goes right before the copy, so nothing of it outlives a
  // copy that fails; without \EFI\Microsoft there is nothing to replace it
  // with, and the batch file runs on for a script that makes the boot files
  // itself.
  if (FileExists(szOemFolder)) {
    if (FileExists(szESP + kEfiSourceFolder)) {
      DeleteFolderTree(szOemFolder.c_str());
    } else {
      WriteLog(logger, copy_efi_log::kOemKeptNoSource, szESP);
    }
  }
  const CommandOutcome outcome = RunCommand(szCommand);
  if (!outcome.m_Started) return NotStarted(logger, outcome);
  if (!outcome.m_ExitKnown) return NotRun(logger, copy_efi_log::kExitUnknown, L"");
  return outcome.m_ExitCode;
}

}  // namespace

void CopyEfiBootFiles(SetupContext& context) {
  Logger& logger = context.m_Logger;
  const std::wstring szDir = GetProgramDirectory(logger);
  LogExitCode(logger, WriteAndRunBatchFile(context, szDir));

  const std::wstring szOemFolder = context.m_ESPLetter + kOemFolder;
  WriteLog(logger, szOemFolder, BoolToText(FileExists(szOemFolder)));
  for (const wchar_t* szEntry : kPresenceEntries) {
    const std::wstring szFull = szOemFolder + kOemBootFolder + L"\\" + szEntry;
    WriteLog(logger, szFull, BoolToText(FileExists(szFull)));
  }
}
