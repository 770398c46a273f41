#include "tools/sim_options.h"

#include "platform/sim/sim_text.h"

const char kUsage[] =
    "usage: malvik-sim [--machine FILE.json] [--json] [--out DIR] [--compare-log FILE]\n"
    "                  [--print-default-machine] [-- ARG...]\n"
    "       malvik-sim check [--json] PATH...\n"
    "       malvik-sim --help\n";

const char kHelp[] =
    "malvik-sim: shows what malvik would do on a machine described in JSON.\n"
    "\n"
    "usage: malvik-sim [--machine FILE.json] [--json] [--out DIR] [--compare-log FILE]\n"
    "                  [--print-default-machine] [-- ARG...]\n"
    "       malvik-sim check [--json] PATH...\n"
    "\n"
    "Runs malvik once on the machine and prints a report: the log lines, the batch\n"
    "file and what ran of it, the dialogs, the drive letters against the start,\n"
    "and a verdict. Without --machine, the built-in UEFI laptop is used.\n"
    "\n"
    "  --machine FILE.json    the machine description to run on\n"
    "  --json                 one JSON object instead of the report (with check:\n"
    "                         an array, one object per machine)\n"
    "  --out DIR              also write the machine's files after the run below\n"
    "                         DIR, one folder per drive letter\n"
    "  --compare-log FILE     compare this run's log with a Malvik.log taken from a\n"
    "                         real machine, time stamps aside; shows the first\n"
    "                         difference with the lines before it\n"
    "  --print-default-machine  print the built-in description and exit\n"
    "  -- ARG...              malvik's own arguments (three letters, or none)\n"
    "  check PATH...          run every description given (files, or folders of\n"
    "                         *.json): one line per machine, then N passed, N failed\n"
    "  --help                 this text\n"
    "\n"
    "Colour only when standard output is a terminal and NO_COLOR is not set.\n"
    "\n"
    "Exit status:\n"
    "  0  the run's exit code (malvik's own: 0, or 1 when it could not start);\n"
    "     check: every machine passed\n"
    "  1  --compare-log: the logs differ; check: a machine needed a person, left a\n"
    "     presence line \"false\", or could not be read\n"
    "  2  a bad command line, a description that cannot be read (one line on\n"
    "     standard error names the file and the JSON path), or --out failed\n";

bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError) {
  int i = 1;
  if (argc > 1 && std::string(argv[1]) == "check") {
    options.m_Check = true;
    for (i = 2; i < argc; ++i) {
      const std::string sz = argv[i];
      if (sz == "--json") {
        options.m_Json = true;
      } else if (sz.rfind("--", 0) == 0 && sz != "--") {
        szError = "malvik-sim check: unexpected option '" + sz + "'";
        return false;
      } else if (sz != "--") {
        options.m_CheckPaths.push_back(sz);
      }
    }
    if (options.m_CheckPaths.empty()) {
      szError = "malvik-sim check: name at least one description file or folder";
      return false;
    }
    return true;
  }
  for (; i < argc; ++i) {
    const std::string sz = argv[i];
    if (sz == "--") {
      for (++i; i < argc; ++i) options.m_Args.push_back(sim::FromUtf8(argv[i]));
    } else if (sz == "--json") {
      options.m_Json = true;
    } else if (sz == "--help" || sz == "-h") {
      options.m_Help = true;
    } else if (sz == "--print-default-machine") {
      options.m_PrintDefault = true;
    } else if ((sz == "--machine" || sz == "--out") && i + 1 < argc) {
      (sz == "--machine" ? options.m_MachineFile : options.m_OutDir) = argv[++i];
    } else if (sz == "--compare-log" && i + 1 < argc) {
      options.m_CompareLog = argv[++i];
    } else {
      szError = "malvik-sim: unexpected argument '" + sz + "'";
      return false;
    }
  }
  return true;
}
