// The verdict on a simulated run, in facts a deployment engineer acts on:
// which partition got which letter, which hand-over ran, whether the copy
// left every boot file, and what needs a person at the console. Worked out
// once from the machine and the outcome; the text report, --json and the
// fleet check all show this one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim_outcome.h"

// One of the run's three letters and what it names after the run.
struct LetterUse {
  std::string m_Role;     // "recovery", "ESP", "PBR"
  std::wstring m_Letter;  // as the run held it; may be empty
  std::wstring m_Names;   // "disk 0 partition 1", "\Device\...", or empty: nothing
  std::wstring m_Label;   // the volume's label, when it can be read
};

// A partition whose label a letter rule looks for.
struct SpecialPartition {
  std::string m_Kind;  // the kind's word in the letter rules' table: "reset", "EFI system", ...
  std::wstring m_Label;
  int m_Disk = 0;
  int m_Number = 0;
  std::vector<std::wstring> m_Letters;  // letters naming it after the run; empty: none
};

struct Verdict {
  std::vector<LetterUse> m_Letters;
  std::vector<SpecialPartition> m_Special;
  std::string m_HandOver;  // "5a" (reset script), "5b" (recovery script), or "none"
  std::wstring m_HandOverScript;
  std::vector<std::wstring> m_HandOverLetters;
  bool m_HandOverRan = false;
  std::optional<std::uint32_t> m_BatchExitCode;  // none: the batch file did not run
  int m_PresenceLines = 0;
  std::vector<std::wstring> m_PresenceFalse;  // paths the log calls "false"
  std::vector<std::string> m_Attention;        // why a person is needed, in words

  bool PresenceAllTrue() const { return m_PresenceLines > 0 && m_PresenceFalse.empty(); }
  bool NeedsPerson() const { return !m_Attention.empty(); }
  // What the fleet check counts as passed.
  bool Passed() const { return !NeedsPerson() && PresenceAllTrue(); }
};

Verdict JudgeRun(sim::SimMachine& machine, const Outcome& outcome);
