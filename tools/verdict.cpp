#include "tools/verdict.h"

#include <iterator>

#include "core/copy_efi.h"
#include "core/entry.h"
#include "core/setup_context.h"
#include "core/setup_sequence.h"
#include "letters/drive_letters.h"
#include "letters/special_partitions.h"
#include "platform/win32_codes.h"
#include "support/boot_mode.h"
#include "support/log.h"
#include "tools/compare_log.h"
#include "tools/letter_roles.h"

using sim::ToUtf8;

namespace {

// The letters the run works with, settled from its arguments as the setup
// context settles them.
void RunLetters(const std::vector<std::wstring>& args, Verdict& verdict) {
  std::vector<const wchar_t*> argv = {L"malvik.exe"};
  for (const std::wstring& sz : args) argv.push_back(sz.c_str());
  const SettledLetters letters =
      SettleLetters(PickLetterArguments(static_cast<int>(argv.size()), argv.data()));
  verdict.m_Letters = {{RecoveryRole().m_Name, letters.m_Recovery, L"", L""},
                       {EspRole().m_Name, letters.m_ESP, L"", L""},
                       {PbrRole().m_Name, letters.m_PBR, L"", L""}};
  verdict.m_LettersGiven = letters.m_Given;
}

// The run's letter of a role; RunLetters gives every role one.
const LetterUse& UseOf(const Verdict& verdict, const LetterRole& role) {
  for (const LetterUse& use : verdict.m_Letters) {
    if (use.m_Role == role.m_Name) return use;
  }
  return verdict.m_Letters.front();
}

std::wstring PartitionName(int nDisk, int nNumber) {
  return L"disk " + std::to_wstring(nDisk) + L" partition " + std::to_wstring(nNumber);
}

// What a letter names after the run.
struct Named {
  std::wstring m_Device;  // empty: nothing
  const sim::SimDisk* m_pDisk = nullptr;
  const sim::SimPartition* m_pPartition = nullptr;  // nullptr: not a partition of a listed disk
  std::wstring m_Label;                             // when the volume can be read
};

Named NameOf(sim::SimMachine& machine, const std::wstring& szLetter) {
  Named named;
  auto it = machine.m_DosDevices.find(sim::UpperAscii(szLetter));
  if (szLetter.empty() || it == machine.m_DosDevices.end() || it->second.empty()) return named;
  named.m_Device = it->second.front();
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
  named.m_pDisk = volume.m_Disk;
  named.m_pPartition = volume.m_Partition;
  if (volume.Readable()) named.m_Label = volume.Label();
  return named;
}

void JudgeLetters(sim::SimMachine& machine, Verdict& verdict) {
  for (LetterUse& use : verdict.m_Letters) {
    const Named named = NameOf(machine, use.m_Letter);
    if (named.m_Device.empty()) continue;
    use.m_Names = named.m_pPartition != nullptr
                      ? PartitionName(named.m_pDisk->m_Index, named.m_pPartition->m_Number)
                      : named.m_Device;
    use.m_Label = named.m_Label;
  }
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      const std::wstring szLabel = part.m_Label.value_or(L"");
      const SpecialPartitionKind* pKind = FindSpecialKind(szLabel);
      if (pKind == nullptr || part.m_Unreadable) continue;
      SpecialPartition special{pKind->m_Role, szLabel, disk.m_Index, part.m_Number, {}};
      const std::wstring szDevice = sim::PartitionDevicePath(disk.m_Index, part.m_Number);
      for (const auto& [szLetter, stack] : machine.m_DosDevices) {
        if (!stack.empty() && stack.front() == szDevice) special.m_Letters.push_back(szLetter);
      }
      verdict.m_Special.push_back(special);
    }
  }
}

// The file calls recorded szPath among the files this run wrote whole.
bool WrittenThisRun(const sim::SimMachine& machine, const std::wstring& szPath) {
  for (const std::wstring& szWritten : machine.m_FilesWritten) {
    if (sim::UpperAscii(szWritten) == sim::UpperAscii(szPath)) return true;
  }
  return false;
}

// The run record of the batch file this run wrote: the program started it,
// or tried to. nullptr: it wrote none, or did not try to start it.
const sim::SimProcessRun* ThisRunsBatch(const sim::SimMachine& machine) {
  const sim::SimProcessRun* pBatch = nullptr;
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (!run.m_BatchFile.empty() && WrittenThisRun(machine, run.m_BatchFile)) pBatch = &run;
  }
  return pBatch;
}

std::wstring FileName(const std::wstring& szPath) {
  const size_t nSlash = szPath.find_last_of(L"\\/");
  return nSlash == std::wstring::npos ? szPath : szPath.substr(nSlash + 1);
}

// The hand-over of the batch file this run wrote, to a script of the
// program folder ("modifybcdtoPBR.cmd ESP PBR" or the WinRE script with ESP
// and the recovery letter), as the run record holds it: the interpreter
// model read it from the batch file the program started, or tried to.
void JudgeHandOver(const sim::SimMachine& machine, const sim::SimProcessRun* pBatch,
                   Verdict& verdict) {
  verdict.m_HandOver = "none";
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (run.m_StartError == 0) verdict.m_BatchExitCode = run.m_ExitCode;
  }
  verdict.m_BatchRan = pBatch != nullptr && pBatch->m_StartError == 0;
  if (pBatch == nullptr || pBatch->m_HandOverScript.empty()) return;
  const std::wstring szName = FileName(pBatch->m_HandOverScript);
  verdict.m_HandOverScript = szName;
  if (sim::UpperAscii(szName) == sim::UpperAscii(kPbrScript)) {
    verdict.m_HandOver = "5a";
  } else if (sim::UpperAscii(szName) == sim::UpperAscii(kWinReScript)) {
    verdict.m_HandOver = "5b";
  } else {
    return;
  }
  verdict.m_HandOverLetters = pBatch->m_HandOverArgs;
  verdict.m_HandOverRan = pBatch->m_HandOverRan;
}

// The copy step's lines that say its batch file did not run, or ran with an
// outcome nobody knows, in words; empty for any other line.
std::string WhyNotRun(const std::wstring& szMessage, const std::wstring& szValue) {
  namespace why = copy_efi_log;
  const std::string szDetail = ToUtf8(szValue);
  if (szMessage == why::kCannotWrite) return "the batch file " + szDetail + " could not be written";
  if (szMessage == why::kCannotHoldPath) {
    return "the batch file was not run: cmd could not read \"" + szDetail +
           "\" back unchanged in the console's code page";
  }
  if (szMessage == why::kEspNotADrive) {
    return "the batch file was not run: the ESP letter \"" + szDetail + "\" is not a drive letter";
  }
  if (szMessage == why::kCannotStart) {
    return "the batch file could not be started (" + szDetail + ")";
  }
  if (szMessage == why::kExitUnknown) return "the batch file's exit code could not be read";
  if (szMessage == why::kEspIsWindowsVolume) {
    return "the batch file was not run: the ESP letter " + szDetail +
           " names the volume of the running Windows, which is never the EFI system partition";
  }
  if (szMessage == why::kProgramInOemFolder) {
    return "the batch file was not run: the program folder " + szDetail + " lies in the " +
           ToUtf8(kOemFolder) + " it would replace";
  }
  if (szMessage == why::kBatchPathTooLong) {
    return "the batch file was not run: its path " + szDetail + " is longer than the " +
           std::to_string(platform::kMAX_PATH - 1) + " characters Windows starts a program by";
  }
  return {};
}

// What the log says the run kept: a warning, the batch file ran on.
std::string WhatWasKept(const std::wstring& szMessage, const std::wstring& szValue) {
  if (szMessage == copy_efi_log::kOemKeptNoSource) {
    return ToUtf8(szValue) + " has no " + ToUtf8(kEfiSourceFolder) + ": the old " +
           ToUtf8(kOemFolder) + " was kept, not replaced, and the batch file copied nothing";
  }
  return {};
}

// What the log says: the presence lines (after the exit-code line), why the
// batch file did not run, and whether the last inventory attempt failed.
struct LogFacts {
  std::vector<std::string> m_NotRun;
  std::vector<std::string> m_Kept;
  std::wstring m_InventoryError;  // empty: the last attempt did not fail
};

LogFacts ReadLog(const Outcome& outcome, Verdict& verdict) {
  LogFacts facts;
  size_t nAfterExitCode = outcome.m_Log.size();
  for (size_t i = 0; i < outcome.m_Log.size(); ++i) {
    const std::wstring szMessage = WithoutTimeStamp(outcome.m_Log[i].m_Key);
    if (szMessage == sequence_log::kGetDiskInfo) {
      facts.m_InventoryError.clear();
    } else if (IsFailedInventoryLine(szMessage)) {
      facts.m_InventoryError = szMessage;
    } else if (szMessage.rfind(kExitCodeLine, 0) == 0) {
      nAfterExitCode = i + 1;
    } else if (const std::string szWhy = WhyNotRun(szMessage, outcome.m_Log[i].m_Value);
               !szWhy.empty()) {
      facts.m_NotRun.push_back(szWhy);
    } else if (const std::string szKept = WhatWasKept(szMessage, outcome.m_Log[i].m_Value);
               !szKept.empty()) {
      facts.m_Kept.push_back(szKept);
    }
  }
  for (size_t i = nAfterExitCode; i < outcome.m_Log.size(); ++i) {
    const std::wstring& szValue = outcome.m_Log[i].m_Value;
    if (szValue != BoolToText(true) && szValue != BoolToText(false)) continue;
    ++verdict.m_PresenceLines;
    if (szValue == BoolToText(false)) {
      verdict.m_PresenceFalse.push_back(WithoutTimeStamp(outcome.m_Log[i].m_Key));
    }
  }
  return facts;
}

// A partition that shows a sign of a role's partition but whose label no
// rule recognises.
struct LookAlike {
  const sim::SimDisk* m_pDisk;
  const sim::SimPartition* m_pPartition;
  PartitionSign m_Sign;
  bool m_InReason = false;
};

std::vector<LookAlike> FindLookAlikes(const sim::SimMachine& machine) {
  std::vector<LookAlike> found;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (FindSpecialKind(part.m_Label.value_or(L"")) != nullptr) continue;
      for (const PartitionSign& sign : SignsOf(part)) found.push_back({&disk, &part, sign});
    }
  }
  return found;
}

// "partition 5 of disk 0 holds \Zeph2 but is labelled "PBR_RESET"{szSo};
// malvik finds the service or reset partition only by ...".
std::string LookAlikeText(const LookAlike& alike, const std::string& szSo) {
  const LetterRole& role = *alike.m_Sign.m_pRole;
  return PartitionWords(alike.m_pDisk->m_Index, alike.m_pPartition->m_Number) + " " +
         alike.m_Sign.m_Words + " but " + LabelClause(alike.m_pPartition->m_Label) + szSo +
         "; malvik finds " + RolePartitionWords(role) + " only by " + RoleLabelWords(role);
}

// The facts the reasons are worded from.
struct Judging {
  sim::SimMachine& m_Machine;
  Verdict& m_Verdict;
  std::vector<LookAlike> m_LookAlikes;
  bool m_NoFreeLetter = false;  // every letter from D: to Z: was taken at the start
  bool m_Legacy = false;        // the firmware probe tells legacy BIOS
};

// Every letter from D: to Z: was taken before the run: no probe letter was
// free for the rules' sweeps.
bool NoFreeLetterAtStart(const Outcome& outcome) {
  std::uint32_t nMask = 0;
  for (const Drive& drive : outcome.m_Drives) {
    const std::wstring szLetter = sim::UpperAscii(drive.m_Letter);
    if (drive.m_Change == "new" || !IsDriveLetter(szLetter)) continue;
    nMask |= 1u << (szLetter[0] - L'A');
  }
  return LowestFreeLetter(nMask).empty();
}

bool TellsLegacy(const sim::SimFirmware& firmware) {
  const FirmwareError* pError = FindFirmwareError(firmware.m_Error);
  return !firmware.m_Succeeds && pError != nullptr && !pError->m_Uefi;
}

// "partition 3 of disk 0 ("Windows")", ""SHARER", a drive that is not a
// partition of a listed disk", "nothing".
std::string NamedWords(const Named& named) {
  if (named.m_Device.empty()) return "nothing";
  const std::string szLabel = named.m_Label.empty() ? "" : "\"" + ToUtf8(named.m_Label) + "\"";
  if (named.m_pPartition != nullptr) {
    return PartitionWords(named.m_pDisk->m_Index, named.m_pPartition->m_Number) +
           (szLabel.empty() ? "" : " (" + szLabel + ")");
  }
  return (szLabel.empty() ? ToUtf8(named.m_Device) : szLabel) +
         ", a drive that is not a partition of a listed disk";
}

// "R:, the ESP letter,".
std::string LetterWho(const std::wstring& szLetter, const LetterRole& role) {
  return (szLetter.empty() ? std::string("the empty text") : ToUtf8(szLetter)) + ", the " +
         role.m_Name + " letter,";
}

// Why the letter does not name a partition the role is meant for; empty
// when it does.
std::string LetterFault(Judging& judging, const LetterRole& role, const std::wstring& szLetter) {
  const Named named = NameOf(judging.m_Machine, szLetter);
  if (named.m_pPartition != nullptr) {
    const SpecialPartitionKind* pKind = FindSpecialKind(named.m_pPartition->m_Label.value_or(L""));
    if (pKind != nullptr && RoleTakes(role, *pKind)) return {};
  }
  const std::string szWho = LetterWho(szLetter, role);
  const std::string szGiven =
      judging.m_Verdict.m_LettersGiven
          ? "; letters given on the command line name partitions that must already carry them"
          : "";
  if (judging.m_NoFreeLetter && !judging.m_Verdict.m_LettersGiven) {
    return "no free letter from D: to Z:, so " + szWho + " names " + NamedWords(named);
  }
  for (LookAlike& alike : judging.m_LookAlikes) {
    if (alike.m_Sign.m_pRole != &role || alike.m_InReason) continue;
    alike.m_InReason = true;
    return LookAlikeText(alike, "");
  }
  if (!named.m_Device.empty()) {
    return szWho + " names " + NamedWords(named) + ", not " + RolePartitionWords(role) + szGiven;
  }
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (!RoleTakes(role, kind)) continue;
    for (const SpecialPartition& part : judging.m_Verdict.m_Special) {
      if (part.m_Kind != kind.m_Role) continue;
      std::string szLetters;
      for (const std::wstring& sz : part.m_Letters) szLetters += " " + ToUtf8(sz);
      return szWho + " names nothing, while the " + part.m_Kind + " partition \"" +
             ToUtf8(part.m_Label) + "\" (" + PartitionWords(part.m_Disk, part.m_Number) + ") " +
             (szLetters.empty() ? "has no letter" : "has" + szLetters) + szGiven;
    }
  }
  return szWho + " names nothing: malvik finds " + RolePartitionWords(role) + " by " +
         RoleLabelWords(role) +
         (judging.m_Legacy && &role == &EspRole() ? ", on legacy machines too" : "") +
         ", and no partition has one";
}

// A partition that holds a recovery folder makes the hand-over the reset
// script's, with the PBR letter naming it: one that did not get it is named.
void JudgeResetFolders(Judging& judging, std::vector<std::string>& reasons) {
  const Verdict& verdict = judging.m_Verdict;
  const std::wstring szPbr =
      verdict.m_HandOverLetters.size() > 1 ? verdict.m_HandOverLetters[1] : L"";
  const Named pbr = NameOf(judging.m_Machine, verdict.m_HandOver == "5a" ? szPbr : L"");
  const std::string szSo = verdict.m_HandOver == "5b"
                               ? ", so the batch file hands over to " +
                                     ToUtf8(verdict.m_HandOverScript)
                               : "";
  for (LookAlike& alike : judging.m_LookAlikes) {
    if (alike.m_Sign.m_pRole != &PbrRole() || alike.m_pPartition == pbr.m_pPartition) continue;
    alike.m_InReason = true;
    reasons.push_back(LookAlikeText(alike, szSo));
  }
  if (verdict.m_HandOver != "5b") return;
  const LetterUse& pbrUse = UseOf(verdict, PbrRole());
  for (const sim::SimDisk& disk : judging.m_Machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      const SpecialPartitionKind* pKind = FindSpecialKind(part.m_Label.value_or(L""));
      if (pKind == nullptr || !RoleTakes(PbrRole(), *pKind)) continue;
      for (const PartitionSign& sign : SignsOf(part)) {
        if (sign.m_pRole != &PbrRole()) continue;
        reasons.push_back(PartitionWords(disk.m_Index, part.m_Number) + " (\"" +
                          ToUtf8(part.m_Label.value_or(L"")) + "\") " + sign.m_Words + ", but " +
                          LetterWho(pbrUse.m_Letter, PbrRole()) + " names " +
                          NamedWords(NameOf(judging.m_Machine, pbrUse.m_Letter)) + szSo);
      }
    }
  }
}

// The first line of a script's output, for a reason.
std::string FirstLine(const std::string& szOutput) {
  const size_t nBegin = szOutput.find_first_not_of("\r\n");
  if (nBegin == std::string::npos) return {};
  return szOutput.substr(nBegin, szOutput.find_first_of("\r\n", nBegin) - nBegin);
}

// The hand-over of a batch file that ran with a known exit code.
void JudgeScript(const Judging& judging, const sim::SimProcessRun& batch,
                 std::vector<std::string>& reasons) {
  const Verdict& verdict = judging.m_Verdict;
  const std::string szScript = ToUtf8(verdict.m_HandOverScript);
  if (verdict.m_HandOver == "none") {
    reasons.push_back(szScript.empty() ? "the batch file hands over to no script"
                                       : "the batch file hands over to " + szScript +
                                             ", which is neither " + ToUtf8(kPbrScript) +
                                             " nor " + ToUtf8(kWinReScript));
    return;
  }
  if (!verdict.m_HandOverRan) {
    // The hand-over is the batch file's last line.
    const std::string szDid =
        batch.m_Lines.empty() ? "" : ": " + ToUtf8(batch.m_Lines.back().m_Did);
    reasons.push_back("the hand-over script " + szScript + " did not run" + szDid);
    return;
  }
  if (batch.m_ExitCode == 0) return;
  std::string szReason =
      "the hand-over script " + szScript + " exited with " + std::to_string(batch.m_ExitCode);
  for (const auto& [szName, script] : judging.m_Machine.m_Scripts) {
    if (sim::UpperAscii(szName) != sim::UpperAscii(verdict.m_HandOverScript)) continue;
    const std::string szLine = FirstLine(script.m_Output.value_or(""));
    if (!szLine.empty()) szReason += " (its output: \"" + szLine + "\")";
  }
  reasons.push_back(szReason);
}

void JudgePresence(const Verdict& verdict, std::vector<std::string>& reasons) {
  const std::string szExpected = std::to_string(PresenceLinesExpected());
  if (verdict.m_PresenceLines < PresenceLinesExpected()) {
    reasons.push_back(verdict.m_PresenceLines == 0
                          ? "the log has no presence lines"
                          : "the log has " + std::to_string(verdict.m_PresenceLines) + " of the " +
                                szExpected + " presence lines");
  } else if (!verdict.m_PresenceFalse.empty()) {
    const size_t nFalse = verdict.m_PresenceFalse.size();
    const std::string szHowMany =
        nFalse == 1 ? "1 of the " + szExpected + " presence lines is"
        : static_cast<int>(nFalse) == PresenceLinesExpected()
            ? "all " + szExpected + " presence lines are"
            : std::to_string(nFalse) + " of the " + szExpected + " presence lines are";
    reasons.push_back(szHowMany + " false: " + ToUtf8(verdict.m_PresenceFalse.front()) +
                      (nFalse == 1 ? " is" : " and " + std::to_string(nFalse - 1) + " more are") +
                      " not there after the batch file");
  }
}

}  // namespace

bool Verdict::PresenceAllTrue() const {
  return m_PresenceLines == PresenceLinesExpected() && m_PresenceFalse.empty();
}

int PresenceLinesExpected() { return 1 + static_cast<int>(std::size(kPresenceEntries)); }

Verdict JudgeRun(sim::SimMachine& machine, const Outcome& outcome) {
  Verdict verdict;
  RunLetters(outcome.m_Arguments, verdict);
  JudgeLetters(machine, verdict);
  const sim::SimProcessRun* pBatch = ThisRunsBatch(machine);
  JudgeHandOver(machine, pBatch, verdict);
  const std::wstring& szPbr = UseOf(verdict, PbrRole()).m_Letter;
  for (const wchar_t* szFolder : kRecoveryFolders) {
    if (szPbr.empty() || sim::FindFile(machine, szPbr + szFolder) == nullptr) continue;
    verdict.m_ResetFolder = szFolder;
    break;
  }
  const LogFacts facts = ReadLog(outcome, verdict);
  Judging judging{machine, verdict, FindLookAlikes(machine),
                  NoFreeLetterAtStart(outcome), TellsLegacy(machine.m_Firmware)};

  // In the order a reader should look: what stopped the run, what made its
  // letters wrong, then what the batch file did.
  std::vector<std::string>& reasons = verdict.m_Reasons;
  const bool bStarted = outcome.m_ExitCode == 0 && !outcome.m_Log.empty();
  if (outcome.m_ExitCode != 0) {
    reasons.push_back("the program did not start (exit code " +
                      std::to_string(outcome.m_ExitCode) + ")");
  } else if (outcome.m_Log.empty()) {
    reasons.push_back("no log lines were written");
  }
  if (!facts.m_InventoryError.empty()) {
    reasons.push_back("the disk inventory failed (" + ToUtf8(facts.m_InventoryError) + ")");
  }
  const bool bExitKnown = verdict.m_BatchRan && pBatch->m_ExitCodeRead;
  if (bStarted && !bExitKnown) {
    std::vector<std::string> notRun = facts.m_NotRun;
    if (notRun.empty()) {
      notRun.push_back(verdict.m_BatchRan ? "the batch file's exit code could not be read"
                                          : "this run did not write and start the batch file " +
                                                ToUtf8(kBatchName));
    }
    if (!verdict.m_BatchRan && verdict.PresenceAllTrue()) {
      notRun.front() += "; the " + ToUtf8(kOemFolder) + " the presence lines find is an earlier "
                        "run's";
    }
    reasons.insert(reasons.end(), notRun.begin(), notRun.end());
  }
  const std::vector<std::wstring>& handOver = verdict.m_HandOverLetters;
  const bool bKnownHandOver = verdict.m_HandOver != "none";
  const std::wstring szEsp =
      bKnownHandOver ? (handOver.empty() ? L"" : handOver[0]) : UseOf(verdict, EspRole()).m_Letter;
  bool bEspFault = false;
  if (bStarted && (bKnownHandOver || IsDriveLetter(szEsp))) {
    if (const std::string sz = LetterFault(judging, EspRole(), szEsp); !sz.empty()) {
      reasons.push_back(sz);
      bEspFault = true;
    }
  }
  if (bStarted) JudgeResetFolders(judging, reasons);
  if (bKnownHandOver) {
    const LetterRole& role = verdict.m_HandOver == "5a" ? PbrRole() : RecoveryRole();
    if (handOver.size() < 2) {
      reasons.push_back("the hand-over gives " + ToUtf8(verdict.m_HandOverScript) + " no " +
                        role.m_Name + " letter");
    } else if (const std::string sz = LetterFault(judging, role, handOver[1]); !sz.empty()) {
      reasons.push_back(sz);
    }
  }
  if (bExitKnown) JudgeScript(judging, *pBatch, reasons);
  // The presence lines of a batch file that did not run tell of an earlier run.
  if (bExitKnown) JudgePresence(verdict, reasons);
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    reasons.push_back("a dialog waits for a click: [" + ToUtf8(dialog.m_Title) + "] " +
                      ToUtf8(dialog.m_Text));
  }
  // An ESP letter for the wrong volume already says why nothing was copied.
  if (!bEspFault) {
    verdict.m_Warnings.insert(verdict.m_Warnings.end(), facts.m_Kept.begin(), facts.m_Kept.end());
  }
  for (const LookAlike& alike : judging.m_LookAlikes) {
    if (!alike.m_InReason) verdict.m_Warnings.push_back(LookAlikeText(alike, ""));
  }
  // What the description was accepted with, so that check shows it too.
  for (const sim::SimLoadWarning& warning : machine.m_LoadWarnings) {
    verdict.m_Warnings.push_back("the description, at " + warning.m_Path + ": " + warning.m_What);
  }
  return verdict;
}
