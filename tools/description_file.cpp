#include "tools/description_file.h"

#include "platform/sim/sim_loader.h"
#include "tools/host.h"

bool LoadDescriptionFile(const std::string& szFile, sim::SimMachine& machine,
                         std::string& szErrorLine) {
  std::string szText, szWhy;
  if (!ReadHostFile(szFile, szText, szWhy, sim::kMaxDescriptionBytes)) {
    szErrorLine = szFile + ": $: cannot read the file: " + szWhy;
    return false;
  }
  return sim::LoadMachineText(szFile, szText, machine, szErrorLine);
}
