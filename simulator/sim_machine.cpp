// Preparing a described machine for a run, and installing it as the one the
// simulated platform calls act on.
#include "simulator/sim_machine.h"

#include <cstdio>
#include <cstdlib>

#include "platform/device_names.h"
#include "platform/platform.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"

namespace sim {
namespace {

// One per thread: machines run on different threads (malvik-sim check on
// every core) never see each other.
thread_local SimMachine* g_pMachine = nullptr;

constexpr std::int64_t kMiB = platform::kBytesPerMiB;

}  // namespace

void PrepareMachine(SimMachine& machine) {
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    SimDisk& disk = machine.m_Disks[d];
    if (!disk.m_Caption) disk.m_Caption = L"Simulated disk " + std::to_wstring(disk.m_Index);
    std::int64_t nNextStart = kMiB;
    int nWmiPartitions = 0;
    for (size_t p = 0; p < disk.m_Partitions.size(); ++p) {
      SimPartition& part = disk.m_Partitions[p];
      // The first partition with a path keeps it, as a walk in order finds it.
      machine.m_PartitionIndex.emplace(PartitionDevicePath(disk.m_Index, part.m_Number),
                                       std::make_pair(d, p));
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
    if (!disk.m_PartitionsReported) disk.m_PartitionsReported = nWmiPartitions;
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    machine.m_DosDevices[szLetter].push_back(DriveDevicePath(szLetter));
  }

  // The program's own drive exists even when the description leaves it out,
  // and so do the program and its folder.
  const std::wstring szProgram = NormaliseSeparators(machine.m_Program);
  if (platform::StartsWithDriveLetter(szProgram)) {
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
