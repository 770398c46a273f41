// The system-reserved rule on legacy-BIOS machines: the "SYSTEM RESERVED"
// volume must be reachable under a drive letter. An existing letter is
// enough; otherwise the partition stays mounted under its probe letter.
#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/volume_labels.h"

void SetupContext::AssignSystemReservedLetter() {
  const bool bLettered = ScanDriveRoots([this](const std::wstring& szLabel) {
    if (!IsSystemReservedLabel(szLabel)) return false;
    WriteLog(m_Logger, L"[1]AssignLetterToSYS", L"");
    WriteLog(m_Logger, L"[1]No need to mount SYS", szLabel);
    return true;
  });
  if (bLettered) return;

  SweepPartitions(*this, DiskLineNumber::kDiskIndex, [this](const PartitionProbe& probe) {
    if (IsSystemReservedLabel(probe.m_Label)) {
      WriteLog(m_Logger, L"[2]AssignLetterToSYS", L"");
      WriteLog(m_Logger, L"[2]Need to mount SYS", probe.m_Label);
      return true;  // it keeps the probe letter
    }
    UnmountDriveLetter(probe.m_ProbeLetter);
    return false;
  });
}
