#include "tools/compare_log.h"


#include "core/setup_sequence.h"
#include "inventory/wmi_inventory.h"
#include "simulator/sim_view.h"
#include "platform/utf8.h"
#include "support/log.h"
#include "tools/difference_causes.h"
#include "tools/report_text.h"

using nlohmann::ordered_json;

namespace {

constexpr size_t kContextLines = 3;

bool StartsWith(const std::string& sz, const char* szPrefix) { return sz.rfind(szPrefix, 0) == 0; }

bool StartsWith(const std::wstring& sz, const wchar_t* szPrefix) {
  return sz.rfind(szPrefix, 0) == 0;
}

// UTF-16 after its two-byte mark. A surrogate pair is one character; any
// other surrogate, and an odd last byte, is U+FFFD.
std::wstring FromUtf16(const std::string& szBytes, bool bBigEndian) {
  auto unitAt = [&szBytes, bBigEndian](size_t i) {
    const auto nFirst = static_cast<unsigned char>(szBytes[i]);
    const auto nSecond = static_cast<unsigned char>(szBytes[i + 1]);
    return bBigEndian ? std::uint32_t{nFirst} << 8 | nSecond : std::uint32_t{nSecond} << 8 | nFirst;
  };
  std::string szUtf8;
  size_t i = 2;
  for (; i + 1 < szBytes.size(); i += 2) {
    std::uint32_t c = unitAt(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < szBytes.size()) {
      const std::uint32_t nNext = unitAt(i + 2);
      if (nNext >= 0xDC00 && nNext <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (nNext - 0xDC00);
        i += 2;
      }
    }
    platform::AppendUtf8(szUtf8, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
  }
  if (i < szBytes.size()) platform::AppendUtf8(szUtf8, 0xFFFD);
  return sim::FromUtf8(szUtf8);
}

// Bytes above 127, all of them in whole UTF-8 sequences: text that 8-bit
// code pages almost never give (1252's "é" is one byte, which UTF-8 never
// has alone), and that an editor saving UTF-8 without a mark always does.
bool LooksLikeUtf8(const std::string& szBytes) {
  bool bHigh = false;
  for (size_t i = 0; i < szBytes.size();) {
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(szBytes, i);
    const std::uint32_t c = sequence.m_CodePoint;
    // An overlong form ("\xC0\x80" for a zero byte) is not valid either.
    const std::uint32_t nLeast = sequence.m_Length == 2   ? 0x80
                                 : sequence.m_Length == 3 ? 0x800
                                 : sequence.m_Length == 4 ? 0x10000
                                                          : 0;
    if (!sequence.m_Valid || c < nLeast || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    bHigh = bHigh || sequence.m_Length > 1;
    i += sequence.m_Length;
  }
  return bHigh;
}

// The text of the file, or false when its code page is not one known here.
bool Decode(const std::string& szBytes, std::uint32_t nAnsiCodePage, bool bCodePageGiven,
            std::wstring& szText, std::string& szReadAs) {
  if (StartsWith(szBytes, "\xFF\xFE") || StartsWith(szBytes, "\xFE\xFF")) {
    const bool bBigEndian = szBytes[0] == '\xFE';
    szReadAs = bBigEndian ? "UTF-16 BE" : "UTF-16 LE";
    szText = FromUtf16(szBytes, bBigEndian);
    return true;
  }
  if (StartsWith(szBytes, "\xEF\xBB\xBF")) {
    szReadAs = "UTF-8";
    szText = sim::FromUtf8(szBytes.substr(3));
    return true;
  }
  const bool bUtf8 = nAnsiCodePage != sim::kCodePageUtf8 && LooksLikeUtf8(szBytes);
  if (bUtf8 && !bCodePageGiven) {
    szReadAs = "UTF-8 without a byte-order mark (valid UTF-8 with bytes above 127, not the "
               "code page " + std::to_string(nAnsiCodePage) + " malvik writes)";
    szText = sim::FromUtf8(szBytes);
    return true;
  }
  szReadAs = "code page " + std::to_string(nAnsiCodePage);
  if (bUtf8) {
    szReadAs += ", the description's ansi_code_page (the bytes are valid UTF-8 too: without "
                "ansi_code_page they would be read as UTF-8)";
  }
  return sim::DecodeInCodePage(nAnsiCodePage, szBytes, &szText);
}

struct FileLine {
  std::wstring m_Text;  // without its line end
  size_t m_Number;      // from 1
};

// CR LF, LF and CR alone each end a line.
std::vector<FileLine> SplitLines(const std::wstring& szText) {
  std::vector<FileLine> lines;
  for (size_t begin = 0; begin < szText.size();) {
    size_t end = szText.find_first_of(L"\r\n", begin);
    if (end == std::wstring::npos) end = szText.size();
    lines.push_back({szText.substr(begin, end - begin), lines.size() + 1});
    begin = end + (szText.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// A line of the [Malvik] section.
struct SectionLine {
  std::wstring m_Key;  // with its time stamp
  LogLine m_Line;      // message and detail
  size_t m_FileLine;   // from 1
};

// Milliseconds from a fixed day to the key's time stamp, or false when it
// has no whole one.
bool StampMs(const std::wstring& szKey, std::int64_t& nMs) {
  std::int64_t fields[7] = {};
  size_t i = 0;
  for (int nField = 0; nField < 7; ++nField) {
    while (i < szKey.size() && szKey[i] == L' ') ++i;
    const size_t nDigits = i;
    for (; i < szKey.size() && szKey[i] >= L'0' && szKey[i] <= L'9'; ++i) {
      if (i - nDigits >= 6) return false;
      fields[nField] = fields[nField] * 10 + (szKey[i] - L'0');
    }
    const wchar_t cWanted = nField < 2 ? L'/' : nField == 2 || nField == 6 ? L' ' : L':';
    if (i == nDigits || i >= szKey.size() || szKey[i] != cWanted) return false;
    ++i;
  }
  // Days from the civil date (proleptic Gregorian), then the time of day.
  const std::int64_t nYear = fields[0] - (fields[1] <= 2 ? 1 : 0);
  const std::int64_t nEra = nYear / 400;
  const std::int64_t nYearOfEra = nYear - nEra * 400;
  const std::int64_t nMonth = fields[1] > 2 ? fields[1] - 3 : fields[1] + 9;
  const std::int64_t nDayOfYear = (153 * nMonth + 2) / 5 + fields[2] - 1;
  const std::int64_t nDays =
      nEra * 146097 + nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
  nMs = ((nDays * 24 + fields[3]) * 60 + fields[4]) * 60000 + fields[5] * 1000 + fields[6];
  return true;
}

// A failed inventory attempt's number ("[3]Error ..." gives 3), or -1.
int FailedAttempt(const std::wstring& szMessage) {
  if (!IsFailedInventoryLine(szMessage)) return -1;
  int nAttempt = 0;
  for (size_t i = 1; i < szMessage.size() && szMessage[i] != L']'; ++i) {
    if (szMessage[i] < L'0' || szMessage[i] > L'9' || nAttempt > kInventoryAttempts) return -1;
    nAttempt = nAttempt * 10 + (szMessage[i] - L'0');
  }
  return nAttempt;
}

// Whether the "Get Disk info" at lines[i] begins a run rather than retrying
// the attempt that failed on the line before it. A run begins unless the
// line before is a failed attempt "[N]...", and after it:
// - never after [19], the last attempt a run makes;
// - the attempt's own outcome tells where it fails: a retry fails as
//   [N+1], a new run as [0];
// - where it does not fail, only the time tells: a retry follows its
//   failure after the retry delay, and a gap of more than six times an
//   attempt's own longest wait (the delay plus Next's timeout) is no retry.
//   A run started soon after one killed during its retries, whose first
//   attempt succeeds, is taken for the killed run's retry.
bool BeginsRun(const std::vector<SectionLine>& lines, size_t i) {
  if (i == 0) return true;
  const int nBefore = FailedAttempt(lines[i - 1].m_Line.m_Key);
  if (nBefore < 0 || nBefore >= kInventoryAttempts - 1) return true;
  const int nAfter = i + 1 < lines.size() ? FailedAttempt(lines[i + 1].m_Line.m_Key) : -1;
  if (nAfter >= 0) return nAfter != nBefore + 1;
  constexpr std::int64_t kLongestRetryGapMs =
      6 * (std::int64_t{kInventoryRetryDelayMs} + kNextTimeoutMs);
  std::int64_t nFailedAt = 0, nAt = 0;
  return StampMs(lines[i - 1].m_Key, nFailedAt) && StampMs(lines[i].m_Key, nAt) &&
         nAt - nFailedAt > kLongestRetryGapMs;
}

std::string Shown(const std::wstring& szMessage, const std::wstring& szValue) {
  return Printable(szMessage + L" = " + szValue);
}

ordered_json LineJson(const LogLine& line) {
  return {{"key", sim::ToUtf8(line.m_Key)}, {"value", sim::ToUtf8(line.m_Value)}};
}

// "1 run", "3 runs".
std::string RunsWord(size_t nRuns) {
  return std::to_string(nRuns) + (nRuns == 1 ? " run" : " runs");
}

// The causes that fit the difference at line nAt, the run's keys without
// their stamps.
std::vector<DifferenceCause> CausesAt(const FieldLog& field, const std::vector<LogLine>& run,
                                      const LogComparison& comparison) {
  std::vector<LogLine> simulated;
  for (const LogLine& line : run) simulated.push_back({WithoutTimeStamp(line.m_Key), line.m_Value});
  return DifferenceCauses(field.m_Lines, simulated, comparison.m_FirstDifference,
                          comparison.m_AssumedRebuiltBcd);
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

FieldLog ReadFieldLog(const std::string& szBytes, std::uint32_t nAnsiCodePage, size_t nRun,
                      bool bCodePageGiven) {
  FieldLog log;
  std::wstring szText;
  // Appended piece by piece: GCC 12 at -O2 warns (-Wrestrict) about "[" + a
  // temporary.
  std::string szSection = "[";
  szSection += sim::ToUtf8(kLogSection);
  szSection += "]";
  if (!Decode(szBytes, nAnsiCodePage, bCodePageGiven, szText, log.m_ReadAs)) {
    log.m_NoLinesBecause = "code page " + std::to_string(nAnsiCodePage) + " is not known here";
    return log;
  }
  bool bInSection = false;
  bool bSectionSeen = false;
  std::vector<SectionLine> section;
  const FileLine* pKeyOnly = nullptr;  // a line without "=", whose value may start the next
  const std::vector<FileLine> lines = SplitLines(szText);
  for (const FileLine& line : lines) {
    std::wstring szName;
    if (sim::SectionOf(line.m_Text, szName)) {
      bInSection = sim::UpperAscii(szName) == sim::UpperAscii(kLogSection);
      bSectionSeen = bSectionSeen || bInSection;
      pKeyOnly = nullptr;
      continue;
    }
    const size_t nEquals = line.m_Text.find(L'=');
    if (nEquals == std::wstring::npos) {
      pKeyOnly = line.m_Text.empty() ? nullptr : &line;
      continue;
    }
    const bool bValueOnly = nEquals == 0 && pKeyOnly != nullptr;
    const std::wstring szKey =
        bValueOnly ? pKeyOnly->m_Text + L"\n" : line.m_Text.substr(0, nEquals);
    const size_t nLine = bValueOnly ? pKeyOnly->m_Number : line.m_Number;
    pKeyOnly = nullptr;
    if (!bInSection) continue;
    section.push_back({szKey, {WithoutTimeStamp(szKey), line.m_Text.substr(nEquals + 1)}, nLine});
  }
  // Every run's lines, each list from the line that began it; lines before
  // the first "Get Disk info" are a run of their own.
  std::vector<std::vector<LogLine>> runs;
  std::vector<std::vector<size_t>> runFileLines;
  for (size_t i = 0; i < section.size(); ++i) {
    if (runs.empty() ||
        (section[i].m_Line.m_Key == sequence_log::kGetDiskInfo && BeginsRun(section, i))) {
      runs.emplace_back();
      runFileLines.emplace_back();
    }
    runs.back().push_back(section[i].m_Line);
    runFileLines.back().push_back(section[i].m_FileLine);
  }
  log.m_Runs = runs.size();
  log.m_Run = nRun == 0 ? runs.size() : nRun;
  if (log.m_Run >= 1 && log.m_Run <= runs.size()) {
    log.m_Lines = std::move(runs[log.m_Run - 1]);
    log.m_FileLines = std::move(runFileLines[log.m_Run - 1]);
  }
  if (szText.empty()) {
    log.m_NoLinesBecause = "the file is empty";
  } else if (!bSectionSeen) {
    log.m_NoLinesBecause = "no " + szSection + " section";
    if (log.m_ReadAs.rfind("code page", 0) == 0 && szBytes.find('\0') != std::string::npos) {
      log.m_NoLinesBecause += "; it holds zero bytes, as UTF-16 without a byte-order mark does";
    }
  } else if (runs.empty()) {
    log.m_NoLinesBecause = "no key=value lines after " + szSection;
  } else if (log.m_Lines.empty()) {
    log.m_NoLinesBecause = "it holds " + RunsWord(runs.size()) + ", so no run " +
                           std::to_string(nRun) + " (--log-run counts from 1)";
  }
  return log;
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

void WriteComparison(std::ostream& out, const std::string& szFile, const FieldLog& field,
                     const std::vector<LogLine>& run, const LogComparison& comparison) {
  const std::string szWhich = "log holds " + RunsWord(field.m_Runs) + "; compared run " +
                              std::to_string(field.m_Run) + ", from file line " +
                              std::to_string(field.m_FileLines.front()) + "; read as " +
                              field.m_ReadAs;
  if (comparison.m_Agrees) {
    out << "Log comparison: this run agrees with " << szFile << " line for line (" << run.size()
        << " lines, time stamps aside; " << szWhich << ").\n";
    return;
  }
  const size_t nAt = comparison.m_FirstDifference;
  const std::vector<LogLine>& lines = field.m_Lines;
  out << "Log comparison: this run differs from " << szFile << " (" << szWhich << ") at line "
      << nAt + 1 << " of the run, ";
  if (nAt < lines.size()) {
    out << "line " << field.m_FileLines[nAt] << " of the file.\n";
  } else {
    out << "where the file's run has ended (its last line is line " << field.m_FileLines.back()
        << " of the file).\n";
  }
  for (size_t i = nAt > kContextLines ? nAt - kContextLines : 0; i < nAt; ++i) {
    out << "    " << i + 1 << "  " << Shown(lines[i].m_Key, lines[i].m_Value) << "\n";
  }
  out << "  field     " << nAt + 1 << "  "
      << (nAt < lines.size() ? Shown(lines[nAt].m_Key, lines[nAt].m_Value) : "(log ends)") << "\n";
  out << "  simulated " << nAt + 1 << "  "
      << (nAt < run.size() ? Shown(WithoutTimeStamp(run[nAt].m_Key), run[nAt].m_Value)
                           : "(log ends)")
      << "\n";
  const std::vector<DifferenceCause> causes = CausesAt(field, run, comparison);
  if (causes.empty()) return;
  out << "  What the replay assumed or a capture cannot know may cause it:\n";
  for (const DifferenceCause& cause : causes) {
    const std::vector<std::string> pieces = Wrapped(cause.m_Advice, 4, 4);
    for (size_t i = 0; i < pieces.size(); ++i) {
      out << (i == 0 ? "  - " : "    ") << pieces[i] << "\n";
    }
  }
}

ordered_json ComparisonJson(const std::string& szFile, const FieldLog& field,
                            const std::vector<LogLine>& run, const LogComparison& comparison) {
  ordered_json json = {{"file", szFile},
                       {"read_as", field.m_ReadAs},
                       {"runs", field.m_Runs},
                       {"run", field.m_Run},
                       {"run_file_line", field.m_FileLines.front()},
                       {"lines", field.m_Lines.size()},
                       {"agrees", comparison.m_Agrees},
                       {"first_difference", nullptr},
                       {"causes", ordered_json::array()}};
  if (comparison.m_Agrees) return json;
  const size_t nAt = comparison.m_FirstDifference;
  const bool bField = nAt < field.m_Lines.size();
  ordered_json simulated;
  if (nAt < run.size()) simulated = LineJson({WithoutTimeStamp(run[nAt].m_Key), run[nAt].m_Value});
  json["first_difference"] = {
      {"run_line", nAt + 1},
      {"file_line", bField ? ordered_json(field.m_FileLines[nAt]) : ordered_json()},
      {"field", bField ? LineJson(field.m_Lines[nAt]) : ordered_json()},
      {"simulated", simulated}};
  for (const DifferenceCause& cause : CausesAt(field, run, comparison)) {
    json["causes"].push_back({{"cause", cause.m_Name}, {"advice", cause.m_Advice}});
  }
  return json;
}
