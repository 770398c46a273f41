// The UEFI letter rule: every partition of every counted disk is mounted
// under a probe letter to read its label; the reset, EFI system, recovery and
// service partitions are moved to their fixed letters, everything else gives
// the probe letter back.
#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/volume_labels.h"

namespace {

struct UefiKind {
  const wchar_t* m_Text;
  bool m_WholeLabel;  // false: the label begins with m_Text
  const wchar_t* m_Letter;
  const wchar_t* m_Assign;
  const wchar_t* m_Mount;
};

// Tried in this order; the first that matches decides. The reset and the
// service partition share "M:".
const UefiKind kUefiKinds[] = {
    {L"PUSH BUTTON", false, kDefaultPBRLetter, L"[EFI]AssignLetterToPBR",
     L"[EFI]Need to mount PBR"},
    {L"ESP", false, kDefaultESPLetter, L"[EFI]AssignLetterToEFI", L"[EFI]Need to mount EFI"},
    {L"RECOVERY", false, kDefaultRecoveryLetter, L"[EFI]AssignLetterToRECOVERY",
     L"[EFI]Need to mount RECOVERY"},
    {L"PQSERVICE", true, kDefaultPBRLetter, L"[EFI]AssignLetterToKSV",
     L"[EFI]No need to mount KSV"},
};

const UefiKind* MatchUefiKind(const std::wstring& szUpperLabel) {
  for (const UefiKind& kind : kUefiKinds) {
    if (kind.m_WholeLabel ? LabelEquals(szUpperLabel, kind.m_Text)
                          : LabelBeginsWith(szUpperLabel, kind.m_Text)) {
      return &kind;
    }
  }
  return nullptr;
}

}  // namespace

void SetupContext::AssignUefiLetters() {
  if (m_DiskCount <= 0) return;
  SweepPartitions(*this, DiskLineNumber::kDiskIndex, [this](const PartitionProbe& probe) {
    const std::wstring szLabel = UpperCaseLabel(probe.m_Label);
    const UefiKind* pKind = MatchUefiKind(szLabel);
    if (pKind == nullptr) {
      UnmountDriveLetter(probe.m_ProbeLetter);
      return false;
    }
    WriteLog(m_Logger, pKind->m_Assign, L"");
    WriteLog(m_Logger, pKind->m_Mount, szLabel);
    UnmountDriveLetter(probe.m_ProbeLetter);
    // Whatever held the fixed letter loses it, an earlier match included.
    UnmountDriveLetter(pKind->m_Letter);
    MountPartition(pKind->m_Letter, probe.m_DevicePath);
    return false;  // every partition is probed, every match acted on
  });
}
