// The report as one JSON object.
#pragma once

#include <ostream>

#include "tools/sim_outcome.h"

void WriteJson(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome);
