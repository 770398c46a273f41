#include "tools/sim_options.h"

#include "platform/sim/sim_text.h"

const char kUsage[] =
    "usage: malvik-sim [--machine FILE.json] [--json] [--out DIR] [--compare-log FILE] "
    "[--print-default-machine] [-- ARG...]\n";

bool ParseOptions(int argc, const char* const argv[], Options& options, std::string& szError) {
  for (int i = 1; i < argc; ++i) {
    const std::string sz = argv[i];
    if (sz == "--") {
      for (++i; i < argc; ++i) options.m_Args.push_back(sim::FromUtf8(argv[i]));
    } else if (sz == "--json") {
      options.m_Json = true;
    } else if (sz == "--print-default-machine") {
      options.m_PrintDefault = true;
    } else if ((sz == "--machine" || sz == "--out") && i + 1 < argc) {
      (sz == "--machine" ? options.m_MachineFile : options.m_OutDir) = argv[++i];
    } else if (sz == "--compare-log" && i + 1 < argc) {
      options.m_CompareLog = argv[++i];
    } else {
      szError = "malvik-sim: unexpected argument '" + sz + "'";
      return false;
    }
  }
  return true;
}

