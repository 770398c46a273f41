#include "tools/difference_causes.h"

#include "core/copy_efi.h"
#include "core/setup_sequence.h"
#include "letters/letter_search.h"
#include "letters/special_partitions.h"
#include "support/log.h"

namespace {

bool KeyStartsWith(const LogLine* pLine, const wchar_t* szPrefix) {
  return pLine != nullptr && pLine->m_Key.rfind(szPrefix, 0) == 0;
}

// The first line whose key starts with szPrefix, or nullptr.
const LogLine* FirstLine(const std::vector<LogLine>& lines, const wchar_t* szPrefix) {
  for (const LogLine& line : lines) {
    if (KeyStartsWith(&line, szPrefix)) return &line;
  }
  return nullptr;
}

bool IsFoundLine(const FoundLines& lines, const std::wstring& szKey) {
  return (lines.m_Assign != nullptr && szKey == lines.m_Assign) ||
         (lines.m_Mount != nullptr && szKey == lines.m_Mount);
}

// A line the legacy letter rules write on finding a special partition:
// whether they write the lettered or the probed one depends on the letters
// the partitions hold when malvik starts. (The UEFI rule writes the same
// lines whatever they hold.)
bool IsLetterRuleLine(const LogLine* pLine) {
  if (pLine == nullptr) return false;
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (IsFoundLine(kind.m_Lettered, pLine->m_Key) || IsFoundLine(kind.m_Probed, pLine->m_Key)) {
      return true;
    }
  }
  return false;
}

// A presence line of the OEM folder ("R:\EFI\OEM", "R:\EFI\OEM\boot\BCD")
// that the replay finds and the field run did not: left there by a run.
bool FoundOnlyByReplay(const LogLine* pField, const LogLine* pSimulated) {
  if (pField == nullptr || pSimulated == nullptr || pField->m_Key != pSimulated->m_Key) {
    return false;
  }
  return pField->m_Key.find(kOemFolder) == 2 && pField->m_Value == BoolToText(false) &&
         pSimulated->m_Value == BoolToText(true);
}

// The boot store's presence line ("R:\EFI\OEM\boot\BCD") on both sides,
// with different values.
bool BootStoreDiffers(const LogLine* pField, const LogLine* pSimulated) {
  return pField != nullptr && pSimulated != nullptr && pField->m_Key == pSimulated->m_Key &&
         pField->m_Key.find(RebuiltBootStore()) == 2 &&
         pField->m_Key.size() == 2 + RebuiltBootStore().size() &&
         pField->m_Value != pSimulated->m_Value;
}

bool IsDiskLine(const LogLine* pLine) {
  return KeyStartsWith(pLine, kDiskLineStart) &&
         pLine->m_Key.find(kDiskLinePartitions) != std::wstring::npos;
}

}  // namespace

std::vector<DifferenceCause> DifferenceCauses(const std::vector<LogLine>& field,
                                              const std::vector<LogLine>& simulated, size_t nAt,
                                              bool bAssumedRebuiltBcd) {
  std::vector<DifferenceCause> causes;
  const LogLine* pField = nAt < field.size() ? &field[nAt] : nullptr;
  const LogLine* pSimulated = nAt < simulated.size() ? &simulated[nAt] : nullptr;
  const bool bKeysDiffer =
      pField == nullptr || pSimulated == nullptr || pField->m_Key != pSimulated->m_Key;
  if (BootStoreDiffers(pField, pSimulated)) {
    if (bAssumedRebuiltBcd && pSimulated->m_Value == BoolToText(true)) {
      causes.push_back({"rebuilt_bcd",
                        "the replay's own assumption, not the machine: it takes each "
                        "boot-configuration script to rebuild \\EFI\\OEM\\boot\\BCD "
                        "(--assume-rebuilt-bcd, as plan does), and on the machine the script "
                        "did not: look at its output in modifybcdLog.log in malvik's Log "
                        "folder; replay without the option to see the rest"});
    } else if (!bAssumedRebuiltBcd && pField->m_Value == BoolToText(true)) {
      causes.push_back({"rebuilt_bcd",
                        "the boot store the scripts rebuild, which no capture can see: replay "
                        "with --assume-rebuilt-bcd, or give scripts.NAME.creates in the "
                        "description"});
    }
  }
  // The letter summary may stand after the difference: letters given on
  // the command line skip the rule that logs the disks.
  const LogLine* pFieldLetters = FirstLine(field, sequence_log::kLetterSummary);
  const LogLine* pSimulatedLetters = FirstLine(simulated, sequence_log::kLetterSummary);
  const bool bLetters = pFieldLetters != nullptr && pSimulatedLetters != nullptr &&
                        pFieldLetters->m_Key != pSimulatedLetters->m_Key;
  // Three letters given skip the UEFI letter rule, whose disk lines follow
  // kAssignLetterToEfi: the letters may be the rules' own (W: R: M:), so the
  // summaries agree.
  const bool bUefiRuleSkipped = !bLetters && pField != nullptr && pSimulated != nullptr &&
                                nAt > 0 && field[nAt - 1].m_Key == sequence_log::kAssignLetterToEfi &&
                                IsDiskLine(pField) != IsDiskLine(pSimulated);
  if (bLetters) {
    causes.push_back({"arguments",
                      "malvik's own arguments: the letters it used differ; give the field run's "
                      "in the description, \"arguments\": [\"X:\", \"Y:\", \"Z:\"], or after -- "
                      "(malvik-sim ... -- X: Y: Z:)"});
  } else if (bUefiRuleSkipped && IsDiskLine(pSimulated)) {
    causes.push_back({"arguments",
                      "malvik's own arguments: the field run has no disk lines here, as when "
                      "three letters given on its command line skip the letter rule that "
                      "writes them, even letters the rules would choose; give the field run's "
                      "after -- (malvik-sim ... -- W: R: M:) or as the description's "
                      "\"arguments\" list"});
  } else if (bUefiRuleSkipped) {
    causes.push_back({"arguments",
                      "malvik's own arguments: the replay has no disk lines here, as three "
                      "letters given skip the letter rule that writes them, and the field run "
                      "has them: replay without the letters (nothing after --, no "
                      "\"arguments\" in the description)"});
  }
  if (bKeysDiffer &&
      (KeyStartsWith(pField, kExitCodeLine) || KeyStartsWith(pSimulated, kExitCodeLine))) {
    causes.push_back({"script_exit_code",
                      "the scripts' exit codes, which a capture cannot know: give the field "
                      "run's in the description as scripts.NAME.exit_code (the ExitCode line "
                      "shows it in hexadecimal)"});
  }
  if (!bLetters && ((bKeysDiffer && (IsLetterRuleLine(pField) || IsLetterRuleLine(pSimulated))) ||
                    FoundOnlyByReplay(pField, pSimulated))) {
    causes.push_back({"captured_after_run",
                      "a capture taken after the run: a run gives the special partitions their "
                      "letters and leaves \\EFI\\OEM on the ESP; capture before running malvik"});
  }
  return causes;
}
