#include "tools/sim_report.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "core/entry.h"
#include "platform/sim/ini_text.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_loader.h"
#include "platform/sim/sim_machine.h"
#include "tools/default_machine.h"

namespace {

using nlohmann::ordered_json;
using sim::ToUtf8;

const char kUsage[] =
    "usage: malvik-sim [--machine FILE.json] [--json] [--out DIR] [--print-default-machine] "
    "[-- ARG...]\n";

struct Options {
  std::string m_MachineFile;
  bool m_Json = false;
  bool m_PrintDefault = false;
  std::string m_OutDir;
  std::vector<std::wstring> m_Args;
};

bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError) {
  for (int i = 1; i < argc; ++i) {
    const std::string sz = argv[i];
    if (sz == "--") {
      for (++i; i < argc; ++i) options.m_Args.push_back(sim::FromUtf8(argv[i]));
    } else if (sz == "--json") {
      options.m_Json = true;
    } else if (sz == "--print-default-machine") {
      options.m_PrintDefault = true;
    } else if ((sz == "--machine" || sz == "--out") && i + 1 < argc) {
      (sz == "--machine" ? options.m_MachineFile : options.m_OutDir) = argv[++i];
    } else {
      szError = "malvik-sim: unexpected argument '" + sz + "'";
      return false;
    }
  }
  return true;
}

struct LogLine {
  std::wstring m_Key;
  std::wstring m_Value;
};

struct Drive {
  std::wstring m_Letter;
  std::vector<std::wstring> m_Stack;
  std::wstring m_Label;
  std::string m_Change;  // new, moved, removed, unchanged
};

struct Outcome {
  int m_ExitCode = 0;
  std::wstring m_CommandLine;
  std::wstring m_LogFile;
  const sim::SimFile* m_pLog = nullptr;
  const sim::SimFile* m_pBatch = nullptr;
  std::vector<LogLine> m_Log;
  std::vector<Drive> m_Drives;
};

std::wstring ProgramFolder(const sim::SimMachine& machine) {
  const size_t slash = machine.m_Program.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : machine.m_Program.substr(0, slash + 1);
}

// The log lines this run wrote, in file order.
std::vector<LogLine> RunLogLines(const sim::SimMachine& machine, const std::wstring& szLogFile,
                                 const sim::SimFile* pLog) {
  std::vector<LogLine> lines;
  if (pLog == nullptr) return lines;
  std::set<std::wstring> written;
  for (const sim::SimProfileWrite& write : machine.m_ProfileWrites) {
    if (sim::UpperAscii(write.m_File) == sim::UpperAscii(szLogFile)) {
      written.insert(sim::UpperAscii(write.m_Key));
    }
  }
  for (const sim::IniEntry& entry : sim::ParseIni(sim::FromUtf8(pLog->m_Bytes))) {
    if (sim::UpperAscii(entry.m_Section) == L"MALVIK" &&
        written.count(sim::UpperAscii(entry.m_Key))) {
      lines.push_back({entry.m_Key, entry.m_Value});
    }
  }
  return lines;
}

std::vector<Drive> DrivesAfter(sim::SimMachine& machine,
                               const std::map<std::wstring, std::vector<std::wstring>>& before) {
  std::vector<Drive> drives;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (stack.empty()) continue;
    auto it = before.find(szLetter);
    const bool bExisted = it != before.end() && !it->second.empty();
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    drives.push_back({szLetter, stack, volume.Readable() ? volume.Label() : L"",
                      !bExisted                           ? "new"
                      : it->second.front() != stack.front() ? "moved"
                                                          : "unchanged"});
  }
  for (const auto& [szLetter, stack] : before) {
    auto it = machine.m_DosDevices.find(szLetter);
    if (!stack.empty() && (it == machine.m_DosDevices.end() || it->second.empty())) {
      drives.push_back({szLetter, {}, L"", "removed"});
    }
  }
  return drives;
}

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

void WriteText(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome) {
  out << "Machine:       " << (machine.m_Name.empty() ? "(unnamed)" : ToUtf8(machine.m_Name))
      << "\n";
  out << "Firmware:      " << FirmwareText(machine.m_Firmware) << "\n";
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
    std::string sz = outcome.m_pBatch->m_Bytes;
    for (size_t pos = 0; (pos = sz.find("\r\n", pos)) != std::string::npos;) sz.replace(pos, 2, "\n");
    out << "  | " << sz << "\n";
  }

  out << "\nDialogs:       " << (machine.m_Dialogs.empty() ? "(none)" : "") << "\n";
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    out << "  [" << ToUtf8(dialog.m_Title) << "] " << ToUtf8(dialog.m_Text) << "\n";
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
  report["dialogs"] = ordered_json::array();
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    report["dialogs"].push_back({{"title", ToUtf8(dialog.m_Title)}, {"text", ToUtf8(dialog.m_Text)}});
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
  out << report.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

// Copies every lettered volume's files below szDir, one folder per letter.
bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    if (!volume.Readable()) continue;
    const fs::path root = fs::path(szDir) / ToUtf8(szLetter.substr(0, 1));
    fs::create_directories(root, ec);
    for (const auto& [szKey, file] : volume.Files()->m_Entries) {
      std::string szRelative = ToUtf8(file.m_Path);
      for (char& c : szRelative) {
        if (c == '\\') c = '/';
      }
      const fs::path path = root / szRelative;
      if (file.m_Folder) {
        fs::create_directories(path, ec);
      } else {
        fs::create_directories(path.parent_path(), ec);
        std::ofstream(path, std::ios::binary) << file.m_Bytes;
      }
    }
    if (ec) {
      err << "malvik-sim: cannot write below " << szDir << ": " << ec.message() << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int RunSimulator(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  Options options;
  std::string szError;
  if (!ParseOptions(argc, argv, options, szError)) {
    err << szError << "\n" << kUsage;
    return 2;
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

  const auto before = machine.m_DosDevices;
  std::vector<const wchar_t*> args = {machine.m_Program.c_str()};
  Outcome outcome;
  outcome.m_CommandLine = machine.m_Program;
  for (const std::wstring& sz : options.m_Args) {
    args.push_back(sz.c_str());
    outcome.m_CommandLine += L" " + sz;
  }
  {
    sim::ScopedSimMachine installed(machine);
    outcome.m_ExitCode = RunMalvik(static_cast<int>(args.size()), args.data());
  }

  const std::wstring szFolder = ProgramFolder(machine);
  outcome.m_LogFile = szFolder + L"Log\\Malvik.log";
  outcome.m_pLog = sim::FindFile(machine, outcome.m_LogFile);
  outcome.m_pBatch = sim::FindFile(machine, szFolder + L"CopyEFI_byOEM.cmd");
  outcome.m_Log = RunLogLines(machine, outcome.m_LogFile, outcome.m_pLog);
  outcome.m_Drives = DrivesAfter(machine, before);

  if (options.m_Json) {
    WriteJson(out, machine, outcome);
  } else {
    WriteText(out, machine, outcome);
  }
  if (!options.m_OutDir.empty() && !WriteOutDir(machine, options.m_OutDir, err)) return 2;
  return outcome.m_ExitCode;
}
