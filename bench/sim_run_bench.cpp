// Whole simulated runs of malvik, timed with Google Benchmark: the capacity
// machine (20 disks of 127 partitions, labels no rule looks for, legacy
// firmware so all three letter rules probe every partition) and a one-disk
// machine. The per-partition counter shows whether a run's cost grows
// linearly with the partitions probed.
//
// FleetCheck: what malvik-sim check does for 10,000 descriptions (the
// examples, over and over, read from memory): each loaded, run and judged,
// on every core. Real time is what a deployment engineer waits for.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/entry.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_view.h"
#include "tools/default_machine.h"
#include "tools/explore.h"
#include "tools/run_in_parallel.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

sim::SimMachine Machine(int nDisks, int nPartitions) {
  sim::SimMachine machine;
  machine.m_Costs = {0, 0, 0, 0, 0, 0, 0};
  for (int d = 0; d < nDisks; ++d) {
    sim::SimDisk& disk = machine.m_Disks.emplace_back();
    disk.m_Index = d;
    for (int p = 1; p <= nPartitions; ++p) {
      sim::SimPartition& part = disk.m_Partitions.emplace_back();
      part.m_Number = p;
      part.m_Label = L"DATA " + std::to_wstring(d) + L"-" + std::to_wstring(p);
    }
  }
  sim::PrepareMachine(machine);
  return machine;
}

void WholeRun(benchmark::State& state) {
  const int nDisks = static_cast<int>(state.range(0));
  const int nPartitions = static_cast<int>(state.range(1));
  const sim::SimMachine prepared = Machine(nDisks, nPartitions);
  const wchar_t* argv[] = {L"C:\\Tools\\malvik.exe"};
  for (auto _ : state) {
    state.PauseTiming();
    sim::SimMachine machine = prepared;
    state.ResumeTiming();
    sim::ScopedSimMachine installed(machine);
    benchmark::DoNotOptimize(RunMalvik(1, argv));
  }
  state.counters["partitions"] = nDisks * nPartitions;
  state.counters["per_partition"] =
      benchmark::Counter(nDisks * nPartitions, benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
}

BENCHMARK(WholeRun)->Name("WholeRun/capacity")->Args({20, 127})->Unit(benchmark::kMillisecond);
// A quarter of the capacity machine: with linear growth, a quarter of its time.
BENCHMARK(WholeRun)->Name("WholeRun/quarter")->Args({5, 127})->Unit(benchmark::kMillisecond);
BENCHMARK(WholeRun)->Name("WholeRun/one_disk")->Args({1, 4})->Unit(benchmark::kMicrosecond);

std::vector<std::string> ExampleTexts() {
  std::vector<std::string> texts;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(MALVIK_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    texts.push_back(text.str());
  }
  return texts;
}

void FleetCheck(benchmark::State& state) {
  const std::size_t nMachines = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string> texts = ExampleTexts();
  std::vector<char> passed(nMachines);
  for (auto _ : state) {
    RunInParallel(nMachines, [&](std::size_t i) {
      sim::SimMachine machine;
      std::string szError;
      if (!sim::LoadMachineText("example", texts[i % texts.size()], machine, szError)) {
        passed[i] = 0;
        return;
      }
      const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
      passed[i] = JudgeRun(machine, outcome).Passed() ? 1 : 0;
    });
    benchmark::DoNotOptimize(passed.data());
  }
  state.counters["machines"] = static_cast<double>(nMachines);
}

BENCHMARK(FleetCheck)
    ->Arg(10000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// malvik-sim explore on the built-in machine: the machine and every
// variation of it, judged, on every core; the report aside.
void ExploreBuiltIn(benchmark::State& state) {
  ExploreInput input;
  input.m_Source = "(built-in machine)";
  input.m_Text = kDefaultMachineJson;
  std::ostringstream err;
  std::size_t nVariations = 0;
  for (auto _ : state) {
    Exploration exploration;
    if (!Explore(input, err, exploration)) {
      state.SkipWithError("the built-in machine does not load");
      return;
    }
    nVariations = exploration.m_Variations.size();
    benchmark::DoNotOptimize(exploration.m_Results.data());
  }
  state.counters["variations"] = static_cast<double>(nVariations);
}

BENCHMARK(ExploreBuiltIn)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
