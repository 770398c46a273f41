// Child processes on the simulated machine: a batch file is run by the
// command interpreter model when it starts; its exit code shows once the
// script it hands over to has run for its time.
#include "platform/platform.h"
#include "simulator/cmd_model.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"
#include "platform/win32_codes.h"

namespace platform {

struct ChildProcess {
  size_t m_Run = 0;  // index into the machine's runs
};

namespace {

sim::SimMachine& ProcessCall() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine;
}

bool EndsWithNoCase(const std::wstring& sz, const std::wstring& szEnd) {
  return sz.size() >= szEnd.size() &&
         sim::UpperAscii(sz.substr(sz.size() - szEnd.size())) == sim::UpperAscii(szEnd);
}

bool HasExtension(const std::wstring& sz) {
  const size_t dot = sz.find_last_of(L'.');
  return dot != std::wstring::npos && sz.find(L'\\', dot) == std::wstring::npos;
}

// What a command line without an application name starts, as Windows reads
// it: a quoted first part is the program; otherwise each run of text up to a
// space is tried in turn, with ".exe" added when it has no extension, and the
// first that names a file wins ("C:\Program" before "C:\Program Files\...").
std::wstring ProgramOf(sim::SimMachine& machine, const std::wstring& szCommand) {
  if (!szCommand.empty() && szCommand[0] == L'"') {
    const size_t end = szCommand.find(L'"', 1);
    return szCommand.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
  }
  for (size_t pos = 0;;) {
    const size_t space = szCommand.find_first_of(L" \t", pos);
    std::wstring szCandidate = szCommand.substr(0, space);
    if (!HasExtension(szCandidate)) szCandidate += L".exe";
    const sim::SimFile* pFile = sim::FindFile(machine, szCandidate);
    if (pFile != nullptr && !pFile->m_Folder) return szCandidate;
    if (space == std::wstring::npos) return szCommand.substr(0, szCommand.find_first_of(L" \t"));
    pos = space + 1;
  }
}

sim::SimProcessRun& RunOf(ChildProcess* pProcess) {
  return sim::CurrentMachine().m_Runs.at(pProcess->m_Run);
}

bool IsBatchFile(const std::wstring& szProgram) {
  return EndsWithNoCase(szProgram, L".cmd") || EndsWithNoCase(szProgram, L".bat");
}

// A batch file whose start failed hands over to nothing; the run record
// still names the hand-over it holds, read as the interpreter reads it.
void RecordUnstartedHandOver(sim::SimMachine& machine, sim::SimProcessRun& run) {
  const std::wstring szProgram = ProgramOf(machine, run.m_CommandLine);
  const sim::SimFile* pFile = sim::FindFile(machine, szProgram);
  if (pFile == nullptr || pFile->m_Folder || !IsBatchFile(szProgram)) return;
  sim::ReadHandOver(machine, sim::AbsolutePath(machine, szProgram), run);
}

}  // namespace

ProcessStart StartProcess(wchar_t* pCommandLine, std::uint16_t /*nShowWindow*/) {
  sim::SimMachine& machine = ProcessCall();
  sim::SimProcessRun run;
  run.m_CommandLine = pCommandLine;
  run.m_StartMs = machine.m_ClockMs;
  if (machine.m_Faults.m_ProcessStart) {
    run.m_StartError = *machine.m_Faults.m_ProcessStart;
  } else {
    run.m_Program = ProgramOf(machine, run.m_CommandLine);
    const sim::SimFile* pFile = sim::FindFile(machine, run.m_Program);
    if (run.m_Program.size() >= kMAX_PATH) {
      // Without an application name a program path of kMAX_PATH characters
      // or more is not looked for: error 2, or 3 when it was quoted (as
      // measured under Wine; Windows documents only the limit).
      const bool bQuoted = !run.m_CommandLine.empty() && run.m_CommandLine[0] == L'"';
      run.m_StartError = bQuoted ? kERROR_PATH_NOT_FOUND : kERROR_FILE_NOT_FOUND;
    } else if (pFile == nullptr) {
      run.m_StartError = kERROR_FILE_NOT_FOUND;
    } else if (pFile->m_Folder) {
      run.m_StartError = kERROR_ACCESS_DENIED;
    }
  }
  machine.m_Runs.push_back(run);
  sim::SimProcessRun& started = machine.m_Runs.back();
  if (started.m_StartError != 0) {
    started.m_Closed = true;
    RecordUnstartedHandOver(machine, started);
    return {nullptr, started.m_StartError};
  }
  if (IsBatchFile(started.m_Program)) {
    sim::RunBatchCommand(machine, started.m_CommandLine, started);
  } else {
    // Only batch files are modelled; any other program ends at once.
    started.m_Lines.push_back({started.m_Program, L"a program, not modelled: ends with 0", 0});
  }
  return {new ChildProcess{machine.m_Runs.size() - 1}, 0};
}

bool QueryProcessExitCode(ChildProcess* pProcess, std::uint32_t* pExitCode) {
  sim::SimMachine& machine = ProcessCall();
  if (machine.m_Faults.m_ExitCodeQueryFail) return false;
  sim::SimProcessRun& run = RunOf(pProcess);
  const bool bEnded = machine.m_ClockMs >= run.m_StartMs + run.m_RunMs;
  *pExitCode = bEnded ? run.m_ExitCode : kStillActive;
  if (bEnded) run.m_ExitCodeRead = true;
  return true;
}

bool WaitForProcess(ChildProcess* pProcess, std::uint32_t nTimeoutMs) {
  sim::SimMachine& machine = ProcessCall();
  const sim::SimProcessRun& run = RunOf(pProcess);
  const std::int64_t nLeft = run.m_StartMs + run.m_RunMs - machine.m_ClockMs;
  if (nLeft <= 0) return true;
  if (nTimeoutMs >= nLeft) {
    sim::Spend(machine, static_cast<std::uint32_t>(nLeft));
    return true;
  }
  sim::Spend(machine, nTimeoutMs);
  return false;
}

void CloseProcess(ChildProcess* pProcess) {
  ProcessCall();
  RunOf(pProcess).m_Closed = true;
  delete pProcess;
}

}  // namespace platform
