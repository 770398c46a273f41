// The read-only questions tools/ ask of a simulated machine.
#include "platform/sim/sim_view.h"

#include "platform/sim/sim_files.h"

namespace sim {

const SimFile* FindFile(const SimMachine& machine, const std::wstring& szPath) {
  // The lookup changes nothing; it only hands out a pointer that may.
  return FindFile(const_cast<SimMachine&>(machine), szPath);
}

}  // namespace sim
