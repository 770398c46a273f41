// Whole runs at and past the program's limits: long and foreign paths,
// arguments and labels, a disk with 127 partitions, and partition counts no
// disk has. Every run ends with
// exit code 0 and a log in the program's folder, and either runs the batch
// file it wrote or says why it wrote none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "letters/drive_letters.h"
#include "platform/device_names.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "tests/test_support.h"

namespace {

// "C:\aaa...\" made of folders of 49 characters, nChars long in all.
std::wstring LongFolder(size_t nChars) {
  std::wstring sz = L"C:\\";
  while (sz.size() < nChars) {
    const size_t nPart = std::min<size_t>(49, nChars - sz.size() - 1);
    sz += std::wstring(nPart == 0 ? 1 : nPart, L'a') + L"\\";
  }
  return sz;
}

// Windows on C:; an unlettered ESP with the boot files and an old \EFI\OEM.
sim::SimMachine UefiMachine() {
  sim::SimMachine machine = test::MakeMachine();
  machine.m_Firmware = {false, 998};
  sim::SimDisk& disk = test::AddDisk(machine, 0);
  test::AddPartition(disk, 1, L"Windows", L"C:");
  sim::SimVolumeFiles& esp = test::AddPartition(disk, 2, L"ESP").m_Files;
  sim::AddFile(esp, L"EFI\\Microsoft\\Boot\\bootmgfw.efi", false, false, "efi");
  sim::AddFile(esp, L"EFI\\OEM\\old.efi", false, false, "old");
  return machine;
}

TEST(Capacity, LongAndForeignPathsAndArguments) {
  const std::wstring kLongArg(5000, L'x');
  const std::wstring kQuoted = L"R:\" & rd /s /q C:\\ & \"";
  struct Case {
    const char* szName;
    std::wstring szProgramDir;  // with its trailing backslash
    std::wstring szCurrent;     // empty: the program's folder
    std::vector<std::wstring> args;
    std::wstring szRefused;  // the text the log names as refused; empty: the batch file ran
    const wchar_t* szWhy = L"Error Batch File Cannot Hold Path, not run";
  };
  const wchar_t kNotADrive[] = L"Error ESP Letter Is Not A Drive, not run";
  const wchar_t kTooLong[] = L"Error Batch File Path Too Long To Start, not run";
  const Case kCases[] = {
      // Windows starts no batch file whose path is 260 characters or more.
      {"program path of 252: batch file path of 259", LongFolder(252 - 10), L"", {}, L""},
      {"program path of 259", LongFolder(259 - 10), L"", {}, LongFolder(249) + L"CopyEFI_byOEM.cmd",
       kTooLong},
      {"program path of 260", LongFolder(260 - 10), L"", {}, LongFolder(250) + L"CopyEFI_byOEM.cmd",
       kTooLong},
      {"program path of 300", LongFolder(300 - 10), L"", {}, LongFolder(290) + L"CopyEFI_byOEM.cmd",
       kTooLong},
      {"current directory over 260", L"C:\\Tools\\", LongFolder(300) + L"cwd", {}, L""},
      {"three arguments of 5000", L"C:\\Tools\\", L"", {kLongArg, kLongArg, kLongArg}, kLongArg,
       kNotADrive},
      {"four arguments, non-ASCII after the third",
       L"C:\\Tools\\",
       L"",
       {L"W:", L"R:", L"M:", L"\u263A"},
       L""},
      {"program folder with a letter of the console's code page", L"C:\\T\u00e9l\\", L"", {}, L""},
      {"program folder with no one-byte form", L"C:\\\u263A\\", L"", {}, L"C:\\\u263A\\"},
      {"non-ASCII ESP letter", L"C:\\Tools\\", L"", {L"W:", L"\u00c9:", L"M:"}, L"\u00c9:",
       kNotADrive},
      {"ESP letter that would end the quotes",
       L"C:\\Tools\\",
       L"",
       {L"W:", kQuoted, L"M:"},
       kQuoted,
       kNotADrive},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = UefiMachine();
    machine.m_Program = c.szProgramDir + L"malvik.exe";
    machine.m_CurrentDirectory = c.szCurrent;
    const std::wstring szBatch = c.szProgramDir + L"CopyEFI_byOEM.cmd";
    sim::AddFile(machine.m_Disks[0].m_Partitions[0].m_Files, szBatch.substr(3), false, false,
                 "old");

    ASSERT_EQ(test::RunProgram(machine, c.args), 0);

    const auto lines = test::ReadLog(machine, c.szProgramDir + L"Log\\Malvik.log");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines.back().m_Message.substr(lines.back().m_Message.size() - 23),
              L"\\EFI\\OEM\\boot\\resources");
    const sim::SimFile* pBatch = sim::FindFile(machine, szBatch);
    ASSERT_NE(pBatch, nullptr);
    if (c.szRefused.empty()) {
      ASSERT_EQ(machine.m_Runs.size(), 1u);
      EXPECT_EQ(machine.m_Runs[0].m_StartError, 0u);
      EXPECT_NE(pBatch->m_Bytes, "old");
    } else {
      EXPECT_TRUE(machine.m_Runs.empty());
      EXPECT_EQ(pBatch->m_Bytes, "old");
      EXPECT_EQ(lines[lines.size() - 9].m_Message, c.szWhy);
      EXPECT_EQ(lines[lines.size() - 9].m_Value, c.szRefused);
      EXPECT_EQ(lines[lines.size() - 8].m_Message, L"ExitCode:0xffffffff");
    }
    if (!c.szCurrent.empty()) {
      EXPECT_EQ(machine.m_CurrentDirectory, c.szCurrent);
    }
  }
}

// Labels are read into 255 characters and upper-cased a to z only.
TEST(Capacity, LabelsLongForeignAndOnTheLastOf127Partitions) {
  struct Case {
    const char* szName;
    int nPartitions;  // the label is on the last one, "Data" on the others
    std::wstring szLabel;
    const wchar_t* szLetter;  // where it ends up; empty: nowhere
  };
  const Case kCases[] = {
      {"reset label of 52", 1, L"push button " + std::wstring(40, L'r'), L"M:"},
      {"recovery label of 254 fits", 1, L"RECOVERY" + std::wstring(246, L'y'), L"W:"},
      {"recovery label of 255 does not", 1, L"RECOVERY" + std::wstring(247, L'y'), L""},
      {"non-ASCII after the prefix", 1, L"esp\u00e9", L"R:"},
      {"non-ASCII E is not E", 1, L"\u00c9SP", L""},
      {"dotless i is not I", 1, L"PQSERV\u0131CE", L""},
      {"127 partitions, the ESP last", 127, L"ESP", L"R:"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    machine.m_Firmware = {false, 998};
    sim::SimDisk& disk = test::AddDisk(machine, 0);
    for (int n = 1; n < c.nPartitions; ++n) test::AddPartition(disk, n, L"Data");
    test::AddPartition(disk, c.nPartitions, c.szLabel);

    ASSERT_EQ(test::RunProgram(machine), 0);

    std::map<std::wstring, std::vector<std::wstring>> expected = {
        {L"C:", {sim::DriveDevicePath(L"C:")}}};
    if (*c.szLetter != L'\0')
      expected[c.szLetter] = {platform::PartitionDevicePath(0, c.nPartitions)};
    EXPECT_EQ(machine.m_DosDevices, expected);
  }
}

// The count WMI reports reaches every partition sweep unchanged; each sweep
// shows it plus one and stops at 1024 probes, saying so on the next line.
TEST(Capacity, PartitionCountsNoDiskHasAreSweptWithinTheProbeLimit) {
  struct Case {
    std::int32_t nReported;
    std::wstring szShown;  // the disk line's count
    std::wstring szCut;    // the limit line's detail after each disk line; empty: none
  };
  const Case kCases[] = {
      {INT32_MAX, L"2147483648", L"1024 of 2147483648"},
      {INT32_MIN, L"-2147483647", L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nReported);
    sim::SimMachine machine = test::MakeMachine();
    machine.m_Costs.m_ProfileWrite = 1;  // so that equal lines keep keys of their own
    sim::SimDisk& disk = test::AddDisk(machine, 0);
    disk.m_PartitionsReported = c.nReported;
    test::AddPartition(disk, 1, L"Windows", L"C:");

    ASSERT_EQ(test::RunProgram(machine), 0);

    const auto lines = test::ReadLog(machine);
    const std::wstring szTail = L" : Partitions " + c.szShown;
    size_t nDiskLines = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::wstring& sz = lines[i].m_Message;
      if (sz.rfind(L"Disks ", 0) != 0) continue;
      ++nDiskLines;
      ASSERT_GE(sz.size(), szTail.size());
      EXPECT_EQ(sz.substr(sz.size() - szTail.size()), szTail);
      const bool bCut = i + 1 < lines.size() &&
                        lines[i + 1].m_Message == L"Partitions Past Probe Limit Not Probed";
      EXPECT_EQ(bCut, !c.szCut.empty());
      if (bCut) {
        EXPECT_EQ(lines[i + 1].m_Value, c.szCut);
      }
    }
    EXPECT_GE(nDiskLines, 1u);
  }
}

}  // namespace
