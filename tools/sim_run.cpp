#include "tools/sim_run.h"

#include "core/entry.h"
#include "simulator/sim_view.h"

Outcome RunOnMachine(sim::SimMachine& machine, const std::vector<std::wstring>& args) {
  const DosDeviceTable before = machine.m_DosDevices;
  std::vector<const wchar_t*> argv = {machine.m_Program.c_str()};
  Outcome outcome;
  outcome.m_CommandLine = machine.m_Program;
  outcome.m_Arguments = args;
  for (const std::wstring& sz : args) {
    argv.push_back(sz.c_str());
    outcome.m_CommandLine += L" " + sz;
  }
  sim::RunInstalled(machine, [&] {
    outcome.m_ExitCode = RunMalvik(static_cast<int>(argv.size()), argv.data());
  });
  CollectOutcome(machine, before, outcome);
  return outcome;
}
