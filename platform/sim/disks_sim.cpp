// Physical disks on the simulated machine: a disk's partition table holds
// every partition the description gives it, those WMI does not list too.
#include "platform/platform.h"

#include "simulator/sim_machine.h"
#include "platform/win32_codes.h"

namespace platform {

PartitionLayout ReadPartitionLayout(std::uint32_t nDisk) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_VolumeQuery);
  PartitionLayout layout;
  // A disk whose driver does not answer the request, as every disk under Wine.
  if (machine.m_Faults.m_PartitionTableFail) {
    layout.m_LastError = kERROR_INVALID_FUNCTION;
    return layout;
  }
  // The request needs read access to the disk, which only an elevated
  // process is given.
  if (!machine.m_Elevated) {
    layout.m_LastError = kERROR_ACCESS_DENIED;
    return layout;
  }
  for (const sim::SimDisk& disk : machine.m_Disks) {
    if (disk.m_Index < 0 || static_cast<std::uint32_t>(disk.m_Index) != nDisk) continue;
    layout.m_Ok = true;
    for (const sim::SimPartition& part : disk.m_Partitions) {
      layout.m_Gpt = layout.m_Gpt || part.m_Type.rfind(L"GPT", 0) == 0;
      if (part.m_Size <= 0 || part.m_Number <= 0) continue;  // an empty slot
      layout.m_Partitions.push_back(
          {static_cast<std::uint32_t>(part.m_Number), part.m_Start, part.m_Size});
    }
    return layout;
  }
  // No \\.\PhysicalDriveN to open.
  layout.m_LastError = kERROR_FILE_NOT_FOUND;
  return layout;
}

}  // namespace platform
