#include <gtest/gtest.h>

#include <memory>

#include "core/entry.h"
#include "core/setup_context.h"
#include "malvik_version.h"
#include "simulator/sim_files.h"
#include "tests/test_support.h"

namespace {

TEST(ArgumentRule, LettersAreTakenOnlyWhenAllThreeArePresent) {
  struct Case {
    const char* szName;
    std::vector<const wchar_t*> m_Args;  // after the program name
    LetterArguments m_Expected;
  };
  const Case kCases[] = {
      {"none", {}, {}},
      {"one", {L"X:"}, {}},
      {"two", {L"X:", L"Y:"}, {}},
      {"three", {L"X:", L"Y:", L"Z:"}, {L"X:", L"Y:", L"Z:"}},
      {"four", {L"X:", L"Y:", L"Z:", L"Q:"}, {L"X:", L"Y:", L"Z:"}},
      {"three empty", {L"", L"", L""}, {}},
      {"only the middle", {L"", L"Y:", L""}, {L"", L"Y:", L""}},
      {"lower case kept", {L"w:", L"r:", L"m:"}, {L"w:", L"r:", L"m:"}},
      {"non-letters kept", {L"abc", L"W", L"1:\\"}, {L"abc", L"W", L"1:\\"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::vector<const wchar_t*> argv = {L"malvik.exe"};
    argv.insert(argv.end(), c.m_Args.begin(), c.m_Args.end());
    const LetterArguments letters = PickLetterArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(letters.m_Recovery, c.m_Expected.m_Recovery);
    EXPECT_EQ(letters.m_ESP, c.m_Expected.m_ESP);
    EXPECT_EQ(letters.m_PBR, c.m_Expected.m_PBR);
  }
}

TEST(SetupContext, LettersGivenOrDefaults) {
  struct Case {
    const char* szName;
    LetterArguments m_Given;
    bool bLettersGiven;
    LetterArguments m_Held;
  };
  const Case kCases[] = {
      {"three empty", {}, false, {L"W:", L"R:", L"M:"}},
      {"three letters", {L"X:", L"Y:", L"Z:"}, true, {L"X:", L"Y:", L"Z:"}},
      {"only the middle", {L"", L"Y:", L""}, true, {L"", L"Y:", L""}},
      {"the defaults typed", {L"W:", L"R:", L"M:"}, true, {L"W:", L"R:", L"M:"}},
      {"lower case", {L"w:", L"", L""}, true, {L"w:", L"", L""}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    const auto context =
        test::BuildContext(machine, c.m_Given.m_Recovery, c.m_Given.m_ESP, c.m_Given.m_PBR);
    EXPECT_EQ(context->m_LettersGiven, c.bLettersGiven);
    EXPECT_EQ(context->m_RecoveryLetter, c.m_Held.m_Recovery);
    EXPECT_EQ(context->m_ESPLetter, c.m_Held.m_ESP);
    EXPECT_EQ(context->m_PBRLetter, c.m_Held.m_PBR);
  }
}

TEST(SetupContext, TablesStartEmpty) {
  sim::SimMachine machine = test::MakeMachine();  // no disk: the inventory fills nothing
  const auto context = test::BuildContext(machine, L"", L"", L"");
  for (const DiskInfo& disk : context->m_DiskTable) {
    EXPECT_EQ(disk.m_Index, kEmptyIndex);
    EXPECT_EQ(disk.m_Partitions, 0);
    EXPECT_EQ(disk.m_SizeMB, 0);
    EXPECT_TRUE(disk.m_Caption.empty());
  }
  for (const PartitionInfo& partition : context->m_PartitionTable) {
    EXPECT_EQ(partition.m_DiskIndex, kEmptyIndex);
    EXPECT_EQ(partition.m_SizeMB, 0);
    EXPECT_EQ(partition.m_SizeGB, 0.0f);
  }
  EXPECT_EQ(context->m_DiskCount, 0);
}

TEST(Entry, ExitCodeIsZeroWhateverTheLogSays) {
  sim::SimMachine machine = test::MakeMachine();  // no disk: twenty failed inventories
  EXPECT_EQ(test::RunProgram(machine, {L"X:"}), 0);
  EXPECT_EQ(machine.m_Console, "");
  const auto messages = test::LogMessages(machine);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Get Disk info"), 20);
}

// One argument that is exactly a request for help or the version prints it
// and changes nothing: no log, no letter, no file, no inventory. Everything
// else, near misses included, is a run with its arguments ignored.
TEST(Entry, HelpAndVersionTouchNothing) {
  struct Case {
    std::vector<std::wstring> m_Args;
    const char* szConsoleStart;  // null: a full run, silent on the console
  };
  const std::string szVersion = std::string("malvik ") + kMalvikVersion + "\n";
  const Case kCases[] = {
      {{L"/?"}, "malvik gives the special partitions"},
      {{L"--help"}, "malvik gives the special partitions"},
      {{L"--version"}, szVersion.c_str()},
      {{L"-h"}, nullptr},
      {{L"--HELP"}, nullptr},
      {{L"--version "}, nullptr},
      {{L"--help", L"x"}, nullptr},
      {{L"/?", L"/?", L"/?"}, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Args));
    sim::SimMachine machine = test::MakeMachine();
    machine.m_Firmware = {false, 998};
    sim::SimDisk& disk = test::AddDisk(machine, 0);
    test::AddPartition(disk, 1, L"Windows", L"C:");
    test::AddPartition(disk, 2, L"ESP", L"");
    EXPECT_EQ(test::RunProgram(machine, c.m_Args), 0);
    if (c.szConsoleStart == nullptr) {
      EXPECT_EQ(machine.m_Console, "");
      EXPECT_FALSE(machine.m_ProfileWrites.empty());
      continue;
    }
    EXPECT_EQ(machine.m_Console.rfind(c.szConsoleStart, 0), 0u) << machine.m_Console;
    EXPECT_TRUE(machine.m_ProfileWrites.empty());
    EXPECT_EQ(machine.m_WmiAttempt, -1);
    EXPECT_EQ(machine.m_ErrorMode, 0u);
    EXPECT_TRUE(machine.m_Runs.empty());
    EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\Log"), nullptr);
    EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\CopyEFI_byOEM.cmd"), nullptr);
    EXPECT_EQ(machine.m_DosDevices.size(), 1u) << "the ESP got no letter";
  }
}

TEST(Entry, FrameworkFailureSaysSoAndBuildsNothing) {
  sim::SimMachine machine = test::MakeMachine();
  machine.m_Faults.m_FrameworkInitFail = true;
  EXPECT_EQ(test::RunProgram(machine, {L"X:", L"Y:", L"Z:"}), 1);
  EXPECT_EQ(machine.m_Console, "Fatal Error: MFC initialization failed\n");
  EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\Log"), nullptr);
  EXPECT_TRUE(machine.m_ProfileWrites.empty());
  EXPECT_EQ(machine.m_WmiAttempt, -1);
}

}  // namespace
