// The local time and waiting on the simulated machine: both read or advance
// its clock, and nothing waits for real.
#include "platform/platform.h"

#include "simulator/sim_clock.h"
#include "simulator/sim_machine.h"

namespace platform {

LocalTime ReadLocalTime() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return sim::ToLocalTime(machine.m_ClockMs);
}

void Pause(std::uint32_t nMilliseconds) { sim::Spend(sim::CurrentMachine(), nMilliseconds); }

}  // namespace platform
