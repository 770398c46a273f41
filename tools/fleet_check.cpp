#include "tools/fleet_check.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "tools/description_file.h"
#include "tools/host.h"
#include "tools/rebuilt_bcd.h"
#include "tools/sim_command.h"
#include "tools/report_json.h"
#include "tools/report_text.h"
#include "tools/run_in_parallel.h"
#include "tools/sim_run.h"
#include "tools/text_style.h"
#include "tools/verdict.h"

using nlohmann::ordered_json;
using sim::ToUtf8;

namespace {

namespace fs = std::filesystem;

// Files as given; a folder stands for its *.json files, by name. A folder
// without any is named in `empty`: a check of nothing is no pass.
std::vector<std::string> DescriptionFiles(const std::vector<std::string>& paths,
                                          std::vector<std::string>& empty) {
  std::vector<std::string> files;
  for (const std::string& szPath : paths) {
    std::error_code ec;
    if (!fs::is_directory(HostPath(szPath), ec)) {
      files.push_back(szPath);
      continue;
    }
    std::vector<std::string> inFolder;
    for (const fs::directory_entry& entry : fs::directory_iterator(HostPath(szPath), ec)) {
      if (entry.path().extension() == ".json" && !entry.is_directory()) {
        inFolder.push_back(HostPathText(entry.path()));
      }
    }
    if (inFolder.empty()) empty.push_back(szPath);
    std::sort(inFolder.begin(), inFolder.end());
    files.insert(files.end(), inFolder.begin(), inFolder.end());
  }
  return files;
}

// "W: RECOVERY, R: ESP, M: -": each of the three letters and what it names.
std::string LettersText(const Verdict& verdict) {
  std::string sz;
  for (const LetterUse& use : verdict.m_Letters) {
    if (!sz.empty()) sz += ", ";
    sz += (use.m_Letter.empty() ? std::string("(empty)") : ToUtf8(use.m_Letter)) + " ";
    sz += use.m_Names.empty()   ? "-"
          : use.m_Label.empty() ? ToUtf8(use.m_Names)
                                : ToUtf8(use.m_Label);
  }
  return sz;
}

// "passed  FILE | NAME | ..." or "FAILED  FILE: FIRST REASON | NAME | ...".
std::string MachineLine(const std::string& szFile, const sim::SimMachine& machine,
                        const Verdict& verdict, bool bColour) {
  const Style style{bColour};
  std::string sz = verdict.Passed() ? style.Good("passed") : style.Bad("FAILED");
  sz += "  " + szFile;
  if (!verdict.Passed()) sz += ": " + verdict.m_Reasons.front();
  sz += " | " + (machine.m_Name.empty() ? std::string("(unnamed)") : ToUtf8(machine.m_Name));
  sz += " | " + FirmwareWord(machine.m_Firmware);
  sz += " | " + LettersText(verdict);
  sz += " | hand-over " + std::string(HandOverWord(verdict.m_HandOver));
  sz += " | batch exit " +
        (verdict.m_BatchExitCode ? std::to_string(*verdict.m_BatchExitCode) : std::string("-"));
  sz += verdict.PresenceAllTrue() ? " | presence all true" : " | presence NOT all true";
  sz += " | dialogs " + std::to_string(machine.m_Dialogs.size());
  sz += " | " + std::to_string(machine.m_ClockMs - machine.m_StartMs) + " ms";
  // A pass with warnings must not read like a clean one across a fleet.
  if (!verdict.m_Warnings.empty()) {
    sz += " | " + std::to_string(verdict.m_Warnings.size()) + " warning" +
          (verdict.m_Warnings.size() == 1 ? "" : "s") + ": " + verdict.m_Warnings.front();
  }
  return sz;
}

}  // namespace

int RunFleetCheck(const std::vector<std::string>& paths, bool bJson, bool bColour,
                  std::ostream& out, const std::optional<std::vector<std::wstring>>& args,
                  bool bAssumeRebuiltBcd, std::vector<HtmlSection>* pSections) {
  int nPassed = 0, nFailed = 0;
  ordered_json machines = ordered_json::array();
  std::vector<std::string> empty;
  const std::vector<std::string> files = DescriptionFiles(paths, empty);
  // A path that gives no machine: failed, with the one line that says why.
  auto unusable = [&](const std::string& szFile, const std::string& szError) {
    ++nFailed;
    if (pSections != nullptr) pSections->push_back(UnreadableSection(szFile, szError));
    if (bJson) {
      machines.push_back({{"file", szFile},
                          {"passed", false},
                          {"reasons", ordered_json::array({szError})},
                          {"error", szError}});
    } else {
      out << Style{bColour}.Bad("FAILED") << "  " << szError << "\n";
    }
  };
  for (const std::string& szFolder : empty) {
    unusable(szFolder, szFolder + ": no *.json descriptions in this folder");
  }
  // The machines run on every core, each its own; what each gives is kept at
  // its index and shown afterwards, in the order of the files.
  struct Checked {
    bool m_bLoaded = false;
    std::string m_Error;  // when the file gave no machine
    bool m_bPassed = false;
    std::string m_Line;
    ordered_json m_Json;
    HtmlSection m_Section;  // with --html
  };
  std::vector<Checked> checked(files.size());
  RunInParallel(files.size(), [&](std::size_t i) {
    const std::string& szFile = files[i];
    Checked& result = checked[i];
    sim::SimMachine machine;
    if (!LoadDescriptionFile(szFile, machine, result.m_Error)) return;
    result.m_bLoaded = true;
    if (args) machine.m_Arguments = *args;
    if (bAssumeRebuiltBcd) AssumeRebuiltBcd(machine);
    const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
    const Verdict verdict = JudgeRun(machine, outcome);
    result.m_bPassed = verdict.Passed();
    if (pSections != nullptr) result.m_Section = MachineSection(szFile, machine, outcome, verdict);
    if (bJson) {
      result.m_Json = {{"file", szFile},
                       {"passed", verdict.Passed()},
                       {"reasons", verdict.m_Reasons},
                       {"name", ToUtf8(machine.m_Name)},
                       {"firmware", FirmwareWord(machine.m_Firmware)},
                       {"exit_code", outcome.m_ExitCode},
                       {"dialogs", machine.m_Dialogs.size()},
                       {"elapsed_ms", machine.m_ClockMs - machine.m_StartMs},
                       {"verdict", VerdictJson(verdict)}};
    } else {
      result.m_Line = MachineLine(szFile, machine, verdict, bColour);
    }
  });
  for (std::size_t i = 0; i < files.size(); ++i) {
    Checked& result = checked[i];
    if (!result.m_bLoaded) {
      unusable(files[i], result.m_Error);
      continue;
    }
    (result.m_bPassed ? nPassed : nFailed) += 1;
    if (pSections != nullptr) pSections->push_back(std::move(result.m_Section));
    if (bJson) {
      machines.push_back(std::move(result.m_Json));
    } else {
      out << result.m_Line << "\n";
    }
  }
  if (bJson) {
    const ordered_json all = {{"machines", machines}, {"passed", nPassed}, {"failed", nFailed}};
    out << all.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
  } else {
    out << nPassed << " passed, " << nFailed << " failed\n";
  }
  return nFailed == 0 ? 0 : kSimDiffers;
}
