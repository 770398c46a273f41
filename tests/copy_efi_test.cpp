#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/copy_efi.h"
#include "core/efi_batch.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "tests/test_support.h"

namespace {

TEST(EfiBatch, BytesOfEveryShape) {
  struct Case {
    const char* szName;
    EfiBatchInput m_Input;
    BatchCodePage m_CodePage;
    const char* szBytes;  // nullptr: refused
  };
  const BatchCodePage k437 = {437, false};
  const Case kCases[] = {
      {"log folder missing, reset script",
       {L"C:\\Tools\\", L"R:", true, L"modifybcdtoPBR.cmd", L"M:"}, k437,
       "mkdir C:\\Tools\\Log\r\n"
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "C:\\Tools\\modifybcdtoPBR.cmd R: M: >> C:\\Tools\\Log\\modifybcdLog.log"},
      {"a program folder with a space is quoted, letters are not",
       {L"C:\\Program Files\\OEM\\", L"R:", false, L"modifybcdtoWinRE.cmd", L"W:"}, k437,
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "\"C:\\Program Files\\OEM\\modifybcdtoWinRE.cmd\" R: W: >> "
       "\"C:\\Program Files\\OEM\\Log\\modifybcdLog.log\""},
      {"an empty script letter, a folder with '&' and an e acute, in 437",
       {L"C:\\A&B\\\u00e9\\", L"R:", true, L"modifybcdtoWinRE.cmd", L""}, k437,
       "mkdir \"C:\\A&B\\\x82\\Log\"\r\n"
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "\"C:\\A&B\\\x82\\modifybcdtoWinRE.cmd\" R:  >> \"C:\\A&B\\\x82\\Log\\modifybcdLog.log\""},
      {"a '%' in a letter is doubled, or cmd would expand %...% between two of them",
       {L"C:\\Tools\\", L"R:", false, L"modifybcdtoWinRE.cmd", L"%W%"}, k437,
       "mkdir R:\\EFI\\OEM \r\n"
       "XCOPY /c /e /f /y /h R:\\EFI\\Microsoft\\* R:\\EFI\\OEM\\\r\n"
       "Del /Q /A:H R:\\EFI\\OEM\\Boot\\BCD\r\n"
       "C:\\Tools\\modifybcdtoWinRE.cmd R: %%W%% >> C:\\Tools\\Log\\modifybcdLog.log"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::string szBytes;
    EXPECT_EQ(EncodeEfiBatch(c.m_Input, c.m_CodePage, &szBytes), nullptr);
    EXPECT_EQ(szBytes, c.szBytes);
  }
}

// cmd reads the batch file in the console's code page: a program folder is
// written in that code page's bytes, or refused when it has no exact form
// there or holds what cmd reads as its own.
TEST(EfiBatch, ProgramFolderInTheConsoleCodePage) {
  struct Case {
    const wchar_t* szDir;
    platform::ConsoleCodePages m_Pages;  // input, output, OEM
    const char* szMkdir;                 // the batch file's first line; nullptr: refused
  };
  const Case kCases[] = {
      {L"C:\\Outils \u00e9\\", {437, 437, 437}, "mkdir \"C:\\Outils \x82\\Log\""},
      {L"C:\\Outils \u00e9\\", {850, 850, 437}, "mkdir \"C:\\Outils \x82\\Log\""},
      {L"C:\\\u00d8\\", {850, 850, 437}, "mkdir C:\\\x9d\\Log"},
      {L"C:\\\u00d8\\", {437, 437, 437}, nullptr},
      {L"C:\\\u00d8\\", {0, 0, 850}, "mkdir C:\\\x9d\\Log"},  // no console: the OEM one
      {L"C:\\Outils \u00e9\\", {65001, 65001, 437}, "mkdir \"C:\\Outils \xc3\xa9\\Log\""},
      {L"C:\\Outils \u00e9\\", {850, 437, 437}, nullptr},  // input and output differ: ASCII only
      {L"C:\\Tools\\", {850, 437, 437}, "mkdir C:\\Tools\\Log"},
      {L"C:\\T%OS%x\\", {437, 437, 437}, nullptr},  // expanded on the command line
      {L"C:\\A\"B\\", {437, 437, 437}, nullptr},
      {L"C:\\A\tB\\", {437, 437, 437}, nullptr},
      // Control characters, C1 included, even where the code page has them.
      {L"C:\\A\u007fB\\", {437, 437, 437}, nullptr},
      {L"C:\\A\u0085B\\", {65001, 65001, 437}, nullptr},
      {L"C:\\A\u009fB\\", {65001, 65001, 437}, nullptr},
      {L"C:\\A\u00a0B\\", {65001, 65001, 437}, "mkdir C:\\A\xc2\xa0""B\\Log"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szDir)) + " " +
                 std::to_string(c.m_Pages.m_Output));
    const EfiBatchInput input = {c.szDir, L"R:", true, L"modifybcdtoWinRE.cmd", L"W:"};
    std::string szBytes;
    const std::wstring* pRefused = EncodeEfiBatch(input, ChooseBatchCodePage(c.m_Pages), &szBytes);
    if (c.szMkdir == nullptr) {
      ASSERT_NE(pRefused, nullptr);
      EXPECT_EQ(*pRefused, c.szDir);
    } else {
      EXPECT_EQ(pRefused, nullptr);
      EXPECT_EQ(szBytes.substr(0, szBytes.find("\r\n")), c.szMkdir);
    }
  }
}

// The batch file's own words are ASCII: a code page that writes ASCII
// otherwise (UTF-7's "+AFw-" for '\\'), or that cannot be written at all,
// takes no batch file; a folder that cannot be written in the code page is
// refused, never written as an empty batch file.
TEST(EfiBatch, CodePagesThatKeepAscii) {
  for (const std::uint32_t nCodePage : {437u, 850u, 1252u, 65001u}) {
    EXPECT_TRUE(KeepsAscii(nCodePage)) << nCodePage;
  }
  for (const std::uint32_t nCodePage : {65000u, 932u, 0u}) EXPECT_FALSE(KeepsAscii(nCodePage)) << nCodePage;
  const EfiBatchInput input = {L"C:\\Tools\\", L"R:", false, L"modifybcdtoWinRE.cmd", L"W:"};
  std::string szBytes = "x";
  const std::wstring* pRefused = EncodeEfiBatch(input, {932, true}, &szBytes);
  EXPECT_EQ(pRefused, &input.m_ProgramDir);
  EXPECT_EQ(szBytes, "");
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
      {"ESP given in lower case", {L"Zeph2\\"}, {L"W:", L"r:", L"M:"}, L"R:", false, false,
       "mkdir r:\\EFI\\OEM ", "C:\\Tools\\modifybcdtoPBR.cmd r: M: >> C:\\Tools\\Log\\modifybcdLog.log",
       L"0x7", L"r:", "1011111"},
      {"no \\EFI\\Microsoft: the old \\EFI\\OEM is kept", {}, {L"W:", L"R:", L"M:"}, L"R:", true,
       false, "mkdir R:\\EFI\\OEM ", kWinRe, L"0x9", L"R:", "1000000"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = EfiMachine(c.m_PbrFiles, c.m_EspAt, c.bNoMicrosoft);
    machine.m_Faults.m_LogFolderFail = c.bLogFolderFails;
    test::BuildContext(machine, c.m_Letters[0], c.m_Letters[1], c.m_Letters[2]);

    const sim::SimFile* pBatch = sim::FindFile(machine, L"C:\\Tools\\CopyEFI_byOEM.cmd");
    ASSERT_NE(pBatch, nullptr);
    EXPECT_EQ(BatchLine(pBatch->m_Bytes, 0), c.szFirstLine);
    EXPECT_EQ(BatchLine(pBatch->m_Bytes, -1), c.szLastLine);
    EXPECT_EQ(pBatch->m_Bytes.find(kOldBatch), std::string::npos);  // replaced in full
    EXPECT_EQ(CopyStepLog(machine), Presence(c.szExit, c.szEspInLog, c.szPresent));
    // With nothing to copy, the old tree stays and the log says so by letter.
    const sim::SimFile* pOld = sim::FindFile(machine, c.m_EspAt + L"\\EFI\\OEM\\Boot\\old.txt");
    EXPECT_EQ(pOld != nullptr && pOld->m_Bytes == "old", c.bNoMicrosoft);
    const auto log = test::ReadLog(machine);
    const bool bKeptLine =
        log.size() >= 9 &&
        log[log.size() - 9].m_Message == L"Warning ESP Has No \\EFI\\Microsoft, old \\EFI\\OEM kept" &&
        log[log.size() - 9].m_Value == c.szEspInLog;
    EXPECT_EQ(bKeptLine, c.bNoMicrosoft);
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
// the first folder found, in its order, and each of the five hands over to
// the reset script.
TEST(CopyEfi, RecoveryProbeStopsAtTheFirstFolder) {
  auto run = [](const std::vector<std::wstring>& pbrFiles) {
    sim::SimMachine machine = EfiMachine(pbrFiles);
    machine.m_Costs.m_File = 1;
    test::BuildContext(machine, L"W:", L"R:", L"M:");
    EXPECT_EQ(machine.m_Runs.at(0).m_CommandLine, L"C:\\Tools\\CopyEFI_byOEM.cmd");
    EXPECT_EQ(machine.m_Runs[0].m_ExitCode, 7u) << "the reset script ran";
    return machine.m_ClockMs - machine.m_StartMs;
  };
  const wchar_t* const kInOrder[] = {L"Zeph_XP\\", L"Zeph_VISTA\\", L"Zeph_WIN7\\", L"Zeph2\\",
                                     L"Zeph_WIN8\\"};
  const auto nXp = run({kInOrder[0]});
  EXPECT_EQ(run({L"Zeph_XP\\", L"Zeph_WIN8\\"}), nXp);
  for (int i = 1; i < 5; ++i) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(kInOrder[i])));
    EXPECT_EQ(run({kInOrder[i]}), nXp + i);
  }
}

// Each way the batch file may not run, or run with an unknown end: the log
// says why before the not-run exit code. What is refused before the copy
// would start leaves the old \EFI\OEM and the old batch file as they were
// and starts nothing.
TEST(CopyEfi, NotRunSaysWhyAndKeepsWhatItCannotRebuild) {
  const std::wstring kDeepFolder = L"C:\\" + std::wstring(4100, L'd') + L"\\";
  struct Case {
    const char* szName;
    std::wstring m_EspGiven;
    std::wstring m_ProgramDir;
    std::uint32_t m_ConsoleCodePage;
    void (*m_Fault)(sim::SimFaults&);
    const wchar_t* szWhy;
    std::wstring m_Detail;
    bool bStarted;  // the batch file was written and started, so the old \EFI\OEM is gone
  };
  auto none = [](sim::SimFaults&) {};
  const Case kCases[] = {
      {"empty ESP letter", L"", L"C:\\Tools\\", 437, none,
       L"Error ESP Letter Is Not A Drive, not run", L"", false},
      {"ESP letter without its colon", L"esp", L"C:\\Tools\\", 437, none,
       L"Error ESP Letter Is Not A Drive, not run", L"esp", false},
      {"a folder cmd would read as another", L"R:", L"C:\\Outils \u00d8\\", 437, none,
       L"Error Batch File Cannot Hold Path, not run", L"C:\\Outils \u00d8\\", false},
      {"a folder cmd would expand", L"R:", L"C:\\T%OS%x\\", 437, none,
       L"Error Batch File Cannot Hold Path, not run", L"C:\\T%OS%x\\", false},
      {"a batch file path too long to start", L"R:", kDeepFolder, 437, none,
       L"Error Batch File Path Too Long To Start, not run", kDeepFolder + L"CopyEFI_byOEM.cmd",
       false},
      {"the batch file cannot be written", L"R:", L"C:\\Tools\\", 437,
       [](sim::SimFaults& f) { f.m_BatchCreateFail = true; }, L"Error Writing Batch File, not run",
       L"C:\\Tools\\CopyEFI_byOEM.cmd", false},
      {"a console code page that writes ASCII otherwise", L"R:", L"C:\\Tools\\", 65000, none,
       L"Error Console Code Page Not ASCII, not run", L"65000", false},
      {"the batch file cannot be renamed into place", L"R:", L"C:\\Tools\\", 437,
       [](sim::SimFaults& f) { f.m_BatchRenameFail = true; }, L"Error Writing Batch File, not run",
       L"C:\\Tools\\CopyEFI_byOEM.cmd", false},
      {"the start fails", L"R:", L"C:\\Tools\\", 437,
       [](sim::SimFaults& f) { f.m_ProcessStart = 5; }, L"Error Starting Batch File, not run",
       L"err=5", true},
      {"its exit code cannot be read", L"R:", L"C:\\Tools\\", 437,
       [](sim::SimFaults& f) { f.m_ExitCodeQueryFail = true; },
       L"Error Reading Batch File Exit Code, not known", L"", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = EfiMachine({L"Zeph2\\"});
    machine.m_Program = c.m_ProgramDir + L"malvik.exe";
    machine.m_ConsoleInputCodePage = machine.m_ConsoleOutputCodePage = c.m_ConsoleCodePage;
    sim::SimVolumeFiles& drive = machine.m_Disks[0].m_Partitions[0].m_Files;
    const std::wstring szOldBatch = c.m_ProgramDir.substr(3) + L"CopyEFI_byOEM.cmd";
    sim::AddFile(drive, szOldBatch, false, false, kOldBatch);
    c.m_Fault(machine.m_Faults);
    // An empty or relative ESP letter would name the current drive's \EFI\OEM.
    machine.m_CurrentDirectory = L"R:\\EFI";
    sim::AddFile(machine.m_Disks[0].m_Partitions[1].m_Files, L"EFI\\esp\\EFI\\OEM\\a.txt", false,
                 false, "a");
    const sim::SimVolumeFiles esp = machine.m_Disks[0].m_Partitions[1].m_Files;
    test::BuildContext(machine, L"W:", c.m_EspGiven, L"M:");

    const auto lines = test::ReadLog(machine, c.m_ProgramDir + L"Log\\Malvik.log");
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[lines.size() - 9].m_Message, c.szWhy);
    EXPECT_EQ(lines[lines.size() - 9].m_Value, c.m_Detail);
    EXPECT_EQ(lines[lines.size() - 8].m_Message, L"ExitCode:0xffffffff");
    EXPECT_EQ(machine.m_Runs.size(), c.bStarted ? 1u : 0u);
    const sim::SimFile* pOld = sim::FindFile(machine, L"C:\\" + szOldBatch);
    ASSERT_NE(pOld, nullptr);
    EXPECT_EQ(pOld->m_Bytes == kOldBatch, !c.bStarted);
    EXPECT_EQ(sim::FindFile(machine, L"C:\\" + szOldBatch + L".new"), nullptr);
    if (!c.bStarted) {
      // Byte for byte, every file of the EFI system partition as it was.
      const auto& after = machine.m_Disks[0].m_Partitions[1].m_Files.m_Entries;
      ASSERT_EQ(after.size(), esp.m_Entries.size());
      for (const auto& [szKey, file] : esp.m_Entries) {
        ASSERT_EQ(after.count(szKey), 1u) << szKey;
        EXPECT_EQ(after.at(szKey).m_Bytes, file.m_Bytes) << szKey;
      }
    }
  }
}

// A program folder in \EFI\OEM (by whichever letter the EFI system partition
// is reached), an ESP letter for the volume of the running Windows, a batch
// file path the process call cannot start: each is known before anything is
// deleted. The run says why and starts nothing; every file of every volume
// stays as it was, byte for byte, beside the new log.
TEST(CopyEfi, RefusedBeforeAnythingIsDeleted) {
  const std::wstring kLongest = L"C:\\" + std::wstring(238, L'd') + L"\\";  // 259 with the name
  const std::wstring kOneMore = L"C:\\" + std::wstring(239, L'd') + L"\\";
  struct Case {
    const char* szName;
    std::wstring m_ProgramDir;
    std::wstring m_EspGiven;
    const wchar_t* szAlias;  // a second letter, for the volume of szAliasOf; or null
    const wchar_t* szAliasOf;
    const wchar_t* szWhy;  // null: the batch file runs and the old \EFI\OEM goes
    std::wstring m_Detail;
  };
  const Case kCases[] = {
      {"program folder in \\EFI\\OEM", L"R:\\EFI\\OEM\\Tools\\", L"R:", nullptr, nullptr,
       L"Error Program Folder Lies In \\EFI\\OEM, not run", L"R:\\EFI\\OEM\\Tools\\"},
      {"program folder is \\EFI\\OEM, in lower case", L"r:\\efi\\oem\\", L"R:", nullptr, nullptr,
       L"Error Program Folder Lies In \\EFI\\OEM, not run", L"r:\\efi\\oem\\"},
      {"the ESP also at S:, the program there", L"S:\\EFI\\OEM\\Tools\\", L"R:", L"S:", L"R:",
       L"Error Program Folder Lies In \\EFI\\OEM, not run", L"S:\\EFI\\OEM\\Tools\\"},
      {"beside \\EFI\\OEM", L"R:\\EFI\\OEMTools\\", L"R:", nullptr, nullptr, nullptr, L""},
      {"ESP letter of the Windows volume", L"C:\\Tools\\", L"c:", nullptr, nullptr,
       L"Error ESP Letter Names The Windows Volume, not run", L"c:"},
      {"ESP letter of the Windows volume's second letter", L"C:\\Tools\\", L"D:", L"D:", L"C:",
       L"Error ESP Letter Names The Windows Volume, not run", L"D:"},
      {"batch file path of 259 characters", kLongest, L"R:", nullptr, nullptr, nullptr, L""},
      {"batch file path of 260 characters", kOneMore, L"R:", nullptr, nullptr,
       L"Error Batch File Path Too Long To Start, not run", kOneMore + L"CopyEFI_byOEM.cmd"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = EfiMachine({L"Zeph2\\"});
    machine.m_Program = c.m_ProgramDir + L"malvik.exe";
    if (c.szAlias != nullptr) {
      machine.m_DosDevices[c.szAlias] = {c.szAliasOf == std::wstring(L"R:")
                                             ? sim::PartitionDevicePath(0, 2)
                                             : sim::PartitionDevicePath(0, 1)};
    }
    sim::SimVolumeFiles& home =
        machine.m_Disks[0].m_Partitions[c.m_ProgramDir[0] == L'C' ? 0 : 1].m_Files;
    for (const wchar_t* szFile : {L"malvik.exe", L"modifybcdtoPBR.cmd"}) {
      sim::AddFile(home, c.m_ProgramDir.substr(3) + szFile, false, false, "MZ");
    }
    std::vector<sim::SimVolumeFiles> before;
    for (const sim::SimPartition& part : machine.m_Disks[0].m_Partitions) before.push_back(part.m_Files);
    test::BuildContext(machine, L"W:", c.m_EspGiven, L"M:");

    const auto lines = test::ReadLog(machine, c.m_ProgramDir + L"Log\\Malvik.log");
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(machine.m_Runs.size(), c.szWhy == nullptr ? 1u : 0u);
    if (c.szWhy == nullptr) {
      EXPECT_EQ(lines[lines.size() - 8].m_Message, L"ExitCode:0x7");
      EXPECT_EQ(sim::FindFile(machine, L"R:\\EFI\\OEM\\Boot\\old.txt"), nullptr);
      continue;
    }
    EXPECT_EQ(lines[lines.size() - 9].m_Message, c.szWhy);
    EXPECT_EQ(lines[lines.size() - 9].m_Value, c.m_Detail);
    EXPECT_EQ(lines[lines.size() - 8].m_Message, L"ExitCode:0xffffffff");
    for (size_t p = 0; p < before.size(); ++p) {
      const auto& after = machine.m_Disks[0].m_Partitions[p].m_Files.m_Entries;
      for (const auto& [szKey, file] : before[p].m_Entries) {
        ASSERT_EQ(after.count(szKey), 1u) << szKey;
        EXPECT_EQ(after.at(szKey).m_Bytes, file.m_Bytes) << szKey;
      }
      for (const auto& [szKey, file] : after) {
        // Only the log folder and its file are new.
        if (before[p].m_Entries.count(szKey) == 0) {
          EXPECT_NE(szKey.find(L"\\LOG"), std::wstring::npos) << szKey;
        }
      }
    }
  }
}

// Unquoted, the platform would start C:\Program.exe with the rest as its
// arguments; a folder with letters beyond ASCII reaches cmd in the console's
// code page, which it reads the batch file in.
TEST(CopyEfi, ProgramFolderWithASpaceOrForeignLetters) {
  struct Case {
    std::wstring m_Folder;  // below C:\, without backslashes
    std::uint32_t m_ConsoleCodePage;
    const wchar_t* szCommandLine;
  };
  const Case kCases[] = {
      {L"Program Files", 437, L"\"C:\\Program Files\\CopyEFI_byOEM.cmd\""},
      {L"Outils \u00e9", 437, L"\"C:\\Outils \u00e9\\CopyEFI_byOEM.cmd\""},
      {L"Outils\u00d8", 850, L"C:\\Outils\u00d8\\CopyEFI_byOEM.cmd"},
      // No console: the batch file gets a new one in the OEM code page, 437.
      {L"Outils \u00e9", 0, L"\"C:\\Outils \u00e9\\CopyEFI_byOEM.cmd\""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Folder));
    sim::SimMachine machine = EfiMachine({L"Zeph2\\"});
    machine.m_Program = L"C:\\" + c.m_Folder + L"\\malvik.exe";
    machine.m_ConsoleInputCodePage = machine.m_ConsoleOutputCodePage = c.m_ConsoleCodePage;
    sim::SimVolumeFiles& drive = machine.m_Disks[0].m_Partitions[0].m_Files;
    sim::AddFile(drive, L"Program.exe", false, false, "MZ");
    sim::AddFile(drive, c.m_Folder + L"\\modifybcdtoPBR.cmd", false, false, "");
    test::BuildContext(machine, L"W:", L"R:", L"M:");

    ASSERT_EQ(machine.m_Runs.size(), 1u);
    EXPECT_EQ(machine.m_Runs[0].m_CommandLine, c.szCommandLine);
    EXPECT_EQ(CopyStepLog(machine, L"C:\\" + c.m_Folder + L"\\Log\\Malvik.log"),
              Presence(L"0x7", L"R:", "1011111"));
    const sim::SimFile* pOutput =
        sim::FindFile(machine, L"C:\\" + c.m_Folder + L"\\Log\\modifybcdLog.log");
    ASSERT_NE(pOutput, nullptr);
    EXPECT_EQ(pOutput->m_Bytes, "PBR done\r\n");
  }
}

// What cmd reads in the batch file (the command-interpreter model: '%'
// first, then quotes, '^', '&', '|', '<', '>' and the delimiters , ; =)
// must hand over to the script with exactly the folder and letter malvik
// was given; what it cannot carry is refused before anything is deleted.
// The payloads only echo.
TEST(CopyEfi, ScriptGetsTheLettersAsGivenOrNothingRuns) {
  struct Case {
    const char* szName;
    std::wstring m_ProgramDir;
    std::wstring m_Recovery;  // the recovery script's letter: no recovery folder here
    const wchar_t* szRefused;  // the refused text; nullptr: the hand-over below
    const wchar_t* szScript;
  };
  const Case kCases[] = {
      {"a comma in the folder", L"C:\\A,B\\", L"W:", nullptr, L"C:\\A,B\\modifybcdtoWinRE.cmd"},
      {"a semicolon and an equals sign", L"C:\\A;B=C\\", L"W:", nullptr,
       L"C:\\A;B=C\\modifybcdtoWinRE.cmd"},
      {"a '%' pair in the letter", L"C:\\Tools\\", L"W:%OS%", nullptr, L"C:\\Tools\\modifybcdtoWinRE.cmd"},
      {"a lone '%' in the letter", L"C:\\Tools\\", L"W:%", nullptr, L"C:\\Tools\\modifybcdtoWinRE.cmd"},
      {"a pipe in the letter", L"C:\\Tools\\", L"W:|echo", L"W:|echo", nullptr},
      {"a quote that ends the quoting", L"C:\\Tools\\", L"W:\" & echo injected & \"",
       L"W:\" & echo injected & \"", nullptr},
      {"redirection", L"C:\\Tools\\", L"W:>x", L"W:>x", nullptr},
      {"a wildcard", L"C:\\Tools\\", L"W:*", L"W:*", nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = EfiMachine({});
    machine.m_Program = c.m_ProgramDir + L"malvik.exe";
    sim::SimVolumeFiles& drive = machine.m_Disks[0].m_Partitions[0].m_Files;
    sim::AddFile(drive, c.m_ProgramDir.substr(3) + L"modifybcdtoWinRE.cmd", false, false, "");
    const sim::SimVolumeFiles esp = machine.m_Disks[0].m_Partitions[1].m_Files;
    test::BuildContext(machine, c.m_Recovery, L"R:", L"M:");

    const auto lines = test::ReadLog(machine, c.m_ProgramDir + L"Log\\Malvik.log");
    ASSERT_GE(lines.size(), 9u);
    if (c.szRefused != nullptr) {
      EXPECT_EQ(lines[lines.size() - 9].m_Message, L"Error Batch File Cannot Hold Path, not run");
      EXPECT_EQ(lines[lines.size() - 9].m_Value, c.szRefused);
      EXPECT_EQ(machine.m_Runs.size(), 0u);
      EXPECT_EQ(machine.m_Disks[0].m_Partitions[1].m_Files.m_Entries.size(), esp.m_Entries.size());
      continue;
    }
    ASSERT_EQ(machine.m_Runs.size(), 1u);
    const sim::SimProcessRun& run = machine.m_Runs[0];
    EXPECT_EQ(run.m_HandOverScript, c.szScript);
    EXPECT_EQ(run.m_HandOverArgs, (std::vector<std::wstring>{L"R:", c.m_Recovery}));
    EXPECT_TRUE(run.m_HandOverRan);
    EXPECT_EQ(CopyStepLog(machine, c.m_ProgramDir + L"Log\\Malvik.log"), Presence(L"0x9", L"R:", "1011111"));
    const sim::SimFile* pOutput = sim::FindFile(machine, c.m_ProgramDir + L"Log\\modifybcdLog.log");
    ASSERT_NE(pOutput, nullptr);
    EXPECT_EQ(pOutput->m_Bytes, "WinRE done\r\n");
  }
}

}  // namespace
