#include <gtest/gtest.h>

#include <climits>

#include "core/entry.h"
#include "platform/ascii.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "support/log.h"
#include "tests/test_support.h"

namespace {

TEST(Log, TimeStampIsSpacePaddedWithOneTrailingSpace) {
  struct Case {
    platform::LocalTime m_Time;
    const wchar_t* szStamp;
  };
  const Case kCases[] = {
      {{2026, 3, 7, 9, 5, 2, 45}, L"2026/ 3/ 7  9: 5: 2: 45 "},
      {{2026, 12, 31, 23, 59, 59, 999}, L"2026/12/31 23:59:59:999 "},
      {{2026, 1, 1, 0, 0, 0, 0}, L"2026/ 1/ 1  0: 0: 0:  0 "},
      {{999, 10, 10, 10, 10, 10, 100}, L"999/10/10 10:10:10:100 "},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szStamp)));
    EXPECT_EQ(FormatTimeStamp(c.m_Time), c.szStamp);
  }
  EXPECT_EQ(FormatTimeStamp(kCases[0].m_Time).size(), 24u);
}

// The digits of time stamps and device paths, at the edges of the range.
TEST(Log, DecimalDigitsAsToWstringWritesThem) {
  for (const long long n : {0LL, 7LL, -7LL, 10LL, -10LL, 2026LL, static_cast<long long>(INT_MIN),
                            static_cast<long long>(INT_MAX), LLONG_MIN, LLONG_MAX}) {
    std::wstring sz = L"x";
    platform::AppendDecimal(sz, n);
    EXPECT_EQ(sz, L"x" + std::to_wstring(n));
  }
}

TEST(Log, ProgramDirectoryOfEveryPathShape) {
  struct Case {
    const wchar_t* szProgram;
    const wchar_t* szDirectory;
    bool bCached;
  };
  const Case kCases[] = {
      {L"C:\\Tools\\malvik.exe", L"C:\\Tools\\", true},
      {L"C:\\malvik.exe", L"C:\\", true},
      {L"C:/Tools/malvik.exe", L"C:/Tools\\", true},
      {L"C:\\Tools/malvik.exe", L"C:\\Tools\\", true},
      {L"C:\\Tools\\\\\\malvik.exe", L"C:\\Tools\\", true},
      {L"C:\\Tools\\/\\malvik.exe", L"C:\\Tools\\", true},
      // Trailing "/" go first, then trailing "\": a "/" before them stays.
      {L"C:\\Tools//\\\\malvik.exe", L"C:\\Tools//\\", true},
      {L"malvik.exe", L"malvik.exe", false},
      {L"\\malvik.exe", L"\\malvik.exe", false},
      {L"/malvik.exe", L"/malvik.exe", false},
      {L"", L"", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szProgram)));
    sim::SimMachine machine = test::MakeMachine();
    machine.m_Program = c.szProgram;
    sim::ScopedSimMachine installed(machine);
    Logger logger;
    EXPECT_EQ(GetProgramDirectory(logger), c.szDirectory);
    EXPECT_EQ(logger.m_ProgramDir, c.bCached ? c.szDirectory : L"");
  }
}

TEST(Log, ProgramDirectoryIsComputedOnce) {
  sim::SimMachine machine = test::MakeMachine();
  sim::ScopedSimMachine installed(machine);
  Logger logger;
  EXPECT_EQ(GetProgramDirectory(logger), L"C:\\Tools\\");
  machine.m_Program = L"E:\\Elsewhere\\malvik.exe";
  EXPECT_EQ(GetProgramDirectory(logger), L"C:\\Tools\\");
}

TEST(Log, BoolToText) {
  EXPECT_EQ(BoolToText(true), L"true");
  EXPECT_EQ(BoolToText(false), L"false");
}

class LogFile : public testing::Test {
 protected:
  void SetUp() override {
    sim::PrepareMachine(m_Machine);
    sim::AddFile(*sim::FindVolumeByLetter(m_Machine, L"C:").Files(), L"Tools\\Log", true, false, "");
  }
  std::string FileText(const wchar_t* szPath = L"C:\\Tools\\Log\\Malvik.log") {
    const sim::SimFile* pFile = sim::FindFile(m_Machine, szPath);
    return pFile ? pFile->m_Bytes : "(missing)";
  }
  sim::SimMachine m_Machine = test::MakeMachine();
  Logger m_Logger;
};

TEST_F(LogFile, KeyIsStampAndMessageValueIsDetail) {
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"Get Disk info", L"");
  WriteLog(m_Logger, L"ERROR_NOACCESS", L"Boot system from UEFI BIOS");
  EXPECT_EQ(FileText(),
            "[Malvik]\r\n2026/ 3/ 7  9: 5: 2: 45 Get Disk info=\r\n"
            "2026/ 3/ 7  9: 5: 2: 45 ERROR_NOACCESS=Boot system from UEFI BIOS\r\n");
}

TEST_F(LogFile, SameMessageWithinOneMillisecondKeepsTheSecondDetail) {
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"R:\\EFI\\OEM", L"false");
  WriteLog(m_Logger, L"R:\\EFI\\OEM", L"true");
  EXPECT_EQ(FileText(), "[Malvik]\r\n2026/ 3/ 7  9: 5: 2: 45 R:\\EFI\\OEM=true\r\n");
}

TEST_F(LogFile, ExitCodeInLowerCaseHex) {
  sim::ScopedSimMachine installed(m_Machine);
  LogExitCode(m_Logger, 0);
  sim::Spend(m_Machine, 1);
  LogExitCode(m_Logger, 255);
  sim::Spend(m_Machine, 1);
  LogExitCode(m_Logger, 0xC000013A);
  const auto lines = test::ReadLog(m_Machine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].m_Message, L"ExitCode:0x0");
  EXPECT_EQ(lines[1].m_Message, L"ExitCode:0xff");
  EXPECT_EQ(lines[2].m_Message, L"ExitCode:0xc000013a");
  EXPECT_EQ(lines[1].m_Value, L"");
}

TEST_F(LogFile, MissingLogFolderIsCreatedAndNoLineIsLost) {
  sim::FindVolumeByLetter(m_Machine, L"C:").Files()->m_Entries.erase(L"TOOLS\\LOG");
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"Get Disk info", L"");
  const sim::SimFile* pFolder = sim::FindFile(m_Machine, L"C:\\Tools\\Log");
  ASSERT_NE(pFolder, nullptr);
  EXPECT_TRUE(pFolder->m_Folder);
  EXPECT_EQ(test::LogMessages(m_Machine), std::vector<std::wstring>{L"Get Disk info"});
}

TEST_F(LogFile, OnlyTheLogFolderIsEverCreatedNeverItsParents) {
  m_Machine.m_Program = L"C:\\Missing\\Deeper\\malvik.exe";
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"Get Disk info", L"");
  EXPECT_EQ(sim::FindFile(m_Machine, L"C:\\Missing"), nullptr);
  EXPECT_EQ(sim::FindFile(m_Machine, L"C:\\Missing\\Deeper\\Log"), nullptr);
}

TEST_F(LogFile, FailingWritesAreLostSilently) {
  m_Machine.m_Faults.m_ProfileWriteFail = true;
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"Get Disk info", L"");
  EXPECT_EQ(FileText(), "(missing)");
  EXPECT_EQ(m_Machine.m_Console, "");
  EXPECT_TRUE(m_Machine.m_Dialogs.empty());
}

TEST_F(LogFile, ProgramInTheRootLogsToRootLogFolder) {
  m_Machine.m_Program = L"C:\\malvik.exe";
  sim::ScopedSimMachine installed(m_Machine);
  WriteLog(m_Logger, L"Get Disk info", L"");
  EXPECT_EQ(test::ReadLog(m_Machine, L"C:\\Log\\Malvik.log").size(), 1u);
}

TEST(LogRuns, TwoRunsKeepBothRunsLinesInOrder) {
  sim::SimMachine machine = test::MakeMachine();
  test::RunProgram(machine);
  const size_t nFirst = test::ReadLog(machine).size();
  machine.m_ClockMs += 60000;
  {
    sim::ScopedSimMachine installed(machine);
    const wchar_t* argv[] = {L"C:\\Tools\\malvik.exe"};
    RunMalvik(1, argv);
  }
  const auto lines = test::ReadLog(machine);
  ASSERT_EQ(lines.size(), 2 * nFirst);
  EXPECT_EQ(lines.front().m_Message, L"Get Disk info");
  EXPECT_EQ(lines[nFirst].m_Message, L"Get Disk info");
  EXPECT_LT(lines[nFirst - 1].m_Stamp, lines[nFirst].m_Stamp);
}

}  // namespace
