// The machine-description loader on any bytes: a valid machine or an error
// that names where and what, never a crash.
#include <cstdlib>

#include "simulator/sim_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  sim::SimMachine machine;
  sim::LoadError error;
  const std::string szJson(reinterpret_cast<const char*>(pData), nSize);
  if (!sim::LoadMachine(szJson, machine, error) && (error.m_Path.empty() || error.m_What.empty())) {
    std::abort();
  }
  return 0;
}
