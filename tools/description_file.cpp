#include "tools/description_file.h"

#include "simulator/sim_view.h"
#include "tools/host.h"

bool ReadDescriptionFile(const std::string& szFile, std::string& szText,
                         std::string& szErrorLine) {
  std::string szWhy;
  szText.clear();
  if (!ReadHostFile(szFile, szText, szWhy, sim::kMaxDescriptionBytes)) {
    const std::string szHint = FileNameHint(szFile);
    // The system's sentence may end in a full stop, which the hint follows.
    if (!szHint.empty() && !szWhy.empty() && szWhy.back() == '.') szWhy.pop_back();
    szErrorLine = szFile + ": cannot read the file: " + szWhy + szHint;
    return false;
  }
  return true;
}

bool LoadDescriptionFile(const std::string& szFile, sim::SimMachine& machine,
                         std::string& szErrorLine) {
  std::string szText;
  return ReadDescriptionFile(szFile, szText, szErrorLine) &&
         sim::LoadMachineText(szFile, szText, machine, szErrorLine);
}

std::string FileNameHint(const std::string& szFile) {
  if (szFile.empty() || szFile.back() != '"') return {};
  const std::string szMeant = szFile.substr(0, szFile.size() - 1);
  return "; the name was read as [" + szFile + "], ending in a double quote: a backslash " +
         "before a closing quote escapes it, so \"" + szMeant + "\\\" gives " + szFile +
         "; leave the trailing backslash out (\"" + szMeant + "\") or double it (\"" + szMeant +
         "\\\\\")";
}
