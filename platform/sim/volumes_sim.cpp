// Drive letters and volumes on the simulated machine: the DOS-device table,
// the drive mask, the drive-root list and volume-information reads, behaving
// as Windows does wherever the program relies on it.
#include "platform/device_names.h"
#include "platform/platform.h"
#include "platform/win32_codes.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"

namespace platform {
namespace {

// DDD_NO_BROADCAST_SYSTEM: no WM_SETTINGCHANGE broadcast, which nothing on
// the simulated machine would receive anyway.
constexpr std::uint32_t kDDD_NO_BROADCAST_SYSTEM = 0x8;
constexpr std::uint32_t kKnownDeviceFlags = kDDD_RAW_TARGET_PATH | kDDD_REMOVE_DEFINITION |
                                            kDDD_EXACT_MATCH_ON_REMOVE | kDDD_NO_BROADCAST_SYSTEM;

constexpr std::uint32_t kFileCaseSensitiveSearch = 0x1;
constexpr std::uint32_t kFileCasePreservedNames = 0x2;
constexpr std::uint32_t kFileUnicodeOnDisk = 0x4;

// "C:\Tools\malvik.exe" -> "malvik.exe": the image name in system dialogs.
std::wstring ImageName(const std::wstring& szProgram) {
  const size_t slash = szProgram.find_last_of(L"\\/");
  return slash == std::wstring::npos ? szProgram : szProgram.substr(slash + 1);
}

}  // namespace

CallResult DefineDeviceName(std::uint32_t nFlags, const std::wstring& szName,
                            const std::wstring& szTarget) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Define);
  const std::wstring szKey = sim::UpperAscii(szName);
  if ((nFlags & ~kKnownDeviceFlags) != 0) return {false, kERROR_INVALID_PARAMETER};
  if (szKey.empty()) return {false, kERROR_INVALID_NAME};
  // A raw target is taken verbatim, on definition and on removal alike; a
  // DOS path stands for its object-namespace form.
  const std::wstring szNtTarget =
      (nFlags & kDDD_RAW_TARGET_PATH) ? szTarget : L"\\??\\" + szTarget;

  if (nFlags & kDDD_REMOVE_DEFINITION) {
    auto it = machine.m_DosDevices.find(szKey);
    if (it == machine.m_DosDevices.end() || it->second.empty()) {
      return {false, kERROR_FILE_NOT_FOUND};
    }
    std::vector<std::wstring>& stack = it->second;
    auto match = stack.begin();  // no target: the newest definition goes
    if (!szTarget.empty()) {
      const bool bExact = (nFlags & kDDD_EXACT_MATCH_ON_REMOVE) != 0;
      for (match = stack.begin(); match != stack.end(); ++match) {
        if (bExact ? *match == szNtTarget : match->rfind(szNtTarget, 0) == 0) break;
      }
      if (match == stack.end()) return {false, kERROR_FILE_NOT_FOUND};
    }
    stack.erase(match);
    if (stack.empty()) machine.m_DosDevices.erase(it);
    return {true, 0};
  }

  for (const std::wstring& szFailing : machine.m_Faults.m_DefineFails) {
    if (sim::UpperAscii(szFailing) == szKey) return {false, kERROR_ACCESS_DENIED};
  }
  // Kept whether or not anything exists under it.
  std::vector<std::wstring>& stack = machine.m_DosDevices[szKey];
  stack.insert(stack.begin(), szNtTarget);
  return {true, 0};
}

void NoteLabelJudged(const std::wstring& szDevicePath, const std::wstring& szLabel,
                     const char* szKind) {
  sim::CurrentMachine().m_LabelsJudged.push_back(
      {szDevicePath, szLabel, szKind == nullptr ? "" : szKind});
}

DeviceNameTargets QueryDeviceName(const std::wstring& szName, std::uint32_t nChars) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  auto it = machine.m_DosDevices.find(sim::UpperAscii(szName));
  if (it == machine.m_DosDevices.end() || it->second.empty()) return {{}, kERROR_FILE_NOT_FOUND};
  // Each target with its terminator, then the list's own terminator.
  std::size_t nNeeded = 1;
  for (const std::wstring& sz : it->second) nNeeded += sz.size() + 1;
  if (nNeeded > nChars) return {{}, kERROR_INSUFFICIENT_BUFFER};
  return {it->second, 0};
}

DriveMask GetDriveMask() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  if (machine.m_Faults.m_LogicalDrivesFail) return {0, kERROR_ACCESS_DENIED};
  DriveMask result;
  for (const auto& [szName, stack] : machine.m_DosDevices) {
    // The names are kept upper case.
    if (IsDriveLetter(szName) && !stack.empty()) result.m_Mask |= 1u << (szName[0] - L'A');
  }
  return result;
}

DriveRoots ListDriveRoots(std::uint32_t nChars) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  if (machine.m_Faults.m_DriveStringsFail) return {0, {}, kERROR_ACCESS_DENIED};
  DriveRoots result;
  // The map keeps its names in order, so the roots come in letter order.
  for (const auto& [szName, stack] : machine.m_DosDevices) {
    if (IsDriveLetter(szName) && !stack.empty()) result.m_Roots.push_back(szName + L"\\");
  }
  // Like GetLogicalDriveStringsW: the length without the final terminator,
  // or, when the list does not fit, the size needed and nothing copied.
  result.m_Chars = static_cast<std::uint32_t>(result.m_Roots.size() * 4);
  if (result.m_Chars + 1 > nChars) {
    result.m_Chars += 1;
    result.m_Roots.clear();
  }
  return result;
}

VolumeList ListVolumes() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return {true, sim::VolumePaths(machine), 0};
}

VolumeInfo ReadVolumeInfo(const std::wstring& szRoot, std::uint32_t nLabelChars,
                          std::uint32_t nFileSystemChars) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_VolumeQuery);
  VolumeInfo info;
  // A root needs its backslash: "E:\" or "\\?\Volume{...}\". "E:" alone and
  // ":\" are refused.
  const std::wstring szUpper = sim::UpperAscii(szRoot);
  const std::size_t nVolume = sim::VolumeRootLength(szUpper);
  const bool bVolumePath = nVolume != 0 && szUpper.size() == nVolume + 1 && szUpper.back() == L'\\';
  if (!bVolumePath &&
      (szUpper.size() != 3 || !IsDriveLetter(szUpper.substr(0, 2)) || szUpper[2] != L'\\')) {
    info.m_LastError = kERROR_INVALID_NAME;
    return info;
  }
  const std::wstring szLetter = szUpper.substr(0, szUpper.size() - 1);
  auto it = machine.m_DosDevices.find(szLetter);
  if (!bVolumePath && (it == machine.m_DosDevices.end() || it->second.empty())) {
    info.m_LastError = kERROR_PATH_NOT_FOUND;
    return info;
  }
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
  if (volume.m_Partition == nullptr && volume.m_Drive == nullptr) {
    info.m_LastError = kERROR_FILE_NOT_FOUND;  // a name for nothing that exists
    return info;
  }
  if (volume.m_Drive != nullptr && volume.m_Drive->m_NoMedia) {
    // Unless the process has turned critical-error boxes off, the system
    // asks for a disk; the simulated person cancels at once.
    if ((machine.m_ErrorMode & kSEM_FAILCRITICALERRORS) == 0) {
      machine.m_Dialogs.push_back(
          {ImageName(machine.m_Program) + L" - No Disk",
           L"There is no disk in the drive. Please insert a disk into drive " +
               (bVolumePath ? szRoot : it->second.front()) +
               L".",
           L"Cancel, Try Again, Continue", L"error"});
    }
    info.m_LastError = kERROR_NOT_READY;
    return info;
  }
  if (!volume.Readable()) {
    info.m_LastError = kERROR_UNRECOGNIZED_VOLUME;
    return info;
  }
  const std::wstring szLabel = volume.Label();
  const std::wstring szFileSystem = L"NTFS";
  if (szLabel.size() + 1 > nLabelChars || szFileSystem.size() + 1 > nFileSystemChars) {
    info.m_LastError = kERROR_BAD_LENGTH;
    return info;
  }
  info.m_Ok = true;
  info.m_Label = szLabel;
  info.m_FileSystem = szFileSystem;
  info.m_Serial = 0x5EED0000u | static_cast<std::uint32_t>(szLetter[0]);
  info.m_MaxComponent = 255;
  info.m_Flags = kFileCaseSensitiveSearch | kFileCasePreservedNames | kFileUnicodeOnDisk;
  return info;
}

VolumePlace ReadVolumePlace(const std::wstring& szVolume) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_VolumeQuery);
  std::wstring szKey = sim::UpperAscii(szVolume);
  // A volume path is opened without its trailing backslash.
  const bool bVolumePath = sim::VolumeRootLength(szKey) != 0;
  while (bVolumePath && !szKey.empty() && szKey.back() == L'\\') szKey.pop_back();
  if (bVolumePath ? sim::FindVolumeByLetter(machine, szKey).Files() == nullptr
                  : !IsDriveLetter(szKey) || machine.m_DosDevices.count(szKey) == 0) {
    return {false, 0, 0, kERROR_FILE_NOT_FOUND};
  }
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szKey);
  if (volume.m_Partition == nullptr) return {false, 0, 0, kERROR_INVALID_FUNCTION};
  return {true, static_cast<std::uint32_t>(volume.m_Disk->m_Index),
          static_cast<std::uint32_t>(volume.m_Partition->m_Number), 0};
}

PathVolume FindVolumeOfPath(const std::wstring& szPath) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_VolumeQuery);
  const std::wstring szUpper = sim::UpperAscii(szPath);
  PathVolume result;
  std::wstring szName;  // what names the volume: a letter or a volume root
  if (const std::size_t nVolume = sim::VolumeRootLength(szUpper)) {
    szName = szUpper.substr(0, nVolume);
    result.m_RootChars = szUpper.size() > nVolume ? nVolume + 1 : nVolume;
  } else if (StartsWithDriveLetter(szUpper) && (szUpper.size() == 2 || szUpper[2] == L'\\')) {
    szName = szUpper.substr(0, 2);
    result.m_RootChars = szUpper.size() > 2 ? 3 : 2;
  } else {
    result.m_LastError = kERROR_INVALID_NAME;
    return result;
  }
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szName);
  if (volume.m_Partition != nullptr) {
    result.m_Volume = sim::PartitionVolumePath(volume.m_Disk->m_Index, volume.m_Partition->m_Number);
  } else if (volume.m_Drive != nullptr) {
    for (const auto& [szLetter, drive] : machine.m_Drives) {
      if (&drive == volume.m_Drive) result.m_Volume = sim::DriveVolumePath(szLetter);
    }
  } else if (auto it = machine.m_DosDevices.find(szName);
             it != machine.m_DosDevices.end() && !it->second.empty()) {
    // A letter for no volume of the machine is named by what it stands for.
    result.m_Volume = it->second.front();
  }
  result.m_Ok = !result.m_Volume.empty();
  if (!result.m_Ok) result.m_LastError = kERROR_FILE_NOT_FOUND;
  return result;
}

}  // namespace platform
