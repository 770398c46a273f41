#include "support/log.h"

#include "platform/ascii.h"

namespace {

// Decimal, right-aligned in a field of nWidth, padded with spaces; a wider
// number fills more than its field.
std::wstring Pad(int nValue, size_t nWidth) {
  std::wstring sz;
  platform::AppendDecimal(sz, nValue);
  if (sz.size() < nWidth) sz.insert(0, nWidth - sz.size(), L' ');
  return sz;
}

}  // namespace

std::wstring FormatTimeStamp(const platform::LocalTime& time) {
  return Pad(time.m_Year, 2) + L"/" + Pad(time.m_Month, 2) + L"/" + Pad(time.m_Day, 2) + L" " +
         Pad(time.m_Hour, 2) + L":" + Pad(time.m_Minute, 2) + L":" + Pad(time.m_Second, 2) +
         L":" + Pad(time.m_Milliseconds, 3) + L" ";
}

void WriteLog(Logger& logger, std::wstring szMessage, std::wstring szDetail) {
  const std::wstring szKey = FormatTimeStamp(platform::ReadLocalTime()) + szMessage;
  const std::wstring szDir = GetProgramDirectory(logger);
  const std::wstring szFile = szDir + kLogFile;
  if (platform::WriteProfileValue(kLogSection, szKey, szDetail, szFile).m_Ok) return;
  // The log is the run's only record, so a missing Log folder must not cost
  // the lines written before the batch file creates it: make that one
  // folder (never its parents) and write the line again.
  if (platform::CreateFolder(szDir + kLogFolder).m_Ok) {
    platform::WriteProfileValue(kLogSection, szKey, szDetail, szFile);
  }
}

std::wstring GetProgramDirectory(Logger& logger) {
  if (!logger.m_ProgramDir.empty()) return logger.m_ProgramDir;
  const std::wstring szPath = platform::ReadProgramPath();
  if (szPath.empty()) return szPath;
  // The later of the last "/" and the last "\"; none, or only one at the
  // very start, leaves no folder to speak of.
  const size_t nLast = szPath.find_last_of(L"/\\");
  if (nLast == std::wstring::npos || nLast == 0) return szPath;
  std::wstring szDir = szPath.substr(0, nLast);
  while (!szDir.empty() && szDir.back() == L'/') szDir.pop_back();
  while (!szDir.empty() && szDir.back() == L'\\') szDir.pop_back();
  szDir += L'\\';
  logger.m_ProgramDir = szDir;
  return szDir;
}

std::wstring BoolToText(bool bValue) { return bValue ? L"true" : L"false"; }

void LogExitCode(Logger& logger, std::uint32_t nExitCode) {
  static const wchar_t kHexDigits[] = L"0123456789abcdef";
  std::wstring szHex;
  do {
    szHex.insert(szHex.begin(), kHexDigits[nExitCode % 16]);
    nExitCode /= 16;
  } while (nExitCode != 0);
  WriteLog(logger, kExitCodeLine + szHex, L"");
}
