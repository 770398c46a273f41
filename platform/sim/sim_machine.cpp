#include "platform/sim/sim_machine.h"

#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

SimMachine* g_pMachine = nullptr;

constexpr std::int64_t kMiB = 1048576;

std::wstring NormaliseSeparators(std::wstring sz) {
  for (wchar_t& c : sz) {
    if (c == L'/') c = L'\\';
  }
  return sz;
}

bool HasDriveLetter(const std::wstring& sz) {
  return sz.size() >= 2 && sz[1] == L':' &&
         ((sz[0] >= L'A' && sz[0] <= L'Z') || (sz[0] >= L'a' && sz[0] <= L'z'));
}

// Splits "C:\a\b" into "C:" and "a\b" (no leading or trailing separator).
void SplitAbsolute(const std::wstring& szAbsolute, std::wstring& szLetter, std::wstring& szRest) {
  szLetter = UpperAscii(szAbsolute.substr(0, 2));
  size_t begin = 2;
  while (begin < szAbsolute.size() && szAbsolute[begin] == L'\\') ++begin;
  szRest = szAbsolute.substr(begin);
}

}  // namespace

std::wstring UpperAscii(std::wstring sz) {
  for (wchar_t& c : sz) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return sz;
}

std::string ToUtf8(const std::wstring& sz) {
  std::string out;
  for (wchar_t wc : sz) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring FromUtf8(const std::string& sz) {
  std::wstring out;
  for (size_t i = 0; i < sz.size();) {
    const auto b = static_cast<unsigned char>(sz[i]);
    const int nExtra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (nExtra < 0 || i + static_cast<size_t>(nExtra) >= sz.size() + (nExtra == 0)) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    std::uint32_t c = nExtra == 0 ? b : b & (0x3F >> nExtra);
    bool bValid = true;
    for (int k = 1; k <= nExtra; ++k) {
      const auto cont = static_cast<unsigned char>(sz[i + static_cast<size_t>(k)]);
      if ((cont & 0xC0) != 0x80) bValid = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!bValid) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<size_t>(nExtra) + 1;
  }
  return out;
}

std::wstring PartitionDevicePath(int nDisk, int nPartition) {
  return L"\\Device\\Harddisk" + std::to_wstring(nDisk) + L"\\Partition" +
         std::to_wstring(nPartition);
}

std::wstring DriveDevicePath(const std::wstring& szLetter) {
  return L"\\Device\\SimulatedVolume" + UpperAscii(szLetter.substr(0, 1));
}

SimVolumeFiles* SimVolumeRef::Files() const {
  if (m_Partition) return &m_Partition->m_Files;
  if (m_Drive) return &m_Drive->m_Files;
  return nullptr;
}

bool SimVolumeRef::Readable() const {
  if (m_Partition) return !m_Partition->m_Unreadable;
  if (m_Drive) return !m_Drive->m_NoMedia;
  return false;
}

std::wstring SimVolumeRef::Label() const {
  if (m_Partition) return m_Partition->m_Label.value_or(L"");
  if (m_Drive) return m_Drive->m_Label;
  return L"";
}

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

void PrepareMachine(SimMachine& machine) {
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    SimDisk& disk = machine.m_Disks[d];
    if (!disk.m_Caption) disk.m_Caption = L"Simulated disk " + std::to_wstring(disk.m_Index);
    std::int64_t nNextStart = kMiB;
    int nWmiPartitions = 0;
    for (SimPartition& part : disk.m_Partitions) {
      if (part.m_Start < 0) part.m_Start = nNextStart;
      if (part.m_Size < 0) part.m_Size = 100 * kMiB;
      nNextStart = (part.m_Start + part.m_Size + kMiB - 1) / kMiB * kMiB;
      if (part.m_Wmi) ++nWmiPartitions;
      if (!part.m_Letter.empty()) {
        machine.m_DosDevices[UpperAscii(part.m_Letter)].push_back(
            PartitionDevicePath(disk.m_Index, part.m_Number));
      }
    }
    if (disk.m_Size < 0) {
      disk.m_Size = disk.m_Partitions.empty()
                        ? 0
                        : disk.m_Partitions.back().m_Start + disk.m_Partitions.back().m_Size;
    }
    if (disk.m_PartitionsReported < 0) disk.m_PartitionsReported = nWmiPartitions;
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    machine.m_DosDevices[szLetter].push_back(DriveDevicePath(szLetter));
  }

  // The program's own drive exists even when the description leaves it out,
  // and so do the program and its folder.
  const std::wstring szProgram = NormaliseSeparators(machine.m_Program);
  if (HasDriveLetter(szProgram)) {
    const std::wstring szLetter = UpperAscii(szProgram.substr(0, 2));
    if (machine.m_DosDevices.count(szLetter) == 0) {
      machine.m_Drives[szLetter] = SimDrive{};
      machine.m_DosDevices[szLetter].push_back(DriveDevicePath(szLetter));
    }
    SimVolumeRef volume = FindVolumeByLetter(machine, szLetter);
    if (SimVolumeFiles* pFiles = volume.Files()) {
      std::wstring szLetterPart, szRest;
      SplitAbsolute(szProgram, szLetterPart, szRest);
      if (FindFile(machine, szProgram) == nullptr) AddFile(*pFiles, szRest, false, false, "MZ");
    }
  }
  if (machine.m_CurrentDirectory.empty()) {
    const size_t pos = szProgram.find_last_of(L'\\');
    machine.m_CurrentDirectory = pos == std::wstring::npos ? szProgram : szProgram.substr(0, pos);
    if (machine.m_CurrentDirectory.size() == 2) machine.m_CurrentDirectory += L'\\';
  }
  machine.m_StartMs = machine.m_ClockMs;
}

SimVolumeRef FindVolumeByDevice(SimMachine& machine, const std::wstring& szDevice) {
  SimVolumeRef ref;
  for (SimDisk& disk : machine.m_Disks) {
    for (SimPartition& part : disk.m_Partitions) {
      if (szDevice == PartitionDevicePath(disk.m_Index, part.m_Number)) {
        ref.m_Partition = &part;
        ref.m_Disk = &disk;
        return ref;
      }
    }
  }
  for (auto& [szLetter, drive] : machine.m_Drives) {
    if (szDevice == DriveDevicePath(szLetter)) {
      ref.m_Drive = &drive;
      return ref;
    }
  }
  return ref;
}

SimVolumeRef FindVolumeByLetter(SimMachine& machine, const std::wstring& szLetter) {
  auto it = machine.m_DosDevices.find(UpperAscii(szLetter));
  if (it == machine.m_DosDevices.end() || it->second.empty()) return {};
  return FindVolumeByDevice(machine, it->second.front());
}

std::wstring AbsolutePath(const SimMachine& machine, const std::wstring& szPath) {
  std::wstring sz = NormaliseSeparators(szPath);
  const std::wstring& cwd = machine.m_CurrentDirectory;
  if (HasDriveLetter(sz)) {
    if (sz.size() == 2 || sz[2] != L'\\') sz.insert(2, L"\\");
  } else if (!sz.empty() && sz[0] == L'\\') {
    sz = cwd.substr(0, 2) + sz;
  } else {
    std::wstring base = cwd;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    sz = base + sz;
  }
  // Fold "." and ".." the way the platform does before it looks anything up.
  std::wstring szOut = sz.substr(0, 2);
  std::vector<std::wstring> parts;
  size_t begin = 3;
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

ScopedSimMachine::ScopedSimMachine(SimMachine& machine) : m_Previous(g_pMachine) {
  g_pMachine = &machine;
}

ScopedSimMachine::~ScopedSimMachine() { g_pMachine = m_Previous; }

SimMachine& CurrentMachine() {
  if (g_pMachine == nullptr) {
    std::fputs("simulated platform called with no machine installed\n", stderr);
    std::abort();
  }
  return *g_pMachine;
}

void Spend(SimMachine& machine, std::uint32_t nMilliseconds) {
  machine.m_ClockMs += nMilliseconds;
}

}  // namespace sim
