// The report as one JSON object.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "tools/sim_outcome.h"
#include "tools/verdict.h"

// `compareLog`, when not null, goes under "compare_log", last.
void WriteJson(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome,
               const Verdict& verdict, const nlohmann::ordered_json& compareLog = nullptr);

// The verdict as data: the "verdict" key of the report, and the fleet check's.
nlohmann::ordered_json VerdictJson(const Verdict& verdict);
