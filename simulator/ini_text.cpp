#include "simulator/ini_text.h"

#include <string_view>

namespace sim {
namespace {

// The profile writer's rules, once, for text in any code unit: wide text
// for callers that hold it, and UTF-8 bytes for the simulated files. Every
// character the rules look at ("[", "]", "=", blanks, CR LF, a to z) is
// ASCII, which UTF-8 never uses inside a longer sequence, so both give the
// same edit.
template <class Char>
struct Ini {
  using Text = std::basic_string<Char>;
  using View = std::basic_string_view<Char>;

  static constexpr Char kCr = static_cast<Char>('\r');
  static constexpr Char kLf = static_cast<Char>('\n');

  static constexpr Char Upper(Char c) {
    return c >= static_cast<Char>('a') && c <= static_cast<Char>('z')
               ? static_cast<Char>(c - static_cast<Char>('a') + static_cast<Char>('A'))
               : c;
  }

  static constexpr bool Blank(Char c) {
    return c == static_cast<Char>(' ') || c == static_cast<Char>('\t');
  }

  static View Trim(View sz) {
    while (!sz.empty() && Blank(sz.front())) sz.remove_prefix(1);
    while (!sz.empty() && Blank(sz.back())) sz.remove_suffix(1);
    return sz;
  }

  static bool SameName(View a, View b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
  }

  static bool SectionOf(View szLine, View& szSection) {
    const View sz = Trim(szLine);
    if (sz.empty() || sz.front() != static_cast<Char>('[')) return false;
    const size_t close = sz.find(static_cast<Char>(']'));
    szSection = Trim(sz.substr(1, close == View::npos ? View::npos : close - 1));
    return true;
  }

  static bool KeyOf(View szLine, View& szKey, View& szValue) {
    const size_t eq = szLine.find(static_cast<Char>('='));
    if (eq == View::npos) return false;
    szKey = szLine.substr(0, eq);
    szValue = szLine.substr(eq + 1);
    return true;
  }

  // Lines end in CR LF only; the text's lines are what lies between them,
  // and a last line without one still counts.
  struct Lines {
    View m_Text;
    size_t m_Begin = 0;  // of the next line

    bool Next(View& line, size_t& nBegin) {
      if (m_Begin >= m_Text.size()) return false;
      nBegin = m_Begin;
      size_t end = m_Begin;
      while (end < m_Text.size() && !(m_Text[end] == kCr && end + 1 < m_Text.size() &&
                                       m_Text[end + 1] == kLf)) {
        ++end;
      }
      line = m_Text.substr(m_Begin, end - m_Begin);
      m_Begin = end + 2;
      return true;
    }
  };

  // Text from a line's start on, every line ended with CR LF: as it is,
  // apart from a last line without one.
  static void AppendEnded(Text& out, View sz) {
    out += sz;
    if (!sz.empty() && !(sz.size() >= 2 && sz[sz.size() - 2] == kCr && sz.back() == kLf)) {
      out += kCr;
      out += kLf;
    }
  }

  static void AppendLine(Text& out, View a, View b = {}, View c = {}) {
    out += a;
    out += b;
    out += c;
    out += kCr;
    out += kLf;
  }

  static Text SetValue(View szText, View szSection, View szKey, View szValue) {
    static constexpr Char kEquals[] = {static_cast<Char>('='), 0};
    static constexpr Char kOpen[] = {static_cast<Char>('['), 0};
    static constexpr Char kClose[] = {static_cast<Char>(']'), 0};
    Text out;
    out.reserve(szText.size() + szSection.size() + szKey.size() + szValue.size() + 8);
    bool bInSection = false;
    bool bFound = false;
    size_t nInsertAt = View::npos;  // after the section's last entry; npos: at the end
    Lines lines{szText};
    View line;
    size_t nBegin = 0;
    while (lines.Next(line, nBegin)) {
      View szName, szLineKey, szLineValue;
      if (SectionOf(line, szName)) {
        if (bInSection) break;  // the wanted section ended without the key
        bInSection = SameName(szName, szSection);
        if (bInSection) {
          bFound = true;
          nInsertAt = lines.m_Begin;
        }
        continue;
      }
      if (!bInSection) continue;
      if (KeyOf(line, szLineKey, szLineValue) && SameName(szLineKey, szKey)) {
        // Only the value changes; the key keeps the spelling it has in the
        // file, without the blanks around it, as Wine writes it back.
        out += szText.substr(0, nBegin);
        AppendLine(out, Trim(szLineKey), kEquals, szValue);
        if (lines.m_Begin < szText.size()) AppendEnded(out, szText.substr(lines.m_Begin));
        return out;
      }
      if (!Trim(line).empty()) nInsertAt = lines.m_Begin;
    }
    if (!bFound) {
      AppendEnded(out, szText);
      AppendLine(out, kOpen, szSection, kClose);
      AppendLine(out, szKey, kEquals, szValue);
    } else if (nInsertAt >= szText.size()) {
      AppendEnded(out, szText);
      AppendLine(out, szKey, kEquals, szValue);
    } else {
      out += szText.substr(0, nInsertAt);
      AppendLine(out, szKey, kEquals, szValue);
      AppendEnded(out, szText.substr(nInsertAt));
    }
    return out;
  }
};

using WideIni = Ini<wchar_t>;

}  // namespace

bool SectionOf(const std::wstring& szLine, std::wstring& szSection) {
  std::wstring_view szName;
  if (!WideIni::SectionOf(szLine, szName)) return false;
  szSection = szName;
  return true;
}

std::wstring SetIniValue(const std::wstring& szText, const std::wstring& szSection,
                         const std::wstring& szKey, const std::wstring& szValue) {
  return WideIni::SetValue(szText, szSection, szKey, szValue);
}

std::string SetIniValueUtf8(const std::string& szText, const std::string& szSection,
                            const std::string& szKey, const std::string& szValue) {
  return Ini<char>::SetValue(szText, szSection, szKey, szValue);
}

std::vector<IniEntry> ParseIni(const std::wstring& szText) {
  std::vector<IniEntry> entries;
  std::wstring szSection;
  WideIni::Lines lines{szText};
  std::wstring_view line;
  size_t nBegin = 0;
  while (lines.Next(line, nBegin)) {
    std::wstring_view szName, szKey, szValue;
    if (WideIni::SectionOf(line, szName)) {
      szSection = szName;
    } else if (WideIni::KeyOf(line, szKey, szValue)) {
      entries.push_back({szSection, std::wstring(szKey), std::wstring(szValue)});
    }
  }
  return entries;
}

}  // namespace sim
