// Reads a machine description (JSON) into a SimMachine. Every key is checked:
// an unknown or repeated key, a value of the wrong type or out of range, or
// partitions that overlap on their disk is an error that names the JSON path
// of the bad value. What is accepted but worth a word (a partition past its
// disk's size) is a warning in SimMachine::m_LoadWarnings.
#pragma once

#include <cstddef>
#include <string>

#include "simulator/sim_model.h"

namespace sim {

// The most a description may hold: far beyond any real machine's (a capture
// of a machine with many disks is some hundred kilobytes), and small enough
// to load in a few seconds. A text past it is refused before it is parsed;
// a reader reads no more than one byte past it.
inline constexpr size_t kMaxDescriptionBytes = 8u << 20;  // 8 MiB
// How deep objects and arrays may nest: a description needs 7 levels
// (disks[0].partitions[0].files[0] is an object at the 7th).
inline constexpr size_t kMaxDescriptionNesting = 32;

struct LoadError {
  std::string m_Path;  // "disks[0].partitions[2].letter"; "$" for the whole text
  std::string m_What;
};

// Fills `machine` from the JSON text and prepares it (PrepareMachine). False
// with `error` set when the text is not a valid description.
bool LoadMachine(const std::string& szJson, SimMachine& machine, LoadError& error);

// Loads a description that came from `szSource` (a file name, or
// "(standard input)"). False with `szErrorLine` set to the one line to show:
// "SOURCE: PATH: WHAT".
bool LoadMachineText(const std::string& szSource, const std::string& szJson,
                     SimMachine& machine, std::string& szErrorLine);

// The loader's warnings about a description from `szSource`, one line each:
// "SOURCE: PATH: warning: WHAT\n"; empty when there are none.
std::string LoadWarningLines(const std::string& szSource, const SimMachine& machine);

}  // namespace sim
