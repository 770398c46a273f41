#include "core/setup_sequence.h"

#include "core/copy_efi.h"
#include "core/setup_context.h"
#include "inventory/wmi_inventory.h"
#include "platform/platform.h"

std::int32_t CountDisks(const DiskTable& disks) {
  std::int32_t nCount = 0;
  while (nCount < kMaxDisks && disks[nCount].m_Index != kEmptyIndex) ++nCount;
  return nCount;
}

void RunSetupSequence(SetupContext& context) {
  Logger& logger = context.m_Logger;
  int nCode = kInventoryOk;
  for (int nAttempt = 0; nAttempt < kInventoryAttempts; ++nAttempt) {
    WriteLog(logger, sequence_log::kGetDiskInfo, L"");
    nCode = GetSystemDiskInfo(context.m_DiskTable, context.m_PartitionTable);
    if (nCode == kInventoryOk) break;
    WriteLog(logger,
             L"[" + std::to_wstring(nAttempt) + L"]" + sequence_log::kInventoryFailed +
                 L". Return Code:" + std::to_wstring(nCode),
             L"");
    platform::Pause(kInventoryRetryDelayMs);
  }
  // After twenty failures the run goes on with whatever the tables hold.
  EndInventory(nCode);

  WriteLog(logger, L"m_DiskCount", L"");
  context.m_DiskCount = CountDisks(context.m_DiskTable);

  WriteLog(logger, sequence_log::kAssignLetterToEfi, L"");
  if (!context.m_LettersGiven) context.AssignUefiLetters();
  if (!IsUefiBoot(context)) {
    context.AssignSystemReservedLetter();
    context.AssignResetAndServiceLetters();
  }

  WriteLog(logger,
           sequence_log::kLetterSummary + context.m_RecoveryLetter + L"   ESPLetter:" +
               context.m_ESPLetter + L"   PBRLetter:" + context.m_PBRLetter + L"\n",
           L"");
  CopyEfiBootFiles(context);
}
