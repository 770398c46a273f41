// --assume-rebuilt-bcd: what the boot-configuration scripts leave on a usual
// machine, which no capture can see before they run.
#pragma once

#include "simulator/sim_view.h"

// Gives each boot-configuration script of the program folder the rebuilt
// boot store as what it creates, unless the description already says what
// that script creates. True when it gave one the boot store.
bool AssumeRebuiltBcd(sim::SimMachine& machine);
