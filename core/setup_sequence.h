// The run itself: inventory with retry, disk count, letter rules, letter
// summary, EFI boot-file copy.
#pragma once

#include <cstdint>

#include "inventory/disk_tables.h"

struct SetupContext;

constexpr int kInventoryAttempts = 20;
constexpr std::uint32_t kInventoryRetryDelayMs = 100;

// The lines of an inventory attempt: each begins with kGetDiskInfo; a
// failed one ends with "[N]" kInventoryFailed ". Return Code:C", N counting
// the attempts from 0 and C the inventory's code.
namespace sequence_log {
inline constexpr wchar_t kGetDiskInfo[] = L"Get Disk info";
inline constexpr wchar_t kInventoryFailed[] = L"Error Getting System Disk Info";
// Before the UEFI letter rule, which three letters given skip.
inline constexpr wchar_t kAssignLetterToEfi[] = L"AssignLetterToEFI";
// The letter summary: kLetterSummary, the recovery letter, then the ESP's
// and the reset partition's, each after its name; a line feed ends the key.
inline constexpr wchar_t kLetterSummary[] = L"RecoveryLetter:";
}  // namespace sequence_log

void RunSetupSequence(SetupContext& context);

// Records before the first empty one (m_Index 999), or all of them.
std::int32_t CountDisks(const DiskTable& disks);
