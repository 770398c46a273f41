// Puts the description together: name, clock, program, firmware probe,
// disks with their partitions, lettered volumes on no listed disk, and the
// notes on what could not be captured.
#include "capture/capture.h"

#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "core/copy_efi.h"
#include "platform/ascii.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

constexpr std::uint32_t kLabelChars = 261;
constexpr std::uint32_t kERROR_INVALID_FUNCTION = 1;  // legacy BIOS
constexpr std::uint32_t kERROR_NOACCESS = 998;        // UEFI

std::wstring Clock() {
  const platform::LocalTime t = platform::GetLocalTime();
  char sz[40];
  std::snprintf(sz, sizeof(sz), "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.m_Year, t.m_Month, t.m_Day,
                t.m_Hour, t.m_Minute, t.m_Second, t.m_Milliseconds);
  return std::wstring(sz, sz + std::char_traits<char>::length(sz));
}

// The same probe malvik makes, as the description's "firmware".
JsonValue Firmware() {
  const platform::FirmwareVariableResult probe = platform::GetFirmwareEnvironmentVariable(
      L"", L"{00000000-0000-0000-0000-000000000000}", 260);
  if (probe.m_BytesStored != 0) return JsonString(L"succeeds");
  if (probe.m_LastError == kERROR_NOACCESS) return JsonString(L"uefi");
  if (probe.m_LastError == kERROR_INVALID_FUNCTION) return JsonString(L"legacy");
  JsonValue error = JsonObject();
  Add(error, "error", JsonNumber(probe.m_LastError));
  return error;
}

// "C:\Tools" for the folder of "C:\Tools\malvik-capture.exe"; a root keeps
// its backslash, any other trailing one goes.
std::wstring ProgramFolder(const CaptureOptions& options) {
  std::wstring sz = options.m_ProgramFolder;
  if (sz.empty()) {
    sz = platform::GetModuleFileName();
    const size_t slash = sz.find_last_of(L"\\/");
    sz = slash == std::wstring::npos ? L"" : sz.substr(0, slash);
  }
  for (wchar_t& c : sz) {
    if (c == L'/') c = L'\\';
  }
  while (sz.size() > 3 && sz.back() == L'\\') sz.pop_back();
  if (sz.size() == 2 && sz[1] == L':') sz += L'\\';
  return sz;
}

std::wstring DiskPartitionName(int nDisk, int nPartition) {
  return L"Disk " + std::to_wstring(nDisk) + L", partition " + std::to_wstring(nPartition);
}

bool IsFullFolder(const std::wstring& sz) {
  return sz.size() >= 3 && platform::IsAsciiLetter(sz[0]) && sz[1] == L':' && sz[2] == L'\\';
}

// Numbers the partitions: the one the volume reports where a letter reaches
// it, otherwise its WMI position + 1 (the numbering of a disk without hidden
// partitions), moved on past numbers already taken.
void NumberPartitions(CapturedDisk& disk, std::vector<std::wstring>& notes) {
  std::set<int> taken;
  for (CapturedPartition& partition : disk.m_Partitions) {
    if (partition.m_Letter.empty()) continue;
    const platform::VolumePlace place = platform::ReadVolumePlace(partition.m_Letter);
    if (place.m_Ok && static_cast<int>(place.m_Disk) == disk.m_Index &&
        taken.insert(static_cast<int>(place.m_Partition)).second) {
      partition.m_Number = static_cast<int>(place.m_Partition);
    } else {
      notes.push_back(partition.m_Letter + L" " +
                      (place.m_Ok ? L"names partition " + std::to_wstring(place.m_Partition) +
                                        L" of disk " + std::to_wstring(place.m_Disk) +
                                        L", not the disk WMI ties it to"
                                  : L"has no partition number to read (error " +
                                        std::to_wstring(place.m_LastError) + L")") +
                      L"; numbered by its WMI position");
    }
  }
  for (CapturedPartition& partition : disk.m_Partitions) {
    if (partition.m_Number != 0) continue;
    int n = partition.m_WmiIndex + 1;
    while (n < 1 || taken.count(n)) ++n;
    taken.insert(n);
    partition.m_Number = n;
  }
}

// The volume keys of a partition or drive: its label, or that it cannot be
// read. szRoot is "E:" or a volume path without its trailing backslash.
bool ReadLabel(const std::wstring& szRoot, std::wstring& szLabel) {
  const platform::VolumeInfo info =
      platform::ReadVolumeInfo(szRoot + L"\\", kLabelChars, kLabelChars);
  szLabel = info.m_Label;
  return info.m_Ok;
}

// The volume path, without its trailing backslash, of every volume that
// names a partition of a disk and that no drive letter reaches, by disk
// index and partition number. Only reads: no letter is defined to reach a
// volume. Notes what the list gave.
std::map<std::pair<int, int>, std::wstring> UnletteredVolumes(std::vector<std::wstring>& notes) {
  std::set<std::pair<int, int>> lettered;
  const platform::DriveMask mask = platform::GetDriveMask();
  for (int i = 0; i < 26; ++i) {
    if ((mask.m_Mask & (1u << i)) == 0) continue;
    const platform::VolumePlace place =
        platform::ReadVolumePlace({static_cast<wchar_t>(L'A' + i), L':'});
    if (place.m_Ok) {
      lettered.insert({static_cast<int>(place.m_Disk), static_cast<int>(place.m_Partition)});
    }
  }
  std::map<std::pair<int, int>, std::wstring> volumes;
  const platform::VolumeList list = platform::ListVolumes();
  int nLettered = 0;
  int nNowhere = 0;
  for (const std::wstring& szVolume : list.m_Volumes) {
    const platform::VolumePlace place = platform::ReadVolumePlace(szVolume);
    const std::pair<int, int> key(static_cast<int>(place.m_Disk),
                                  static_cast<int>(place.m_Partition));
    if (!place.m_Ok) {
      ++nNowhere;
    } else if (lettered.count(key)) {
      ++nLettered;
    } else {
      std::wstring szRoot = szVolume;
      while (!szRoot.empty() && szRoot.back() == L'\\') szRoot.pop_back();
      volumes.emplace(key, szRoot);
    }
  }
  std::wstring szNote = L"The volume list gave " + std::to_wstring(list.m_Volumes.size()) +
                        L" volumes: " + std::to_wstring(nLettered) + L" reached by a letter, " +
                        std::to_wstring(volumes.size()) + L" on a disk without one, " +
                        std::to_wstring(nNowhere) + L" naming no partition of a disk";
  if (!list.m_Ok) {
    szNote += L"; it could not be read in full (error " + std::to_wstring(list.m_LastError) + L")";
  }
  notes.push_back(szNote);
  return volumes;
}

}  // namespace

JsonValue CaptureMachine(const CaptureOptions& options) {
  // Before anything touches a drive: a drive without media then fails
  // quietly instead of asking for a disk.
  platform::InitFramework();
  std::vector<std::wstring> notes;
  JsonValue machine = JsonObject();
  Add(machine, "name", JsonString(platform::GetMachineName()));
  Add(machine, "clock", JsonString(Clock()));

  const std::wstring szFolder = ProgramFolder(options);
  std::wstring szProgramLetter;
  std::wstring szBelowRoot;
  if (IsFullFolder(szFolder)) {
    szProgramLetter = platform::UpperAscii(szFolder.substr(0, 2));
    szBelowRoot = szFolder.substr(3);
    Add(machine, "program",
        JsonString(szFolder + (szBelowRoot.empty() ? L"" : L"\\") + L"malvik.exe"));
  } else {
    notes.push_back(L"The program folder \"" + szFolder +
                    L"\" is not a full path with a drive letter; the default program path is used");
  }
  auto programFolderOn = [&](const std::wstring& szLetter) {
    return szLetter == szProgramLetter ? std::optional<std::wstring>(szBelowRoot) : std::nullopt;
  };
  Add(machine, "firmware", Firmware());

  std::vector<CapturedDisk> disks;
  CaptureDisks(disks, notes);
  const std::map<std::pair<int, int>, std::wstring> volumes = UnletteredVolumes(notes);
  std::set<std::wstring> lettersDone;
  std::set<int> indexes;
  bool bUnlettered = false;
  JsonValue& jsonDisks = Add(machine, "disks", JsonArray());
  for (CapturedDisk& disk : disks) {
    if (!indexes.insert(disk.m_Index).second) {
      notes.push_back(L"WMI lists disk index " + std::to_wstring(disk.m_Index) +
                      L" twice; only the first is described");
      continue;
    }
    NumberPartitions(disk, notes);
    JsonValue& partitions = Add(disk.m_Json, "partitions", JsonArray());
    for (const CapturedPartition& partition : disk.m_Partitions) {
      JsonValue json = JsonObject();
      Add(json, "number", JsonNumber(partition.m_Number));
      std::wstring szLabel;
      const bool bLettered =
          !partition.m_Letter.empty() && lettersDone.insert(partition.m_Letter).second;
      // Without a letter, the partition's volume is reached by its volume path.
      const auto volume =
          bLettered ? volumes.end() : volumes.find({disk.m_Index, partition.m_Number});
      const bool bReached = bLettered || volume != volumes.end();
      const std::wstring szRoot =
          bLettered ? partition.m_Letter : bReached ? volume->second : std::wstring();
      const bool bReadable = bReached && ReadLabel(szRoot, szLabel);
      Add(json, "label", JsonString(szLabel));
      if (bReached && !bReadable) Add(json, "unreadable", JsonBool(true));
      Add(json, "type", JsonString(partition.m_Type));
      Add(json, "start", JsonNumber(partition.m_Start));
      Add(json, "size", JsonNumber(partition.m_Size));
      Add(json, "letter", bLettered ? JsonString(partition.m_Letter) : JsonNull());
      if (bReadable) {
        Add(json, "files",
            CapturePaths(szRoot, bLettered ? programFolderOn(partition.m_Letter) : std::nullopt));
      }
      if (!bReached) {
        notes.push_back(DiskPartitionName(disk.m_Index, partition.m_Number) +
                        L" has no drive letter and no listed volume names it; described "
                        L"without its label and files");
      }
      bUnlettered = bUnlettered || !bLettered;
      Push(partitions, std::move(json));
    }
    Push(jsonDisks, std::move(disk.m_Json));
  }
  if (bUnlettered) {
    notes.push_back(L"Partitions without a drive letter are numbered by their WMI position, and "
                    L"their volume is the listed one with that disk and partition number");
  }

  JsonValue& drives = Add(machine, "drives", JsonObject());
  const platform::DriveMask mask = platform::GetDriveMask();
  if (mask.m_Mask == 0) notes.push_back(L"The drive letters could not be listed");
  for (int i = 0; i < 26; ++i) {
    const std::wstring szLetter = {static_cast<wchar_t>(L'A' + i), L':'};
    if ((mask.m_Mask & (1u << i)) == 0 || lettersDone.count(szLetter)) continue;
    std::wstring szLabel;
    if (!ReadLabel(szLetter, szLabel)) {
      Add(drives, platform::WideToUtf8(szLetter), JsonString(L"no-media"));
      continue;
    }
    const platform::VolumePlace place = platform::ReadVolumePlace(szLetter);
    if (place.m_Ok) {
      notes.push_back(szLetter + L" is partition " + std::to_wstring(place.m_Partition) +
                      L" of disk " + std::to_wstring(place.m_Disk) +
                      L", which WMI ties to no listed partition; described as a drive of its own");
    }
    JsonValue drive = JsonObject();
    Add(drive, "label", JsonString(szLabel));
    Add(drive, "files", CapturePaths(szLetter, programFolderOn(szLetter)));
    Add(drives, platform::WideToUtf8(szLetter), std::move(drive));
  }

  for (const wchar_t* szScript : {kPbrScript, kWinReScript}) {
    if (szProgramLetter.empty()) break;
    const std::wstring szPath = szFolder + (szBelowRoot.empty() ? L"" : L"\\") + szScript;
    if (platform::ReadFileAttributes(szPath).m_Exists) {
      notes.push_back(std::wstring(szScript) +
                      L": what it does when run (exit code, output) is not captured; the replay "
                      L"takes exit code 0 and no output");
    }
  }
  JsonValue& jsonNotes = Add(machine, "notes", JsonArray());
  for (const std::wstring& szNote : notes) Push(jsonNotes, JsonString(szNote));
  return machine;
}
