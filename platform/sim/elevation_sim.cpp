// Whether the process runs elevated, on the simulated machine: as its
// model says.
#include "platform/platform.h"

#include "simulator/sim_machine.h"

namespace platform {

Elevation ReadElevation() {
  const sim::SimMachine& machine = sim::CurrentMachine();
  return {true, machine.m_Elevated, 0};
}

}  // namespace platform
