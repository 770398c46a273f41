// COM and WMI on the simulated machine. It answers exactly the four query
// shapes the inventory sends and the two full listings malvik-capture reads,
// derives the WMI objects from the described disks and the letters defined
// at the time of the query, and applies the injected faults by attempt (one
// attempt per CoInitializeEx) and call.
#include <map>
#include <memory>

#include "platform/platform.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"
#include "platform/wmi_names.h"

namespace platform {

struct WmiLocator {};
struct WmiServices {};
struct WmiObject {
  std::vector<std::pair<std::wstring, WmiValue>> m_Properties;
};
struct WmiEnumerator {
  std::vector<WmiObject> m_Objects;
  size_t m_Next = 0;
};

namespace {

constexpr HResult kCO_E_NOTINITIALIZED = static_cast<HResult>(0x800401F0u);
constexpr HResult kRPC_E_CHANGED_MODE = static_cast<HResult>(0x80010106u);
constexpr HResult kREGDB_E_CLASSNOTREG = static_cast<HResult>(0x80040154u);
constexpr HResult kWBEM_E_FAILED = static_cast<HResult>(0x80041001u);
constexpr HResult kWBEM_E_INVALID_NAMESPACE = static_cast<HResult>(0x8004100Eu);
constexpr HResult kE_ACCESSDENIED = static_cast<HResult>(0x80070005u);
constexpr HResult kWBEM_E_INVALID_PARAMETER = static_cast<HResult>(0x80041008u);
const wchar_t kHost[] = L"\\\\SIMULATED\\root\\cimv2:";

bool Faulted(const sim::SimMachine& machine, const std::string& szCall) {
  for (const sim::SimWmiFault& fault : machine.m_Faults.m_Wmi) {
    if ((fault.m_Attempt < 0 || fault.m_Attempt == machine.m_WmiAttempt) &&
        fault.m_Call == szCall) {
      return true;
    }
  }
  return false;
}

// COM can be used on the thread: initialised by the program, or, where the
// attempt's CoInitializeEx is made to fail, by someone else in another
// apartment before it.
bool ComReady(const sim::SimMachine& machine) {
  return machine.m_ComInitCount > 0 || Faulted(machine, "CoInitializeEx");
}

template <class T>
T* Hand(sim::SimMachine& machine, T value) {
  ++machine.m_WmiLiveObjects;
  return new T(std::move(value));
}

template <class T>
void Take(T* p) {
  if (p == nullptr) return;
  --sim::CurrentMachine().m_WmiLiveObjects;
  delete p;
}

WmiValue Text(std::wstring sz) { return {kVT_BSTR, true, std::move(sz)}; }
WmiValue Number(std::int64_t n) {
  constexpr std::uint16_t kVT_I4 = 3;
  return {kVT_I4, true, std::to_wstring(n)};
}
WmiValue Null() { return {kVT_NULL, false, L""}; }

// WQL LIKE: '%' matches any run of characters, '_' any one character, and
// letters compare without regard to case.
bool Like(const std::wstring& szText, const std::wstring& szPattern) {
  const std::wstring text = sim::UpperAscii(szText);
  const std::wstring pattern = sim::UpperAscii(szPattern);
  std::vector<bool> row(text.size() + 1, false);  // row[i]: pattern so far matches text[0, i)
  row[0] = true;
  for (wchar_t p : pattern) {
    std::vector<bool> next(text.size() + 1, false);
    for (size_t i = 0; i <= text.size(); ++i) {
      if (p == L'%') {
        next[i] = row[i] || (i > 0 && next[i - 1]);
      } else if (i > 0) {
        next[i] = row[i - 1] && (p == L'_' || p == text[i - 1]);
      }
    }
    row = std::move(next);
  }
  return row[text.size()];
}

// Text of `szQuery` between `szHead` and `szTail`, compared without regard to
// case; false when the query has another shape or the value holds a quote.
bool Shape(const std::wstring& szQuery, const std::wstring& szHead, const std::wstring& szTail,
           std::wstring& szValue) {
  if (szQuery.size() < szHead.size() + szTail.size()) return false;
  const std::wstring upper = sim::UpperAscii(szQuery);
  if (upper.compare(0, szHead.size(), sim::UpperAscii(szHead)) != 0 ||
      upper.compare(upper.size() - szTail.size(), szTail.size(), sim::UpperAscii(szTail)) != 0) {
    return false;
  }
  szValue = szQuery.substr(szHead.size(), szQuery.size() - szHead.size() - szTail.size());
  return szValue.find(L'"') == std::wstring::npos;
}

bool HasNull(const std::vector<std::wstring>& nulls, const std::wstring& szName) {
  for (const std::wstring& sz : nulls) {
    if (sim::UpperAscii(sz) == sim::UpperAscii(szName)) return true;
  }
  return false;
}

WmiObject DiskObject(const sim::SimDisk& disk) {
  auto value = [&](const wchar_t* szName, WmiValue v) {
    return std::make_pair(std::wstring(szName),
                          HasNull(disk.m_NullProperties, szName) ? Null() : std::move(v));
  };
  WmiObject obj;
  obj.m_Properties = {
      value(wmi::kIndex, Number(disk.m_Index)),
      value(wmi::kCaption, Text(disk.m_Caption.value_or(L""))),
      value(wmi::kSize, Text(std::to_wstring(disk.m_Size))),  // uint64 comes as a string
      value(wmi::kDeviceID, Text(L"\\\\.\\PHYSICALDRIVE" + std::to_wstring(disk.m_Index))),
      value(wmi::kSignature, disk.m_Signature ? Number(*disk.m_Signature) : Null()),
      value(wmi::kPartitions, Number(disk.m_PartitionsReported.value_or(0))),
      value(wmi::kMediaType, Text(disk.m_MediaType)),
  };
  return obj;
}

std::vector<WmiObject> Associations(sim::SimMachine& machine) {
  // The letters that name each device now, in letter order.
  std::map<std::wstring, std::vector<std::wstring>> letters;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (!stack.empty()) letters[stack.front()].push_back(szLetter);
  }
  std::vector<WmiObject> objects;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    int k = 0;
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (!part.m_Wmi) continue;
      auto it = letters.find(sim::PartitionDevicePath(disk.m_Index, part.m_Number));
      for (const std::wstring& szLetter :
           it == letters.end() ? std::vector<std::wstring>() : it->second) {
        WmiObject obj;
        obj.m_Properties = {
            {wmi::kAntecedent, Text(kHost + std::wstring(L"Win32_DiskPartition.DeviceID=\"Disk #") +
                                 std::to_wstring(disk.m_Index) + L", Partition #" +
                                 std::to_wstring(k) + L"\"")},
            {wmi::kDependent,
             Text(kHost + std::wstring(L"Win32_LogicalDisk.DeviceID=\"") + szLetter + L"\"")},
            {wmi::kStartingAddress, Text(std::to_wstring(part.m_Start))},
            {wmi::kEndingAddress, Text(std::to_wstring(part.m_Start + part.m_Size))},
        };
        for (auto& [szName, value] : obj.m_Properties) {
          if (HasNull(part.m_NullProperties, szName)) value = Null();
        }
        objects.push_back(std::move(obj));
      }
      ++k;
    }
  }
  return objects;
}

std::vector<WmiObject> DiskPartition(const sim::SimMachine& machine, const std::wstring& szId) {
  const std::wstring szWanted = sim::UpperAscii(szId);
  for (const sim::SimDisk& disk : machine.m_Disks) {
    const std::wstring szDisk = L"DISK #" + std::to_wstring(disk.m_Index) + L", PARTITION #";
    if (szWanted.compare(0, szDisk.size(), szDisk) != 0) continue;
    int k = 0;
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (!part.m_Wmi) continue;
      if (szWanted == szDisk + std::to_wstring(k++)) {
        WmiObject obj;
        obj.m_Properties = {{wmi::kDeviceID, Text(szId)}, {wmi::kType, Text(part.m_Type)}};
        return {obj};
      }
    }
  }
  return {};
}

// Every partition WMI lists, disk by disk, as a full Win32_DiskPartition query
// answers.
std::vector<WmiObject> AllPartitions(const sim::SimMachine& machine) {
  std::vector<WmiObject> objects;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    int k = 0;
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (!part.m_Wmi) continue;
      WmiObject obj;
      obj.m_Properties = {
          {wmi::kDeviceID, Text(L"Disk #" + std::to_wstring(disk.m_Index) + L", Partition #" +
                             std::to_wstring(k))},
          {L"DiskIndex", Number(disk.m_Index)},
          {wmi::kIndex, Number(k)},
          {wmi::kType, Text(part.m_Type)},
          {L"StartingOffset", Text(std::to_wstring(part.m_Start))},
          {wmi::kSize, Text(std::to_wstring(part.m_Size))},
      };
      objects.push_back(std::move(obj));
      ++k;
    }
  }
  return objects;
}

std::vector<WmiObject> LogicalDisk(sim::SimMachine& machine, const std::wstring& szLetter) {
  const std::wstring szKey = sim::UpperAscii(szLetter);
  auto it = machine.m_DosDevices.find(szKey);
  if (szKey.size() != 2 || it == machine.m_DosDevices.end() || it->second.empty()) return {};
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szKey);
  const bool bNullLabel =
      !volume.Readable() || (volume.m_Partition && !volume.m_Partition->m_Label.has_value());
  WmiObject obj;
  obj.m_Properties = {{wmi::kDeviceID, Text(szKey)},
                      {wmi::kVolumeName, bNullLabel ? Null() : Text(volume.Label())}};
  return {obj};
}

}  // namespace

void ComUninitialize() {
  sim::SimMachine& machine = sim::CurrentMachine();
  if (machine.m_ComInitCount == 0) return;
  machine.m_WmiLeakedAtUninit += machine.m_WmiLiveObjects;
  --machine.m_ComInitCount;
}

HResult ComInitialize() {
  sim::SimMachine& machine = sim::CurrentMachine();
  ++machine.m_WmiAttempt;
  machine.m_WmiQueries = 0;
  machine.m_WmiNexts = 0;
  // The thread is already in another apartment: this call adds nothing to
  // balance.
  if (Faulted(machine, "CoInitializeEx")) return kRPC_E_CHANGED_MODE;
  return ++machine.m_ComInitCount == 1 ? kS_OK : kS_FALSE;
}

HResult ComInitializeSecurity() {
  sim::SimMachine& machine = sim::CurrentMachine();
  if (Faulted(machine, "CoInitializeSecurity")) return kE_ACCESSDENIED;
  if (Faulted(machine, "CoInitializeSecurity:too_late") || machine.m_ComSecuritySet) {
    return kRPC_E_TOO_LATE;
  }
  if (!ComReady(machine)) return kCO_E_NOTINITIALIZED;
  machine.m_ComSecuritySet = true;
  return kS_OK;
}

HResult WmiCreateLocator(WmiLocator** ppLocator) {
  sim::SimMachine& machine = sim::CurrentMachine();
  *ppLocator = nullptr;
  if (!ComReady(machine)) return kCO_E_NOTINITIALIZED;
  if (Faulted(machine, "CoCreateInstance")) return kREGDB_E_CLASSNOTREG;
  *ppLocator = Hand(machine, WmiLocator{});
  return kS_OK;
}

HResult WmiConnectServer(WmiLocator* pLocator, const std::wstring& szNamespace,
                         WmiServices** ppServices) {
  sim::SimMachine& machine = sim::CurrentMachine();
  *ppServices = nullptr;
  if (pLocator == nullptr) return kWBEM_E_INVALID_PARAMETER;
  if (Faulted(machine, "ConnectServer") ||
      sim::UpperAscii(szNamespace) != L"\\\\.\\ROOT\\CIMV2") {
    return kWBEM_E_INVALID_NAMESPACE;
  }
  *ppServices = Hand(machine, WmiServices{});
  return kS_OK;
}

HResult WmiSetProxyBlanket(WmiServices* pServices) {
  sim::SimMachine& machine = sim::CurrentMachine();
  if (pServices == nullptr) return kWBEM_E_INVALID_PARAMETER;
  return Faulted(machine, "CoSetProxyBlanket") ? kE_ACCESSDENIED : kS_OK;
}

HResult WmiExecQuery(WmiServices* pServices, const std::wstring& szLanguage,
                     const std::wstring& szQuery, WmiEnumerator** ppEnum) {
  sim::SimMachine& machine = sim::CurrentMachine();
  *ppEnum = nullptr;
  sim::Spend(machine, machine.m_Costs.m_WmiQuery);
  ++machine.m_WmiQueries;
  if (pServices == nullptr) return kWBEM_E_INVALID_PARAMETER;
  if (Faulted(machine, "ExecQuery:" + std::to_string(machine.m_WmiQueries))) return kWBEM_E_FAILED;
  if (sim::UpperAscii(szLanguage) != L"WQL") return kWBEM_E_INVALID_QUERY;

  WmiEnumerator result;
  std::wstring szValue;
  if (Shape(szQuery, L"select * from Win32_DiskDrive where (MediaType LIKE \"", L"\")",
            szValue)) {
    for (const sim::SimDisk& disk : machine.m_Disks) {
      if (Like(disk.m_MediaType, szValue)) result.m_Objects.push_back(DiskObject(disk));
    }
  } else if (sim::UpperAscii(szQuery) == L"SELECT * FROM WIN32_DISKDRIVE") {
    for (const sim::SimDisk& disk : machine.m_Disks) result.m_Objects.push_back(DiskObject(disk));
  } else if (sim::UpperAscii(szQuery) == L"SELECT * FROM WIN32_DISKPARTITION") {
    result.m_Objects = AllPartitions(machine);
  } else if (sim::UpperAscii(szQuery) == L"SELECT * FROM WIN32_LOGICALDISKTOPARTITION") {
    result.m_Objects = Associations(machine);
  } else if (Shape(szQuery, L"select * from Win32_DiskPartition where (DeviceID=\"", L"\")",
                   szValue)) {
    result.m_Objects = DiskPartition(machine, szValue);
  } else if (Shape(szQuery, L"select * from Win32_LogicalDisk where (DeviceID=\"", L"\")",
                   szValue)) {
    result.m_Objects = LogicalDisk(machine, szValue);
  } else {
    return kWBEM_E_INVALID_QUERY;
  }
  *ppEnum = Hand(machine, std::move(result));
  return kS_OK;
}

HResult WmiNext(WmiEnumerator* pEnum, std::int32_t nTimeoutMs, WmiObject** ppObject,
                std::uint32_t* pReturned) {
  sim::SimMachine& machine = sim::CurrentMachine();
  *ppObject = nullptr;
  *pReturned = 0;
  ++machine.m_WmiNexts;
  if (pEnum == nullptr) return kWBEM_E_INVALID_PARAMETER;
  if (Faulted(machine, "Next:" + std::to_string(machine.m_WmiNexts))) {
    sim::Spend(machine, static_cast<std::uint32_t>(nTimeoutMs));
    return kWBEM_S_TIMEDOUT;
  }
  sim::Spend(machine, machine.m_Costs.m_WmiNext);
  if (pEnum->m_Next >= pEnum->m_Objects.size()) return kWBEM_S_FALSE;
  *ppObject = Hand(machine, pEnum->m_Objects[pEnum->m_Next++]);
  *pReturned = 1;
  return kS_OK;
}

void WmiRelease(WmiLocator* p) { Take(p); }
void WmiRelease(WmiServices* p) { Take(p); }
void WmiRelease(WmiEnumerator* p) { Take(p); }
void WmiRelease(WmiObject* p) { Take(p); }

WmiValue WmiGet(WmiObject* pObject, const std::wstring& szName) {
  const WmiValue kEmpty{kVT_EMPTY, true, L""};  // VT_EMPTY converts to an empty string
  if (pObject == nullptr) return kEmpty;
  for (const auto& [szProperty, value] : pObject->m_Properties) {
    if (sim::UpperAscii(szProperty) == sim::UpperAscii(szName)) return value;
  }
  return kEmpty;
}

}  // namespace platform
