#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "support/file_ops.h"
#include "tests/test_support.h"

namespace {

TEST(FileOps, StepUpRule) {
  struct Case {
    const wchar_t* szCurrent;
    bool bWrite;
    const wchar_t* szFolder;
    bool bStep;
  };
  const Case kCases[] = {
      {L"C:\\", false, L"", false},
      {L"c:", false, L"", false},
      {L"C:\\Tools", true, L"C:", false},  // never lands on a root
      {L"C:\\Tools\\Setup", true, L"C:\\Tools", true},
      {L"", true, L"", false},  // unreadable: no backslash
      {L"\\\\server\\share", true, L"\\\\server", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szCurrent)));
    const StepUpRule rule = DecideStepUp(c.szCurrent);
    EXPECT_EQ(rule.m_WriteBuffer, c.bWrite);
    EXPECT_EQ(rule.m_Folder, c.szFolder);
    EXPECT_EQ(rule.m_Step, c.bStep);
  }
}

// Where DeleteFolderTree leaves the current directory, and whether the tree
// goes. R:\EFI\OEM holds files and folders.
TEST(FileOps, DeleteFolderTreeStepsOutOfTheWay) {
  struct Case {
    const wchar_t* szCurrent;
    const wchar_t* szPath;
    const wchar_t* szCurrentAfter;
    bool bResult;
  };
  // Current directories of 259 and 260 characters: the first fits the read
  // buffer with its terminator, the second does not and reads empty, so
  // nothing is stepped.
  const std::wstring szBin = L"C:\\Tools\\Setup\\Bin\\";
  const std::wstring sz259 = szBin + std::wstring(259 - szBin.size(), L'd');
  const std::wstring sz260 = szBin + std::wstring(260 - szBin.size(), L'e');
  const Case kCases[] = {
      {L"C:\\Tools\\Setup\\Bin", L"R:\\EFI\\OEM", L"C:\\Tools", true},
      {L"R:\\EFI\\OEM\\Boot", L"R:\\EFI\\OEM", L"R:\\EFI", true},
      {L"R:\\EFI\\OEM", L"R:\\EFI\\OEM", L"R:\\EFI", true},
      {L"r:\\efi", L"R:\\EFI\\OEM", L"r:\\efi", true},  // already above it, case ignored
      {L"C:\\Tools", L"R:\\EFI\\Missing", L"C:\\Tools", false},
      // The parent cannot become the current directory: the stepping ends.
      {L"C:\\Gone\\Deeper", L"R:\\EFI\\OEM", L"C:\\Gone\\Deeper", true},
      {sz259.c_str(), L"R:\\EFI\\OEM", L"C:\\Tools", true},
      {sz260.c_str(), L"R:\\EFI\\OEM", sz260.c_str(), true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szCurrent)));
    sim::SimMachine machine = test::MakeMachine();
    test::AddPartition(test::AddDisk(machine, 0), 1, L"ESP", L"R:");
    sim::PrepareMachine(machine);
    sim::SimVolumeFiles& esp = machine.m_Disks[0].m_Partitions[0].m_Files;
    sim::AddFile(esp, L"EFI\\OEM\\Boot\\bootmgfw.efi", false, false, "x");
    sim::AddFile(esp, L"EFI\\OEM\\Boot\\fonts", true, false, "");
    for (const std::wstring& szFolder : {sz259, sz260}) {
      sim::AddFile(machine.m_Drives[L"C:"].m_Files, szFolder.substr(3), true, false, "");
    }
    machine.m_CurrentDirectory = c.szCurrent;
    sim::ScopedSimMachine installed(machine);

    EXPECT_EQ(DeleteFolderTree(c.szPath), c.bResult);
    EXPECT_TRUE(machine.m_Dialogs.empty());  // the shell was told not to ask
    EXPECT_EQ(machine.m_CurrentDirectory, c.szCurrentAfter);
    EXPECT_EQ(sim::FindFile(machine, L"R:\\EFI\\OEM\\Boot\\bootmgfw.efi") == nullptr, c.bResult);
    EXPECT_NE(sim::FindFile(machine, L"R:\\EFI"), nullptr);
  }
}

// Cut to 260 characters, the path would name its parent folder, which
// would be deleted instead.
TEST(FileOps, PathTooLongToDeleteIsRefused) {
  sim::SimMachine machine = test::MakeMachine();
  const std::wstring szKept = L"C:\\" + std::wstring(257, L'k');
  sim::PrepareMachine(machine);
  sim::AddFile(machine.m_Drives[L"C:"].m_Files, szKept.substr(3) + L"\\x\\file", false, false, "");
  sim::ScopedSimMachine installed(machine);
  ASSERT_EQ(szKept.size(), kDeletePathChars);
  EXPECT_FALSE(DeleteFolderTree((szKept + L"\\x").c_str()));
  EXPECT_NE(sim::FindFile(machine, szKept + L"\\x\\file"), nullptr);
  EXPECT_TRUE(DeleteFolderTree(szKept.c_str()));
  EXPECT_EQ(sim::FindFile(machine, szKept), nullptr);
}

// The directory search of the simulated machine answers as Windows does.
TEST(FileOps, FileExistsFindsFilesAndFoldersButNoRootOrTrailingBackslash) {
  struct Case {
    const wchar_t* szPath;
    bool bFound;
  };
  const Case kCases[] = {
      {L"C:\\Tools", true},          {L"C:\\TOOLS\\malvik.exe", true},
      {L"C:\\Tools\\hidden", true},  {L"C:\\Tools\\missing", false},
      {L"C:\\", false},              {L"R:\\", false},
      {L"C:\\Tools\\", false},       {L"C:\\Tools\\*.EXE", true},
      {L"C:\\Tools\\h?dden", true},  {L"C:\\Tools\\*.cmd", false},
      {L"C:\\*\\malvik.exe", false}, {L"malvik.exe", true},  // against C:\Tools
  };
  sim::SimMachine machine = test::MakeMachine();
  sim::PrepareMachine(machine);
  sim::AddFile(machine.m_Drives[L"C:"].m_Files, L"Tools\\hidden", false, true, "");
  sim::ScopedSimMachine installed(machine);
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szPath)));
    EXPECT_EQ(FileExists(c.szPath), c.bFound);
  }
}

// Windows cannot remove the current directory or a folder above it; the
// rest of the tree goes.
TEST(FileOps, SimulatedTreeDeleteKeepsTheCurrentDirectory) {
  sim::SimMachine machine = test::MakeMachine();
  sim::PrepareMachine(machine);
  sim::AddFile(machine.m_Drives[L"C:"].m_Files, L"Tools\\Sub\\file", false, false, "");
  machine.m_CurrentDirectory = L"C:\\Tools\\Sub";
  sim::ScopedSimMachine installed(machine);
  EXPECT_NE(platform::ShellDeleteTree(L"C:\\Tools\0", 0x0210), 0);
  EXPECT_NE(sim::FindFile(machine, L"C:\\Tools\\Sub"), nullptr);
  EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\Sub\\file"), nullptr);
  EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\malvik.exe"), nullptr);
}

// Told nothing, the shell asks before it deletes what the list names; the
// simulated person answers Yes.
TEST(FileOps, SimulatedTreeDeleteWithoutNoConfirmationAsksFirst) {
  struct Case {
    std::vector<std::wstring> m_Paths;
    const wchar_t* szTitle;  // nullptr: nothing exists, nothing asked
    const wchar_t* szText;
  };
  const Case kCases[] = {
      {{L"C:\\Tools\\Sub"}, L"Delete Folder",
       L"Are you sure you want to permanently delete this folder?"},
      {{L"C:\\Tools\\Sub\\file"}, L"Delete File",
       L"Are you sure you want to permanently delete this file?"},
      {{L"C:\\Tools\\Sub", L"C:\\Tools\\malvik.exe"}, L"Delete Multiple Items",
       L"Are you sure you want to permanently delete these 2 items?"},
      {{L"C:\\Tools\\missing"}, nullptr, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Paths));
    sim::SimMachine machine = test::MakeMachine();
    sim::PrepareMachine(machine);
    sim::AddFile(machine.m_Drives[L"C:"].m_Files, L"Tools\\Sub\\file", false, false, "");
    sim::ScopedSimMachine installed(machine);
    std::wstring szList;  // each path ends in a NUL; c_str() adds the list's own
    for (const std::wstring& szPath : c.m_Paths) szList += szPath + L'\0';
    const int nResult = platform::ShellDeleteTree(szList.c_str(), 0x0200);
    if (c.szTitle == nullptr) {
      EXPECT_NE(nResult, 0);
      EXPECT_TRUE(machine.m_Dialogs.empty());
      continue;
    }
    EXPECT_EQ(nResult, 0);
    for (const std::wstring& szPath : c.m_Paths) {
      EXPECT_EQ(sim::FindFile(machine, szPath), nullptr);  // deleted all the same
    }
    ASSERT_EQ(machine.m_Dialogs.size(), 1u);
    EXPECT_EQ(machine.m_Dialogs[0].m_Title, c.szTitle);
    EXPECT_EQ(machine.m_Dialogs[0].m_Text, c.szText);
    EXPECT_EQ(machine.m_Dialogs[0].m_Buttons, L"Yes, No");
  }
}

}  // namespace
