// The file trees of the simulated volumes: adding entries and finding the
// entry a path names.
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_paths.h"

namespace sim {

void AddFile(SimVolumeFiles& files, const std::wstring& szPath, bool bFolder, bool bHidden,
             const std::string& szBytes) {
  std::wstring sz = NormaliseSeparators(szPath);
  while (!sz.empty() && sz.front() == L'\\') sz.erase(0, 1);
  while (!sz.empty() && sz.back() == L'\\') sz.pop_back();
  if (sz.empty()) return;
  for (size_t pos = sz.find(L'\\'); pos != std::wstring::npos; pos = sz.find(L'\\', pos + 1)) {
    const std::wstring szParent = sz.substr(0, pos);
    SimFile& parent = files.m_Entries[UpperAscii(szParent)];
    if (parent.m_Path.empty()) {
      parent.m_Path = szParent;
      parent.m_Folder = true;
    }
  }
  SimFile& file = files.m_Entries[UpperAscii(sz)];
  file.m_Path = sz;
  file.m_Folder = bFolder;
  file.m_Hidden = bHidden;
  file.m_Bytes = szBytes;
}

SimFile* FindFile(SimMachine& machine, const std::wstring& szPath) {
  const std::wstring szAbsolute = AbsolutePath(machine, szPath);
  std::wstring szLetter, szRest;
  SplitAbsolute(szAbsolute, szLetter, szRest);
  SimVolumeRef volume = FindVolumeByLetter(machine, szLetter);
  if (!volume.Readable() || szRest.empty()) return nullptr;
  auto& entries = volume.Files()->m_Entries;
  auto it = entries.find(UpperAscii(szRest));
  return it == entries.end() ? nullptr : &it->second;
}

}  // namespace sim
