// The three letter rules, each run alone on a simulated machine: the log
// lines it writes and the drive table it leaves.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/setup_context.h"
#include "letters/drive_letters.h"
#include "platform/device_names.h"
#include "simulator/sim_machine.h"
#include "tests/test_support.h"

namespace {

using Lines = std::vector<std::pair<std::wstring, std::wstring>>;  // message, detail
using Drives = std::map<std::wstring, std::vector<std::wstring>>;  // letter -> stack
using Rule = void (SetupContext::*)();

std::wstring Part(int nDisk, int nPartition) {
  return platform::PartitionDevicePath(nDisk, nPartition);
}

std::wstring Disks(int nFirst, std::int64_t nPartitions) {
  return L"Disks " + std::to_wstring(nFirst) + L" : Partitions " + std::to_wstring(nPartitions);
}

struct RuleRun {
  Lines m_Lines;
  Drives m_Added;  // letters whose stack is new or changed, with their stacks
  size_t m_Dialogs = 0;
};

// A context over the machine's disks as the inventory leaves them, with the
// rule run alone: the context runs no sequence, its tables are filled and
// the rule is called on this machine.
RuleRun RunRule(sim::SimMachine& machine, Rule rule) {
  const auto context = std::make_unique<SetupContext>(WithoutSequence{}, L"X:", L"Y:", L"Z:");

  // Every log write moves the clock, so equal messages keep keys of their own.
  machine.m_Costs.m_ProfileWrite = 1;
  machine.m_ErrorMode = 0x8001;  // as the program's start-up leaves it
  sim::PrepareMachine(machine);
  const Drives before = machine.m_DosDevices;
  context->m_DiskCount = static_cast<std::int32_t>(machine.m_Disks.size());
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    context->m_DiskTable[d].m_Index = machine.m_Disks[d].m_Index;
    context->m_DiskTable[d].m_Partitions = *machine.m_Disks[d].m_PartitionsReported;
  }
  {
    sim::ScopedSimMachine installed(machine);
    ((*context).*rule)();
  }

  RuleRun run;
  for (const test::LogLine& line : test::ReadLog(machine)) {
    run.m_Lines.push_back({line.m_Message, line.m_Value});
  }
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    auto it = before.find(szLetter);
    if (it == before.end() || it->second != stack) run.m_Added[szLetter] = stack;
  }
  for (const auto& [szLetter, stack] : before) {
    if (machine.m_DosDevices.count(szLetter) == 0) run.m_Added[szLetter] = {};
  }
  run.m_Dialogs = machine.m_Dialogs.size();
  return run;
}

struct Case {
  const char* szName;
  std::function<void(sim::SimMachine&)> m_Build;
  Lines m_Lines;
  Drives m_Changed;  // letters that changed: their stacks after the run ({} for removed)
  size_t nDialogs = 0;
};

void RunCases(Rule rule, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    c.m_Build(machine);
    const RuleRun run = RunRule(machine, rule);
    EXPECT_EQ(run.m_Lines, c.m_Lines);
    EXPECT_EQ(run.m_Added, c.m_Changed);
    EXPECT_EQ(run.m_Dialogs, c.nDialogs);
  }
}

// Plain lettered volumes that are on no listed disk.
void AddDrives(sim::SimMachine& machine, wchar_t cFirst, wchar_t cLast, const std::wstring& szLabel) {
  for (wchar_t c = cFirst; c <= cLast; ++c) machine.m_Drives[{c, L':'}].m_Label = szLabel;
}

// Two disks whose partitions none of the rules takes.
void TwoPlainDisks(sim::SimMachine& machine) {
  sim::SimDisk& first = test::AddDisk(machine, 0);
  test::AddPartition(first, 1, L"MY ESP");
  test::AddPartition(first, 2, L"PQSERVICE2");
  test::AddPartition(first, 3, L"Windows", L"E:");
  sim::SimDisk& second = test::AddDisk(machine, 1);
  test::AddPartition(second, 1, L"SYSTEM RESERVED 2");
  test::AddPartition(second, 2, L"MY PUSH BUTTON");
}

TEST(UefiLetters, EveryMatchMovesToItsFixedLetter) {
  RunCases(
      &SetupContext::AssignUefiLetters,
      {
          {"no disks", [](sim::SimMachine& m) { AddDrives(m, L'E', L'E', L"ESP"); }, {}, {}},
          {"labels that must not match; probe letters removed",
           TwoPlainDisks,
           {{Disks(0, 4), L""}, {Disks(1, 3), L""}},
           {}},
          {"three partitions reported: 1 to 4 probed, 5 not",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 0);
             test::AddPartition(disk, 1, L"Data");
             test::AddPartition(disk, 2, L"esp");
             test::AddPartition(disk, 3, L"Windows", L"E:");
             test::AddPartition(disk, 4, L"Recovery Image").m_Wmi = false;
             test::AddPartition(disk, 5, L"PQSERVICE").m_Wmi = false;
           },
           {{Disks(0, 4), L""},
            {L"[EFI]AssignLetterToEFI", L""},
            {L"[EFI]Need to mount EFI", L"ESP"},
            {L"[EFI]AssignLetterToRECOVERY", L""},
            {L"[EFI]Need to mount RECOVERY", L"RECOVERY IMAGE"}},
           {{L"R:", {Part(0, 2)}}, {L"W:", {Part(0, 4)}}}},
          {"a disk reporting no partition still has number 1 probed",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 3);
             disk.m_PartitionsReported = 0;
             test::AddPartition(disk, 1, L"Push Button Reset");
           },
           {{Disks(3, 1), L""},
            {L"[EFI]AssignLetterToPBR", L""},
            {L"[EFI]Need to mount PBR", L"PUSH BUTTON RESET"}},
           {{L"M:", {Part(3, 1)}}}},
          {"negative counts probe nothing and show the count plus one",
           [](sim::SimMachine& m) {
             sim::SimDisk& first = test::AddDisk(m, 0);
             first.m_PartitionsReported = -1;
             test::AddPartition(first, 1, L"ESP");
             sim::SimDisk& second = test::AddDisk(m, 1);
             second.m_PartitionsReported = INT32_MIN;
             test::AddPartition(second, 1, L"RECOVERY");
           },
           {{Disks(0, 0), L""}, {Disks(1, -2147483647), L""}},
           {}},
          {"1023 reported: all 1024 numbers probed, no limit line",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 0);
             disk.m_PartitionsReported = 1023;
             test::AddPartition(disk, 1024, L"ESP");
           },
           {{Disks(0, 1024), L""},
            {L"[EFI]AssignLetterToEFI", L""},
            {L"[EFI]Need to mount EFI", L"ESP"}},
           {{L"R:", {Part(0, 1024)}}}},
          {"1024 reported: number 1025 is past the probe limit",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 0);
             disk.m_PartitionsReported = 1024;
             test::AddPartition(disk, 1025, L"ESP");
           },
           {{Disks(0, 1025), L""}, {L"Partitions Past Probe Limit Not Probed", L"1024 of 1025"}},
           {}},
          {"the largest count: its disk stops at the limit, the next disk is still probed",
           [](sim::SimMachine& m) {
             test::AddDisk(m, 0).m_PartitionsReported = INT32_MAX;
             test::AddPartition(test::AddDisk(m, 1), 1, L"ESP");
           },
           {{L"Disks 0 : Partitions 2147483648", L""},
            {L"Partitions Past Probe Limit Not Probed", L"1024 of 2147483648"},
            {Disks(1, 2), L""},
            {L"[EFI]AssignLetterToEFI", L""},
            {L"[EFI]Need to mount EFI", L"ESP"}},
           {{L"R:", {Part(1, 1)}}}},
          {"the first rule that matches decides; the later of reset and service keeps M:",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 0);
             test::AddPartition(disk, 1, L"ESP RECOVERY");
             test::AddPartition(disk, 2, L"PUSH BUTTON");
             test::AddPartition(disk, 3, L"pqservice");
           },
           {{Disks(0, 4), L""},
            {L"[EFI]AssignLetterToEFI", L""},
            {L"[EFI]Need to mount EFI", L"ESP RECOVERY"},
            {L"[EFI]AssignLetterToPBR", L""},
            {L"[EFI]Need to mount PBR", L"PUSH BUTTON"},
            {L"[EFI]AssignLetterToKSV", L""},
            {L"[EFI]No need to mount KSV", L"PQSERVICE"}},
           {{L"R:", {Part(0, 1)}}, {L"M:", {Part(0, 3)}}}},
          {"the label is logged upper-cased, a and z included",
           [](sim::SimMachine& m) {
             test::AddPartition(test::AddDisk(m, 0), 1, L"Recovery a-z");
           },
           {{Disks(0, 2), L""},
            {L"[EFI]AssignLetterToRECOVERY", L""},
            {L"[EFI]Need to mount RECOVERY", L"RECOVERY A-Z"}},
           {{L"W:", {Part(0, 1)}}}},
          {"a volume loses W: and gets no other letter",
           [](sim::SimMachine& m) {
             AddDrives(m, L'W', L'W', L"Work");
             test::AddPartition(test::AddDisk(m, 0), 1, L"RECOVERY");
           },
           {{Disks(0, 2), L""},
            {L"[EFI]AssignLetterToRECOVERY", L""},
            {L"[EFI]Need to mount RECOVERY", L"RECOVERY"}},
           {{L"W:", {Part(0, 1)}}}},
          {"D: to L: used: the probe letter is M: itself",
           [](sim::SimMachine& m) {
             AddDrives(m, L'D', L'L', L"Data");
             test::AddPartition(test::AddDisk(m, 0), 1, L"PUSH BUTTON");
           },
           {{Disks(0, 2), L""},
            {L"[EFI]AssignLetterToPBR", L""},
            {L"[EFI]Need to mount PBR", L"PUSH BUTTON"}},
           {{L"M:", {Part(0, 1)}}}},
          {"all letters used: only the disk line",
           [](sim::SimMachine& m) {
             AddDrives(m, L'D', L'Z', L"Data");
             test::AddPartition(test::AddDisk(m, 0), 1, L"ESP");
           },
           {{Disks(0, 2), L""}},
           {}},
          {"drive mask unreadable, D: in use and not definable: D: is neither read nor removed",
           [](sim::SimMachine& m) {
             m.m_Faults.m_LogicalDrivesFail = true;
             m.m_Faults.m_DefineFails = {L"D:"};
             AddDrives(m, L'D', L'D', L"ESP");
             test::AddPartition(test::AddDisk(m, 0), 1, L"Data");
           },
           {{Disks(0, 2), L""}},
           {},
           2},
          {"the fixed letter cannot be defined: Mount Failed, and the run goes on",
           [](sim::SimMachine& m) {
             m.m_Faults.m_DefineFails = {L"R:"};
             sim::SimDisk& disk = test::AddDisk(m, 0);
             test::AddPartition(disk, 1, L"ESP");
             test::AddPartition(disk, 2, L"RECOVERY");
           },
           {{Disks(0, 3), L""},
            {L"[EFI]AssignLetterToEFI", L""},
            {L"[EFI]Need to mount EFI", L"ESP"},
            {L"[EFI]AssignLetterToRECOVERY", L""},
            {L"[EFI]Need to mount RECOVERY", L"RECOVERY"}},
           {{L"W:", {Part(0, 2)}}},
           1},
      });
}

TEST(SystemReservedLetter, LetteredFirstThenProbedFirstMatchEndsIt) {
  RunCases(
      &SetupContext::AssignSystemReservedLetter,
      {
          {"no disks, no match", [](sim::SimMachine& m) { AddDrives(m, L'E', L'E', L"Data"); }, {},
           {}},
          {"a lettered match, in its own case, ends it before any probe",
           [](sim::SimMachine& m) {
             AddDrives(m, L'E', L'E', L"System Reserved");
             test::AddPartition(test::AddDisk(m, 0), 1, L"SYSTEM RESERVED");
           },
           {{L"[1]AssignLetterToSYS", L""}, {L"[1]No need to mount SYS", L"System Reserved"}},
           {}},
          {"labels that must not match: one line per disk, no letter left", TwoPlainDisks,
           {{Disks(0, 4), L""}, {Disks(1, 3), L""}},
           {}},
          {"a probed match keeps its probe letter; later disks are not looked at",
           [](sim::SimMachine& m) {
             m.m_Drives[L"D:"].m_NoMedia = true;
             sim::SimDisk& disk = test::AddDisk(m, 0);
             test::AddPartition(disk, 1, L"Data");
             test::AddPartition(disk, 2, L"system reserved");
             test::AddPartition(test::AddDisk(m, 1), 1, L"SYSTEM RESERVED");
           },
           {{Disks(0, 3), L""},
            {L"[2]AssignLetterToSYS", L""},
            {L"[2]Need to mount SYS", L"system reserved"}},
           {{L"E:", {Part(0, 2)}}}},
      });
}

TEST(ResetAndServiceLetters, LetterScanThenServiceSweepThenResetSweep) {
  RunCases(
      &SetupContext::AssignResetAndServiceLetters,
      {
          {"no disks, no match", [](sim::SimMachine& m) { AddDrives(m, L'E', L'E', L"Data"); }, {},
           {}},
          {"a lettered reset volume",
           [](sim::SimMachine& m) { AddDrives(m, L'E', L'E', L"Push Button Reset"); },
           {{L"[1]AssignLetterToPBR", L""}, {L"[1]No need to mount PBR", L"PUSH BUTTON RESET"}},
           {}},
          {"the earlier root decides, whichever kind it is",
           [](sim::SimMachine& m) {
             AddDrives(m, L'E', L'E', L"pqservice");
             AddDrives(m, L'F', L'F', L"PUSH BUTTON");
           },
           {{L"[1]AssignLetterToKSV", L""}, {L"[1]No need to mount KSV", L"PQSERVICE"}},
           {}},
          {"nothing anywhere: the reset sweep's lines carry the disk count", TwoPlainDisks,
           {{Disks(0, 4), L""}, {Disks(1, 3), L""}, {Disks(2, 4), L""}, {Disks(2, 3), L""}},
           {}},
          {"the service sweep comes first and logs the label as read",
           [](sim::SimMachine& m) {
             m.m_Drives[L"D:"].m_NoMedia = true;
             sim::SimDisk& disk = test::AddDisk(m, 0);
             test::AddPartition(disk, 1, L"Push Button Reset");
             test::AddPartition(disk, 2, L"PQService");
             test::AddPartition(disk, 3, L"MY PUSH BUTTON", L"F:");
           },
           {{Disks(0, 4), L""},
            {L"[2]AssignLetterToKSV", L""},
            {L"[2]Need to mount KSV", L"PQService"}},
           {{L"E:", {Part(0, 2)}}}},
          {"a reset partition is found by the reset sweep and logged upper-cased",
           [](sim::SimMachine& m) {
             sim::SimDisk& disk = test::AddDisk(m, 4);
             test::AddPartition(disk, 1, L"Data");
             test::AddPartition(disk, 2, L"push button");
           },
           {{Disks(4, 3), L""},
            {Disks(1, 3), L""},
            {L"[2]AssignLetterToPBR", L""},
            {L"[2]Need to mount PBR", L"PUSH BUTTON"}},
           {{L"D:", {Part(4, 2)}}}},
      });
}

}  // namespace
