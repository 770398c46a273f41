#include "tools/verdict.h"

#include "core/copy_efi.h"
#include "core/entry.h"
#include "core/setup_context.h"
#include "core/setup_sequence.h"
#include "letters/special_partitions.h"
#include "support/log.h"
#include "tools/compare_log.h"

using sim::ToUtf8;

namespace {

// The letters the run works with, settled from its arguments as the setup
// context settles them.
std::vector<LetterUse> RunLetters(const std::vector<std::wstring>& args) {
  std::vector<const wchar_t*> argv = {L"malvik.exe"};
  for (const std::wstring& sz : args) argv.push_back(sz.c_str());
  const SettledLetters letters =
      SettleLetters(PickLetterArguments(static_cast<int>(argv.size()), argv.data()));
  return {{"recovery", letters.m_Recovery, L"", L""},
          {"ESP", letters.m_ESP, L"", L""},
          {"PBR", letters.m_PBR, L"", L""}};
}

std::wstring PartitionName(int nDisk, int nNumber) {
  return L"disk " + std::to_wstring(nDisk) + L" partition " + std::to_wstring(nNumber);
}

void JudgeLetters(sim::SimMachine& machine, Verdict& verdict) {
  for (LetterUse& use : verdict.m_Letters) {
    auto it = machine.m_DosDevices.find(sim::UpperAscii(use.m_Letter));
    if (use.m_Letter.empty() || it == machine.m_DosDevices.end() || it->second.empty()) continue;
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, use.m_Letter);
    use.m_Names = volume.m_Partition
                      ? PartitionName(volume.m_Disk->m_Index, volume.m_Partition->m_Number)
                      : it->second.front();
    if (volume.Readable()) use.m_Label = volume.Label();
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

// The hand-over of the batch file this run wrote, to a script of the
// program folder ("modifybcdtoPBR.cmd ESP PBR" or the WinRE script with ESP
// and the recovery letter), as the run record holds it: the interpreter
// model read it from the batch file the program started, or tried to.
void JudgeHandOver(const sim::SimMachine& machine, Verdict& verdict) {
  verdict.m_HandOver = "none";
  const sim::SimProcessRun* pHandOver = nullptr;
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (run.m_StartError == 0) verdict.m_BatchExitCode = run.m_ExitCode;
    if (!run.m_HandOverScript.empty() && WrittenThisRun(machine, run.m_BatchFile)) {
      pHandOver = &run;
    }
  }
  if (pHandOver == nullptr) return;
  const std::wstring& szPath = pHandOver->m_HandOverScript;
  const size_t nSlash = szPath.find_last_of(L"\\/");
  const std::wstring szName = nSlash == std::wstring::npos ? szPath : szPath.substr(nSlash + 1);
  if (sim::UpperAscii(szName) == sim::UpperAscii(kPbrScript)) {
    verdict.m_HandOver = "5a";
  } else if (sim::UpperAscii(szName) == sim::UpperAscii(kWinReScript)) {
    verdict.m_HandOver = "5b";
  } else {
    return;
  }
  verdict.m_HandOverScript = szName;
  verdict.m_HandOverLetters = pHandOver->m_HandOverArgs;
  verdict.m_HandOverRan = pHandOver->m_HandOverRan;
}

// The copy step's lines that say its batch file did not run, or ran with an
// outcome nobody knows, in words; empty for any other line.
std::string WhyNotRun(const std::wstring& szMessage, const std::wstring& szValue) {
  namespace why = copy_efi_log;
  const std::string szDetail = ToUtf8(szValue);
  if (szMessage == why::kCannotWrite) return "the batch file could not be written: " + szDetail;
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
  return {};
}

// Presence lines follow the exit-code line; what needs a person shows in
// the dialogs and in a few log lines.
void JudgeLog(const sim::SimMachine& machine, const Outcome& outcome, Verdict& verdict) {
  bool bInventoryFailed = false;
  std::wstring szInventoryError;
  size_t nAfterExitCode = outcome.m_Log.size();
  for (size_t i = 0; i < outcome.m_Log.size(); ++i) {
    const std::wstring szMessage = WithoutTimeStamp(outcome.m_Log[i].m_Key);
    if (szMessage == sequence_log::kGetDiskInfo) {
      bInventoryFailed = false;
    } else if (IsFailedInventoryLine(szMessage)) {
      bInventoryFailed = true;
      szInventoryError = szMessage;
    } else if (szMessage.rfind(kExitCodeLine, 0) == 0) {
      nAfterExitCode = i + 1;
    } else if (const std::string szWhy = WhyNotRun(szMessage, outcome.m_Log[i].m_Value);
               !szWhy.empty()) {
      verdict.m_Attention.push_back(szWhy);
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
  if (bInventoryFailed) {
    verdict.m_Attention.push_back("the disk inventory failed (" + ToUtf8(szInventoryError) + ")");
  }
  if (outcome.m_ExitCode != 0) {
    verdict.m_Attention.push_back("the program did not start (exit code " +
                                  std::to_string(outcome.m_ExitCode) + ")");
  } else if (outcome.m_Log.empty()) {
    verdict.m_Attention.push_back("no log lines were written");
  }
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    verdict.m_Attention.push_back("a dialog waits for a click: [" + ToUtf8(dialog.m_Title) + "] " +
                                  ToUtf8(dialog.m_Text));
  }
}

}  // namespace

Verdict JudgeRun(sim::SimMachine& machine, const Outcome& outcome) {
  Verdict verdict;
  verdict.m_Letters = RunLetters(outcome.m_Arguments);
  JudgeLetters(machine, verdict);
  JudgeHandOver(machine, verdict);
  JudgeLog(machine, outcome, verdict);
  return verdict;
}
