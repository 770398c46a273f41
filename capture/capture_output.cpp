// The description's file, written so that no evidence is lost: an existing
// file (a field log, the program itself) is replaced only when asked, and
// the text goes first to a file of its own beside it, renamed into place
// once whole, so a write that fails half-way leaves the old file as it was.
#include "capture/capture.h"
#include "platform/platform.h"
#include "platform/win32_codes.h"

namespace {

// Tries this many names beside the output for the file written first.
constexpr int kTemporaryNames = 100;

// "cap.json.tmp", "cap.json.2.tmp", ...: the first that names nothing yet.
std::wstring TemporaryName(const std::wstring& szOut) {
  for (int i = 1; i <= kTemporaryNames; ++i) {
    const std::wstring sz = szOut + (i == 1 ? L"" : L"." + std::to_wstring(i)) + L".tmp";
    if (!platform::ReadFileAttributes(sz).m_Exists) return sz;
  }
  return {};
}

std::wstring CannotWrite(const std::wstring& szOut, std::uint32_t nError) {
  return L"cannot write " + szOut + L" (" + ErrorWords(nError) + L")";
}

}  // namespace

std::wstring OutputRefused(const std::wstring& szOut, bool bReplace) {
  const platform::FileAttributes existing = platform::ReadFileAttributes(szOut);
  if (existing.m_Exists && existing.m_Folder) return L"cannot write " + szOut + L": it is a folder";
  if (existing.m_Exists && !bReplace) {
    return szOut + L" exists and is kept; name another file, or add --force to replace it";
  }
  return {};
}

std::wstring WriteOutputFile(const std::wstring& szOut, const std::string& szText, bool bReplace) {
  if (std::wstring szRefused = OutputRefused(szOut, bReplace); !szRefused.empty()) {
    return szRefused;
  }
  const std::wstring szTemporary = TemporaryName(szOut);
  if (szTemporary.empty()) return CannotWrite(szOut, platform::kERROR_ALREADY_EXISTS);
  const platform::CallResult written = platform::WriteWholeFile(szTemporary, szText);
  if (!written.m_Ok) {
    platform::RemoveFile(szTemporary);  // whatever part of it was made
    return CannotWrite(szOut, written.m_LastError);
  }
  // Asked again: a file of that name may have come while this one was written.
  std::wstring szWhy = OutputRefused(szOut, bReplace);
  if (szWhy.empty()) {
    const platform::CallResult renamed = platform::RenameFileReplacing(szTemporary, szOut);
    if (renamed.m_Ok) return {};
    szWhy = CannotWrite(szOut, renamed.m_LastError);
  }
  platform::RemoveFile(szTemporary);
  return szWhy;
}
