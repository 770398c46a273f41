// The child process on real Windows.
#include "platform/platform.h"
#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"

namespace platform {

struct ChildProcess {
  win32::ProcessHandle m_Process;
  win32::ProcessHandle m_Thread;
};

ProcessStart StartProcess(wchar_t* pCommandLine, std::uint16_t nShowWindow) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  // Only the show-window field counts: inherited standard handles, position
  // and size are dropped.
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = nShowWindow;
  PROCESS_INFORMATION info{};
  // No application name: the command line names what runs, and a .cmd named
  // there is run by the command interpreter.
  if (!CreateProcessW(nullptr, pCommandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return {nullptr, static_cast<std::uint32_t>(GetLastError())};
  }
  ChildProcess* pProcess = new ChildProcess;
  pProcess->m_Process = win32::ProcessHandle(info.hProcess);
  pProcess->m_Thread = win32::ProcessHandle(info.hThread);
  return {pProcess, 0};
}

bool QueryProcessExitCode(ChildProcess* pProcess, std::uint32_t* pExitCode) {
  DWORD nCode = 0;
  if (!GetExitCodeProcess(pProcess->m_Process.m_h, &nCode)) return false;
  *pExitCode = nCode;
  return true;
}

bool WaitForProcess(ChildProcess* pProcess, std::uint32_t nTimeoutMs) {
  return WaitForSingleObject(pProcess->m_Process.m_h, nTimeoutMs) == WAIT_OBJECT_0;
}

void CloseProcess(ChildProcess* pProcess) {
  pProcess->m_Process.Reset();
  pProcess->m_Thread.Reset();
  delete pProcess;
}

}  // namespace platform
