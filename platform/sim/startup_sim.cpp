// Framework start-up, the message box, standard output, the machine name and
// the program's own path on the simulated machine. Each call advances the
// simulated clock by its cost.
#include "platform/platform.h"

#include "platform/program_name.h"
#include "simulator/sim_machine.h"
#include "platform/win32_codes.h"

namespace platform {
bool InitFramework() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  if (machine.m_Faults.m_FrameworkInitFail) return false;
  machine.m_ErrorMode |= kSEM_FAILCRITICALERRORS | kSEM_NOOPENFILEERRORBOX;
  return true;
}

void ShowMessageBox(const std::wstring& szText) {
  sim::SimMachine& machine = sim::CurrentMachine();
  machine.m_Dialogs.push_back(
      {ProgramNameFromPath(machine.m_Program), szText, L"OK", L"exclamation"});
}

void WriteStdout(std::string_view szText) { sim::CurrentMachine().m_Console += szText; }

std::wstring GetMachineName() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine.m_Name;
}

std::wstring ReadProgramPath() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine.m_Program;
}

std::wstring ReadWindowsFolder() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine.m_WindowsDirectory;
}

}  // namespace platform
