// The simulated machine's profile writer: INI text in, INI text out.
//
// It keeps to what the program relies on in WritePrivateProfileStringW:
// the section is added when missing, an existing key (compared without
// regard to the case of A to Z, and ignoring spaces and tabs around it) gets
// its value replaced and keeps its spelling, a new key goes after the
// section's last entry without the spaces and tabs around it, every other
// line stays as it was, lines end in CR LF, and an empty value gives "key=".
//
// Only CR LF ends a line. A lone CR or LF inside a key or value is stored as
// it is and stays part of its line, so a key that holds a line feed (the
// letter summary) is found again and replaced like any other.
#pragma once

#include <string>
#include <vector>

namespace sim {

// The section a line opens, as the profile reader tells one: "[" first,
// blanks aside, and the name up to "]", blanks trimmed. False when the line
// opens none.
bool SectionOf(const std::wstring& szLine, std::wstring& szSection);

std::wstring SetIniValue(const std::wstring& szText, const std::wstring& szSection,
                         const std::wstring& szKey, const std::wstring& szValue);

// The same edit on UTF-8 text, with UTF-8 names and value.
std::string SetIniValueUtf8(const std::string& szText, const std::string& szSection,
                            const std::string& szKey, const std::string& szValue);

struct IniEntry {
  std::wstring m_Section;
  std::wstring m_Key;
  std::wstring m_Value;
};

// Every key=value line of the text, in file order, with its section.
std::vector<IniEntry> ParseIni(const std::wstring& szText);

}  // namespace sim
