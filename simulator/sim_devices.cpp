// The DOS-device side of the simulated machine: the device path of each
// volume, and which volume a device path or a drive letter names.
#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>

#include "simulator/sim_devices.h"

#include "simulator/sim_text.h"

namespace sim {

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

namespace {

using platform::kDevicePathDisk;
using platform::kDevicePathPartition;
using platform::kGlobalRoot;

// A decimal int, optionally negative, from sz[begin, end); false when it is
// not one or does not fit.
bool ReadInt(const std::wstring& sz, size_t begin, size_t end, int& nValue) {
  const bool bNegative = begin < end && sz[begin] == L'-';
  if (bNegative) ++begin;
  if (begin == end || end - begin > 10) return false;
  long long nAbsolute = 0;
  for (size_t i = begin; i < end; ++i) {
    if (sz[i] < L'0' || sz[i] > L'9') return false;
    nAbsolute = nAbsolute * 10 + (sz[i] - L'0');
  }
  const long long nSigned = bNegative ? -nAbsolute : nAbsolute;
  if (nSigned < INT_MIN || nSigned > INT_MAX) return false;
  nValue = static_cast<int>(nSigned);
  return true;
}

// The N and M of a device path that is exactly PartitionDevicePath(N, M).
bool ReadPartitionPath(const std::wstring& szDevice, int& nDisk, int& nPartition) {
  const size_t nDiskAt = std::char_traits<wchar_t>::length(kDevicePathDisk);
  if (szDevice.rfind(kDevicePathDisk, 0) != 0) return false;
  const size_t nInfixAt = szDevice.find(kDevicePathPartition, nDiskAt);
  if (nInfixAt == std::wstring::npos) return false;
  const size_t nPartitionAt = nInfixAt + std::char_traits<wchar_t>::length(kDevicePathPartition);
  return ReadInt(szDevice, nDiskAt, nInfixAt, nDisk) &&
         ReadInt(szDevice, nPartitionAt, szDevice.size(), nPartition) &&
         PartitionDevicePath(nDisk, nPartition) == szDevice;
}

// The indexed partition, when the index still holds for it.
SimVolumeRef IndexedPartition(SimMachine& machine, const std::wstring& szDevice) {
  auto it = machine.m_PartitionIndex.find(szDevice);
  if (it == machine.m_PartitionIndex.end()) return {};
  const auto [d, p] = it->second;
  if (d >= machine.m_Disks.size() || p >= machine.m_Disks[d].m_Partitions.size()) return {};
  SimDisk& disk = machine.m_Disks[d];
  SimPartition& part = disk.m_Partitions[p];
  if (PartitionDevicePath(disk.m_Index, part.m_Number) != szDevice) return {};
  return {&part, nullptr, &disk};
}

}  // namespace

SimVolumeRef FindVolumeByDevice(SimMachine& machine, const std::wstring& szDevice) {
  SimVolumeRef ref = IndexedPartition(machine, szDevice);
  if (ref.m_Partition) return ref;
  // Not indexed: a partition that does not exist, or a machine changed after
  // PrepareMachine. The walk compares numbers, in the same order.
  int nDisk = 0, nNumber = 0;
  const bool bPartitionPath = ReadPartitionPath(szDevice, nDisk, nNumber);
  for (SimDisk& disk : machine.m_Disks) {
    if (!bPartitionPath) break;
    if (disk.m_Index != nDisk) continue;
    for (SimPartition& part : disk.m_Partitions) {
      if (part.m_Number == nNumber) {
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

std::wstring PartitionVolumePath(int nDisk, int nPartition) {
  wchar_t sz[64];
  std::swprintf(sz, 64, L"\\\\?\\Volume{00000000-0000-0000-0000-%06x%06x}\\",
                static_cast<unsigned>(nDisk) & 0xFFFFFFu,
                static_cast<unsigned>(nPartition) & 0xFFFFFFu);
  return sz;
}

std::wstring DriveVolumePath(const std::wstring& szLetter) {
  wchar_t sz[64];
  std::swprintf(sz, 64, L"\\\\?\\Volume{00000000-0000-0000-0001-%012x}\\",
                static_cast<unsigned>(UpperAscii(szLetter.substr(0, 1)).c_str()[0]));
  return sz;
}

std::vector<std::wstring> VolumePaths(const SimMachine& machine) {
  std::vector<std::wstring> paths;
  for (const SimDisk& disk : machine.m_Disks) {
    for (const SimPartition& part : disk.m_Partitions) {
      paths.push_back(PartitionVolumePath(disk.m_Index, part.m_Number));
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) paths.push_back(DriveVolumePath(szLetter));
  return paths;
}

namespace {

// Whether the path starts with "\\?\", as both forms of a volume's own
// path do.
bool StartsWithWin32Prefix(const std::wstring& szPath) {
  return szPath.size() >= 4 && szPath[0] == L'\\' && szPath[1] == L'\\' && szPath[2] == L'?' &&
         szPath[3] == L'\\';
}

// The length of the "\\?\GLOBALROOT\Device\HarddiskN\PartitionM" root a
// path starts with (case aside), and its N and M; 0 when it starts with none.
std::size_t GlobalRootLength(const std::wstring& szPath, int& nDisk, int& nPartition) {
  if (!StartsWithWin32Prefix(szPath)) return 0;  // most paths: "C:\..."
  const std::wstring szUpper = UpperAscii(szPath);
  const std::wstring szPrefix = UpperAscii(std::wstring(kGlobalRoot) + kDevicePathDisk);
  const std::wstring szInfix = UpperAscii(kDevicePathPartition);
  if (szUpper.rfind(szPrefix, 0) != 0) return 0;
  const std::size_t nInfix = szUpper.find(szInfix, szPrefix.size());
  if (nInfix == std::wstring::npos) return 0;
  const std::size_t nNumber = nInfix + szInfix.size();
  const std::size_t nEnd = std::min(szUpper.find(L'\\', nNumber), szUpper.size());
  // The device path in the case the object namespace gives it.
  const std::wstring szDevice = kDevicePathDisk +
                                szUpper.substr(szPrefix.size(), nInfix - szPrefix.size()) +
                                kDevicePathPartition + szUpper.substr(nNumber, nEnd - nNumber);
  return ReadPartitionPath(szDevice, nDisk, nPartition) ? nEnd : 0;
}

}  // namespace

std::size_t VolumeRootLength(const std::wstring& szPath) {
  int nDisk = 0, nPartition = 0;
  if (!StartsWithWin32Prefix(szPath)) return 0;
  if (const std::size_t nGlobal = GlobalRootLength(szPath, nDisk, nPartition)) return nGlobal;
  static const std::wstring kPrefix = L"\\\\?\\VOLUME{";
  if (UpperAscii(szPath.substr(0, kPrefix.size())) != kPrefix) return 0;
  const std::size_t nClose = szPath.find(L'}', kPrefix.size());
  return nClose == std::wstring::npos ? 0 : nClose + 1;
}

SimVolumeRef FindVolumeByLetter(SimMachine& machine, const std::wstring& szLetter) {
  int nDisk = 0, nPartition = 0;
  if (const std::size_t nGlobal = GlobalRootLength(szLetter, nDisk, nPartition)) {
    if (nGlobal != szLetter.size()) return {};
    return FindVolumeByDevice(machine, PartitionDevicePath(nDisk, nPartition));
  }
  const std::size_t nRoot = VolumeRootLength(szLetter);
  if (nRoot != 0) {
    // Made-up paths: the first volume whose path matches, case aside.
    if (nRoot != szLetter.size()) return {};
    const std::wstring szKey = UpperAscii(szLetter) + L"\\";
    for (SimDisk& disk : machine.m_Disks) {
      for (SimPartition& part : disk.m_Partitions) {
        if (UpperAscii(PartitionVolumePath(disk.m_Index, part.m_Number)) == szKey) {
          return {&part, nullptr, &disk};
        }
      }
    }
    for (auto& [szName, drive] : machine.m_Drives) {
      if (UpperAscii(DriveVolumePath(szName)) == szKey) return {nullptr, &drive, nullptr};
    }
    return {};
  }
  auto it = machine.m_DosDevices.find(UpperAscii(szLetter));
  if (it == machine.m_DosDevices.end() || it->second.empty()) return {};
  return FindVolumeByDevice(machine, it->second.front());
}

}  // namespace sim
