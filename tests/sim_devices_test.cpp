// Which volume a device path names on the simulated machine: the lookup
// PrepareMachine indexes must answer as a walk of every partition would.
#include <gtest/gtest.h>

#include "simulator/sim_devices.h"
#include "simulator/sim_machine.h"
#include "test_support.h"

namespace {

TEST(SimDevices, DevicePathNamesThePartitionAWalkWouldFind) {
  sim::SimMachine machine = test::MakeMachine();
  test::AddPartition(test::AddDisk(machine, 3), 2, L"FIRST");
  test::AddPartition(machine.m_Disks.back(), 2, L"SAME PATH, LATER");
  test::AddPartition(test::AddDisk(machine, -1), 1, L"NEGATIVE DISK");
  sim::PrepareMachine(machine);
  // Changed after preparing: a disk added, another's partitions moved.
  test::AddPartition(test::AddDisk(machine, 7), 1, L"ADDED LATER");
  struct Case {
    const wchar_t* szDevice;
    const wchar_t* szLabel;  // nullptr: names no partition
  };
  const Case kCases[] = {
      {L"\\Device\\Harddisk3\\Partition2", L"FIRST"},
      {L"\\Device\\Harddisk-1\\Partition1", L"NEGATIVE DISK"},
      {L"\\Device\\Harddisk7\\Partition1", L"ADDED LATER"},
      {L"\\Device\\Harddisk03\\Partition2", nullptr},
      {L"\\Device\\Harddisk3\\Partition2 ", nullptr},
      {L"\\Device\\Harddisk3\\Partition3", nullptr},
      {L"\\Device\\Harddisk99999999999\\Partition1", nullptr},
      {L"\\Device\\HarddiskVolume1", nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szDevice)));
    const sim::SimVolumeRef ref = sim::FindVolumeByDevice(machine, c.szDevice);
    if (c.szLabel == nullptr) {
      EXPECT_EQ(ref.m_Partition, nullptr);
    } else {
      ASSERT_NE(ref.m_Partition, nullptr);
      EXPECT_EQ(ref.Label(), c.szLabel);
    }
  }
}

}  // namespace
