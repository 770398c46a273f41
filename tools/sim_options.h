// The command line of malvik-sim.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The synopsis, on a bad command line and in --help.
extern const char kUsage[];
// --help: the synopsis, every option and the exit statuses.
std::string HelpText();

// What --machine names to read the description from standard input.
inline constexpr char kStandardInput[] = "-";

struct Options {
  std::string m_MachineFile;  // empty: the built-in machine; kStandardInput: standard input
  bool m_Json = false;
  bool m_PrintDefault = false;
  bool m_Help = false;
  bool m_Version = false;
  std::string m_OutDir;
  std::string m_HtmlFile;  // --html: the page to write; empty: none
  std::string m_CompareLog;  // a field Malvik.log to compare this run's log with
  size_t m_LogRun = 0;       // the run of that log to compare, from 1; 0: its last
  bool m_AssumeRebuiltBcd = false;  // the scripts leave the rebuilt boot store
  // malvik's own arguments, given after "--" (even none): they replace the
  // description's "arguments". nullopt: no "--", the description's are used.
  std::optional<std::vector<std::wstring>> m_Args;
  bool m_Check = false;                  // malvik-sim check PATH...
  std::vector<std::string> m_CheckPaths;
  bool m_Plan = false;            // malvik-sim plan
  std::string m_ProgramFolder;    // plan --program: malvik's folder; empty: malvik-sim's own
  std::string m_DescriptionOut;   // plan --out: the file for the captured description
  bool m_Explore = false;         // malvik-sim explore [FILE.json]; plan --explore
  std::string m_Only;             // explore --only FAMILY
  std::string m_PrintVariation;   // explore --print-variation NAME
};

// Reads argv into `options`; false with `szError` set on a bad argument.
// Options come in any order, each at most once; a value follows its option
// as the next argument or after "=". "--" ends the options: what follows is
// malvik's arguments, with every command (check: for every machine).
bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError);
