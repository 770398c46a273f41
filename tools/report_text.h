// The report for people.
#pragma once

#include <ostream>

#include "tools/sim_outcome.h"

void WriteText(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome);
