#include <gtest/gtest.h>

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
  const std::vector<LogLine> field = LastRunOfFieldLog(kFieldLog);
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

  run.pop_back();
  EXPECT_EQ(CompareLogs(field, run).m_FirstDifference, 3u);  // one side ends early
}

// Wine writes the line feed of the letter summary's key as a line end, so
// "=value" opens the next line; the key must still come back whole.
TEST(CompareLog, RejoinsAKeyWhoseLineFeedEndedItsLine) {
  const std::vector<LogLine> field = LastRunOfFieldLog(
      "[Malvik]\r\n2026/12/ 7 15:57:55:309 RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\r\n=\r\n"
      "2026/12/ 7 15:57:56:  1 ExitCode:0x0=\r\n");
  ASSERT_EQ(field.size(), 2u);
  EXPECT_EQ(field[0].m_Key, L"RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n");
  EXPECT_EQ(field[1].m_Key, L"ExitCode:0x0");
}

}  // namespace
