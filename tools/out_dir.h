// --out DIR: the simulated machine's files after the run, on the real disk.
#pragma once

#include <ostream>
#include <string>

#include "platform/sim/sim_machine.h"

// Copies every lettered volume's files below szDir, one folder per letter.
bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err);
