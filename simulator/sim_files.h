// The file trees of the simulated volumes: adding entries, finding the
// entry a path names, and the directory search.
#pragma once

#include <string>
#include <vector>

#include "simulator/sim_model.h"

namespace sim {

// The file entry a path names, or nullptr.
SimFile* FindFile(SimMachine& machine, const std::wstring& szPath);
// Adds a file or folder (and its missing parent folders) to a volume, or
// replaces the entry the path names, and returns it; an empty path names no
// entry and returns nullptr.
SimFile* AddFile(SimVolumeFiles& files, const std::wstring& szPath, bool bFolder, bool bHidden,
                 const std::string& szBytes);

// The folder a path lies in exists (a drive root always does, when the
// drive can be read).
bool ParentFolderExists(SimMachine& machine, const std::wstring& szAbsolute);
// The files of the readable volume an absolute path lies on, or nullptr.
SimVolumeFiles* FilesOf(SimMachine& machine, const std::wstring& szAbsolute);
// A directory search: true when anything matches szPattern (wildcards * and
// ? in its last part). A drive root, or a path ending in a separator,
// matches nothing.
bool SearchFinds(SimMachine& machine, const std::wstring& szPattern);
// The entries below a folder (relative path, upper-cased key "A\B"), itself
// excluded; the volume root for an empty key.
std::vector<SimFile*> EntriesBelow(SimVolumeFiles& files, const std::wstring& szFolderKey);

}  // namespace sim
