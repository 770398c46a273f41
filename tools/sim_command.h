// malvik-sim: runs the program on a described machine and reports what it
// did there.
#pragma once

#include <iostream>

// What the command says when its output did not all get there.
inline constexpr char kOutputLost[] = "malvik-sim: cannot write to standard output";

// Exit statuses of malvik-sim besides the run's own exit code (malvik's) and
// those of plan (plan.h).
constexpr int kSimDiffers = 1;    // --compare-log: the logs differ; check: a machine failed
// A bad command line, description or field log, a refused or failed --out, or
// standard output that could not be written.
constexpr int kSimCannotRun = 2;

// The whole command: arguments as main() gets them. Returns the process exit
// status: the program's own exit code, 1 when --compare-log finds a
// difference or check a failed machine, 2 when the command line, the
// machine description or the --compare-log file is bad, --out is refused or
// fails, or `out` could not be written. `bColour`: the report for people may
// use colour (main decides: UseColour). `input` is what --machine - reads.
int RunSimulator(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                 bool bColour = false, std::istream& input = std::cin);
