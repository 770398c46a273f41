#include "tools/out_dir.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "tools/host.h"

using sim::ToUtf8;

namespace {

namespace fs = std::filesystem;

const std::string kLinkRefused =
    std::string("refused: ") + kHostLinkWords + ", which --out never follows";

// A volume path that stays below its volume's folder: no root, no empty,
// "." or ".." component. The loader refuses such paths already; this holds
// for machines built any other way too.
bool StaysInside(const std::string& szRelative) {
  const fs::path path = HostPath(szRelative);
  if (szRelative.empty() || path.has_root_path()) return false;
  for (const fs::path& part : path) {
    if (part.empty() || part == "." || part == "..") return false;
  }
  return true;
}

bool Fail(std::ostream& err, const std::string& szPath, const std::string& szWhat) {
  err << "malvik-sim: --out: " << szPath << ": " << szWhat << "\n";
  return false;
}

// The words for what the host could not do with a folder or file.
bool FailMade(std::ostream& err, const std::string& szPath, HostMade made, const char* szWhat,
              const std::string& szWhy) {
  if (made == HostMade::kLink) return Fail(err, szPath, kLinkRefused);
  const char* szDoing = made == HostMade::kCannotWrite ? "cannot write the " : "cannot create the ";
  return Fail(err, szPath, szDoing + std::string(szWhat) + ": " + szWhy);
}

// The folder szName in `parent`, made when missing and opened without
// following a link; false after reporting why not.
bool OpenFolder(const HostFolder& parent, const std::string& szName, HostFolder& folder,
                std::ostream& err) {
  std::string szWhy;
  const HostMade made = OpenHostSubfolder(parent, szName, folder, szWhy);
  return made == HostMade::kDone || FailMade(err, folder.m_Path, made, "folder", szWhy);
}

// Makes the folders of `parts` in turn below `root`, and the last one too
// when bLastIsFolder; otherwise writes the bytes as the last.
bool WriteEntry(const HostFolder& root, const std::vector<std::string>& parts, bool bLastIsFolder,
                const std::string& szBytes, std::ostream& err) {
  std::vector<std::unique_ptr<HostFolder>> opened;  // closed when done
  const HostFolder* pParent = &root;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i + 1 == parts.size() && !bLastIsFolder) {
      std::string szWhy;
      const HostMade made = WriteNewHostFile(*pParent, parts[i], szBytes, szWhy);
      return made == HostMade::kDone ||
             FailMade(err, HostJoin(pParent->m_Path, parts[i]), made, "file", szWhy);
    }
    opened.push_back(std::make_unique<HostFolder>());
    if (!OpenFolder(*pParent, parts[i], *opened.back(), err)) return false;
    pParent = opened.back().get();
  }
  return true;
}

std::vector<std::string> PartsOf(const std::string& szRelative) {
  std::vector<std::string> parts;
  for (const fs::path& part : HostPath(szRelative)) parts.push_back(HostPathText(part));
  return parts;
}

}  // namespace

bool PrepareOutDir(const std::string& szDir, std::ostream& err) {
  const fs::path dir = HostPath(szDir);
  std::error_code ec;
  if (IsHostLink(szDir) && !fs::exists(dir, ec)) {
    return Fail(err, szDir, "a symbolic link to nothing; name a folder");
  }
  if (!fs::exists(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) return Fail(err, szDir, "cannot create the folder: " + ec.message());
  }
  if (!fs::is_directory(dir, ec)) return Fail(err, szDir, "not a folder");
  // The walk stops at the first link it meets, before it could follow it,
  // and names it.
  std::vector<std::string> names;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    const std::string szPath = HostPathText(it->path());
    if (IsHostLink(szPath)) return Fail(err, szPath, kLinkRefused);
    if (it.depth() == 0) names.push_back(HostPathText(it->path().filename()));
  }
  if (ec) return Fail(err, szDir, "cannot read the folder: " + ec.message());
  if (names.empty()) return true;
  std::sort(names.begin(), names.end());
  return Fail(err, szDir,
              "refused: the folder is not empty (it holds " + names.front() +
                  "); --out writes only into a new or empty folder, so that no earlier run's "
                  "files mix with this run's");
}

bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err) {
  if (!PrepareOutDir(szDir, err)) return false;
  HostFolder dir;
  std::string szWhy;
  if (!OpenHostFolder(szDir, dir, szWhy)) {
    return Fail(err, szDir, "cannot open the folder: " + szWhy);
  }
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    if (!volume.Readable()) continue;
    HostFolder root;
    if (!OpenFolder(dir, ToUtf8(szLetter.substr(0, 1)), root, err)) return false;
    for (const auto& [szKey, file] : volume.Files()->m_Entries) {
      std::string szRelative = ToUtf8(file.m_Path);
      for (char& c : szRelative) {
        if (c == '\\') c = '/';
      }
      if (!StaysInside(szRelative)) {
        return Fail(err, HostJoin(root.m_Path, szRelative), "refused: outside " + szDir);
      }
      if (!WriteEntry(root, PartsOf(szRelative), file.m_Folder, file.m_Bytes, err)) {
        return false;
      }
    }
  }
  return true;
}
