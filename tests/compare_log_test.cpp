#include <gtest/gtest.h>

#include <sstream>

#include "simulator/sim_loader.h"
#include "simulator/sim_text.h"
#include "tools/default_machine.h"
#include "tools/sim_run.h"
#include "tools/compare_log.h"
#include "tools/difference_causes.h"

namespace {

// A field log of two runs in 8-bit text; the second begins with a failed
// inventory attempt, whose retry must not be taken for a third run.
const char kFieldLog[] =
    "[Malvik]\r\n"
    "2026/ 3/ 6 10: 0: 0:  1 Get Disk info=\r\n"
    "2026/ 3/ 6 10: 0: 0:  2 m_DiskCount=\r\n"
    "2026/ 3/ 7  9: 5: 2: 45 Get Disk info=\r\n"
    "2026/ 3/ 7  9: 5: 2:145 [0]Error Getting System Disk Info. Return Code:10=\r\n"
    "2026/ 3/ 7  9: 5: 2:245 Get Disk info=\r\n"
    "2026/ 3/ 7  9: 5: 2:300 [1]No need to mount SYS=Syst\xe8me\r\n";

TEST(CompareLog, TakesTheLastRunAndIgnoresTimeStamps) {
  const FieldLog log = ReadFieldLog(kFieldLog, 1252);
  const std::vector<LogLine>& field = log.m_Lines;
  ASSERT_EQ(field.size(), 4u);
  EXPECT_EQ(field[0].m_Key, L"Get Disk info");
  EXPECT_EQ(field[3].m_Value, L"Syst\u00e8me");

  std::vector<LogLine> run = {
      {L"2026/ 1/ 1  0: 0: 0:  0 Get Disk info", L""},
      {L"2026/ 1/ 1  0: 0: 0:100 [0]Error Getting System Disk Info. Return Code:10", L""},
      {L"2026/ 1/ 1  0: 0: 0:200 Get Disk info", L""},
      {L"2026/ 1/ 1  0: 0: 0:300 [1]No need to mount SYS", L"Syst\u00e8me"},
  };
  EXPECT_TRUE(CompareLogs(field, run).m_Agrees);

  run[3].m_Value = L"SYSTEME";
  const LogComparison detail = CompareLogs(field, run);
  EXPECT_FALSE(detail.m_Agrees);
  EXPECT_EQ(detail.m_FirstDifference, 3u);
  std::ostringstream out;
  WriteComparison(out, "Malvik.log", log, run, detail);
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
            "Log comparison: this run differs from Malvik.log (log holds 2 runs; compared run 2, "
            "from file line 4; read as code page 1252) at line 4 of the run, line 7 of the file.");

  run[3].m_Value = L"Syst\u00e8me";
  run[2].m_Key = L"2026/ 1/ 1  0: 0: 0:200 Get Disk inf0";  // the key alone differs
  EXPECT_EQ(CompareLogs(field, run).m_FirstDifference, 2u);
  run[2].m_Key = L"2026/ 1/ 1  0: 0: 0:200 Get Disk info";

  run.pop_back();
  EXPECT_EQ(CompareLogs(field, run).m_FirstDifference, 3u);  // one side ends early
}

// "log holds N runs; compared run K": a run picked by its number, the last
// by default; one the file does not hold reads nothing and says how many
// there are.
TEST(CompareLog, PicksARunAndSaysWhichOfHowMany) {
  struct Case {
    size_t nRun;
    size_t nLines;
    const char* szSaid;  // the start of the agreement's parenthesis, or why nothing was read
  };
  const Case kCases[] = {
      {0, 4, "log holds 2 runs; compared run 2, from file line 4;"},
      {2, 4, "log holds 2 runs; compared run 2, from file line 4;"},
      {1, 2, "log holds 2 runs; compared run 1, from file line 2;"},
      {3, 0, "it holds 2 runs, so no run 3 (--log-run counts from 1)"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nRun);
    const FieldLog log = ReadFieldLog(kFieldLog, 1252, c.nRun);
    EXPECT_EQ(log.m_Runs, 2u);
    ASSERT_EQ(log.m_Lines.size(), c.nLines);
    if (c.nLines == 0) {
      EXPECT_EQ(log.m_NoLinesBecause, c.szSaid);
      continue;
    }
    std::ostringstream out;
    WriteComparison(out, "Malvik.log", log, log.m_Lines, CompareLogs(log.m_Lines, log.m_Lines));
    EXPECT_NE(out.str().find(std::string(" lines, time stamps aside; ") + c.szSaid),
              std::string::npos)
        << out.str();
  }
}

// A stamp is removed only when it is whole, whatever its width; anything
// else is left as the message.
TEST(CompareLog, TimeStampIsRemovedOnlyWhenWhole) {
  const std::pair<std::wstring, std::wstring> kCases[] = {
      {L"2026/ 3/ 7  9: 5: 2: 45 Get Disk info", L"Get Disk info"},
      {L"2026/3/7 9:5:2:45 Get Disk info", L"Get Disk info"},
      {L"2026/12/17 19:55:42:145 m_DiskCount", L"m_DiskCount"},
      {L"m_DiskCount", L"m_DiskCount"},
      {L"2026/ 3/ 7 Get Disk info", L"2026/ 3/ 7 Get Disk info"},
      {L"2026- 3- 7  9: 5: 2: 45 Get Disk info", L"2026- 3- 7  9: 5: 2: 45 Get Disk info"},
      {L"2026/ 3/ 7  9: 5: 2: 45", L"2026/ 3/ 7  9: 5: 2: 45"},
  };
  for (const auto& [szKey, szMessage] : kCases) EXPECT_EQ(WithoutTimeStamp(szKey), szMessage);
}

// The causes a capture cannot know, named only where the first difference
// fits them.
TEST(CompareLog, NamesTheCausesThatFitTheDifference) {
  struct Case {
    std::vector<LogLine> field;
    std::vector<LogLine> simulated;
    std::vector<std::string> causes;
    size_t nAt = 0;
    bool bAssumedRebuiltBcd = false;
  };
  const LogLine efi = {L"AssignLetterToEFI", L""};
  const LogLine summary = {L"RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n", L""};
  const LogLine given = {L"RecoveryLetter:X:   ESPLetter:Y:   PBRLetter:Z:\n", L""};
  const LogLine disks = {L"Disks 0 : Partitions 5", L""};
  const LogLine noAccess = {L"ERROR_NOACCESS", L"Boot system from UEFI BIOS"};
  const Case kCases[] = {
      {{given}, {summary}, {"arguments"}},
      // Letters given skip the rule that logs the disks: the summary follows.
      {{noAccess, given}, {disks, noAccess, summary}, {"arguments"}},
      {{summary}, {}, {}},
      {{{L"ExitCode:0x7", L""}}, {{L"ExitCode:0x0", L""}}, {"script_exit_code"}},
      // A legacy machine captured after a run: its System Reserved partition
      // has a letter now, so no sweep looks for it.
      {{disks}, {{L"[1]AssignLetterToSYS", L""}}, {"captured_after_run"}},
      {{{L"[EFI]AssignLetterToRECOVERY", L""}}, {{L"[EFI]AssignLetterToPBR", L""}}, {}},
      {{{L"R:\\EFI\\OEM", L"false"}}, {{L"R:\\EFI\\OEM", L"true"}}, {"captured_after_run"}},
      // The boot store the scripts rebuild: assumed by the replay, or not.
      {{{L"R:\\EFI\\OEM\\boot\\BCD", L"true"}},
       {{L"R:\\EFI\\OEM\\boot\\BCD", L"false"}},
       {"rebuilt_bcd"}},
      {{{L"R:\\EFI\\OEM\\boot\\BCD", L"false"}},
       {{L"R:\\EFI\\OEM\\boot\\BCD", L"true"}},
       {"rebuilt_bcd", "captured_after_run"}, 0, true},
      {{{L"R:\\EFI\\OEM\\boot\\BCD", L"false"}},
       {{L"R:\\EFI\\OEM\\boot\\BCD", L"true"}},
       {"captured_after_run"}},
      {{{L"R:\\EFI\\OEM\\BCD", L"false"}}, {{L"R:\\EFI\\OEM\\BCD", L"true"}},
       {"captured_after_run"}, 0, true},
      // The rules' own letters given: the summaries agree, the disk lines
      // of the skipped rule are missing on one side.
      {{efi, noAccess, summary}, {efi, disks, noAccess, summary}, {"arguments"}, 1},
      {{efi, disks, noAccess}, {efi, noAccess}, {"arguments"}, 1},
      {{disks, noAccess}, {noAccess}, {}},
      {{{L"[1]No need to mount SYS", L"Boot"}}, {{L"[1]No need to mount SYS", L"BOOT"}}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(sim::ToUtf8(c.field.front().m_Key));
    std::vector<std::string> names;
    for (const DifferenceCause& cause :
         DifferenceCauses(c.field, c.simulated, c.nAt, c.bAssumedRebuiltBcd)) {
      names.push_back(cause.m_Name);
    }
    EXPECT_EQ(names, c.causes);
  }

  FieldLog log = ReadFieldLog("[Malvik]\r\n2026/ 3/ 7  9: 5: 3:177 ExitCode:0x7=\r\n", 1252);
  std::ostringstream out;
  const std::vector<LogLine> run = {{L"2026/ 1/ 1  0: 0: 0:  0 ExitCode:0x0", L""}};
  WriteComparison(out, "Malvik.log", log, run, CompareLogs(log.m_Lines, run));
  EXPECT_NE(out.str().find("  What the replay assumed or a capture cannot know may cause it:\n"
                           "  - the scripts' exit codes, which a capture cannot know: give the "
                           "field run's\n"
                           "    in the description as scripts.NAME.exit_code (the ExitCode line "
                           "shows it in\n"
                           "    hexadecimal)\n"),
            std::string::npos)
      << out.str();
}

// Wine writes the line feed of the letter summary's key as a line end, so
// "=value" opens the next line; the key must still come back whole.
TEST(CompareLog, RejoinsAKeyWhoseLineFeedEndedItsLine) {
  const std::vector<LogLine> field = ReadFieldLog(
      "[Malvik]\r\n2026/12/ 7 15:57:55:309 RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\r\n=\r\n"
      "2026/12/ 7 15:57:56:  1 ExitCode:0x0=\r\n", 1252).m_Lines;
  ASSERT_EQ(field.size(), 2u);
  EXPECT_EQ(field[0].m_Key, L"RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n");
  EXPECT_EQ(field[1].m_Key, L"ExitCode:0x0");
}

// The log as malvik writes it, then as a user may hand it over: the bytes
// are read in the description's ANSI code page unless a byte-order mark says
// otherwise, and a line feed alone ends a line too.
TEST(CompareLog, ReadsTheLogInItsCodePageOrAsAnEditorSavedIt) {
  const std::string szAsWritten =
      "[Malvik]\r\n"
      "2026/ 3/ 7  9: 5: 2: 45 Get Disk info=\r\n"
      "2026/ 3/ 7  9: 5: 2:182 RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n=\r\n"
      "2026/ 3/ 7  9: 5: 2:300 [1]No need to mount SYS=Syst\xe9me\r\n";
  const std::u16string szText =
      u"[Malvik]\r\n"
      u"2026/ 3/ 7  9: 5: 2: 45 Get Disk info=\r\n"
      u"2026/ 3/ 7  9: 5: 2:182 RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n=\r\n"
      u"2026/ 3/ 7  9: 5: 2:300 [1]No need to mount SYS=Syst\u00e9me\r\n";
  auto utf16 = [&szText](bool bBigEndian) {
    std::string sz = bBigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : szText) {
      const char cHigh = static_cast<char>(c >> 8), cLow = static_cast<char>(c & 0xFF);
      sz += bBigEndian ? std::string{cHigh, cLow} : std::string{cLow, cHigh};
    }
    return sz;
  };
  std::string szLf = szAsWritten;
  for (size_t pos = szLf.find("\r\n"); pos != std::string::npos; pos = szLf.find("\r\n", pos)) {
    szLf.erase(pos, 1);
  }
  struct Case {
    const char* szName;
    std::string szBytes;
    std::uint32_t nAnsiCodePage;
    const char* szReadAs;
    std::wstring szLastValue;  // of the third line, on line 5 of the file
    const char* szNoLinesBecause;
  };
  const Case kCases[] = {
      {"as written, code page 1252", szAsWritten, 1252, "code page 1252", L"Syst\u00e9me", ""},
      {"as written, code page 850", szAsWritten, 850, "code page 850", L"Syst\u00dame", ""},
      {"LF line ends", szLf, 1252, "code page 1252", L"Syst\u00e9me", ""},
      {"UTF-16 LE", utf16(false), 850, "UTF-16 LE", L"Syst\u00e9me", ""},
      {"UTF-16 BE", utf16(true), 850, "UTF-16 BE", L"Syst\u00e9me", ""},
      {"empty", "", 1252, "code page 1252", L"", "the file is empty"},
      {"another section", "[Other]\r\nkey=value\r\n", 1252, "code page 1252", L"",
       "no [Malvik] section"},
      {"a section without lines", "[Malvik]\r\n\r\n", 1252, "code page 1252", L"",
       "no key=value lines after [Malvik]"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const FieldLog log = ReadFieldLog(c.szBytes, c.nAnsiCodePage);
    EXPECT_EQ(log.m_ReadAs, c.szReadAs);
    EXPECT_EQ(log.m_NoLinesBecause, c.szNoLinesBecause);
    if (*c.szNoLinesBecause != '\0') {
      EXPECT_TRUE(log.m_Lines.empty());
      continue;
    }
    ASSERT_EQ(log.m_Lines.size(), 3u);
    EXPECT_EQ(log.m_Runs, 1u);
    EXPECT_EQ(log.m_Lines[1].m_Key, L"RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n");
    EXPECT_EQ(log.m_Lines[2].m_Value, c.szLastValue);
    EXPECT_EQ(log.m_FileLines, (std::vector<size_t>{2, 3, 5}));
  }
}

// Logs as they come back from the field: runs cut short, saved by an
// editor, with other line ends. Each row: the bytes, whether the
// description names the code page, the runs found, how it was read, and the
// messages and last value of the last run.
TEST(CompareLog, ReadsFieldLogShapes) {
  auto stamped = [](const char* szTime, const std::string& szLine) {
    return std::string("2026/ 3/ 7  9:") + szTime + " " + szLine + "\r\n";
  };
  auto failed = [&](const char* szTime, int nAttempt) {
    // Appended, not "[" + ...: GCC 12 at -O2 misreads that as an overlapping copy.
    std::string szLine = "[";
    szLine += std::to_string(nAttempt);
    szLine += "]Error Getting System Disk Info. Return Code:5=";
    return stamped(szTime, szLine);
  };
  const std::string szGet = "Get Disk info=";
  const std::string szCount = "m_DiskCount=";
  const std::string szRun = stamped(" 0: 0:  0", szGet) + stamped(" 0: 0:  1", szCount);
  // Killed after its fourth failed attempt, during the retry delay.
  std::string szKilled = stamped(" 1: 0:  0", szGet) + failed(" 1: 0:  1", 0);
  for (int n = 1; n <= 3; ++n) szKilled += stamped(" 1: 0:101", szGet) + failed(" 1: 0:  1", n);
  std::string szTwenty;
  for (int n = 0; n < 20; ++n) szTwenty += stamped(" 2: 0:  0", szGet) + failed(" 2: 0:  1", n);
  const std::string szUtf8 = "[Malvik]\r\n" + stamped(" 0: 0:  0", szGet) +
                             stamped(" 0: 0:  1", "[EFI]No need to mount RECOVERY=RECOVERY-R\xC3\xA9" "cup");
  std::string szCrOnly = "[Malvik]\r" + szRun + stamped(" 0: 0:  2", "ExitCode:0x0=");
  for (size_t i = szCrOnly.find('\n'); i != std::string::npos; i = szCrOnly.find('\n', i)) {
    szCrOnly.erase(i, 1);
  }
  struct Case {
    const char* szName;
    std::string szBytes;
    bool bCodePageGiven;
    size_t nRuns;
    const char* szReadAs;  // its start
    std::vector<std::wstring> messages;
    std::wstring szLastValue;
  };
  const Case kCases[] = {
      {"a run killed during its retries, then one at once",
       "[Malvik]\r\n" + szRun + szKilled + stamped(" 1: 0:300", szGet) + failed(" 1: 0:400", 0) +
           stamped(" 1: 0:500", szGet) + stamped(" 1: 0:501", szCount),
       false, 3, "code page 1252", {L"Get Disk info", L"[0]Error Getting System Disk Info. Return Code:5",
       L"Get Disk info", L"m_DiskCount"}, L""},
      {"a run killed during its retries, the next started later",
       "[Malvik]\r\n" + szKilled + stamped(" 9: 0:  0", szGet) + stamped(" 9: 0:  1", szCount),
       false, 2, "code page 1252", {L"Get Disk info", L"m_DiskCount"}, L""},
      {"a retry that succeeds",
       "[Malvik]\r\n" + szKilled + stamped(" 1: 0:101", szGet) + stamped(" 1: 0:102", szCount), false,
       1, "code page 1252", {}, L""},
      {"twenty failed attempts, then a run at once",
       "[Malvik]\r\n" + szTwenty + stamped(" 2: 0:  1", szGet) + stamped(" 2: 0:  2", szCount),
       false, 2, "code page 1252", {L"Get Disk info", L"m_DiskCount"}, L""},
      {"UTF-8 without a byte-order mark", szUtf8, false, 1, "UTF-8 without a byte-order mark",
       {L"Get Disk info", L"[EFI]No need to mount RECOVERY"}, L"RECOVERY-R\u00e9cup"},
      {"UTF-8 without a mark, the code page given", szUtf8, true, 1,
       "code page 1252, the description's ansi_code_page",
       {L"Get Disk info", L"[EFI]No need to mount RECOVERY"}, L"RECOVERY-R\u00c3\u00a9cup"},
      {"1252 with \xC3\xA9",
       "[Malvik]\r\n" + stamped(" 0: 0:  0", "[EFI]No need to mount RECOVERY=R\xE9" "cup"), false,
       1, "code page 1252", {L"[EFI]No need to mount RECOVERY"}, L"R\u00e9cup"},
      {"1252 with \xC3\x80\xE2\x82\xAC, an overlong form of UTF-8",
       "[Malvik]\r\n" + stamped(" 0: 0:  0", "[EFI]No need to mount RECOVERY=\xC0\x80"), false,
       1, "code page 1252", {L"[EFI]No need to mount RECOVERY"}, L"\u00c0\u20ac"},
      {"CR line ends only", szCrOnly, false, 1, "code page 1252",
       {L"Get Disk info", L"m_DiskCount", L"ExitCode:0x0"}, L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const FieldLog log = ReadFieldLog(c.szBytes, 1252, 0, c.bCodePageGiven);
    EXPECT_EQ(log.m_Runs, c.nRuns);
    EXPECT_EQ(log.m_ReadAs.rfind(c.szReadAs, 0), 0u) << log.m_ReadAs;
    if (c.messages.empty()) continue;
    std::vector<std::wstring> messages;
    for (const LogLine& line : log.m_Lines) messages.push_back(line.m_Key);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(log.m_Lines.back().m_Value, c.szLastValue);
  }
}

// A field run given the rules' own letters, replayed without them: the
// summaries agree, and the difference where the skipped rule's disk lines
// stand names malvik's arguments and the description key that carries them.
TEST(CompareLog, ThreeLettersGivenNameTheArguments) {
  auto run = [](const std::vector<std::wstring>& args) {
    sim::SimMachine machine;
    std::string szError;
    EXPECT_TRUE(sim::LoadMachineText("default", kDefaultMachineJson, machine, szError)) << szError;
    const Outcome outcome = RunOnMachine(machine, args);
    return std::pair{outcome.m_pLog ? outcome.m_pLog->m_Bytes : std::string(), outcome.m_Log};
  };
  const FieldLog field = ReadFieldLog(run({L"W:", L"R:", L"M:"}).first, 1252);
  const std::vector<LogLine> replay = run({}).second;
  const LogComparison comparison = CompareLogs(field.m_Lines, replay);
  ASSERT_FALSE(comparison.m_Agrees);
  std::ostringstream out;
  WriteComparison(out, "Malvik.log", field, replay, comparison);
  EXPECT_NE(out.str().find("  - malvik's own arguments: the field run has no disk lines here"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("description's \"arguments\" list"), std::string::npos) << out.str();
}

}  // namespace
