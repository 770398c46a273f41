// The simulator's computer on Linux: file names are bytes (UTF-8), folders
// of --out are descriptors, and nothing below them is reached through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/host.h"
#include "tools/text_style.h"

const char kHostLinkWords[] = "a symbolic link";

namespace {

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

bool IsLinkIn(int nParent, const std::string& szName) {
  struct stat status {};
  return fstatat(nParent, szName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(status.st_mode);
}

// What stops szName in nParent from being made: a link, or the system's
// reason nError.
HostMade FailMaking(int nParent, const std::string& szName, int nError, std::string& szWhy) {
  if (IsLinkIn(nParent, szName)) return HostMade::kLink;
  szWhy = std::strerror(nError);
  return HostMade::kCannotCreate;
}

}  // namespace

HostFolder::~HostFolder() {
  if (m_Handle >= 0) close(static_cast<int>(m_Handle));
}

bool WriteHostText(bool bStandardError, const std::string& szText) {
  std::FILE* pStream = bStandardError ? stderr : stdout;
  return std::fwrite(szText.data(), 1, szText.size(), pStream) == szText.size() &&
         std::fflush(pStream) == 0;
}

bool HostOutputTakesColour() {
  return UseColour(isatty(STDOUT_FILENO) != 0, std::getenv("NO_COLOR"), std::getenv("TERM"));
}

bool ReadHostFile(const std::string& szPath, std::string& szBytes, std::string& szWhy) {
  std::FILE* pFile = std::fopen(szPath.c_str(), "rb");
  if (pFile == nullptr) {
    szWhy = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pFile)) > 0;) szBytes.append(buffer, n);
  const bool bFailed = std::ferror(pFile) != 0;
  szWhy = bFailed ? std::strerror(errno) : "";
  std::fclose(pFile);
  return !bFailed;
}

bool IsHostLink(const std::string& szPath) {
  struct stat status {};
  return lstat(szPath.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool OpenHostFolder(const std::string& szPath, HostFolder& folder, std::string& szWhy) {
  folder.m_Path = szPath;
  folder.m_Handle = open(szPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder.m_Handle < 0) szWhy = std::strerror(errno);
  return folder.m_Handle >= 0;
}

HostMade OpenHostSubfolder(const HostFolder& parent, const std::string& szName,
                           HostFolder& folder, std::string& szWhy) {
  const int nParent = static_cast<int>(parent.m_Handle);
  folder.m_Path = HostJoin(parent.m_Path, szName);
  if (mkdirat(nParent, szName.c_str(), 0777) != 0 && errno != EEXIST) {
    return FailMaking(nParent, szName, errno, szWhy);
  }
  folder.m_Handle =
      openat(nParent, szName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder.m_Handle < 0) return FailMaking(nParent, szName, errno, szWhy);
  return HostMade::kDone;
}

HostMade WriteNewHostFile(const HostFolder& parent, const std::string& szName,
                          const std::string& szBytes, std::string& szWhy) {
  const int nParent = static_cast<int>(parent.m_Handle);
  const int nFd =
      openat(nParent, szName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (nFd < 0) return FailMaking(nParent, szName, errno, szWhy);
  const Descriptor file(nFd);  // closed on every way out
  for (size_t nDone = 0; nDone < szBytes.size();) {
    const ssize_t nWritten = write(nFd, szBytes.data() + nDone, szBytes.size() - nDone);
    if (nWritten < 0 && errno == EINTR) continue;
    if (nWritten <= 0) {
      szWhy = std::strerror(errno);
      return HostMade::kCannotWrite;
    }
    nDone += static_cast<size_t>(nWritten);
  }
  return HostMade::kDone;
}
