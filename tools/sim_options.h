// The command line of malvik-sim.
#pragma once

#include <string>
#include <vector>

extern const char kUsage[];

struct Options {
  std::string m_MachineFile;
  bool m_Json = false;
  bool m_PrintDefault = false;
  std::string m_OutDir;
  std::string m_CompareLog;  // a field Malvik.log to compare this run's log with
  std::vector<std::wstring> m_Args;
};

// Reads argv into `options`; false with `szError` set on a bad argument.
bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError);
