// The description's file, written so that no evidence is lost: an existing
// file (a field log, the program itself) is replaced only when asked, and
// the text goes first to a file of its own beside it, renamed into place
// once whole, so a write that fails half-way leaves the old file as it was,
// and a finished description that cannot be renamed into place is kept
// under the name it was written to.
#include "capture/capture.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32_codes.h"

namespace {

// Tries this many names beside the output for the file written first.
constexpr int kTemporaryNames = 100;

// "cap.json.tmp", "cap.json.2.tmp", ...: the n-th name tried.
std::wstring TemporaryName(const std::wstring& szOut, int n) {
  return szOut + (n == 1 ? L"" : L"." + std::to_wstring(n)) + L".tmp";
}

bool NameTaken(std::uint32_t nError) {
  return nError == platform::kERROR_FILE_EXISTS || nError == platform::kERROR_ALREADY_EXISTS;
}

std::wstring CannotWrite(const std::wstring& szOut, std::uint32_t nError) {
  return L"cannot write " + szOut + L" (" + ErrorWords(nError) + L")";
}

}  // namespace

JsonValue JsonString(const std::wstring& sz) { return platform::WideToUtf8(sz); }

JsonValue JsonString(const std::u16string& sz) { return platform::Utf16ToUtf8(sz); }

JsonValue& Add(JsonValue& object, description::Key key, JsonValue value) {
  return object[description::Name(key)] = std::move(value);
}

JsonValue& Push(JsonValue& array, JsonValue item) {
  array.push_back(std::move(item));
  return array.back();
}

std::string WriteJsonText(const JsonValue& value) {
  // Every text came through JsonString, as UTF-8; a byte that is not would
  // be written as U+FFFD rather than end the capture.
  return value.dump(2, ' ', false, JsonValue::error_handler_t::replace) + "\n";
}

std::wstring OutputRefused(const std::wstring& szOut, bool bReplace) {
  const platform::FileAttributes existing = platform::ReadFileAttributes(szOut);
  if (existing.m_Exists && existing.m_Folder) return L"cannot write " + szOut + L": it is a folder";
  if (existing.m_Exists && !bReplace) {
    return szOut + L" exists and is kept; name another file, or add --force to replace it";
  }
  return {};
}

std::wstring WriteOutputFile(const std::wstring& szOut, const std::string& szText, bool bReplace) {
  // Each name is created new, never opened over a file that is there
  // already: a file of that name, whoever made it, is left alone.
  std::wstring szTemporary;
  for (int n = 1; n <= kTemporaryNames && szTemporary.empty(); ++n) {
    const platform::CallResult written =
        platform::WriteNewFile(TemporaryName(szOut, n), szText);
    if (written.m_Ok) {
      szTemporary = TemporaryName(szOut, n);
    } else if (!NameTaken(written.m_LastError)) {
      return CannotWrite(szOut, written.m_LastError);
    }
  }
  if (szTemporary.empty()) {
    return CannotWrite(szOut, platform::kERROR_FILE_EXISTS) + L": " + TemporaryName(szOut, 1) +
           L" to " + TemporaryName(szOut, kTemporaryNames) + L" are all taken";
  }
  // Without --force the rename itself refuses a file that came after
  // OutputRefused was asked: no check stands between it and a replacement.
  const platform::CallResult renamed = bReplace
                                           ? platform::RenameFileReplacing(szTemporary, szOut)
                                           : platform::RenameFileNotReplacing(szTemporary, szOut);
  if (renamed.m_Ok) return {};
  // The description is whole: it stays under the name it was written to.
  const std::wstring szKept = L"; the description is kept in " + szTemporary;
  if (!bReplace && NameTaken(renamed.m_LastError)) {
    return szOut + L" appeared while the capture ran and is kept" + szKept;
  }
  return CannotWrite(szOut, renamed.m_LastError) + szKept;
}
