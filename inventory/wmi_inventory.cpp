#include "inventory/wmi_inventory.h"

#include <limits>

#include "platform/platform.h"
#include "platform/wmi_names.h"
#include "platform/wmi_ref.h"

namespace wmi = platform::wmi;

namespace {

using platform::HResult;
using platform::WmiRef;

constexpr double kGiBPerByte = 1.0 / 1073741824.0;
const wchar_t kWql[] = L"WQL";

// The next object of an enumeration, or false at its end. A Next that fails
// or times out without an object ends the enumeration like WBEM_S_FALSE.
bool NextObject(platform::WmiEnumerator* pEnum, WmiRef<platform::WmiObject>& object) {
  std::uint32_t nReturned = 0;
  const HResult hr = platform::WmiNext(pEnum, kNextTimeoutMs, object.Put(), &nReturned);
  return hr != platform::kWBEM_S_FALSE && nReturned != 0 && object.Get() != nullptr;
}

bool ReadText(platform::WmiObject* pObject, const wchar_t* szName, std::wstring& szText) {
  const platform::WmiValue value = platform::WmiGet(pObject, szName);
  if (!value.m_HasText) return false;
  szText = value.m_Text;
  return true;
}

template <class Int>
Int DecimalTo(const std::wstring& szText) {
  size_t i = 0;
  while (i < szText.size() && (szText[i] == L' ' || (szText[i] >= L'\t' && szText[i] <= L'\r'))) {
    ++i;
  }
  bool bNegative = false;
  if (i < szText.size() && (szText[i] == L'+' || szText[i] == L'-')) bNegative = szText[i++] == L'-';
  // Accumulate toward the sign's limit so that the smallest value fits too.
  Int nValue = 0;
  for (; i < szText.size() && szText[i] >= L'0' && szText[i] <= L'9'; ++i) {
    const Int nDigit = static_cast<Int>(szText[i] - L'0');
    if (bNegative) {
      if (nValue < (std::numeric_limits<Int>::min() + nDigit) / 10) {
        return std::numeric_limits<Int>::min();
      }
      nValue = static_cast<Int>(nValue * 10 - nDigit);
    } else {
      if (nValue > (std::numeric_limits<Int>::max() - nDigit) / 10) {
        return std::numeric_limits<Int>::max();
      }
      nValue = static_cast<Int>(nValue * 10 + nDigit);
    }
  }
  return nValue;
}

// What follows the first "=" of an object path, "=" included; the whole
// text when it has none.
std::wstring FromFirstEquals(const std::wstring& sz) {
  const size_t p = sz.find(L'=');
  return p == std::wstring::npos ? sz : sz.substr(p);
}

HResult Query(platform::WmiServices* pServices, const std::wstring& szQuery,
              WmiRef<platform::WmiEnumerator>& result) {
  return platform::WmiExecQuery(pServices, kWql, szQuery, result.Put());
}

// Disk record from one Win32_DiskDrive object. "Index" and "Caption" must be
// there; the rest are guarded: a value that cannot be read as text leaves its
// field as it was.
bool FillDisk(platform::WmiObject* pDisk, DiskInfo& disk) {
  std::wstring szText;
  if (!ReadText(pDisk, wmi::kIndex, szText)) return false;
  disk.m_Index = DecimalToInt32(szText);
  const platform::WmiValue caption = platform::WmiGet(pDisk, wmi::kCaption);
  disk.m_Caption = caption.m_VarType == platform::kVT_BSTR ? caption.m_Text : L"";
  if (ReadText(pDisk, wmi::kSize, szText)) {
    disk.m_SizeMB = static_cast<std::int32_t>(DecimalToInt64(szText) / platform::kBytesPerMiB);
  }
  if (ReadText(pDisk, wmi::kDeviceID, szText)) disk.m_DeviceID = szText;
  disk.m_NoSignature = platform::WmiGet(pDisk, wmi::kSignature).m_VarType == platform::kVT_NULL;
  if (ReadText(pDisk, wmi::kPartitions, szText)) disk.m_Partitions = DecimalToInt32(szText);
  return true;
}

// The first object's property of a per-association query, or empty.
std::wstring FirstProperty(platform::WmiEnumerator* pEnum, const wchar_t* szName) {
  WmiRef<platform::WmiObject> object;
  std::wstring szText;
  if (NextObject(pEnum, object)) ReadText(object.Get(), szName, szText);
  return szText;
}

// Partition record from one Win32_LogicalDiskToPartition association, with
// the partition's type and the volume's label from two further queries.
int FillPartition(platform::WmiServices* pServices, platform::WmiObject* pAssociation,
                  PartitionInfo& partition) {
  std::wstring szAntecedent, szDependent, szStart, szEnd;
  if (!ReadText(pAssociation, wmi::kAntecedent, szAntecedent) ||
      !ReadText(pAssociation, wmi::kDependent, szDependent) ||
      !ReadText(pAssociation, wmi::kStartingAddress, szStart) ||
      !ReadText(pAssociation, wmi::kEndingAddress, szEnd)) {
    return kInventoryPropertyFailed;
  }
  // Wrapping subtraction: nonsense addresses give a nonsense size, never
  // undefined behaviour.
  const auto nBytes = static_cast<std::int64_t>(static_cast<std::uint64_t>(DecimalToInt64(szEnd)) -
                                                static_cast<std::uint64_t>(DecimalToInt64(szStart)));
  partition.m_SizeMB = static_cast<std::int32_t>(nBytes / platform::kBytesPerMiB);
  partition.m_SizeGB = static_cast<float>(static_cast<double>(nBytes) * kGiBPerByte);
  ParseAntecedent(szAntecedent, partition.m_DiskIndex, partition.m_PartitionIndex);

  WmiRef<platform::WmiEnumerator> partitionEnum;
  if (Query(pServices,
            L"select * from Win32_DiskPartition where (DeviceID=\"Disk #" +
                std::to_wstring(partition.m_DiskIndex) + L", Partition #" +
                std::to_wstring(partition.m_PartitionIndex) + L"\")",
            partitionEnum) < 0) {
    return kInventoryQueryFailed;
  }
  partition.m_Type = FirstProperty(partitionEnum.Get(), wmi::kType);
  partitionEnum.Reset();

  partition.m_DriveLetter = ParseDependent(szDependent);
  WmiRef<platform::WmiEnumerator> volumeEnum;
  if (Query(pServices,
            L"select * from Win32_LogicalDisk where (DeviceID=\"" + partition.m_DriveLetter + L"\")",
            volumeEnum) < 0) {
    return kInventoryQueryFailed;
  }
  partition.m_VolumeName = FirstProperty(volumeEnum.Get(), wmi::kVolumeName);
  return kInventoryOk;
}

// One attempt up to the point where COM may be uninitialised; every handle
// it took is released when it returns.
int RunInventoryAttempt(DiskTable& disks, PartitionTable& partitions) {
  platform::ComUninitialize();
  platform::ComInitialize();  // an already initialised thread is fine
  const HResult hrSecurity = platform::ComInitializeSecurity();
  if (hrSecurity < 0 && hrSecurity != platform::kRPC_E_TOO_LATE) return kInventorySecurityFailed;

  WmiRef<platform::WmiLocator> locator;
  if (platform::WmiCreateLocator(locator.Put()) < 0) return kInventoryLocatorFailed;
  WmiRef<platform::WmiServices> services;
  if (platform::WmiConnectServer(locator.Get(), L"\\\\.\\root\\CIMV2", services.Put()) < 0) {
    return kInventoryConnectFailed;
  }
  if (platform::WmiSetProxyBlanket(services.Get()) < 0) return kInventoryBlanketFailed;

  WmiRef<platform::WmiEnumerator> diskEnum;
  if (Query(services.Get(), kFixedDiskQuery, diskEnum) < 0) {
    return kInventoryQueryFailed;
  }
  int k = -1;
  for (WmiRef<platform::WmiObject> disk; NextObject(diskEnum.Get(), disk);) {
    ++k;
    if (k < kMaxDisks && !FillDisk(disk.Get(), disks[k])) return kInventoryPropertyFailed;
  }
  if (k == -1) return kInventoryNoFixedDisk;

  WmiRef<platform::WmiEnumerator> associationEnum;
  if (Query(services.Get(), L"select * from Win32_LogicalDiskToPartition", associationEnum) < 0) {
    return kInventoryQueryFailed;
  }
  int i = -1;
  for (WmiRef<platform::WmiObject> association; NextObject(associationEnum.Get(), association);) {
    ++i;
    if (i >= kMaxPartitions) continue;
    const int nCode = FillPartition(services.Get(), association.Get(), partitions[i]);
    if (nCode != kInventoryOk) return nCode;
  }
  return kInventoryOk;
}

// Exits after which the attempt itself uninitialises COM; the others leave
// that to the next attempt's opening ComUninitialize.
bool UninitialisesCom(int nCode) {
  return nCode != kInventorySecurityFailed && nCode != kInventoryLocatorFailed &&
         nCode != kInventoryNoFixedDisk;
}

}  // namespace

std::int32_t DecimalToInt32(const std::wstring& szText) { return DecimalTo<std::int32_t>(szText); }
std::int64_t DecimalToInt64(const std::wstring& szText) { return DecimalTo<std::int64_t>(szText); }

void ParseAntecedent(const std::wstring& szAntecedent, std::int32_t& nDisk,
                     std::int32_t& nPartition) {
  const std::wstring szKey = FromFirstEquals(szAntecedent);
  const size_t c = szKey.find(L',');
  std::wstring szDisk = c == std::wstring::npos ? L"" : szKey.substr(0, c);
  const size_t h = szDisk.find(L'#');
  if (h != std::wstring::npos) szDisk = szDisk.substr(h + 1);
  const size_t r = szKey.rfind(L'#');
  nDisk = DecimalToInt32(szDisk);
  nPartition = DecimalToInt32(r == std::wstring::npos ? szKey : szKey.substr(r + 1));
}

std::wstring ParseDependent(const std::wstring& szDependent) {
  const std::wstring szKey = FromFirstEquals(szDependent);
  const size_t q = szKey.find(L':');
  // Two characters from just before the colon; with no colon, or a colon
  // first, from the start.
  const size_t nStart = (q == std::wstring::npos || q == 0) ? 0 : q - 1;
  return szKey.substr(nStart, 2);
}

int GetSystemDiskInfo(DiskTable& disks, PartitionTable& partitions) {
  const int nCode = RunInventoryAttempt(disks, partitions);
  if (UninitialisesCom(nCode)) platform::ComUninitialize();
  return nCode;
}

void EndInventory(int nLastCode) {
  if (!UninitialisesCom(nLastCode)) platform::ComUninitialize();
}
