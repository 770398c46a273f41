#include "tools/report_json.h"

#include <nlohmann/json.hpp>

using nlohmann::ordered_json;
using sim::ToUtf8;

void WriteJson(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome) {
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
      outcome.m_pBatch ? ordered_json(outcome.m_pBatch->m_Bytes) : ordered_json();
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
  report["notes"] = ordered_json::array();
  for (const std::wstring& szNote : machine.m_Notes) report["notes"].push_back(ToUtf8(szNote));
  out << report.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

