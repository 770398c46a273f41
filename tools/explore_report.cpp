#include "tools/explore_report.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "tools/report_json.h"
#include "tools/text_style.h"

using nlohmann::ordered_json;

namespace {

size_t FailedCount(const Exploration& exploration) {
  return static_cast<size_t>(std::count_if(exploration.m_Results.begin(),
                                           exploration.m_Results.end(),
                                           [](const VariationResult& r) { return !r.m_Passed; }));
}

// The first reason most failed variations share, and how many share it; an
// empty reason when no two do.
std::pair<std::string, size_t> CommonReason(const Exploration& exploration) {
  std::map<std::string, size_t> counts;
  std::pair<std::string, size_t> best{"", 1};
  for (const VariationResult& result : exploration.m_Results) {
    if (result.m_Passed || result.m_Reasons.empty()) continue;
    const size_t n = ++counts[result.m_Reasons.front()];
    if (n > best.second) best = {result.m_Reasons.front(), n};
  }
  return best.second > 1 ? best : std::pair<std::string, size_t>{"", 0};
}

std::string MachineName(const Exploration& exploration) {
  return exploration.m_Name.empty() ? std::string("(unnamed)") : sim::ToUtf8(exploration.m_Name);
}

}  // namespace

std::string ExploreSummary(const Exploration& exploration) {
  const size_t nAll = exploration.m_Results.size();
  const size_t nFailed = FailedCount(exploration);
  if (nFailed == 0) {
    return nAll == 1 ? "the 1 variation keeps recovery working"
                     : "none of the " + std::to_string(nAll) + " variations breaks recovery";
  }
  std::string sz = std::to_string(nFailed) + " of " + std::to_string(nAll) + " variation" +
                   (nAll == 1 ? "" : "s") + (nFailed == 1 ? " breaks" : " break") +
                   " recovery; most often:";
  // Families by how many of their variations fail, most first, then in
  // report order.
  struct Count {
    const char* m_Family;
    size_t m_Failed = 0, m_All = 0;
  };
  std::vector<Count> counts;
  for (const VariationFamily& family : VariationFamilies()) counts.push_back({family.m_Name});
  for (size_t i = 0; i < nAll; ++i) {
    for (Count& count : counts) {
      if (exploration.m_Variations[i].m_Family != count.m_Family) continue;
      ++count.m_All;
      count.m_Failed += !exploration.m_Results[i].m_Passed;
    }
  }
  std::stable_sort(counts.begin(), counts.end(),
                   [](const Count& a, const Count& b) { return a.m_Failed > b.m_Failed; });
  // The three that fail most say where a layout is weak; the report's lines
  // give the rest.
  bool bFirst = true;
  for (size_t i = 0; i < counts.size() && i < 3; ++i) {
    const Count& count = counts[i];
    if (count.m_Failed == 0) break;
    sz += std::string(bFirst ? " " : ", ") + count.m_Family + " (" +
          std::to_string(count.m_Failed) + " of " + std::to_string(count.m_All) + ")";
    bFirst = false;
  }
  return sz;
}

void WriteExploreText(std::ostream& out, const Exploration& exploration, bool bColour) {
  const Style style{bColour};
  out << style.Heading("Explore: " + MachineName(exploration)) << "\n"
      << "Description: " << exploration.m_Source << "\n";
  const Verdict& verdict = exploration.m_Verdict;
  out << "The machine as described: "
      << (verdict.Passed() ? style.Good("passed") : style.Bad("FAILED")) << "\n";
  for (const std::string& szReason : verdict.m_Reasons) out << "  - " << szReason << "\n";
  for (const VariationFamily& family : VariationFamilies()) {
    bool bHeading = false;
    for (size_t i = 0; i < exploration.m_Variations.size(); ++i) {
      const Variation& variation = exploration.m_Variations[i];
      if (variation.m_Family != family.m_Name) continue;
      if (!bHeading) out << "\n" << style.Heading(family.m_Title) << " (" << family.m_Name << ")\n";
      bHeading = true;
      const VariationResult& result = exploration.m_Results[i];
      out << "  " << (result.m_Passed ? style.Good("passed") : style.Bad("FAILED")) << "  "
          << variation.m_Name;
      if (!result.m_Passed && !result.m_Reasons.empty()) out << ": " << result.m_Reasons.front();
      out << "\n";
    }
  }
  out << "\n" << style.Heading("Summary:") << " " << ExploreSummary(exploration) << "\n";
  const auto [szReason, nShared] = CommonReason(exploration);
  if (nShared > 0) {
    out << "The first reason " << nShared << " of them share: " << szReason << "\n";
  }
}

HtmlSection ExploreSection(const Exploration& exploration) {
  HtmlSection section = MachineSection(exploration.m_Source, exploration.m_FirstRun,
                                       exploration.m_Outcome, exploration.m_Verdict);
  section.m_Passed = exploration.Status() == kExplorePassed;
  std::string& sz = section.m_Body;
  sz += "<h3>Variations</h3>\n<p>" + HtmlText(ExploreSummary(exploration)) + "</p>\n";
  sz += "<table class=\"variations\">\n<tr><th>family</th><th>variation</th><th>result</th>"
        "<th>first reason</th></tr>\n";
  for (const VariationFamily& family : VariationFamilies()) {
    for (size_t i = 0; i < exploration.m_Variations.size(); ++i) {
      const Variation& variation = exploration.m_Variations[i];
      if (variation.m_Family != family.m_Name) continue;
      const VariationResult& result = exploration.m_Results[i];
      sz += "<tr><td>";
      sz += HtmlText(family.m_Title);
      sz += "</td><td title=\"";
      sz += HtmlText(variation.m_Models);
      sz += "\">";
      sz += HtmlText(variation.m_Name);
      sz += "</td><td>";
      sz += result.m_Passed ? "passed" : "<strong>FAILED</strong>";
      sz += "</td><td>";
      if (!result.m_Passed && !result.m_Reasons.empty()) sz += HtmlText(result.m_Reasons.front());
      sz += "</td></tr>\n";
    }
  }
  sz += "</table>\n";
  return section;
}

void WriteExploreJson(std::ostream& out, const Exploration& exploration) {
  ordered_json variations = ordered_json::array();
  for (size_t i = 0; i < exploration.m_Variations.size(); ++i) {
    const Variation& variation = exploration.m_Variations[i];
    const VariationResult& result = exploration.m_Results[i];
    variations.push_back({{"name", variation.m_Name},
                          {"family", variation.m_Family},
                          {"models", variation.m_Models},
                          {"passed", result.m_Passed},
                          {"reasons", result.m_Reasons}});
  }
  const size_t nFailed = FailedCount(exploration);
  const ordered_json all = {
      {"file", exploration.m_Source},
      {"name", sim::ToUtf8(exploration.m_Name)},
      {"machine", {{"passed", exploration.m_Verdict.Passed()},
                   {"verdict", VerdictJson(exploration.m_Verdict)}}},
      {"variations", variations},
      {"passed", exploration.m_Results.size() - nFailed},
      {"failed", nFailed},
      {"summary", ExploreSummary(exploration)}};
  out << all.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}
