#include "tools/sim_outcome.h"

#include <set>

#include "core/copy_efi.h"
#include "core/efi_batch.h"
#include "simulator/sim_view.h"
#include "support/log.h"

namespace {

std::wstring ProgramFolder(const sim::SimMachine& machine) {
  const size_t slash = machine.m_Program.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : machine.m_Program.substr(0, slash + 1);
}

// The log lines this run wrote, in file order.
std::vector<LogLine> RunLogLines(const sim::SimMachine& machine, const std::wstring& szLogFile,
                                 const sim::SimFile* pLog) {
  std::vector<LogLine> lines;
  if (pLog == nullptr) return lines;
  std::set<std::wstring> written;
  for (const sim::SimProfileWrite& write : machine.m_ProfileWrites) {
    if (sim::UpperAscii(write.m_File) == sim::UpperAscii(szLogFile)) {
      written.insert(sim::UpperAscii(write.m_Key));
    }
  }
  for (const sim::IniEntry& entry : sim::ParseIni(sim::FromUtf8(pLog->m_Bytes))) {
    if (sim::UpperAscii(entry.m_Section) == sim::UpperAscii(kLogSection) &&
        written.count(sim::UpperAscii(entry.m_Key))) {
      lines.push_back({entry.m_Key, entry.m_Value});
    }
  }
  return lines;
}

std::vector<Drive> DrivesAfter(sim::SimMachine& machine,
                               const std::map<std::wstring, std::vector<std::wstring>>& before) {
  std::vector<Drive> drives;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (stack.empty()) continue;
    auto it = before.find(szLetter);
    const bool bExisted = it != before.end() && !it->second.empty();
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    drives.push_back({szLetter, stack, volume.Readable() ? volume.Label() : L"",
                      !bExisted                           ? "new"
                      : it->second.front() != stack.front() ? "moved"
                                                          : "unchanged"});
  }
  for (const auto& [szLetter, stack] : before) {
    auto it = machine.m_DosDevices.find(szLetter);
    if (!stack.empty() && (it == machine.m_DosDevices.end() || it->second.empty())) {
      drives.push_back({szLetter, {}, L"", "removed"});
    }
  }
  return drives;
}

}  // namespace

void CollectOutcome(sim::SimMachine& machine, const DosDeviceTable& before, Outcome& outcome) {
  const std::wstring szFolder = ProgramFolder(machine);
  outcome.m_LogFile = szFolder + kLogFile;
  outcome.m_pLog = sim::FindFile(machine, outcome.m_LogFile);
  outcome.m_pBatch = sim::FindFile(machine, szFolder + kBatchName);
  if (outcome.m_pBatch != nullptr) {
    outcome.m_BatchCodePage = ChooseBatchCodePage({machine.m_ConsoleInputCodePage,
                                                   machine.m_ConsoleOutputCodePage,
                                                   machine.m_OemCodePage})
                                  .m_CodePage;
    if (!sim::DecodeInCodePage(outcome.m_BatchCodePage, outcome.m_pBatch->m_Bytes,
                               &outcome.m_BatchText)) {
      outcome.m_BatchText = sim::FromUtf8(outcome.m_pBatch->m_Bytes);
    }
  }
  outcome.m_Log = RunLogLines(machine, outcome.m_LogFile, outcome.m_pLog);
  outcome.m_Drives = DrivesAfter(machine, before);
}
