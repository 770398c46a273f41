// Runs one command line as a child process and waits for it to end.
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t kPollIntervalMs = 1000;
constexpr size_t kCommandBufferChars = 4096;

// What became of a command: not started (and why), started with an exit
// code that could not be read, or started and ended with its exit code.
struct CommandOutcome {
  bool m_Started = false;
  std::uint32_t m_StartError = 0;  // the platform's error when not started
  bool m_ExitKnown = false;        // false: asking for the exit code failed
  std::uint32_t m_ExitCode = 0;    // the child's exit code when known, 0 otherwise
};

// Starts szCommand hidden in the caller's console, polls its exit code once
// a second until it has ended and returns what became of it. A child that
// cannot be started is shown in a message box ("call err=%d, szCommand =
// %s"). No time limit.
CommandOutcome RunCommand(std::wstring szCommand);

// szProgram, the program a command line names, is short enough for the
// process call to find it: with no application name it gives up on a longer
// one (error 2 or 3) without starting anything.
bool FitsProgramName(const std::wstring& szProgram);

// szCommand fits the buffer the process call gets, with its terminating NUL.
// A longer one is never started, as cut it would be a different command.
bool FitsCommandBuffer(const std::wstring& szCommand);
