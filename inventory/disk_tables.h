// The disk and partition tables of a run: fixed capacity, held inline in the
// setup context, written only by the WMI inventory. A record is empty while
// its disk number holds kEmptyIndex.
#pragma once

#include <cstdint>
#include <string>

constexpr int kMaxDisks = 20;
constexpr int kMaxPartitions = 2560;
constexpr std::int32_t kEmptyIndex = 999;

// One fixed hard disk, as WMI's Win32_DiskDrive reports it.
struct DiskInfo {
  std::wstring m_Caption;              // "Caption", the model text
  std::wstring m_DeviceID;             // "DeviceID", \\.\PHYSICALDRIVEn
  std::int32_t m_Index = kEmptyIndex;  // the N of \Device\HarddiskN
  std::int32_t m_Partitions = 0;       // "Partitions"
  std::int32_t m_SizeMB = 0;           // "Size" / kBytesPerMiB (platform.h), truncated
  bool m_NoSignature = false;          // "Signature" is null (no MBR signature)
};

// One partition that carries a logical disk (a volume with a drive letter).
struct PartitionInfo {
  std::int32_t m_DiskIndex = kEmptyIndex;  // equals the m_Index of its disk
  std::int32_t m_PartitionIndex = 0;       // WMI numbering, from 0
  std::wstring m_DriveLetter;              // "E:"
  std::wstring m_VolumeName;               // the label; empty when it has none
  std::int32_t m_SizeMB = 0;
  float m_SizeGB = 0.0f;
  std::wstring m_Type;  // "Type" of its Win32_DiskPartition
};

using DiskTable = DiskInfo[kMaxDisks];
using PartitionTable = PartitionInfo[kMaxPartitions];
