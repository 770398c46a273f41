// Puts the description together: name, clock, program, firmware probe,
// disks with their partitions, lettered volumes on no listed disk, and the
// notes on what could not be captured.
#include "capture/capture.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "core/copy_efi.h"
#include "platform/ascii.h"
#include "platform/device_names.h"
#include "platform/firmware_words.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32_codes.h"
#include "platform/words.h"
#include "simulator/described_code_pages.h"
#include "support/boot_mode.h"
#include "support/log.h"

namespace {

using description::Key;

constexpr std::uint32_t kLabelChars = 261;

std::wstring Clock() {
  const platform::LocalTime t = platform::ReadLocalTime();
  char sz[40];
  std::snprintf(sz, sizeof(sz), "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.m_Year, t.m_Month, t.m_Day,
                t.m_Hour, t.m_Minute, t.m_Second, t.m_Milliseconds);
  return std::wstring(sz, sz + std::char_traits<char>::length(sz));
}

// "console_code_page" and "ansi_code_page": the code pages malvik writes its
// batch file in (its console's) and a new log file in (the system's ANSI
// one), read as the capture's own console and system have them.
void AddCodePages(JsonValue& machine, std::vector<std::wstring>& notes) {
  const platform::ConsoleCodePages pages = platform::ReadConsoleCodePages();
  const std::uint32_t nAnsi = platform::ReadAnsiCodePage();
  // A code page a description cannot give is left out, and said so: the
  // description must still load.
  const auto notDescribed = [](const wchar_t* szWhat, std::uint32_t nCodePage,
                               const wchar_t* szTaken, const wchar_t* szDiffers) {
    std::wstring szPages;
    for (const std::uint32_t n : platform::kDescribedCodePages) {
      szPages += (szPages.empty() ? L"" : L", ") + std::to_wstring(n);
    }
    return std::wstring(szWhat) + L" is " + std::to_wstring(nCodePage) +
           L", which a description cannot give (only " + szPages +
           L"); it is left out and the replay takes " + szTaken + L", so " + szDiffers +
           L" may differ where it holds text outside ASCII";
  };
  if (pages.m_Output != 0 && !platform::IsDescribedCodePage(pages.m_Output)) {
    notes.push_back(notDescribed(L"The console's output code page", pages.m_Output, L"437",
                                 L"malvik's batch file"));
  } else if (pages.m_Output == 0) {
    notes.push_back(kNoConsoleNote);
  } else {
    Add(machine, Key::kConsoleCodePage, JsonValue(pages.m_Output));
    if (pages.m_Input != pages.m_Output) {
      notes.push_back(L"The console reads code page " + std::to_wstring(pages.m_Input) +
                      L" and shows code page " + std::to_wstring(pages.m_Output) +
                      L"; malvik then writes its batch file with ASCII paths only, which the "
                      L"description cannot say: the replay takes code page " +
                      std::to_wstring(pages.m_Output) + L" for both");
    }
  }
  if (platform::IsDescribedCodePage(nAnsi)) {
    Add(machine, Key::kAnsiCodePage, JsonValue(nAnsi));
  } else {
    notes.push_back(notDescribed(L"The system's ANSI code page (the log's)", nAnsi, L"1252",
                                 L"the field log as read"));
  }
}

// An error that says the capture lacks the rights malvik is run with.
bool ForWantOfElevation(std::uint32_t nError) {
  return nError == platform::kERROR_ACCESS_DENIED || nError == platform::kERROR_PRIVILEGE_NOT_HELD;
}

// The same probe malvik makes, as the description's "firmware". A probe
// refused for want of elevation is added to denied.
JsonValue Firmware(std::vector<std::wstring>& denied) {
  const platform::FirmwareVariableResult probe = platform::ProbeFirmwareVariable(
      kFirmwareProbeName, kFirmwareProbeGuid, kFirmwareProbeChars);
  if (probe.m_BytesStored != 0) return JsonString(platform::kFirmwareSucceedsWord);
  if (ForWantOfElevation(probe.m_LastError)) {
    denied.push_back(L"the firmware probe (" + ErrorWords(probe.m_LastError) +
                     L"; the description's firmware is that error, not what malvik will see)");
  }
  if (const wchar_t* szWord = platform::FindFirmwareErrorWord(probe.m_LastError)) {
    return JsonString(szWord);
  }
  JsonValue error = JsonValue::object();
  Add(error, Key::kFirmwareError, JsonValue(probe.m_LastError));
  return error;
}

// The folder malvik runs from: as given, settled already, or the capture's own.
std::wstring ProgramFolder(const CaptureOptions& options) {
  return options.m_ProgramFolder.empty() ? OwnFolder() : options.m_ProgramFolder;
}

// "Partition 2 of disk 0", at the start of a note.
std::wstring PartitionStartingNote(int nDisk, int nPartition) {
  std::wstring sz = platform::PartitionWords<std::wstring>(nDisk, nPartition);
  sz[0] = platform::UpperAscii(sz[0]);
  return sz;
}

// Numbers the partitions: the one the volume reports where a letter reaches
// it, otherwise the one the disk's partition table gives it, otherwise its
// WMI position + 1 (the numbering of a disk without hidden partitions),
// moved on past numbers already taken.
void NumberPartitions(CapturedDisk& disk, std::vector<std::wstring>& notes) {
  std::set<int> taken;
  for (const CapturedPartition& partition : disk.m_Partitions) {
    if (partition.m_Number != 0) taken.insert(partition.m_Number);
  }
  for (CapturedPartition& partition : disk.m_Partitions) {
    if (partition.m_Letter.empty()) continue;
    const platform::VolumePlace place = platform::ReadVolumePlace(partition.m_Letter);
    const int nPlace = static_cast<int>(place.m_Partition);
    if (place.m_Ok && static_cast<int>(place.m_Disk) == disk.m_Index &&
        (nPlace == partition.m_Number || taken.insert(nPlace).second)) {
      partition.m_Number = nPlace;
    } else {
      notes.push_back(
          partition.m_Letter + L" " +
          (place.m_Ok
               ? L"names " +
                     platform::PartitionWords<std::wstring>(place.m_Disk, place.m_Partition) +
                     L", not the disk WMI ties it to"
               : L"has no partition number to read (" + ErrorWords(place.m_LastError) + L")") +
          (partition.m_Number != 0 ? L"; numbered by the disk's partition table"
                                   : L"; numbered by its WMI position"));
    }
  }
  for (CapturedPartition& partition : disk.m_Partitions) {
    if (partition.m_Number != 0) continue;
    int n = partition.m_WmiIndex + 1;
    while (n < 1 || taken.count(n)) ++n;
    taken.insert(n);
    partition.m_Number = n;
    // A lettered one, or one the table lacks, has its note already.
    partition.m_NumberGuessed = !disk.m_TableRead && partition.m_Letter.empty();
  }
}

// The volume keys of a partition or drive: its label, or that it cannot be
// read, and why (pError). szRoot is "E:", or a volume path or a partition's
// \\?\GLOBALROOT device path without its trailing backslash.
bool ReadLabel(const std::wstring& szRoot, std::wstring& szLabel,
               std::uint32_t* pError = nullptr) {
  const platform::VolumeInfo info =
      platform::ReadVolumeInfo(szRoot + L"\\", kLabelChars, kLabelChars);
  szLabel = info.m_Label;
  if (pError != nullptr) *pError = info.m_LastError;
  return info.m_Ok;
}

// The volume path, without its trailing backslash, of every volume that
// names a partition of a disk and that no drive letter reaches, by disk
// index and partition number. Only reads: no letter is defined to reach a
// volume. Notes what the list gave: how many volumes each letter's place
// ties to a letter, how many name a partition no letter was seen to reach,
// how many could not be placed and why, and which letters could not be.
std::map<std::pair<int, int>, std::wstring> UnletteredVolumes(std::vector<std::wstring>& notes) {
  std::map<std::pair<int, int>, std::wstring> lettered;  // place -> letter
  std::vector<std::wstring> unplacedLetters;
  const platform::DriveMask mask = platform::GetDriveMask();
  for (int i = 0; i < platform::kDriveLetterCount; ++i) {
    if ((mask.m_Mask & (1u << i)) == 0) continue;
    const std::wstring szLetter = platform::DriveLetterOfBit(i);
    const platform::VolumePlace place = platform::ReadVolumePlace(szLetter);
    if (place.m_Ok) {
      lettered.emplace(std::make_pair(static_cast<int>(place.m_Disk),
                                      static_cast<int>(place.m_Partition)),
                       szLetter);
    } else {
      unplacedLetters.push_back(szLetter + L" (" + ErrorWords(place.m_LastError) + L")");
    }
  }
  std::map<std::pair<int, int>, std::wstring> volumes;
  const platform::VolumeList list = platform::ListVolumes();
  std::vector<std::wstring> reached;    // the letters that reach listed volumes
  std::vector<std::wstring> unreached;  // "disk 1 partition 1"
  std::vector<std::wstring> nowhere;    // "\\?\Volume{...}\ (error 1: Incorrect function)"
  for (const std::wstring& szVolume : list.m_Volumes) {
    const platform::VolumePlace place = platform::ReadVolumePlace(szVolume);
    const std::pair<int, int> key(static_cast<int>(place.m_Disk),
                                  static_cast<int>(place.m_Partition));
    if (!place.m_Ok) {
      nowhere.push_back(szVolume + L" (" + ErrorWords(place.m_LastError) + L")");
    } else if (const auto letter = lettered.find(key); letter != lettered.end()) {
      reached.push_back(letter->second);
    } else {
      unreached.push_back(platform::PartitionName<std::wstring>(key.first, key.second));
      std::wstring szRoot = szVolume;
      while (!szRoot.empty() && szRoot.back() == L'\\') szRoot.pop_back();
      volumes.emplace(key, szRoot);
    }
  }
  std::sort(reached.begin(), reached.end());
  std::wstring szNote =
      L"The volume list gave " + std::to_wstring(list.m_Volumes.size()) + L" volumes: " +
      std::to_wstring(reached.size()) + L" reached by a letter" +
      (reached.empty() ? L"" : L" (" + platform::JoinedWith(reached, ", ") + L")") + L", " +
      std::to_wstring(unreached.size()) + L" on a partition no letter was seen to reach" +
      (unreached.empty() ? L"" : L" (" + platform::JoinedWith(unreached, ", ") + L")") + L", " +
      std::to_wstring(nowhere.size()) + L" not placed on a partition of a disk" +
      (nowhere.empty() ? L"" : L": " + platform::JoinedWith(nowhere, ", "));
  if (!list.m_Ok) {
    szNote += L"; it could not be read in full (" + ErrorWords(list.m_LastError) + L")";
  }
  if (!unplacedLetters.empty()) {
    szNote += L". Letters not placed on a partition: " +
              platform::JoinedWith(unplacedLetters, ", ") +
              (unreached.empty() ? L"" : L"; a volume no letter was seen to reach may be theirs");
  }
  notes.push_back(szNote);
  return volumes;
}

using VolumePaths = std::map<std::pair<int, int>, std::wstring>;

// What the parts of a description share: the notes so far, where malvik
// runs, and the letters the described partitions took.
struct Capture {
  std::vector<std::wstring> m_Notes;
  std::wstring m_Folder;         // the program folder: "C:\Tools", "C:\"
  std::wstring m_ProgramLetter;  // "C:"; empty when the folder has no drive letter
  std::wstring m_BelowRoot;      // the folder below its root: "Tools", or "" for the root
  std::set<std::wstring> m_LettersDone;
  // The listed volumes, by disk and partition number, that a described
  // partition was read through.
  std::set<std::pair<int, int>> m_VolumesTaken;
  // What could not be read for want of elevation, each with its error.
  std::vector<std::wstring> m_Denied;
};

// Notes a text the description cannot carry as Windows gave it.
void NoteAlteredText(Capture& capture, const std::wstring& szWhat, const std::wstring& szText) {
  const std::wstring szNote = AlteredTextNote(szWhat, szText);
  if (!szNote.empty()) capture.m_Notes.push_back(szNote);
}

// A file of the program folder, by its full path.
std::wstring InProgramFolder(const Capture& capture, const std::wstring& szName) {
  return capture.m_Folder + (capture.m_BelowRoot.empty() ? L"" : L"\\") + szName;
}

// The program folder's path below the root of szLetter's volume, when it
// lies there: its files are captured with the volume's.
std::optional<std::wstring> ProgramFolderOn(const Capture& capture, const std::wstring& szLetter) {
  if (szLetter != capture.m_ProgramLetter) return std::nullopt;
  return capture.m_BelowRoot;
}

// "program": malvik in the program folder, which the capture settles; none,
// and a note, when the folder has no drive letter.
std::optional<JsonValue> ProgramJson(const CaptureOptions& options, Capture& capture) {
  capture.m_Folder = ProgramFolder(options);
  if (!IsFullFolder(capture.m_Folder)) {
    capture.m_Notes.push_back(
        L"The program folder \"" + capture.m_Folder +
        L"\" is not a full path with a drive letter; the default program path is used");
    return std::nullopt;
  }
  capture.m_ProgramLetter = platform::UpperAscii(capture.m_Folder.substr(0, 2));
  capture.m_BelowRoot = capture.m_Folder.substr(3);
  return JsonString(InProgramFolder(capture, kMalvikProgram));
}

// The root through which malvik's sweep reaches partition nPartition of
// disk nDisk: its device path, with no letter defined for it.
std::wstring DevicePathRoot(int nDisk, int nPartition) {
  return platform::kGlobalRoot + platform::PartitionDevicePath(nDisk, nPartition);
}

// One partition: its number, its label (its volume reached through its
// letter or, without one, through its device path as malvik's sweep reaches
// it, or, where the disk's partition table was not read, through the listed
// volume with its number), type, place, letter and files.
JsonValue PartitionJson(Capture& capture, const CapturedDisk& disk,
                        const CapturedPartition& partition, const VolumePaths& volumes) {
  const int nDisk = disk.m_Index;
  JsonValue json = JsonValue::object();
  Add(json, Key::kPartitionNumber, JsonValue(partition.m_Number));
  std::wstring szLabel;
  const bool bLettered =
      !partition.m_Letter.empty() && capture.m_LettersDone.insert(partition.m_Letter).second;
  const bool bByDevice = !bLettered && disk.m_TableRead;
  const auto volume = bLettered || bByDevice ? volumes.end()
                                             : volumes.find({nDisk, partition.m_Number});
  const bool bReached = bLettered || bByDevice || volume != volumes.end();
  const std::wstring szRoot = bLettered   ? partition.m_Letter
                              : bByDevice ? DevicePathRoot(nDisk, partition.m_Number)
                              : bReached  ? volume->second
                                          : std::wstring();
  if (volume != volumes.end()) capture.m_VolumesTaken.insert(volume->first);
  std::uint32_t nError = 0;
  const bool bReadable = bReached && ReadLabel(szRoot, szLabel, &nError);
  Add(json, Key::kPartitionLabel, JsonString(szLabel));
  const std::wstring szWhere =
      bLettered ? partition.m_Letter : PartitionStartingNote(nDisk, partition.m_Number);
  if (partition.m_NumberGuessed) {
    capture.m_Notes.push_back(
        PartitionStartingNote(nDisk, partition.m_Number) + L" (WMI's Partition #" +
        std::to_wstring(partition.m_WmiIndex) + L", at byte " + std::to_wstring(partition.m_Start) +
        (bReadable ? L", labelled \"" + szLabel + L"\"" : L"") +
        L"): its number is a guess, its WMI position + 1 moved past the numbers taken, as the "
        L"disk's partition table could not be read. A partition WMI does not list (an MSR "
        L"partition) before it, or partitions numbered out of disk order (an MBR disk's "
        L"logical drives), make the number wrong, and with it the volume read as this one's");
  }
  NoteAlteredText(capture, L"The label of " + szWhere, szLabel);
  if (bReached && !bReadable) Add(json, Key::kPartitionUnreadable, JsonValue(true));
  if (bReached && !bReadable && ForWantOfElevation(nError)) {
    capture.m_Denied.push_back(szWhere + L" through " + szRoot + L" (" + ErrorWords(nError) + L")");
  }
  Add(json, Key::kPartitionType, JsonString(partition.m_Type));
  if (!partition.m_Wmi) Add(json, Key::kPartitionWmi, JsonValue(false));
  Add(json, Key::kPartitionStart, JsonValue(partition.m_Start));
  Add(json, Key::kPartitionSize, JsonValue(partition.m_Size));
  Add(json, Key::kPartitionLetter, bLettered ? JsonString(partition.m_Letter) : JsonValue());
  if (bReadable) {
    JsonValue unknown;
    Add(json, Key::kPartitionFiles,
        CapturePaths(szRoot,
                     bLettered ? ProgramFolderOn(capture, partition.m_Letter) : std::nullopt,
                     unknown));
    if (!unknown.empty()) Add(json, Key::kPartitionUnknown, std::move(unknown));
  }
  if (bByDevice && !bReadable) {
    capture.m_Notes.push_back(PartitionStartingNote(nDisk, partition.m_Number) +
                              L" cannot be read through " + szRoot + L" (" + ErrorWords(nError) +
                              L"); described as unreadable, as malvik's probe of it finds it");
  }
  if (!bReached) {
    capture.m_Notes.push_back(PartitionStartingNote(nDisk, partition.m_Number) +
                              L" has no drive letter and no listed volume names it; described "
                              L"without its label and files");
  }
  return json;
}

// The listed volumes of a disk whose partition table was not read that no
// described partition was read through: the partition a guessed number
// missed may be one of them.
void NoteVolumesNotTaken(Capture& capture, const std::vector<CapturedDisk>& disks,
                         const VolumePaths& volumes) {
  for (const auto& [place, szRoot] : volumes) {
    const int nDisk = place.first;  // a lambda cannot take a structured binding in C++20
    const bool bGuessedDisk =
        std::any_of(disks.begin(), disks.end(), [nDisk](const CapturedDisk& d) {
          return d.m_Index == nDisk && !d.m_TableRead;
        });
    if (!bGuessedDisk || capture.m_VolumesTaken.count(place)) continue;
    std::wstring szLabel;
    const bool bReadable = ReadLabel(szRoot, szLabel);
    capture.m_Notes.push_back(
        L"The listed volume of " +
        platform::PartitionWords<std::wstring>(place.first, place.second) +
        (bReadable ? L", labelled \"" + szLabel + L"\"," : L"") +
        L" is described as no partition's: its disk's partition table could not be read, and "
        L"no partition numbered by its WMI position came to that number");
  }
}

// "disks": every disk WMI lists, once, with its partitions.
JsonValue DisksJson(Capture& capture) {
  std::vector<CapturedDisk> disks;
  CaptureDisks(disks, capture.m_Notes);
  for (const CapturedDisk& disk : disks) {
    if (!disk.m_TableRead && ForWantOfElevation(disk.m_TableError)) {
      capture.m_Denied.push_back(L"the partition table of disk " + std::to_wstring(disk.m_Index) +
                                 L" (" + ErrorWords(disk.m_TableError) + L")");
    }
  }
  const VolumePaths volumes = UnletteredVolumes(capture.m_Notes);
  std::set<int> indexes;
  JsonValue jsonDisks = JsonValue::array();
  for (CapturedDisk& disk : disks) {
    if (!indexes.insert(disk.m_Index).second) {
      capture.m_Notes.push_back(L"WMI lists disk index " + std::to_wstring(disk.m_Index) +
                                L" twice; only the first is described");
      continue;
    }
    NumberPartitions(disk, capture.m_Notes);
    JsonValue& partitions = Add(disk.m_Json, Key::kDiskPartitions, JsonValue::array());
    for (const CapturedPartition& partition : disk.m_Partitions) {
      Push(partitions, PartitionJson(capture, disk, partition, volumes));
    }
    Push(jsonDisks, std::move(disk.m_Json));
  }
  NoteVolumesNotTaken(capture, disks, volumes);
  return jsonDisks;
}

// One lettered volume that no described partition took: "no-media" when it
// cannot be read, otherwise its label and files.
JsonValue DriveJson(Capture& capture, const std::wstring& szLetter) {
  std::wstring szLabel;
  if (!ReadLabel(szLetter, szLabel)) return description::kNoMediaWord;
  const platform::VolumePlace place = platform::ReadVolumePlace(szLetter);
  if (place.m_Ok) {
    capture.m_Notes.push_back(
        szLetter + L" is " +
        platform::PartitionWords<std::wstring>(place.m_Disk, place.m_Partition) +
        L", which WMI ties to no listed partition; described as a drive of its own");
  }
  JsonValue drive = JsonValue::object();
  Add(drive, Key::kDriveLabel, JsonString(szLabel));
  NoteAlteredText(capture, L"The label of " + szLetter, szLabel);
  JsonValue unknown;
  Add(drive, Key::kDriveFiles, CapturePaths(szLetter, ProgramFolderOn(capture, szLetter), unknown));
  if (!unknown.empty()) Add(drive, Key::kDriveUnknown, std::move(unknown));
  return drive;
}

// "drives": the lettered volumes on no described partition, by letter.
JsonValue DrivesJson(Capture& capture) {
  JsonValue drives = JsonValue::object();
  const platform::DriveMask mask = platform::GetDriveMask();
  if (mask.m_Mask == 0) capture.m_Notes.push_back(L"The drive letters could not be listed");
  for (int i = 0; i < platform::kDriveLetterCount; ++i) {
    const std::wstring szLetter = platform::DriveLetterOfBit(i);
    if ((mask.m_Mask & (1u << i)) == 0 || capture.m_LettersDone.count(szLetter)) continue;
    drives[platform::WideToUtf8(szLetter)] = DriveJson(capture, szLetter);
  }
  return drives;
}

// The boot-configuration scripts in the program folder: what they do when
// run is not captured, which one note says, with how to supply it.
void NoteScripts(Capture& capture) {
  if (capture.m_ProgramLetter.empty()) return;
  std::vector<std::wstring> scripts;
  for (const wchar_t* szScript : {kPbrScript, kWinReScript}) {
    if (platform::ReadFileAttributes(InProgramFolder(capture, szScript)).m_Exists) {
      scripts.push_back(szScript);
    }
  }
  if (scripts.empty()) return;
  capture.m_Notes.push_back(
      scripts[0] + (scripts.size() > 1 ? L" and " + scripts[1] : L"") +
      L": the exit code, output and files of a run are not captured; the replay takes exit "
      L"code 0, no output and no files. The field log's " +
      std::wstring(kExitCodeLine) +
      L" line gives the exit code of the script malvik ran, in hexadecimal: supply it in the "
      L"description as scripts.NAME.exit_code, for example \"scripts\": {\"" +
      scripts[0] + L"\": {\"exit_code\": 7}}. A script rebuilds the boot store " +
      RebuiltBootStore() +
      L" on the EFI system partition: replay with malvik-sim --assume-rebuilt-bcd to assume "
      L"it did, as on a usual machine");
}

// Whether the capture ran elevated, as malvik is run, and what it could not
// read for want of it. Without elevation the note comes first: everything
// after it may show less than malvik will see.
void NoteElevation(Capture& capture) {
  const platform::Elevation elevation = platform::ReadElevation();
  const std::wstring szDenied =
      capture.m_Denied.empty()
          ? L""
          : L"; refused for want of elevation: " + platform::JoinedWith(capture.m_Denied, "; ");
  if (elevation.m_Known && elevation.m_Elevated) {
    capture.m_Notes.push_back(L"The capture ran elevated, as malvik is run" + szDenied);
    return;
  }
  capture.m_Notes.insert(
      capture.m_Notes.begin(),
      (elevation.m_Known ? std::wstring(L"The capture ran without elevation")
                         : L"Whether the capture ran elevated is not known (" +
                               ErrorWords(elevation.m_LastError) + L")") +
          L", while malvik is run as administrator (in a factory or WinPE), so it may see less "
          L"than malvik does" + szDenied +
          L"; a path it was denied is listed as \"unknown\". Run the capture as administrator");
}

// The folder malvik starts in is not known: the replay starts it in its
// program folder, which a note says, with why it matters.
void NoteCurrentDirectory(Capture& capture) {
  capture.m_Notes.push_back(
      L"The folder malvik is started in was not given; the replay starts it in its program "
      L"folder" + (capture.m_ProgramLetter.empty() ? L"" : L", " + capture.m_Folder) +
      L". A run started elsewhere can differ: the batch file inherits that folder, and deleting "
      L"a tree keeps the folder the run is in. Name it with --current-directory DIR");
}

}  // namespace

JsonValue CaptureMachine(const CaptureOptions& options) {
  // Before anything touches a drive: a drive without media then fails
  // quietly instead of asking for a disk.
  platform::InitFramework();
  Capture capture;
  JsonValue machine = JsonValue::object();
  const std::wstring szName = platform::GetMachineName();
  Add(machine, Key::kName, JsonString(szName));
  NoteAlteredText(capture, L"The machine's name", szName);
  Add(machine, Key::kClock, JsonString(Clock()));
  AddCodePages(machine, capture.m_Notes);
  if (std::optional<JsonValue> program = ProgramJson(options, capture)) {
    Add(machine, Key::kProgram, std::move(*program));
  }
  if (!options.m_CurrentDirectory.empty()) {
    Add(machine, Key::kCurrentDirectory, JsonString(options.m_CurrentDirectory));
  } else {
    NoteCurrentDirectory(capture);
  }
  // The ESP letter is checked against its volume; the usual one goes unsaid.
  const std::wstring szWindows = platform::ReadWindowsFolder();
  if (!szWindows.empty() &&
      platform::UpperAscii(szWindows) != platform::UpperAscii(platform::kUsualWindowsFolder)) {
    Add(machine, Key::kWindowsDirectory, JsonString(szWindows));
  }
  Add(machine, Key::kFirmware, Firmware(capture.m_Denied));
  Add(machine, Key::kDisks, DisksJson(capture));
  Add(machine, Key::kDrives, DrivesJson(capture));
  NoteScripts(capture);
  // malvik's own command line is the factory line's, which no capture sees.
  capture.m_Notes.push_back(
      L"malvik's command line is not captured: the replay runs it with no arguments. Where "
      L"the factory line gives it letters, add them to the description as \"arguments\": "
      L"[\"W:\", \"R:\", \"M:\"] (in malvik's order: recovery, EFI system partition, reset), "
      L"or give them to malvik-sim after --");
  NoteElevation(capture);
  JsonValue& jsonNotes = Add(machine, Key::kNotes, JsonValue::array());
  for (const std::wstring& szNote : options.m_FolderNotes) Push(jsonNotes, JsonString(szNote));
  for (const std::wstring& szNote : capture.m_Notes) Push(jsonNotes, JsonString(szNote));
  return machine;
}
