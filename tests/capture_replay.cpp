#include "tests/capture_replay.h"

#include "capture/capture.h"
#include "simulator/sim_loader.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"
#include "tools/compare_log.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace test {

CaptureReplay ReplayCapture(const sim::SimMachine& machine, const std::vector<std::wstring>& args,
                            const CopyOver& copyOver, const sim::SimFaults& captureFaults) {
  CaptureReplay result;
  {
    sim::SimMachine captured = machine;
    captured.m_Faults = captureFaults;
    sim::ScopedSimMachine installed(captured);
    result.m_Captured = WriteJsonText(CaptureMachine({}));
  }
  sim::SimMachine replay;
  sim::LoadError error;
  if (!sim::LoadMachine(result.m_Captured, replay, error)) {
    result.m_LoadError = error.m_Path + ": " + error.m_What;
    return result;
  }
  copyOver(machine, replay);

  sim::SimMachine field = machine;
  const Outcome fieldRun = RunOnMachine(field, args);
  const Outcome replayRun = RunOnMachine(replay, args);
  std::vector<LogLine> fieldLines;
  for (const LogLine& line : fieldRun.m_Log) {
    fieldLines.push_back({WithoutTimeStamp(line.m_Key), line.m_Value});
  }
  const LogComparison comparison = CompareLogs(fieldLines, replayRun.m_Log);
  if (comparison.m_Agrees) {
    // The verdict too: the capture holds every path it reads.
    const Verdict fieldVerdict = JudgeRun(field, fieldRun);
    const Verdict replayVerdict = JudgeRun(replay, replayRun);
    auto said = [](const Verdict& verdict) {
      std::string sz = verdict.Passed() ? "passed" : "failed";
      for (const std::string& szReason : verdict.m_Reasons) sz += "; " + szReason;
      for (const std::string& szWarning : verdict.m_Warnings) sz += "; warning: " + szWarning;
      return sz;
    };
    // A volume the capture could not place on its partition (WMI ties it to
    // none) is described as a drive of its own, and its note says so: the
    // replay then judges it as such, so only the outcome must agree, not the
    // words that name the partition.
    const bool bPlacedAsDrive =
        result.m_Captured.find("described as a drive of its own") != std::string::npos;
    if (bPlacedAsDrive ? fieldVerdict.Passed() != replayVerdict.Passed()
                       : said(fieldVerdict) != said(replayVerdict)) {
      result.m_Difference =
          "verdict: machine " + said(fieldVerdict) + ", replay " + said(replayVerdict);
    }
    return result;
  }
  const size_t i = comparison.m_FirstDifference;
  auto shown = [i](const std::vector<LogLine>& lines) {
    if (i >= lines.size()) return std::string("(no line)");
    return sim::ToUtf8(WithoutTimeStamp(lines[i].m_Key) + L"=" + lines[i].m_Value);
  };
  result.m_Difference = "log line " + std::to_string(i + 1) + ": machine " + shown(fieldLines) +
                        ", replay " + shown(replayRun.m_Log);
  return result;
}

}  // namespace test
