#include "tools/out_dir.h"

#include <filesystem>
#include <fstream>

using sim::ToUtf8;

namespace {

namespace fs = std::filesystem;

// A volume path that stays below its volume's folder: no root, no empty,
// "." or ".." component. The loader refuses such paths already; this holds
// for machines built any other way too.
bool StaysInside(const std::string& szRelative) {
  const fs::path path(szRelative);
  if (szRelative.empty() || path.has_root_path()) return false;
  for (const fs::path& part : path) {
    if (part.empty() || part == "." || part == "..") return false;
  }
  return true;
}

bool Fail(std::ostream& err, const fs::path& path, const std::string& szWhat) {
  err << "malvik-sim: --out: " << path.string() << ": " << szWhat << "\n";
  return false;
}

bool MakeFolders(const fs::path& path, std::ostream& err) {
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) return Fail(err, path, "cannot create the folder: " + ec.message());
  return true;
}

bool WriteBytes(const fs::path& path, const std::string& szBytes, std::ostream& err) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Fail(err, path, "cannot create the file");
  file.write(szBytes.data(), static_cast<std::streamsize>(szBytes.size()));
  file.close();
  if (!file) return Fail(err, path, "cannot write the file");
  return true;
}

}  // namespace

bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err) {
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    if (!volume.Readable()) continue;
    const fs::path root = fs::path(szDir) / ToUtf8(szLetter.substr(0, 1));
    if (!MakeFolders(root, err)) return false;
    for (const auto& [szKey, file] : volume.Files()->m_Entries) {
      std::string szRelative = ToUtf8(file.m_Path);
      for (char& c : szRelative) {
        if (c == '\\') c = '/';
      }
      const fs::path path = root / szRelative;
      if (!StaysInside(szRelative)) return Fail(err, path, "refused: outside " + szDir);
      if (file.m_Folder) {
        if (!MakeFolders(path, err)) return false;
      } else if (!MakeFolders(path.parent_path(), err) || !WriteBytes(path, file.m_Bytes, err)) {
        return false;
      }
    }
  }
  return true;
}
