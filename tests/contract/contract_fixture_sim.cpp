// The contract's situation on the simulated machine: a fresh machine per
// case with drive T: as a labelled volume of its own.
#include <memory>

#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "tests/contract/contract_fixture.h"

namespace contract {
namespace {

std::unique_ptr<sim::SimMachine> g_pMachine;
std::unique_ptr<sim::ScopedSimMachine> g_pInstalled;

sim::SimVolumeFiles& FilesOf(const std::wstring& szPath) {
  return *sim::FindVolumeByLetter(*g_pMachine, szPath.substr(0, 2)).Files();
}

std::wstring Rest(const std::wstring& szPath) {
  std::wstring szLetter, szRest;
  sim::SplitAbsolute(sim::AbsolutePath(*g_pMachine, szPath), szLetter, szRest);
  return szRest;
}

}  // namespace

bool OnWine() { return false; }

void EndCase() {
  g_pInstalled.reset();
  g_pMachine.reset();
}

void BeginCase() {
  EndCase();
  g_pMachine = std::make_unique<sim::SimMachine>();
  g_pMachine->m_Program = L"C:\\Tools\\contract-tests.exe";
  g_pMachine->m_Drives[kDrive].m_Label = kLabel;
  sim::PrepareMachine(*g_pMachine);
  g_pInstalled = std::make_unique<sim::ScopedSimMachine>(*g_pMachine);
}

void PutFile(const std::wstring& szPath, const std::string& szBytes) {
  sim::AddFile(FilesOf(szPath), Rest(szPath), false, false, szBytes);
}

void PutHiddenFile(const std::wstring& szPath, const std::string& szBytes) {
  sim::AddFile(FilesOf(szPath), Rest(szPath), false, true, szBytes);
}

void PutReadOnlyFile(const std::wstring& szPath, const std::string& szBytes) {
  sim::AddFile(FilesOf(szPath), Rest(szPath), false, false, szBytes);
  sim::FindFile(*g_pMachine, szPath)->m_ReadOnly = true;
}

void PutFolder(const std::wstring& szPath) {
  sim::AddFile(FilesOf(szPath), Rest(szPath), true, false, "");
}

std::optional<std::string> ReadFileBytes(const std::wstring& szPath) {
  const sim::SimFile* pFile = sim::FindFile(*g_pMachine, szPath);
  if (pFile == nullptr || pFile->m_Folder) return std::nullopt;
  return pFile->m_Bytes;
}

void PutScript(const std::wstring& szPath, std::uint32_t nExitCode) {
  PutFile(szPath, "@exit /b " + std::to_string(nExitCode) + "\r\n");
  g_pMachine->m_Scripts[szPath.substr(szPath.find_last_of(L'\\') + 1)].m_ExitCode = nExitCode;
}

bool FolderExists(const std::wstring& szPath) {
  const sim::SimFile* pFile = sim::FindFile(*g_pMachine, szPath);
  return pFile != nullptr && pFile->m_Folder;
}

}  // namespace contract
