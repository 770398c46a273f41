// The questions tools/ ask of a simulated machine, and the few changes it
// makes to one.
#include "simulator/sim_view.h"

#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"

namespace sim {

const SimFile* FindFile(const SimMachine& machine, const std::wstring& szPath) {
  // The lookup changes nothing; it only hands out a pointer that may.
  return FindFile(const_cast<SimMachine&>(machine), szPath);
}

void AddScriptFile(SimScript& script, const std::wstring& szPath) {
  AddFile(script.m_Creates, szPath, false, true, "");
}

void RunInstalled(SimMachine& machine, const std::function<void()>& run) {
  ScopedSimMachine installed(machine);
  run();
}

}  // namespace sim
