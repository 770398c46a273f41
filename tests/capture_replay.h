// The round trip of a field report on the simulated machine: malvik-capture
// describes a machine, the description is loaded again, and malvik runs on
// both; the replay's log must be the one the machine's own run wrote, and
// its verdict the machine's.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "simulator/sim_model.h"

namespace test {

struct CaptureReplay {
  std::string m_Captured;    // the description's text
  std::string m_LoadError;   // why the description did not load; empty when it did
  // The first log line that differs, or else the verdicts, both sides;
  // empty: they agree.
  std::string m_Difference;
};

// What a capture cannot know, given to the replay from the machine.
using CopyOver = std::function<void(const sim::SimMachine& machine, sim::SimMachine& replay)>;

// Captures `machine` as it is before its run, loads the capture, lets
// `copyOver` give it what a capture cannot know, then runs malvik with
// `args` on both and compares their log lines as malvik-sim --compare-log
// does, time stamps aside, then, when those agree, their verdicts. The
// machine's faults strike its run, never the capture, which sees
// `captureFaults` instead.
CaptureReplay ReplayCapture(const sim::SimMachine& machine, const std::vector<std::wstring>& args,
                            const CopyOver& copyOver, const sim::SimFaults& captureFaults = {});

}  // namespace test
