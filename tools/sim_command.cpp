#include "tools/sim_command.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/sim/sim_loader.h"
#include "tools/compare_log.h"
#include "tools/default_machine.h"
#include "tools/fleet_check.h"
#include "tools/out_dir.h"
#include "tools/report_json.h"
#include "tools/report_text.h"
#include "tools/sim_options.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

int RunSimulator(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                 bool bColour) {
  Options options;
  std::string szError;
  if (!ParseOptions(argc, argv, options, szError)) {
    err << szError << "\n" << kUsage;
    return 2;
  }
  if (options.m_Help) {
    out << kHelp;
    return 0;
  }
  if (options.m_Check) {
    return RunFleetCheck(options.m_CheckPaths, options.m_Json, bColour, out);
  }
  if (options.m_PrintDefault) {
    out << kDefaultMachineJson;
    return 0;
  }

  sim::SimMachine machine;
  if (options.m_MachineFile.empty()) {
    sim::LoadError error;
    if (!sim::LoadMachine(kDefaultMachineJson, machine, error)) {
      err << "(built-in machine): " << error.m_Path << ": " << error.m_What << "\n";
      return 2;
    }
  } else if (!sim::LoadMachineFile(options.m_MachineFile, machine, szError)) {
    err << szError << "\n";
    return 2;
  }

  const Outcome outcome = RunOnMachine(machine, options.m_Args);
  const Verdict verdict = JudgeRun(machine, outcome);
  if (options.m_Json) {
    WriteJson(out, machine, outcome, verdict);
  } else {
    WriteText(out, machine, outcome, verdict, bColour);
  }
  if (!options.m_OutDir.empty() && !WriteOutDir(machine, options.m_OutDir, err)) return 2;
  if (!options.m_CompareLog.empty()) {
    std::ifstream in(options.m_CompareLog, std::ios::binary);
    if (!in) {
      err << "malvik-sim: cannot read " << options.m_CompareLog << "\n";
      return 2;
    }
    const auto field = LastRunOfFieldLog(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    const LogComparison comparison = CompareLogs(field, outcome.m_Log);
    // With --json, standard output carries the JSON object alone.
    WriteComparison(options.m_Json ? err : out, options.m_CompareLog, field, outcome.m_Log,
                    comparison);
    if (!comparison.m_Agrees) return 1;
  }
  return outcome.m_ExitCode;
}
