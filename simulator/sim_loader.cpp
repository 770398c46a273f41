#include "simulator/sim_loader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "platform/ascii.h"
#include "simulator/described_code_pages.h"
#include "simulator/description_format.h"
#include "simulator/description_fields.h"
#include "platform/firmware_words.h"
#include "simulator/code_pages.h"
#include "simulator/sim_clock.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"
#include "platform/win32_codes.h"
#include "platform/wmi_names.h"

namespace sim {
namespace {

using description::Key;
using description::Name;
using description::Place;
using nlohmann::json;

// Thrown inside the loader only, caught by LoadMachine.
struct Bad {
  std::string m_Path;
  std::string m_What;
};

std::string Join(const std::string& szPath, const std::string& szKey) {
  return szPath.empty() ? szKey : szPath + "." + szKey;
}

std::string Join(const std::string& szPath, Key key) { return Join(szPath, Name(key)); }

std::string Index(const std::string& szPath, size_t i) {
  return szPath + "[" + std::to_string(i) + "]";
}

// An object whose keys are all the format's keys of its place.
void ExpectObject(const json& j, const std::string& szPath, Place place) {
  if (!j.is_object()) throw Bad{szPath.empty() ? "$" : szPath, "expected an object"};
  for (const auto& [key, value] : j.items()) {
    if (description::FindKey(place, key) == nullptr) throw Bad{Join(szPath, key), "unknown key"};
  }
}

bool Is(const std::string& szKey, Key key) { return szKey == Name(key); }
bool Has(const json& j, Key key) { return j.contains(Name(key)); }
const json& At(const json& j, Key key) { return j[Name(key)]; }

std::string String(const json& j, const std::string& szPath) {
  if (!j.is_string()) throw Bad{szPath, "expected a string"};
  return j.get<std::string>();
}

// A whole number from nMin to nMax. A number written with a fraction or an
// exponent counts when its value is whole (1e6); one beyond the range, however
// written, is too large or too small, with the range it must keep to.
std::int64_t Integer(const json& j, const std::string& szPath, std::int64_t nMin,
                     std::int64_t nMax = std::numeric_limits<std::int64_t>::max()) {
  const std::string szRange =
      " (the allowed range is " + std::to_string(nMin) + " to " + std::to_string(nMax) + ")";
  constexpr double kTwoTo63 = 9223372036854775808.0;
  std::int64_t n = 0;
  if (j.is_number_unsigned()) {
    if (j.get<std::uint64_t>() > static_cast<std::uint64_t>(nMax)) {
      throw Bad{szPath, "too large" + szRange};
    }
    n = static_cast<std::int64_t>(j.get<std::uint64_t>());
  } else if (j.is_number_integer()) {
    n = j.get<std::int64_t>();
  } else if (j.is_number_float()) {
    const double d = j.get<double>();
    if (d != std::floor(d)) throw Bad{szPath, "expected a whole number"};
    if (d >= kTwoTo63) throw Bad{szPath, "too large" + szRange};
    if (d < -kTwoTo63) throw Bad{szPath, "too small" + szRange};
    n = static_cast<std::int64_t>(d);
  } else {
    throw Bad{szPath, "expected a whole number"};
  }
  if (n > nMax) throw Bad{szPath, "too large" + szRange};
  if (n < nMin) throw Bad{szPath, "too small" + szRange};
  return n;
}

// A whole number in the range the format gives the key.
std::int64_t Integer(const json& j, const std::string& szPath, Key key) {
  return Integer(j, szPath, description::Row(key).m_nMin, description::Row(key).m_nMax);
}

// A volume label: Windows keeps it as counted text, but every program reads
// it up to its first U+0000, so a label cannot hold one.
std::wstring Label(const json& j, const std::string& szPath) {
  const std::wstring szLabel = FromUtf8(String(j, szPath));
  if (szLabel.find(L'\0') != std::wstring::npos) throw Bad{szPath, "a label cannot hold U+0000"};
  return szLabel;
}

bool Boolean(const json& j, const std::string& szPath) {
  if (!j.is_boolean()) throw Bad{szPath, "expected true or false"};
  return j.get<bool>();
}

std::wstring Letter(const json& j, const std::string& szPath) {
  const std::string sz = j.is_string() ? j.get<std::string>() : std::string();
  if (sz.size() != 2 || sz[1] != ':' || !std::isalpha(static_cast<unsigned char>(sz[0]))) {
    throw Bad{szPath, "expected a drive letter such as \"E:\""};
  }
  return UpperAscii(FromUtf8(sz));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// What keeps szPath from being a path below a volume's root that Windows
// could hold, or empty when nothing does. One trailing separator (a folder)
// is allowed. Such a path could otherwise name a place outside the volume,
// and --out would write there.
std::string PathFault(const std::string& szPath) {
  if (szPath.size() >= 2 && szPath[1] == ':') return "it starts with a drive letter";
  if (szPath.empty() || IsSeparator(szPath.front())) return "it starts at the root";
  const size_t nEnd = IsSeparator(szPath.back()) ? szPath.size() - 1 : szPath.size();
  size_t begin = 0;
  while (begin <= nEnd) {
    size_t end = begin;
    while (end < nEnd && !IsSeparator(szPath[end])) ++end;
    const std::string szPart = szPath.substr(begin, end - begin);
    if (szPart.empty()) return "it has an empty component (two separators in a row)";
    if (szPart == "." || szPart == "..") return "it has a \"" + szPart + "\" component";
    for (const char c : szPart) {
      const bool bForbidden = std::string("<>:\"|?*").find(c) != std::string::npos;
      if (static_cast<unsigned char>(c) < 0x20 || bForbidden) {
        return "it holds a character Windows forbids in names";
      }
    }
    begin = end + 1;
  }
  return "";
}

void ReadFiles(const json& j, const std::string& szPath, SimVolumeFiles& files) {
  if (!j.is_array()) throw Bad{szPath, "expected an array"};
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string szItem = Index(szPath, i);
    std::string szFile;
    bool bHidden = false;
    std::string szText;
    if (j[i].is_string()) {
      szFile = j[i].get<std::string>();
    } else {
      ExpectObject(j[i], szItem, Place::kFile);
      if (!Has(j[i], Key::kFilePath)) throw Bad{Join(szItem, Key::kFilePath), "missing"};
      szFile = String(At(j[i], Key::kFilePath), Join(szItem, Key::kFilePath));
      if (Has(j[i], Key::kFileHidden)) {
        bHidden = Boolean(At(j[i], Key::kFileHidden), Join(szItem, Key::kFileHidden));
      }
      if (Has(j[i], Key::kFileText)) {
        szText = String(At(j[i], Key::kFileText), Join(szItem, Key::kFileText));
      }
    }
    const std::string szFault = PathFault(szFile);
    if (!szFault.empty()) {
      throw Bad{j[i].is_string() ? szItem : Join(szItem, Key::kFilePath),
                "expected a path relative to the volume root: " + szFault};
    }
    AddFile(files, FromUtf8(szFile), IsSeparator(szFile.back()), bHidden, szText);
  }
}

// "unknown": paths, as in "files", that a capture could not read. The run
// sees them as absent; they are kept with backslashes and no separator at
// either end.
std::vector<std::wstring> ReadUnknownPaths(const json& j, const std::string& szPath) {
  if (!j.is_array()) throw Bad{szPath, "expected an array"};
  std::vector<std::wstring> paths;
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string szFile = String(j[i], Index(szPath, i));
    const std::string szFault = PathFault(szFile);
    if (!szFault.empty()) {
      throw Bad{Index(szPath, i), "expected a path relative to the volume root: " + szFault};
    }
    std::wstring sz = NormaliseSeparators(FromUtf8(szFile));
    while (!sz.empty() && sz.front() == L'\\') sz.erase(0, 1);
    while (!sz.empty() && sz.back() == L'\\') sz.pop_back();
    paths.push_back(sz);
  }
  return paths;
}

// A list of property names, each one of kNames.
template <size_t N>
std::vector<std::wstring> NameList(const json& j, const std::string& szPath,
                                   const wchar_t* const (&kNames)[N], const char* szNotOne) {
  if (!j.is_array()) throw Bad{szPath, "expected an array"};
  std::vector<std::wstring> names;
  for (size_t i = 0; i < j.size(); ++i) {
    const std::wstring szName = FromUtf8(String(j[i], Index(szPath, i)));
    bool bKnown = false;
    for (const wchar_t* szKnown : kNames) bKnown = bKnown || szName == szKnown;
    if (!bKnown) throw Bad{Index(szPath, i), szNotOne};
    names.push_back(szName);
  }
  return names;
}

SimPartition ReadPartition(const json& j, const std::string& szPath, size_t nPosition) {
  ExpectObject(j, szPath, Place::kPartition);
  SimPartition part;
  part.m_Number = static_cast<int>(nPosition + 1);
  part.m_Label = L"";
  for (const auto& [key, value] : j.items()) {
    const std::string szKey = Join(szPath, key);
    if (Is(key, Key::kPartitionNumber)) {
      part.m_Number = static_cast<int>(Integer(value, szKey, Key::kPartitionNumber));
    }
    if (Is(key, Key::kPartitionLabel)) {
      if (value.is_null()) {
        part.m_Label.reset();
      } else {
        part.m_Label = Label(value, szKey);
      }
    }
    if (Is(key, Key::kPartitionUnreadable)) part.m_Unreadable = Boolean(value, szKey);
    if (Is(key, Key::kPartitionType)) part.m_Type = FromUtf8(String(value, szKey));
    if (Is(key, Key::kPartitionWmi)) part.m_Wmi = Boolean(value, szKey);
    if (Is(key, Key::kPartitionStart)) part.m_Start = Integer(value, szKey, Key::kPartitionStart);
    if (Is(key, Key::kPartitionSize)) part.m_Size = Integer(value, szKey, Key::kPartitionSize);
    if (Is(key, Key::kPartitionLetter) && !value.is_null()) part.m_Letter = Letter(value, szKey);
    if (Is(key, Key::kPartitionFiles)) ReadFiles(value, szKey, part.m_Files);
    if (Is(key, Key::kPartitionUnknown)) part.m_UnknownPaths = ReadUnknownPaths(value, szKey);
    if (Is(key, Key::kPartitionNullProperties)) {
      part.m_NullProperties =
          NameList(value, szKey, platform::wmi::kNullableAssociationProperties,
                   "not an association property");
    }
  }
  return part;
}

SimDisk ReadDisk(const json& j, const std::string& szPath, size_t nPosition) {
  ExpectObject(j, szPath, Place::kDisk);
  SimDisk disk;
  disk.m_Index = static_cast<int>(nPosition);
  for (const auto& [key, value] : j.items()) {
    const std::string szKey = Join(szPath, key);
    if (Is(key, Key::kDiskIndex)) {
      disk.m_Index = static_cast<int>(Integer(value, szKey, Key::kDiskIndex));
    }
    if (Is(key, Key::kDiskCaption)) disk.m_Caption = FromUtf8(String(value, szKey));
    if (Is(key, Key::kDiskMediaType)) disk.m_MediaType = FromUtf8(String(value, szKey));
    if (Is(key, Key::kDiskSize)) disk.m_Size = Integer(value, szKey, Key::kDiskSize);
    if (Is(key, Key::kDiskSignature) && !value.is_null()) {
      disk.m_Signature = Integer(value, szKey, Key::kDiskSignature);
    }
    if (Is(key, Key::kDiskPartitionsReported)) {
      disk.m_PartitionsReported = static_cast<std::int32_t>(
          Integer(value, szKey, Key::kDiskPartitionsReported));
    }
    if (Is(key, Key::kDiskNullProperties)) {
      disk.m_NullProperties =
          NameList(value, szKey, platform::wmi::kNullableDiskProperties,
                   "not a disk property");
    }
    if (Is(key, Key::kDiskPartitions)) {
      if (!value.is_array()) throw Bad{szKey, "expected an array"};
      std::set<int> numbers;
      for (size_t i = 0; i < value.size(); ++i) {
        disk.m_Partitions.push_back(ReadPartition(value[i], Index(szKey, i), i));
        if (!numbers.insert(disk.m_Partitions.back().m_Number).second) {
          throw Bad{Index(szKey, i), "partition number used twice on this disk"};
        }
      }
    }
  }
  return disk;
}

SimDrive ReadDrive(const json& j, const std::string& szPath) {
  SimDrive drive;
  if (j.is_string()) {
    if (j.get<std::string>() != description::kNoMediaWord) {
      throw Bad{szPath, "expected \"no-media\" or an object"};
    }
    drive.m_NoMedia = true;
    return drive;
  }
  ExpectObject(j, szPath, Place::kDrive);
  if (Has(j, Key::kDriveLabel)) {
    drive.m_Label = Label(At(j, Key::kDriveLabel), Join(szPath, Key::kDriveLabel));
  }
  if (Has(j, Key::kDriveFiles)) {
    ReadFiles(At(j, Key::kDriveFiles), Join(szPath, Key::kDriveFiles), drive.m_Files);
  }
  if (Has(j, Key::kDriveUnknown)) {
    drive.m_UnknownPaths =
        ReadUnknownPaths(At(j, Key::kDriveUnknown), Join(szPath, Key::kDriveUnknown));
  }
  return drive;
}

bool KnownWmiCall(const std::string& sz) {
  static const std::set<std::string> kCalls = {"CoInitializeEx", "CoInitializeSecurity",
                                               "CoInitializeSecurity:too_late",
                                               "CoCreateInstance", "ConnectServer",
                                               "CoSetProxyBlanket"};
  if (kCalls.count(sz)) return true;
  for (const std::string szPrefix : {"ExecQuery:", "Next:"}) {
    if (sz.rfind(szPrefix, 0) == 0) {
      const std::string szNumber = sz.substr(szPrefix.size());
      return platform::IsDecimalDigits(szNumber) && szNumber.size() < 9 &&
             std::stoi(szNumber) >= 1;
    }
  }
  return false;
}

void ReadFaults(const json& j, const std::string& szPath, SimFaults& faults) {
  ExpectObject(j, szPath, Place::kFaults);
  for (const auto& [key, value] : j.items()) {
    const std::string szKey = Join(szPath, key);
    if (Is(key, Key::kFaultWmi)) {
      if (!value.is_array()) throw Bad{szKey, "expected an array"};
      for (size_t i = 0; i < value.size(); ++i) {
        const std::string szItem = Index(szKey, i);
        ExpectObject(value[i], szItem, Place::kWmiFault);
        SimWmiFault fault;
        for (const Key required : {Key::kWmiFaultAttempt, Key::kWmiFaultCall}) {
          if (!Has(value[i], required)) throw Bad{Join(szItem, required), "missing"};
        }
        const json& attempt = At(value[i], Key::kWmiFaultAttempt);
        if (attempt.is_string()) {
          if (attempt.get<std::string>() != description::kEveryAttemptWord) {
            throw Bad{Join(szItem, Key::kWmiFaultAttempt), "expected a number or \"all\""};
          }
        } else {
          fault.m_Attempt = static_cast<int>(Integer(attempt, Join(szItem, Key::kWmiFaultAttempt),
                                                     Key::kWmiFaultAttempt));
        }
        fault.m_Call = String(At(value[i], Key::kWmiFaultCall), Join(szItem, Key::kWmiFaultCall));
        if (!KnownWmiCall(fault.m_Call)) {
          throw Bad{Join(szItem, Key::kWmiFaultCall), "unknown call"};
        }
        faults.m_Wmi.push_back(fault);
      }
    }
    if (Is(key, Key::kFaultDefineFails)) {
      if (!value.is_array()) throw Bad{szKey, "expected an array"};
      for (size_t i = 0; i < value.size(); ++i) {
        faults.m_DefineFails.push_back(Letter(value[i], Index(szKey, i)));
      }
    }
    if (Is(key, Key::kFaultProcessStart)) {
      faults.m_ProcessStart =
          static_cast<std::uint32_t>(Integer(value, szKey, Key::kFaultProcessStart));
    }
    for (const auto& [failure, flag] : kFailureFaults) {
      if (!Is(key, failure)) continue;
      if (!value.is_string() || value.get<std::string>() != description::kFailWord) {
        throw Bad{szKey, "expected \"fail\""};
      }
      faults.*flag = true;
    }
  }
}

void ReadCosts(const json& j, const std::string& szPath, SimCosts& costs) {
  ExpectObject(j, szPath, Place::kCosts);
  auto cost = [&](Key key) {
    return static_cast<std::uint32_t>(Integer(j[Name(key)], Join(szPath, Name(key)), key));
  };
  if (Has(j, Key::kCostAll)) {
    const std::uint32_t n = cost(Key::kCostAll);
    costs = {n, n, n, n, n, n, n};
  }
  for (const auto& [key, field] : kCostFields) {
    if (j.contains(Name(key))) costs.*field = cost(key);
  }
}

void ReadFirmware(const json& j, const std::string& szPath, SimFirmware& firmware) {
  if (j.is_string()) {
    const std::wstring sz = FromUtf8(j.get<std::string>());
    if (sz == platform::kFirmwareSucceedsWord) {
      firmware = {true, 0};
      return;
    }
    for (const platform::FirmwareErrorWord& word : platform::kFirmwareErrorWords) {
      if (sz == word.m_Word) {
        firmware = {false, word.m_Error};
        return;
      }
    }
    throw Bad{szPath, "expected \"uefi\", \"legacy\", \"succeeds\" or {\"error\": N}"};
  }
  ExpectObject(j, szPath, Place::kFirmware);
  if (!Has(j, Key::kFirmwareError)) throw Bad{Join(szPath, Key::kFirmwareError), "missing"};
  firmware = {false, static_cast<std::uint32_t>(Integer(At(j, Key::kFirmwareError),
                                                        Join(szPath, Key::kFirmwareError),
                                                        Key::kFirmwareError))};
}

// malvik's own arguments, as a command line gives them: no argument holds
// U+0000, which ends a command line's text.
void ReadArguments(const json& j, const std::string& szPath, std::vector<std::wstring>& args) {
  if (!j.is_array()) {
    throw Bad{szPath, "expected an array of texts, such as [\"W:\", \"R:\", \"M:\"]"};
  }
  for (size_t i = 0; i < j.size(); ++i) {
    args.push_back(FromUtf8(String(j[i], Index(szPath, i))));
    if (args.back().find(L'\0') != std::wstring::npos) {
      throw Bad{Index(szPath, i), "an argument cannot hold U+0000"};
    }
  }
}

void ReadNotes(const json& j, const std::string& szPath, std::vector<std::wstring>& notes) {
  if (!j.is_array()) throw Bad{szPath, "expected an array"};
  for (size_t i = 0; i < j.size(); ++i) notes.push_back(FromUtf8(String(j[i], Index(szPath, i))));
}

// A full path with a drive letter that names a file, not a folder.
std::wstring ReadProgram(const json& j, const std::string& szPath) {
  const std::string szProgram = String(j, szPath);
  const std::string szRest = szProgram.size() > 3 ? szProgram.substr(3) : "";
  std::string szFault;
  if (szProgram.size() < 3 || !std::isalpha(static_cast<unsigned char>(szProgram[0])) ||
      szProgram[1] != ':' || !IsSeparator(szProgram[2])) {
    szFault = "it does not start with a drive letter and a separator";
  } else if (szRest.empty() || IsSeparator(szRest.back())) {
    szFault = "it names a folder, not the program";
  } else {
    szFault = PathFault(szRest);
  }
  if (!szFault.empty()) {
    throw Bad{szPath, "expected a full path such as \"C:\\\\Tools\\\\malvik.exe\": " + szFault};
  }
  return FromUtf8(szProgram);
}

// A full path of a folder, from a drive's root: "C:\\" or "C:\\Tools". A
// path relative to a drive's current folder ("C:Tools") or one that steps
// up ("..") names no folder the description could know.
std::wstring ReadCurrentDirectory(const json& j, const std::string& szPath) {
  const std::string sz = String(j, szPath);
  std::string szFault;
  if (sz.size() < 3 || !std::isalpha(static_cast<unsigned char>(sz[0])) || sz[1] != ':' ||
      !IsSeparator(sz[2])) {
    szFault = "it does not start with a drive letter and a separator";
  } else if (sz.size() > 3) {
    szFault = PathFault(sz.substr(3));
  }
  if (!szFault.empty()) {
    throw Bad{szPath, "expected a full path such as \"C:\\\\Tools\": " + szFault};
  }
  return FromUtf8(sz);
}

std::int64_t ReadClock(const json& j, const std::string& szPath) {
  const auto nMs = ParseClock(String(j, szPath));
  if (!nMs) throw Bad{szPath, "expected a time such as \"2026-03-07T09:05:02.045\""};
  return *nMs;
}

// bConsole: the console's, which may also be kNoConsoleCodePage.
std::uint32_t ReadCodePage(const json& j, const std::string& szPath, bool bConsole) {
  const auto nCodePage = static_cast<std::uint32_t>(Integer(j, szPath, 0, 0xFFFFFFFF));
  if (bConsole && nCodePage == platform::kNoConsoleCodePage) return nCodePage;
  if (!KnownCodePage(nCodePage)) {
    // "expected 437, 850, 1252, 65000 or 65001", and "or 0 (no console)"
    const auto& kPages = platform::kDescribedCodePages;
    std::string szExpected = "expected";
    for (size_t i = 0; i < std::size(kPages); ++i) {
      szExpected += i == 0 ? " " : i + 1 == std::size(kPages) && !bConsole ? " or " : ", ";
      szExpected += std::to_string(kPages[i]);
    }
    if (bConsole) szExpected += " or " + std::to_string(platform::kNoConsoleCodePage) + " (no console)";
    throw Bad{szPath, szExpected};
  }
  return nCodePage;
}

void ReadDisks(const json& j, const std::string& szPath, std::vector<SimDisk>& disks) {
  if (!j.is_array()) throw Bad{szPath, "expected an array"};
  std::set<int> indexes;
  for (size_t i = 0; i < j.size(); ++i) {
    disks.push_back(ReadDisk(j[i], Index(szPath, i), i));
    if (!indexes.insert(disks.back().m_Index).second) {
      throw Bad{Index(szPath, i), "disk index used twice"};
    }
  }
}

void ReadDrives(const json& j, const std::string& szPath,
                std::map<std::wstring, SimDrive>& drives) {
  if (!j.is_object()) throw Bad{szPath, "expected an object"};
  for (const auto& [szLetter, drive] : j.items()) {
    const std::string szDrivePath = Join(szPath, szLetter);
    const std::wstring szKey = Letter(json(szLetter), szDrivePath);
    if (drives.count(szKey)) {
      throw Bad{szDrivePath, "the same letter as " + Join(szPath, ToUtf8(szKey)) +
                                 " (a letter is one whatever its case)"};
    }
    drives[szKey] = ReadDrive(drive, szDrivePath);
  }
}

SimScript ReadScript(const json& j, const std::string& szPath) {
  ExpectObject(j, szPath, Place::kScript);
  SimScript script;
  if (Has(j, Key::kScriptExitCode)) {
    script.m_ExitCode = static_cast<std::uint32_t>(
        Integer(At(j, Key::kScriptExitCode), Join(szPath, Key::kScriptExitCode),
                Key::kScriptExitCode));
  }
  if (Has(j, Key::kScriptOutput)) {
    script.m_Output = String(At(j, Key::kScriptOutput), Join(szPath, Key::kScriptOutput));
  }
  if (Has(j, Key::kScriptRunMs)) {
    script.m_RunMs =
        static_cast<std::uint32_t>(Integer(At(j, Key::kScriptRunMs),
                                           Join(szPath, Key::kScriptRunMs), Key::kScriptRunMs));
  }
  if (Has(j, Key::kScriptCreates)) {
    ReadFiles(At(j, Key::kScriptCreates), Join(szPath, Key::kScriptCreates), script.m_Creates);
  }
  return script;
}

void ReadScripts(const json& j, const std::string& szPath,
                 std::map<std::wstring, SimScript>& scripts) {
  if (!j.is_object()) throw Bad{szPath, "expected an object"};
  for (const auto& [szName, script] : j.items()) {
    scripts[FromUtf8(szName)] = ReadScript(script, Join(szPath, szName));
  }
}

// A letter names one volume before the run: one partition or one drive.
void CheckLettersOnce(const SimMachine& machine) {
  std::map<std::wstring, std::string> owners;
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    for (size_t p = 0; p < machine.m_Disks[d].m_Partitions.size(); ++p) {
      const std::wstring& szLetter = machine.m_Disks[d].m_Partitions[p].m_Letter;
      const std::string szPath = Index(Index("disks", d) + ".partitions", p) + ".letter";
      if (!szLetter.empty() && !owners.emplace(szLetter, szPath).second) {
        throw Bad{szPath, "letter already used by " + owners[szLetter]};
      }
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    const std::string szPath = "drives." + ToUtf8(szLetter);
    if (!owners.emplace(szLetter, szPath).second) {
      throw Bad{szPath, "letter already used by " + owners[szLetter]};
    }
  }
}

void Read(const json& j, SimMachine& machine) {
  ExpectObject(j, "", Place::kMachine);
  machine.m_ClockMs = *ParseClock("2026-01-01T00:00:00.000");
  for (const auto& [key, value] : j.items()) {
    if (Is(key, Key::kName)) machine.m_Name = FromUtf8(String(value, key));
    if (Is(key, Key::kNotes)) ReadNotes(value, key, machine.m_Notes);
    if (Is(key, Key::kArguments)) ReadArguments(value, key, machine.m_Arguments);
    if (Is(key, Key::kProgram)) machine.m_Program = ReadProgram(value, key);
    if (Is(key, Key::kCurrentDirectory)) {
      machine.m_CurrentDirectory = ReadCurrentDirectory(value, key);
    }
    if (Is(key, Key::kWindowsDirectory)) {
      machine.m_WindowsDirectory = ReadCurrentDirectory(value, key);
    }
    if (Is(key, Key::kClock)) machine.m_ClockMs = ReadClock(value, key);
    if (Is(key, Key::kConsoleCodePage)) {
      machine.m_ConsoleInputCodePage = machine.m_ConsoleOutputCodePage = ReadCodePage(value, key, true);
    }
    if (Is(key, Key::kAnsiCodePage)) machine.m_AnsiCodePage = ReadCodePage(value, key, false);
    if (Is(key, Key::kAnsiCodePage)) machine.m_AnsiCodePageGiven = true;
    if (Is(key, Key::kFirmware)) ReadFirmware(value, key, machine.m_Firmware);
    if (Is(key, Key::kDisks)) ReadDisks(value, key, machine.m_Disks);
    if (Is(key, Key::kDrives)) ReadDrives(value, key, machine.m_Drives);
    if (Is(key, Key::kScripts)) ReadScripts(value, key, machine.m_Scripts);
    if (Is(key, Key::kFaults)) ReadFaults(value, key, machine.m_Faults);
    if (Is(key, Key::kCosts)) ReadCosts(value, key, machine.m_Costs);
  }
  CheckLettersOnce(machine);
}

// The JSON path of the value the parser is reading, kept from its events,
// and the first key an object repeats: the parser itself keeps the last of
// two equal keys without a word.
struct PathTracker {
  struct Frame {
    bool m_Array = false;
    size_t m_Index = 0;                // arrays: the element being read
    std::optional<std::string> m_Key;  // objects: the key being read
    std::set<std::string> m_Keys;
  };
  std::vector<Frame> m_Frames;
  std::optional<std::string> m_Duplicate;  // the path of the first repeated key

  std::string Path() const {
    std::string szPath;
    for (const Frame& frame : m_Frames) {
      if (frame.m_Array) szPath = Index(szPath, frame.m_Index);
      if (!frame.m_Array && frame.m_Key) szPath = Join(szPath, *frame.m_Key);
    }
    return szPath.empty() ? "$" : szPath;
  }

  // An element of an array is read: the next one follows.
  void ValueDone() {
    if (!m_Frames.empty() && m_Frames.back().m_Array) ++m_Frames.back().m_Index;
  }

  bool Event(json::parse_event_t event, const json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (m_Frames.size() >= kMaxDescriptionNesting) {
          throw Bad{Path(), "objects and arrays nest deeper here than the " +
                                std::to_string(kMaxDescriptionNesting) +
                                " levels a description may use"};
        }
        m_Frames.push_back({event == json::parse_event_t::array_start, 0, {}, {}});
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        m_Frames.pop_back();
        ValueDone();
        break;
      case json::parse_event_t::key: {
        Frame& frame = m_Frames.back();
        frame.m_Key = parsed.get<std::string>();
        if (!frame.m_Keys.insert(*frame.m_Key).second && !m_Duplicate) m_Duplicate = Path();
        break;
      }
      case json::parse_event_t::value:
        ValueDone();
        break;
    }
    return true;
  }
};

// "line L, column C" of a byte offset, both from 1, columns in characters
// (UTF-8 continuation bytes do not count); a leading byte order mark, which
// editors do not show, takes no column.
std::string PlaceOf(const std::string& szText, size_t nOffset) {
  size_t nLine = 1, nColumn = 1;
  const size_t nBom = szText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (size_t i = nBom; i < nOffset && i < szText.size(); ++i) {
    if (szText[i] == '\n') {
      ++nLine;
      nColumn = 1;
    } else if ((static_cast<unsigned char>(szText[i]) & 0xC0) != 0x80) {
      ++nColumn;
    }
  }
  return "line " + std::to_string(nLine) + ", column " + std::to_string(nColumn);
}

// A parse error in words: where, then what. The library counts the bytes it
// has read, so the place is the last character it read: the offending
// character, or the end of the token it could not use.
std::string SyntaxFaultText(const std::string& szText, const json::parse_error& e) {
  const size_t nOffset = e.byte > 0 ? e.byte - 1 : 0;
  const size_t nBom = szText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  if (szText.find_first_not_of(" \t\r\n", nBom) == std::string::npos) {
    return "line 1, column 1: the text is empty; a description is a JSON object: {...}";
  }
  // A trailing comma, the usual slip of a hand edit, in plain words.
  const size_t nBefore = szText.find_last_not_of(" \t\r\n", nOffset > 0 ? nOffset - 1 : 0);
  if (nOffset < szText.size() && (szText[nOffset] == '}' || szText[nOffset] == ']') &&
      nBefore != std::string::npos && nBefore < nOffset && szText[nBefore] == ',') {
    return PlaceOf(szText, nOffset) + ": a ',' before '" + szText[nOffset] +
           "': JSON allows none there";
  }
  // The library's words without its own prefix
  // ("[json.exception.parse_error.101] parse error at line 1, column 5: ").
  std::string szWhat = e.what();
  const size_t nPrefix = szWhat.find("parse error");
  const size_t nColon = nPrefix == std::string::npos ? nPrefix : szWhat.find(": ", nPrefix);
  if (nColon != std::string::npos) szWhat.erase(0, nColon + 2);
  // Nor its echo of the bytes it read, which the place already shows and
  // which may be bytes that are not UTF-8.
  const size_t nEcho = szWhat.find("; last read: ");
  if (nEcho != std::string::npos) {
    const size_t nExpected = szWhat.rfind("; expected");
    szWhat.erase(nEcho, nExpected > nEcho && nExpected != std::string::npos
                            ? nExpected - nEcho
                            : std::string::npos);
  }
  if (szWhat.find("invalid literal") != std::string::npos &&
      szWhat.find("; expected") == std::string::npos) {
    szWhat += " (true, false and null are written in lower case, text goes in double quotes)";
  }
  return PlaceOf(szText, nOffset) + ": " + szWhat;
}

// The JSON text as a value; a syntax error says where in words.
json Parse(const std::string& szJson) {
  PathTracker tracker;
  json j;
  try {
    j = json::parse(szJson, [&tracker](int, json::parse_event_t event, json& parsed) {
      return tracker.Event(event, parsed);
    });
  } catch (const json::out_of_range&) {  // a number too large for a double
    throw Bad{tracker.Path(), "a number too large to read, far beyond any range a description "
                              "allows"};
  } catch (const json::parse_error& e) {
    throw Bad{"$", SyntaxFaultText(szJson, e)};
  }
  if (tracker.m_Duplicate) {
    throw Bad{*tracker.m_Duplicate, "this key is given twice in its object"};
  }
  return j;
}

// Where a partition ends: its start plus its size, kept within 64 bits.
std::int64_t End(const SimPartition& part) {
  return part.m_Size > std::numeric_limits<std::int64_t>::max() - part.m_Start
             ? std::numeric_limits<std::int64_t>::max()
             : part.m_Start + part.m_Size;
}

std::string PartitionPath(size_t nDisk, size_t nPartition) {
  return Index(Index("disks", nDisk) + ".partitions", nPartition);
}

// Partitions of one disk never share a byte: an error at the later of two
// that do. One that ends past its disk's stated size is a warning only: WMI
// gives a disk's size from its geometry, often a little less than the disk,
// so real captures show it. `sized`: the disks whose size the description
// gives.
void CheckPartitionPlaces(SimMachine& machine, const std::vector<bool>& sized) {
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    const SimDisk& disk = machine.m_Disks[d];
    std::vector<size_t> order;
    for (size_t p = 0; p < disk.m_Partitions.size(); ++p) {
      if (disk.m_Partitions[p].m_Size > 0) order.push_back(p);
    }
    std::stable_sort(order.begin(), order.end(), [&disk](size_t a, size_t b) {
      return disk.m_Partitions[a].m_Start < disk.m_Partitions[b].m_Start;
    });
    std::optional<size_t> reach;  // of those before, the one that ends last
    for (const size_t p : order) {
      const SimPartition& part = disk.m_Partitions[p];
      if (reach && part.m_Start < End(disk.m_Partitions[*reach])) {
        const size_t nLater = std::max(p, *reach), nEarlier = std::min(p, *reach);
        const SimPartition& later = disk.m_Partitions[nLater];
        const SimPartition& earlier = disk.m_Partitions[nEarlier];
        throw Bad{PartitionPath(d, nLater),
                  "bytes " + std::to_string(later.m_Start) + " to " + std::to_string(End(later)) +
                      " overlap partition " + std::to_string(earlier.m_Number) + " (" +
                      PartitionPath(d, nEarlier) + ", bytes " + std::to_string(earlier.m_Start) +
                      " to " + std::to_string(End(earlier)) + ")"};
      }
      if (!reach || End(part) > End(disk.m_Partitions[*reach])) reach = p;
    }
    for (size_t p = 0; p < disk.m_Partitions.size() && sized[d]; ++p) {
      const SimPartition& part = disk.m_Partitions[p];
      if (End(part) <= disk.m_Size) continue;
      machine.m_LoadWarnings.push_back(
          {PartitionPath(d, p), "ends at byte " + std::to_string(End(part)) +
                                    ", past the disk's size " + std::to_string(disk.m_Size) +
                                    " (WMI's size comes from the disk's geometry, so a real "
                                    "disk often shows this)"});
    }
  }
}

}  // namespace

bool LoadMachine(const std::string& szJson, SimMachine& machine, LoadError& error) {
  try {
    if (szJson.size() > kMaxDescriptionBytes) {
      throw Bad{"$", "the description is larger than the " +
                         std::to_string(kMaxDescriptionBytes >> 20) +
                         " MiB a description may hold"};
    }
    const json j = Parse(szJson);
    machine = SimMachine{};
    Read(j, machine);
    std::vector<bool> sized;
    for (const SimDisk& disk : machine.m_Disks) sized.push_back(disk.m_Size >= 0);
    PrepareMachine(machine);
    CheckPartitionPlaces(machine, sized);
  } catch (const Bad& bad) {
    error = {bad.m_Path.empty() ? "$" : bad.m_Path, bad.m_What};
    return false;
  }
  return true;
}

bool LoadMachineText(const std::string& szSource, const std::string& szJson,
                     SimMachine& machine, std::string& szErrorLine) {
  LoadError error;
  if (!LoadMachine(szJson, machine, error)) {
    szErrorLine = szSource + ": " + error.m_Path + ": " + error.m_What;
    return false;
  }
  return true;
}

std::string LoadWarningLines(const std::string& szSource, const SimMachine& machine) {
  std::string szLines;
  for (const SimLoadWarning& warning : machine.m_LoadWarnings) {
    szLines += szSource + ": " + warning.m_Path + ": warning: " + warning.m_What + "\n";
  }
  return szLines;
}

}  // namespace sim
