#include "tools/sim_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
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

namespace {

// The whole file, or false with the system's reason.
bool ReadBytes(const std::string& szFile, std::string& szBytes, std::string& szWhy) {
  std::FILE* pFile = std::fopen(szFile.c_str(), "rb");
  if (pFile == nullptr) {
    szWhy = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pFile)) > 0;) szBytes.append(buffer, n);
  const bool bFailed = std::ferror(pFile) != 0;
  szWhy = bFailed ? std::strerror(errno) : "";
  std::fclose(pFile);
  return !bFailed;
}

}  // namespace

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

  // A field log without lines and a folder for --out that is in use stop the
  // command before anything runs.
  std::optional<FieldLog> field;
  const std::string& szLogFile = options.m_CompareLog;
  if (!szLogFile.empty()) {
    std::string szBytes;
    if (!ReadBytes(szLogFile, szBytes, szError)) {
      err << "malvik-sim: --compare-log: " << szLogFile << ": cannot read the file: " << szError
          << "\n";
      return 2;
    }
    field = ReadFieldLog(szBytes, machine.m_AnsiCodePage);
    if (field->m_Lines.empty()) {
      err << "malvik-sim: --compare-log: " << szLogFile << ": no log lines to compare: "
          << field->m_NoLinesBecause << "\n";
      return 2;
    }
  }
  if (!options.m_OutDir.empty() && !PrepareOutDir(options.m_OutDir, err)) return 2;

  const Outcome outcome = RunOnMachine(machine, options.m_Args);
  const Verdict verdict = JudgeRun(machine, outcome);
  LogComparison comparison;
  if (field) comparison = CompareLogs(field->m_Lines, outcome.m_Log);
  if (options.m_Json) {
    WriteJson(out, machine, outcome, verdict,
              field ? ComparisonJson(szLogFile, *field, outcome.m_Log, comparison) : nullptr);
  } else {
    WriteText(out, machine, outcome, verdict, bColour);
    if (field) WriteComparison(out, szLogFile, *field, outcome.m_Log, comparison);
  }
  if (!options.m_OutDir.empty() && !WriteOutDir(machine, options.m_OutDir, err)) return 2;
  if (!comparison.m_Agrees) return 1;
  return outcome.m_ExitCode;
}
