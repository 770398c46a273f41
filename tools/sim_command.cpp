#include "tools/sim_command.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "malvik_version.h"

#include "simulator/sim_view.h"
#include "tools/compare_log.h"
#include "tools/default_machine.h"
#include "tools/description_file.h"
#include "tools/explore.h"
#include "tools/fleet_check.h"
#include "tools/host.h"
#include "tools/out_dir.h"
#include "tools/plan.h"
#include "tools/rebuilt_bcd.h"
#include "tools/report_html.h"
#include "tools/report_json.h"
#include "tools/report_text.h"
#include "tools/sim_options.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

// Reads the machine the options name into `machine`, with the loader's
// warnings on `err`. False when it cannot be used: the reason is on `err`.
bool ReadMachine(const Options& options, std::istream& input, std::ostream& err,
                 sim::SimMachine& machine) {
  std::string szSource = "(built-in machine)";
  std::string szText = kDefaultMachineJson;
  std::string szError;
  if (options.m_MachineFile == kStandardInput) {
    szSource = "(standard input)";
    // No more than one byte past what a description may hold.
    szText.clear();
    char buffer[65536];
    while (szText.size() <= sim::kMaxDescriptionBytes &&
           input.read(buffer, sizeof buffer).gcount() > 0) {
      szText.append(buffer, static_cast<size_t>(input.gcount()));
    }
  } else if (!options.m_MachineFile.empty()) {
    szSource = options.m_MachineFile;
    if (!LoadDescriptionFile(options.m_MachineFile, machine, szError)) {
      err << szError << "\n";
      return false;
    }
  }
  if (options.m_MachineFile.empty() || options.m_MachineFile == kStandardInput) {
    if (!sim::LoadMachineText(szSource, szText, machine, szError)) {
      err << szError << "\n";
      return false;
    }
  }
  err << sim::LoadWarningLines(szSource, machine);
  return true;
}

// Status 2 with a message when what went to standard output did not all get
// there (a full disk, a closed pipe); errno, when set, says why.
int Written(std::ostream& out, std::ostream& err, int nStatus) {
  if (out) {
    errno = 0;
    out.flush();
  }
  if (out) return nStatus;
  err << kOutputLost;
  if (errno != 0) err << ": " << std::strerror(errno);
  err << "\n";
  return kSimCannotRun;
}

// malvik-sim explore [FILE.json]: the built-in machine without a file.
int Explore(const Options& options, std::ostream& out, std::ostream& err, bool bColour) {
  ExploreInput input;
  input.m_Source = "(built-in machine)";
  input.m_Text = kDefaultMachineJson;
  input.m_Only = options.m_Only;
  if (!options.m_MachineFile.empty()) {
    input.m_Source = options.m_MachineFile;
    std::string szError;
    if (!ReadDescriptionFile(options.m_MachineFile, input.m_Text, szError)) {
      err << szError << "\n";
      return kExploreCannotRun;
    }
  }
  input.m_Adjust = [&options](sim::SimMachine& machine) {
    if (options.m_Args) machine.m_Arguments = *options.m_Args;
    if (options.m_AssumeRebuiltBcd) AssumeRebuiltBcd(machine);
  };
  if (!options.m_PrintVariation.empty()) {
    return PrintVariation(input, options.m_PrintVariation, out, err) ? 0 : kExploreCannotRun;
  }
  if (options.m_HtmlFile.empty()) return RunExplore(input, options.m_Json, bColour, out, err);
  std::vector<HtmlSection> sections;
  const int nStatus = RunExplore(input, options.m_Json, bColour, out, err, &sections);
  if (nStatus == kExploreCannotRun) return nStatus;
  if (!WriteHtmlFile(options.m_HtmlFile, HtmlPage("malvik-sim explore", sections), err)) {
    return kExploreCannotRun;
  }
  return nStatus;
}

int Run(const Options& options, std::istream& input, std::ostream& out, std::ostream& err,
        bool bColour) {
  if (options.m_Help) {
    out << HelpText();
    return 0;
  }
  if (options.m_Version) {
    out << VersionLine("malvik-sim");
    return 0;
  }
  // A link where the page would go stops the command before anything runs.
  const std::string& szHtml = options.m_HtmlFile;
  if (!szHtml.empty() && HtmlFileRefused(szHtml, err)) return kSimCannotRun;
  if (options.m_Check) {
    std::vector<HtmlSection> sections;
    const int nStatus =
        RunFleetCheck(options.m_CheckPaths, options.m_Json, bColour, out, options.m_Args,
                      options.m_AssumeRebuiltBcd, szHtml.empty() ? nullptr : &sections);
    if (!szHtml.empty() && !WriteHtmlFile(szHtml, HtmlPage("malvik-sim check", sections), err)) {
      return kSimCannotRun;
    }
    return nStatus;
  }
  if (options.m_Plan) return RunPlan(options, bColour, out, err);
  if (options.m_Explore) return Explore(options, out, err, bColour);
  if (options.m_PrintDefault) {
    out << kDefaultMachineJson;
    return 0;
  }

  sim::SimMachine machine;
  if (!ReadMachine(options, input, err, machine)) return kSimCannotRun;
  const bool bAssumedRebuiltBcd = options.m_AssumeRebuiltBcd && AssumeRebuiltBcd(machine);

  // A field log without lines and a folder for --out that is in use stop the
  // command before anything runs.
  std::optional<FieldLog> field;
  const std::string& szLogFile = options.m_CompareLog;
  if (!szLogFile.empty()) {
    std::string szBytes, szWhy;
    if (!ReadHostFile(szLogFile, szBytes, szWhy, kMaxFieldLogBytes)) {
      const std::string szHint = FileNameHint(szLogFile);
      if (!szHint.empty() && !szWhy.empty() && szWhy.back() == '.') szWhy.pop_back();
      err << "malvik-sim: --compare-log: " << szLogFile << ": cannot read the file: " << szWhy
          << szHint << "\n";
      return kSimCannotRun;
    }
    if (szBytes.size() > kMaxFieldLogBytes) {
      err << "malvik-sim: --compare-log: " << szLogFile << ": larger than the "
          << (kMaxFieldLogBytes >> 20) << " MiB a field log may hold\n";
      return kSimCannotRun;
    }
    field = ReadFieldLog(szBytes, machine.m_AnsiCodePage, options.m_LogRun,
                         machine.m_AnsiCodePageGiven);
    if (field->m_Lines.empty()) {
      err << "malvik-sim: --compare-log: " << szLogFile << ": no log lines to compare: "
          << field->m_NoLinesBecause << "\n";
      return kSimCannotRun;
    }
  }
  if (!options.m_OutDir.empty() && !PrepareOutDir(options.m_OutDir, err)) return kSimCannotRun;

  if (options.m_Args) machine.m_Arguments = *options.m_Args;
  const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
  const Verdict verdict = JudgeRun(machine, outcome);
  LogComparison comparison;
  if (field) comparison = CompareLogs(field->m_Lines, outcome.m_Log);
  comparison.m_AssumedRebuiltBcd = bAssumedRebuiltBcd;
  if (options.m_Json) {
    WriteJson(out, machine, outcome, verdict,
              field ? ComparisonJson(szLogFile, *field, outcome.m_Log, comparison) : nullptr);
  } else {
    WriteText(out, machine, outcome, verdict, bColour);
    if (field) WriteComparison(out, szLogFile, *field, outcome.m_Log, comparison);
  }
  // Before --out touches the file system: errno still holds why a write failed.
  if (!out.flush()) return kSimCannotRun;
  if (!options.m_OutDir.empty() && !WriteOutDir(machine, options.m_OutDir, err)) {
    return kSimCannotRun;
  }
  if (!szHtml.empty()) {
    const std::string szSource = options.m_MachineFile.empty() ? "(built-in machine)"
                                 : options.m_MachineFile == kStandardInput
                                     ? "(standard input)"
                                     : options.m_MachineFile;
    const std::string szPage =
        HtmlPage("malvik-sim run", {MachineSection(szSource, machine, outcome, verdict)});
    if (!WriteHtmlFile(szHtml, szPage, err)) return kSimCannotRun;
  }
  if (!comparison.m_Agrees) return kSimDiffers;
  return outcome.m_ExitCode;
}

}  // namespace

int RunSimulator(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                 bool bColour, std::istream& input) {
  Options options;
  std::string szError;
  if (!ParseOptions(argc, argv, options, szError)) {
    err << szError << "\n" << kUsage;
    return kSimCannotRun;
  }
  return Written(out, err, Run(options, input, out, err, bColour));
}
