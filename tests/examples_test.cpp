// The example machines of examples/: each run's --json report is the one
// checked in under examples/expected/ (scripts/update-examples rewrites
// them), and the laptop example is the built-in machine itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "simulator/sim_loader.h"
#include "tests/capture_replay.h"
#include "tools/default_machine.h"
#include "tools/description_file.h"
#include "tools/rebuilt_bcd.h"
#include "tests/test_support.h"
#include "tools/sim_command.h"

namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(MALVIK_SOURCE_DIR) / "examples";

std::string ReadText(const fs::path& path) { return test::ReadSourceFile(path.string()); }

TEST(Examples, JsonReportsMatchTheCheckedInOnes) {
  int nExamples = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++nExamples;
    const std::string szFile = entry.path().string();
    const char* argv[] = {"malvik-sim", "--json", "--machine", szFile.c_str()};
    std::ostringstream out, err;
    RunSimulator(4, argv, out, err);
    EXPECT_EQ(err.str(), "");
    const fs::path expected = kExamples / "expected" / entry.path().filename();
    ASSERT_TRUE(fs::exists(expected)) << "run scripts/update-examples";
    EXPECT_EQ(out.str(), ReadText(expected)) << "scripts/update-examples rewrites "
                                             << expected.string() << "; review its diff";
  }
  EXPECT_EQ(nExamples, 11);
  EXPECT_EQ(ReadText(kExamples / "uefi-laptop.json"), kDefaultMachineJson);
}

// Explore's report on each example is the one checked in under
// examples/expected/explore/, made with the path examples/NAME.json.
TEST(Examples, ExploreReportsMatchTheCheckedInOnes) {
  int nExamples = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++nExamples;
    const std::string szFile = entry.path().string();
    const char* argv[] = {"malvik-sim", "explore", szFile.c_str()};
    std::ostringstream out, err;
    RunSimulator(3, argv, out, err);
    EXPECT_EQ(err.str(), "");
    std::string szReport = out.str();
    const std::string szAsGiven = "examples/" + entry.path().filename().string();
    for (size_t at = szReport.find(szFile); at != std::string::npos;
         at = szReport.find(szFile, at + szAsGiven.size())) {
      szReport.replace(at, szFile.size(), szAsGiven);
    }
    const fs::path expected =
        kExamples / "expected" / "explore" / entry.path().filename().replace_extension(".txt");
    ASSERT_TRUE(fs::exists(expected)) << "run scripts/update-examples";
    EXPECT_EQ(szReport, ReadText(expected)) << "scripts/update-examples rewrites "
                                            << expected.string() << "; review its diff";
  }
  EXPECT_EQ(nExamples, 11);
}

// Each example machine captured before its run: the capture, replayed with
// the rebuilt boot store assumed and the scripts' exit codes (and output)
// supplied, as the field recipe says, writes the log the machine's own run
// wrote and gets its verdict.
TEST(Examples, CaptureReplaysEqualToItsOwnRun) {
  for (const fs::directory_entry& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    sim::SimMachine machine;
    std::string szError;
    ASSERT_TRUE(LoadDescriptionFile(entry.path().string(), machine, szError)) << szError;
    const test::CaptureReplay replay = test::ReplayCapture(
        machine, {}, [](const sim::SimMachine& original, sim::SimMachine& replayed) {
          AssumeRebuiltBcd(replayed);
          for (const auto& [szName, script] : original.m_Scripts) {
            replayed.m_Scripts[szName].m_ExitCode = script.m_ExitCode;
            replayed.m_Scripts[szName].m_Output = script.m_Output;
          }
          // Injected faults (inventory-fails.json's) strike the run, which
          // comes after the capture.
          replayed.m_Faults = original.m_Faults;
        });
    ASSERT_EQ(replay.m_LoadError, "") << replay.m_Captured;
    EXPECT_EQ(replay.m_Difference, "") << replay.m_Captured;
  }
}

}  // namespace
