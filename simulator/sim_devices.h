// The DOS-device side of the simulated machine: the device path of each
// volume, its made-up volume path, and which volume a device path, a drive
// letter or a volume path names. Lookups only: nothing here changes the
// machine.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/device_names.h"
#include "simulator/sim_model.h"

namespace sim {

// Device path a partition is mounted under.
using platform::PartitionDevicePath;
// Device path of a drive entry that is not on any disk.
std::wstring DriveDevicePath(const std::wstring& szLetter);

// The volume a device path names, or none.
struct SimVolumeRef {
  SimPartition* m_Partition = nullptr;
  SimDrive* m_Drive = nullptr;
  const SimDisk* m_Disk = nullptr;
  SimVolumeFiles* Files() const;
  bool Readable() const;
  std::wstring Label() const;
};
SimVolumeRef FindVolumeByDevice(SimMachine& machine, const std::wstring& szDevice);
// The volume a drive letter currently names (its newest definition), or the
// volume a volume root names ("\\?\Volume{GUID}", or a partition through
// "\\?\GLOBALROOT\Device\HarddiskN\PartitionM"; no trailing backslash).
SimVolumeRef FindVolumeByLetter(SimMachine& machine, const std::wstring& szLetter);

// The made-up, stable volume path of a partition and of a drive entry, with
// its trailing backslash: "\\?\Volume{00000000-0000-0000-0000-00000N00000M}\".
std::wstring PartitionVolumePath(int nDisk, int nPartition);
std::wstring DriveVolumePath(const std::wstring& szLetter);
// Every volume of the machine by its volume path: the partitions of every
// disk, then the drive entries.
std::vector<std::wstring> VolumePaths(const SimMachine& machine);
// The length of the volume root a path starts with, or 0: a volume path
// "\\?\Volume{...}", or a partition's device path reached through
// "\\?\GLOBALROOT\Device\HarddiskN\PartitionM" (case aside).
std::size_t VolumeRootLength(const std::wstring& szPath);

}  // namespace sim
