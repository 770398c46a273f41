// The verdict on a simulated run, in facts a deployment engineer acts on:
// which partition got which letter, which hand-over ran, whether the copy
// left every boot file, and, when the run would leave recovery broken, why,
// in plain words. Worked out once from the machine and the outcome; the text
// report, --json and the fleet check all show this one.
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

// A partition that is one the hand-over needs, by its type or content.
struct SpecialPartition {
  std::string m_Kind;  // "EFI system", "recovery-environment", "reset or service"
  std::wstring m_Label;
  int m_Disk = 0;
  int m_Number = 0;
  std::vector<std::wstring> m_Letters;  // letters naming it after the run; empty: none
  bool m_SetAside = false;  // another one of its kind is the one the run must use
};

// The batch file's last line: which script it hands over to.
enum class HandOver {
  kNone,            // no hand-over line, or one to a script that is neither
  kResetScript,     // modifybcdtoPBR.cmd with the ESP and PBR letters: a recovery folder was found
  kRecoveryScript,  // modifybcdtoWinRE.cmd with the ESP and recovery letters: none was
};
// "5a", "5b" or "none", as the reports name the line.
const char* HandOverWord(HandOver eHandOver);

// A run passes when all of these hold: the program started, wrote its log
// and its last disk inventory did not fail; this run wrote its batch file
// and started it; the batch file handed over to one of the two scripts,
// which ran and ended with 0, as the program was told; the hand-over's two
// letters name the partitions they are meant for, told by what they are
// (letter_roles.h): the ESP letter the EFI system partition, the second one
// the reset or service partition for the reset script, the
// recovery-environment partition for the recovery script; no partition that
// holds a recovery folder was passed over for the recovery script; every
// presence line is there and "true", and the boot store among them is the
// one the hand-over script rebuilt; no dialog was shown. More than one
// partition of a kind: the one the tie rule picks (letter_roles.h), or a
// reason naming them all. Labels only explain: a reason names the label
// that misled malvik or did not match. Every condition that fails gives a
// reason, the likeliest cause first.
struct Verdict {
  std::vector<LetterUse> m_Letters;
  bool m_LettersGiven = false;  // the command line gave the letters: the rules assigned none
  std::vector<SpecialPartition> m_Special;
  HandOver m_HandOver = HandOver::kNone;
  std::wstring m_HandOverScript;
  std::vector<std::wstring> m_HandOverLetters;
  bool m_HandOverRan = false;
  // The first recovery folder the PBR letter holds after the run, which
  // chooses the reset script; empty: none.
  std::wstring m_ResetFolder;
  bool m_BatchRan = false;  // this run wrote its batch file and started it
  std::optional<std::uint32_t> m_BatchExitCode;  // none: the batch file did not run
  int m_PresenceLines = 0;
  std::vector<std::wstring> m_PresenceFalse;  // paths the log calls "false"
  std::vector<std::string> m_Reasons;          // why it failed, the likeliest cause first
  std::vector<std::string> m_Warnings;         // what looks wrong but breaks nothing
  // What could not be checked because a capture could not read a path.
  std::vector<std::string> m_Unchecked;

  bool PresenceAllTrue() const;
  // What the fleet check counts as passed.
  bool Passed() const { return m_Reasons.empty(); }
};

// How many presence lines the copy step logs: \EFI\OEM and each entry of
// its boot folder.
int PresenceLinesExpected();

Verdict JudgeRun(sim::SimMachine& machine, const Outcome& outcome);
