#include "tools/plan.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>

#include "capture/capture.h"
#include "simulator/sim_view.h"
#include "tools/explore.h"
#include "tools/rebuilt_bcd.h"
#include "tools/report_json.h"
#include "tools/report_text.h"
#include "tools/sim_options.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

constexpr char kSaid[] = "malvik-sim plan: ";

// What names the description in the loader's lines.
constexpr char kDescriptionSource[] = "(the capture's description)";

constexpr char kCaptureSaid[] = "malvik-capture: ";

bool StartsWith(const std::string& sz, const std::string& szPrefix) {
  return sz.rfind(szPrefix, 0) == 0;
}

// The capture's standard error as plan passes it on: in plan's words and
// with LF line ends, as all malvik-sim writes. Its own lines speak for plan
// ("malvik-sim plan: "), an alternative that names an option plan does not
// take (", or add --force ...") goes, and, when pNotes is given, the notes
// the report shows go too: the summary says where they are (nShown of
// them, in the text report or the JSON one).
std::string InPlanWords(const std::string& szStderr, const std::vector<std::wstring>* pNotes,
                        size_t nShown, bool bJson) {
  std::string szOut;
  for (size_t begin = 0; begin < szStderr.size();) {
    size_t end = szStderr.find('\n', begin);
    if (end == std::string::npos) end = szStderr.size();
    std::string szLine = szStderr.substr(begin, end - begin);
    begin = end + 1;
    if (!szLine.empty() && szLine.back() == '\r') szLine.pop_back();
    if (StartsWith(szLine, kCaptureSaid)) szLine = kSaid + szLine.substr(sizeof kCaptureSaid - 1);
    for (const wchar_t* szOption : {kForceOption, kAllowIncompleteOption}) {
      const size_t nAt = szLine.find(", or add " + sim::ToUtf8(szOption));
      if (nAt == std::string::npos) continue;
      const size_t nEnd = szLine.find(';', nAt);
      szLine.erase(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
    }
    if (pNotes != nullptr && StartsWith(szLine, kSummaryNotesHeading)) {
      szLine = kSummaryNotesHeading + std::to_string(nShown) + ")" +
               (nShown == 0  ? ""
                : bJson      ? ": in the report's \"notes\""
                             : ": in the report, under Notes:");
    } else if (pNotes != nullptr && StartsWith(szLine, "  - ") &&
               std::find_if(pNotes->begin(), pNotes->end(), [&](const std::wstring& szNote) {
                 return sim::ToUtf8(szNote) == szLine.substr(4);
               }) != pNotes->end()) {
      continue;
    }
    szOut += szLine + "\n";
  }
  return szOut;
}

}  // namespace

std::vector<std::string> CaptureArguments(const Options& options) {
  // The plan is made where malvik.exe is about to be started, so the
  // current folder is the one malvik starts in.
  std::vector<std::string> args = {sim::ToUtf8(kCurrentDirectoryOption), "."};
  if (!options.m_ProgramFolder.empty()) {
    args.insert(args.end(), {sim::ToUtf8(kProgramOption), options.m_ProgramFolder});
  }
  if (!options.m_DescriptionOut.empty()) {
    args.insert(args.end(), {sim::ToUtf8(kOutOption), options.m_DescriptionOut});
  }
  return args;
}

int ReportPlan(const HostRun& capture, const std::string& szDescription,
               const HostConsoleCodePages& console, bool bJson, bool bColour, std::ostream& out,
               std::ostream& err, const std::optional<std::vector<std::wstring>>& args,
               bool bExplore, const std::string& szOnly) {
  if (capture.m_Status != kCaptureWritten || !capture.m_Started) {
    err << InPlanWords(capture.m_Stderr, nullptr, 0, bJson);
  }
  if (!capture.m_Started) {
    err << kSaid << "cannot run " << kCaptureName << ": " << capture.m_Why << "\n";
    return kPlanCannotRun;
  }
  if (capture.m_Status == kCaptureIncompleteFolder) return kPlanNotMalviks;
  if (capture.m_Status == kCaptureNotWritten) return kPlanOutRefused;
  if (capture.m_Status != kCaptureWritten) {
    err << kSaid << kCaptureName << " ended with status " << capture.m_Status
        << ": no description, so no plan\n";
    return kPlanCannotRun;
  }

  sim::SimMachine machine;
  std::string szError;
  if (!sim::LoadMachineText(kDescriptionSource, szDescription, machine, szError)) {
    err << InPlanWords(capture.m_Stderr, nullptr, 0, bJson) << szError << "\n"
        << kSaid << "the capture's description cannot be read, so no plan\n";
    return kPlanCannotRun;
  }
  // The notes are said once, in the report; the one plan settles goes.
  const std::vector<std::wstring> notes = machine.m_Notes;
  const bool bConsoleTaken = console.m_Output != 0 && sim::KnownCodePage(console.m_Input) &&
                             sim::KnownCodePage(console.m_Output);
  if (bConsoleTaken) std::erase(machine.m_Notes, std::wstring(kNoConsoleNote));
  err << InPlanWords(capture.m_Stderr, &notes, machine.m_Notes.size(), bJson);
  err << sim::LoadWarningLines(kDescriptionSource, machine);
  if (console.m_Output != 0) {
    if (bConsoleTaken) {
      machine.m_ConsoleInputCodePage = console.m_Input;
      machine.m_ConsoleOutputCodePage = console.m_Output;
      err << kSaid << "malvik's console is taken to be this one: code page " << console.m_Output
          << "\n";
    } else {
      err << kSaid << "this console's code page " << console.m_Output
          << " is not one the simulated machine knows; the plan takes the description's\n";
    }
  }
  // What the scripts will do cannot be captured before they run: the plan
  // takes the usual case and says so.
  AssumeRebuiltBcd(machine);
  err << kSaid << "assumed, as no capture can see it: each boot-configuration script exits 0 "
      << "and rebuilds the boot store (as --assume-rebuilt-bcd)\n";
  // malvik as it is started here: in the current folder, with the arguments
  // the factory line gives it.
  if (args) machine.m_Arguments = *args;
  if (bExplore) {
    ExploreInput input{kDescriptionSource, szDescription, szOnly,
                       [&](sim::SimMachine& varied) {
                         if (bConsoleTaken) {
                           varied.m_ConsoleInputCodePage = console.m_Input;
                           varied.m_ConsoleOutputCodePage = console.m_Output;
                         }
                         AssumeRebuiltBcd(varied);
                         if (args) varied.m_Arguments = *args;
                       }};
    // The description's load warnings were said above.
    std::ostringstream warnings;
    const int nStatus = RunExplore(input, bJson, bColour, out, warnings);
    if (nStatus == kExploreCannotRun) err << warnings.str();
    return nStatus == kExploreVariationFails ? kPlanFragile : nStatus;
  }
  const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
  const Verdict verdict = JudgeRun(machine, outcome);
  if (bJson) {
    WriteJson(out, machine, outcome, verdict);
  } else {
    WriteText(out, machine, outcome, verdict, bColour);
  }
  return verdict.Passed() ? kPlanPassed : kPlanFailed;
}

int RunPlan(const Options& options, bool bColour, std::ostream& out, std::ostream& err) {
  const std::string szFolder = HostProgramFolder();
  const std::string szCapture = HostJoin(szFolder, std::string(kCaptureName) + kHostProgramEnding);
  std::error_code error;
  if (szFolder.empty() || !std::filesystem::is_regular_file(HostPath(szCapture), error)) {
    err << kSaid << "no " << kCaptureName << kHostProgramEnding << " beside malvik-sim"
        << (szFolder.empty() ? "" : " in " + szFolder)
        << ": a plan is made on the machine malvik is meant for, by malvik-sim.exe plan "
           "run from the folder that holds malvik-capture.exe\n";
    return kPlanCannotRun;
  }
  const HostRun capture = RunHostProgram(szCapture, CaptureArguments(options));
  std::string szDescription = capture.m_Stdout;
  if (capture.m_Started && capture.m_Status == kCaptureWritten &&
      !options.m_DescriptionOut.empty()) {
    std::string szWhy;
    szDescription.clear();
    if (!ReadHostFile(options.m_DescriptionOut, szDescription, szWhy,
                      sim::kMaxDescriptionBytes)) {
      err << InPlanWords(capture.m_Stderr, nullptr, 0, options.m_Json) << kSaid
          << options.m_DescriptionOut << ": cannot read the description back: " << szWhy << "\n";
      return kPlanCannotRun;
    }
  }
  return ReportPlan(capture, szDescription, ReadHostConsoleCodePages(), options.m_Json, bColour,
                    out, err, options.m_Args, options.m_Explore, options.m_Only);
}
