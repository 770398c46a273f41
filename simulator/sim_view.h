// The one header through which tools/ uses a simulated machine: its model
// (the description and what a run changed and recorded), the loader of its
// description and the paths on a volume a description records, which volume
// a letter or device path names, the entry a path names, the text of its
// files and the code pages it decodes them in, and a run of the program on
// it. The machine's workings (changing its file trees,
// the command interpreter model, the clock) stay behind their own headers.
#pragma once

#include <functional>
#include <string>

#include "simulator/code_pages.h"
#include "simulator/description_format.h"
#include "simulator/ini_text.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_loader.h"
#include "simulator/sim_model.h"
#include "simulator/sim_text.h"

namespace sim {

// The file or folder a path names now (a relative one against the machine's
// current directory), or nullptr. Reads only.
const SimFile* FindFile(const SimMachine& machine, const std::wstring& szPath);

// Adds a plain file at a path below the volume's root (no leading "\") to
// what a script creates when it runs; the folders on the way are made too.
void AddScriptFile(SimScript& script, const std::wstring& szPath);

// The machine as description text (JSON, UTF-8) that LoadMachineText reads
// back to an equal machine: files, letters, labels and scripts as they are
// now, so after a run the machine as the run left it. What a description
// cannot hold (a second letter of one volume) is said in its notes.
std::string DescribeMachine(const SimMachine& machine);

// Calls run with machine installed as the one the platform's calls act on,
// on this thread only: machines run on other threads at the same time stay
// apart.
void RunInstalled(SimMachine& machine, const std::function<void()>& run);

}  // namespace sim
