#include "core/efi_batch.h"

namespace {

// Characters after which cmd needs quotes around a path (its own list, with
// the tab).
const wchar_t kNeedsQuotes[] = L" \t&()[]{}^=;!'+,`~";

std::string Bytes(const std::wstring& sz) {
  std::string out;
  for (wchar_t c : sz) out += c <= 0xFF ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

std::wstring QuoteForCommandLine(const std::wstring& szPath) {
  if (szPath.find_first_of(kNeedsQuotes) == std::wstring::npos) return szPath;
  return L"\"" + szPath + L"\"";
}

std::string BuildEfiBatch(const EfiBatchInput& input) {
  const std::wstring& szDir = input.m_ProgramDir;
  const std::wstring& szESP = input.m_ESPLetter;
  auto q = QuoteForCommandLine;
  std::wstring sz;
  if (input.m_LogFolderMissing) sz += L"mkdir " + q(szDir + L"Log") + L"\r\n";
  sz += L"mkdir " + q(szESP + L"\\EFI\\OEM") + L" \r\n";
  sz += L"XCOPY /c /e /f /y /h " + q(szESP + L"\\EFI\\Microsoft\\*") + L" " +
        q(szESP + L"\\EFI\\OEM\\") + L"\r\n";
  sz += L"Del /Q /A:H " + q(szESP + L"\\EFI\\OEM\\Boot\\BCD") + L"\r\n";
  sz += q(szDir + input.m_Script) + L" " + q(szESP) + L" " + q(input.m_ScriptLetter) + L" >> " +
        q(szDir + L"Log\\modifybcdLog.log");
  return Bytes(sz);
}
