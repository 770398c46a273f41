// The firmware-variable probe on the simulated machine: it answers as the
// description's firmware says, and records the arguments it was given.
#include "platform/platform.h"

#include "simulator/sim_machine.h"
#include "platform/win32_codes.h"

namespace platform {

FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  machine.m_FirmwareProbes.push_back({szName, szGuid, nSize});
  // The probe needs SE_SYSTEM_ENVIRONMENT_NAME, which only an elevated
  // token holds.
  if (!machine.m_Elevated) return {0, kERROR_PRIVILEGE_NOT_HELD};
  if (machine.m_Firmware.m_Succeeds) return {nSize, 0};
  return {0, machine.m_Firmware.m_Error};
}

}  // namespace platform
