// Which three drive letters a run works with: the ones the command line
// gave, or the defaults. The setup context settles them with this rule, and
// so does the report of a simulated run.
#pragma once

#include <string>

// The letters a run works with when the command line gives none; the UEFI
// letter rule gives the special partitions these same letters.
constexpr wchar_t kDefaultRecoveryLetter[] = L"W:";
constexpr wchar_t kDefaultESPLetter[] = L"R:";
constexpr wchar_t kDefaultPBRLetter[] = L"M:";

// The three letters as the command line gives them, in its order.
struct LetterArguments {
  std::wstring m_Recovery;
  std::wstring m_ESP;
  std::wstring m_PBR;
};

struct SettledLetters {
  std::wstring m_Recovery;
  std::wstring m_ESP;
  std::wstring m_PBR;
  bool m_Given = false;  // true: the arguments; false: the defaults
};

// The three arguments, unchanged and empty ones included, when any of them is
// not empty; "W:", "R:", "M:" otherwise.
SettledLetters SettleLetters(LetterArguments letters);
