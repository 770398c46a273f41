// The run's only record: an INI file "Log\Malvik.log" in the program's
// folder, section "Malvik", one key per event (time stamp + message) with the
// detail as its value.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Where the log is: the file below the program folder, its folder, and the
// section of its lines.
inline constexpr wchar_t kLogFolder[] = L"Log";
inline constexpr wchar_t kLogFile[] = L"Log\\Malvik.log";
inline constexpr wchar_t kLogSection[] = L"Malvik";

// The start of the line LogExitCode writes; the code in hexadecimal follows.
inline constexpr wchar_t kExitCodeLine[] = L"ExitCode:0x";

struct Logger {
  std::wstring m_ProgramDir;  // program folder with one trailing backslash; empty until known
};

// Adds one key to the log. Nothing is reported back: a line that cannot be
// written is lost.
void WriteLog(Logger& logger, std::wstring szMessage, std::wstring szDetail);

// The program's folder with exactly one trailing backslash ("C:\Tools\"),
// computed once and cached in the logger. Degenerate paths (no separator, or
// only one at the very start) come back unchanged and are not cached.
std::wstring GetProgramDirectory(Logger& logger);

std::wstring BoolToText(bool bValue);

// One log line "ExitCode:0x%x" with an empty detail.
void LogExitCode(Logger& logger, std::uint32_t nExitCode);

// "%2d/%2d/%2d %2d:%2d:%2d:%3d ": year, month, day, hour, minute, second,
// millisecond, space padded, one space at the end.
std::wstring FormatTimeStamp(const platform::LocalTime& time);
