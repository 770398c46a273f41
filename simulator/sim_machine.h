// Preparing a described machine for a run, installing it as the one the
// simulated platform calls act on, and its clock running on.
#pragma once

#include <cstdint>

#include "simulator/sim_model.h"

namespace sim {

// Fills in what the description leaves to defaults and defines the letters
// the machine has before the run. Call once after loading or building.
void PrepareMachine(SimMachine& machine);

// Makes `machine` the one the simulated platform calls of this thread act
// on, for the lifetime of this object; the thread's previously installed
// machine (or none) is restored when it ends. Other threads keep their own.
class ScopedSimMachine {
 public:
  explicit ScopedSimMachine(SimMachine& machine);
  ~ScopedSimMachine();
  ScopedSimMachine(const ScopedSimMachine&) = delete;
  ScopedSimMachine& operator=(const ScopedSimMachine&) = delete;

 private:
  SimMachine* m_Previous;
};

// This thread's installed machine; aborts when none is installed.
SimMachine& CurrentMachine();

// Advances the simulated clock.
void Spend(SimMachine& machine, std::uint32_t nMilliseconds);

}  // namespace sim
