#include "core/efi_batch.h"

#include "core/copy_efi.h"
#include "support/log.h"

namespace {

// Characters after which cmd needs quotes around a path (its own list, with
// the tab).
const wchar_t kNeedsQuotes[] = L" \t&()[]{}^=;!'+,`~";

// Characters no Windows path holds and that cmd would read as its own: a
// quote ends the quoting, a wildcard or redirection changes the command.
const wchar_t kNeverInPaths[] = L"\"*?<>|";

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// sz has an exact form in the code page: converted there and back it is
// itself, so no best-fit substitute slipped in.
bool RoundTrips(const std::wstring& sz, std::uint32_t nCodePage) {
  std::string szBytes;
  std::wstring szBack;
  return platform::TextToCodePage(nCodePage, sz, &szBytes) &&
         platform::TextFromCodePage(nCodePage, szBytes, &szBack) && szBack == sz;
}

bool Carried(const std::wstring& sz, const BatchCodePage& codePage, bool bOnCommandLine) {
  bool bAscii = true;
  for (wchar_t c : sz) {
    if (IsControl(c)) return false;
    if (c > 0x7E) bAscii = false;
  }
  if (sz.find_first_of(kNeverInPaths) != std::wstring::npos) return false;
  if (bOnCommandLine && sz.find(L'%') != std::wstring::npos) return false;
  if (bAscii) return true;
  return !codePage.m_AsciiOnly && RoundTrips(sz, codePage.m_CodePage);
}

}  // namespace

bool KeepsAscii(std::uint32_t nCodePage) {
  std::wstring szAscii = L"\r\n";
  for (wchar_t c = 0x20; c <= 0x7E; ++c) szAscii += c;
  std::string szBytes;
  return platform::TextToCodePage(nCodePage, szAscii, &szBytes) &&
         szBytes == std::string(szAscii.begin(), szAscii.end());
}

std::wstring QuoteForCommandLine(const std::wstring& szPath) {
  if (szPath.find_first_of(kNeedsQuotes) == std::wstring::npos) return szPath;
  return L"\"" + szPath + L"\"";
}

BatchCodePage ChooseBatchCodePage(const platform::ConsoleCodePages& pages) {
  if (pages.m_Output == 0) return {pages.m_Oem, false};
  return {pages.m_Output, pages.m_Input != pages.m_Output};
}

const std::wstring* EncodeEfiBatch(const EfiBatchInput& input, const BatchCodePage& codePage,
                                   std::string* pBytes) {
  pBytes->clear();
  // The program folder also names the batch file on the command line.
  if (!Carried(input.m_ProgramDir, codePage, true)) return &input.m_ProgramDir;
  for (const std::wstring* p : {&input.m_ESPLetter, &input.m_ScriptLetter}) {
    if (!Carried(*p, codePage, false)) return p;
  }
  // Every part reads back as itself and the rest is ASCII, so the whole does.
  if (!platform::TextToCodePage(codePage.m_CodePage, BuildEfiBatch(input), pBytes)) {
    return &input.m_ProgramDir;
  }
  return nullptr;
}

std::wstring BuildEfiBatch(const EfiBatchInput& input) {
  const std::wstring& szDir = input.m_ProgramDir;
  const std::wstring& szESP = input.m_ESPLetter;
  auto q = QuoteForCommandLine;
  std::wstring sz;
  const std::wstring szOem = szESP + kOemFolder;
  if (input.m_LogFolderMissing) sz += L"mkdir " + q(szDir + kLogFolder) + L"\r\n";
  sz += L"mkdir " + q(szOem) + L" \r\n";
  sz += L"XCOPY /c /e /f /y /h " + q(szESP + kEfiSourceFolder + L"\\*") + L" " + q(szOem + L"\\") +
        L"\r\n";
  sz += L"Del /Q /A:H " + q(szOem + L"\\Boot\\BCD") + L"\r\n";
  sz += q(szDir + input.m_Script) + L" " + q(szESP) + L" " + q(input.m_ScriptLetter) + L" >> " +
        q(szDir + kLogFolder + L"\\modifybcdLog.log");
  // cmd expands %...% in a batch file; a doubled one stands for itself.
  for (size_t p = sz.find(L'%'); p != std::wstring::npos; p = sz.find(L'%', p + 2)) {
    sz.insert(p, 1, L'%');
  }
  return sz;
}
