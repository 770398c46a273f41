// The names Windows gives drives and partitions: a drive letter ("E:"), a
// partition's device path in the object namespace, and the prefix that
// reaches an object name from a Win32 path. malvik mounts partitions by
// these names, the simulated machine answers to them and the capture reads
// volumes through them. Plain text work, shared by all of them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ascii.h"

namespace platform {

// "\Device\Harddisk%d\Partition%d", in its two parts.
inline constexpr wchar_t kDevicePathDisk[] = L"\\Device\\Harddisk";
inline constexpr wchar_t kDevicePathPartition[] = L"\\Partition";

// "\\?\GLOBALROOT": a Win32 path that goes on with an object name, as a
// program reads a volume no letter names.
inline constexpr wchar_t kGlobalRoot[] = L"\\\\?\\GLOBALROOT";

// "\Device\Harddisk0\Partition2": the name partition nPartition of disk
// nDisk is mounted under.
inline std::wstring PartitionDevicePath(std::int64_t nDisk, std::int64_t nPartition) {
  std::wstring sz = kDevicePathDisk;
  sz.reserve(40);
  AppendDecimal(sz, nDisk);
  sz += kDevicePathPartition;
  AppendDecimal(sz, nPartition);
  return sz;
}

// The drive mask's bits, one a letter: bit 0 is A:, bit 25 is Z:.
inline constexpr int kDriveLetterCount = 26;

// "A:" for bit 0 of the drive mask, up to "Z:" for bit 25.
inline std::wstring DriveLetterOfBit(int nBit) { return {static_cast<wchar_t>(L'A' + nBit), L':'}; }

// The text starts with one letter A to Z, either case, and a colon: "E:",
// "e:\Tools", "C:x". Not "", "E" or "\\?\".
inline bool StartsWithDriveLetter(const std::wstring& szText) {
  return szText.size() >= 2 && IsAsciiLetter(szText[0]) && szText[1] == L':';
}

// One letter A to Z, either case, and a colon: "E:", "e:". Not "", "E",
// "E:\" or "esp".
inline bool IsDriveLetter(const std::wstring& szText) {
  return szText.size() == 2 && StartsWithDriveLetter(szText);
}

}  // namespace platform
