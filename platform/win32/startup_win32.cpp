// Framework start-up, the message box, standard output, the machine name and
// the program's own path on real Windows.
#include "platform/platform.h"

#include <cstdio>
#include <vector>

#include "platform/program_name.h"
#include "platform/win32/windows_min.h"

namespace platform {
namespace {

constexpr DWORD kFirstPathChars = MAX_PATH;
constexpr DWORD kMostPathChars = 32768;  // longest \\?\ path plus its terminator

struct Framework {
  std::wstring m_ProgramName;  // title of the program's message boxes
};

Framework& TheFramework() {
  static Framework framework;
  return framework;
}

}  // namespace

// Fails when the process has no module handle or the executable's name
// cannot be read, as then no message box could be titled.
bool InitFramework() {
  // GetErrorMode exists since Vista; SetErrorMode alone cannot read without writing.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (GetModuleHandleW(nullptr) == nullptr) return false;
  const std::wstring szName = ProgramNameFromPath(ReadProgramPath());
  if (szName.empty()) return false;
  TheFramework().m_ProgramName = szName;
  return true;
}

void ShowMessageBox(const std::wstring& szText) {
  std::wstring& szTitle = TheFramework().m_ProgramName;
  if (szTitle.empty()) szTitle = ProgramNameFromPath(ReadProgramPath());
  MessageBoxW(nullptr, szText.c_str(), szTitle.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// stdout stays in text mode: "\n" reaches the console as CR LF.
void WriteStdout(std::string_view szText) {
  if (!szText.empty()) std::fwrite(szText.data(), 1, szText.size(), stdout);
  std::fflush(stdout);
}

std::wstring GetMachineName() {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD nChars = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &nChars)) return {};
  return std::wstring(buffer, nChars < MAX_COMPUTERNAME_LENGTH ? nChars : MAX_COMPUTERNAME_LENGTH);
}

std::wstring ReadProgramPath() {
  std::vector<wchar_t> buffer;
  DWORD nChars = kFirstPathChars;
  for (;;) {
    buffer.assign(nChars, L'\0');
    const DWORD nCopied = GetModuleFileNameW(nullptr, buffer.data(), nChars);
    if (nCopied == 0) return {};
    // A path that does not fit comes back truncated with the full buffer
    // count (and ERROR_INSUFFICIENT_BUFFER since Vista, null-terminated).
    if (nCopied < nChars) return std::wstring(buffer.data(), nCopied);
    if (nChars == kMostPathChars) return {};
    nChars = nChars * 2 < kMostPathChars ? nChars * 2 : kMostPathChars;
  }
}

std::wstring ReadWindowsFolder() {
  // The system's own folder, not a terminal-server user's private one
  // (GetWindowsDirectoryW). The result counts the terminator only when the
  // buffer was too small.
  std::vector<wchar_t> buffer(kFirstPathChars, L'\0');
  for (;;) {
    const UINT nChars =
        GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (nChars == 0 || nChars > kMostPathChars) return {};
    if (nChars < buffer.size()) return std::wstring(buffer.data(), nChars);
    buffer.assign(nChars, L'\0');
  }
}

}  // namespace platform
