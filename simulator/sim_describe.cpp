// The machine as description text, written through the format's table:
// what the loader reads back to an equal machine. After a run it is the
// machine as the run left it: its files, the letters its DOS devices define
// now, its current folder and its clock.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/firmware_words.h"
#include "simulator/description_fields.h"
#include "simulator/description_format.h"
#include "simulator/sim_clock.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_view.h"

namespace sim {
namespace {

using description::Key;
using description::Name;
// Keys in the order they are written, as a person reads a description.
using json = nlohmann::ordered_json;

void Set(json& object, Key key, json value) { object[Name(key)] = std::move(value); }

std::string ClockText(std::int64_t nMs) {
  const platform::LocalTime t = ToLocalTime(nMs);
  char sz[40];
  std::snprintf(sz, sizeof(sz), "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.m_Year, t.m_Month, t.m_Day,
                t.m_Hour, t.m_Minute, t.m_Second, t.m_Milliseconds);
  return sz;
}

// A path below a volume's root as a description writes it: forward slashes.
std::string Shown(const std::wstring& szPath) {
  std::string sz = ToUtf8(szPath);
  for (char& c : sz) {
    if (c == '\\') c = '/';
  }
  return sz;
}

json Files(const SimVolumeFiles& files) {
  json list = json::array();
  for (const auto& [szKey, file] : files.m_Entries) {
    const std::string szPath = Shown(file.m_Path) + (file.m_Folder ? "/" : "");
    if (!file.m_Hidden && file.m_Bytes.empty()) {
      list.push_back(szPath);
      continue;
    }
    json entry = json::object();
    Set(entry, Key::kFilePath, szPath);
    if (file.m_Hidden) Set(entry, Key::kFileHidden, true);
    if (!file.m_Bytes.empty()) Set(entry, Key::kFileText, file.m_Bytes);
    list.push_back(std::move(entry));
  }
  return list;
}

json Paths(const std::vector<std::wstring>& paths) {
  json list = json::array();
  for (const std::wstring& sz : paths) list.push_back(Shown(sz));
  return list;
}

json Texts(const std::vector<std::wstring>& texts) {
  json list = json::array();
  for (const std::wstring& sz : texts) list.push_back(ToUtf8(sz));
  return list;
}

json Firmware(const SimFirmware& firmware) {
  if (firmware.m_Succeeds) return ToUtf8(platform::kFirmwareSucceedsWord);
  if (const wchar_t* szWord = platform::FindFirmwareErrorWord(firmware.m_Error)) {
    return ToUtf8(szWord);
  }
  json error = json::object();
  Set(error, Key::kFirmwareError, firmware.m_Error);
  return error;
}

// Which letter names each volume now, from the newest definition of each
// letter; what a description cannot say (a second letter of one volume, a
// letter that names no volume, a drive no letter names) becomes a note.
struct LettersNow {
  std::map<std::pair<size_t, size_t>, std::wstring> m_Partitions;  // disk, partition -> letter
  std::map<const SimDrive*, std::wstring> m_Drives;
  std::vector<std::wstring> m_Notes;
};

LettersNow ReadLettersNow(const SimMachine& machine) {
  LettersNow letters;
  // The lookup changes nothing; it only hands out pointers that may.
  SimMachine& lookup = const_cast<SimMachine&>(machine);
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (stack.empty()) continue;
    const SimVolumeRef volume = FindVolumeByLetter(lookup, szLetter);
    bool bTaken = false;
    if (volume.m_Partition != nullptr) {
      for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
        const SimDisk& disk = machine.m_Disks[d];
        for (size_t p = 0; p < disk.m_Partitions.size(); ++p) {
          if (&disk.m_Partitions[p] == volume.m_Partition) {
            bTaken = letters.m_Partitions.emplace(std::make_pair(d, p), szLetter).second;
          }
        }
      }
    } else if (volume.m_Drive != nullptr) {
      bTaken = letters.m_Drives.emplace(volume.m_Drive, szLetter).second;
    }
    if (!bTaken) {
      letters.m_Notes.push_back(szLetter + L" names " + stack.front() +
                                L" after the run, which a description cannot give it");
    }
  }
  return letters;
}

json Partition(const SimPartition& part, const std::wstring& szLetter) {
  json object = json::object();
  Set(object, Key::kPartitionNumber, part.m_Number);
  Set(object, Key::kPartitionLabel, part.m_Label ? json(ToUtf8(*part.m_Label)) : json());
  if (part.m_Unreadable) Set(object, Key::kPartitionUnreadable, true);
  Set(object, Key::kPartitionType, ToUtf8(part.m_Type));
  if (!part.m_Wmi) Set(object, Key::kPartitionWmi, false);
  Set(object, Key::kPartitionStart, part.m_Start);
  Set(object, Key::kPartitionSize, part.m_Size);
  Set(object, Key::kPartitionLetter, szLetter.empty() ? json() : json(ToUtf8(szLetter)));
  Set(object, Key::kPartitionFiles, Files(part.m_Files));
  if (!part.m_UnknownPaths.empty()) {
    Set(object, Key::kPartitionUnknown, Paths(part.m_UnknownPaths));
  }
  if (!part.m_NullProperties.empty()) {
    Set(object, Key::kPartitionNullProperties, Texts(part.m_NullProperties));
  }
  return object;
}

json Disks(const SimMachine& machine, const LettersNow& letters) {
  json disks = json::array();
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    const SimDisk& disk = machine.m_Disks[d];
    json object = json::object();
    Set(object, Key::kDiskIndex, disk.m_Index);
    if (disk.m_Caption) Set(object, Key::kDiskCaption, ToUtf8(*disk.m_Caption));
    Set(object, Key::kDiskMediaType, ToUtf8(disk.m_MediaType));
    if (disk.m_Size >= 0) Set(object, Key::kDiskSize, disk.m_Size);
    Set(object, Key::kDiskSignature, disk.m_Signature ? json(*disk.m_Signature) : json());
    if (disk.m_PartitionsReported) {
      Set(object, Key::kDiskPartitionsReported, *disk.m_PartitionsReported);
    }
    Set(object, Key::kDiskNullProperties, Texts(disk.m_NullProperties));
    json partitions = json::array();
    for (size_t p = 0; p < disk.m_Partitions.size(); ++p) {
      const auto letter = letters.m_Partitions.find({d, p});
      partitions.push_back(Partition(disk.m_Partitions[p],
                                     letter == letters.m_Partitions.end() ? L"" : letter->second));
    }
    Set(object, Key::kDiskPartitions, std::move(partitions));
    disks.push_back(std::move(object));
  }
  return disks;
}

json Drives(const SimMachine& machine, LettersNow& letters) {
  json drives = json::object();
  // By the letter that names each now, in letter order.
  std::map<std::wstring, const SimDrive*> byLetter;
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    const auto now = letters.m_Drives.find(&drive);
    if (now == letters.m_Drives.end()) {
      letters.m_Notes.push_back(L"The drive first lettered " + szLetter +
                                L" has no letter after the run and is left out");
      continue;
    }
    byLetter[now->second] = &drive;
  }
  for (const auto& [szLetter, pDrive] : byLetter) {
    if (pDrive->m_NoMedia) {
      drives[ToUtf8(szLetter)] = description::kNoMediaWord;
      continue;
    }
    json object = json::object();
    Set(object, Key::kDriveLabel, ToUtf8(pDrive->m_Label));
    Set(object, Key::kDriveFiles, Files(pDrive->m_Files));
    if (!pDrive->m_UnknownPaths.empty()) {
      Set(object, Key::kDriveUnknown, Paths(pDrive->m_UnknownPaths));
    }
    drives[ToUtf8(szLetter)] = std::move(object);
  }
  return drives;
}

json Scripts(const SimMachine& machine) {
  json scripts = json::object();
  for (const auto& [szName, script] : machine.m_Scripts) {
    json object = json::object();
    Set(object, Key::kScriptExitCode, script.m_ExitCode);
    if (script.m_Output) Set(object, Key::kScriptOutput, *script.m_Output);
    Set(object, Key::kScriptRunMs, script.m_RunMs);
    Set(object, Key::kScriptCreates, Files(script.m_Creates));
    scripts[ToUtf8(szName)] = std::move(object);
  }
  return scripts;
}

json Faults(const SimFaults& faults) {
  json object = json::object();
  if (!faults.m_Wmi.empty()) {
    json wmi = json::array();
    for (const SimWmiFault& fault : faults.m_Wmi) {
      json item = json::object();
      Set(item, Key::kWmiFaultAttempt,
          fault.m_Attempt < 0 ? json(description::kEveryAttemptWord) : json(fault.m_Attempt));
      Set(item, Key::kWmiFaultCall, fault.m_Call);
      wmi.push_back(std::move(item));
    }
    Set(object, Key::kFaultWmi, std::move(wmi));
  }
  if (!faults.m_DefineFails.empty()) {
    Set(object, Key::kFaultDefineFails, Texts(faults.m_DefineFails));
  }
  if (faults.m_ProcessStart) Set(object, Key::kFaultProcessStart, *faults.m_ProcessStart);
  for (const auto& [key, flag] : kFailureFaults) {
    if (faults.*flag) Set(object, key, description::kFailWord);
  }
  return object;
}

json Costs(const SimCosts& costs) {
  json object = json::object();
  for (const auto& [key, field] : kCostFields) Set(object, key, costs.*field);
  return object;
}

}  // namespace

std::string DescribeMachine(const SimMachine& machine) {
  LettersNow letters = ReadLettersNow(machine);
  json j = json::object();
  Set(j, Key::kName, ToUtf8(machine.m_Name));
  Set(j, Key::kProgram, ToUtf8(machine.m_Program));
  if (!machine.m_CurrentDirectory.empty()) {
    Set(j, Key::kCurrentDirectory, ToUtf8(machine.m_CurrentDirectory));
  }
  Set(j, Key::kArguments, Texts(machine.m_Arguments));
  Set(j, Key::kWindowsDirectory, ToUtf8(machine.m_WindowsDirectory));
  Set(j, Key::kClock, ClockText(machine.m_ClockMs));
  // One key gives both: a console that reads one code page and shows
  // another is described by the one it shows, which the batch file is
  // written in.
  Set(j, Key::kConsoleCodePage, machine.m_ConsoleOutputCodePage);
  if (machine.m_AnsiCodePageGiven) Set(j, Key::kAnsiCodePage, machine.m_AnsiCodePage);
  Set(j, Key::kFirmware, Firmware(machine.m_Firmware));
  Set(j, Key::kDisks, Disks(machine, letters));
  Set(j, Key::kDrives, Drives(machine, letters));
  Set(j, Key::kScripts, Scripts(machine));
  Set(j, Key::kFaults, Faults(machine.m_Faults));
  Set(j, Key::kCosts, Costs(machine.m_Costs));
  json notes = Texts(machine.m_Notes);
  for (const std::wstring& szNote : letters.m_Notes) notes.push_back(ToUtf8(szNote));
  Set(j, Key::kNotes, std::move(notes));
  // A file's bytes that are not UTF-8 (a log in code page 1252) cannot be
  // JSON text: each byte that breaks UTF-8 becomes U+FFFD.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace sim
