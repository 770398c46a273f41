// A whole run of malvik on a machine built from the fuzzer's bytes: disks,
// partitions, labels, drives, files, faults, firmware and arguments. Every
// run must end with exit code 0 and leave the machine sound:
//   - every drive letter that is new or changed names a volume whose label a
//     letter rule recognises, or is one of the rules' fixed letters;
//   - no file or folder is gone except below \EFI\OEM on the volume the ESP
//     letter names, and only when this run started its batch file (or the
//     start failed for a cause nothing could see before), the volume held
//     \EFI\Microsoft to copy and is not the running Windows';
//   - the program and its log folder are never gone, whichever letter they
//     were reached by (they may lie in \EFI\OEM, through a second letter);
//   - a batch file is run only when this run wrote it whole;
//   - COM initialisation is balanced and no WMI handle is left;
//   - on a machine a real one can be, and which the capture describes as
//     it is, a capture taken before the run, replayed with what a capture
//     cannot know (the scripts, the faults, the simulated costs) copied
//     over, writes the log the run on the machine itself wrote.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/entry.h"
#include "letters/special_partitions.h"
#include "platform/device_names.h"
#include "platform/utf8.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"
#include "tests/capture_replay.h"

namespace {

// Takes the fuzzer's bytes in order; past the end every read is 0.
struct ByteReader {
  const std::uint8_t* m_pData;
  std::size_t m_Size;
  std::size_t m_Pos = 0;

  std::uint8_t Byte() { return m_Pos < m_Size ? m_pData[m_Pos++] : 0; }
  unsigned Below(unsigned nLimit) { return Byte() % nLimit; }
  bool Bit() { return (Byte() & 1) != 0; }
  template <std::size_t N>
  const wchar_t* Pick(const wchar_t* const (&choices)[N]) {
    return choices[Below(N)];
  }
  // Up to nMax code units of arbitrary text, any value but NUL.
  std::wstring Text(unsigned nMax) {
    std::wstring sz;
    for (unsigned n = Below(nMax + 1); n > 0; --n) {
      const wchar_t c = static_cast<wchar_t>(Byte() | (Bit() ? Byte() << 8 : 0));
      sz += c == 0 ? L'x' : c;
    }
    return sz;
  }
};

// The labels the rules look for, in mixed case and near misses.
const wchar_t* const kLabels[] = {
    L"PUSH BUTTON RESET",
    L"push button",
    L"Push Button",
    L"PUSH BUTTO",
    L"ESP",
    L"esp",
    L"EsP-volume",
    L"RECOVERY",
    L"Recovery2",
    L"RECOVER",
    L"PQSERVICE",
    L"pqService",
    L"PQSERVICE ",
    L"SYSTEM RESERVED",
    L"System Reserved",
    L"SYSTEM RESERVED!",
    L"Windows",
    L"",
    L"\u00e9SP",
    L"PUSH BUTTON \u00c9",
};

const wchar_t* const kLetters[] = {L"C:", L"D:", L"E:", L"F:", L"G:", L"M:",
                                   L"R:", L"W:", L"X:", L"Z:", L"Y:", L"Q:"};

// Files the run looks at or copies, and some it must leave alone.
struct FileChoice {
  const wchar_t* m_Path;
  bool m_Folder;
  bool m_Hidden;
};
const FileChoice kFiles[] = {
    {L"EFI\\Microsoft\\Boot\\bootmgfw.efi", false, false},
    {L"EFI\\Microsoft\\Boot\\BCD", false, true},
    {L"EFI\\Microsoft\\Boot\\Fonts\\wgl4_boot.ttf", false, false},
    {L"EFI\\Microsoft\\Boot\\Resources", true, false},
    {L"EFI\\Microsoft\\Boot\\memtest.efi", false, false},
    {L"EFI\\OEM\\Boot\\old.efi", false, false},
    {L"EFI\\OEM", false, false},
    {L"EFI\\Boot\\bootx64.efi", false, false},
    {L"Zeph2", true, false},
    {L"Zeph_XP", false, false},
    {L"ZEPH_win8", true, false},
    {L"Zeph", true, false},
    {L"Data\\keep.txt", false, false},
    {L"EFI\\OEMX\\keep.txt", false, false},
};

const char* const kWmiCalls[] = {"CoInitializeEx",
                                 "CoInitializeSecurity",
                                 "CoCreateInstance",
                                 "ConnectServer",
                                 "CoSetProxyBlanket",
                                 "ExecQuery:1",
                                 "ExecQuery:2",
                                 "ExecQuery:3",
                                 "Next:1",
                                 "Next:2",
                                 "Next:5"};

const wchar_t* const kArguments[] = {L"W:", L"R:",        L"M:",      L"X:", L"",
                                     L"y:", L"C:\\Tools", L"\\\\?\\", L"R",  L"E:"};

const wchar_t* const kPrograms[] = {L"C:\\Tools\\malvik.exe",
                                    L"C:\\Program Files\\(x86)\\malvik.exe",
                                    L"E:\\malvik.exe",
                                    L"C:\\T\u00e9ls\\malvik.exe",
                                    L"R:\\EFI\\OEM\\Tools\\malvik.exe",
                                    L"S:\\efi\\oem\\malvik.exe",
                                    L"E:\\EFI\\OEM\\Boot\\malvik.exe"};

// The running Windows' folder: the usual one, or on a volume the ESP letter
// may name.
const wchar_t* const kWindowsFolders[] = {L"C:\\Windows", L"R:\\Windows", L"E:\\WINNT"};

void AddFiles(ByteReader& in, sim::SimVolumeFiles& files) {
  for (unsigned n = in.Below(5); n > 0; --n) {
    const FileChoice& file = kFiles[in.Below(std::size(kFiles))];
    sim::AddFile(files, file.m_Path, file.m_Folder, file.m_Hidden, "x");
  }
}

// No partition or drive entry of the machine has szLetter.
bool LetterUnused(const sim::SimMachine& machine, const std::wstring& szLetter) {
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (part.m_Letter == szLetter) return false;
    }
  }
  return machine.m_Drives.count(szLetter) == 0;
}

std::wstring Label(ByteReader& in) { return in.Bit() ? in.Pick(kLabels) : in.Text(40); }

sim::SimMachine BuildMachine(ByteReader& in, std::vector<std::wstring>& args) {
  sim::SimMachine machine;
  machine.m_Costs = {0, 0, 0, 0, 0, 0, 0};
  machine.m_Program = in.Pick(kPrograms);
  machine.m_WindowsDirectory = in.Pick(kWindowsFolders);
  machine.m_Firmware.m_Succeeds = in.Bit();
  machine.m_Firmware.m_Error = in.Bit() ? 1 : in.Byte();

  for (unsigned d = in.Below(4); d > 0; --d) {
    sim::SimDisk disk;
    disk.m_Index = static_cast<int>(in.Below(4));
    if (in.Below(4) == 0) disk.m_PartitionsReported = static_cast<int>(in.Below(8));
    for (unsigned p = in.Below(5); p > 0; --p) {
      sim::SimPartition part;
      part.m_Number = static_cast<int>(in.Below(6)) + 1;
      if (in.Below(8) != 0) part.m_Label = Label(in);
      part.m_Unreadable = in.Below(8) == 0;
      part.m_Wmi = in.Below(8) != 0;
      if (in.Bit()) part.m_Letter = in.Pick(kLetters);
      AddFiles(in, part.m_Files);
      disk.m_Partitions.push_back(part);
    }
    machine.m_Disks.push_back(disk);
  }
  for (unsigned n = in.Below(4); n > 0; --n) {
    sim::SimDrive drive;
    drive.m_NoMedia = in.Below(4) == 0;
    drive.m_Label = Label(in);
    AddFiles(in, drive.m_Files);
    machine.m_Drives[in.Pick(kLetters)] = drive;
  }
  if (in.Bit()) machine.m_Scripts[L"modifybcdtoPBR.cmd"] = {in.Byte(), std::string("pbr"), 0, {}};
  if (in.Bit()) machine.m_Scripts[L"modifybcdtoWinRE.cmd"] = {in.Byte(), std::nullopt, 0, {}};

  sim::SimFaults& faults = machine.m_Faults;
  for (unsigned n = in.Below(3); n > 0; --n) {
    faults.m_Wmi.push_back(
        {static_cast<int>(in.Below(4)) - 1, kWmiCalls[in.Below(std::size(kWmiCalls))]});
  }
  for (unsigned n = in.Below(3); n > 0; --n) faults.m_DefineFails.push_back(in.Pick(kLetters));
  faults.m_LogicalDrivesFail = in.Below(8) == 0;
  faults.m_DriveStringsFail = in.Below(8) == 0;
  if (in.Below(8) == 0) faults.m_ProcessStart = 1u + in.Byte();  // an error code, never 0
  faults.m_BatchCreateFail = in.Below(8) == 0;
  faults.m_LogFolderFail = in.Below(8) == 0;

  for (unsigned n = in.Below(5); n > 0; --n)
    args.push_back(in.Bit() ? in.Pick(kArguments) : in.Text(8));

  // A second letter for one partition, as a technician's mountvol S: /s
  // gives the EFI system partition one beside the rule's R:.
  if (in.Below(4) == 0 && !machine.m_Disks.empty() && !machine.m_Disks[0].m_Partitions.empty()) {
    const sim::SimDisk& disk = machine.m_Disks[0];
    const sim::SimPartition& part = disk.m_Partitions[in.Below(disk.m_Partitions.size())];
    const std::wstring szAlias = in.Bit() ? L"S:" : in.Pick(kLetters);
    if (LetterUnused(machine, szAlias)) {
      machine.m_DosDevices[szAlias] = {sim::PartitionDevicePath(disk.m_Index, part.m_Number)};
    }
  }
  return machine;
}

// Every file and folder of every volume, by device path and upper-cased path.
std::set<std::pair<std::wstring, std::wstring>> AllEntries(const sim::SimMachine& machine) {
  std::set<std::pair<std::wstring, std::wstring>> entries;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      const std::wstring szDevice = sim::PartitionDevicePath(disk.m_Index, part.m_Number);
      for (const auto& [szKey, file] : part.m_Files.m_Entries) entries.insert({szDevice, szKey});
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    for (const auto& [szKey, file] : drive.m_Files.m_Entries) {
      entries.insert({sim::DriveDevicePath(szLetter), szKey});
    }
  }
  return entries;
}

bool RecognisedLabel(const std::wstring& szLabel) { return FindSpecialKind(szLabel) != nullptr; }

bool FixedLetter(const std::wstring& szName) {
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (kind.m_FixedLetter != nullptr && szName == kind.m_FixedLetter) return true;
  }
  return false;
}

// A machine a real one can be: every disk index once, every partition
// number once on its disk, every letter on one volume. The builder makes
// others too, which malvik must survive but no capture can come from.
bool RealMachine(const sim::SimMachine& machine) {
  std::set<int> indexes;
  std::set<std::wstring> letters;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    if (!indexes.insert(disk.m_Index).second) return false;
    std::set<int> numbers;
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (!numbers.insert(part.m_Number).second) return false;
      if (!part.m_Letter.empty() && !letters.insert(part.m_Letter).second) return false;
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    if (!letters.insert(szLetter).second) return false;
  }
  return true;
}

// What the capture does not describe as it is: a label with a surrogate
// outside a pair, which a description cannot carry (it becomes U+FFFD).
bool CapturedAsItIs(const sim::SimMachine& machine) {
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (!platform::IsWholeText(part.m_Label.value_or(L""))) return false;
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    if (!platform::IsWholeText(drive.m_Label)) return false;
  }
  return true;
}

// The device a full path's letter names and the path's upper-cased rest
// below its root, as AllEntries keys it; no device for a path on no letter.
std::pair<std::wstring, std::wstring> DeviceAndKey(sim::SimMachine& machine,
                                                   const std::wstring& szPath) {
  const std::wstring szFull = sim::AbsolutePath(machine, szPath);
  if (!platform::StartsWithDriveLetter(szFull)) return {};
  auto it = machine.m_DosDevices.find(sim::UpperAscii(szFull.substr(0, 2)));
  if (it == machine.m_DosDevices.end() || it->second.empty()) return {};
  std::wstring szKey = szFull.size() > 3 ? sim::UpperAscii(szFull.substr(3)) : L"";
  while (!szKey.empty() && szKey.back() == L'\\') szKey.pop_back();
  return {it->second.front(), szKey};
}

bool IsAtOrBelow(const std::pair<std::wstring, std::wstring>& entry,
                 const std::pair<std::wstring, std::wstring>& folder) {
  return !folder.first.empty() && entry.first == folder.first &&
         (folder.second.empty() || entry.second == folder.second ||
          entry.second.rfind(folder.second + L"\\", 0) == 0);
}

[[noreturn]] void Fail(const char* szWhat, const std::wstring& szDetail = L"") {
  std::fprintf(stderr, "run invariant broken: %s %ls\n", szWhat, szDetail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  ByteReader in{pData, nSize};
  std::vector<std::wstring> args;
  sim::SimMachine machine = BuildMachine(in, args);
  // Only a second letter is defined before the machine is prepared; no
  // description has a key for one, so no capture can be replayed.
  const bool bDescribable = machine.m_DosDevices.empty();
  sim::PrepareMachine(machine);

  // A batch file left by an earlier run, which must never run again.
  const std::string kStale = "STALE";
  const std::wstring szProgramDir = machine.m_Program.substr(0, machine.m_Program.rfind(L'\\') + 1);
  const std::wstring szBatch = szProgramDir + L"CopyEFI_byOEM.cmd";
  if (in.Bit()) {
    if (sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szBatch)) {
      sim::AddFile(*pFiles, szBatch.substr(3), false, false, kStale);
    }
  }

  const sim::SimMachine beforeRun = machine;
  const auto devicesBefore = machine.m_DosDevices;
  const auto entriesBefore = AllEntries(machine);

  int nExit = 0;
  {
    sim::ScopedSimMachine installed(machine);
    std::vector<const wchar_t*> argv = {machine.m_Program.c_str()};
    for (const std::wstring& sz : args) argv.push_back(sz.c_str());
    nExit = RunMalvik(static_cast<int>(argv.size()), argv.data());
  }
  if (nExit != 0) Fail("exit code", std::to_wstring(nExit));

  // Letters: new or changed ones name a volume a rule keeps, or are fixed.
  std::set<std::wstring> letters;
  for (const auto& [szName, stack] : devicesBefore) letters.insert(szName);
  for (const auto& [szName, stack] : machine.m_DosDevices) letters.insert(szName);
  for (const std::wstring& szName : letters) {
    auto before = devicesBefore.find(szName);
    auto after = machine.m_DosDevices.find(szName);
    const bool bSame = before != devicesBefore.end() && after != machine.m_DosDevices.end() &&
                       before->second == after->second;
    if (bSame || FixedLetter(szName)) continue;
    if (after == machine.m_DosDevices.end()) Fail("letter removed", szName);
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szName);
    if (!volume.Readable() || !RecognisedLabel(volume.Label())) Fail("probe letter left", szName);
  }

  // Files: only \EFI\OEM on the volume the ESP letter names may lose entries,
  // and only when this run's batch file was started to rebuild it from an
  // \EFI\Microsoft that volume held, and it is not the running Windows'.
  // The program and its log folder never go, whatever letters name their
  // volume.
  const std::wstring szESP =
      args.size() >= 3 && (!args[0].empty() || !args[1].empty() || !args[2].empty()) ? args[1]
                                                                                     : L"R:";
  const auto oem = DeviceAndKey(machine, szESP + L"\\EFI\\OEM");
  const auto source = DeviceAndKey(machine, szESP + L"\\EFI\\Microsoft");
  const auto program = DeviceAndKey(machine, machine.m_Program);
  const auto logFolder = DeviceAndKey(machine, szProgramDir + L"Log");
  const auto windows = DeviceAndKey(machine, machine.m_WindowsDirectory);
  bool bSource = false;
  for (const auto& entry : entriesBefore) bSource = bSource || IsAtOrBelow(entry, source);
  const bool bWindowsVolume = !oem.first.empty() && oem.first == windows.first;
  bool bStarted = false;
  for (const sim::SimProcessRun& run : machine.m_Runs) bStarted = bStarted || run.m_StartError == 0;
  if (bWindowsVolume && !machine.m_Runs.empty()) Fail("ran on the Windows volume", szESP);
  const auto entriesAfter = AllEntries(machine);
  for (const auto& entry : entriesBefore) {
    if (entriesAfter.count(entry) == 0 &&
        (IsAtOrBelow(entry, program) || IsAtOrBelow(entry, logFolder))) {
      Fail("deleted the program or its log", entry.second);
    }
  }
  for (const auto& entry : entriesBefore) {
    if (entriesAfter.count(entry) != 0) continue;
    if (!IsAtOrBelow(entry, oem)) Fail("deleted", entry.first + L" " + entry.second);
    // Only a start that fails for a cause nothing can see beforehand (here
    // an injected one) may follow the delete.
    if (!bStarted && !machine.m_Faults.m_ProcessStart) {
      Fail("deleted with no batch file started", entry.second);
    }
    if (!bSource) Fail("deleted with no \\EFI\\Microsoft to copy", entry.second);
  }

  // The batch file: run only when this run wrote all of it.
  if (machine.m_Runs.size() > 1) Fail("more than one child process");
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (!run.m_Closed) Fail("process handles left open");
    if (run.m_StartError != 0) continue;
    const sim::SimFile* pBatch = sim::FindFile(machine, run.m_Program);
    // Whole: it ends with its last line's output file, quoted or not.
    auto endsWith = [pBatch](const std::string& szTail) {
      const std::string& sz = pBatch->m_Bytes;
      return sz.size() >= szTail.size() &&
             sz.compare(sz.size() - szTail.size(), szTail.size(), szTail) == 0;
    };
    if (pBatch == nullptr || pBatch->m_Bytes == kStale ||
        !(endsWith("modifybcdLog.log") || endsWith("modifybcdLog.log\""))) {
      Fail("ran a batch file this run did not write whole", run.m_Program);
    }
  }

  if (machine.m_ComInitCount != 0) Fail("COM initialisation not balanced");
  if (machine.m_WmiLiveObjects != 0 || machine.m_WmiLeakedAtUninit != 0) Fail("WMI handle leaked");

  if (!bDescribable || !RealMachine(beforeRun) || !CapturedAsItIs(beforeRun)) return 0;
  const test::CaptureReplay replay = test::ReplayCapture(
      beforeRun, args, [](const sim::SimMachine& original, sim::SimMachine& replayed) {
        replayed.m_Scripts = original.m_Scripts;
        replayed.m_Faults = original.m_Faults;
        replayed.m_Costs = original.m_Costs;
      });
  if (!replay.m_LoadError.empty() || !replay.m_Difference.empty()) {
    std::fprintf(stderr, "run invariant broken: the capture replays differently: %s%s\n%s\n",
                 replay.m_LoadError.c_str(), replay.m_Difference.c_str(),
                 replay.m_Captured.c_str());
    std::abort();
  }
  return 0;
}
