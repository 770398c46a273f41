// The command interpreter model: how cmd runs a batch file on the simulated
// machine's files.
#pragma once

#include <string>

#include "simulator/sim_model.h"

namespace sim {

// Runs the batch file szBatch (absolute) on the machine's files, filling in
// run's lines, exit code, run time and its record of the hand-over.
void RunBatchFile(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run);

// Runs the command line szCommandLine, which the platform hands to the
// command interpreter because it names a batch file: cmd reads it as typed
// at its prompt ('%' signs first), then runs the batch file it names.
void RunBatchCommand(SimMachine& machine, const std::wstring& szCommandLine, SimProcessRun& run);

// Records in run the first hand-over line of the batch file szBatch
// (absolute) as cmd would read it, running nothing: for a batch file whose
// start failed.
void ReadHandOver(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run);

}  // namespace sim
