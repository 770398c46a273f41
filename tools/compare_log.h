// --compare-log FILE: this run's log lines against a Malvik.log taken from a
// real machine, time stamps aside. How a field report is reproduced on a
// described machine.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tools/sim_outcome.h"

// The most of a field log that is read: a Malvik.log grows by some
// kilobytes a run, so this holds thousands of runs. A larger file (or a
// device such as /dev/zero) is refused before anything runs.
inline constexpr size_t kMaxFieldLogBytes = 64u << 20;  // 64 MiB

// One run of a field log, as read from the file's bytes.
struct FieldLog {
  std::string m_ReadAs;  // "code page 1252", "UTF-8", "UTF-16 LE", "UTF-16 BE", with why
                         // where the bytes could be read otherwise
  std::vector<LogLine> m_Lines;      // the run's [Malvik] lines, time stamps removed
  std::vector<size_t> m_FileLines;   // the line of the file each one starts on, from 1
  size_t m_Runs = 0;                 // runs the file holds
  size_t m_Run = 0;                  // the run read, from 1
  std::string m_NoLinesBecause;      // why no line was read; empty when some were
};

// Reads a log file's bytes. After a byte-order mark they are UTF-16 (little
// or big endian) or UTF-8. Without one they are 8-bit text in the code page
// nAnsiCodePage (437, 850, 1252 or 65001), the form in which the profile
// writer makes a new file; but bytes that are valid UTF-8 and hold some
// above 127 are read as UTF-8 (an editor saved the log so), unless
// bCodePageGiven: the description named the code page, which then wins.
// m_ReadAs says which. CR LF, LF and CR alone each end a line. A line that
// begins with "=" carries the value of the line before it, whose key ends in
// a line feed (the letter summary's does, and the line feed ended its line
// in the file). A log holds every run made on the machine; a run begins
// with a "Get Disk info" line, unless that line retries the failed
// inventory attempt on the line before it (the rule, in compare_log.cpp:
// never after attempt [19]; not when the retry fails as [0]; not after a
// gap of more than a minute when it succeeds); lines before the first run's
// are a run of their own. nRun picks the run, from 1; 0 is the last. A run
// the file does not hold reads no lines, and m_NoLinesBecause says how many
// it holds.
FieldLog ReadFieldLog(const std::string& szBytes, std::uint32_t nAnsiCodePage, size_t nRun = 0,
                      bool bCodePageGiven = false);

// The message of a log key without its time stamp.
std::wstring WithoutTimeStamp(const std::wstring& szKey);

// The message (no time stamp) is the one a failed inventory attempt leaves.
bool IsFailedInventoryLine(const std::wstring& szMessage);

struct LogComparison {
  bool m_Agrees = true;
  size_t m_FirstDifference = 0;  // index into both line lists, when they differ
  // The replay took the scripts to rebuild the boot store (AssumeRebuiltBcd),
  // a cause the differences it governs name first.
  bool m_AssumedRebuiltBcd = false;
};

// Compares the field lines with the run's (whose keys still carry their
// stamps), message and detail alike.
LogComparison CompareLogs(const std::vector<LogLine>& field, const std::vector<LogLine>& run);

// Shows the outcome for people: agreement in one line, or the first
// difference with its line in the run and in the file, both sides, the
// lines before it and the causes that fit it. Both say which run of the
// file was compared.
void WriteComparison(std::ostream& out, const std::string& szFile, const FieldLog& field,
                     const std::vector<LogLine>& run, const LogComparison& comparison);

// The outcome as data, the "compare_log" key of the JSON report.
nlohmann::ordered_json ComparisonJson(const std::string& szFile, const FieldLog& field,
                                      const std::vector<LogLine>& run,
                                      const LogComparison& comparison);
