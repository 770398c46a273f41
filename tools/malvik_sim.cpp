// malvik-sim: shows what malvik would do on a machine described in JSON.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "tools/sim_command.h"
#include "tools/text_style.h"

int main(int argc, char* argv[]) {
  const bool bColour =
      UseColour(isatty(STDOUT_FILENO) != 0, std::getenv("NO_COLOR"), std::getenv("TERM"));
  return RunSimulator(argc, argv, std::cout, std::cerr, bColour);
}
