// Colour for the reports people read: ANSI codes around a piece of text
// when colour is on, the text alone when it is off. The caller decides with
// UseColour.
#pragma once

#include <cstring>
#include <string>

// Colour only on a terminal (`bTerminal`), when NO_COLOR is not set and the
// terminal is not a dumb one: the values of those two environment variables,
// nullptr when unset.
inline bool UseColour(bool bTerminal, const char* szNoColor, const char* szTerm) {
  const bool bDumb = szTerm != nullptr && std::strcmp(szTerm, "dumb") == 0;
  return bTerminal && szNoColor == nullptr && !bDumb;
}

struct Style {
  bool m_Colour = false;

  std::string Paint(const char* szCode, const std::string& sz) const {
    return m_Colour ? std::string("\x1b[") + szCode + "m" + sz + "\x1b[0m" : sz;
  }
  std::string Heading(const std::string& sz) const { return Paint("1", sz); }
  std::string Good(const std::string& sz) const { return Paint("32", sz); }
  std::string Bad(const std::string& sz) const { return Paint("1;31", sz); }
  std::string Faint(const std::string& sz) const { return Paint("2", sz); }
};
