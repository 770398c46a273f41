#include "tests/test_support.h"

#include <fstream>
#include <sstream>

#include "core/entry.h"
#include "simulator/ini_text.h"
#include "simulator/sim_clock.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"

namespace test {

std::string ReadSourceFile(const std::string& szPath) {
  std::ifstream in(szPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

sim::SimMachine MakeMachine() {
  sim::SimMachine machine;
  machine.m_Costs = {0, 0, 0, 0, 0, 0, 0};
  machine.m_ClockMs = *sim::ParseClock("2026-03-07T09:05:02.045");
  return machine;
}

sim::SimDisk& AddDisk(sim::SimMachine& machine, int nIndex) {
  sim::SimDisk disk;
  disk.m_Index = nIndex;
  machine.m_Disks.push_back(disk);
  return machine.m_Disks.back();
}

sim::SimPartition& AddPartition(sim::SimDisk& disk, int nNumber, const std::wstring& szLabel,
                                const std::wstring& szLetter) {
  sim::SimPartition part;
  part.m_Number = nNumber;
  part.m_Label = szLabel;
  part.m_Letter = szLetter;
  disk.m_Partitions.push_back(part);
  return disk.m_Partitions.back();
}

int RunProgram(sim::SimMachine& machine, const std::vector<std::wstring>& args) {
  sim::PrepareMachine(machine);
  sim::ScopedSimMachine installed(machine);
  std::vector<const wchar_t*> argv = {machine.m_Program.c_str()};
  for (const std::wstring& sz : args) argv.push_back(sz.c_str());
  return RunMalvik(static_cast<int>(argv.size()), argv.data());
}

std::unique_ptr<SetupContext> BuildContext(sim::SimMachine& machine, const std::wstring& szRecovery,
                                           const std::wstring& szESP, const std::wstring& szPBR) {
  sim::PrepareMachine(machine);
  sim::ScopedSimMachine installed(machine);
  return std::make_unique<SetupContext>(szRecovery, szESP, szPBR);
}

std::vector<LogLine> ReadLog(sim::SimMachine& machine, const std::wstring& szFile) {
  std::vector<LogLine> lines;
  const sim::SimFile* pFile = sim::FindFile(machine, szFile);
  if (pFile == nullptr) return lines;
  for (const sim::IniEntry& entry : sim::ParseIni(sim::FromUtf8(pFile->m_Bytes))) {
    if (entry.m_Section != L"Malvik") continue;
    lines.push_back({entry.m_Key.substr(0, 24), entry.m_Key.substr(24), entry.m_Value});
  }
  return lines;
}

std::vector<std::wstring> LogMessages(sim::SimMachine& machine) {
  std::vector<std::wstring> messages;
  for (const LogLine& line : ReadLog(machine)) messages.push_back(line.m_Message);
  return messages;
}

}  // namespace test
