// Simulated machines on several threads at once: each thread's runs see only
// the machine that thread installed, and RunInParallel hands out every index
// once and carries a failure back to its caller.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tools/run_in_parallel.h"
#include "tools/sim_command.h"

namespace {

namespace fs = std::filesystem;

// The --json report of one run of the example.
std::string ReportOf(const std::string& szExample) {
  const std::string szFile = (fs::path(MALVIK_SOURCE_DIR) / "examples" / szExample).string();
  const char* argv[] = {"malvik-sim", "--json", "--machine", szFile.c_str()};
  std::ostringstream out, err;
  RunSimulator(4, argv, out, err);
  return out.str() + err.str();
}

// Two machines that differ in everything a run reads (firmware, disks,
// letters), each run over and over on its own thread while the other runs:
// a machine seen by the other thread's platform calls changes a report.
TEST(Parallel, MachinesOnTwoThreadsStayApart) {
  const std::vector<std::string> examples = {"uefi-laptop.json", "legacy-desktop.json"};
  std::vector<std::string> alone;
  for (const std::string& szExample : examples) alone.push_back(ReportOf(szExample));
  ASSERT_NE(alone[0], alone[1]);

  constexpr int kRuns = 60;
  std::vector<int> differing(examples.size(), 0);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < examples.size(); ++t) {
    threads.emplace_back([&, t] {
      // Both start together, so that their runs overlap.
      ++ready;
      while (ready.load() < static_cast<int>(examples.size())) std::this_thread::yield();
      for (int n = 0; n < kRuns; ++n) {
        if (ReportOf(examples[t]) != alone[t]) ++differing[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < examples.size(); ++t) {
    EXPECT_EQ(differing[t], 0) << examples[t] << ": runs whose report differed from its own";
  }
}

TEST(Parallel, EveryIndexRunsOnceAndAFailureReachesTheCaller) {
  for (const size_t nCount : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}}) {
    SCOPED_TRACE(nCount);
    std::vector<std::atomic<int>> runs(nCount);
    RunInParallel(nCount, [&](size_t i) { ++runs[i]; });
    for (size_t i = 0; i < nCount; ++i) EXPECT_EQ(runs[i].load(), 1) << "index " << i;
  }
  EXPECT_THROW(RunInParallel(100,
                             [](size_t i) {
                               if (i == 37) throw std::runtime_error("index 37");
                             }),
               std::runtime_error);
}

}  // namespace
