#include "tools/out_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

using sim::ToUtf8;

namespace {

namespace fs = std::filesystem;

const char kLinkRefused[] = "refused: a symbolic link, which --out never follows";

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

// A file descriptor, closed when it goes.
struct Descriptor {
  int m_Fd = -1;
  explicit Descriptor(int nFd) : m_Fd(nFd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (m_Fd >= 0) close(m_Fd);
  }
};

bool IsLink(int nParent, const std::string& szName) {
  struct stat status {};
  return fstatat(nParent, szName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(status.st_mode);
}

// What stops szName in nParent from being made: a link, or the system's
// reason nError.
bool FailMaking(int nParent, const std::string& szName, int nError, const fs::path& path,
                const char* szWhat, std::ostream& err) {
  if (IsLink(nParent, szName)) return Fail(err, path, kLinkRefused);
  return Fail(err, path, std::string("cannot create the ") + szWhat + ": " + std::strerror(nError));
}

// The folder szName in nParent, made when missing and opened without
// following a link, or -1 after reporting why not.
int OpenFolder(int nParent, const std::string& szName, const fs::path& path, std::ostream& err) {
  if (mkdirat(nParent, szName.c_str(), 0777) != 0 && errno != EEXIST) {
    FailMaking(nParent, szName, errno, path, "folder", err);
    return -1;
  }
  const int nFd = openat(nParent, szName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (nFd < 0) FailMaking(nParent, szName, errno, path, "folder", err);
  return nFd;
}

// A new file szName in nParent holding the bytes; nothing that stands there
// already is opened, a link least of all.
bool WriteNewFile(int nParent, const std::string& szName, const std::string& szBytes,
                  const fs::path& path, std::ostream& err) {
  const int nFd =
      openat(nParent, szName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (nFd < 0) return FailMaking(nParent, szName, errno, path, "file", err);
  const Descriptor file(nFd);  // closed on every way out
  for (size_t nDone = 0; nDone < szBytes.size();) {
    const ssize_t nWritten = write(nFd, szBytes.data() + nDone, szBytes.size() - nDone);
    if (nWritten < 0 && errno == EINTR) continue;
    if (nWritten <= 0) {
      return Fail(err, path, std::string("cannot write the file: ") + std::strerror(errno));
    }
    nDone += static_cast<size_t>(nWritten);
  }
  return true;
}

// Makes the folders of `parts` in turn below nRoot (shown as `root`), and the
// last one too when bLastIsFolder; otherwise writes the bytes as the last.
bool WriteEntry(int nRoot, const fs::path& root, const std::vector<std::string>& parts,
                bool bLastIsFolder, const std::string& szBytes, std::ostream& err) {
  std::vector<std::unique_ptr<Descriptor>> opened;  // closed when done
  int nParent = nRoot;
  fs::path path = root;
  for (size_t i = 0; i < parts.size(); ++i) {
    path /= parts[i];
    if (i + 1 == parts.size() && !bLastIsFolder) {
      return WriteNewFile(nParent, parts[i], szBytes, path, err);
    }
    const int nFd = OpenFolder(nParent, parts[i], path, err);
    if (nFd < 0) return false;
    opened.push_back(std::make_unique<Descriptor>(nFd));
    nParent = nFd;
  }
  return true;
}

std::vector<std::string> PartsOf(const std::string& szRelative) {
  std::vector<std::string> parts;
  for (const fs::path& part : fs::path(szRelative)) parts.push_back(part.string());
  return parts;
}

}  // namespace

bool PrepareOutDir(const std::string& szDir, std::ostream& err) {
  const fs::path dir(szDir);
  std::error_code ec;
  if (fs::is_symlink(dir, ec) && !fs::exists(dir, ec)) {
    return Fail(err, dir, "a symbolic link to nothing; name a folder");
  }
  if (!fs::exists(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) return Fail(err, dir, "cannot create the folder: " + ec.message());
  }
  if (!fs::is_directory(dir, ec)) return Fail(err, dir, "not a folder");
  // The walk does not follow links; the first one it meets is named.
  std::vector<std::string> names;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_symlink(ec)) return Fail(err, it->path(), kLinkRefused);
    if (it.depth() == 0) names.push_back(it->path().filename().string());
  }
  if (ec) return Fail(err, dir, "cannot read the folder: " + ec.message());
  if (names.empty()) return true;
  std::sort(names.begin(), names.end());
  return Fail(err, dir,
              "refused: the folder is not empty (it holds " + names.front() +
                  "); --out writes only into a new or empty folder, so that no earlier run's "
                  "files mix with this run's");
}

bool WriteOutDir(sim::SimMachine& machine, const std::string& szDir, std::ostream& err) {
  if (!PrepareOutDir(szDir, err)) return false;
  const Descriptor dir(open(szDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.m_Fd < 0) {
    return Fail(err, szDir, std::string("cannot open the folder: ") + std::strerror(errno));
  }
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
    if (!volume.Readable()) continue;
    const std::string szName = ToUtf8(szLetter.substr(0, 1));
    const fs::path root = fs::path(szDir) / szName;
    const int nRoot = OpenFolder(dir.m_Fd, szName, root, err);
    if (nRoot < 0) return false;
    const Descriptor rootFolder(nRoot);
    for (const auto& [szKey, file] : volume.Files()->m_Entries) {
      std::string szRelative = ToUtf8(file.m_Path);
      for (char& c : szRelative) {
        if (c == '\\') c = '/';
      }
      if (!StaysInside(szRelative)) {
        return Fail(err, root / szRelative, "refused: outside " + szDir);
      }
      if (!WriteEntry(nRoot, root, PartsOf(szRelative), file.m_Folder, file.m_Bytes, err)) {
        return false;
      }
    }
  }
  return true;
}
