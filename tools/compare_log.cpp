#include "tools/compare_log.h"


#include "core/setup_sequence.h"
#include "platform/sim/code_pages.h"
#include "platform/sim/ini_text.h"
#include "platform/sim/sim_text.h"
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

// The text of the file, or false when its code page is not one known here.
bool Decode(const std::string& szBytes, std::uint32_t nAnsiCodePage, std::wstring& szText,
            std::string& szReadAs) {
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
  szReadAs = "code page " + std::to_string(nAnsiCodePage);
  return sim::DecodeInCodePage(nAnsiCodePage, szBytes, &szText);
}

struct FileLine {
  std::wstring m_Text;  // without its line end
  size_t m_Number;      // from 1
};

std::vector<FileLine> SplitLines(const std::wstring& szText) {
  std::vector<FileLine> lines;
  for (size_t begin = 0; begin < szText.size();) {
    size_t end = szText.find(L'\n', begin);
    if (end == std::wstring::npos) end = szText.size();
    std::wstring szLine = szText.substr(begin, end - begin);
    if (!szLine.empty() && szLine.back() == L'\r') szLine.pop_back();
    lines.push_back({szLine, lines.size() + 1});
    begin = end + 1;
  }
  return lines;
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
                                      size_t nAt) {
  std::vector<LogLine> simulated;
  for (const LogLine& line : run) simulated.push_back({WithoutTimeStamp(line.m_Key), line.m_Value});
  return DifferenceCauses(field.m_Lines, simulated, nAt);
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

FieldLog ReadFieldLog(const std::string& szBytes, std::uint32_t nAnsiCodePage, size_t nRun) {
  FieldLog log;
  std::wstring szText;
  // Appended piece by piece: GCC 12 at -O2 warns (-Wrestrict) about "[" + a
  // temporary.
  std::string szSection = "[";
  szSection += sim::ToUtf8(kLogSection);
  szSection += "]";
  if (!Decode(szBytes, nAnsiCodePage, szText, log.m_ReadAs)) {
    log.m_NoLinesBecause = "code page " + std::to_string(nAnsiCodePage) + " is not known here";
    return log;
  }
  bool bInSection = false;
  bool bSectionSeen = false;
  // Every run's lines, each list from the line that began it; lines before
  // the first "Get Disk info" are a run of their own.
  std::vector<std::vector<LogLine>> runs;
  std::vector<std::vector<size_t>> runFileLines;
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
    const std::wstring szMessage = WithoutTimeStamp(szKey);
    const bool bAfterFailedAttempt =
        !runs.empty() && IsFailedInventoryLine(runs.back().back().m_Key);
    if (runs.empty() || (szMessage == sequence_log::kGetDiskInfo && !bAfterFailedAttempt)) {
      runs.emplace_back();
      runFileLines.emplace_back();
    }
    runs.back().push_back({szMessage, line.m_Text.substr(nEquals + 1)});
    runFileLines.back().push_back(nLine);
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
  const std::vector<DifferenceCause> causes = CausesAt(field, run, nAt);
  if (causes.empty()) return;
  out << "  What a capture cannot know may cause it:\n";
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
  for (const DifferenceCause& cause : CausesAt(field, run, nAt)) {
    json["causes"].push_back({{"cause", cause.m_Name}, {"advice", cause.m_Advice}});
  }
  return json;
}
