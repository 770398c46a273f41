// What the verdict expects of the run's three letters: which special
// partitions each is meant to name (the kinds of the letter rules' table
// that the UEFI rule moves to its default letter), how the rules tell those
// partitions, in words, and the signs besides a label that a partition is
// one of them, which no rule reads.
#pragma once

#include <string>
#include <vector>

#include "letters/special_partitions.h"
#include "platform/sim/sim_view.h"

// One of the three letters. The kinds it is meant to name are the table's
// kinds whose fixed letter is its default letter.
struct LetterRole {
  const char* m_Name;               // "recovery", "ESP", "PBR": as the log's letter summary has it
  const wchar_t* m_DefaultLetter;  // the letter without arguments
};

const LetterRole& RecoveryRole();
const LetterRole& EspRole();
const LetterRole& PbrRole();

// The role is meant to name a partition of this kind.
bool RoleTakes(const LetterRole& role, const SpecialPartitionKind& kind);
// "the EFI system partition", "the service or reset partition".
std::string RolePartitionWords(const LetterRole& role);
// How the rules tell the role's partitions: "a label beginning with ESP",
// "the label PQSERVICE or a label beginning with PUSH BUTTON".
std::string RoleLabelWords(const LetterRole& role);

// A sign besides its label that a partition is meant for a role.
struct PartitionSign {
  const LetterRole* m_pRole;
  std::string m_Words;  // "has the type GPT: System", "holds \Zeph2"
};

// The signs a partition shows: the EFI system partition's GPT type, a
// recovery folder of the reset partition, the recovery environment's image.
std::vector<PartitionSign> SignsOf(const sim::SimPartition& partition);

// "partition 2 of disk 0".
std::string PartitionWords(int nDisk, int nNumber);
// "is labelled "PBR_RESET"", or "has no label" for a null or empty one.
std::string LabelClause(const std::optional<std::wstring>& label);
