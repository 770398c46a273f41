// malvik-sim explore: how fragile a layout is. Runs malvik on a description
// and on each of its variations (realistic field changes, one at a time,
// variations.h) and judges every run with the verdict.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/report_html.h"
#include "tools/sim_outcome.h"
#include "tools/variations.h"
#include "tools/verdict.h"

// Exit statuses of malvik-sim explore.
constexpr int kExplorePassed = 0;          // the machine and every variation pass
constexpr int kExploreMachineFails = 1;    // the machine as described fails its verdict
constexpr int kExploreCannotRun = 2;       // a bad command line or an unreadable description
constexpr int kExploreVariationFails = 3;  // the machine passes, some variation does not

// What explore runs on.
struct ExploreInput {
  std::string m_Source;  // the file name, or "(built-in machine)"
  std::string m_Text;    // the description
  std::string m_Only;    // one family's name; empty: every family
  // Applied to every machine after it is loaded, before it runs: malvik's
  // arguments from the command line, an assumed rebuilt boot store, plan's
  // console. Empty: none.
  std::function<void(sim::SimMachine&)> m_Adjust;
};

// One variation's run.
struct VariationResult {
  bool m_Passed = false;
  std::vector<std::string> m_Reasons;  // the verdict's, the likeliest cause first
};

struct Exploration {
  std::string m_Source;
  std::wstring m_Name;  // the machine's
  Verdict m_Verdict;    // the machine as described
  sim::SimMachine m_FirstRun;  // the machine as described, as its run left it
  Outcome m_Outcome;           // that run's
  std::vector<Variation> m_Variations;
  std::vector<VariationResult> m_Results;  // by index of m_Variations

  int Status() const;
};

// Loads the description (its load warnings go to `err`), runs it and every
// variation. False, with the reason on `err`, when the description cannot
// be loaded or names an unknown family.
bool Explore(const ExploreInput& input, std::ostream& err, Exploration& exploration);

// The varied description of the variation `szName`, on `out`. False, with
// the reason on `err`, when the description cannot be loaded, has no such
// variation, or the variation has no description.
bool PrintVariation(const ExploreInput& input, const std::string& szName, std::ostream& out,
                    std::ostream& err);

// malvik-sim explore: Explore, then the report (text, or JSON when bJson).
// Returns the exit status.
// With pSections, also the machine's section of the --html page, its table of
// variations below its verdict.
int RunExplore(const ExploreInput& input, bool bJson, bool bColour, std::ostream& out,
               std::ostream& err, std::vector<HtmlSection>* pSections = nullptr);
