// Reads a machine description (JSON) into a SimMachine. Every key is checked:
// an unknown key, a value of the wrong type or out of range is an error that
// names the JSON path of the bad value.
#pragma once

#include <string>

#include "platform/sim/sim_model.h"

namespace sim {

struct LoadError {
  std::string m_Path;  // "disks[0].partitions[2].letter"; "$" for the whole text
  std::string m_What;
};

// Fills `machine` from the JSON text and prepares it (PrepareMachine). False
// with `error` set when the text is not a valid description.
bool LoadMachine(const std::string& szJson, SimMachine& machine, LoadError& error);

// Reads and loads a file. False with `szErrorLine` set to the one line to
// show: "FILE: PATH: WHAT".
bool LoadMachineFile(const std::string& szFile, SimMachine& machine, std::string& szErrorLine);

}  // namespace sim
