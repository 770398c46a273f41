#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/copy_efi.h"
#include "core/efi_batch.h"
#include "platform/sim/sim_machine.h"
#include "tests/test_support.h"

namespace {

TEST(EfiBatch, BytesOfEveryShape) {
  struct Case {
    const char* szName;
    EfiBatchInput m_Input;
    const char* szBytes;
  };
  const Case kCases[] = {
      {"log folder missing, reset script",
       {L"C:\\Tools\\", L"R:", true, L"modifybcdtoPBR.cmd", L"M:"},
       "mkdir C:\\Tools\\Log\r\n"
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "C:\\Tools\\modifybcdtoPBR.cmd R: M: >> C:\\Tools\\Log\\modifybcdLog.log"},
      {"a program folder with a space is quoted, letters are not",
       {L"C:\\Program Files\\OEM\\", L"R:", false, L"modifybcdtoWinRE.cmd", L"W:"},
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "\"C:\\Program Files\\OEM\\modifybcdtoWinRE.cmd\" R: W: >> "
       "\"C:\\Program Files\\OEM\\Log\\modifybcdLog.log\""},
      {"empty letters, a folder with '&' and one without a one-byte form",
       {L"C:\\A&B\\\x263A\\", L"", true, L"modifybcdtoWinRE.cmd", L""},
       "mkdir \"C:\\A&B\\?\\Log\"\r\n"
       "mkdir \\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h \\EFI\\Microsoft\\* \\EFI\\OEM\\\r\n"
       "Del /Q /A:H \\EFI\\OEM\\Boot\\BCD\r\n"
       "\"C:\\A&B\\?\\modifybcdtoWinRE.cmd\"   >> \"C:\\A&B\\?\\Log\\modifybcdLog.log\""},
      {"a '%' is doubled, or cmd would expand %...% between two of them",
       {L"C:\\100%\\", L"R:", true, L"modifybcdtoWinRE.cmd", L"%W%"},
       "mkdir C:\\100%%\\Log\r\n"
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "C:\\100%%\\modifybcdtoWinRE.cmd R: %%W%% >> C:\\100%%\\Log\\modifybcdLog.log"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(BuildEfiBatch(c.m_Input), c.szBytes);
  }
}

const char kOldBatch[] = "stale commands from an earlier run, longer than any new batch file: ";

// C: holds the program, both scripts and an old batch file; the ESP (with
// \EFI\Microsoft unless bNoMicrosoft, and an old \EFI\OEM) is lettered
// szEsp; the reset partition M: holds pbrFiles.
sim::SimMachine EfiMachine(const std::vector<std::wstring>& pbrFiles, const std::wstring& szEsp = L"R:",
                           bool bNoMicrosoft = false) {
  sim::SimMachine machine = test::MakeMachine();
  machine.m_Firmware = {false, 998};  // UEFI: no legacy letter rules
  sim::SimDisk& disk = test::AddDisk(machine, 0);
  sim::SimVolumeFiles& c = test::AddPartition(disk, 1, L"Windows", L"C:").m_Files;
  sim::AddFile(c, L"Tools\\malvik.exe", false, false, "MZ");
  sim::AddFile(c, L"Tools\\modifybcdtoPBR.cmd", false, false, "");
  sim::AddFile(c, L"Tools\\modifybcdtoWinRE.cmd", false, false, "");
  sim::AddFile(c, L"Tools\\CopyEFI_byOEM.cmd", false, false, std::string(kOldBatch) + std::string(400, 'x'));
  sim::SimVolumeFiles& esp = test::AddPartition(disk, 2, L"ESP", szEsp).m_Files;
  if (!bNoMicrosoft) {
    for (const wchar_t* szFile : {L"bootmgfw.efi", L"bootmgr.efi", L"memtest.efi", L"fonts\\wgl4.ttf",
                                  L"resources\\bootres.dll"}) {
      sim::AddFile(esp, std::wstring(L"EFI\\Microsoft\\Boot\\") + szFile, false, false, "x");
    }
    sim::AddFile(esp, L"EFI\\Microsoft\\Boot\\BCD", false, true, "x");
  }
  sim::AddFile(esp, L"EFI\\OEM\\Boot\\old.txt", false, false, "old");
  sim::SimVolumeFiles& pbr = test::AddPartition(disk, 3, L"PUSH BUTTON", L"M:").m_Files;
  for (const std::wstring& sz : pbrFiles) {
    sim::AddFile(pbr, sz, sz.back() == L'\\', false, "");
  }
  machine.m_Scripts[L"modifybcdtoPBR.cmd"] = {7, "PBR done", 0, {}};
  machine.m_Scripts[L"modifybcdtoWinRE.cmd"] = {9, "WinRE done", 0, {}};
  return machine;
}

std::string BatchLine(const std::string& szBatch, int nLine) {
  std::vector<std::string> lines;
  for (size_t begin = 0;;) {
    const size_t end = szBatch.find("\r\n", begin);
    lines.push_back(szBatch.substr(begin, end == std::string::npos ? end : end - begin));
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  return nLine < 0 ? lines[lines.size() + nLine] : lines[nLine];
}

// The log's last eight lines: the exit code, then the presence lines.
std::vector<std::wstring> CopyStepLog(sim::SimMachine& machine,
                                      const std::wstring& szLog = L"C:\\Tools\\Log\\Malvik.log") {
  std::vector<std::wstring> out;
  const auto lines = test::ReadLog(machine, szLog);
  for (size_t i = lines.size() < 8 ? 0 : lines.size() - 8; i < lines.size(); ++i) {
    out.push_back(lines[i].m_Message + L"=" + lines[i].m_Value);
  }
  return out;
}

std::vector<std::wstring> Presence(const std::wstring& szExit, const std::wstring& szEsp,
                                   const char* szFlags) {
  const wchar_t* const kPaths[] = {L"", L"\\boot\\BCD", L"\\boot\\bootmgfw.efi",
                                   L"\\boot\\bootmgr.efi", L"\\boot\\memtest.efi",
                                   L"\\boot\\fonts", L"\\boot\\resources"};
  std::vector<std::wstring> out = {L"ExitCode:" + szExit + L"="};
  for (int i = 0; i < 7; ++i) {
    out.push_back(szEsp + L"\\EFI\\OEM" + kPaths[i] + L"=" + (szFlags[i] == '1' ? L"true" : L"false"));
  }
  return out;
}

TEST(CopyEfi, BatchFileHandOverAndPresenceLines) {
  struct Case {
    const char* szName;
    std::vector<std::wstring> m_PbrFiles;
    std::wstring m_Letters[3];  // recovery, ESP, PBR as given
    std::wstring m_EspAt;       // the ESP partition's letter
    bool bNoMicrosoft;
    bool bLogFolderFails;
    const char* szFirstLine;
    const char* szLastLine;
    const wchar_t* szExit;
    const wchar_t* szEspInLog;
    const char* szPresent;  // the seven presence values, 1 for true
  };
  const char kPbr[] = "C:\\Tools\\modifybcdtoPBR.cmd R: M: >> C:\\Tools\\Log\\modifybcdLog.log";
  const char kWinRe[] = "C:\\Tools\\modifybcdtoWinRE.cmd R: W: >> C:\\Tools\\Log\\modifybcdLog.log";
  const std::wstring kGiven[3] = {L"W:", L"R:", L"M:"};
  const Case kCases[] = {
      {"a \\Zeph2 folder", {L"Zeph2\\"}, {L"W:", L"R:", L"M:"}, L"R:", false, false,
       "mkdir R:\\EFI\\OEM ", kPbr, L"0x7", L"R:", "1011111"},
      {"no recovery folder", {L"Images\\"}, {L"W:", L"R:", L"M:"}, L"R:", false, false,
       "mkdir R:\\EFI\\OEM ", kWinRe, L"0x9", L"R:", "1011111"},
      {"a file named Zeph2", {L"Zeph2"}, {L"W:", L"R:", L"M:"}, L"R:", false, false,
       "mkdir R:\\EFI\\OEM ", kPbr, L"0x7", L"R:", "1011111"},
      {"\\Zeph_XP and \\Zeph_WIN8", {L"Zeph_XP\\", L"Zeph_WIN8\\"}, {L"W:", L"R:", L"M:"}, L"R:",
       false, false, "mkdir R:\\EFI\\OEM ", kPbr, L"0x7", L"R:", "1011111"},
      {"the log folder cannot be made before", {L"Zeph2\\"}, {L"W:", L"R:", L"M:"}, L"R:", false,
       true, "mkdir C:\\Tools\\Log", kPbr, L"0x7", L"R:", "1011111"},
      {"ESP given as Y:", {L"Zeph2\\"}, {L"W:", L"Y:", L"M:"}, L"Y:", false, false,
       "mkdir Y:\\EFI\\OEM ", "C:\\Tools\\modifybcdtoPBR.cmd Y: M: >> C:\\Tools\\Log\\modifybcdLog.log",
       L"0x7", L"Y:", "1011111"},
      // Paths without a letter lie on the current directory's drive, R: here.
      {"empty ESP letter", {}, {L"W:", L"", L"M:"}, L"R:", false, false, "mkdir \\EFI\\OEM ",
       "C:\\Tools\\modifybcdtoWinRE.cmd  W: >> C:\\Tools\\Log\\modifybcdLog.log", L"0x9", L"",
       "1011111"},
      {"no \\EFI\\Microsoft: the copy fails", {}, {L"W:", L"R:", L"M:"}, L"R:", true, false,
       "mkdir R:\\EFI\\OEM ", kWinRe, L"0x9", L"R:", "1000000"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = EfiMachine(c.m_PbrFiles, c.m_EspAt, c.bNoMicrosoft);
    machine.m_Faults.m_LogFolderFail = c.bLogFolderFails;
    if (c.m_Letters[1].empty()) machine.m_CurrentDirectory = L"R:\\";
    test::BuildContext(machine, c.m_Letters[0], c.m_Letters[1], c.m_Letters[2]);

    const sim::SimFile* pBatch = sim::FindFile(machine, L"C:\\Tools\\CopyEFI_byOEM.cmd");
    ASSERT_NE(pBatch, nullptr);
    EXPECT_EQ(BatchLine(pBatch->m_Bytes, 0), c.szFirstLine);
    EXPECT_EQ(BatchLine(pBatch->m_Bytes, -1), c.szLastLine);
    EXPECT_EQ(pBatch->m_Bytes.find(kOldBatch), std::string::npos);  // replaced in full
    EXPECT_EQ(CopyStepLog(machine), Presence(c.szExit, c.szEspInLog, c.szPresent));
    EXPECT_EQ(sim::FindFile(machine, c.m_EspAt + L"\\EFI\\OEM\\Boot\\old.txt"), nullptr);
    // No letter is defined by the run: the three the machine had, once each.
    EXPECT_EQ(machine.m_DosDevices.size(), 3u);
    for (const auto& [szLetter, stack] : machine.m_DosDevices) EXPECT_EQ(stack.size(), 1u) << szLetter;
    if (c.bLogFolderFails) {
      // Only the lines after the batch file made the folder reach the log.
      EXPECT_EQ(test::ReadLog(machine).size(), 8u);
    }
  }
}

// Each probe of a recovery folder costs a millisecond: the probe stops at
// the first folder found, in its order.
TEST(CopyEfi, RecoveryProbeStopsAtTheFirstFolder) {
  auto elapsed = [](const std::vector<std::wstring>& pbrFiles) {
    sim::SimMachine machine = EfiMachine(pbrFiles);
    machine.m_Costs.m_File = 1;
    test::BuildContext(machine, L"W:", L"R:", L"M:");
    return machine.m_ClockMs - machine.m_StartMs;
  };
  const auto nXp = elapsed({L"Zeph_XP\\"});
  EXPECT_EQ(elapsed({L"Zeph_XP\\", L"Zeph_WIN8\\"}), nXp);
  EXPECT_EQ(elapsed({L"Zeph_WIN8\\"}), nXp + 4);
}

// The batch file cannot be written and an older one is there: it is not
// run, and the log says so before the usual lines.
TEST(CopyEfi, StaleBatchFileIsNotRun) {
  sim::SimMachine machine = EfiMachine({L"Zeph2\\"});
  machine.m_Faults.m_BatchCreateFail = true;
  test::BuildContext(machine, L"W:", L"R:", L"M:");

  EXPECT_TRUE(machine.m_Runs.empty());
  const sim::SimFile* pBatch = sim::FindFile(machine, L"C:\\Tools\\CopyEFI_byOEM.cmd");
  ASSERT_NE(pBatch, nullptr);
  EXPECT_EQ(pBatch->m_Bytes.rfind(kOldBatch, 0), 0u);
  EXPECT_EQ(sim::FindFile(machine, L"C:\\Tools\\CopyEFI_byOEM.cmd.new"), nullptr);
  const auto lines = test::ReadLog(machine);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[lines.size() - 9].m_Message, L"Error Writing Batch File, not run");
  EXPECT_EQ(lines[lines.size() - 9].m_Value, L"C:\\Tools\\CopyEFI_byOEM.cmd");
  EXPECT_EQ(CopyStepLog(machine), Presence(L"0xffffffff", L"R:", "0000000"));
}

// Unquoted, the platform would start C:\Program.exe with the rest as its
// arguments.
TEST(CopyEfi, ProgramFolderWithASpaceIsQuoted) {
  sim::SimMachine machine = EfiMachine({L"Zeph2\\"});
  machine.m_Program = L"C:\\Program Files\\OEM\\malvik.exe";
  sim::SimVolumeFiles& c = machine.m_Disks[0].m_Partitions[0].m_Files;
  sim::AddFile(c, L"Program.exe", false, false, "MZ");
  sim::AddFile(c, L"Program Files\\OEM\\modifybcdtoPBR.cmd", false, false, "");
  test::BuildContext(machine, L"W:", L"R:", L"M:");

  ASSERT_EQ(machine.m_Runs.size(), 1u);
  EXPECT_EQ(machine.m_Runs[0].m_CommandLine, L"\"C:\\Program Files\\OEM\\CopyEFI_byOEM.cmd\"");
  EXPECT_EQ(CopyStepLog(machine, L"C:\\Program Files\\OEM\\Log\\Malvik.log"),
            Presence(L"0x7", L"R:", "1011111"));
  const sim::SimFile* pOutput = sim::FindFile(machine, L"C:\\Program Files\\OEM\\Log\\modifybcdLog.log");
  ASSERT_NE(pOutput, nullptr);
  EXPECT_EQ(pOutput->m_Bytes, "PBR done\r\n");
}

}  // namespace
