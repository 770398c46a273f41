// The firmware-variable probe on the simulated machine: it answers as the
// description's firmware says, and records the arguments it was given.
#include "platform/platform.h"

#include "platform/sim/sim_machine.h"

namespace platform {

FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  machine.m_FirmwareProbes.push_back({szName, szGuid, nSize});
  if (machine.m_Firmware.m_Succeeds) return {nSize, 0};
  return {0, machine.m_Firmware.m_Error};
}

}  // namespace platform
