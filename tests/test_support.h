// Fixture helpers that read like the domain: machines, disks, partitions,
// and the log a run left.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/setup_context.h"
#include "simulator/sim_model.h"

namespace test {

// A machine with the program in C:\Tools and nothing else, time stopped
// apart from the program's own waits.
// A file of the source tree, whole, as bytes; empty when it cannot be read.
std::string ReadSourceFile(const std::string& szPath);

sim::SimMachine MakeMachine();

sim::SimDisk& AddDisk(sim::SimMachine& machine, int nIndex);
sim::SimPartition& AddPartition(sim::SimDisk& disk, int nNumber, const std::wstring& szLabel,
                                const std::wstring& szLetter = L"");

// Prepares and installs the machine, runs malvik with these arguments (the
// program name is added in front) and returns its exit code.
int RunProgram(sim::SimMachine& machine, const std::vector<std::wstring>& args = {});

// Prepares and installs the machine and builds a setup context with these
// letters, which runs the whole sequence on it.
std::unique_ptr<SetupContext> BuildContext(sim::SimMachine& machine, const std::wstring& szRecovery,
                                           const std::wstring& szESP, const std::wstring& szPBR);

struct LogLine {
  std::wstring m_Stamp;    // the 24-character time stamp
  std::wstring m_Message;  // the key after the stamp
  std::wstring m_Value;
};

// The [Malvik] lines of the machine's log file, in file order.
std::vector<LogLine> ReadLog(sim::SimMachine& machine,
                             const std::wstring& szFile = L"C:\\Tools\\Log\\Malvik.log");
// Just the messages.
std::vector<std::wstring> LogMessages(sim::SimMachine& machine);

}  // namespace test
