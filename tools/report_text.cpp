#include "tools/report_text.h"

namespace {

using sim::ToUtf8;

std::string Printable(const std::wstring& sz) {
  std::string out;
  for (char c : ToUtf8(sz)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string FirmwareText(const sim::SimFirmware& firmware) {
  if (firmware.m_Succeeds) return "probe succeeds";
  if (firmware.m_Error == 998) return "UEFI (probe fails with error 998)";
  if (firmware.m_Error == 1) return "legacy BIOS (probe fails with error 1)";
  return "probe fails with error " + std::to_string(firmware.m_Error);
}

// Each line of the batch file behind "  | ", line ends shown as they are.
void WriteBatchText(std::ostream& out, const std::string& szBytes) {
  size_t begin = 0;
  for (;;) {
    const size_t end = szBytes.find('\n', begin);
    std::string szLine = szBytes.substr(begin, end == std::string::npos ? end : end - begin);
    const bool bCrLf = !szLine.empty() && szLine.back() == '\r';
    if (bCrLf) szLine.pop_back();
    out << "  | " << szLine << (end == std::string::npos ? "  (no line end)" : bCrLf ? "" : "  (LF only)")
        << "\n";
    if (end == std::string::npos) break;
    begin = end + 1;
  }
}

// A command line the program started, and what the interpreter model did
// with each line it ran.
void WriteRun(std::ostream& out, const sim::SimProcessRun& run) {
  out << "  > " << ToUtf8(run.m_CommandLine) << "\n";
  if (run.m_StartError != 0) {
    out << "    not started: error " << run.m_StartError << "\n";
    return;
  }
  for (const sim::SimBatchLine& line : run.m_Lines) {
    out << "    " << ToUtf8(line.m_Line) << "\n      -> " << ToUtf8(line.m_Did)
        << " (error level " << line.m_Code << ")\n";
  }
  out << "    exit code " << run.m_ExitCode << "\n";
}

}  // namespace

void WriteText(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome) {
  out << "Machine:       " << (machine.m_Name.empty() ? "(unnamed)" : ToUtf8(machine.m_Name))
      << "\n";
  out << "Firmware:      " << FirmwareText(machine.m_Firmware) << "\n";
  if (!machine.m_Notes.empty()) {
    out << "Notes of the description:\n";
    for (const std::wstring& szNote : machine.m_Notes) out << "  - " << ToUtf8(szNote) << "\n";
  }
  out << "Command line:  " << ToUtf8(outcome.m_CommandLine) << "\n";
  out << "Exit code:     " << outcome.m_ExitCode << "\n";
  out << "Simulated time: " << (machine.m_ClockMs - machine.m_StartMs) << " ms\n";
  out << "Console:       " << (machine.m_Console.empty() ? "(nothing)" : "") << "\n";
  if (!machine.m_Console.empty()) out << machine.m_Console;

  out << "\nLog lines written (" << ToUtf8(outcome.m_LogFile) << "): " << outcome.m_Log.size()
      << "\n";
  for (const LogLine& line : outcome.m_Log) {
    out << "  " << Printable(line.m_Key) << " = " << Printable(line.m_Value) << "\n";
  }

  out << "\nBatch file:    ";
  if (outcome.m_pBatch == nullptr) {
    out << "(none)\n";
  } else {
    out << "\n";
    WriteBatchText(out, outcome.m_pBatch->m_Bytes);
  }

  out << "\nCommands run:  " << (machine.m_Runs.empty() ? "(none)" : "") << "\n";
  for (const sim::SimProcessRun& run : machine.m_Runs) WriteRun(out, run);

  out << "\nDialogs:       " << (machine.m_Dialogs.empty() ? "(none)" : "") << "\n";
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    out << "  [" << ToUtf8(dialog.m_Title) << "] " << ToUtf8(dialog.m_Text) << "  ("
        << ToUtf8(dialog.m_Buttons) << "; " << ToUtf8(dialog.m_Icon) << ")\n";
  }

  out << "\nDrive letters after the run:\n";
  for (const Drive& drive : outcome.m_Drives) {
    std::string szTarget = drive.m_Stack.empty() ? "-" : ToUtf8(drive.m_Stack.front());
    if (drive.m_Stack.size() > 1) {
      szTarget += " (stacked over " + std::to_string(drive.m_Stack.size() - 1) + ")";
    }
    out << "  " << ToUtf8(drive.m_Letter) << "  " << szTarget;
    out << std::string(szTarget.size() < 40 ? 40 - szTarget.size() : 1, ' ');
    const std::string szLabel = drive.m_Label.empty() ? "-" : ToUtf8(drive.m_Label);
    out << szLabel << std::string(szLabel.size() < 20 ? 20 - szLabel.size() : 1, ' ')
        << drive.m_Change << "\n";
  }
  out << "\nCurrent directory at exit: " << ToUtf8(machine.m_CurrentDirectory) << "\n";
}

