// The command interpreter model: how cmd runs a batch file on the simulated
// machine's files.
#pragma once

#include <string>

#include "platform/sim/sim_model.h"

namespace sim {

// Runs the batch file szBatch (absolute) on the machine's files, filling in
// run's lines, exit code and run time.
void RunBatchFile(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run);

}  // namespace sim
