// One simulated run: the unchanged program on a loaded machine, and what it
// left there.
#pragma once

#include <string>
#include <vector>

#include "tools/sim_outcome.h"

// Runs malvik on `machine` with these arguments (the program name is put in
// front) and gathers the outcome.
Outcome RunOnMachine(sim::SimMachine& machine, const std::vector<std::wstring>& args);
