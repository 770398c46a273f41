// malvik-sim: shows what malvik would do on a machine described in JSON.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "tools/sim_command.h"

int main(int argc, char* argv[]) {
  const bool bColour = isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr;
  return RunSimulator(argc, argv, std::cout, std::cerr, bColour);
}
