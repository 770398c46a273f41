#include "tools/rebuilt_bcd.h"

#include "core/copy_efi.h"
#include "simulator/sim_view.h"

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
    sim::AddScriptFile(*pScript, RebuiltBootStore().substr(1));
    bAssumed = true;
  }
  return bAssumed;
}
