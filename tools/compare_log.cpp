#include "tools/compare_log.h"

#include "core/setup_sequence.h"
#include "platform/sim/ini_text.h"
#include "platform/utf8.h"
#include "support/log.h"
#include "tools/report_text.h"

namespace {

constexpr size_t kContextLines = 3;

bool IsValidUtf8(const std::string& sz) {
  for (size_t i = 0; i < sz.size();) {
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(sz, i);
    if (!sequence.m_Valid) return false;
    i += sequence.m_Length;
  }
  return true;
}

// 8-bit text as Windows writes it for Western code pages: each byte one
// character of the same value (Latin-1), close enough to compare ASCII logs.
std::wstring Decode(const std::string& szBytes) {
  if (IsValidUtf8(szBytes)) return sim::FromUtf8(szBytes);
  std::wstring sz;
  for (char c : szBytes) sz += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return sz;
}

bool StartsWith(const std::wstring& sz, const wchar_t* szPrefix) {
  return sz.rfind(szPrefix, 0) == 0;
}

std::string Shown(const std::wstring& szMessage, const std::wstring& szValue) {
  return Printable(szMessage + L" = " + szValue);
}

}  // namespace

std::wstring WithoutTimeStamp(const std::wstring& szKey) {
  // "%2d/%2d/%2d %2d:%2d:%2d:%3d ": seven space-padded numbers, then a space.
  size_t i = 0;
  for (int nField = 0; nField < 7; ++nField) {
    while (i < szKey.size() && szKey[i] == L' ') ++i;
    const size_t nDigits = i;
    while (i < szKey.size() && szKey[i] >= L'0' && szKey[i] <= L'9') ++i;
    const wchar_t cWanted = nField < 2 ? L'/' : nField == 2 || nField == 6 ? L' ' : L':';
    if (i == nDigits || i >= szKey.size() || szKey[i] != cWanted) return szKey;
    ++i;
  }
  return szKey.substr(i);
}

bool IsFailedInventoryLine(const std::wstring& szMessage) {
  return StartsWith(szMessage, L"[") &&
         szMessage.find(std::wstring(L"]") + sequence_log::kInventoryFailed) != std::wstring::npos;
}

// Wine's profile writer ends the line inside a key that holds a line feed
// (the letter summary does), so its "=value" starts the next line. No key
// begins with "=", so such a line belongs to the key before it.
std::wstring RejoinSplitKeys(std::wstring sz) {
  for (size_t pos = sz.find(L"\r\n="); pos != std::wstring::npos; pos = sz.find(L"\r\n=", pos)) {
    sz.erase(pos, 1);
  }
  return sz;
}

std::vector<LogLine> LastRunOfFieldLog(const std::string& szBytes) {
  std::vector<LogLine> lines;
  for (const sim::IniEntry& entry : sim::ParseIni(RejoinSplitKeys(Decode(szBytes)))) {
    if (sim::UpperAscii(entry.m_Section) != sim::UpperAscii(kLogSection)) continue;
    const std::wstring szMessage = WithoutTimeStamp(entry.m_Key);
    const bool bAfterFailedAttempt = !lines.empty() && IsFailedInventoryLine(lines.back().m_Key);
    if (szMessage == sequence_log::kGetDiskInfo && !bAfterFailedAttempt) lines.clear();
    lines.push_back({szMessage, entry.m_Value});
  }
  return lines;
}

LogComparison CompareLogs(const std::vector<LogLine>& field, const std::vector<LogLine>& run) {
  LogComparison comparison;
  const size_t nCommon = field.size() < run.size() ? field.size() : run.size();
  for (size_t i = 0; i < nCommon; ++i) {
    if (field[i].m_Key != WithoutTimeStamp(run[i].m_Key) || field[i].m_Value != run[i].m_Value) {
      return {false, i};
    }
  }
  if (field.size() != run.size()) return {false, nCommon};
  return comparison;
}

void WriteComparison(std::ostream& out, const std::string& szFile,
                     const std::vector<LogLine>& field, const std::vector<LogLine>& run,
                     const LogComparison& comparison) {
  if (comparison.m_Agrees) {
    out << "Log comparison: this run agrees with " << szFile << " line for line (" << run.size()
        << " lines, time stamps aside).\n";
    return;
  }
  const size_t nAt = comparison.m_FirstDifference;
  out << "Log comparison: this run differs from " << szFile << " at line " << nAt + 1
      << " of the run.\n";
  for (size_t i = nAt > kContextLines ? nAt - kContextLines : 0; i < nAt; ++i) {
    out << "    " << i + 1 << "  " << Shown(field[i].m_Key, field[i].m_Value) << "\n";
  }
  out << "  field     " << nAt + 1 << "  "
      << (nAt < field.size() ? Shown(field[nAt].m_Key, field[nAt].m_Value) : "(log ends)") << "\n";
  out << "  simulated " << nAt + 1 << "  "
      << (nAt < run.size() ? Shown(WithoutTimeStamp(run[nAt].m_Key), run[nAt].m_Value)
                           : "(log ends)")
      << "\n";
}
