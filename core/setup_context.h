// The one object of a run: the disk and partition tables, the three drive
// letters the run works with, where they came from, the disk count and the
// logger. Constructing it runs the whole setup sequence.
#pragma once

#include <cstdint>
#include <string>

#include "core/settle_letters.h"
#include "inventory/disk_tables.h"
#include "support/log.h"

// Picks the constructor that stops before the setup sequence.
struct WithoutSequence {};

struct SetupContext {
  // Settles the letters (SettleLetters), creates the logger and runs the
  // setup sequence to its end.
  SetupContext(std::wstring szRecoveryLetter, std::wstring szESPLetter, std::wstring szPBRLetter);
  // Settles the letters and creates the logger, and runs nothing: a context
  // on which a test runs one step.
  SetupContext(WithoutSequence, std::wstring szRecoveryLetter, std::wstring szESPLetter,
               std::wstring szPBRLetter);
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  // Letter rules; they leave their results as drive-letter definitions in
  // the platform, not in the context.
  void AssignUefiLetters();
  void AssignSystemReservedLetter();
  void AssignResetAndServiceLetters();

  // Drive-letter operations that read none of the context's state.
  // The label of the volume under a letter ("E", "E:" or "E:\"), exactly as
  // the volume has it; empty when it has none or cannot be read.
  static std::wstring GetVolumeLabel(const std::wstring& szLetter);
  // The lowest free letter from "D:" upwards, or empty when none is free.
  // Not reserved: a second call returns the same letter until it is defined.
  static std::wstring FindFreeDriveLetter();

  std::int32_t m_DiskCount = 0;  // set by the setup sequence after the inventory
  bool m_LettersGiven = false;
  DiskTable m_DiskTable;
  PartitionTable m_PartitionTable;
  Logger m_Logger;
  std::wstring m_RecoveryLetter;
  std::wstring m_ESPLetter;
  std::wstring m_PBRLetter;
};

// Probes the firmware once and writes one line to the context's log: true
// for UEFI boot, false for legacy BIOS (ProbeUefiBoot).
bool IsUefiBoot(SetupContext& context);
