// What a difference between a field log and its replay most often comes
// from that a capture cannot know: what the replay assumed in its place (the
// boot store the scripts rebuild), malvik's own arguments, the exit codes of
// the scripts, and a capture taken after the run instead of before.
#pragma once

#include <string>
#include <vector>

#include "tools/sim_outcome.h"

struct DifferenceCause {
  const char* m_Name;    // "rebuilt_bcd", "arguments", "script_exit_code", "captured_after_run"
  std::string m_Advice;  // what to do about it, one sentence
};

// The causes that fit a difference first found at line nAt (from 0) of the
// field log and the simulated one, both without time stamps; either may end
// before nAt. bAssumedRebuiltBcd: the replay gave a script the rebuilt boot
// store (--assume-rebuilt-bcd, as plan does), so where the boot store's
// presence line differs that assumption is the first cause. Empty when none
// fits.
std::vector<DifferenceCause> DifferenceCauses(const std::vector<LogLine>& field,
                                              const std::vector<LogLine>& simulated, size_t nAt,
                                              bool bAssumedRebuiltBcd = false);
