#include "core/efi_batch.h"

namespace {

// Characters after which cmd needs quotes around a path (its own list, with
// the tab).
const wchar_t kNeedsQuotes[] = L" \t&()[]{}^=;!'+,`~";

// Characters no Windows path holds and that cmd would read as its own: a
// quote ends the quoting, a wildcard or redirection changes the command.
const wchar_t kNeverInPaths[] = L"\"*?<>|";

std::string Bytes(const std::wstring& sz) {
  std::string out;
  for (wchar_t c : sz) {
    // cmd expands %...% in a batch file; a doubled one stands for itself.
    if (c == L'%') out += '%';
    out += c <= 0xFF ? static_cast<char>(c) : '?';
  }
  return out;
}

bool Carried(const std::wstring& sz) {
  for (wchar_t c : sz) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return sz.find_first_of(kNeverInPaths) == std::wstring::npos;
}

}  // namespace

std::wstring QuoteForCommandLine(const std::wstring& szPath) {
  if (szPath.find_first_of(kNeedsQuotes) == std::wstring::npos) return szPath;
  return L"\"" + szPath + L"\"";
}

const std::wstring* FindUncarriedText(const EfiBatchInput& input) {
  for (const std::wstring* p : {&input.m_ProgramDir, &input.m_ESPLetter, &input.m_ScriptLetter}) {
    if (!Carried(*p)) return p;
  }
  return nullptr;
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
