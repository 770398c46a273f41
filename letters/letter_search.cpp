#include "letters/letter_search.h"

#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "platform/device_names.h"
#include "platform/platform.h"

namespace {

const wchar_t kProbeLimitMessage[] = L"Partitions Past Probe Limit Not Probed";

}  // namespace

bool ScanDriveRoots(const std::function<bool(const std::wstring& szLabel)>& onLabel) {
  const platform::DriveRoots roots = platform::ListDriveRoots(kDriveRootChars);
  for (const std::wstring& szRoot : roots.m_Roots) {
    if (onLabel(SetupContext::GetVolumeLabel(szRoot))) return true;
  }
  return false;
}

bool SweepPartitions(SetupContext& context, DiskLineNumber eLineNumber,
                     const std::function<bool(const PartitionProbe& probe)>& onProbe) {
  const std::int32_t nDisks = context.m_DiskCount < kMaxDisks ? context.m_DiskCount : kMaxDisks;
  for (std::int32_t d = 0; d < nDisks; ++d) {
    const DiskInfo& disk = context.m_DiskTable[d];
    // One number more than the disk reports: partition 1 is probed even on a
    // disk that reports none. A count that WMI gives wrong stops at the probe
    // limit instead of mounting for hours.
    const std::int64_t nLast = static_cast<std::int64_t>(disk.m_Partitions) + 1;
    const std::int64_t nProbed = nLast < kMaxPartitionProbes ? nLast : kMaxPartitionProbes;
    const std::int32_t nFirst =
        eLineNumber == DiskLineNumber::kDiskIndex ? disk.m_Index : context.m_DiskCount;
    WriteLog(context.m_Logger,
             kDiskLineStart + std::to_wstring(nFirst) + kDiskLinePartitions +
                 std::to_wstring(nLast),
             L"");
    for (std::int64_t n = 1; n <= nProbed; ++n) {
      PartitionProbe probe;
      probe.m_DevicePath = platform::PartitionDevicePath(disk.m_Index, n);
      probe.m_ProbeLetter = SetupContext::FindFreeDriveLetter();
      if (probe.m_ProbeLetter.empty()) continue;
      // A mount that failed leaves the probe letter naming nothing of this
      // partition, or, when the drive mask could not be read, another
      // volume: neither its label nor its removal is this probe's.
      if (MountPartition(probe.m_ProbeLetter, probe.m_DevicePath) == 0) continue;
      probe.m_Label = SetupContext::GetVolumeLabel(probe.m_ProbeLetter);
      if (onProbe(probe)) return true;
    }
    if (nProbed < nLast) {
      WriteLog(context.m_Logger, kProbeLimitMessage,
               std::to_wstring(nProbed) + L" of " + std::to_wstring(nLast));
    }
  }
  return false;
}
