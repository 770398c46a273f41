// Physical disks on real Windows: a disk's partition table, asked of the
// disk device without reading or writing its sectors.
#include "platform/platform.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"

#include <winioctl.h>

namespace platform {
namespace {

// Room for this many entries at first; doubled while the disk says the
// buffer is too small (ERROR_INSUFFICIENT_BUFFER, ERROR_MORE_DATA or
// ERROR_BAD_LENGTH), up to a table far larger than any disk holds.
constexpr std::size_t kFirstEntries = 16;
constexpr std::size_t kMostEntries = 16384;

win32::FileHandle OpenDisk(std::uint32_t nDisk, DWORD nAccess) {
  const std::wstring szDisk = L"\\\\.\\PhysicalDrive" + std::to_wstring(nDisk);
  return win32::FileHandle(CreateFileW(szDisk.c_str(), nAccess,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
}

// The table in buffer, nBytes of it filled.
PartitionLayout ReadTable(const std::vector<std::uint64_t>& buffer, DWORD nBytes) {
  PartitionLayout layout;
  const auto* pTable = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(buffer.data());
  const std::size_t nHeader = offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry);
  if (nBytes < nHeader) {
    layout.m_LastError = ERROR_INVALID_DATA;
    return layout;
  }
  // Never more entries than the bytes filled hold.
  std::size_t nEntries = (nBytes - nHeader) / sizeof(PARTITION_INFORMATION_EX);
  if (pTable->PartitionCount < nEntries) nEntries = pTable->PartitionCount;
  layout.m_Ok = true;
  layout.m_Gpt = pTable->PartitionStyle == PARTITION_STYLE_GPT;
  for (std::size_t i = 0; i < nEntries; ++i) {
    const PARTITION_INFORMATION_EX& entry = pTable->PartitionEntry[i];
    if (entry.PartitionLength.QuadPart <= 0 || entry.PartitionNumber == 0) continue;
    if (entry.PartitionStyle == PARTITION_STYLE_MBR &&
        (entry.Mbr.PartitionType == PARTITION_ENTRY_UNUSED ||
         IsContainerPartition(entry.Mbr.PartitionType))) {
      continue;
    }
    layout.m_Partitions.push_back(
        {entry.PartitionNumber, entry.StartingOffset.QuadPart, entry.PartitionLength.QuadPart});
  }
  return layout;
}

// The table through an open disk, the buffer grown until it fits.
PartitionLayout AskTable(const win32::FileHandle& disk) {
  PartitionLayout layout;
  for (std::size_t nEntries = kFirstEntries; nEntries <= kMostEntries; nEntries *= 2) {
    const std::size_t nBytes = sizeof(DRIVE_LAYOUT_INFORMATION_EX) +
                               (nEntries - 1) * sizeof(PARTITION_INFORMATION_EX);
    std::vector<std::uint64_t> buffer((nBytes + 7) / 8, 0);
    DWORD nReturned = 0;
    if (DeviceIoControl(disk.m_h, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, buffer.data(),
                        static_cast<DWORD>(buffer.size() * 8), &nReturned, nullptr)) {
      return ReadTable(buffer, nReturned);
    }
    layout.m_LastError = GetLastError();
    // A driver that answers STATUS_INFO_LENGTH_MISMATCH comes back as
    // ERROR_BAD_LENGTH: the buffer is too small, as with the other two.
    if (layout.m_LastError != ERROR_INSUFFICIENT_BUFFER && layout.m_LastError != ERROR_MORE_DATA &&
        layout.m_LastError != ERROR_BAD_LENGTH) {
      return layout;
    }
  }
  return layout;
}

}  // namespace

PartitionLayout ReadPartitionLayout(std::uint32_t nDisk) {
  // The layout query asks for no access right, so the disk is opened with
  // none; a driver that wants read access after all gets it, read-only.
  PartitionLayout layout;
  for (const DWORD nAccess : {DWORD{0}, DWORD{GENERIC_READ}}) {
    const win32::FileHandle disk = OpenDisk(nDisk, nAccess);
    if (!disk.Valid()) {
      layout.m_LastError = GetLastError();
      return layout;
    }
    layout = AskTable(disk);
    if (layout.m_Ok || layout.m_LastError != ERROR_ACCESS_DENIED) return layout;
  }
  return layout;
}

}  // namespace platform
