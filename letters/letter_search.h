// The two ways the letter rules look for a volume: through the drive letters
// that exist (the letter scan), and by mounting every partition of every
// counted disk in turn under a free probe letter (the partition sweep).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct SetupContext;

constexpr std::uint32_t kDriveRootChars = 1024;  // 26 roots of four characters, and ample room
// The partition numbers a sweep probes on one disk at most: GPT disks that
// Windows creates hold at most 128 entries, and MBR logical drives far fewer.
constexpr std::int64_t kMaxPartitionProbes = 1024;

// Reads the label of every drive root the platform lists, in its order, and
// hands it to onLabel until that returns true. True when it did; false when
// no root was taken or the list could not be read.
bool ScanDriveRoots(const std::function<bool(const std::wstring& szLabel)>& onLabel);

// One probed partition number: mounted under m_ProbeLetter, its label read
// there as the volume has it.
struct PartitionProbe {
  std::wstring m_DevicePath;
  std::wstring m_ProbeLetter;
  std::wstring m_Label;
};

// The per-disk line "Disks %d : Partitions %d", in its two pieces of text.
inline constexpr wchar_t kDiskLineStart[] = L"Disks ";
inline constexpr wchar_t kDiskLinePartitions[] = L" : Partitions ";

// What the per-disk line starts with.
enum class DiskLineNumber { kDiskIndex, kDiskCount };

// For each counted disk record in table order: logs "Disks %d : Partitions %d"
// with the record's disk number (or the disk count) and its partition count
// plus one, then probes the partition numbers 1 to that count plus one, but
// no more than the probe limit: a disk cut there gets, after its probes, the
// line "Partitions Past Probe Limit Not Probed" with "<limit> of <count plus
// one>". A number for which no letter from "D:" is free, or whose mount
// fails, is skipped; every other one is mounted under the probe letter and
// handed to onProbe, which decides what stays mounted. Returns true as soon
// as onProbe does.
bool SweepPartitions(SetupContext& context, DiskLineNumber eLineNumber,
                     const std::function<bool(const PartitionProbe& probe)>& onProbe);
