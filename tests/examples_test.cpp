// The example machines of examples/: each run's --json report is the one
// checked in under examples/expected/ (scripts/update-examples rewrites
// them), and the laptop example is the built-in machine itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/default_machine.h"
#include "tools/sim_command.h"

namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(MALVIK_SOURCE_DIR) / "examples";

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

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

}  // namespace
