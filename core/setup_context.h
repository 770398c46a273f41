// The one object of a run: the disk and partition tables, the three drive
// letters the run works with, where they came from, the disk count and the
// logger. Constructing it runs the whole setup sequence.
#pragma once

#include <cstdint>
#include <string>

#include "inventory/disk_tables.h"
#include "support/log.h"

struct SetupContext {
  // Settles the letters (the three given, unchanged, when any of them is not
  // empty; "W:", "R:", "M:" otherwise), creates the logger and runs the
  // setup sequence to its end.
  SetupContext(std::wstring szRecoveryLetter, std::wstring szESPLetter, std::wstring szPBRLetter);
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  // Letter rules; they leave their results as drive-letter definitions in
  // the platform, not in the context.
  void AssignUefiLetters();
  void AssignSystemReservedLetter();
  void AssignResetAndServiceLetters();

  std::int32_t m_DiskCount = 0;  // set by the setup sequence after the inventory
  bool m_LettersGiven = false;
  DiskTable m_DiskTable;
  PartitionTable m_PartitionTable;
  Logger m_Logger;
  std::wstring m_RecoveryLetter;
  std::wstring m_ESPLetter;
  std::wstring m_PBRLetter;
};
