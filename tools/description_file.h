// A machine description read from a file on this computer.
#pragma once

#include <string>

#include "platform/sim/sim_model.h"

// Reads and loads a file, as sim::LoadMachineText. A file that cannot be read
// gives the system's reason: "FILE: $: cannot read the file: Permission denied".
// No more than one byte past the size a description may hold is read, so a
// device (/dev/zero) gives the loader's "larger than" error.
bool LoadDescriptionFile(const std::string& szFile, sim::SimMachine& machine,
                         std::string& szErrorLine);
