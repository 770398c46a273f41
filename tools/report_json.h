// The report as one JSON object.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "tools/sim_outcome.h"
#include "tools/verdict.h"

void WriteJson(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome,
               const Verdict& verdict);

// The verdict as data: the "verdict" key of the report, and the fleet check's.
nlohmann::ordered_json VerdictJson(const Verdict& verdict);
