#include "tools/explore.h"

#include <ostream>

#include "tools/explore_report.h"
#include "tools/run_in_parallel.h"
#include "tools/sim_run.h"

namespace {

// The machine as its first run left it, as a description: volumes, files
// and letters as they are now, and what a description cannot hold in its
// notes. A second run starts on it like a machine described by hand.
std::string AfterFirstRun(const sim::SimMachine& described, sim::SimMachine& firstRun,
                          Outcome& outcome) {
  firstRun = described;
  outcome = RunOnMachine(firstRun, firstRun.m_Arguments);
  return sim::DescribeMachine(firstRun);
}

VariationResult Judged(sim::SimMachine& machine) {
  const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
  const Verdict verdict = JudgeRun(machine, outcome);
  return {verdict.Passed(), verdict.m_Reasons};
}

bool Load(const ExploreInput& input, std::ostream& err, sim::SimMachine& machine) {
  std::string szError;
  if (!sim::LoadMachineText(input.m_Source, input.m_Text, machine, szError)) {
    err << szError << "\n";
    return false;
  }
  return true;
}

}  // namespace

int Exploration::Status() const {
  if (!m_Verdict.Passed()) return kExploreMachineFails;
  for (const VariationResult& result : m_Results) {
    if (!result.m_Passed) return kExploreVariationFails;
  }
  return kExplorePassed;
}

bool Explore(const ExploreInput& input, std::ostream& err, Exploration& exploration) {
  if (!input.m_Only.empty() && FindVariationFamily(input.m_Only) == nullptr) {
    err << "malvik-sim explore: --only " << input.m_Only << ": no such family; the families:";
    for (const VariationFamily& family : VariationFamilies()) err << " " << family.m_Name;
    err << "\n";
    return false;
  }
  sim::SimMachine described;
  if (!Load(input, err, described)) return false;
  err << sim::LoadWarningLines(input.m_Source, described);
  if (input.m_Adjust) input.m_Adjust(described);

  exploration.m_Source = input.m_Source;
  exploration.m_Name = described.m_Name;
  exploration.m_Variations = MakeVariations(input.m_Text, described, input.m_Only);

  // The machine as described runs first: the second run starts on what it
  // left, which every other variation leaves alone.
  sim::SimMachine& firstRun = exploration.m_FirstRun;
  Outcome& outcome = exploration.m_Outcome;
  const std::string szAfterFirstRun = AfterFirstRun(described, firstRun, outcome);
  exploration.m_Verdict = JudgeRun(firstRun, outcome);
  for (Variation& variation : exploration.m_Variations) {
    if (variation.m_SecondRun) variation.m_Description = szAfterFirstRun;
  }

  const std::vector<Variation>& variations = exploration.m_Variations;
  std::vector<VariationResult>& results = exploration.m_Results;
  results.assign(variations.size(), {});
  RunInParallel(variations.size(), [&](std::size_t i) {
    const Variation& variation = variations[i];
    sim::SimMachine machine;
    std::string szError;
    if (!sim::LoadMachineText(variation.m_Name, variation.m_Description, machine, szError)) {
      // A variation is made to load; one that does not is reported, not run.
      results[i] = {false, {"the varied description does not load: " + szError}};
      return;
    }
    if (input.m_Adjust) input.m_Adjust(machine);
    results[i] = Judged(machine);
  });
  return true;
}

bool PrintVariation(const ExploreInput& input, const std::string& szName, std::ostream& out,
                    std::ostream& err) {
  sim::SimMachine described;
  if (!Load(input, err, described)) return false;
  for (const Variation& variation : MakeVariations(input.m_Text, described)) {
    if (variation.m_Name != szName) continue;
    if (variation.m_SecondRun) {
      if (input.m_Adjust) input.m_Adjust(described);
      sim::SimMachine firstRun;
      Outcome outcome;
      out << AfterFirstRun(described, firstRun, outcome);
      return true;
    }
    out << variation.m_Description;
    return true;
  }
  err << "malvik-sim explore: --print-variation " << szName
      << ": no such variation on this machine; `malvik-sim explore` lists them\n";
  return false;
}

int RunExplore(const ExploreInput& input, bool bJson, bool bColour, std::ostream& out,
               std::ostream& err, std::vector<HtmlSection>* pSections) {
  Exploration exploration;
  if (!Explore(input, err, exploration)) return kExploreCannotRun;
  if (pSections != nullptr) pSections->push_back(ExploreSection(exploration));
  if (bJson) {
    WriteExploreJson(out, exploration);
  } else {
    WriteExploreText(out, exploration, bColour);
  }
  return exploration.Status();
}
