// The DOS-device side of the simulated machine: the device path of each
// volume, and which volume a device path or a drive letter names.
#include "platform/sim/sim_machine.h"

namespace sim {

std::wstring PartitionDevicePath(int nDisk, int nPartition) {
  return L"\\Device\\Harddisk" + std::to_wstring(nDisk) + L"\\Partition" +
         std::to_wstring(nPartition);
}

std::wstring DriveDevicePath(const std::wstring& szLetter) {
  return L"\\Device\\SimulatedVolume" + UpperAscii(szLetter.substr(0, 1));
}

SimVolumeFiles* SimVolumeRef::Files() const {
  if (m_Partition) return &m_Partition->m_Files;
  if (m_Drive) return &m_Drive->m_Files;
  return nullptr;
}

bool SimVolumeRef::Readable() const {
  if (m_Partition) return !m_Partition->m_Unreadable;
  if (m_Drive) return !m_Drive->m_NoMedia;
  return false;
}

std::wstring SimVolumeRef::Label() const {
  if (m_Partition) return m_Partition->m_Label.value_or(L"");
  if (m_Drive) return m_Drive->m_Label;
  return L"";
}

SimVolumeRef FindVolumeByDevice(SimMachine& machine, const std::wstring& szDevice) {
  SimVolumeRef ref;
  for (SimDisk& disk : machine.m_Disks) {
    for (SimPartition& part : disk.m_Partitions) {
      if (szDevice == PartitionDevicePath(disk.m_Index, part.m_Number)) {
        ref.m_Partition = &part;
        ref.m_Disk = &disk;
        return ref;
      }
    }
  }
  for (auto& [szLetter, drive] : machine.m_Drives) {
    if (szDevice == DriveDevicePath(szLetter)) {
      ref.m_Drive = &drive;
      return ref;
    }
  }
  return ref;
}

SimVolumeRef FindVolumeByLetter(SimMachine& machine, const std::wstring& szLetter) {
  auto it = machine.m_DosDevices.find(UpperAscii(szLetter));
  if (it == machine.m_DosDevices.end() || it->second.empty()) return {};
  return FindVolumeByDevice(machine, it->second.front());
}

}  // namespace sim
