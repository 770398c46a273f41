// What tools/ may read from a simulated machine: its model (the description
// and what a run changed and recorded), which volume a letter or device path
// names, the entry a path names, and the text of its files. The machine's
// workings (changing its file trees, the command interpreter model, the
// clock) stay behind their own headers.
#pragma once

#include <string>

#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_model.h"
#include "platform/sim/sim_text.h"

namespace sim {

// The file or folder a path names now (a relative one against the machine's
// current directory), or nullptr. Reads only.
const SimFile* FindFile(const SimMachine& machine, const std::wstring& szPath);

}  // namespace sim
