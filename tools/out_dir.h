// --out DIR: the simulated machine's files after the run, on the real disk.
#pragma once

#include <ostream>
#include <string>

#include "platform/sim/sim_view.h"

// Copies every lettered volume's files below szDir, one folder per letter.
// Stops at the first folder or file it cannot create or write, or that would
// land outside szDir, and reports it on `err` with its path: false then.
bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err);
