#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "inventory/wmi_inventory.h"
#include "platform/platform.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"
#include "tests/test_support.h"

namespace {

constexpr std::int64_t kMiB = platform::kBytesPerMiB;
static_assert(kMiB == 1 << 20);
constexpr std::int64_t kGiB = 1024 * kMiB;
constexpr std::int64_t kTiB = 1024 * kGiB;

// The two tables as the setup context holds them, each followed by one spare
// record: a write past the end of a table lands there and shows.
struct GuardedTables {
  DiskTable m_Disks;
  DiskInfo m_DiskGuard;
  PartitionTable m_Partitions;
  PartitionInfo m_PartitionGuard;
};

std::unique_ptr<GuardedTables> MakeTables() { return std::make_unique<GuardedTables>(); }

// One inventory attempt on a prepared machine.
int Attempt(sim::SimMachine& machine, GuardedTables& tables) {
  sim::ScopedSimMachine installed(machine);
  return GetSystemDiskInfo(tables.m_Disks, tables.m_Partitions);
}

int PreparedAttempt(sim::SimMachine& machine, GuardedTables& tables) {
  sim::PrepareMachine(machine);
  return Attempt(machine, tables);
}

// Disk 0 with two lettered partitions: one disk object, two associations,
// so an attempt sends four queries before its second association.
sim::SimMachine DataDiskMachine() {
  sim::SimMachine machine = test::MakeMachine();
  sim::SimDisk& disk = test::AddDisk(machine, 0);
  disk.m_Signature = 0x1234;
  test::AddPartition(disk, 1, L"Data", L"E:");
  test::AddPartition(disk, 2, L"Tools", L"F:");
  return machine;
}

int FilledDisks(const GuardedTables& tables) {
  int n = 0;
  for (const DiskInfo& disk : tables.m_Disks) n += disk.m_Index != kEmptyIndex;
  return n;
}

int FilledPartitions(const GuardedTables& tables) {
  int n = 0;
  for (const PartitionInfo& partition : tables.m_Partitions) {
    n += partition.m_DiskIndex != kEmptyIndex;
  }
  return n;
}

// Every WMI handle is released, and released before COM goes away.
void ExpectNoHandleLeft(const sim::SimMachine& machine) {
  EXPECT_EQ(machine.m_WmiLiveObjects, 0);
  EXPECT_EQ(machine.m_WmiLeakedAtUninit, 0);
}

// ---- Pure helpers ---------------------------------------------------------

TEST(DecimalText, LeadingBlanksSignDigitsAndSaturation) {
  struct Case {
    const wchar_t* szText;
    std::int32_t n32;
    std::int64_t n64;
  };
  constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
  const Case kCases[] = {
      {L"42", 42, 42},
      {L"007", 7, 7},
      {L" \t\r\n\v\f+17", 17, 17},
      {L"-5", -5, -5},
      {L"12abc", 12, 12},
      {L"1 2", 1, 1},
      {L"", 0, 0},
      {L"abc", 0, 0},
      {L"-", 0, 0},
      {L"+-3", 0, 0},
      {L"- 3", 0, 0},
      {L"2147483647", kMax32, 2147483647LL},
      {L"2147483648", kMax32, 2147483648LL},
      {L"-2147483648", kMin32, -2147483648LL},
      {L"-2147483649", kMin32, -2147483649LL},
      {L"1099511627776", kMax32, 1099511627776LL},
      {L"9223372036854775807", kMax32, kMax64},
      {L"9223372036854775808", kMax32, kMax64},
      {L"-9223372036854775808", kMin32, kMin64},
      {L"-9223372036854775809", kMin32, kMin64},
      {L"99999999999999999999999", kMax32, kMax64},
      {L"-99999999999999999999999x", kMin32, kMin64},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szText)));
    EXPECT_EQ(DecimalToInt32(c.szText), c.n32);
    EXPECT_EQ(DecimalToInt64(c.szText), c.n64);
  }
}

TEST(ObjectPaths, AntecedentGivesDiskAndPartition) {
  struct Case {
    const char* szName;
    const wchar_t* szAntecedent;
    std::int32_t nDisk;
    std::int32_t nPartition;
  };
  const Case kCases[] = {
      {"Windows form",
       L"\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #1, Partition #2\"", 1, 2},
      {"Wine form", L"\\\\VM\\ROOT\\CIMV2:Win32_DiskPartition.DeviceId=\"Disk #0, Partition #0\"",
       0, 0},
      {"several digits", L"X.DeviceID=\"Disk #12, Partition #130\"", 12, 130},
      {"'#' and ',' ahead of the '=' do not count",
       L"\\\\PC#7,8\\root:Win32_DiskPartition.DeviceID=\"Disk #5, Partition #6\"", 5, 6},
      {"no '=': the whole text", L"Disk #3, Partition #4", 3, 4},
      {"a later '=' changes nothing", L"X.DeviceID=\"Disk #1, Partition #2\",Tag=\"#7\"", 1, 7},
      {"no ',': no disk number", L"X.DeviceID=\"Disk #3 Partition #4\"", 0, 4},
      {"no '#'", L"X.DeviceID=\"Disk 3, Partition 4\"", 0, 0},
      {"empty", L"", 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::int32_t nDisk = -1, nPartition = -1;
    ParseAntecedent(c.szAntecedent, nDisk, nPartition);
    EXPECT_EQ(nDisk, c.nDisk);
    EXPECT_EQ(nPartition, c.nPartition);
  }
}

TEST(ObjectPaths, DependentGivesTheTwoCharactersEndingAtItsColon) {
  struct Case {
    const char* szName;
    const wchar_t* szDependent;
    const wchar_t* szLetter;
  };
  const Case kCases[] = {
      {"Windows form", L"\\\\PC\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"E:\"", L"E:"},
      // The namespace's own colon comes before the "=" and must not be taken.
      {"Wine form", L"\\\\VM\\ROOT\\CIMV2:Win32_LogicalDisk.DeviceId=\"C:\"", L"C:"},
      {"no '=': the whole text", L"\"E:\"", L"E:"},
      {"a later '=' changes nothing", L"X.DeviceID=\"E:\",Tag=\"Z:\"", L"E:"},
      {"no colon: from the start", L"X.DeviceID=\"E\"", L"=\""},
      {"colon first", L":Z", L":Z"},
      {"one character", L"=", L"="},
      {"empty", L"", L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(ParseDependent(c.szDependent), c.szLetter);
  }
}

// ---- Disk records ---------------------------------------------------------

TEST(Inventory, FullRecordsUseWmiPartitionNumbering) {
  sim::SimMachine machine = test::MakeMachine();
  sim::SimDisk& disk = test::AddDisk(machine, 1);
  disk.m_Caption = L"Contoso NVMe 512";
  disk.m_Signature = 0x5eed;
  disk.m_Size = 64 * kGiB;
  // WMI leaves out the reserved partition and numbers the rest from 0, so
  // the fourth partition on the disk is "Partition #2".
  test::AddPartition(disk, 1, L"").m_Wmi = false;
  test::AddPartition(disk, 2, L"Boot", L"D:").m_Type = L"GPT: System";
  test::AddPartition(disk, 3, L"Spare").m_Type = L"GPT: Unknown";
  test::AddPartition(disk, 4, L"Data", L"E:").m_Size = 3 * kGiB;
  auto tables = MakeTables();

  ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);

  const DiskInfo& d = tables->m_Disks[0];
  EXPECT_EQ(d.m_Index, 1);
  EXPECT_EQ(d.m_Caption, L"Contoso NVMe 512");
  EXPECT_EQ(d.m_DeviceID, L"\\\\.\\PHYSICALDRIVE1");
  EXPECT_EQ(d.m_Partitions, 3);
  EXPECT_EQ(d.m_SizeMB, 65536);
  EXPECT_FALSE(d.m_NoSignature);
  EXPECT_EQ(FilledDisks(*tables), 1);

  ASSERT_EQ(FilledPartitions(*tables), 2);
  const PartitionInfo& boot = tables->m_Partitions[0];
  EXPECT_EQ(boot.m_DiskIndex, 1);
  EXPECT_EQ(boot.m_PartitionIndex, 0);
  EXPECT_EQ(boot.m_DriveLetter, L"D:");
  EXPECT_EQ(boot.m_Type, L"GPT: System");
  const PartitionInfo& data = tables->m_Partitions[1];
  EXPECT_EQ(data.m_DiskIndex, 1);
  EXPECT_EQ(data.m_PartitionIndex, 2);
  EXPECT_EQ(data.m_DriveLetter, L"E:");
  EXPECT_EQ(data.m_VolumeName, L"Data");
  EXPECT_EQ(data.m_Type, L"GPT: Basic Data");
  EXPECT_EQ(data.m_SizeMB, 3072);
  EXPECT_FLOAT_EQ(data.m_SizeGB, 3.0f);
  ExpectNoHandleLeft(machine);
}

TEST(Inventory, NullDiskPropertiesAreGuardedExceptCaptionAndSignature) {
  struct Case {
    const char* szName;
    const wchar_t* szNull;  // nullptr: every property has a value
    DiskInfo m_Expected;
  };
  // What disk 0 of DataDiskMachine() reads as with every property present.
  const DiskInfo kFresh{L"Simulated disk 0", L"\\\\.\\PHYSICALDRIVE0", 0, 2, 201, false};
  auto with = [&](auto change) {
    DiskInfo disk = kFresh;
    change(disk);
    return disk;
  };
  const Case kCases[] = {
      {"all present", nullptr, kFresh},
      {"Size", L"Size", with([](DiskInfo& d) { d.m_SizeMB = 4242; })},
      {"DeviceID", L"DeviceID", with([](DiskInfo& d) { d.m_DeviceID = L"old id"; })},
      {"Partitions", L"Partitions", with([](DiskInfo& d) { d.m_Partitions = 42; })},
      {"Caption: not a string, so empty", L"Caption",
       with([](DiskInfo& d) { d.m_Caption = L""; })},
      {"Signature", L"Signature", with([](DiskInfo& d) { d.m_NoSignature = true; })},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = DataDiskMachine();
    if (c.szNull) machine.m_Disks[0].m_NullProperties = {c.szNull};
    auto tables = MakeTables();
    // A record left by an earlier attempt, different in every field.
    tables->m_Disks[0] = {L"old caption", L"old id", 7, 42, 4242, true};

    ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
    const DiskInfo& d = tables->m_Disks[0];
    EXPECT_EQ(d.m_Caption, c.m_Expected.m_Caption);
    EXPECT_EQ(d.m_DeviceID, c.m_Expected.m_DeviceID);
    EXPECT_EQ(d.m_Index, c.m_Expected.m_Index);
    EXPECT_EQ(d.m_Partitions, c.m_Expected.m_Partitions);
    EXPECT_EQ(d.m_SizeMB, c.m_Expected.m_SizeMB);
    EXPECT_EQ(d.m_NoSignature, c.m_Expected.m_NoSignature);
  }
}

TEST(Inventory, DiskSizeInWholeMiB) {
  struct Case {
    const char* szName;
    std::int64_t nBytes;
    std::int32_t nSizeMB;
  };
  const Case kCases[] = {
      {"1 TiB", kTiB, 1048576},
      {"a byte short of 2 MiB", 2 * kMiB - 1, 1},
      {"2^31 bytes", 2 * kGiB, 2048},
      {"8 TB as sold", 8000000000000LL, 7629394},
      {"empty", 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = DataDiskMachine();
    machine.m_Disks[0].m_Size = c.nBytes;
    auto tables = MakeTables();
    ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
    EXPECT_EQ(tables->m_Disks[0].m_SizeMB, c.nSizeMB);
  }
}

TEST(Inventory, OnlyFixedHardDisksAreListed) {
  sim::SimMachine machine = test::MakeMachine();
  test::AddPartition(test::AddDisk(machine, 0), 1, L"Stick", L"U:");
  test::AddDisk(machine, 1);
  test::AddDisk(machine, 2);
  machine.m_Disks[0].m_MediaType = L"Removable Media";
  machine.m_Disks[1].m_MediaType = L"External hard disk media";
  auto tables = MakeTables();
  ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
  EXPECT_EQ(FilledDisks(*tables), 1);
  EXPECT_EQ(tables->m_Disks[0].m_Index, 2);
}

TEST(Inventory, OnlyRemovableDisksIsNoFixedDisk) {
  sim::SimMachine machine = test::MakeMachine();
  sim::SimDisk& disk = test::AddDisk(machine, 0);
  disk.m_MediaType = L"Removable Media";
  test::AddPartition(disk, 1, L"Stick", L"U:");
  auto tables = MakeTables();
  EXPECT_EQ(PreparedAttempt(machine, *tables), kInventoryNoFixedDisk);
  EXPECT_EQ(FilledDisks(*tables), 0);
  EXPECT_EQ(FilledPartitions(*tables), 0);
}

// ---- Partition records ----------------------------------------------------

TEST(Inventory, PartitionSizeFromItsAddresses) {
  struct Case {
    const char* szName;
    std::int64_t nStart;  // -1: right after the 1 MiB gap
    std::int64_t nBytes;
    std::int32_t nSizeMB;
    double fSizeGB;
  };
  const Case kCases[] = {
      {"a byte short of 100 MiB", -1, 100 * kMiB - 1, 99, 0.0977},
      {"100 MiB", -1, 100 * kMiB, 100, 0.09765625},
      {"just past 2^31 bytes", -1, 2 * kGiB + kMiB, 2049, 2.0009765625},
      {"3.5 GiB", -1, 3 * kGiB + 512 * kMiB, 3584, 3.5},
      {"2 TiB", -1, 2 * kTiB, 2097152, 2048.0},
      {"4 TiB into the disk", 4 * kTiB, kGiB, 1024, 1.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    sim::SimPartition& part = test::AddPartition(test::AddDisk(machine, 0), 1, L"Data", L"E:");
    part.m_Start = c.nStart;
    part.m_Size = c.nBytes;
    auto tables = MakeTables();
    ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
    EXPECT_EQ(tables->m_Partitions[0].m_SizeMB, c.nSizeMB);
    EXPECT_NEAR(tables->m_Partitions[0].m_SizeGB, c.fSizeGB, 1e-4);
  }
}

TEST(Inventory, NullVolumeNameIsAnEmptyLabel) {
  sim::SimMachine machine = DataDiskMachine();
  machine.m_Disks[0].m_Partitions[0].m_Label = std::nullopt;
  auto tables = MakeTables();
  ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
  EXPECT_EQ(tables->m_Partitions[0].m_DriveLetter, L"E:");
  EXPECT_EQ(tables->m_Partitions[0].m_VolumeName, L"");
  EXPECT_EQ(tables->m_Partitions[1].m_VolumeName, L"Tools");
}

TEST(Inventory, ExcessDisksAndAssociationsAreDroppedNotWrittenPastTheTables) {
  // 21 disks. Disks 0 to 19 carry 128 associations each (one partition
  // under 128 device names), which fills the partition table exactly; disk
  // 20 carries the 2561st.
  sim::SimMachine machine = test::MakeMachine();
  for (int d = 0; d <= kMaxDisks; ++d) test::AddPartition(test::AddDisk(machine, d), 1, L"");
  int nName = 0;
  for (int d = 0; d <= kMaxDisks; ++d) {
    for (int k = 0; k < (d < kMaxDisks ? 128 : 1); ++k) {
      machine.m_DosDevices[L"N" + std::to_wstring(nName++) + L":"] = {
          sim::PartitionDevicePath(d, 1)};
    }
  }
  ASSERT_EQ(nName, kMaxPartitions + 1);
  auto tables = MakeTables();

  ASSERT_EQ(PreparedAttempt(machine, *tables), kInventoryOk);
  EXPECT_EQ(tables->m_Disks[kMaxDisks - 1].m_Index, kMaxDisks - 1);
  EXPECT_EQ(tables->m_DiskGuard.m_Index, kEmptyIndex);
  EXPECT_EQ(tables->m_DiskGuard.m_Caption, L"");
  EXPECT_EQ(tables->m_Partitions[kMaxPartitions - 1].m_DiskIndex, kMaxDisks - 1);
  EXPECT_EQ(tables->m_PartitionGuard.m_DiskIndex, kEmptyIndex);
  EXPECT_EQ(tables->m_PartitionGuard.m_DriveLetter, L"");
  for (const PartitionInfo& partition : tables->m_Partitions) {
    ASSERT_NE(partition.m_DiskIndex, kMaxDisks);
  }
  // Both enumerations were read to their end (each object, then the Next
  // that reports the end), besides the two lookups of every kept record.
  EXPECT_GE(machine.m_WmiNexts, (kMaxDisks + 2) + (kMaxPartitions + 2) + 2 * kMaxPartitions);
  ExpectNoHandleLeft(machine);
}

// ---- Result codes and COM -------------------------------------------------

TEST(Inventory, EveryResultCodeAndTheComStateItLeaves) {
  struct Case {
    const char* szCall;            // injected fault, or "" for none
    const wchar_t* szNull;         // null disk property, or nullptr
    const wchar_t* szNullLink;     // null property of the first association, or nullptr
    int nCode;
    int nComInitCount;             // 0: the attempt uninitialised COM itself
  };
  const Case kCases[] = {
      {"", nullptr, nullptr, kInventoryOk, 0},
      // Already initialised in another apartment: COM works, the attempt goes on.
      {"CoInitializeEx", nullptr, nullptr, kInventoryOk, 0},
      {"CoInitializeSecurity", nullptr, nullptr, kInventorySecurityFailed, 1},
      {"CoInitializeSecurity:too_late", nullptr, nullptr, kInventoryOk, 0},
      {"CoCreateInstance", nullptr, nullptr, kInventoryLocatorFailed, 1},
      {"ConnectServer", nullptr, nullptr, kInventoryConnectFailed, 0},
      {"CoSetProxyBlanket", nullptr, nullptr, kInventoryBlanketFailed, 0},
      {"ExecQuery:1", nullptr, nullptr, kInventoryQueryFailed, 0},  // disks
      {"ExecQuery:2", nullptr, nullptr, kInventoryQueryFailed, 0},  // associations
      {"ExecQuery:3", nullptr, nullptr, kInventoryQueryFailed, 0},  // a partition's type
      {"ExecQuery:4", nullptr, nullptr, kInventoryQueryFailed, 0},  // a volume's label
      {"ExecQuery:6", nullptr, nullptr, kInventoryQueryFailed, 0},  // the second volume's label
      {"Next:1", nullptr, nullptr, kInventoryNoFixedDisk, 1},
      {"", L"Index", nullptr, kInventoryPropertyFailed, 0},
      {"", nullptr, L"Antecedent", kInventoryPropertyFailed, 0},
      {"", nullptr, L"Dependent", kInventoryPropertyFailed, 0},
      {"", nullptr, L"StartingAddress", kInventoryPropertyFailed, 0},
      {"", nullptr, L"EndingAddress", kInventoryPropertyFailed, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.szCall) + (c.szNull ? " null Index" : "") +
                 (c.szNullLink ? " null " + sim::ToUtf8(c.szNullLink) : ""));
    sim::SimMachine machine = DataDiskMachine();
    if (*c.szCall) machine.m_Faults.m_Wmi.push_back({0, c.szCall});
    if (c.szNull) machine.m_Disks[0].m_NullProperties = {c.szNull};
    if (c.szNullLink) machine.m_Disks[0].m_Partitions[0].m_NullProperties = {c.szNullLink};
    sim::PrepareMachine(machine);
    auto tables = MakeTables();

    EXPECT_EQ(Attempt(machine, *tables), c.nCode);
    EXPECT_EQ(machine.m_ComInitCount, c.nComInitCount);
    ExpectNoHandleLeft(machine);

    // The next attempt balances whatever this one left initialised.
    machine.m_Disks[0].m_NullProperties.clear();
    machine.m_Disks[0].m_Partitions[0].m_NullProperties.clear();
    EXPECT_EQ(Attempt(machine, *tables), kInventoryOk);
    EXPECT_EQ(machine.m_ComInitCount, 0);
    ExpectNoHandleLeft(machine);
  }
}

TEST(Inventory, NextTimingOutEndsItsEnumeration) {
  // Nexts of an attempt on DataDiskMachine(): 1 disk, 2 end of disks,
  // 3 first association, 4 its type, 5 its label, 6 second association.
  struct Case {
    const char* szCall;
    int nCode;
    int nDisks;
    int nPartitions;
    const wchar_t* szFirstType;
  };
  const Case kCases[] = {
      {"Next:1", kInventoryNoFixedDisk, 0, 0, L"stale"},
      {"Next:2", kInventoryOk, 1, 2, L"GPT: Basic Data"},
      {"Next:3", kInventoryOk, 1, 0, L"stale"},
      {"Next:4", kInventoryOk, 1, 2, L""},
      {"Next:6", kInventoryOk, 1, 1, L"GPT: Basic Data"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szCall);
    sim::SimMachine machine = DataDiskMachine();
    machine.m_Faults.m_Wmi.push_back({-1, c.szCall});
    sim::PrepareMachine(machine);
    auto tables = MakeTables();
    tables->m_Partitions[0].m_Type = L"stale";

    EXPECT_EQ(Attempt(machine, *tables), c.nCode);
    EXPECT_EQ(FilledDisks(*tables), c.nDisks);
    EXPECT_EQ(FilledPartitions(*tables), c.nPartitions);
    EXPECT_EQ(tables->m_Partitions[0].m_Type, c.szFirstType);
    // The one timed-out Next waited its full ten seconds; nothing else costs.
    EXPECT_EQ(machine.m_ClockMs - machine.m_StartMs, 10000);
    ExpectNoHandleLeft(machine);
  }
}

// ---- Tables across attempts ------------------------------------------------

TEST(Inventory, LaterAttemptOverwritesOnlyTheRecordsItReaches) {
  sim::SimMachine three = test::MakeMachine();
  for (int d = 0; d < 3; ++d) {
    test::AddPartition(test::AddDisk(three, d), 1, L"Vol" + std::to_wstring(d),
                       std::wstring(1, static_cast<wchar_t>(L'E' + d)) + L":");
  }
  sim::SimMachine one = test::MakeMachine();
  test::AddPartition(test::AddDisk(one, 5), 1, L"Only", L"S:");
  auto tables = MakeTables();

  ASSERT_EQ(PreparedAttempt(three, *tables), kInventoryOk);
  ASSERT_EQ(PreparedAttempt(one, *tables), kInventoryOk);

  EXPECT_EQ(tables->m_Disks[0].m_Index, 5);
  EXPECT_EQ(tables->m_Disks[1].m_Index, 1);
  EXPECT_EQ(tables->m_Disks[2].m_Index, 2);
  EXPECT_EQ(tables->m_Partitions[0].m_DriveLetter, L"S:");
  EXPECT_EQ(tables->m_Partitions[0].m_VolumeName, L"Only");
  EXPECT_EQ(tables->m_Partitions[1].m_DriveLetter, L"F:");
  EXPECT_EQ(tables->m_Partitions[2].m_VolumeName, L"Vol2");
  EXPECT_EQ(FilledPartitions(*tables), 3);
}

TEST(Inventory, FailedAttemptKeepsWhatItFilledAndTheRetryCompletesIt) {
  // A failing lookup query ends the attempt before the fields that come
  // after it: the type query before the type and the drive letter, the
  // label query before the label.
  struct Case {
    const char* szCall;
    const wchar_t* szType;
    const wchar_t* szLetter;
  };
  const Case kCases[] = {
      {"ExecQuery:3", L"stale", L"Q:"},  // the first type query
      {"ExecQuery:4", L"GPT: Basic Data", L"E:"},  // the first label query
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szCall);
    sim::SimMachine machine = DataDiskMachine();
    machine.m_Faults.m_Wmi.push_back({0, c.szCall});
    sim::PrepareMachine(machine);
    auto tables = MakeTables();
    tables->m_Partitions[0].m_Type = L"stale";
    tables->m_Partitions[0].m_VolumeName = L"stale";
    tables->m_Partitions[0].m_DriveLetter = L"Q:";

    ASSERT_EQ(Attempt(machine, *tables), kInventoryQueryFailed);
    EXPECT_EQ(tables->m_Disks[0].m_Index, 0);
    const PartitionInfo& first = tables->m_Partitions[0];
    EXPECT_EQ(first.m_DiskIndex, 0);
    EXPECT_EQ(first.m_PartitionIndex, 0);
    EXPECT_EQ(first.m_SizeMB, 100);
    EXPECT_EQ(first.m_Type, c.szType);
    EXPECT_EQ(first.m_DriveLetter, c.szLetter);
    EXPECT_EQ(first.m_VolumeName, L"stale");
    EXPECT_EQ(FilledPartitions(*tables), 1);

    ASSERT_EQ(Attempt(machine, *tables), kInventoryOk);
    EXPECT_EQ(first.m_Type, L"GPT: Basic Data");
    EXPECT_EQ(first.m_DriveLetter, L"E:");
    EXPECT_EQ(first.m_VolumeName, L"Data");
    EXPECT_EQ(tables->m_Partitions[1].m_VolumeName, L"Tools");
    ExpectNoHandleLeft(machine);
  }
}

}  // namespace
