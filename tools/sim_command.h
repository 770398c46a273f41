// malvik-sim: runs the program on a described machine and reports what it
// did there.
#pragma once

#include <ostream>

// The whole command: arguments as main() gets them. Returns the process exit
// status: the program's own exit code, 1 when --compare-log finds a
// difference or check a failed machine, 2 when the command line, the
// machine description or the --compare-log file is bad or --out fails. `bColour`: the report for people may use
// colour (main decides from the terminal and NO_COLOR).
int RunSimulator(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                 bool bColour = false);
