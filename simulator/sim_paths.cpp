// Path resolution on the simulated machine: separators, drive letters, and
// the absolute form of a path against the current directory.
#include "simulator/sim_paths.h"

#include <vector>

#include "platform/device_names.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_text.h"

namespace sim {

std::wstring NormaliseSeparators(std::wstring sz) {
  for (wchar_t& c : sz) {
    if (c == L'/') c = L'\\';
  }
  return sz;
}

std::wstring RootOf(const std::wstring& szAbsolute) {
  const size_t nVolume = VolumeRootLength(szAbsolute);
  return UpperAscii(szAbsolute.substr(0, nVolume != 0 ? nVolume : 2));
}

// Splits "C:\a\b" into "C:" and "a\b" (no leading or trailing separator).
void SplitAbsolute(const std::wstring& szAbsolute, std::wstring& szLetter, std::wstring& szRest) {
  szLetter = RootOf(szAbsolute);
  size_t begin = szLetter.size();
  while (begin < szAbsolute.size() && szAbsolute[begin] == L'\\') ++begin;
  szRest = szAbsolute.substr(begin);
}


std::wstring AbsolutePath(const SimMachine& machine, const std::wstring& szPath) {
  std::wstring sz = NormaliseSeparators(szPath);
  const std::wstring& cwd = machine.m_CurrentDirectory;
  const size_t nVolume = VolumeRootLength(sz);
  size_t nRoot = 2;
  if (nVolume != 0) {
    // "\\?\Volume{...}\a": the volume itself is the root.
    nRoot = nVolume;
    if (sz.size() == nRoot || sz[nRoot] != L'\\') sz.insert(nRoot, L"\\");
  } else if (platform::StartsWithDriveLetter(sz)) {
    if (sz.size() == 2 || sz[2] != L'\\') sz.insert(2, L"\\");
  } else if (!sz.empty() && sz[0] == L'\\') {
    sz = cwd.substr(0, 2) + sz;
  } else {
    std::wstring base = cwd;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    sz = base + sz;
  }
  // Fold "." and ".." the way the platform does before it looks anything up.
  std::wstring szOut = sz.substr(0, nRoot);
  std::vector<std::wstring> parts;
  size_t begin = nRoot + 1;
  while (begin <= sz.size()) {
    size_t end = sz.find(L'\\', begin);
    if (end == std::wstring::npos) end = sz.size();
    std::wstring part = sz.substr(begin, end - begin);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    begin = end + 1;
  }
  szOut += L'\\';
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) szOut += L'\\';
    szOut += parts[i];
  }
  return szOut;
}

}  // namespace sim
