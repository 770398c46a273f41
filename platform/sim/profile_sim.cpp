// Profile (INI) files on the simulated machine: the file's text is edited
// as the profile writer edits it, and each write is recorded for the report.
#include "platform/platform.h"

#include <utility>

#include "simulator/ini_text.h"
#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"
#include "platform/utf8.h"
#include "platform/win32_codes.h"

namespace platform {

CallResult WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                             const std::wstring& szValue, const std::wstring& szFile) {
  sim::SimMachine& machine = sim::CurrentMachine();
  sim::Spend(machine, machine.m_Costs.m_ProfileWrite);
  if (machine.m_Faults.m_ProfileWriteFail) return {false, kERROR_ACCESS_DENIED};
  const std::wstring szAbsolute = sim::AbsolutePath(machine, szFile);
  sim::SimVolumeFiles* pFiles = sim::FilesOf(machine, szAbsolute);
  if (pFiles == nullptr || !sim::ParentFolderExists(machine, szAbsolute)) {
    return {false, kERROR_PATH_NOT_FOUND};
  }
  sim::SimFile* pFile = sim::FindFile(machine, szAbsolute);
  if (pFile != nullptr && pFile->m_Folder) return {false, kERROR_ACCESS_DENIED};
  const std::string szNone;
  const std::string& szOld = pFile != nullptr ? pFile->m_Bytes : szNone;
  // The file is read as UTF-8 and written back so. Text that reads back to
  // its own bytes, with names that are whole characters, is edited as it
  // is, which compares the same names; anything else goes through wide text.
  std::string szNew;
  if (sim::IsRoundTripUtf8(szOld) && platform::IsWholeText(szSection) &&
      platform::IsWholeText(szKey)) {
    szNew = sim::SetIniValueUtf8(szOld, sim::ToUtf8(szSection), sim::ToUtf8(szKey),
                                 sim::ToUtf8(szValue));
  } else {
    szNew = sim::ToUtf8(sim::SetIniValue(sim::FromUtf8(szOld), szSection, szKey, szValue));
  }
  if (pFile != nullptr) {
    pFile->m_Bytes = std::move(szNew);
  } else {
    sim::AddFile(*pFiles, szAbsolute.substr(3), false, false, szNew);
  }
  machine.m_ProfileWrites.push_back({szAbsolute, szSection, szKey});
  return {true, 0};
}

}  // namespace platform
