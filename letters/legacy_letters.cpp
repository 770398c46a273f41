// The two letter rules of legacy-BIOS machines: the system-reserved rule and
// the reset and service rule. Each makes one partition of its kinds
// reachable under a drive letter: first it reads the labels under the
// letters that exist, and when none of its kinds is there, it sweeps the
// disks for each of its kinds in turn. The first partition found ends the
// rule; a swept one keeps its probe letter.
#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/special_partitions.h"
#include "platform/platform.h"

namespace {

// The letter scan: the first root whose label fits a kind of the rule.
bool FindLettered(SetupContext& context, LegacyRule eRule) {
  return ScanDriveRoots([&context, eRule](const std::wstring& szLabel) {
    for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
      if (kind.m_Legacy != eRule || !LabelFits(kind, szLabel)) continue;
      LogFound(context.m_Logger, kind.m_Lettered, szLabel);
      return true;
    }
    return false;
  });
}

// One sweep for one kind: the first partition whose label fits keeps its
// probe letter; every other one gives it back.
bool SweepFor(SetupContext& context, const SpecialPartitionKind& kind) {
  return SweepPartitions(context, kind.m_SweepLine, [&context, &kind](const PartitionProbe& probe) {
    const bool bFits = LabelFits(kind, probe.m_Label);
    platform::NoteLabelJudged(probe.m_DevicePath, probe.m_Label, bFits ? kind.m_Role : nullptr);
    if (bFits) {
      LogFound(context.m_Logger, kind.m_Probed, probe.m_Label);
      return true;
    }
    UnmountDriveLetter(probe.m_ProbeLetter);
    return false;
  });
}

void AssignLegacyLetters(SetupContext& context, LegacyRule eRule) {
  if (FindLettered(context, eRule)) return;
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (kind.m_Legacy == eRule && SweepFor(context, kind)) return;
  }
}

}  // namespace

void SetupContext::AssignSystemReservedLetter() {
  AssignLegacyLetters(*this, LegacyRule::kSystemReserved);
}

void SetupContext::AssignResetAndServiceLetters() {
  AssignLegacyLetters(*this, LegacyRule::kResetAndService);
}
