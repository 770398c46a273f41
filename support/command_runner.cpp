#include "support/command_runner.h"

#include <array>

#include "platform/platform.h"
#include "platform/win32_codes.h"

namespace {

constexpr std::uint16_t kSW_HIDE = 0;
// What a command line too long for the buffer is reported as, instead of
// being cut into a different command.
constexpr std::uint32_t kCommandTooLong = platform::kERROR_FILENAME_EXCED_RANGE;

CommandOutcome StartFailure(std::uint32_t nError, const std::wstring& szCommand) {
  platform::ShowMessageBox(L"call err=" + std::to_wstring(static_cast<std::int32_t>(nError)) +
                           L", szCommand = " + szCommand);
  CommandOutcome outcome;
  outcome.m_StartError = nError;
  return outcome;
}

}  // namespace

bool FitsProgramName(const std::wstring& szProgram) {
  return szProgram.size() < platform::kMAX_PATH;
}

bool FitsCommandBuffer(const std::wstring& szCommand) {
  return szCommand.size() < kCommandBufferChars;
}

CommandOutcome RunCommand(std::wstring szCommand) {
  // The process call may write into its command line, so it gets a copy.
  std::array<wchar_t, kCommandBufferChars> buffer{};
  if (!FitsCommandBuffer(szCommand)) return StartFailure(kCommandTooLong, szCommand);
  szCommand.copy(buffer.data(), szCommand.size());

  const platform::ProcessStart start = platform::StartProcess(buffer.data(), kSW_HIDE);
  if (start.m_pProcess == nullptr) return StartFailure(start.m_LastError, szCommand);

  CommandOutcome outcome;
  outcome.m_Started = true;
  std::uint32_t nExitCode = platform::kStillActive;
  bool bKnown = true;
  while (bKnown && nExitCode == platform::kStillActive) {
    platform::Pause(kPollIntervalMs);
    bKnown = platform::QueryProcessExitCode(start.m_pProcess, &nExitCode);
    // A child whose own exit code is 259 reads like a running one: ask the
    // process itself whether it has ended, without waiting, and take its
    // final code then.
    if (bKnown && nExitCode == platform::kStillActive &&
        platform::WaitForProcess(start.m_pProcess, 0)) {
      bKnown = platform::QueryProcessExitCode(start.m_pProcess, &nExitCode);
      break;
    }
  }
  platform::CloseProcess(start.m_pProcess);
  // A failed query leaves the code it was asked for unknown: 259 would read
  // as an exit code the child never returned.
  outcome.m_ExitKnown = bKnown;
  if (bKnown) outcome.m_ExitCode = nExitCode;
  return outcome;
}
