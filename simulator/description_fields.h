// The description's keys that map one to one onto a field of the machine
// model: the faults given as "fail" and the costs. The loader reads and
// DescribeMachine writes through these lists, so a key of either kind is
// listed once with its field.
#pragma once

#include <cstdint>
#include <utility>

#include "simulator/description_format.h"
#include "simulator/sim_model.h"

namespace sim {

inline constexpr std::pair<description::Key, bool SimFaults::*> kFailureFaults[] = {
    {description::Key::kFaultLogicalDrives, &SimFaults::m_LogicalDrivesFail},
    {description::Key::kFaultDriveStrings, &SimFaults::m_DriveStringsFail},
    {description::Key::kFaultProfileWrite, &SimFaults::m_ProfileWriteFail},
    {description::Key::kFaultBatchCreate, &SimFaults::m_BatchCreateFail},
    {description::Key::kFaultBatchRename, &SimFaults::m_BatchRenameFail},
    {description::Key::kFaultFrameworkInit, &SimFaults::m_FrameworkInitFail},
    {description::Key::kFaultLogFolder, &SimFaults::m_LogFolderFail},
    {description::Key::kFaultExitCodeQuery, &SimFaults::m_ExitCodeQueryFail},
    {description::Key::kFaultPartitionTable, &SimFaults::m_PartitionTableFail}};

inline constexpr std::pair<description::Key, std::uint32_t SimCosts::*> kCostFields[] = {
    {description::Key::kCostWmiQuery, &SimCosts::m_WmiQuery},
    {description::Key::kCostWmiNext, &SimCosts::m_WmiNext},
    {description::Key::kCostVolumeQuery, &SimCosts::m_VolumeQuery},
    {description::Key::kCostDefine, &SimCosts::m_Define},
    {description::Key::kCostProfileWrite, &SimCosts::m_ProfileWrite},
    {description::Key::kCostFile, &SimCosts::m_File},
    {description::Key::kCostOther, &SimCosts::m_Other}};

}  // namespace sim
