// The disks and partitions WMI lists, every one of them (not only the fixed
// disks malvik's inventory asks for), with the raw values the inventory
// reads, and the drive letters WMI ties to the partitions.
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "capture/capture.h"
#include "inventory/wmi_inventory.h"
#include "platform/ascii.h"
#include "platform/platform.h"
#include "platform/wmi_names.h"
#include "platform/wmi_ref.h"
#include "platform/words.h"

namespace wmi = platform::wmi;
using description::Key;

namespace {

constexpr std::int32_t kNextTimeoutMs = 10000;

// A property as WMI gives it: null (or missing), or its text.
struct Property {
  bool m_Null = true;
  bool m_Missing = false;  // the object has no such property at all
  std::wstring m_Text;
};

Property Read(platform::WmiObject* pObject, const wchar_t* szName) {
  const platform::WmiValue value = platform::WmiGet(pObject, szName);
  Property property;
  property.m_Missing = value.m_VarType == platform::kVT_EMPTY;
  property.m_Null = value.m_VarType == platform::kVT_EMPTY ||
                    value.m_VarType == platform::kVT_NULL || !value.m_HasText;
  property.m_Text = value.m_Text;
  return property;
}

// Runs one query and hands each object to onObject.
template <class F>
bool ForEach(platform::WmiServices* pServices, const wchar_t* szQuery, F onObject) {
  platform::WmiRef<platform::WmiEnumerator> enumerator;
  if (platform::WmiExecQuery(pServices, L"WQL", szQuery, enumerator.Put()) < 0) return false;
  for (;;) {
    platform::WmiRef<platform::WmiObject> object;
    std::uint32_t nReturned = 0;
    const platform::HResult hr =
        platform::WmiNext(enumerator.Get(), kNextTimeoutMs, object.Put(), &nReturned);
    if (hr < 0 || hr == platform::kWBEM_S_TIMEDOUT || nReturned == 0 || object.Get() == nullptr) {
      break;
    }
    onObject(object.Get());
  }
  return true;
}

std::wstring DiskName(int nIndex) { return L"Disk " + std::to_wstring(nIndex); }

// What a disk's DeviceID starts with, before its number.
constexpr wchar_t kPhysicalDrive[] = L"\\\\.\\PHYSICALDRIVE";

// The disk number of a Win32_DiskDrive object: its Index, or, where WMI
// gives none, the n of its DeviceID \\.\PHYSICALDRIVEn; nullopt when neither
// gives one.
std::optional<int> DiskNumber(platform::WmiObject* pDisk) {
  const Property index = Read(pDisk, wmi::kIndex);
  if (!index.m_Null) return DecimalToInt32(index.m_Text);
  const Property deviceId = Read(pDisk, wmi::kDeviceID);
  const std::wstring szPrefix = kPhysicalDrive;
  const std::wstring szDigits =
      deviceId.m_Text.size() > szPrefix.size() ? deviceId.m_Text.substr(szPrefix.size()) : L"";
  if (deviceId.m_Null || !platform::IsDecimalDigits(szDigits) || szDigits.size() > 9 ||
      platform::UpperAscii(deviceId.m_Text.substr(0, szPrefix.size())) != szPrefix) {
    return std::nullopt;
  }
  return DecimalToInt32(szDigits);
}

// A Win32_DiskDrive object as a description's disk, partitions aside.
CapturedDisk ReadDisk(platform::WmiObject* pDisk, int nPosition, std::vector<std::wstring>& notes) {
  CapturedDisk disk;
  disk.m_Json = JsonValue::object();
  JsonValue nulls = JsonValue::array();
  std::vector<std::wstring> missing;
  const std::optional<int> number = DiskNumber(pDisk);
  disk.m_NumberKnown = number.has_value();
  // Settled by NumberUnknownDisks when WMI gives none.
  disk.m_Index = number.value_or(nPosition);
  Add(disk.m_Json, Key::kDiskIndex, JsonValue(disk.m_Index));
  const struct {
    const wchar_t* m_Name;
    Key m_Key;
    bool m_Number;
  } kFields[] = {{wmi::kCaption, Key::kDiskCaption, false},
                 {wmi::kMediaType, Key::kDiskMediaType, false},
                 {wmi::kSize, Key::kDiskSize, true},
                 {wmi::kSignature, Key::kDiskSignature, true},
                 {wmi::kPartitions, Key::kDiskPartitionsReported, true}};
  for (const auto& field : kFields) {
    const Property property = Read(pDisk, field.m_Name);
    if (field.m_Name == std::wstring(wmi::kMediaType)) disk.m_MediaType = property.m_Text;
    if (property.m_Missing) missing.push_back(field.m_Name);
    if (property.m_Null) {
      if (field.m_Name == std::wstring(wmi::kSignature)) {
        Add(disk.m_Json, Key::kDiskSignature, JsonValue());
      } else if (field.m_Name == std::wstring(wmi::kMediaType)) {
        Add(disk.m_Json, Key::kDiskMediaType, JsonString(L""));
        notes.push_back(DiskName(disk.m_Index) +
                        L": WMI gives no MediaType; captured as empty text");
      } else {
        Push(nulls, JsonString(field.m_Name));
      }
      continue;
    }
    if (!field.m_Number) {
      const std::wstring szNote = AlteredTextNote(
          L"The " + std::wstring(field.m_Name) + L" of " + DiskName(disk.m_Index), property.m_Text);
      if (!szNote.empty()) notes.push_back(szNote);
    }
    Add(disk.m_Json, field.m_Key,
        field.m_Number ? JsonValue(std::max<std::int64_t>(0, DecimalToInt64(property.m_Text)))
                       : JsonString(property.m_Text));
  }
  for (const wchar_t* szName : {wmi::kIndex, wmi::kDeviceID}) {
    const Property property = Read(pDisk, szName);
    if (property.m_Null) Push(nulls, JsonString(szName));
    if (property.m_Missing) missing.push_back(szName);
  }
  const Property deviceId = Read(pDisk, wmi::kDeviceID);
  disk.m_DeviceId = L"its DeviceID is " + (deviceId.m_Null ? std::wstring(L"null")
                                                           : L"\"" + deviceId.m_Text + L"\"");
  Add(disk.m_Json, Key::kDiskNullProperties, std::move(nulls));
  disk.m_Missing = std::move(missing);
  return disk;
}

// A disk WMI gives no number for takes its position in WMI's list, moved
// past the numbers WMI gives the other disks, so that it never stands for
// one of them; a note names it, and its partition table is not read.
void NumberUnknownDisks(std::vector<CapturedDisk>& disks, std::vector<std::wstring>& notes) {
  std::set<int> taken;
  for (const CapturedDisk& disk : disks) {
    if (disk.m_NumberKnown) taken.insert(disk.m_Index);
  }
  for (size_t nPosition = 0; nPosition < disks.size(); ++nPosition) {
    CapturedDisk& disk = disks[nPosition];
    if (disk.m_NumberKnown) continue;
    int n = static_cast<int>(nPosition);
    while (taken.count(n)) ++n;
    taken.insert(n);
    disk.m_Index = n;
    Add(disk.m_Json, Key::kDiskIndex, n);  // in its place, first
    notes.push_back(L"The disk WMI lists at position " + std::to_wstring(nPosition) +
                    L" (counted from 0) gives no Index and no DeviceID of the form " +
                    kPhysicalDrive + L"n (" + disk.m_DeviceId +
                    L"), so its disk number is not known: it is described as disk " +
                    std::to_wstring(n) +
                    L", a guess, and its partition table is not read, as that number may be "
                    L"another disk's");
  }
}

// One note per set of properties WMI leaves out, naming every disk it
// leaves them out for.
void NoteMissingProperties(const std::vector<CapturedDisk>& disks,
                           std::vector<std::wstring>& notes) {
  std::vector<std::pair<std::vector<std::wstring>, std::vector<std::wstring>>> groups;
  for (const CapturedDisk& disk : disks) {
    if (disk.m_Missing.empty()) continue;
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == disk.m_Missing; });
    if (group == groups.end()) group = groups.insert(groups.end(), {disk.m_Missing, {}});
    group->second.push_back(std::to_wstring(disk.m_Index));
  }
  for (const auto& [missing, indexes] : groups) {
    notes.push_back(L"WMI does not provide " + platform::JoinedWithAnd(missing) + L" for " +
                    (indexes.size() == 1 ? L"disk " : L"disks ") +
                    platform::JoinedWithAnd(indexes) +
                    L"; the description gives them as null, which malvik treats the same as "
                    L"a missing property");
  }
}

// The partitions of the listed disks, from Win32_DiskPartition.
void ReadPartition(platform::WmiObject* pPartition, std::vector<CapturedDisk>& disks,
                   std::vector<std::wstring>& notes) {
  const Property diskIndex = Read(pPartition, L"DiskIndex");
  const Property index = Read(pPartition, wmi::kIndex);
  if (diskIndex.m_Null || index.m_Null) {
    notes.push_back(L"A WMI partition without DiskIndex or Index (" +
                    Read(pPartition, wmi::kDeviceID).m_Text + L") is left out");
    return;
  }
  const int nDisk = DecimalToInt32(diskIndex.m_Text);
  auto it = std::find_if(disks.begin(), disks.end(),
                         [&](const CapturedDisk& disk) { return disk.m_Index == nDisk; });
  if (it == disks.end()) {
    notes.push_back(L"Partition #" + index.m_Text + L" of " + DiskName(nDisk) +
                    L" is on no disk WMI lists; left out");
    return;
  }
  CapturedPartition partition;
  partition.m_WmiIndex = DecimalToInt32(index.m_Text);
  partition.m_Type = Read(pPartition, wmi::kType).m_Text;
  const Property start = Read(pPartition, L"StartingOffset");
  partition.m_Start = std::max<std::int64_t>(0, DecimalToInt64(start.m_Text));
  partition.m_Size = std::max<std::int64_t>(0, DecimalToInt64(Read(pPartition, wmi::kSize).m_Text));
  it->m_Partitions.push_back(partition);
}

// A letter WMI ties to a partition.
void ReadAssociation(platform::WmiObject* pAssociation, std::vector<CapturedDisk>& disks,
                     std::vector<std::wstring>& notes) {
  const Property antecedent = Read(pAssociation, wmi::kAntecedent);
  const Property dependent = Read(pAssociation, wmi::kDependent);
  if (antecedent.m_Null || dependent.m_Null) return;
  std::int32_t nDisk = 0;
  std::int32_t nIndex = 0;
  ParseAntecedent(antecedent.m_Text, nDisk, nIndex);
  std::wstring szLetter = ParseDependent(dependent.m_Text);
  if (szLetter.size() == 2) szLetter[0] = platform::UpperAscii(szLetter[0]);
  for (CapturedDisk& disk : disks) {
    if (disk.m_Index != nDisk) continue;
    for (CapturedPartition& partition : disk.m_Partitions) {
      if (partition.m_WmiIndex != nIndex) continue;
      if (partition.m_Letter.empty()) {
        partition.m_Letter = szLetter;
      } else {
        notes.push_back(szLetter + L" is a second letter of " + partition.m_Letter +
                        L"'s partition; a description gives a partition one letter");
      }
      return;
    }
  }
}

// What matters most, so first among the notes: malvik's inventory finds
// none of the disks WMI lists, so its run assigns no letter by them.
void NoteNoFixedDisk(const std::vector<CapturedDisk>& disks, bool bFixedAsked,
                     std::vector<std::wstring>& notes) {
  if (!bFixedAsked) {
    notes.insert(notes.begin(), L"WMI did not answer malvik's disk query (" +
                                    std::wstring(kFixedDiskQuery) +
                                    L"); malvik will find none of these disks");
    return;
  }
  if (std::any_of(disks.begin(), disks.end(), [](const CapturedDisk& d) { return d.m_Fixed; })) {
    return;
  }
  std::vector<std::wstring> mediaTypes;
  for (const CapturedDisk& disk : disks) {
    const std::wstring szType = L"\"" + disk.m_MediaType + L"\"";
    if (std::find(mediaTypes.begin(), mediaTypes.end(), szType) == mediaTypes.end()) {
      mediaTypes.push_back(szType);
    }
  }
  notes.insert(notes.begin(), L"malvik will find none of these disks: its disk query (" +
                                  std::wstring(kFixedDiskQuery) + L") answers none here" +
                                  (mediaTypes.empty() ? L", as WMI lists no disk"
                                                      : L"; their MediaType is " +
                                                            platform::JoinedWithAnd(mediaTypes)));
}

// The partitions of a disk's table that WMI lists are matched to it by
// their starting offset, and take their numbers from it; the others are
// added as WMI does not list them. Partitions WMI lists that the table
// lacks keep no number, and a note says so.
void MatchTable(CapturedDisk& disk, const platform::PartitionLayout& table,
                std::vector<std::wstring>& notes) {
  std::vector<bool> matched(table.m_Partitions.size(), false);
  for (CapturedPartition& partition : disk.m_Partitions) {
    for (size_t i = 0; i < table.m_Partitions.size(); ++i) {
      if (matched[i] || table.m_Partitions[i].m_Start != partition.m_Start) continue;
      matched[i] = true;
      partition.m_Number = static_cast<int>(table.m_Partitions[i].m_Number);
      break;
    }
    if (partition.m_Number == 0) {
      notes.push_back(L"Partition #" + std::to_wstring(partition.m_WmiIndex) + L" of " +
                      DiskName(disk.m_Index) + L" starts at byte " +
                      std::to_wstring(partition.m_Start) +
                      L", where the disk's partition table has none; numbered by its WMI "
                      L"position");
    }
  }
  for (size_t i = 0; i < table.m_Partitions.size(); ++i) {
    if (matched[i]) continue;
    CapturedPartition hidden;
    hidden.m_Wmi = false;
    // What WMI calls a partition type it does not know.
    hidden.m_Type = table.m_Gpt ? L"GPT: Unknown" : L"Unknown";
    hidden.m_Start = table.m_Partitions[i].m_Start;
    hidden.m_Size = table.m_Partitions[i].m_Length;
    hidden.m_Number = static_cast<int>(table.m_Partitions[i].m_Number);
    disk.m_Partitions.push_back(hidden);
  }
  disk.m_TableRead = true;
}

// Each disk's partition table; one note names the disks whose table could
// not be read (every disk under Wine), and what that leaves unknown.
void ReadPartitionTables(std::vector<CapturedDisk>& disks, std::vector<std::wstring>& notes) {
  std::vector<std::wstring> unread;
  for (CapturedDisk& disk : disks) {
    if (!disk.m_NumberKnown) continue;  // its note says so
    const platform::PartitionLayout table =
        platform::ReadPartitionLayout(static_cast<std::uint32_t>(disk.m_Index));
    disk.m_TableError = table.m_LastError;
    if (table.m_Ok) {
      MatchTable(disk, table, notes);
    } else {
      unread.push_back(std::to_wstring(disk.m_Index) + L" (" + ErrorWords(table.m_LastError) +
                       L")");
    }
  }
  if (unread.empty()) return;
  notes.push_back(
      L"The partition table of " + std::wstring(unread.size() == 1 ? L"disk " : L"disks ") +
      platform::JoinedWithAnd(unread) +
      L" could not be read: partitions WMI does not list (an MSR partition) are left out, and "
      L"a partition without a drive letter is numbered by its WMI position, its volume being "
      L"the listed one with that disk and partition number");
}

}  // namespace

bool CaptureDisks(std::vector<CapturedDisk>& disks, std::vector<std::wstring>& notes) {
  const platform::HResult hrInit = platform::ComInitialize();
  const bool bBalance = hrInit >= 0;
  bool bOk = false;
  bool bFixedAsked = false;
  {
    platform::ComInitializeSecurity();  // already set by someone else is fine
    platform::WmiRef<platform::WmiLocator> locator;
    platform::WmiRef<platform::WmiServices> services;
    if (platform::WmiCreateLocator(locator.Put()) >= 0 &&
        platform::WmiConnectServer(locator.Get(), L"\\\\.\\root\\CIMV2", services.Put()) >= 0 &&
        platform::WmiSetProxyBlanket(services.Get()) >= 0) {
      int nPosition = 0;
      bOk = ForEach(services.Get(), L"select * from Win32_DiskDrive", [&](platform::WmiObject* p) {
        disks.push_back(ReadDisk(p, nPosition++, notes));
      });
      NumberUnknownDisks(disks, notes);
      bOk = bOk && ForEach(services.Get(), L"select * from Win32_DiskPartition",
                           [&](platform::WmiObject* p) { ReadPartition(p, disks, notes); });
      bOk = bOk && ForEach(services.Get(), L"select * from Win32_LogicalDiskToPartition",
                           [&](platform::WmiObject* p) { ReadAssociation(p, disks, notes); });
      // The disks malvik's inventory finds, asked as it asks.
      bFixedAsked = bOk && ForEach(services.Get(), kFixedDiskQuery, [&](platform::WmiObject* p) {
        const std::optional<int> number = DiskNumber(p);
        for (CapturedDisk& disk : disks) {
          if (number && disk.m_NumberKnown && disk.m_Index == *number) disk.m_Fixed = true;
        }
      });
    }
  }
  if (bBalance) platform::ComUninitialize();
  if (!bOk) notes.push_back(L"WMI could not be asked for the disks; none are described");
  if (bOk) NoteNoFixedDisk(disks, bFixedAsked, notes);
  NoteMissingProperties(disks, notes);
  for (CapturedDisk& disk : disks) {
    std::sort(disk.m_Partitions.begin(), disk.m_Partitions.end(),
              [](const CapturedPartition& a, const CapturedPartition& b) {
                return a.m_WmiIndex < b.m_WmiIndex;
              });
  }
  if (bOk) ReadPartitionTables(disks, notes);
  // The partitions WMI does not list take their place in on-disk order,
  // which is WMI's order among the partitions it lists.
  for (CapturedDisk& disk : disks) {
    if (!disk.m_TableRead) continue;
    std::stable_sort(disk.m_Partitions.begin(), disk.m_Partitions.end(),
                     [](const CapturedPartition& a, const CapturedPartition& b) {
                       return a.m_Start < b.m_Start;
                     });
  }
  return bOk;
}
