#include "tools/rebuilt_bcd.h"

#include "core/copy_efi.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_text.h"

bool AssumeRebuiltBcd(sim::SimMachine& machine) {
  bool bAssumed = false;
  for (const wchar_t* szName : {kPbrScript, kWinReScript}) {
    sim::SimScript* pScript = nullptr;
    for (auto& [szGiven, script] : machine.m_Scripts) {
      if (sim::UpperAscii(szGiven) == sim::UpperAscii(szName)) pScript = &script;
    }
    if (pScript == nullptr) pScript = &machine.m_Scripts[szName];
    if (!pScript->m_Creates.m_Entries.empty()) continue;
    // The volume's files are named below its root, without the leading "\".
    sim::AddFile(pScript->m_Creates, RebuiltBootStore().substr(1), false, true, "");
    bAssumed = true;
  }
  return bAssumed;
}
