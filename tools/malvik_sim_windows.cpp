// malvik-sim.exe: shows what malvik would do on a machine described in JSON,
// on Windows. The arguments arrive as UTF-16 and become the UTF-8 the
// simulator works in, once, here; what it writes reaches the console or the
// file it is redirected to through the host layer.
#include <sstream>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "tools/host.h"
#include "tools/sim_command.h"

int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(platform::WideToUtf8(argv[i]));
  std::vector<const char*> pointers;
  for (const std::string& sz : args) pointers.push_back(sz.c_str());
  pointers.push_back(nullptr);

  std::ostringstream out, err;
  int nStatus = RunSimulator(argc, pointers.data(), out, err, HostOutputTakesColour());
  // Standard error first: its warnings and a plan's capture notes concern
  // the report that follows, and come before it on Linux too.
  WriteHostText(true, err.str());
  if (!WriteHostText(false, out.str())) {
    WriteHostText(true, std::string(kOutputLost) + "\n");
    nStatus = 2;
  }
  return nStatus;
}
