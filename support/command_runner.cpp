#include "support/command_runner.h"

#include <array>

#include "platform/platform.h"

namespace {

constexpr std::uint16_t kSW_HIDE = 0;
// ERROR_FILENAME_EXCED_RANGE: what a command line too long for the buffer
// is reported as, instead of being cut into a different command.
constexpr std::uint32_t kCommandTooLong = 206;

void ShowStartFailure(std::uint32_t nError, const std::wstring& szCommand) {
  platform::ShowMessageBox(L"call err=" + std::to_wstring(static_cast<std::int32_t>(nError)) +
                           L", szCommand = " + szCommand);
}

}  // namespace

std::uint32_t RunCommand(std::wstring szCommand) {
  // The process call may write into its command line, so it gets a copy.
  std::array<wchar_t, kCommandBufferChars> buffer{};
  if (szCommand.size() >= buffer.size()) {
    ShowStartFailure(kCommandTooLong, szCommand);
    return 0;
  }
  szCommand.copy(buffer.data(), szCommand.size());

  const platform::ProcessStart start = platform::StartProcess(buffer.data(), kSW_HIDE);
  if (start.m_pProcess == nullptr) {
    ShowStartFailure(start.m_LastError, szCommand);
    return 0;
  }

  std::uint32_t nExitCode = platform::kStillActive;
  while (nExitCode == platform::kStillActive) {
    platform::Sleep(kPollIntervalMs);
    if (!platform::QueryProcessExitCode(start.m_pProcess, &nExitCode)) break;
    // A child whose own exit code is 259 reads like a running one: ask the
    // process itself whether it has ended, without waiting, and take its
    // final code then.
    if (nExitCode == platform::kStillActive && platform::WaitForProcess(start.m_pProcess, 0)) {
      platform::QueryProcessExitCode(start.m_pProcess, &nExitCode);
      break;
    }
  }
  platform::CloseProcess(start.m_pProcess);
  return nExitCode;
}
