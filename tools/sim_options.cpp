#include "tools/sim_options.h"

#include <optional>
#include <set>

#include "platform/ascii.h"
#include "simulator/sim_view.h"

const char kUsage[] =
    "usage: malvik-sim [--machine FILE.json|-] [--json] [--out DIR]\n"
    "                  [--compare-log FILE [--log-run K]] [--assume-rebuilt-bcd]\n"
    "                  [-- ARG...]\n"
    "       malvik-sim check [--json] [--assume-rebuilt-bcd] PATH... [-- ARG...]\n"
    "       malvik-sim plan [--program FOLDER] [--json] [--out FILE] [-- ARG...]\n"
    "       malvik-sim --print-default-machine\n"
    "       malvik-sim --help | --version\n";

const char kHelp[] =
    "malvik-sim: shows what malvik would do on a machine described in JSON.\n"
    "\n"
    "usage: malvik-sim [--machine FILE.json|-] [--json] [--out DIR]\n"
    "                  [--compare-log FILE [--log-run K]] [--assume-rebuilt-bcd]\n"
    "                  [-- ARG...]\n"
    "       malvik-sim check [--json] [--assume-rebuilt-bcd] PATH... [-- ARG...]\n"
    "       malvik-sim plan [--program FOLDER] [--json] [--out FILE] [-- ARG...]\n"
    "       malvik-sim --print-default-machine\n"
    "       malvik-sim --help | --version\n"
    "\n"
    "Runs malvik once on the machine and prints a report: the log lines, the batch\n"
    "file and what ran of it, the dialogs, the drive letters against the start,\n"
    "and a verdict. Without --machine, the built-in UEFI laptop is used.\n"
    "\n"
    "  --machine FILE.json    the machine description to run on; - reads it from\n"
    "                         standard input\n"
    "  --json                 one JSON object instead of the report (with check:\n"
    "                         one object: machines, passed, failed)\n"
    "  --out DIR              also write the machine's files after the run below\n"
    "                         DIR, one folder per drive letter; DIR must be new or\n"
    "                         empty (an earlier run's files are refused, not mixed\n"
    "                         in) and no symbolic link below it is followed\n"
    "  --compare-log FILE     compare this run's log with a Malvik.log taken from a\n"
    "                         real machine, time stamps aside; shows the first\n"
    "                         difference (its line in the run and in FILE) with\n"
    "                         the lines before it. FILE is read in the machine's\n"
    "                         ansi_code_page (default 1252), or as UTF-16 or UTF-8\n"
    "                         after a byte-order mark, or as UTF-8 when it is\n"
    "                         valid UTF-8 with bytes above 127 and the\n"
    "                         description gives no ansi_code_page; CR LF, LF and\n"
    "                         CR line ends are all fine; the outcome says how it\n"
    "                         was read. A log holds every run made on the\n"
    "                         machine, one after the other; the last is compared,\n"
    "                         and the outcome says how many there are, which was\n"
    "                         compared and the file line it starts on. A run\n"
    "                         killed during its inventory retries is a run of\n"
    "                         its own: a retry never follows attempt [19], fails\n"
    "                         as the next number (a new run's first as [0]), and,\n"
    "                         when it succeeds, follows within a minute. On a\n"
    "                         difference it names the causes that fit: the\n"
    "                         replay's assumed boot store, malvik's arguments,\n"
    "                         the scripts' exit codes, a capture taken after the\n"
    "                         run\n"
    "  --log-run K            with --compare-log: compare run K of FILE instead,\n"
    "                         counted from 1 at the top of the file\n"
    "  --assume-rebuilt-bcd   each boot-configuration script (modifybcdtoPBR.cmd,\n"
    "                         modifybcdtoWinRE.cmd) leaves the boot store it\n"
    "                         rebuilds, \\EFI\\OEM\\boot\\BCD (hidden), on the volume of\n"
    "                         its first argument, as on a usual machine, unless\n"
    "                         the description's scripts.NAME.creates says what it\n"
    "                         leaves. For replaying a capture: no capture can see\n"
    "                         what a script will create. Also an option of\n"
    "                         check, for descriptions kept by plan --out, which\n"
    "                         plan judged with this assumption\n"
    "  -- ARG...              malvik's own arguments (three letters, or none),\n"
    "                         instead of the description's \"arguments\"; -- alone:\n"
    "                         none. With check, for every machine\n"
    "  check PATH...          run every description given (files, or folders of\n"
    "                         *.json), each with its own \"arguments\": one line per\n"
    "                         machine, then N passed, N failed\n"
    "  plan                   a plan of this machine: runs malvik-capture(.exe)\n"
    "                         from malvik-sim's own folder (it changes nothing),\n"
    "                         shows its summary on standard error (its notes\n"
    "                         once, in the report), then\n"
    "                         runs malvik on the description as it would start\n"
    "                         here (no arguments unless -- gives them, in the\n"
    "                         current folder) and prints the report and its verdict\n"
    "    --program FOLDER     malvik's folder, as the capture takes it; default:\n"
    "                         the capture's own folder\n"
    "    --out FILE           also keep the captured description in FILE, written\n"
    "                         by the capture with its own rules: a new file only,\n"
    "                         never one that exists\n"
    "  --print-default-machine  print the built-in description and exit; takes no\n"
    "                         other option\n"
    "  --help                 this text\n"
    "  --version              the version: malvik-sim X.Y.Z\n"
    "\n"
    "Options come in any order, each at most once. A value is the next argument\n"
    "or follows '=': --machine=FILE.json. Everything after -- is malvik's, with\n"
    "every command (a path that starts with - is written ./-NAME).\n"
    "\n"
    "A description is read whole before anything runs: a fault in it stops\n"
    "malvik-sim with one line, FILE: PATH: WHAT; so does one larger than 8 MiB or\n"
    "nested deeper than 32 levels (a device such as /dev/zero included). What it\n"
    "accepts with a warning (a partition past its disk's size) runs, the warning\n"
    "on standard error as FILE: PATH: warning: WHAT.\n"
    "\n"
    "Colour only when standard output is a terminal, NO_COLOR is not set and TERM\n"
    "is not \"dumb\".\n"
    "\n"
    "Exit status:\n"
    "  0  the run's exit code (malvik's own: 0, or 1 when it could not start);\n"
    "     check: every machine passed\n"
    "  1  --compare-log: the logs differ; check: a machine failed its verdict or\n"
    "     could not be read\n"
    "  2  a bad command line, a description that cannot be read (one line on\n"
    "     standard error names the file and the JSON path), a --compare-log FILE\n"
    "     that cannot be read or holds no log lines (says why), a --log-run K\n"
    "     that FILE does not hold (says how many runs it holds), --out refused\n"
    "     or failed (names the path), or standard output could not be written\n"
    "\n"
    "Exit status of plan:\n"
    "  0  the verdict passed: malvik would hand over to a boot-configuration\n"
    "     script here, with the right letters\n"
    "  1  the verdict failed (the report says why): among the causes, a machine\n"
    "     whose disks malvik does not find, as the capture's first note then says\n"
    "  2  a bad command line, malvik-capture missing beside malvik-sim or not\n"
    "     started, ended with another status, or its description unreadable\n"
    "  3  the capture refused: the program folder is not malvik's (nothing captured)\n"
    "  4  --out FILE exists, is a folder, or could not be written (nothing run)\n";

// The help gives the loader's limits in words.
static_assert(sim::kMaxDescriptionBytes == 8u << 20 && sim::kMaxDescriptionNesting == 32);

namespace {

// One option of malvik-sim.
struct OptionRule {
  const char* m_Name;
  const char* m_Value;  // what its value is; nullptr: it takes none
  bool m_WithCheck;     // also an option of check
  bool m_WithPlan;      // an option of plan
};

const OptionRule kOptionRules[] = {
    {"--machine", "a machine description file, or - for standard input", false, false},
    {"--json", nullptr, true, true},
    {"--out", "a folder to write the machine's files below (plan: a file)", false, true},
    {"--compare-log", "a Malvik.log taken from a real machine", false, false},
    {"--log-run", "the number of a run in the --compare-log file, from 1", false, false},
    {"--assume-rebuilt-bcd", nullptr, true, false},
    {"--print-default-machine", nullptr, false, false},
    {"--program", "malvik's folder", false, true},
    {"--help", nullptr, true, true},
    {"--version", nullptr, true, true},
};

const OptionRule* FindRule(const std::string& szName) {
  for (const OptionRule& rule : kOptionRules) {
    if (szName == rule.m_Name) return &rule;
  }
  return nullptr;
}

bool StartsWith(const std::string& sz, const char* szPrefix) { return sz.rfind(szPrefix, 0) == 0; }

// A run number: decimal digits, from 1; 0 when szValue is none.
size_t RunNumber(const std::string& szValue) {
  if (!platform::IsDecimalDigits(szValue) || szValue.size() > 9) {
    return 0;
  }
  return std::stoul(szValue);
}

// Stores a value or a switch in `options`.
void Store(const std::string& szName, const std::string& szValue, Options& options) {
  if (szName == "--log-run") options.m_LogRun = RunNumber(szValue);
  if (szName == "--machine") options.m_MachineFile = szValue;
  if (szName == "--out") options.m_OutDir = szValue;
  if (szName == "--compare-log") options.m_CompareLog = szValue;
  if (szName == "--program") options.m_ProgramFolder = szValue;
  if (szName == "--json") options.m_Json = true;
  if (szName == "--assume-rebuilt-bcd") options.m_AssumeRebuiltBcd = true;
  if (szName == "--print-default-machine") options.m_PrintDefault = true;
  if (szName == "--help") options.m_Help = true;
  if (szName == "--version") options.m_Version = true;
}

}  // namespace

bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError) {
  std::vector<std::string> given;       // option names, in order
  std::vector<std::string> positional;  // before "--", "check" aside
  std::vector<std::string> rest;        // after "--"
  for (int i = 1; i < argc; ++i) {
    const std::string sz = argv[i];
    if (sz == "--") {
      rest.assign(argv + i + 1, argv + argc);
      options.m_Args.emplace();
      for (const std::string& szArg : rest) options.m_Args->push_back(sim::FromUtf8(szArg));
      break;
    }
    if (!StartsWith(sz, "-") || sz == kStandardInput) {
      if (sz == "check" && !options.m_Check && !options.m_Plan && positional.empty()) {
        options.m_Check = true;
      } else if (sz == "plan" && !options.m_Check && !options.m_Plan && positional.empty()) {
        options.m_Plan = true;
      } else {
        positional.push_back(sz);
      }
      continue;
    }
    std::string szName = sz == "-h" ? "--help" : sz;
    std::optional<std::string> value;
    const size_t nEquals = sz.find('=');
    if (StartsWith(sz, "--") && nEquals != std::string::npos) {
      szName = sz.substr(0, nEquals);
      value = sz.substr(nEquals + 1);
    }
    const OptionRule* pRule = FindRule(szName);
    if (pRule == nullptr) {
      szError = "malvik-sim: unknown option '" + szName + "'";
      return false;
    }
    for (const std::string& szGiven : given) {
      if (szGiven == szName) {
        szError = "malvik-sim: " + szName + " given twice";
        return false;
      }
    }
    given.push_back(szName);
    if (pRule->m_Value == nullptr) {
      if (value) {
        szError = "malvik-sim: " + szName + " takes no value";
        return false;
      }
    } else {
      // The next argument is the value unless it is another option.
      if (!value && i + 1 < argc) {
        const std::string szNext = argv[i + 1];
        if (!StartsWith(szNext, "-") || szNext == kStandardInput) value = argv[++i];
      }
      if (!value || value->empty()) {
        szError = "malvik-sim: " + szName + " needs a value (" + pRule->m_Value + ")";
        return false;
      }
    }
    Store(szName, value.value_or(""), options);
    if (szName == "--log-run" && options.m_LogRun == 0) {
      szError = "malvik-sim: --log-run " + *value + ": a run number is needed, from 1";
      return false;
    }
  }
  if (options.m_Help || options.m_Version) return true;

  if (options.m_Check) {
    for (const std::string& szName : given) {
      if (!FindRule(szName)->m_WithCheck) {
        szError = "malvik-sim check: " + szName + " is not an option of check";
        return false;
      }
    }
    options.m_CheckPaths = positional;
    if (options.m_CheckPaths.empty()) {
      szError = "malvik-sim check: name at least one description file or folder";
      return false;
    }
    return true;
  }
  if (options.m_Plan) {
    for (const std::string& szName : given) {
      if (!FindRule(szName)->m_WithPlan) {
        szError = "malvik-sim plan: " + szName + " is not an option of plan";
        return false;
      }
    }
    if (!positional.empty()) {
      szError = "malvik-sim plan: unexpected argument '" + positional.front() +
                "' (malvik's own arguments go after --)";
      return false;
    }
    options.m_DescriptionOut = options.m_OutDir;
    options.m_OutDir.clear();
    return true;
  }
  for (const std::string& szName : given) {
    if (szName == "--program") {
      szError = "malvik-sim: --program is an option of plan";
      return false;
    }
  }
  if (!positional.empty()) {
    szError = "malvik-sim: unexpected argument '" + positional.front() +
              "' (malvik's own arguments go after --)";
    return false;
  }
  if (options.m_PrintDefault) {
    for (const std::string& szName : given) {
      if (szName == "--machine") {
        szError = "malvik-sim: --print-default-machine and --machine cannot be used together";
        return false;
      }
      if (szName != "--print-default-machine") {
        szError = "malvik-sim: --print-default-machine runs nothing, so " + szName +
                  " cannot be used with it";
        return false;
      }
    }
    if (!rest.empty()) {
      szError = "malvik-sim: --print-default-machine runs nothing, so malvik's arguments "
                "after -- cannot be used with it";
      return false;
    }
  }
  if (options.m_LogRun != 0 && options.m_CompareLog.empty()) {
    szError = "malvik-sim: --log-run picks a run of the --compare-log file; give that too";
    return false;
  }
  return true;
}
