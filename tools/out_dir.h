// --out DIR: the simulated machine's files after the run, on the real disk.
#pragma once

#include <ostream>
#include <string>

#include "simulator/sim_view.h"

// Makes szDir when it does not exist, and refuses it unless it is a folder
// that holds nothing, so that no earlier run's files mix with this run's.
// szDir itself may be a link to a folder; a link below it (on Windows, any
// reparse point: a symbolic link, a junction) is named when refused. Reports on `err` with the path and why: false then.
bool PrepareOutDir(const std::string& szDir, std::ostream& err);

// After PrepareOutDir, copies every lettered volume's files below szDir, one
// folder per letter. Nothing below szDir is reached through a link:
// each folder is made and then opened without following one, each file is
// created new without following one. Stops at the first folder or file it
// cannot create or write, that is a link, or that would land outside szDir,
// and reports it on `err` with its path: false then.
bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err);
