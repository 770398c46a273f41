// The run itself: inventory with retry, disk count, letter rules, letter
// summary, EFI boot-file copy.
#pragma once

#include <cstdint>

#include "inventory/disk_tables.h"

struct SetupContext;

constexpr int kInventoryAttempts = 20;
constexpr std::uint32_t kInventoryRetryDelayMs = 100;

void RunSetupSequence(SetupContext& context);

// Records before the first empty one (m_Index 999), or all of them.
std::int32_t CountDisks(const DiskTable& disks);
