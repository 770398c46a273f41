// Console code pages, code-page conversion and the system's error texts on
// real Windows.
#include "platform/platform.h"
#include "platform/win32/windows_min.h"

namespace platform {
namespace {

// Code pages whose conversions take no flags at all (ERROR_INVALID_FLAGS
// otherwise), as the conversion calls' documentation lists them: the
// ISO-2022 and ISCII families, UTF-7 and Symbol.
bool TakesNoFlags(UINT nCodePage) {
  return nCodePage == 42 || nCodePage == CP_UTF7 || (nCodePage >= 50220 && nCodePage <= 50229) ||
         (nCodePage >= 57002 && nCodePage <= 57011);
}

// Code pages that take WC_ERR_INVALID_CHARS and no other flag (documented:
// UTF-8 and GB18030); a lone surrogate then fails instead of becoming a
// substitute.
bool TakesOnlyInvalidCharsFlag(UINT nCodePage) { return nCodePage == CP_UTF8 || nCodePage == 54936; }

// Whether the call may be given a used-default pointer. The documentation
// forbids one for UTF-7 and UTF-8; for Symbol, ISO-2022 and ISCII the call
// is seen to fail with one (error 87). GB18030 has a form for every
// character and takes none either. Where there is none, the caller's round
// trip is what shows a substitute.
bool TakesUsedDefault(UINT nCodePage) {
  return !TakesNoFlags(nCodePage) && !TakesOnlyInvalidCharsFlag(nCodePage);
}

}  // namespace

ConsoleCodePages ReadConsoleCodePages() {
  // Both console calls answer 0 when the process has no console.
  return {GetConsoleCP(), GetConsoleOutputCP(), GetOEMCP()};
}

std::uint32_t ReadAnsiCodePage() { return GetACP(); }

bool TextToCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes) {
  pBytes->clear();
  if (szText.empty()) return true;
  const DWORD nFlags = TakesOnlyInvalidCharsFlag(nCodePage) ? WC_ERR_INVALID_CHARS
                       : TakesNoFlags(nCodePage)              ? 0
                                                              : WC_NO_BEST_FIT_CHARS;
  BOOL bDefaultUsed = FALSE;
  BOOL* pDefaultUsed = TakesUsedDefault(nCodePage) ? &bDefaultUsed : nullptr;
  const int nChars = static_cast<int>(szText.size());
  const int nBytes = WideCharToMultiByte(nCodePage, nFlags, szText.data(), nChars, nullptr, 0,
                                         nullptr, pDefaultUsed);
  if (nBytes <= 0 || bDefaultUsed) return false;
  std::string szOut(static_cast<size_t>(nBytes), '\0');
  if (WideCharToMultiByte(nCodePage, nFlags, szText.data(), nChars, szOut.data(), nBytes, nullptr,
                          pDefaultUsed) != nBytes ||
      bDefaultUsed) {
    return false;
  }
  *pBytes = std::move(szOut);
  return true;
}

bool TextFromCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText) {
  pText->clear();
  if (szBytes.empty()) return true;
  const DWORD nFlags = TakesNoFlags(nCodePage) ? 0 : MB_ERR_INVALID_CHARS;
  const int nBytes = static_cast<int>(szBytes.size());
  const int nChars = MultiByteToWideChar(nCodePage, nFlags, szBytes.data(), nBytes, nullptr, 0);
  if (nChars <= 0) return false;
  std::wstring szOut(static_cast<size_t>(nChars), L'\0');
  if (MultiByteToWideChar(nCodePage, nFlags, szBytes.data(), nBytes, szOut.data(), nChars) !=
      nChars) {
    return false;
  }
  *pText = std::move(szOut);
  return true;
}

std::wstring SystemErrorText(std::uint32_t nError) {
  wchar_t* pText = nullptr;
  // The system allocates the text (LocalFree releases it); any length fits.
  const DWORD nChars = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, nError, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
  std::wstring szText = nChars != 0 && pText != nullptr ? std::wstring(pText, nChars) : L"";
  if (pText != nullptr) LocalFree(pText);
  while (!szText.empty() && (szText.back() == L'\r' || szText.back() == L'\n' ||
                             szText.back() == L' ')) {
    szText.pop_back();
  }
  return szText;
}

}  // namespace platform
