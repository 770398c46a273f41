#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "tools/default_machine.h"
#include "tools/out_dir.h"
#include "tools/sim_command.h"
#include "tools/sim_options.h"
#include "tools/text_style.h"

namespace {

struct SimRun {
  int m_Status;
  std::string m_Out;
  std::string m_Err;
};

SimRun Simulate(std::vector<const char*> args, const std::string& szInput = "") {
  args.insert(args.begin(), "malvik-sim");
  std::ostringstream out, err;
  std::istringstream in(szInput);
  const int nStatus = RunSimulator(static_cast<int>(args.size()), args.data(), out, err, false, in);
  return {nStatus, out.str(), err.str()};
}

TEST(Simulator, DefaultMachineRunsAndReportsAsJson) {
  const SimRun run = Simulate({"--json"});
  ASSERT_EQ(run.m_Status, 0) << run.m_Err;
  const auto report = nlohmann::json::parse(run.m_Out);
  for (const char* szKey : {"exit_code", "console", "elapsed_ms", "log", "log_file", "batch_file",
                            "commands", "dialogs", "drives", "current_directory"}) {
    EXPECT_TRUE(report.contains(szKey)) << szKey;
  }
  EXPECT_EQ(report["exit_code"], 0);
  EXPECT_EQ(report["console"], "");
  ASSERT_FALSE(report["log"].empty());
  EXPECT_EQ(report["log"][0]["key"], "2026/ 3/ 7  9: 5: 2: 45 Get Disk info");
  EXPECT_NE(report["log_file"].get<std::string>().find("[Malvik]\r\n"), std::string::npos);
  EXPECT_EQ(report["drives"]["C:"]["label"], "Windows");
  EXPECT_EQ(report["commands"], nlohmann::json::array({"C:\\Tools\\CopyEFI_byOEM.cmd"}));
  EXPECT_EQ(report["interpreter"][0]["lines"].size(), 4u);
}

TEST(Simulator, ArgumentsAfterTheSeparatorReachTheProgram) {
  // The letter summary, wherever it stands in the log.
  auto summary = [](const nlohmann::json& report) {
    for (const auto& line : report["log"]) {
      const std::string szMessage = line["key"].get<std::string>().substr(24);
      if (szMessage.rfind("RecoveryLetter:", 0) == 0) return szMessage;
    }
    return std::string();
  };
  const auto report = nlohmann::json::parse(Simulate({"--json", "--", "X:", "Y:", "Z:"}).m_Out);
  EXPECT_EQ(summary(report), "RecoveryLetter:X:   ESPLetter:Y:   PBRLetter:Z:\n");
  const auto one = nlohmann::json::parse(Simulate({"--json", "--", "X:"}).m_Out);
  EXPECT_EQ(summary(one), "RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:\n");
}

// The description's "arguments" are malvik's in every command that runs it;
// arguments after -- replace them, -- alone with none. check takes its
// paths before --.
TEST(Simulator, ArgumentsComeFromTheDescriptionUnlessGivenAfterTheSeparator) {
  const std::string szDir = testing::TempDir() + "malvik-sim-arguments";
  std::filesystem::remove_all(szDir);
  std::filesystem::create_directories(szDir);
  auto description = nlohmann::json::parse(kDefaultMachineJson);
  description["arguments"] = {"X:", "Y:", "Z:"};
  const std::string szFile = szDir + "/line.json";
  std::ofstream(szFile) << description.dump();
  // The field log of a run with the description's letters.
  const std::string szOut = szDir + "/out";
  ASSERT_EQ(Simulate({"--machine", szFile.c_str(), "--out", szOut.c_str()}).m_Status, 0);
  const std::string szLog = szOut + "/C/Tools/Log/Malvik.log";
  const char* const szFileArg = szFile.c_str();
  const char* const szLogArg = szLog.c_str();

  struct Case {
    std::vector<const char*> args;
    int nStatus;
    const char* szOut;  // part of standard output
  };
  const Case kCases[] = {
      {{"--machine", szFileArg}, 0, "RecoveryLetter:X:   ESPLetter:Y:   PBRLetter:Z:"},
      {{"--machine", szFileArg, "--", "A:", "B:", "C:"}, 0,
       "RecoveryLetter:A:   ESPLetter:B:   PBRLetter:C:"},
      {{"--machine", szFileArg, "--"}, 0, "RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:"},
      {{"check", szFileArg}, 1, "X: "},
      {{"check", szFileArg, "--", "A:", "B:", "C:"}, 1, "A: "},
      {{"check", szFileArg, "--"}, 0, "1 passed, 0 failed"},
      {{"--machine", szFileArg, "--compare-log", szLogArg}, 0, "agree"},
      {{"--machine", szFileArg, "--compare-log", szLogArg, "--"}, 1,
       R"("arguments": ["X:", "Y:", "Z:"], or after --)"},
  };
  for (const Case& c : kCases) {
    std::string szLine;
    for (const char* sz : c.args) szLine += std::string(" ") + sz;
    SCOPED_TRACE(szLine);
    const SimRun run = Simulate(c.args);
    EXPECT_EQ(run.m_Status, c.nStatus) << run.m_Err;
    EXPECT_NE(run.m_Out.find(c.szOut), std::string::npos) << run.m_Out;
  }
}

// One description that cannot be read fails its own line; the rest of the
// fleet still runs.
TEST(Simulator, CheckFailsAnUnreadableDescriptionAndRunsTheOthers) {
  const std::string szDir = testing::TempDir() + "malvik-sim-fleet";
  std::filesystem::remove_all(szDir);
  std::filesystem::create_directories(szDir);
  std::ofstream(szDir + "/a-deep.json") << "{\"notes\": " << std::string(100, '[');
  std::ofstream(szDir + "/b-good.json") << kDefaultMachineJson;
  const SimRun run = Simulate({"check", "/dev/zero", szDir.c_str(), "/dev/urandom"});
  EXPECT_EQ(run.m_Status, 1);
  const std::string kLarger =
      ": $: the description is larger than the 8 MiB a description may hold\n";
  EXPECT_NE(run.m_Out.find("FAILED  /dev/zero" + kLarger), std::string::npos) << run.m_Out;
  EXPECT_NE(run.m_Out.find("FAILED  /dev/urandom" + kLarger), std::string::npos) << run.m_Out;
  EXPECT_NE(run.m_Out.find("FAILED  " + szDir + "/a-deep.json: notes"), std::string::npos)
      << run.m_Out;
  EXPECT_NE(run.m_Out.find("passed  " + szDir + "/b-good.json"), std::string::npos) << run.m_Out;
  EXPECT_NE(run.m_Out.find("\n1 passed, 3 failed\n"), std::string::npos) << run.m_Out;
}

TEST(Simulator, BadDescriptionExitsTwoWithOneLine) {
  const std::string szFile = testing::TempDir() + "unknown-key.json";
  std::ofstream(szFile) << R"({"disks": [{"partitions": [{"colour": "red"}]}]})";
  const SimRun run = Simulate({"--machine", szFile.c_str()});
  EXPECT_EQ(run.m_Status, 2);
  EXPECT_EQ(run.m_Out, "");
  EXPECT_EQ(run.m_Err, szFile + ": disks[0].partitions[0].colour: unknown key\n");
}

TEST(Simulator, BadCommandLineExitsTwo) {
  const SimRun run = Simulate({"--frobnicate"});
  EXPECT_EQ(run.m_Status, 2);
  EXPECT_NE(run.m_Err.find("usage:"), std::string::npos);
}

TEST(Simulator, CommandLinesGiveTheirStatusAndMessage) {
  const std::string szLaptop = std::string(MALVIK_SOURCE_DIR) + "/examples/uefi-laptop.json";
  const std::string szMachineIs = "--machine=" + szLaptop;
  struct Case {
    std::vector<const char*> args;
    const char* szInput;  // standard input
    int nStatus;
    const char* szErr;  // part of standard error
    const char* szOut;  // the start of standard output
  };
  const Case kCases[] = {
      {{"--frobnicate"}, "", 2, "malvik-sim: unknown option '--frobnicate'\nusage:", ""},
      {{"--machine"}, "", 2,
       "malvik-sim: --machine needs a value (a machine description file, or - for standard "
       "input)\n",
       ""},
      {{"--machine", "--json"}, "", 2, "--machine needs a value", ""},
      {{"--out="}, "", 2, "--out needs a value", ""},
      {{"--json=yes"}, "", 2, "malvik-sim: --json takes no value", ""},
      {{"--json", "--json"}, "", 2, "malvik-sim: --json given twice", ""},
      {{"--print-default-machine", "--machine", "x.json"}, "", 2,
       "malvik-sim: --print-default-machine and --machine cannot be used together", ""},
      {{"--print-default-machine", "--", "X:"}, "", 2, "malvik's arguments", ""},
      {{"examples"}, "", 2, "unexpected argument 'examples' (malvik's own arguments go after --)",
       ""},
      {{"check", "--out", "dir", "examples"}, "", 2,
       "malvik-sim check: --out is not an option of check", ""},
      {{"--json", "check", szLaptop.c_str()}, "", 0, "", "{\n  \"machines\""},
      {{"check", "--json", szLaptop.c_str()}, "", 0, "", "{\n  \"machines\""},
      {{"--json", szMachineIs.c_str(), "--", "--machine"}, "", 0, "", "{"},
      {{"--machine", "-"}, R"({"disks": [{"size": 1e26}]})", 2,
       "(standard input): disks[0].size: too large (the allowed range is 0 to", ""},
      {{"--json", "--machine", "-"}, R"({"disks": [{"size": 2, "partitions": [{"size": 9}]}]})",
       0, "(standard input): disks[0].partitions[0]: warning: ends at byte 1048585", "{"},
      {{"--version", "--json"}, "", 0, "", "malvik-sim 0."},
      {{"plan", "--machine", "x.json"}, "", 2,
       "malvik-sim plan: --machine is not an option of plan", ""},
      {{"plan", "X:"}, "", 2,
       "malvik-sim plan: unexpected argument 'X:' (malvik's own arguments go after --)", ""},
      {{"--program", "C:\\Tools"}, "", 2, "malvik-sim: --program is an option of plan", ""},
      {{"plan", "--json"}, "", 2, "malvik-sim plan: no malvik-capture beside malvik-sim in ", ""},
      {{"--log-run", "2"}, "", 2,
       "malvik-sim: --log-run picks a run of the --compare-log file; give that too", ""},
      {{"--compare-log", "Malvik.log", "--log-run=0"}, "", 2,
       "malvik-sim: --log-run 0: a run number is needed, from 1", ""},
      {{"--compare-log", "/dev/zero"}, "", 2,
       "malvik-sim: --compare-log: /dev/zero: larger than the 64 MiB a field log may hold\n", ""},
  };
  for (const Case& c : kCases) {
    std::string szLine;
    for (const char* sz : c.args) szLine += std::string(" ") + sz;
    SCOPED_TRACE(szLine);
    const SimRun run = Simulate(c.args, c.szInput);
    EXPECT_EQ(run.m_Status, c.nStatus) << run.m_Err;
    EXPECT_NE(run.m_Err.find(c.szErr), std::string::npos) << run.m_Err;
    EXPECT_EQ(run.m_Out.rfind(c.szOut, 0), 0u) << run.m_Out.substr(0, 200);
  }

  // Standard output that cannot take the report.
  std::ostream full(nullptr);
  std::ostringstream err;
  const char* argv[] = {"malvik-sim"};
  EXPECT_EQ(RunSimulator(1, argv, full, err), 2);
  EXPECT_EQ(err.str().rfind("malvik-sim: cannot write to standard output", 0), 0u) << err.str();
}

// --help lists the command line's words from one table: every option it
// lists is in the synopsis, which it shows, and each line fits 80 columns.
TEST(Simulator, HelpListsOnlyOptionsOfTheSynopsis) {
  const std::string szHelp = HelpText();
  const std::string szUsage = kUsage;
  EXPECT_NE(szHelp.find(szUsage), std::string::npos);
  std::istringstream lines(szHelp);
  int nOptions = 0;
  for (std::string szLine; std::getline(lines, szLine);) {
    SCOPED_TRACE(szLine);
    EXPECT_LE(szLine.size(), 80u);
    const size_t nName = szLine.find_first_not_of(' ');
    if (nName != 2 && nName != 4) continue;
    if (szLine.compare(nName, 2, "--") != 0) continue;
    const std::string szName = szLine.substr(nName, szLine.find(' ', nName) - nName);
    EXPECT_NE(szUsage.find(szName + (szName == "--" ? " " : "")), std::string::npos);
    ++nOptions;
  }
  EXPECT_GE(nOptions, 12);  // the loop found the options block
}

TEST(Simulator, AssumedRebuiltBootStoreIsWhatTheScriptsLeave) {
  // The built-in machine, its scripts leaving nothing, as in a capture.
  auto machine = nlohmann::json::parse(kDefaultMachineJson);
  for (auto& [szName, script] : machine["scripts"].items()) script.erase("creates");
  auto storeLine = [&machine](std::vector<const char*> args) {
    const auto report = nlohmann::json::parse(Simulate(args, machine.dump()).m_Out);
    for (const auto& line : report["log"]) {
      const std::string szKey = line["key"];
      if (szKey.substr(24) == "R:\\EFI\\OEM\\boot\\BCD") return line["value"].get<std::string>();
    }
    return std::string("(no line)");
  };
  EXPECT_EQ(storeLine({"--json", "--machine", "-"}), "false");
  EXPECT_EQ(storeLine({"--json", "--machine", "-", "--assume-rebuilt-bcd"}), "true");
}

TEST(Simulator, ColourOnlyOnATerminalThatShowsIt) {
  EXPECT_TRUE(UseColour(true, nullptr, "xterm-256color"));
  EXPECT_TRUE(UseColour(true, nullptr, nullptr));
  EXPECT_FALSE(UseColour(false, nullptr, "xterm"));
  EXPECT_FALSE(UseColour(true, "", "xterm"));
  EXPECT_FALSE(UseColour(true, nullptr, "dumb"));
}

TEST(Simulator, FrameworkFailureIsTheProgramsExitCode) {
  const std::string szFile = testing::TempDir() + "no-framework.json";
  std::ofstream(szFile) << R"({"faults": {"framework_init": "fail"}})";
  const SimRun run = Simulate({"--json", "--machine", szFile.c_str()});
  EXPECT_EQ(run.m_Status, 1);
  const auto report = nlohmann::json::parse(run.m_Out);
  EXPECT_EQ(report["console"], "Fatal Error: MFC initialization failed\n");
  EXPECT_TRUE(report["log"].empty());
  EXPECT_TRUE(report["log_file"].is_null());
}

TEST(Simulator, OutDirHoldsTheFilesAsWritten) {
  const std::string szDir = testing::TempDir() + "malvik-sim-out";
  std::filesystem::remove_all(szDir);
  ASSERT_EQ(Simulate({"--out", szDir.c_str()}).m_Status, 0);
  std::ifstream log(szDir + "/C/Tools/Log/Malvik.log", std::ios::binary);
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str().rfind("[Malvik]\r\n2026/ 3/ 7  9: 5: 2: 45 Get Disk info=\r\n", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(szDir + "/C/Tools/malvik.exe"));
}

// A fresh folder of its own below the test's temporary folder.
std::string FreshDir(const std::string& szName) {
  const std::string szDir = testing::TempDir() + szName;
  std::filesystem::remove_all(szDir);
  std::filesystem::create_directories(szDir);
  return szDir;
}

TEST(Simulator, DescriptionThatEscapesTheOutDirIsRefused) {
  const std::string szBase = FreshDir("malvik-sim-escape");
  const std::string szFile = szBase + "/escape.json";
  std::ofstream(szFile) << R"({"disks": [{"partitions": [{"letter": "E:",
      "files": [{"path": "a/../../../../escaped", "text": "x"}]}]}]})";
  const SimRun run = Simulate({"--machine", szFile.c_str(), "--out", (szBase + "/out/x").c_str()});
  EXPECT_EQ(run.m_Status, 2);
  EXPECT_EQ(run.m_Err, szFile + ": disks[0].partitions[0].files[0].path: expected a path relative "
                                "to the volume root: it has a \"..\" component\n");
  EXPECT_FALSE(std::filesystem::exists(szBase + "/out"));
  EXPECT_FALSE(std::filesystem::exists(szBase + "/escaped"));
}

TEST(Simulator, OutDirWritesNothingOutsideItsFolder) {
  // A machine built in code, past the loader's checks.
  const std::string szBase = FreshDir("malvik-sim-inside");
  sim::SimMachine machine;
  sim::PrepareMachine(machine);
  sim::AddFile(*sim::FindVolumeByLetter(machine, L"C:").Files(), L"Tools\\..\\..\\..\\escaped",
               false, false, "x");
  std::ostringstream err;
  EXPECT_FALSE(WriteOutDir(machine, szBase + "/out", err));
  EXPECT_NE(err.str().find(": refused: outside " + szBase + "/out\n"), std::string::npos)
      << err.str();
  EXPECT_FALSE(std::filesystem::exists(szBase + "/escaped"));
}

// What stands in DIR before the run is never written through or mixed with
// this run's files: the command stops before the run, naming what it found.
TEST(Simulator, OutDirRefusesWhatStandsInItAlready) {
  struct Case {
    const char* szName;
    bool bLink;              // DIR/C is a link to a folder outside DIR; else an earlier run's log
    const char* szFailedAt;  // below DIR
    const char* szWhat;
  };
  const Case kCases[] = {
      {"a link to elsewhere", true, "/C", "refused: a symbolic link, which --out never follows"},
      {"an earlier run's files", false, "",
       "refused: the folder is not empty (it holds C); --out writes only into a new or empty "
       "folder, so that no earlier run's files mix with this run's"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const std::string szBase = FreshDir("malvik-sim-in-use");
    const std::string szDir = szBase + "/out";
    std::filesystem::create_directories(szBase + "/elsewhere");
    if (c.bLink) {
      std::filesystem::create_directories(szDir);
      std::filesystem::create_directory_symlink(szBase + "/elsewhere", szDir + "/C");
    } else {
      std::filesystem::create_directories(szDir + "/C/Tools/Log");
      std::ofstream(szDir + "/C/Tools/Log/Malvik.log") << "[Malvik]\r\n";
    }
    const SimRun run = Simulate({"--out", szDir.c_str()});
    EXPECT_EQ(run.m_Status, 2);
    EXPECT_EQ(run.m_Out, "");
    EXPECT_EQ(run.m_Err, "malvik-sim: --out: " + szDir + c.szFailedAt + ": " + c.szWhat + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(szBase + "/elsewhere"));
  }
}

// With --json the comparison is part of the object; a file it reads no
// lines from stops the command with the reason.
TEST(Simulator, CompareLogGoesIntoTheJsonOrSaysWhyItReadNothing) {
  const std::string szBase = FreshDir("malvik-sim-compare");
  const std::string szLog = szBase + "/Malvik.log";
  std::ofstream(szLog, std::ios::binary)
      << "\r\n[Malvik]\r\n2026/ 3/ 6 10: 0: 0:  1 Get Disk info=\r\n";
  const SimRun run = Simulate({"--json", "--compare-log", szLog.c_str()});
  EXPECT_EQ(run.m_Status, 1);
  const auto compared = nlohmann::json::parse(run.m_Out)["compare_log"];
  EXPECT_EQ(compared["runs"], 1);
  EXPECT_EQ(compared["run"], 1);
  EXPECT_EQ(compared["run_file_line"], 3);
  EXPECT_EQ(compared["agrees"], false);
  EXPECT_EQ(compared["first_difference"]["run_line"], 2);
  EXPECT_TRUE(compared["first_difference"]["file_line"].is_null());
  EXPECT_EQ(compared["first_difference"]["simulated"]["key"], "m_DiskCount");

  std::ofstream(szLog, std::ios::binary) << "";
  const SimRun empty = Simulate({"--compare-log", szLog.c_str()});
  EXPECT_EQ(empty.m_Status, 2);
  EXPECT_EQ(empty.m_Out, "");
  EXPECT_EQ(empty.m_Err, "malvik-sim: --compare-log: " + szLog +
                            ": no log lines to compare: the file is empty\n");
}

// The log of a run, a label in it outside ASCII (byte 0xC9 in code page
// 1252), is read in the machine's code page and agrees with the run; of the
// two runs of a file the one --log-run names is compared.
TEST(Simulator, CompareLogReadsTheRunsOwnLogAndPicksARun) {
  std::ifstream laptop(std::string(MALVIK_SOURCE_DIR) + "/examples/uefi-laptop.json");
  std::string szMachine((std::istreambuf_iterator<char>(laptop)), std::istreambuf_iterator<char>());
  const size_t nLabel = szMachine.find("PUSH BUTTON RESET");
  ASSERT_NE(nLabel, std::string::npos);
  szMachine.replace(nLabel, 17, "PUSH BUTTON R\u00c9SET");
  const std::string szBase = FreshDir("malvik-sim-own-log");
  const std::string szOut = szBase + "/out";
  ASSERT_EQ(Simulate({"--machine", "-", "--out", szOut.c_str()}, szMachine).m_Status, 0);
  std::ifstream written(szOut + "/C/Tools/Log/Malvik.log", std::ios::binary);
  std::string szBytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
  // As Windows writes it: the label's letter as its byte in code page 1252.
  const size_t nUtf8 = szBytes.find("R\u00c9SET");
  if (nUtf8 != std::string::npos) szBytes.replace(nUtf8, 3, "R\xC9");
  ASSERT_NE(szBytes.find("R\xC9SET"), std::string::npos);
  const std::string szLog = szBase + "/Malvik.log";
  std::ofstream(szLog, std::ios::binary) << szBytes << szBytes;

  const SimRun first =
      Simulate({"--machine", "-", "--compare-log", szLog.c_str(), "--log-run", "1"}, szMachine);
  EXPECT_EQ(first.m_Status, 0) << first.m_Out;
  EXPECT_NE(first.m_Out.find("log holds 2 runs; compared run 1, from file line 2; read as code "
                             "page 1252)."),
            std::string::npos)
      << first.m_Out;
  const SimRun third =
      Simulate({"--machine", "-", "--compare-log", szLog.c_str(), "--log-run", "3"}, szMachine);
  EXPECT_EQ(third.m_Status, 2);
  EXPECT_EQ(third.m_Err, "malvik-sim: --compare-log: " + szLog +
                             ": no log lines to compare: it holds 2 runs, so no run 3 (--log-run "
                             "counts from 1)\n");
}

}  // namespace
