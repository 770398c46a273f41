// The platform calls of the program, answered by the installed simulated
// machine. Each call advances the simulated clock by its cost.
#include "platform/platform.h"

#include "platform/program_name.h"
#include "platform/sim/ini_text.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_machine.h"

namespace platform {
namespace {

constexpr std::uint32_t kSEM_FAILCRITICALERRORS = 0x0001;
constexpr std::uint32_t kSEM_NOOPENFILEERRORBOX = 0x8000;

}  // namespace

bool InitFramework() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  if (machine.m_Faults.m_FrameworkInitFail) return false;
  machine.m_ErrorMode |= kSEM_FAILCRITICALERRORS | kSEM_NOOPENFILEERRORBOX;
  return true;
}

void ShowMessageBox(const std::wstring& szText) {
  sim::SimMachine& machine = sim::CurrentMachine();
  machine.m_Dialogs.push_back({ProgramNameFromPath(machine.m_Program), szText, L"OK", L"exclamation"});
}

void WriteStdout(std::string_view szText) { sim::CurrentMachine().m_Console += szText; }

std::wstring GetMachineName() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine.m_Name;
}

LocalTime ReadLocalTime() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return sim::ToLocalTime(machine.m_ClockMs);
}

std::wstring ReadProgramPath() {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  return machine.m_Program;
}

bool WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                       const std::wstring& szValue, const std::wstring& szFile) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_ProfileWrite);
  if (machine.m_Faults.m_ProfileWriteFail) return false;
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szFile);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || !sim::ParentFolderExists(machine, szAbsolute)) return false;
  sim::SimFile* pFile = sim::FindFile(machine, szAbsolute);
  if (pFile != nullptr && pFile->m_Folder) return false;
  const std::string szOld = pFile ? pFile->m_Bytes : std::string();
  const std::string szNew =
      sim::ToUtf8(sim::SetIniValue(sim::FromUtf8(szOld), szSection, szKey, szValue));
  if (pFile != nullptr) {
    pFile->m_Bytes = szNew;
  } else {
    sim::AddFile(*pFiles, szAbsolute.substr(3), false, false, szNew);
  }
  machine.m_ProfileWrites.push_back({szAbsolute, szSection, szKey});
  return true;
}

void Pause(std::uint32_t nMilliseconds) { sim::Spend(sim::CurrentMachine(), nMilliseconds); }

FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_Other);
  machine.m_FirmwareProbes.push_back({szName, szGuid, nSize});
  if (machine.m_Firmware.m_Succeeds) return {nSize, 0};
  return {0, machine.m_Firmware.m_Error};
}

}  // namespace platform
