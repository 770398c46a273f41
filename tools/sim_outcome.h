// What a simulated run left behind, gathered for the reports: the log lines
// it wrote, the batch file, and the drive letters against the start.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "simulator/sim_view.h"

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
  std::vector<std::wstring> m_Arguments;  // the program's own, after its name
  std::wstring m_LogFile;
  const sim::SimFile* m_pLog = nullptr;
  const sim::SimFile* m_pBatch = nullptr;
  // The batch file's text, read in the code page malvik wrote it in (the
  // one cmd reads it in), which m_BatchCodePage names.
  std::wstring m_BatchText;
  std::uint32_t m_BatchCodePage = 0;
  std::vector<LogLine> m_Log;
  std::vector<Drive> m_Drives;
};

using DosDeviceTable = std::map<std::wstring, std::vector<std::wstring>>;

// Reads the outcome off a machine after its run; `before` is its DOS-device
// table at the start.
void CollectOutcome(sim::SimMachine& machine, const DosDeviceTable& before, Outcome& outcome);
