// The simulator's computer on Linux: file names are bytes (UTF-8), folders
// of --out are descriptors, and nothing below them is reached through a link.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/host.h"
#include "tools/text_style.h"

const char kHostLinkWords[] = "a symbolic link";
const char kHostProgramEnding[] = "";

extern char** environ;

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

// A pipe's two ends, closed when it goes.
struct Pipe {
  int m_Ends[2] = {-1, -1};
  Pipe() = default;
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    for (const int nFd : m_Ends) {
      if (nFd >= 0) close(nFd);
    }
  }
  bool Open() { return pipe2(m_Ends, O_CLOEXEC) == 0; }
  void CloseWriteEnd() {
    close(m_Ends[1]);
    m_Ends[1] = -1;
  }
};

// Reads both pipes until each is at its end, whichever has something first.
void ReadBoth(int nOut, int nErr, std::string& szOut, std::string& szErr) {
  pollfd fds[2] = {{nOut, POLLIN, 0}, {nErr, POLLIN, 0}};
  std::string* texts[2] = {&szOut, &szErr};
  char buffer[65536];
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t nRead = read(fds[i].fd, buffer, sizeof buffer);
      if (nRead < 0 && errno == EINTR) continue;
      if (nRead <= 0) {
        fds[i].fd = -1;  // poll passes over a negative descriptor
      } else {
        texts[i]->append(buffer, static_cast<size_t>(nRead));
      }
    }
  }
}

}  // namespace

HostRun RunHostProgram(const std::string& szProgram, const std::vector<std::string>& args) {
  HostRun run;
  Pipe out, err;
  if (!out.Open() || !err.Open()) {
    run.m_Why = std::string("cannot make a pipe: ") + std::strerror(errno);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.m_Ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.m_Ends[1], STDERR_FILENO);
  std::vector<char*> argv = {const_cast<char*>(szProgram.c_str())};
  for (const std::string& sz : args) argv.push_back(const_cast<char*>(sz.c_str()));
  argv.push_back(nullptr);
  pid_t nPid = 0;
  const int nError =
      posix_spawn(&nPid, szProgram.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (nError != 0) {
    run.m_Why = std::strerror(nError);
    return run;
  }
  // Only the program holds the write ends now: its end is the pipes' end.
  out.CloseWriteEnd();
  err.CloseWriteEnd();
  ReadBoth(out.m_Ends[0], err.m_Ends[0], run.m_Stdout, run.m_Stderr);
  int nWaited = 0;
  while (waitpid(nPid, &nWaited, 0) < 0) {
    if (errno != EINTR) {
      run.m_Why = std::string("cannot wait for its end: ") + std::strerror(errno);
      return run;
    }
  }
  if (!WIFEXITED(nWaited)) {
    run.m_Why = "it was ended by signal " + std::to_string(WTERMSIG(nWaited));
    return run;
  }
  run.m_Started = true;
  run.m_Status = WEXITSTATUS(nWaited);
  return run;
}

std::string HostProgramFolder() {
  char buffer[4096];
  const ssize_t nChars = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (nChars <= 0 || static_cast<size_t>(nChars) >= sizeof buffer) return {};
  return HostPathText(HostPath(std::string(buffer, static_cast<size_t>(nChars))).parent_path());
}

HostConsoleCodePages ReadHostConsoleCodePages() { return {}; }

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

bool ReadHostFile(const std::string& szPath, std::string& szBytes, std::string& szWhy,
                  size_t nMaxBytes) {
  // Opened without waiting for a pipe's writer; reads wait again after.
  const Descriptor file(open(szPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  const int nFlags = file.m_Fd < 0 ? -1 : fcntl(file.m_Fd, F_GETFL);
  if (nFlags < 0 || fcntl(file.m_Fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
    szWhy = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  while (szBytes.size() <= nMaxBytes) {
    const size_t nLeft = nMaxBytes - szBytes.size();  // one more byte shows it is past
    const size_t nWant = nLeft < sizeof buffer ? nLeft + 1 : sizeof buffer;
    const ssize_t nRead = read(file.m_Fd, buffer, nWant);
    if (nRead < 0 && errno == EINTR) continue;
    if (nRead < 0) {
      szWhy = std::strerror(errno);
      return false;
    }
    if (nRead == 0) break;
    szBytes.append(buffer, static_cast<size_t>(nRead));
  }
  szWhy.clear();
  return true;
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

HostMade ReplaceHostFile(const std::string& szPath, const std::string& szBytes,
                         std::string& szWhy) {
  if (IsHostLink(szPath)) return HostMade::kLink;
  // A name of this process's own beside the file; one left by a process
  // that died is passed over.
  std::string szTemp;
  int nFd = -1;
  for (int n = 0; n < 100 && nFd < 0; ++n) {
    szTemp = szPath + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(n);
    nFd = open(szTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (nFd < 0 && errno != EEXIST) break;
  }
  if (nFd < 0) {
    szWhy = std::strerror(errno);
    return HostMade::kCannotCreate;
  }
  bool bWritten = true;
  {
    const Descriptor file(nFd);
    for (size_t nDone = 0; nDone < szBytes.size() && bWritten;) {
      const ssize_t nWritten = write(nFd, szBytes.data() + nDone, szBytes.size() - nDone);
      if (nWritten < 0 && errno == EINTR) continue;
      bWritten = nWritten > 0;
      if (bWritten) nDone += static_cast<size_t>(nWritten);
    }
    if (!bWritten) szWhy = std::strerror(errno);
  }
  if (bWritten && rename(szTemp.c_str(), szPath.c_str()) != 0) {
    szWhy = std::strerror(errno);
    bWritten = false;
  }
  if (!bWritten) unlink(szTemp.c_str());
  return bWritten ? HostMade::kDone : HostMade::kCannotWrite;
}
