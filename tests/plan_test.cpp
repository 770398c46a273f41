// malvik-sim plan: the statuses it ends with for what the capture gives
// back, its steps on a full simulated machine, and how it starts the
// capture (a process, and a Windows command line).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>

#include "capture/capture.h"
#include "simulator/sim_loader.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"
#include "tools/host.h"
#include "tools/plan.h"
#include "tools/quoted_argument.h"
#include "tools/report_json.h"
#include "tools/sim_command.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

const std::string kLaptop = std::string(MALVIK_SOURCE_DIR) + "/examples/uefi-laptop.json";

std::string FileText(const std::string& szPath) {
  std::string szBytes, szWhy;
  EXPECT_TRUE(ReadHostFile(szPath, szBytes, szWhy)) << szPath << ": " << szWhy;
  return szBytes;
}

TEST(Plan, StatusFollowsTheCaptureAndTheVerdict) {
  const char kNoDiskFound[] =
      R"({"name": "wine", "program": "C:\\Tools\\malvik.exe",
          "disks": [{"media_type": "Fixed hard disk", "partitions": [{"letter": "C:",
            "files": ["Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd"]}]}]})";
  struct Case {
    const char* m_Name;
    HostRun m_Capture;
    std::string m_Description;
    int m_Status;
    std::string m_Err;  // part of standard error
    bool m_Report;      // a report on standard output
  };
  const Case kCases[] = {
      {"not started", {false, 0, "", "", "No such file or directory"}, "", 2,
       "malvik-sim plan: cannot run malvik-capture: No such file or directory\n", false},
      {"not malvik's folder",
       {true, 3, "", "malvik-capture: The program folder C:\\Work holds no malvik.exe\n", ""}, "",
       3, "malvik-sim plan: The program folder C:\\Work holds no malvik.exe\n", false},
      {"output kept", {true, 4, "", "malvik-capture: C:\\p.json exists and is kept\n", ""}, "", 4,
       "malvik-sim plan: C:\\p.json exists and is kept\n", false},
      {"another status", {true, 2, "", "", ""}, "", 2,
       "malvik-sim plan: malvik-capture ended with status 2: no description, so no plan\n",
       false},
      {"no description", {true, 0, "", "", ""}, "{\"disks\": 5", 2,
       "malvik-sim plan: the capture's description cannot be read, so no plan\n", false},
      {"no disk found", {true, 0, "", "  - malvik will find none of these disks\n", ""},
       kNoDiskFound, 1, "  - malvik will find none of these disks\n", true},
      {"passed", {true, 0, "", "malvik-capture: captured laptop\n", ""}, FileText(kLaptop), 0,
       "malvik-sim plan: captured laptop\n", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    std::ostringstream out, err;
    EXPECT_EQ(ReportPlan(c.m_Capture, c.m_Description, {}, false, false, out, err), c.m_Status)
        << err.str();
    EXPECT_NE(err.str().find(c.m_Err), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("Verdict") != std::string::npos, c.m_Report) << out.str();
  }
}

// The capture has no console; the plan takes this one's code pages, in
// which malvik will write its batch file: a folder name 437 cannot carry
// is refused there, and written in 1252.
TEST(Plan, TakesThisConsolesCodePages) {
  const std::string szDescription =
      std::regex_replace(FileText(kLaptop), std::regex("Tools"), "Outils\xE2\x82\xAC");
  const HostRun capture{true, 0, "", "", ""};
  for (const auto& [console, nStatus] :
       {std::pair{HostConsoleCodePages{}, kPlanFailed},
        std::pair{HostConsoleCodePages{437, 437}, kPlanFailed},
        std::pair{HostConsoleCodePages{1252, 1252}, kPlanPassed}}) {
    std::ostringstream out, err;
    EXPECT_EQ(ReportPlan(capture, szDescription, console, false, false, out, err), nStatus)
        << console.m_Output << "\n" << out.str();
  }
}

// plan --explore on a real capture: every variation runs as malvik would
// here, in this console (the folder 437 cannot carry is written in 1252 in
// each of them), and a fragile machine has a status of its own.
TEST(Plan, ExploresTheCapturedMachineAsItRunsHere) {
  sim::SimMachine machine;
  std::string szError;
  ASSERT_TRUE(sim::LoadMachineText(
      "laptop", std::regex_replace(FileText(kLaptop), std::regex("Tools"), "Outils\xE2\x82\xAC"),
      machine, szError))
      << szError;
  machine.m_CurrentDirectory = L"C:\\Outils\u20AC";
  CaptureRun capture;
  {
    sim::ScopedSimMachine installed(machine);
    capture = RunCapture({L"--current-directory", L"."});
  }
  ASSERT_EQ(capture.m_Status, 0) << capture.m_Stderr;
  const HostRun run{true, capture.m_Status, capture.m_Stdout, capture.m_Stderr, ""};
  struct Case {
    const char* m_Only;
    int m_Status;
  };
  for (const Case& c : {Case{"firmware", kPlanPassed}, Case{"program-folder", kPlanFragile}}) {
    SCOPED_TRACE(c.m_Only);
    std::ostringstream out, err;
    EXPECT_EQ(ReportPlan(run, capture.m_Stdout, {1252, 1252}, false, false, out, err,
                         std::nullopt, true, c.m_Only),
              c.m_Status)
        << out.str() << err.str();
    EXPECT_NE(out.str().find("The machine as described: passed\n"), std::string::npos);
  }
}

// A factory line's letters: in the description, or given after -- (plan --
// W: S: M:), which replace them.
TEST(Plan, RunsWithTheDescriptionsArgumentsUnlessGiven) {
  auto description = nlohmann::json::parse(FileText(kLaptop));
  description["arguments"] = {"X:", "Y:", "Z:"};
  const HostRun capture{true, 0, "", "", ""};
  struct Case {
    std::optional<std::vector<std::wstring>> m_Args;
    const char* m_Letters;
    int m_Status;
  };
  const Case kCases[] = {
      {std::nullopt, "RecoveryLetter:X:   ESPLetter:Y:   PBRLetter:Z:", kPlanFailed},
      {std::vector<std::wstring>{}, "RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:", kPlanPassed},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Letters);
    std::ostringstream out, err;
    EXPECT_EQ(ReportPlan(capture, description.dump(), {}, false, false, out, err, c.m_Args),
              c.m_Status);
    EXPECT_NE(out.str().find(c.m_Letters), std::string::npos) << out.str();
  }
}

// The log lines of a --json report, time stamps aside.
std::vector<std::string> LogLines(const std::string& szReport) {
  const std::regex stamp(R"(^\d{4}/[ \d]\d/[ \d]\d [ \d]\d:[ \d]\d:[ \d]\d:[ \d]{3} )");
  std::vector<std::string> lines;
  const auto report = nlohmann::json::parse(szReport);
  for (const auto& line : report["log"]) {
    lines.push_back(std::regex_replace(line["key"].get<std::string>(), stamp, "") + "=" +
                    line["value"].get<std::string>());
  }
  return lines;
}

// The capture run on a full machine, then the plan's own part: malvik's log
// in the plan is the log of malvik on the machine itself, whose scripts do
// what the plan assumes: exit 0 and rebuild the boot store.
TEST(Plan, OnAFullMachineLogsAsMalvikThere) {
  auto description = nlohmann::ordered_json::parse(FileText(kLaptop));
  sim::SimMachine original;
  std::string szError;
  ASSERT_TRUE(sim::LoadMachineText("laptop", description.dump(), original, szError)) << szError;
  // Typed in malvik's folder, where malvik.exe is started next.
  original.m_CurrentDirectory = L"C:\\Tools";
  sim::SimMachine machine = original;
  CaptureRun capture;
  {
    sim::ScopedSimMachine installed(machine);
    capture = RunCapture({L"--current-directory", L"."});
  }
  ASSERT_EQ(capture.m_Status, 0) << capture.m_Stderr;
  std::ostringstream plan, err;
  const HostRun run{true, capture.m_Status, capture.m_Stdout, capture.m_Stderr, ""};
  const int nStatus = ReportPlan(run, capture.m_Stdout, {}, true, false, plan, err);
  EXPECT_NE(err.str().find("malvik-sim plan: captured "), std::string::npos) << err.str();

  std::ostringstream direct;
  const Outcome outcome = RunOnMachine(original, {});
  WriteJson(direct, original, outcome, JudgeRun(original, outcome));
  EXPECT_EQ(nStatus, JudgeRun(original, outcome).Passed() ? kPlanPassed : kPlanFailed);
  EXPECT_GT(LogLines(plan.str()).size(), 10u);
  EXPECT_EQ(LogLines(plan.str()), LogLines(direct.str())) << plan.str();
}

// plan passes the capture's words on in its own terms: no option it does not
// take, LF line ends, each note once (in the report), and not the console
// note, which plan settles with its own console.
TEST(Plan, PassesOnTheCapturesWordsInItsOwnTerms) {
  const std::pair<HostRun, std::string> kRefusals[] = {
      {{true, 4, "",
        "malvik-capture: C:\\p.json exists and is kept; name another file, or add --force to "
        "replace it\r\n", ""},
       "malvik-sim plan: C:\\p.json exists and is kept; name another file\n"},
      {{true, 3, "",
        "malvik-capture: The program folder C:\\Work holds no malvik.exe\r\nmalvik-capture: "
        "nothing captured: name malvik's folder with --program FOLDER, or add "
        "--allow-incomplete to capture this one as it is\r\n", ""},
       "malvik-sim plan: The program folder C:\\Work holds no malvik.exe\nmalvik-sim plan: "
       "nothing captured: name malvik's folder with --program FOLDER\n"},
  };
  for (const auto& [capture, szErr] : kRefusals) {
    std::ostringstream out, err;
    ReportPlan(capture, "", {}, false, false, out, err);
    EXPECT_EQ(err.str(), szErr);
  }

  sim::SimMachine machine;
  std::string szError;
  ASSERT_TRUE(sim::LoadMachineText("laptop", FileText(kLaptop), machine, szError)) << szError;
  machine.m_ConsoleInputCodePage = machine.m_ConsoleOutputCodePage = 0;  // no console
  CaptureRun capture;
  {
    sim::ScopedSimMachine installed(machine);
    capture = RunCapture({L"--current-directory", L"."});
  }
  ASSERT_NE(capture.m_Stderr.find(sim::ToUtf8(kNoConsoleNote)), std::string::npos);
  std::string szCrLf;
  for (char c : capture.m_Stderr) szCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const HostRun run{true, 0, capture.m_Stdout, szCrLf, ""};
  std::ostringstream out, err;
  ReportPlan(run, capture.m_Stdout, {437, 437}, false, false, out, err);
  const std::string szAll = err.str() + out.str();
  EXPECT_EQ(err.str().find('\r'), std::string::npos);
  EXPECT_EQ(szAll.find("console_code_page"), std::string::npos) << szAll;
  sim::SimMachine described;
  ASSERT_TRUE(sim::LoadMachineText("capture", capture.m_Stdout, described, szError)) << szError;
  ASSERT_GT(described.m_Notes.size(), 1u);
  for (const std::wstring& szNote : described.m_Notes) {
    if (szNote == kNoConsoleNote) continue;
    const std::string sz = sim::ToUtf8(szNote).substr(0, 40);
    const size_t nFirst = szAll.find(sz);
    EXPECT_NE(nFirst, std::string::npos) << sz;
    EXPECT_EQ(szAll.find(sz, nFirst + 1), std::string::npos) << sz << "\n" << szAll;
  }
}

// Both outputs are read as they come: a program that fills standard error
// before it writes standard output does not hang the plan.
TEST(Plan, HostProgramGivesBothOutputsAndItsStatus) {
  const HostRun run = RunHostProgram(
      "/bin/sh", {"-c", "head -c 300000 /dev/zero | tr '\\0' e >&2; printf 'a b'; exit 3"});
  EXPECT_TRUE(run.m_Started) << run.m_Why;
  EXPECT_EQ(run.m_Status, 3);
  EXPECT_EQ(run.m_Stdout, "a b");
  EXPECT_EQ(run.m_Stderr, std::string(300000, 'e'));
  const HostRun missing = RunHostProgram("/nonexistent/malvik-capture", {});
  EXPECT_FALSE(missing.m_Started);
  EXPECT_EQ(missing.m_Why, "No such file or directory");
}

TEST(Plan, ArgumentsQuotedForAWindowsCommandLine) {
  const char* const kCases[][2] = {
      {"C:\\Tools", "C:\\Tools"},
      {"", "\"\""},
      {"C:\\My Tools\\", "\"C:\\My Tools\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
      {"a\\b c", "\"a\\b c\""},
  };
  for (const auto& c : kCases) EXPECT_EQ(QuotedArgument(c[0]), c[1]) << c[0];
}

}  // namespace
