// The UEFI letter rule: every partition of every counted disk is mounted
// under a probe letter to read its label; a partition of a kind the rule
// looks for is moved to that kind's fixed letter, everything else gives the
// probe letter back.
#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/special_partitions.h"
#include "platform/platform.h"

namespace {

// The first kind the UEFI rule looks for whose label test the label passes.
const SpecialPartitionKind* MatchUefiKind(const std::wstring& szLabel) {
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (kind.m_FixedLetter != nullptr && LabelFits(kind, szLabel)) return &kind;
  }
  return nullptr;
}

}  // namespace

void SetupContext::AssignUefiLetters() {
  if (m_DiskCount <= 0) return;
  SweepPartitions(*this, DiskLineNumber::kDiskIndex, [this](const PartitionProbe& probe) {
    const SpecialPartitionKind* pKind = MatchUefiKind(probe.m_Label);
    platform::NoteLabelJudged(probe.m_DevicePath, probe.m_Label,
                              pKind == nullptr ? nullptr : pKind->m_Role);
    if (pKind == nullptr) {
      UnmountDriveLetter(probe.m_ProbeLetter);
      return false;
    }
    LogFound(m_Logger, pKind->m_Uefi, probe.m_Label);
    UnmountDriveLetter(probe.m_ProbeLetter);
    // Whatever held the fixed letter loses it, an earlier match included.
    UnmountDriveLetter(pKind->m_FixedLetter);
    MountPartition(pKind->m_FixedLetter, probe.m_DevicePath);
    return false;  // every partition is probed, every match acted on
  });
}
