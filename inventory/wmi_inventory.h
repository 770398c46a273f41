// Fills the disk and partition tables from WMI: the fixed hard disks, then
// every partition that carries a logical disk, with its type and label.
#pragma once

#include <cstdint>
#include <string>

#include "inventory/disk_tables.h"

// Result codes of one inventory attempt.
constexpr int kInventoryOk = 0;
constexpr int kInventorySecurityFailed = 2;   // CoInitializeSecurity
constexpr int kInventoryLocatorFailed = 3;    // CoCreateInstance of the locator
constexpr int kInventoryConnectFailed = 4;    // ConnectServer
constexpr int kInventoryQueryFailed = 5;      // any ExecQuery
constexpr int kInventoryBlanketFailed = 9;    // CoSetProxyBlanket
constexpr int kInventoryNoFixedDisk = 10;     // the disk query returned no disk
constexpr int kInventoryPropertyFailed = 11;  // "Index", an association's
                                              // addresses or paths not readable

// How long one IEnumWbemClassObject::Next waits for its object.
constexpr std::int32_t kNextTimeoutMs = 10000;

// The inventory's disk query: the disks WMI calls fixed hard disks, and
// only those.
inline constexpr wchar_t kFixedDiskQuery[] =
    L"select * from Win32_DiskDrive where (MediaType LIKE \"Fixed%hard%disk%media\")";

// One attempt. Writes records by position from 0; never clears the tables.
// Disks beyond kMaxDisks and associations beyond kMaxPartitions are read
// past and dropped.
int GetSystemDiskInfo(DiskTable& disks, PartitionTable& partitions);

// After the last attempt: an attempt that ended with code 2, 3 or 10 leaves
// COM initialised for the next attempt's opening CoUninitialize; when no
// attempt follows, this makes that call, so the run leaves COM balanced.
void EndInventory(int nLastCode);

// Decimal text to a number: leading white space, an optional sign, digits up
// to the first other character; no digits gives 0; out of range gives the
// nearest limit.
std::int32_t DecimalToInt32(const std::wstring& szText);
std::int64_t DecimalToInt64(const std::wstring& szText);

// An association's Antecedent (...DeviceID="Disk #N, Partition #M") and
// Dependent (...DeviceID="E:") object paths.
void ParseAntecedent(const std::wstring& szAntecedent, std::int32_t& nDisk,
                     std::int32_t& nPartition);
std::wstring ParseDependent(const std::wstring& szDependent);
