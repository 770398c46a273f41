// The special partitions the letter rules look for, one row per kind: how
// its label is told, where the UEFI rule moves it, what each rule logs on
// finding it, and what the report calls it. The rules and the report read
// only this table, so a new kind is a new row.
#pragma once

#include <span>
#include <string>

#include "letters/letter_search.h"
#include "support/log.h"

enum class LabelTest {
  kBeginsWith,  // the label, upper-cased, begins with the text
  kWholeLabel,  // the whole label is the text, ignoring the case of a to z; nothing trimmed
};

// Which of the two legacy-BIOS rules looks for a kind.
enum class LegacyRule { kNone, kSystemReserved, kResetAndService };

// How a found line carries the label.
enum class LoggedLabel { kAsRead, kUpperCased };

// The two lines a rule logs when it finds the kind: the first with an empty
// detail, the second with the label.
struct FoundLines {
  const wchar_t* m_Assign = nullptr;  // nullptr: the rule does not look for the kind
  const wchar_t* m_Mount = nullptr;
  LoggedLabel m_Label = LoggedLabel::kAsRead;
};

// Every field without a default must be given in every row.
struct SpecialPartitionKind {
  const char* m_Role;     // the report's word for it: "reset", "EFI system", ...
  const wchar_t* m_Text;  // upper case
  LabelTest m_Test;
  // The UEFI rule moves the partition to this letter; nullptr: it does not
  // look for the kind.
  const wchar_t* m_FixedLetter = nullptr;
  FoundLines m_Uefi = {};  // "[EFI]..."
  LegacyRule m_Legacy = LegacyRule::kNone;
  FoundLines m_Lettered = {};  // "[1]...": the legacy rule read it under a letter it has
  FoundLines m_Probed = {};    // "[2]...": its sweep found it under the probe letter
  // What the per-disk line of its legacy sweep starts with.
  DiskLineNumber m_SweepLine = DiskLineNumber::kDiskIndex;
};

// Every kind, in the order the rules test a label: a label that fits two
// kinds is the earlier one's ("ESP RECOVERY" is the EFI system partition's).
// A legacy rule sweeps for its kinds in this order too, the first one found
// ending it: the service sweep comes before the reset sweep.
std::span<const SpecialPartitionKind> SpecialPartitionKinds();

// The label passes the kind's label test.
bool LabelFits(const SpecialPartitionKind& kind, const std::wstring& szLabel);

// The first kind whose label test the label passes, or nullptr.
const SpecialPartitionKind* FindSpecialKind(const std::wstring& szLabel);

// Writes the two found lines, the second with the label as they carry it.
void LogFound(Logger& logger, const FoundLines& lines, const std::wstring& szLabel);
