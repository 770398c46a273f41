// Start-up, console, clock, program path, profile files, folders and the
// firmware probe on real Windows.
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

// Paths from this length on need the \\?\ form for the folder calls.
constexpr size_t kLongFolderChars = MAX_PATH - 12;

// "C:\..." as "\\?\C:\..." when it is too long for the plain form.
std::wstring LongForm(const std::wstring& szPath) {
  const bool bDrive = szPath.size() > 2 && szPath[1] == L':' && szPath[2] == L'\\';
  return bDrive && szPath.size() >= kLongFolderChars ? L"\\\\?\\" + szPath : szPath;
}

// The profile writer takes names shorter than MAX_PATH only (Wine even
// reports success for a longer one and writes nothing), so a longer file is
// named through the short form of its folder, which must exist. Empty when
// there is no such form.
std::wstring ProfileFileName(const std::wstring& szFile) {
  if (szFile.size() < MAX_PATH) return szFile;
  const size_t nSlash = szFile.find_last_of(L"\\/");
  if (nSlash == std::wstring::npos) return {};
  const std::wstring szFolder = LongForm(szFile.substr(0, nSlash));
  std::vector<wchar_t> buffer(kMostPathChars, L'\0');
  const DWORD nChars = GetShortPathNameW(szFolder.c_str(), buffer.data(), kMostPathChars);
  if (nChars == 0 || nChars >= kMostPathChars) return {};
  std::wstring szShort(buffer.data(), nChars);
  if (szShort.rfind(L"\\\\?\\", 0) == 0) szShort.erase(0, 4);
  szShort += szFile.substr(nSlash);
  return szShort.size() < MAX_PATH ? szShort : std::wstring();
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

LocalTime ReadLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime time;
  time.m_Year = now.wYear;
  time.m_Month = now.wMonth;
  time.m_Day = now.wDay;
  time.m_Hour = now.wHour;
  time.m_Minute = now.wMinute;
  time.m_Second = now.wSecond;
  time.m_Milliseconds = now.wMilliseconds;
  return time;
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

bool WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                       const std::wstring& szValue, const std::wstring& szFile) {
  const std::wstring szName = ProfileFileName(szFile);
  if (szName.empty()) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return WritePrivateProfileStringW(szSection.c_str(), szKey.c_str(), szValue.c_str(),
                                    szName.c_str()) != 0;
}

bool CreateFolder(const std::wstring& szPath) {
  return CreateDirectoryW(LongForm(szPath).c_str(), nullptr) != 0;
}

void Pause(std::uint32_t nMilliseconds) { Sleep(nMilliseconds); }

FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize) {
  std::vector<wchar_t> buffer(nSize, L'\0');
  FirmwareVariableResult result;
  // nSize counts bytes for the API; the buffer has twice that, so it can never overrun.
  // Without firmware variables (legacy BIOS) this fails with ERROR_INVALID_FUNCTION.
  result.m_BytesStored =
      GetFirmwareEnvironmentVariableW(szName.c_str(), szGuid.c_str(), buffer.data(), nSize);
  if (result.m_BytesStored == 0) result.m_LastError = GetLastError();
  return result;
}

}  // namespace platform
