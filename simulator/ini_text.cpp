#include "simulator/ini_text.h"

#include "simulator/sim_text.h"

namespace sim {
namespace {

const std::wstring kLineEnd = L"\r\n";

std::vector<std::wstring> SplitLines(const std::wstring& szText) {
  std::vector<std::wstring> lines;
  size_t begin = 0;
  while (begin < szText.size()) {
    size_t end = szText.find(kLineEnd, begin);
    if (end == std::wstring::npos) end = szText.size();
    lines.push_back(szText.substr(begin, end - begin));
    begin = end + kLineEnd.size();
  }
  return lines;
}

std::wstring Trim(const std::wstring& sz) {
  const size_t first = sz.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  return sz.substr(first, sz.find_last_not_of(L" \t") - first + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return UpperAscii(Trim(a)) == UpperAscii(Trim(b));
}

bool KeyOf(const std::wstring& szLine, std::wstring& szKey, std::wstring& szValue) {
  const size_t eq = szLine.find(L'=');
  if (eq == std::wstring::npos) return false;
  szKey = szLine.substr(0, eq);
  szValue = szLine.substr(eq + 1);
  return true;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  std::wstring sz;
  for (const std::wstring& line : lines) sz += line + kLineEnd;
  return sz;
}

}  // namespace

bool SectionOf(const std::wstring& szLine, std::wstring& szSection) {
  const std::wstring sz = Trim(szLine);
  if (sz.empty() || sz.front() != L'[') return false;
  const size_t close = sz.find(L']');
  szSection = Trim(sz.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
  return true;
}

std::wstring SetIniValue(const std::wstring& szText, const std::wstring& szSection,
                         const std::wstring& szKey, const std::wstring& szValue) {
  std::vector<std::wstring> lines = SplitLines(szText);
  const std::wstring szNewLine = szKey + L"=" + szValue;

  bool bInSection = false;
  size_t nInsertAt = lines.size();  // after the section's last entry
  bool bFound = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::wstring szName, szLineKey, szLineValue;
    if (SectionOf(lines[i], szName)) {
      if (bInSection) break;  // the wanted section ended without the key
      bInSection = SameName(szName, szSection);
      if (bInSection) {
        bFound = true;
        nInsertAt = i + 1;
      }
      continue;
    }
    if (!bInSection) continue;
    if (KeyOf(lines[i], szLineKey, szLineValue) && SameName(szLineKey, szKey)) {
      // Only the value changes; the key keeps the spelling it has in the
      // file, without the blanks around it, as Wine writes it back.
      lines[i] = Trim(szLineKey) + L"=" + szValue;
      return JoinLines(lines);
    }
    if (!Trim(lines[i]).empty()) nInsertAt = i + 1;
  }
  if (!bFound) {
    lines.push_back(L"[" + szSection + L"]");
    lines.push_back(szNewLine);
  } else {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(nInsertAt), szNewLine);
  }
  return JoinLines(lines);
}

std::vector<IniEntry> ParseIni(const std::wstring& szText) {
  std::vector<IniEntry> entries;
  std::wstring szSection;
  for (const std::wstring& line : SplitLines(szText)) {
    std::wstring szName, szKey, szValue;
    if (SectionOf(line, szName)) {
      szSection = szName;
    } else if (KeyOf(line, szKey, szValue)) {
      entries.push_back({szSection, szKey, szValue});
    }
  }
  return entries;
}

}  // namespace sim
