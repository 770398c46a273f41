// A machine description read from a file on this computer.
#pragma once

#include <string>

#include "simulator/sim_view.h"

// Reads and loads a file, as sim::LoadMachineText. A file that cannot be read
// gives the system's reason, "FILE: cannot read the file: Permission denied",
// and FileNameHint. No more than one byte past the size a description may
// hold is read, so a device (/dev/zero) gives the loader's "larger than" error.
bool LoadDescriptionFile(const std::string& szFile, sim::SimMachine& machine,
                         std::string& szErrorLine);

// Reads a description file's text, as LoadDescriptionFile does, without
// loading it. False with `szErrorLine` set as LoadDescriptionFile sets it.
bool ReadDescriptionFile(const std::string& szFile, std::string& szText,
                         std::string& szErrorLine);

// For a file name that could not be read: when it ends in a double quote,
// what it was read as and why (cmd's trap: "C:\My Files\" passes
// C:\My Files" to a program, the backslash escaping the closing quote), as
// a sentence after "; "; otherwise empty.
std::string FileNameHint(const std::string& szFile);
