// The file trees of the simulated volumes: adding entries, finding the
// entry a path names, and the directory search.
#include "simulator/sim_files.h"

#include "simulator/sim_devices.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"

namespace sim {

SimFile* AddFile(SimVolumeFiles& files, const std::wstring& szPath, bool bFolder, bool bHidden,
                 const std::string& szBytes) {
  std::wstring sz = NormaliseSeparators(szPath);
  while (!sz.empty() && sz.front() == L'\\') sz.erase(0, 1);
  while (!sz.empty() && sz.back() == L'\\') sz.pop_back();
  if (sz.empty()) return nullptr;
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
  file.m_WrittenBy.clear();
  return &file;
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

bool ParentFolderExists(SimMachine& machine, const std::wstring& szAbsolute) {
  const size_t slash = szAbsolute.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::wstring szRoot = RootOf(szAbsolute);
  if (slash <= szRoot.size()) return FindVolumeByLetter(machine, szRoot).Readable();
  const SimFile* pParent = FindFile(machine, szAbsolute.substr(0, slash));
  return pParent != nullptr && pParent->m_Folder;
}

SimVolumeFiles* FilesOf(SimMachine& machine, const std::wstring& szAbsolute) {
  SimVolumeRef volume = FindVolumeByLetter(machine, RootOf(szAbsolute));
  return volume.Readable() ? volume.Files() : nullptr;
}

namespace {

// Upper-cased name against an upper-cased pattern: * any run, ? one character.
bool Matches(const wchar_t* pName, const wchar_t* pPattern) {
  if (*pPattern == L'\0') return *pName == L'\0';
  if (*pPattern == L'*') {
    for (const wchar_t* p = pName;; ++p) {
      if (Matches(p, pPattern + 1)) return true;
      if (*p == L'\0') return false;
    }
  }
  if (*pName == L'\0') return false;
  return (*pPattern == L'?' || *pPattern == *pName) && Matches(pName + 1, pPattern + 1);
}

}  // namespace

std::vector<SimFile*> EntriesBelow(SimVolumeFiles& files, const std::wstring& szFolderKey) {
  std::vector<SimFile*> entries;
  const std::wstring szPrefix = szFolderKey.empty() ? L"" : szFolderKey + L"\\";
  for (auto it = files.m_Entries.lower_bound(szPrefix); it != files.m_Entries.end(); ++it) {
    if (it->first.compare(0, szPrefix.size(), szPrefix) != 0) break;
    entries.push_back(&it->second);
  }
  return entries;
}

bool SearchFinds(SimMachine& machine, const std::wstring& szPattern) {
  const std::wstring sz = NormaliseSeparators(szPattern);
  if (sz.empty() || sz.back() == L'\\') return false;
  const std::wstring szAbsolute = AbsolutePath(machine, sz);
  std::wstring szLetter, szRest;
  SplitAbsolute(szAbsolute, szLetter, szRest);
  if (szRest.empty()) return false;
  if (szRest.find_first_of(L"*?") == std::wstring::npos) return FindFile(machine, szAbsolute);
  SimVolumeFiles* pFiles = FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || !ParentFolderExists(machine, szAbsolute)) return false;
  const size_t slash = szRest.rfind(L'\\');
  const std::wstring szFolder = slash == std::wstring::npos ? L"" : UpperAscii(szRest.substr(0, slash));
  const std::wstring szName = UpperAscii(szRest.substr(slash + 1));
  for (const SimFile* pEntry : EntriesBelow(*pFiles, szFolder)) {
    const std::wstring szKey = UpperAscii(pEntry->m_Path);
    const std::wstring szLeaf = szKey.substr(szFolder.empty() ? 0 : szFolder.size() + 1);
    if (szLeaf.find(L'\\') == std::wstring::npos && Matches(szLeaf.c_str(), szName.c_str())) {
      return true;
    }
  }
  return false;
}

}  // namespace sim
