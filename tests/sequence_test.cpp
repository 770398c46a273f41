#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/setup_context.h"
#include "core/setup_sequence.h"
#include "simulator/sim_model.h"
#include "tests/test_support.h"

namespace {

using Messages = std::vector<std::wstring>;

const wchar_t kLegacyProbe[] = L"ERROR_INVALID_FUNCTION";
const wchar_t kUefiProbe[] = L"ERROR_NOACCESS";

// Two fixed disks, each with one lettered partition that no letter rule
// takes. Every log line moves the clock by 1 ms, so lines with equal
// messages keep keys of their own.
sim::SimMachine TwoDiskMachine() {
  sim::SimMachine machine = test::MakeMachine();
  machine.m_Costs.m_ProfileWrite = 1;
  test::AddPartition(test::AddDisk(machine, 0), 1, L"Data", L"E:");
  test::AddPartition(test::AddDisk(machine, 1), 1, L"Backup", L"F:");
  return machine;
}

std::int64_t ElapsedMs(const sim::SimMachine& machine) {
  return machine.m_ClockMs - machine.m_StartMs;
}

std::wstring Summary(const std::wstring& szRecovery, const std::wstring& szESP,
                     const std::wstring& szPBR) {
  return L"RecoveryLetter:" + szRecovery + L"   ESPLetter:" + szESP + L"   PBRLetter:" + szPBR +
         L"\n";
}

// The lines of nFailures failed inventory attempts, numbered from 0.
Messages FailedAttempts(int nFailures, int nCode) {
  Messages messages;
  for (int i = 0; i < nFailures; ++i) {
    messages.push_back(L"Get Disk info");
    messages.push_back(L"[" + std::to_wstring(i) + L"]Error Getting System Disk Info. Return Code:" +
                       std::to_wstring(nCode));
  }
  return messages;
}

// The batch file's exit code and the seven presence lines on R:. These
// machines have no R: and no scripts: the hand-over is not recognised.
const size_t kCopyLines = 8;
Messages CopyStep() {
  Messages messages = {L"ExitCode:0x2331"};
  for (const wchar_t* szPath : {L"", L"\\boot\\BCD", L"\\boot\\bootmgfw.efi", L"\\boot\\bootmgr.efi",
                                L"\\boot\\memtest.efi", L"\\boot\\fonts", L"\\boot\\resources"}) {
    messages.push_back(std::wstring(L"R:\\EFI\\OEM") + szPath);
  }
  return messages;
}

// Everything after the inventory, for the default letters on legacy BIOS,
// when the letter rules find nothing on nDisks disks of one partition each.
Messages AfterInventory(int nDisks) {
  auto diskLines = [nDisks](bool bDiskCount) {
    Messages messages;
    for (int d = 0; d < nDisks; ++d) {
      messages.push_back(L"Disks " + std::to_wstring(bDiskCount ? nDisks : d) + L" : Partitions 2");
    }
    return messages;
  };
  Messages messages = {L"m_DiskCount", L"AssignLetterToEFI"};
  for (const Messages& part : {diskLines(false), {kLegacyProbe}, diskLines(false),
                               diskLines(false), diskLines(true)}) {
    messages.insert(messages.end(), part.begin(), part.end());
  }
  messages.push_back(Summary(L"W:", L"R:", L"M:"));
  const Messages copy = CopyStep();
  messages.insert(messages.end(), copy.begin(), copy.end());
  return messages;
}

Messages Concat(Messages head, const Messages& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(CountDisks, RecordsBeforeTheFirstEmptyOne) {
  struct Case {
    const char* szName;
    std::vector<int> m_Filled;  // positions holding a disk
    std::int32_t nCount;
  };
  std::vector<int> all;
  for (int k = 0; k < kMaxDisks; ++k) all.push_back(k);
  const Case kCases[] = {
      {"empty table", {}, 0},
      {"first two", {0, 1}, 2},
      {"a gap at record 2", {0, 1, 3}, 2},
      {"record 0 empty", {1, 2, 3}, 0},
      {"full table", all, kMaxDisks},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    DiskTable disks;
    for (int k : c.m_Filled) disks[k].m_Index = 0;  // disk number 0 is a disk like any other
    EXPECT_EQ(CountDisks(disks), c.nCount);
  }
}

TEST(Sequence, DefaultRunLogsExactlyTheseLines) {
  sim::SimMachine machine = TwoDiskMachine();
  ASSERT_EQ(test::RunProgram(machine), 0);

  const auto lines = test::ReadLog(machine);
  Messages messages;
  for (const test::LogLine& line : lines) messages.push_back(line.m_Message);
  EXPECT_EQ(messages, Concat({L"Get Disk info"}, AfterInventory(2)));
  for (size_t i = 0; i + kCopyLines < lines.size(); ++i) {
    const test::LogLine& line = lines[i];
    SCOPED_TRACE(testing::PrintToString(line.m_Message));
    EXPECT_EQ(line.m_Value, line.m_Message == kLegacyProbe ? L"Boot system from Legacy BIOS" : L"");
  }
  // One attempt, no pause: the clock moved only by the log writes, the
  // first of which is tried once more after the Log folder is made, and by
  // the batch file's one poll.
  EXPECT_EQ(machine.m_WmiAttempt, 0);
  EXPECT_EQ(ElapsedMs(machine), static_cast<std::int64_t>(lines.size()) + 1 + 1000);
}

TEST(Sequence, InventoryIsRetriedTwentyTimesWithAPauseAfterEachFailure) {
  struct Case {
    const char* szName;
    std::vector<sim::SimWmiFault> m_Faults;
    int nFailures;
    int nCode;
    bool bSucceeds;
    std::int32_t nDiskCount;
  };
  const Case kCases[] = {
      {"fails twice", {{0, "ConnectServer"}, {1, "ConnectServer"}}, 2, 4, true, 2},
      {"never connects", {{-1, "ConnectServer"}}, 20, 4, false, 0},
      // Each failed attempt has filled the disk table before its association
      // query fails; the run goes on with what the tables hold.
      {"association query always fails", {{-1, "ExecQuery:2"}}, 20, 5, false, 2},
      // Code 3 leaves COM to the next attempt; after the last one the
      // sequence balances it.
      {"locator never created", {{-1, "CoCreateInstance"}}, 20, 3, false, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = TwoDiskMachine();
    machine.m_Faults.m_Wmi = c.m_Faults;
    const auto context = test::BuildContext(machine, L"", L"", L"");

    Messages expected = FailedAttempts(c.nFailures, c.nCode);
    if (c.bSucceeds) expected.push_back(L"Get Disk info");
    expected = Concat(expected, AfterInventory(c.nDiskCount));
    EXPECT_EQ(test::LogMessages(machine), expected);
    EXPECT_EQ(ElapsedMs(machine),
              100 * c.nFailures + static_cast<std::int64_t>(expected.size()) + 1 + 1000);
    EXPECT_EQ(machine.m_WmiAttempt, c.bSucceeds ? c.nFailures : c.nFailures - 1);
    EXPECT_EQ(context->m_DiskCount, c.nDiskCount);
    EXPECT_EQ(machine.m_ComInitCount, 0);
  }
}

TEST(Sequence, WhichLetterRulesRunFollowsTheLettersOriginAndTheBootMode) {
  struct Case {
    const char* szName;
    std::wstring m_Given[3];
    bool bUefi;
    bool bUefiRule;     // the ESP ends up under R:
    bool bLegacyRules;  // the system-reserved partition gets a letter
    std::wstring m_Summary;
  };
  const Case kCases[] = {
      {"defaults, UEFI", {L"", L"", L""}, true, true, false, Summary(L"W:", L"R:", L"M:")},
      {"defaults, legacy", {L"", L"", L""}, false, true, true, Summary(L"W:", L"R:", L"M:")},
      {"given, UEFI", {L"X:", L"Y:", L"Z:"}, true, false, false, Summary(L"X:", L"Y:", L"Z:")},
      {"given, legacy", {L"X:", L"Y:", L"Z:"}, false, false, true, Summary(L"X:", L"Y:", L"Z:")},
      {"only the ESP letter given", {L"", L"Y:", L""}, false, false, true,
       L"RecoveryLetter:   ESPLetter:Y:   PBRLetter:\n"},
  };
  const std::wstring szEsp = L"\\Device\\Harddisk0\\Partition1";
  const std::wstring szReserved = L"\\Device\\Harddisk0\\Partition2";
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    machine.m_Costs.m_ProfileWrite = 1;
    sim::SimDisk& disk = test::AddDisk(machine, 0);
    test::AddPartition(disk, 1, L"ESP");
    test::AddPartition(disk, 2, L"SYSTEM RESERVED");
    machine.m_Firmware = c.bUefi ? sim::SimFirmware{false, 998} : sim::SimFirmware{false, 1};
    test::BuildContext(machine, c.m_Given[0], c.m_Given[1], c.m_Given[2]);

    auto it = machine.m_DosDevices.find(L"R:");
    EXPECT_EQ(it != machine.m_DosDevices.end() && it->second.front() == szEsp, c.bUefiRule);
    bool bReservedLettered = false;
    for (const auto& [szLetter, stack] : machine.m_DosDevices) {
      bReservedLettered = bReservedLettered || stack.front() == szReserved;
    }
    EXPECT_EQ(bReservedLettered, c.bLegacyRules);

    const auto lines = test::ReadLog(machine);
    // Written whether or not the UEFI rule runs.
    const Messages messages = test::LogMessages(machine);
    const auto count = std::find(messages.begin(), messages.end(), L"m_DiskCount");
    ASSERT_TRUE(count != messages.end() && count + 1 != messages.end());
    EXPECT_EQ(count[1], L"AssignLetterToEFI");
    int nBootLines = 0;
    std::wstring szSummary;
    for (const test::LogLine& line : lines) {
      if (line.m_Message.rfind(L"RecoveryLetter:", 0) == 0) szSummary = line.m_Message;
      if (line.m_Message != kUefiProbe && line.m_Message != kLegacyProbe) continue;
      ++nBootLines;
      EXPECT_EQ(line.m_Message, c.bUefi ? kUefiProbe : kLegacyProbe);
      EXPECT_EQ(line.m_Value,
                c.bUefi ? L"Boot system from UEFI BIOS" : L"Boot system from Legacy BIOS");
    }
    EXPECT_EQ(nBootLines, 1);
    EXPECT_EQ(szSummary, c.m_Summary);
  }
}

}  // namespace
