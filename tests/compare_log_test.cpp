#include <gtest/gtest.h>

#include <sstream>

#include "tools/compare_log.h"

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
            "Log comparison: this run differs from Malvik.log (the last of its 2 runs, read as "
            "code page 1252) at line 4 of the run, line 7 of the file.");

  run.pop_back();
  EXPECT_EQ(CompareLogs(field, run).m_FirstDifference, 3u);  // one side ends early
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

}  // namespace
