// The pages of docs/ hold copies of what the programs define: the --help
// texts, the table of special partitions the letter rules read, and every
// exit status. A copy is either a generated block, between the lines
// "<!-- NAME: begin -->" and "<!-- NAME: end -->", which must equal what the
// code makes (MALVIK_UPDATE_DOCS=1, as scripts/update-docs sets it, rewrites
// it instead), or a table whose statuses must be exactly the program's. The
// release's quick start, docs/windows-quick-start.txt, is checked as Notepad
// needs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "core/entry.h"
#include "letters/special_partitions.h"
#include "platform/utf8.h"
#include "tests/test_support.h"
#include "tools/explore.h"
#include "tools/plan.h"
#include "tools/sim_command.h"
#include "tools/sim_options.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDocs = fs::path(MALVIK_SOURCE_DIR) / "docs";

std::string ReadText(const fs::path& path) { return test::ReadSourceFile(path.string()); }

std::string Fenced(const std::string& szText) { return "```text\n" + szText + "```\n"; }

std::string SimHelp() {
  const char* argv[] = {"malvik-sim", "--help"};
  std::ostringstream out, err;
  RunSimulator(2, argv, out, err);
  return out.str();
}

std::string MalvikHelp() {
  sim::SimMachine machine = test::MakeMachine();
  test::RunProgram(machine, {L"--help"});
  return machine.m_Console;
}

std::string CaptureHelp() { return RunCapture({L"--help"}).m_Stdout; }

// The table of special partitions as the rules read it, one row per kind in
// the order a label is tested.
std::string SpecialPartitionTable() {
  std::string sz =
      "| kind | label | fits when | UEFI rule gives it | legacy rule that looks for it |\n"
      "|---|---|---|---|---|\n";
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    const char* szFits = "";
    switch (kind.m_Test) {
      case LabelTest::kBeginsWith:
        szFits = "the label begins with this";
        break;
      case LabelTest::kWholeLabel:
        szFits = "the whole label is this";
        break;
    }
    const char* szLegacy = "";
    switch (kind.m_Legacy) {
      case LegacyRule::kNone:
        szLegacy = "none";
        break;
      case LegacyRule::kSystemReserved:
        szLegacy = "system reserved";
        break;
      case LegacyRule::kResetAndService:
        szLegacy = "reset and service";
        break;
    }
    const std::string szUefi = kind.m_FixedLetter != nullptr
                                   ? platform::TextToUtf8(std::wstring(kind.m_FixedLetter))
                                   : "not looked for";
    const std::string szText = platform::TextToUtf8(std::wstring(kind.m_Text));
    sz += std::string("| ") + kind.m_Role + " | `" + szText + "` | " + szFits + " | " + szUefi +
          " | " + szLegacy + " |\n";
  }
  return sz;
}

struct GeneratedBlock {
  const char* m_Page;
  const char* m_Name;
  std::string (*m_Make)();
};

const GeneratedBlock kGenerated[] = {
    {"malvik-sim.md", "malvik-sim usage", [] { return Fenced(kUsage); }},
    {"malvik-sim.md", "malvik-sim --help", [] { return Fenced(SimHelp()); }},
    {"field-workflow.md", "malvik-capture --help", [] { return Fenced(CaptureHelp()); }},
    {"deploying.md", "malvik --help", [] { return Fenced(MalvikHelp()); }},
    {"describing-a-machine.md", "special partitions", SpecialPartitionTable},
};

TEST(Docs, GeneratedBlocksAreWhatTheCodeMakes) {
  const bool bUpdate = std::getenv("MALVIK_UPDATE_DOCS") != nullptr;
  for (const GeneratedBlock& block : kGenerated) {
    SCOPED_TRACE(std::string(block.m_Page) + ": " + block.m_Name);
    const fs::path path = kDocs / block.m_Page;
    std::string szPage = ReadText(path);
    const std::string szBegin = std::string("<!-- ") + block.m_Name + ": begin -->\n";
    const std::string szEnd = std::string("<!-- ") + block.m_Name + ": end -->";
    const std::size_t nBegin = szPage.find(szBegin);
    ASSERT_NE(nBegin, std::string::npos) << "no line " << szBegin;
    const std::size_t nFrom = nBegin + szBegin.size();
    const std::size_t nEnd = szPage.find(szEnd, nFrom);
    ASSERT_NE(nEnd, std::string::npos) << "no line " << szEnd;
    const std::string szWanted = block.m_Make();
    ASSERT_FALSE(szWanted.empty());
    if (bUpdate) {
      szPage.replace(nFrom, nEnd - nFrom, szWanted);
      std::ofstream(path, std::ios::binary) << szPage;
      continue;
    }
    EXPECT_EQ(szPage.substr(nFrom, nEnd - nFrom), szWanted)
        << "scripts/update-docs rewrites it; review git diff docs/";
  }
}

// The statuses in the first column of the first table after the heading.
std::vector<int> StatusesUnder(const std::string& szPage, const std::string& szHeading) {
  std::vector<int> statuses;
  std::size_t nAt = szPage.find("\n" + szHeading + "\n");
  if (nAt == std::string::npos) return statuses;
  nAt = szPage.find("\n| status | when |\n|---|---|\n", nAt);
  if (nAt == std::string::npos) return statuses;
  std::istringstream rows(szPage.substr(nAt + 1));
  std::string szRow;
  std::getline(rows, szRow);
  std::getline(rows, szRow);
  while (std::getline(rows, szRow) && szRow.rfind("| ", 0) == 0) {
    statuses.push_back(std::atoi(szRow.c_str() + 2));
  }
  return statuses;
}

// Each program's exit statuses, listed once each and nothing else, in
// ascending order.
TEST(Docs, ExitStatusTablesListEveryStatus) {
  struct Case {
    const char* m_Page;
    const char* m_Heading;
    std::vector<int> m_Statuses;
  };
  const Case kCases[] = {
      {"deploying.md", "## Exit status", {kMalvikRan, kMalvikNoFramework}},
      {"malvik-sim.md", "## Exit status", {0, kSimDiffers, kSimCannotRun}},
      {"malvik-sim.md",
       "## Exit status of plan",
       {kPlanPassed, kPlanFailed, kPlanCannotRun, kPlanNotMalviks, kPlanOutRefused, kPlanFragile}},
      {"malvik-sim.md",
       "## Exit status of explore",
       {kExplorePassed, kExploreMachineFails, kExploreCannotRun, kExploreVariationFails}},
      {"field-workflow.md",
       "### Exit status of malvik-capture",
       {kCaptureWritten, kCaptureBadCommandLine, kCaptureIncompleteFolder, kCaptureNotWritten}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.m_Page) + ": " + c.m_Heading);
    std::vector<int> wanted = c.m_Statuses;
    std::sort(wanted.begin(), wanted.end());
    ASSERT_EQ(std::set<int>(wanted.begin(), wanted.end()).size(), wanted.size());
    EXPECT_EQ(StatusesUnder(ReadText(kDocs / c.m_Page), c.m_Heading), wanted);
  }
}

// The release zip's README.txt: CR LF line ends, which every Notepad shows,
// ASCII, which needs no byte-order mark, and a word on every program.
TEST(Docs, WindowsQuickStartIsPlainTextForNotepad) {
  const std::string szText = ReadText(kDocs / "windows-quick-start.txt");
  ASSERT_FALSE(szText.empty());
  for (std::size_t n = 0; n < szText.size(); ++n) {
    const unsigned char ch = static_cast<unsigned char>(szText[n]);
    ASSERT_TRUE(ch < 0x80 && (ch >= 0x20 || ch == '\r' || ch == '\n'))
        << "byte " << int(ch) << " at offset " << n;
    if (ch == '\n') {
      ASSERT_TRUE(n > 0 && szText[n - 1] == '\r') << "LF alone at offset " << n;
    }
    if (ch == '\r') {
      ASSERT_TRUE(n + 1 < szText.size() && szText[n + 1] == '\n') << "CR alone at offset " << n;
    }
  }
  EXPECT_EQ(szText.substr(szText.size() - 2), "\r\n");
  EXPECT_EQ(szText.find("| "), std::string::npos) << "a Markdown table";
  for (const char* szProgram :
       {"malvik.exe", "malvik-sim.exe", "malvik-capture.exe", "quenby.exe"}) {
    EXPECT_NE(szText.find(std::string("- ") + szProgram + " ("), std::string::npos)
        << "what " << szProgram << " is for";
  }
}

}  // namespace
