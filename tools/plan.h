// malvik-sim plan: what malvik would do on the machine this runs on. The
// capture program beside malvik-sim describes the machine, read-only, and
// malvik runs once on that description, as it would run here with no
// arguments; the report and its verdict follow.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/host.h"

struct Options;

// Exit statuses of malvik-sim plan.
constexpr int kPlanPassed = 0;       // malvik would hand over to recovery here
constexpr int kPlanFailed = 1;       // the verdict failed: the report says why
constexpr int kPlanCannotRun = 2;    // no plan: the capture could not run or be read
constexpr int kPlanNotMalviks = 3;   // the capture refused the folder: not malvik's
constexpr int kPlanOutRefused = 4;   // --out FILE exists, is a folder, or was not written
constexpr int kPlanFragile = 5;      // --explore: the machine passed, some variation failed

// The capture's name, without the program ending.
inline constexpr char kCaptureName[] = "malvik-capture";

// The capture's arguments for a plan: malvik's folder (--program), the
// current folder as the one malvik starts in, and --out FILE when given.
std::vector<std::string> CaptureArguments(const Options& options);

// What a plan shows and ends with, given what the capture gave back: its
// standard error (summary, refusals) first, on `err`, in plan's words (no
// advice to use an option plan does not take, LF line ends, the notes left
// to the report, the console note dropped where plan takes this console's
// code pages), then the report
// of malvik's run on its description, on `out`. szDescription is the
// description (the capture's standard output, or the --out file's bytes).
// The capture runs without a console; console holds the code pages of the
// one malvik will run in, this one, which the run takes where the simulated
// machine knows them. malvik runs with the description's "arguments" (a
// capture gives none), or with `args` when given (plan -- ARG...).
// bExplore (plan --explore): explores the machine instead, every variation
// taken as the machine is (this console, the rebuilt boot store assumed),
// szOnly naming one family or none.
int ReportPlan(const HostRun& capture, const std::string& szDescription,
               const HostConsoleCodePages& console, bool bJson, bool bColour, std::ostream& out,
               std::ostream& err,
               const std::optional<std::vector<std::wstring>>& args = std::nullopt,
               bool bExplore = false, const std::string& szOnly = "");

// malvik-sim plan: runs the capture from malvik-sim's own folder, then
// ReportPlan.
int RunPlan(const Options& options, bool bColour, std::ostream& out, std::ostream& err);
