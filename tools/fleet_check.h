// malvik-sim check PATH...: the fleet check. Runs every description given
// (files, or folders of *.json) and shows one line per machine, then how
// many passed and failed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// The exit status: 0 when every machine passed, 1 when any needed a person,
// left a presence line "false" or could not be read.
int RunFleetCheck(const std::vector<std::string>& paths, bool bJson, bool bColour,
                  std::ostream& out, std::ostream& err);
