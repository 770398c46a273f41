// --compare-log FILE: this run's log lines against a Malvik.log taken from a
// real machine, time stamps aside. How a field report is reproduced on a
// described machine.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/sim_outcome.h"

// The [Malvik] lines of the last run in a log file's bytes (the platform's
// 8-bit text or UTF-8), time stamps removed. A log holds every run made on
// the machine; a run begins with a "Get Disk info" line that no failed
// inventory attempt came before.
std::vector<LogLine> LastRunOfFieldLog(const std::string& szBytes);

// The message of a log key without its time stamp.
std::wstring WithoutTimeStamp(const std::wstring& szKey);

// The message (no time stamp) is the one a failed inventory attempt leaves.
bool IsFailedInventoryLine(const std::wstring& szMessage);

struct LogComparison {
  bool m_Agrees = true;
  size_t m_FirstDifference = 0;  // index into both line lists, when they differ
};

// Compares the field lines with the run's (whose keys still carry their
// stamps), message and detail alike.
LogComparison CompareLogs(const std::vector<LogLine>& field, const std::vector<LogLine>& run);

// Shows the outcome for people: agreement in one line, or the first
// difference with both sides and the lines before it.
void WriteComparison(std::ostream& out, const std::string& szFile,
                     const std::vector<LogLine>& field, const std::vector<LogLine>& run,
                     const LogComparison& comparison);
