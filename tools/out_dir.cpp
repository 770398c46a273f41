#include "tools/out_dir.h"

#include <filesystem>
#include <fstream>

using sim::ToUtf8;

bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    if (!volume.Readable()) continue;
    const fs::path root = fs::path(szDir) / ToUtf8(szLetter.substr(0, 1));
    fs::create_directories(root, ec);
    for (const auto& [szKey, file] : volume.Files()->m_Entries) {
      std::string szRelative = ToUtf8(file.m_Path);
      for (char& c : szRelative) {
        if (c == '\\') c = '/';
      }
      const fs::path path = root / szRelative;
      if (file.m_Folder) {
        fs::create_directories(path, ec);
      } else {
        fs::create_directories(path.parent_path(), ec);
        std::ofstream(path, std::ios::binary) << file.m_Bytes;
      }
    }
    if (ec) {
      err << "malvik-sim: cannot write below " << szDir << ": " << ec.message() << "\n";
      return false;
    }
  }
  return true;
}

