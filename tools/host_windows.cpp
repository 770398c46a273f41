// The simulator's computer on Windows: file names are opened as UTF-16, text
// reaches a console as UTF-16 through WriteConsoleW (the console's code page
// is never changed: a changed one outlives the program), and --out follows
// no reparse point (symbolic link, junction, mount point) below its folder.
#include <algorithm>
#include <string>

#include "simulator/sim_view.h"
#include "platform/win32/windows_min.h"
#include "tools/host.h"
#include "tools/quoted_argument.h"
#include "tools/text_style.h"

const char kHostLinkWords[] = "a symbolic link, junction or other reparse point";
const char kHostProgramEnding[] = ".exe";

namespace {

// The longest piece handed to one WriteConsoleW or WriteFile call.
constexpr size_t kPieceChars = 16384;

std::wstring Wide(const std::string& sz) { return sim::FromUtf8(sz); }

// The system's words for an error code, without the line end they come with.
std::string ErrorText(DWORD nError) {
  wchar_t* pText = nullptr;
  const DWORD nChars = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, nError, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
  std::wstring szText = nChars > 0 && pText != nullptr ? std::wstring(pText, nChars) : L"";
  LocalFree(pText);
  while (!szText.empty() && (szText.back() == L'\n' || szText.back() == L'\r' ||
                             szText.back() == L' ')) {
    szText.pop_back();
  }
  return szText.empty() ? "error " + std::to_string(nError) : sim::ToUtf8(szText);
}

std::string LastErrorText() { return ErrorText(GetLastError()); }

// A handle, closed when it goes.
struct Handle {
  HANDLE m_h = INVALID_HANDLE_VALUE;
  explicit Handle(HANDLE h) : m_h(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
  }
};

bool WriteBytes(HANDLE h, const std::string& szBytes) {
  for (size_t nDone = 0; nDone < szBytes.size();) {
    const auto nPiece = static_cast<DWORD>(std::min(szBytes.size() - nDone, kPieceChars));
    DWORD nWritten = 0;
    if (!WriteFile(h, szBytes.data() + nDone, nPiece, &nWritten, nullptr) || nWritten == 0) {
      return false;
    }
    nDone += nWritten;
  }
  return true;
}

bool WriteConsoleText(HANDLE h, const std::string& szText) {
  const std::wstring szWide = Wide(szText);
  for (size_t nDone = 0; nDone < szWide.size();) {
    size_t nPiece = std::min(szWide.size() - nDone, kPieceChars);
    // A surrogate pair stays in one piece.
    const wchar_t cLast = szWide[nDone + nPiece - 1];
    if (nDone + nPiece < szWide.size() && cLast >= 0xD800 && cLast <= 0xDBFF) --nPiece;
    DWORD nWritten = 0;
    if (!WriteConsoleW(h, szWide.data() + nDone, static_cast<DWORD>(nPiece), &nWritten,
                       nullptr) ||
        nWritten == 0) {
      return false;
    }
    nDone += nWritten;
  }
  return true;
}

bool EnvironmentHas(const wchar_t* szName, std::string& szValue) {
  const DWORD nChars = GetEnvironmentVariableW(szName, nullptr, 0);
  if (nChars == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;  // set, but empty
  std::wstring szWide(nChars, L'\0');
  const DWORD nGot = GetEnvironmentVariableW(szName, szWide.data(), nChars);
  szWide.resize(nGot < nChars ? nGot : 0);
  szValue = sim::ToUtf8(szWide);
  return true;
}

DWORD AttributesOf(const std::string& szPath) { return GetFileAttributesW(Wide(szPath).c_str()); }

// A folder opened for the walk below it; others may read and write in it,
// but not delete, move or replace it while it is held.
HANDLE OpenFolder(const std::string& szPath, DWORD nFlags) {
  return CreateFileW(Wide(szPath).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | nFlags, nullptr);
}

// What stops szPath from being made: a reparse point, or the system's reason.
HostMade FailMaking(const std::string& szPath, DWORD nError, std::string& szWhy) {
  if (IsHostLink(szPath)) return HostMade::kLink;
  szWhy = ErrorText(nError);
  return HostMade::kCannotCreate;
}

// A pipe's reading end, kept here, and its writing end, handed to the
// program started.
struct Pipe {
  HANDLE m_Read = INVALID_HANDLE_VALUE;
  HANDLE m_Write = INVALID_HANDLE_VALUE;
  Pipe() = default;
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  // Only the writing end is passed on to the program.
  bool Open() {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&m_Read, &m_Write, &inherited, 0)) {
      m_Read = m_Write = INVALID_HANDLE_VALUE;
      return false;
    }
    return SetHandleInformation(m_Read, HANDLE_FLAG_INHERIT, 0) != 0;
  }
  void CloseRead() {
    if (m_Read != INVALID_HANDLE_VALUE) CloseHandle(m_Read);
    m_Read = INVALID_HANDLE_VALUE;
  }
  void CloseWrite() {
    if (m_Write != INVALID_HANDLE_VALUE) CloseHandle(m_Write);
    m_Write = INVALID_HANDLE_VALUE;
  }
};

// A pipe read to its end into a text.
struct PipeReading {
  HANDLE m_Pipe;
  std::string* m_pText;
};

DWORD WINAPI ReadToEnd(void* pReading) {
  const PipeReading& reading = *static_cast<PipeReading*>(pReading);
  char buffer[65536];
  DWORD nRead = 0;
  while (ReadFile(reading.m_Pipe, buffer, sizeof buffer, &nRead, nullptr) && nRead > 0) {
    reading.m_pText->append(buffer, nRead);
  }
  return 0;
}

}  // namespace

HostRun RunHostProgram(const std::string& szProgram, const std::vector<std::string>& args) {
  HostRun run;
  Pipe out, err;
  if (!out.Open() || !err.Open()) {
    run.m_Why = "cannot make a pipe: " + LastErrorText();
    return run;
  }
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string szCommandLine = QuotedArgument(szProgram);
  for (const std::string& sz : args) {
    szCommandLine += ' ';
    szCommandLine += QuotedArgument(sz);
  }
  std::wstring szWideLine = Wide(szCommandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.m_h;
  startup.hStdOutput = out.m_Write;
  startup.hStdError = err.m_Write;
  PROCESS_INFORMATION process{};
  // No console: the program writes its standard error as UTF-8, not in a
  // console's code page.
  if (!CreateProcessW(Wide(szProgram).c_str(), szWideLine.data(), nullptr, nullptr, TRUE,
                      DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
    run.m_Why = LastErrorText();
    return run;
  }
  const Handle processHandle(process.hProcess);
  const Handle thread(process.hThread);
  // Only the program holds the writing ends now: its end is the pipes' end.
  out.CloseWrite();
  err.CloseWrite();
  PipeReading errReading{err.m_Read, &run.m_Stderr};
  const Handle reader(CreateThread(nullptr, 0, ReadToEnd, &errReading, 0, nullptr));
  if (reader.m_h == nullptr) {
    // Without a second reader, standard error goes unread rather than block.
    err.CloseRead();
  }
  PipeReading outReading{out.m_Read, &run.m_Stdout};
  ReadToEnd(&outReading);
  if (reader.m_h != nullptr) WaitForSingleObject(reader.m_h, INFINITE);
  DWORD nStatus = 0;
  if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &nStatus)) {
    run.m_Why = "cannot wait for its end: " + LastErrorText();
    return run;
  }
  run.m_Started = true;
  run.m_Status = static_cast<int>(nStatus);
  return run;
}

std::string HostProgramFolder() {
  std::wstring szPath(MAX_PATH, L'\0');
  for (;;) {
    const DWORD nChars =
        GetModuleFileNameW(nullptr, szPath.data(), static_cast<DWORD>(szPath.size()));
    if (nChars == 0) return {};
    if (nChars < szPath.size()) {
      szPath.resize(nChars);
      break;
    }
    szPath.resize(szPath.size() * 2);
  }
  const size_t nSlash = szPath.find_last_of(L"\\/");
  return nSlash == std::wstring::npos ? std::string() : sim::ToUtf8(szPath.substr(0, nSlash));
}

HostConsoleCodePages ReadHostConsoleCodePages() {
  return {GetConsoleCP(), GetConsoleOutputCP()};
}

HostFolder::~HostFolder() {
  if (m_Handle != -1) CloseHandle(reinterpret_cast<HANDLE>(m_Handle));
}

bool WriteHostText(bool bStandardError, const std::string& szText) {
  const HANDLE h = GetStdHandle(bStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (szText.empty()) return true;
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  DWORD nMode = 0;
  return GetConsoleMode(h, &nMode) ? WriteConsoleText(h, szText) : WriteBytes(h, szText);
}

bool HostOutputTakesColour() {
  const HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD nMode = 0;
  const bool bTerminal =
      GetConsoleMode(h, &nMode) && (nMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  std::string szNoColor, szTerm;
  const bool bNoColor = EnvironmentHas(L"NO_COLOR", szNoColor);
  const bool bTerm = EnvironmentHas(L"TERM", szTerm);
  return UseColour(bTerminal, bNoColor ? szNoColor.c_str() : nullptr,
                   bTerm ? szTerm.c_str() : nullptr);
}

bool ReadHostFile(const std::string& szPath, std::string& szBytes, std::string& szWhy,
                  size_t nMaxBytes) {
  const Handle file(CreateFileW(Wide(szPath).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.m_h == INVALID_HANDLE_VALUE) {
    szWhy = LastErrorText();
    return false;
  }
  char buffer[65536];
  while (szBytes.size() <= nMaxBytes) {
    const size_t nLeft = nMaxBytes - szBytes.size();  // one more byte shows it is past
    const size_t nWant = nLeft < sizeof buffer ? nLeft + 1 : sizeof buffer;
    DWORD nRead = 0;
    if (!ReadFile(file.m_h, buffer, static_cast<DWORD>(nWant), &nRead, nullptr)) {
      szWhy = LastErrorText();
      return false;
    }
    if (nRead == 0) return true;
    szBytes.append(buffer, nRead);
  }
  return true;
}

bool IsHostLink(const std::string& szPath) {
  const DWORD nAttributes = AttributesOf(szPath);
  return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool OpenHostFolder(const std::string& szPath, HostFolder& folder, std::string& szWhy) {
  folder.m_Path = szPath;
  const HANDLE h = OpenFolder(szPath, 0);
  if (h == INVALID_HANDLE_VALUE) {
    szWhy = LastErrorText();
    return false;
  }
  folder.m_Handle = reinterpret_cast<std::intptr_t>(h);
  return true;
}

HostMade OpenHostSubfolder(const HostFolder& parent, const std::string& szName,
                           HostFolder& folder, std::string& szWhy) {
  folder.m_Path = HostJoin(parent.m_Path, szName);
  if (!CreateDirectoryW(Wide(folder.m_Path).c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    return FailMaking(folder.m_Path, GetLastError(), szWhy);
  }
  // Opened as what stands there, not what it points to: a reparse point is
  // seen as one on the handle itself.
  const HANDLE h = OpenFolder(folder.m_Path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) return FailMaking(folder.m_Path, GetLastError(), szWhy);
  folder.m_Handle = reinterpret_cast<std::intptr_t>(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) {
    return FailMaking(folder.m_Path, GetLastError(), szWhy);
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return HostMade::kLink;
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    szWhy = ErrorText(ERROR_DIRECTORY);
    return HostMade::kCannotCreate;
  }
  return HostMade::kDone;
}

HostMade WriteNewHostFile(const HostFolder& parent, const std::string& szName,
                          const std::string& szBytes, std::string& szWhy) {
  const std::string szPath = HostJoin(parent.m_Path, szName);
  // CREATE_NEW: whatever stands there already, a reparse point too, fails.
  const Handle file(CreateFileW(Wide(szPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.m_h == INVALID_HANDLE_VALUE) return FailMaking(szPath, GetLastError(), szWhy);
  if (!WriteBytes(file.m_h, szBytes)) {
    szWhy = LastErrorText();
    return HostMade::kCannotWrite;
  }
  return HostMade::kDone;
}

HostMade ReplaceHostFile(const std::string& szPath, const std::string& szBytes,
                         std::string& szWhy) {
  if (IsHostLink(szPath)) return HostMade::kLink;
  // A name of this process's own beside the file; one left by a process
  // that died is passed over.
  std::wstring szTemp;
  HANDLE h = INVALID_HANDLE_VALUE;
  DWORD nError = 0;
  for (int n = 0; n < 100 && h == INVALID_HANDLE_VALUE; ++n) {
    szTemp = Wide(szPath + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(n));
    h = CreateFileW(szTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    nError = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (nError != 0 && nError != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    szWhy = ErrorText(nError);
    return HostMade::kCannotCreate;
  }
  bool bWritten = true;
  {
    const Handle file(h);
    bWritten = WriteBytes(file.m_h, szBytes);
    if (!bWritten) szWhy = LastErrorText();
  }
  // MOVEFILE_REPLACE_EXISTING replaces a link that stands there now, not
  // what it points to.
  if (bWritten && !MoveFileExW(szTemp.c_str(), Wide(szPath).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    szWhy = LastErrorText();
    bWritten = false;
  }
  if (!bWritten) DeleteFileW(szTemp.c_str());
  return bWritten ? HostMade::kDone : HostMade::kCannotWrite;
}
