#include "tools/sim_options.h"

#include <optional>
#include <utility>

#include "core/copy_efi.h"
#include "platform/ascii.h"
#include "platform/words.h"
#include "simulator/sim_view.h"
#include "support/log.h"
#include "tools/plan.h"

namespace {

const char kHelpIntro[] =
    "malvik-sim: shows what malvik would do on a machine described in JSON.\n"
    "\n";

const char kHelpRun[] =
    "\n"
    "Runs malvik once on the machine and prints a report: the log lines, the batch\n"
    "file and what ran of it, the dialogs, the drive letters against the start,\n"
    "and a verdict. Without --machine, the built-in UEFI laptop is used.\n"
    "\n";

const char kHelpEnd[] =
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
    "     or failed (names the path), --html refused or failed (names the\n"
    "     file), or standard output could not be written\n"
    "\n"
    "Exit status of plan:\n"
    "  0  the verdict passed: malvik would hand over to a boot-configuration\n"
    "     script here, with the right letters\n"
    "  1  the verdict failed (the report says why): among the causes, a machine\n"
    "     whose disks malvik does not find, as the capture's first note then says\n"
    "  2  a bad command line, malvik-capture missing beside malvik-sim or not\n"
    "     started, ended with another status, or its description unreadable\n"
    "  3  the capture refused: the program folder is not malvik's (nothing captured)\n"
    "  4  --out FILE exists, is a folder, or could not be written (nothing run)\n"
    "  5  --explore: the machine passed, but some variation failed\n"
    "\n"
    "Exit status of explore:\n"
    "  0  the machine and every variation passed\n"
    "  1  the machine as described failed its verdict\n"
    "  2  a bad command line, or a description that cannot be read\n"
    "  3  the machine passed, but some variation failed\n";

}  // namespace

// The help gives the loader's limits in words.
static_assert(sim::kMaxDescriptionBytes == 8u << 20 && sim::kMaxDescriptionNesting == 32);

namespace {

// The verbs of a command line, one bit each.
enum Verb : unsigned {
  kRun = 1u << 0,    // no verb: malvik once on one machine
  kCheck = 1u << 1,  // check PATH...
  kPlan = 1u << 2,   // plan
  kExplore = 1u << 3,  // explore [FILE.json]
};
constexpr unsigned kEveryVerb = kRun | kCheck | kPlan | kExplore;

// What a command line was made of, before a verb's check.
struct CommandLine {
  unsigned m_Verb = kRun;
  std::vector<std::string> m_Given;       // option names, in order
  std::vector<std::string> m_Positional;  // before "--", the verb aside
  std::vector<std::string> m_Rest;        // after "--"
};

// One word of malvik-sim's command line: an option, a verb, or "--". In
// the order --help lists them; an option the plain run does not take is
// listed indented, after its verb.
struct CommandWord {
  const char* m_Name;   // "--machine", "check", "--"
  const char* m_Shown;  // what follows the name in the help ("FILE.json"); nullptr: nothing
  // An option's value, in words for the error when it is missing; empty:
  // it takes none.
  std::string m_Value;
  unsigned m_Verbs;  // an option: the verbs that take it; a verb: its own bit
  void (*m_Store)(Options& options, const std::string& szValue);  // nullptr: "--"
  std::string m_Help;  // its help, one line after another
};

using sim::ToUtf8;

// Whether a word is a verb (a name without a leading "-").
bool IsVerb(const CommandWord& word) { return word.m_Name[0] != '-'; }

// A run number: decimal digits, from 1; 0 when szValue is none.
size_t RunNumber(const std::string& szValue) {
  if (!platform::IsDecimalDigits(szValue) || szValue.size() > 9) return 0;
  return std::stoul(szValue);
}

// "Malvik.log": a file's name without its folder.
std::string FileName(const wchar_t* szPath) {
  const std::string sz = ToUtf8(szPath);
  return sz.substr(sz.find_last_of('\\') + 1);
}

const std::vector<CommandWord>& CommandWords() {
  static const std::vector<CommandWord> kWords = {
      {"--machine", "FILE.json", "a machine description file, or - for standard input", kRun,
       [](Options& o, const std::string& v) { o.m_MachineFile = v; },
       "the machine description to run on; - reads it from\n"
       "standard input"},
      {"--json", nullptr, "", kEveryVerb, [](Options& o, const std::string&) { o.m_Json = true; },
       "one JSON object instead of the report (with check:\n"
       "one object: machines, passed, failed)"},
      {"--out", "DIR", "a folder to write the machine's files below (plan: a file)", kRun,
       [](Options& o, const std::string& v) { o.m_OutDir = v; },
       "also write the machine's files after the run below\n"
       "DIR, one folder per drive letter; DIR must be new or\n"
       "empty (an earlier run's files are refused, not mixed\n"
       "in) and no symbolic link below it is followed"},
      {"--html", "FILE", "a file to write the page to", kRun | kCheck | kExplore,
       [](Options& o, const std::string& v) { o.m_HtmlFile = v; },
       "also write a page for a browser to FILE: each\n"
       "machine's disks drawn to scale, its letters before\n"
       "and after, the hand-over and the verdict (check:\n"
       "the failed machines first; explore: the variations\n"
       "too). Self-contained: nothing\n"
       "is fetched. An earlier page is replaced whole; a\n"
       "symbolic link at FILE is refused"},
      {"--compare-log", "FILE", "a " + FileName(kLogFile) + " taken from a real machine", kRun,
       [](Options& o, const std::string& v) { o.m_CompareLog = v; },
       "compare this run's log with a " + FileName(kLogFile) + " taken from a\n"
       "real machine, time stamps aside; shows the first\n"
       "difference (its line in the run and in FILE) with\n"
       "the lines before it. FILE is read in the machine's\n"
       "ansi_code_page (default 1252), or as UTF-16 or UTF-8\n"
       "after a byte-order mark, or as UTF-8 when it is\n"
       "valid UTF-8 with bytes above 127 and the\n"
       "description gives no ansi_code_page; CR LF, LF and\n"
       "CR line ends are all fine; the outcome says how it\n"
       "was read. A log holds every run made on the\n"
       "machine, one after the other; the last is compared,\n"
       "and the outcome says how many there are, which was\n"
       "compared and the file line it starts on. A run\n"
       "killed during its inventory retries is a run of\n"
       "its own: a retry never follows attempt [19], fails\n"
       "as the next number (a new run's first as [0]), and,\n"
       "when it succeeds, follows within a minute. On a\n"
       "difference it names the causes that fit: the\n"
       "replay's assumed boot store, malvik's arguments,\n"
       "the scripts' exit codes, a capture taken after the\n"
       "run"},
      {"--log-run", "K", "the number of a run in the --compare-log file, from 1", kRun,
       [](Options& o, const std::string& v) { o.m_LogRun = RunNumber(v); },
       "with --compare-log: compare run K of FILE instead,\n"
       "counted from 1 at the top of the file"},
      {"--assume-rebuilt-bcd", nullptr, "", kRun | kCheck | kExplore,
       [](Options& o, const std::string&) { o.m_AssumeRebuiltBcd = true; },
       "each boot-configuration script (" + ToUtf8(kPbrScript) + ",\n" + ToUtf8(kWinReScript) +
           ") leaves the boot store it\n"
           "rebuilds, " +
           ToUtf8(RebuiltBootStore()) +
           " (hidden), on the volume of\n"
           "its first argument, as on a usual machine, unless\n"
           "the description's scripts.NAME.creates says what it\n"
           "leaves. For replaying a capture: no capture can see\n"
           "what a script will create. Also an option of\n"
           "check, for descriptions kept by plan --out, which\n"
           "plan judged with this assumption"},
      {"--", "ARG...", "", kEveryVerb, nullptr,
       "malvik's own arguments (three letters, or none),\n"
       "instead of the description's \"arguments\"; -- alone:\n"
       "none. With check, for every machine"},
      {"check", "PATH...", "", kCheck, [](Options& o, const std::string&) { o.m_Check = true; },
       "run every description given (files, or folders of\n"
       "*.json), each with its own \"arguments\": one line per\n"
       "machine, then N passed, N failed"},
      {"plan", nullptr, "", kPlan, [](Options& o, const std::string&) { o.m_Plan = true; },
       "a plan of this machine: runs " + std::string(kCaptureName) +
           "(.exe)\n"
           "from malvik-sim's own folder (it changes nothing),\n"
           "shows its summary on standard error (its notes\n"
           "once, in the report), then\n"
           "runs malvik on the description as it would start\n"
           "here (no arguments unless -- gives them, in the\n"
           "current folder) and prints the report and its verdict"},
      {"--program", "FOLDER", "malvik's folder", kPlan,
       [](Options& o, const std::string& v) { o.m_ProgramFolder = v; },
       "malvik's folder, as the capture takes it; default:\n"
       "the capture's own folder"},
      {"--out", "FILE", "a file to keep the captured description in", kPlan,
       [](Options& o, const std::string& v) { o.m_DescriptionOut = v; },
       "also keep the captured description in FILE, written\n"
       "by the capture with its own rules: a new file only,\n"
       "never one that exists"},
      {"--explore", nullptr, "", kPlan, [](Options& o, const std::string&) { o.m_Explore = true; },
       "explore the captured machine instead of one run"},
      {"explore", "[FILE.json]", "", kExplore,
       [](Options& o, const std::string&) { o.m_Explore = true; },
       "how fragile a layout is: runs malvik on the\n"
       "description (the built-in machine without one) and\n"
       "on each variation of it, one realistic field change\n"
       "at a time (a stick at M:, WMI slow after boot, a\n"
       "renamed label, a second run...); the machine's\n"
       "verdict, one line per variation, a summary"},
      {"--only", "FAMILY", "a family of variations", kExplore | kPlan,
       [](Options& o, const std::string& v) { o.m_Only = v; },
       "only that family's variations: the name in brackets\n"
       "after each heading of the report (wmi, labels...)"},
      {"--print-variation", "NAME", "the name of a variation", kExplore,
       [](Options& o, const std::string& v) { o.m_PrintVariation = v; },
       "print that variation's description, to run it\n"
       "with --machine or keep it; runs nothing"},
      {"--print-default-machine", nullptr, "", kRun,
       [](Options& o, const std::string&) { o.m_PrintDefault = true; },
       "print the built-in description and exit; takes no\n"
       "other option"},
      {"--help", nullptr, "", kEveryVerb,
       [](Options& o, const std::string&) { o.m_Help = true; }, "this text"},
      {"--version", nullptr, "", kEveryVerb,
       [](Options& o, const std::string&) { o.m_Version = true; },
       "the version: malvik-sim X.Y.Z"},
  };
  return kWords;
}

// The option of that name for the verb (any verb: kEveryVerb), or nullptr.
const CommandWord* FindOption(const std::string& szName, unsigned nVerbs) {
  for (const CommandWord& word : CommandWords()) {
    if (!IsVerb(word) && szName == word.m_Name && (word.m_Verbs & nVerbs) != 0) return &word;
  }
  return nullptr;
}

// The verb's word, or nullptr.
const CommandWord* FindVerb(const std::string& sz) {
  for (const CommandWord& word : CommandWords()) {
    if (IsVerb(word) && sz == word.m_Name) return &word;
  }
  return nullptr;
}

// "check", "plan", "check or plan": the verbs of those bits.
std::string VerbNames(unsigned nVerbs) {
  std::vector<std::string> names;
  for (const CommandWord& word : CommandWords()) {
    if (IsVerb(word) && (word.m_Verbs & nVerbs) != 0) names.push_back(word.m_Name);
  }
  return platform::JoinedWith(names, " or ");
}

// The options block of --help: each word's name and what follows it, its
// help beside them from column kHelpColumn.
std::string OptionsHelp() {
  constexpr size_t kHelpColumn = 25;
  std::string sz;
  for (const CommandWord& word : CommandWords()) {
    const bool bUnderVerb = !IsVerb(word) && (word.m_Verbs & kRun) == 0;
    std::string szLead = std::string(bUnderVerb ? 4 : 2, ' ') + word.m_Name;
    if (word.m_Shown != nullptr) szLead += std::string(" ") + word.m_Shown;
    szLead += std::string(szLead.size() + 2 <= kHelpColumn ? kHelpColumn - szLead.size() : 2, ' ');
    size_t begin = 0;
    while (begin <= word.m_Help.size()) {
      size_t end = word.m_Help.find('\n', begin);
      if (end == std::string::npos) end = word.m_Help.size();
      sz += (begin == 0 ? szLead : std::string(kHelpColumn, ' ')) +
            word.m_Help.substr(begin, end - begin) + "\n";
      begin = end + 1;
    }
  }
  return sz;
}

bool StartsWith(const std::string& sz, const char* szPrefix) { return sz.rfind(szPrefix, 0) == 0; }

// Every option given is one of the verb's; szSaid starts the error.
bool OnlyOptionsOf(const CommandLine& line, const char* szSaid, std::string& szError) {
  for (const std::string& szName : line.m_Given) {
    if (FindOption(szName, line.m_Verb) != nullptr) continue;
    const unsigned nVerbs = FindOption(szName, kEveryVerb)->m_Verbs;
    szError = std::string(szSaid) + szName +
              (line.m_Verb == kRun ? " is an option of " + VerbNames(nVerbs)
                                   : " is not an option of " + VerbNames(line.m_Verb));
    return false;
  }
  return true;
}

bool NoPositional(const CommandLine& line, const char* szSaid, std::string& szError) {
  if (line.m_Positional.empty()) return true;
  szError = std::string(szSaid) + "unexpected argument '" + line.m_Positional.front() +
            "' (malvik's own arguments go after --)";
  return false;
}

// check PATH...
bool CheckCheck(const CommandLine& line, Options& options, std::string& szError) {
  if (!OnlyOptionsOf(line, "malvik-sim check: ", szError)) return false;
  options.m_CheckPaths = line.m_Positional;
  if (options.m_CheckPaths.empty()) {
    szError = "malvik-sim check: name at least one description file or folder";
    return false;
  }
  return true;
}

// plan [--explore [--only FAMILY]]
bool CheckPlan(const CommandLine& line, Options& options, std::string& szError) {
  if (!OnlyOptionsOf(line, "malvik-sim plan: ", szError) ||
      !NoPositional(line, "malvik-sim plan: ", szError)) {
    return false;
  }
  if (!options.m_Only.empty() && !options.m_Explore) {
    szError = "malvik-sim plan: --only narrows --explore; give that too";
    return false;
  }
  return true;
}

// explore [FILE.json]
bool CheckExplore(const CommandLine& line, Options& options, std::string& szError) {
  if (!OnlyOptionsOf(line, "malvik-sim explore: ", szError)) return false;
  if (line.m_Positional.size() > 1) {
    szError = "malvik-sim explore: one description at a time; unexpected argument '" +
              line.m_Positional[1] + "' (malvik's own arguments go after --)";
    return false;
  }
  if (!line.m_Positional.empty() && line.m_Positional.front() == kStandardInput) {
    szError = "malvik-sim explore: name a description file (standard input is not read)";
    return false;
  }
  if (!line.m_Positional.empty()) options.m_MachineFile = line.m_Positional.front();
  return true;
}

// No verb: one run, or --print-default-machine.
bool CheckRun(const CommandLine& line, Options& options, std::string& szError) {
  if (!OnlyOptionsOf(line, "malvik-sim: ", szError) ||
      !NoPositional(line, "malvik-sim: ", szError)) {
    return false;
  }
  if (options.m_PrintDefault) {
    for (const std::string& szName : line.m_Given) {
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
    if (!line.m_Rest.empty()) {
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

}  // namespace

const char kUsage[] =
    "usage: malvik-sim [--machine FILE.json|-] [--json] [--out DIR] [--html FILE]\n"
    "                  [--compare-log FILE [--log-run K]] [--assume-rebuilt-bcd]\n"
    "                  [-- ARG...]\n"
    "       malvik-sim check [--json] [--html FILE] [--assume-rebuilt-bcd] PATH...\n"
    "                  [-- ARG...]\n"
    "       malvik-sim plan [--program FOLDER] [--json] [--out FILE] [-- ARG...]\n"
    "       malvik-sim explore [FILE.json] [--json] [--html FILE] [--only FAMILY]\n"
    "                  [--print-variation NAME] [--assume-rebuilt-bcd] [-- ARG...]\n"
    "       malvik-sim plan --explore [--program FOLDER] [--json] [--only FAMILY]\n"
    "                  [-- ARG...]\n"
    "       malvik-sim --print-default-machine\n"
    "       malvik-sim --help | --version\n";

std::string HelpText() {
  return kHelpIntro + std::string(kUsage) + kHelpRun + OptionsHelp() + kHelpEnd;
}

bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError) {
  CommandLine line;
  std::vector<std::pair<const CommandWord*, std::string>> values;  // in order
  for (int i = 1; i < argc; ++i) {
    const std::string sz = argv[i];
    if (sz == "--") {
      line.m_Rest.assign(argv + i + 1, argv + argc);
      options.m_Args.emplace();
      for (const std::string& szArg : line.m_Rest) options.m_Args->push_back(sim::FromUtf8(szArg));
      break;
    }
    if (!StartsWith(sz, "-") || sz == kStandardInput) {
      const CommandWord* pVerb = FindVerb(sz);
      if (pVerb != nullptr && line.m_Verb == kRun && line.m_Positional.empty()) {
        line.m_Verb = pVerb->m_Verbs;
        pVerb->m_Store(options, sz);
      } else {
        line.m_Positional.push_back(sz);
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
    // Whether it takes a value is the same for every verb's row of a name.
    const CommandWord* pOption = FindOption(szName, kEveryVerb);
    if (pOption == nullptr) {
      szError = "malvik-sim: unknown option '" + szName + "'";
      return false;
    }
    for (const std::string& szGiven : line.m_Given) {
      if (szGiven == szName) {
        szError = "malvik-sim: " + szName + " given twice";
        return false;
      }
    }
    line.m_Given.push_back(szName);
    if (pOption->m_Value.empty()) {
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
        szError = "malvik-sim: " + szName + " needs a value (" + pOption->m_Value + ")";
        return false;
      }
    }
    if (szName == "--log-run" && RunNumber(*value) == 0) {
      szError = "malvik-sim: --log-run " + *value + ": a run number is needed, from 1";
      return false;
    }
    values.emplace_back(pOption, value.value_or(""));
  }
  // Each is kept by its verb's row where the verb has one of that name.
  for (const auto& [pOption, szValue] : values) {
    const CommandWord* pOwn = FindOption(pOption->m_Name, line.m_Verb);
    (pOwn != nullptr ? pOwn : pOption)->m_Store(options, szValue);
  }
  if (options.m_Help || options.m_Version) return true;
  if (line.m_Verb == kCheck) return CheckCheck(line, options, szError);
  if (line.m_Verb == kPlan) return CheckPlan(line, options, szError);
  if (line.m_Verb == kExplore) return CheckExplore(line, options, szError);
  return CheckRun(line, options, szError);
}
