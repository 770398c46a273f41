// Runs one command line as a child process and waits for it to end.
#pragma once

#include <cstdint>
#include <string>

// Starts szCommand hidden in the caller's console, polls its exit code once
// a second until it has ended and returns that code. A child that cannot be
// started is shown in a message box ("call err=%d, szCommand = %s") and
// gives 0. No time limit.
std::uint32_t RunCommand(std::wstring szCommand);

constexpr std::uint32_t kPollIntervalMs = 1000;
constexpr size_t kCommandBufferChars = 4096;
