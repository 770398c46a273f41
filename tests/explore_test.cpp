// malvik-sim explore: a variation that breaks recovery is reported with its
// reason, and the exit status tells the machine's failure from a
// variation's.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tools/sim_command.h"
#include "tools/variations.h"

namespace {

struct Explored {
  int m_Status;
  std::string m_Out, m_Err;
};

Explored Explore(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"malvik-sim", "explore"};
  argv.insert(argv.end(), args);
  std::ostringstream out, err;
  const int nStatus = RunSimulator(static_cast<int>(argv.size()), argv.data(), out, err);
  return {nStatus, out.str(), err.str()};
}

// The built-in laptop's reset partition takes M: by the UEFI rule; a
// program folder on a stick lettered M: loses its drive to it mid-run.
TEST(Explore, ProgramFolderOnAStickAtMFailsWithItsReason) {
  const Explored run = Explore({"--only", "program-folder"});
  EXPECT_EQ(run.m_Status, 3) << run.m_Err;
  EXPECT_NE(run.m_Out.find("The machine as described: passed\n"), std::string::npos);
  EXPECT_NE(run.m_Out.find(
                "  FAILED  program-folder.on-stick-M: the program's own drive M: was taken by a "
                "letter rule and now names partition 5 of disk 0 (\"PUSH BUTTON RESET\"): this "
                "run's log after that is M:\\Tools\\Log\\Malvik.log on that volume, which holds "
                "none of its lines, and the batch file and scripts were looked for there too\n"),
            std::string::npos)
      << run.m_Out;
  EXPECT_NE(run.m_Out.find("  passed  program-folder.on-stick-E\n"), std::string::npos);
  EXPECT_NE(run.m_Out.find("Summary: 1 of 4 variations breaks recovery; most often: "
                           "program-folder (1 of 4)\n"),
            std::string::npos);

  // The variation is a description of its own: run as it is printed, it
  // fails the same way.
  const Explored printed = Explore({"--print-variation", "program-folder.on-stick-M"});
  ASSERT_EQ(printed.m_Status, 0) << printed.m_Err;
  std::istringstream description(printed.m_Out);
  std::ostringstream out, err;
  const char* argv[] = {"malvik-sim", "--machine", "-"};
  RunSimulator(3, argv, out, err, false, description);
  EXPECT_NE(out.str().find("the program's own drive M: was taken by a letter rule"),
            std::string::npos)
      << err.str();
}

TEST(Explore, ExitStatusTellsTheMachineFromItsVariations) {
  const std::string szHandOverFails = std::string(MALVIK_SOURCE_DIR) + "/examples/handover-fails.json";
  struct Case {
    const char* szWhat;
    std::vector<const char*> args;
    int nStatus;
  } const kCases[] = {
      {"every variation passes", {"--only", "firmware"}, 0},
      {"the machine itself fails", {szHandOverFails.c_str(), "--only", "firmware"}, 1},
      {"a variation fails", {"--only", "wmi"}, 3},
      {"an unknown family", {"--only", "usb"}, 2},
      {"an unknown variation", {"--print-variation", "wmi.fails-21"}, 2},
      {"an unreadable file", {"/nonexistent/machine.json"}, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szWhat);
    std::vector<const char*> argv = {"malvik-sim", "explore"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunSimulator(static_cast<int>(argv.size()), argv.data(), out, err), c.nStatus)
        << out.str() << err.str();
  }
}

// Every family --only takes has its section in the user's page.
TEST(Explore, EveryFamilyIsDocumented) {
  std::ifstream in(std::string(MALVIK_SOURCE_DIR) + "/docs/explore.md");
  std::stringstream page;
  page << in.rdbuf();
  for (const VariationFamily& family : VariationFamilies()) {
    EXPECT_NE(page.str().find(std::string("### ") + family.m_Title + " (`" + family.m_Name + "`)"),
              std::string::npos)
        << family.m_Name;
  }
}

}  // namespace
