// The reset and service rule on legacy-BIOS machines: one of the reset
// ("PUSH BUTTON...") and service ("PQSERVICE") partitions must be reachable
// under a drive letter. The first one found, lettered or probed, ends it.
#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/volume_labels.h"

void SetupContext::AssignResetAndServiceLetters() {
  // Within one root the reset test comes first.
  const bool bLettered = ScanDriveRoots([this](const std::wstring& szLabel) {
    const std::wstring szUpper = UpperCaseLabel(szLabel);
    if (IsResetLabel(szUpper)) {
      WriteLog(m_Logger, L"[1]AssignLetterToPBR", L"");
      WriteLog(m_Logger, L"[1]No need to mount PBR", szUpper);
      return true;
    }
    if (IsServiceLabel(szUpper)) {
      WriteLog(m_Logger, L"[1]AssignLetterToKSV", L"");
      WriteLog(m_Logger, L"[1]No need to mount KSV", szUpper);
      return true;
    }
    return false;
  });
  if (bLettered) return;

  // The service sweep first, its per-disk line with each disk's number...
  const bool bService =
      SweepPartitions(*this, DiskLineNumber::kDiskIndex, [this](const PartitionProbe& probe) {
        if (IsServiceLabel(probe.m_Label)) {
          WriteLog(m_Logger, L"[2]AssignLetterToKSV", L"");
          WriteLog(m_Logger, L"[2]Need to mount KSV", probe.m_Label);
          return true;  // it keeps the probe letter
        }
        UnmountDriveLetter(probe.m_ProbeLetter);
        return false;
      });
  if (bService) return;

  // ...then the reset sweep, whose per-disk line starts with the disk count.
  SweepPartitions(*this, DiskLineNumber::kDiskCount, [this](const PartitionProbe& probe) {
    const std::wstring szUpper = UpperCaseLabel(probe.m_Label);
    if (IsResetLabel(szUpper)) {
      WriteLog(m_Logger, L"[2]AssignLetterToPBR", L"");
      WriteLog(m_Logger, L"[2]Need to mount PBR", szUpper);
      return true;
    }
    UnmountDriveLetter(probe.m_ProbeLetter);
    return false;
  });
}
