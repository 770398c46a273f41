// malvik-sim: shows what malvik would do on a machine described in JSON.
#include <iostream>

#include "tools/host.h"
#include "tools/sim_command.h"

int main(int argc, char* argv[]) {
  return RunSimulator(argc, argv, std::cout, std::cerr, HostOutputTakesColour());
}
