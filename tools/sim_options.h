// The command line of malvik-sim.
#pragma once

#include <string>
#include <vector>

extern const char kUsage[];
// --help: the synopsis, every option and the exit statuses.
extern const char kHelp[];

struct Options {
  std::string m_MachineFile;
  bool m_Json = false;
  bool m_PrintDefault = false;
  bool m_Help = false;
  std::string m_OutDir;
  std::string m_CompareLog;  // a field Malvik.log to compare this run's log with
  std::vector<std::wstring> m_Args;
  bool m_Check = false;                  // malvik-sim check PATH...
  std::vector<std::string> m_CheckPaths;
};

// Reads argv into `options`; false with `szError` set on a bad argument.
bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError);
