#include "tools/report_json.h"

using nlohmann::ordered_json;
using sim::ToUtf8;

namespace {

ordered_json Texts(const std::vector<std::wstring>& items) {
  ordered_json list = ordered_json::array();
  for (const std::wstring& sz : items) list.push_back(ToUtf8(sz));
  return list;
}

}  // namespace

ordered_json VerdictJson(const Verdict& verdict) {
  ordered_json json;
  json["passed"] = verdict.Passed();
  json["letters"] = ordered_json::array();
  for (const LetterUse& use : verdict.m_Letters) {
    const ordered_json names =
        use.m_Names.empty() ? ordered_json() : ordered_json(ToUtf8(use.m_Names));
    json["letters"].push_back({{"role", use.m_Role},
                               {"letter", ToUtf8(use.m_Letter)},
                               {"names", names},
                               {"label", ToUtf8(use.m_Label)}});
  }
  json["special_partitions"] = ordered_json::array();
  for (const SpecialPartition& part : verdict.m_Special) {
    json["special_partitions"].push_back({{"kind", part.m_Kind},
                                          {"label", ToUtf8(part.m_Label)},
                                          {"disk", part.m_Disk},
                                          {"partition", part.m_Number},
                                          {"letters", Texts(part.m_Letters)},
                                          {"set_aside", part.m_SetAside}});
  }
  json["hand_over"] = {{"line", HandOverWord(verdict.m_HandOver)},
                       {"script", ToUtf8(verdict.m_HandOverScript)},
                       {"letters", Texts(verdict.m_HandOverLetters)},
                       {"ran", verdict.m_HandOverRan}};
  json["batch_exit_code"] =
      verdict.m_BatchExitCode ? ordered_json(*verdict.m_BatchExitCode) : ordered_json();
  json["presence"] = {{"lines", verdict.m_PresenceLines},
                      {"all_true", verdict.PresenceAllTrue()},
                      {"false", Texts(verdict.m_PresenceFalse)}};
  json["reasons"] = verdict.m_Reasons;
  json["warnings"] = verdict.m_Warnings;
  json["unchecked"] = verdict.m_Unchecked;
  return json;
}

void WriteJson(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome,
               const Verdict& verdict, const ordered_json& compareLog) {
  ordered_json report;
  report["exit_code"] = outcome.m_ExitCode;
  report["console"] = machine.m_Console;
  report["elapsed_ms"] = machine.m_ClockMs - machine.m_StartMs;
  report["log"] = ordered_json::array();
  for (const LogLine& line : outcome.m_Log) {
    report["log"].push_back({{"key", ToUtf8(line.m_Key)}, {"value", ToUtf8(line.m_Value)}});
  }
  report["log_file"] = outcome.m_pLog ? ordered_json(outcome.m_pLog->m_Bytes) : ordered_json();
  report["batch_file"] =
      outcome.m_pBatch ? ordered_json(ToUtf8(outcome.m_BatchText)) : ordered_json();
  report["batch_file_code_page"] =
      outcome.m_pBatch ? ordered_json(outcome.m_BatchCodePage) : ordered_json();
  report["commands"] = ordered_json::array();
  report["interpreter"] = ordered_json::array();
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (run.m_StartError != 0) continue;
    report["commands"].push_back(ToUtf8(run.m_CommandLine));
    ordered_json lines = ordered_json::array();
    for (const sim::SimBatchLine& line : run.m_Lines) {
      lines.push_back({{"line", ToUtf8(line.m_Line)}, {"did", ToUtf8(line.m_Did)}, {"error_level", line.m_Code}});
    }
    report["interpreter"].push_back(
        {{"command", ToUtf8(run.m_CommandLine)}, {"lines", lines}, {"exit_code", run.m_ExitCode}});
  }
  report["dialogs"] = ordered_json::array();
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    report["dialogs"].push_back({{"title", ToUtf8(dialog.m_Title)},
                                 {"text", ToUtf8(dialog.m_Text)},
                                 {"buttons", ToUtf8(dialog.m_Buttons)},
                                 {"icon", ToUtf8(dialog.m_Icon)}});
  }
  report["drives"] = ordered_json::object();
  for (const Drive& drive : outcome.m_Drives) {
    if (drive.m_Stack.empty()) continue;
    ordered_json stack = ordered_json::array();
    for (const std::wstring& sz : drive.m_Stack) stack.push_back(ToUtf8(sz));
    report["drives"][ToUtf8(drive.m_Letter)] = {{"target", ToUtf8(drive.m_Stack.front())},
                                                {"label", ToUtf8(drive.m_Label)},
                                                {"stack", stack},
                                                {"change", drive.m_Change}};
  }
  report["current_directory"] = ToUtf8(machine.m_CurrentDirectory);
  report["verdict"] = VerdictJson(verdict);
  report["notes"] = ordered_json::array();
  for (const std::wstring& szNote : machine.m_Notes) report["notes"].push_back(ToUtf8(szNote));
  if (!compareLog.is_null()) report["compare_log"] = compareLog;
  out << report.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

