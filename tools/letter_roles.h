// What the verdict expects of the run's three letters: the partition each
// must name, told by what the partition is (its type and what it holds, as
// Windows and the scripts see it), and, to explain a wrong letter, how the
// letter rules tell those partitions by label.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "letters/special_partitions.h"
#include "simulator/sim_view.h"

// One of the three letters and the partition it must name.
struct LetterRole {
  const char* m_Name;               // "recovery", "ESP", "PBR": as the log's letter summary has it
  const wchar_t* m_DefaultLetter;  // the letter without arguments
  const char* m_Partition;         // "EFI system", "recovery-environment", "reset or service"
};

const LetterRole& RecoveryRole();
const LetterRole& EspRole();
const LetterRole& PbrRole();

// The role whose partition a kind of special partition names (the
// verdict's SpecialPartition::m_Kind, "EFI system"); nullptr: none.
const LetterRole* RoleOfPartitionKind(const std::string& szKind);

// The letter rules' kind (by label) is meant for the role: its fixed letter
// is the role's default letter.
bool RoleTakes(const LetterRole& role, const SpecialPartitionKind& kind);
// "the EFI system partition".
std::string RolePartitionWords(const LetterRole& role);
// How the rules tell the role's partitions: "a label beginning with ESP",
// "the label PQSERVICE or a label beginning with PUSH BUTTON".
std::string RoleLabelWords(const LetterRole& role);

// Whether a partition is the role's, by what it is:
// - the EFI system partition: on a UEFI machine's GPT disk, the type
//   GPT: System; on an MBR disk or a legacy machine, \EFI\Microsoft\Boot;
// - the recovery-environment partition: Recovery\WindowsRE\Winre.wim;
// - the reset or service partition: a recovery folder.
struct RoleFit {
  bool m_Fits = false;
  std::string m_Words;  // why it fits, or why not: "has the type GPT: System", "holds \Zeph2"
  // The path that would decide was not readable to the capture: whether
  // the partition fits is unknown. Empty: known.
  std::wstring m_Unknown;
};
RoleFit FitRole(const LetterRole& role, const sim::SimDisk& disk,
                const sim::SimPartition& partition, bool bLegacy);

// The entry a root path ("\A\B") names is on the volume.
bool Holds(const sim::SimVolumeFiles& files, const std::wstring& szPath);
// The path ("\A\B") is among those a capture could not read.
bool UnknownOn(const std::vector<std::wstring>& unknown, const std::wstring& szPath);

// "is labelled "PBR_RESET"", or "has no label" for a null or empty one.
std::string LabelClause(const std::optional<std::wstring>& label);
