#include "simulator/json_syntax.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace sim {
namespace {

// Thrown inside the scanner only.
struct Fault {
  size_t m_Offset;
  std::string m_What;
};

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at nPos, or 0.
size_t Utf8Length(const std::string& sz, size_t nPos) {
  const auto c = static_cast<unsigned char>(sz[nPos]);
  size_t nLength = 0;
  std::uint32_t nCode = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    nLength = 2, nCode = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    nLength = 3, nCode = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    nLength = 4, nCode = c & 0x07;
  } else {
    return 0;
  }
  if (nPos + nLength > sz.size()) return 0;
  for (size_t i = 1; i < nLength; ++i) {
    const auto cNext = static_cast<unsigned char>(sz[nPos + i]);
    if (!IsContinuation(cNext)) return 0;
    nCode = (nCode << 6) | (cNext & 0x3F);
  }
  const bool bOverlong = (nLength == 3 && nCode < 0x800) || (nLength == 4 && nCode < 0x10000);
  const bool bSurrogate = nCode >= 0xD800 && nCode <= 0xDFFF;
  return bOverlong || bSurrogate || nCode > 0x10FFFF ? 0 : nLength;
}

// What stands at nPos, for "found ...".
std::string Found(const std::string& sz, size_t nPos) {
  if (nPos >= sz.size()) return "the end of the text";
  const auto c = static_cast<unsigned char>(sz[nPos]);
  if (c == '\n' || c == '\r') return "the end of the line";
  if (c < 0x20 || c == 0x7F) return "a control character";
  if (c < 0x80) return "'" + std::string(1, static_cast<char>(c)) + "'";
  const size_t nLength = Utf8Length(sz, nPos);
  return nLength == 0 ? "a byte that is not UTF-8" : "'" + sz.substr(nPos, nLength) + "'";
}

struct Scanner {
  const std::string& m_Text;
  size_t m_Pos = 0;

  bool AtEnd() const { return m_Pos >= m_Text.size(); }
  char Peek() const { return AtEnd() ? '\0' : m_Text[m_Pos]; }
  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      ++m_Pos;
    }
  }
  [[noreturn]] void Fail(const std::string& szWhat) const { throw Fault{m_Pos, szWhat}; }
  [[noreturn]] void Expected(const std::string& szWhat) const {
    Fail("expected " + szWhat + ", found " + Found(m_Text, m_Pos));
  }

  bool IsHex(size_t nPos) const {
    return nPos < m_Text.size() && std::isxdigit(static_cast<unsigned char>(m_Text[nPos]));
  }

  // \uXXXX at m_Pos (the backslash); its code unit.
  unsigned UnicodeEscape() {
    for (size_t i = 2; i < 6; ++i) {
      if (!IsHex(m_Pos + i)) {
        m_Pos += i;
        Expected("four hexadecimal digits after \\u");
      }
    }
    const unsigned n = static_cast<unsigned>(std::stoul(m_Text.substr(m_Pos + 2, 4), nullptr, 16));
    return n;
  }

  void String() {
    const size_t nStart = m_Pos++;
    while (true) {
      if (AtEnd()) {
        m_Pos = nStart;
        Fail("this string has no closing '\"'");
      }
      const auto c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        ++m_Pos;
        return;
      }
      if (c == '\n' || c == '\r') Fail("a line break inside a string (write it as \\n)");
      if (c < 0x20) Fail("a control character inside a string (write it as \\u00XX)");
      if (c >= 0x80) {
        const size_t nLength = Utf8Length(m_Text, m_Pos);
        if (nLength == 0) Fail("a byte that is not UTF-8 inside a string (save the file as UTF-8)");
        m_Pos += nLength;
        continue;
      }
      if (c != '\\') {
        ++m_Pos;
        continue;
      }
      const char cEscape = m_Pos + 1 < m_Text.size() ? m_Text[m_Pos + 1] : '\0';
      if (std::string("\"\\/bfnrt").find(cEscape) != std::string::npos && cEscape != '\0') {
        m_Pos += 2;
        continue;
      }
      if (cEscape != 'u') {
        Fail("a backslash that starts no escape JSON knows (\\\", \\\\, \\/, \\b, \\f, \\n, \\r, "
             "\\t, \\uXXXX): a backslash itself is written \\\\");
      }
      const unsigned nUnit = UnicodeEscape();
      if (nUnit >= 0xDC00 && nUnit <= 0xDFFF) {
        Fail("a \\u escape of a second surrogate half with no first half before it");
      }
      if (nUnit >= 0xD800 && nUnit <= 0xDBFF) {
        const size_t nFirst = m_Pos;
        m_Pos += 6;
        if (Peek() != '\\' || m_Pos + 1 >= m_Text.size() || m_Text[m_Pos + 1] != 'u') {
          m_Pos = nFirst;
          Fail("a \\u escape of a first surrogate half with no second half after it");
        }
        const unsigned nSecond = UnicodeEscape();
        if (nSecond < 0xDC00 || nSecond > 0xDFFF) {
          m_Pos = nFirst;
          Fail("a \\u escape of a first surrogate half with no second half after it");
        }
      }
      m_Pos += 6;
    }
  }

  void Digits(const char* szAfter) {
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) {
      Expected(std::string("a digit after ") + szAfter);
    }
    while (std::isdigit(static_cast<unsigned char>(Peek()))) ++m_Pos;
  }

  void Number() {
    const size_t nStart = m_Pos;
    if (Peek() == '-') {
      ++m_Pos;
      if (!std::isdigit(static_cast<unsigned char>(Peek()))) Expected("a digit after '-'");
    }
    if (Peek() == '0') {
      ++m_Pos;
      if (std::isdigit(static_cast<unsigned char>(Peek()))) {
        m_Pos = nStart;
        Fail("a number that starts with 0 (write 7, not 07)");
      }
    } else {
      Digits("'-'");
    }
    if (Peek() == '.') {
      ++m_Pos;
      Digits("'.'");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++m_Pos;
      if (Peek() == '+' || Peek() == '-') ++m_Pos;
      Digits("the exponent's 'e'");
    }
  }

  void Word() {
    const size_t nStart = m_Pos;
    while (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '_') ++m_Pos;
    const std::string szWord = m_Text.substr(nStart, m_Pos - nStart);
    if (szWord == "true" || szWord == "false" || szWord == "null") return;
    m_Pos = nStart;
    Fail("'" + szWord + "' is no JSON value: true, false and null are written in lower case, "
         "text goes in double quotes");
  }

  // A value that is not an object or array.
  void Scalar() {
    const char c = Peek();
    if (c == '"') {
      String();
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      Number();
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      Word();
    } else {
      Expected("a value (an object, array, text in double quotes, number, true, false or null)");
    }
  }
};

}  // namespace

std::optional<JsonSyntaxFault> FindJsonSyntaxFault(const std::string& szText) {
  Scanner scanner{szText};
  if (szText.rfind("\xEF\xBB\xBF", 0) == 0) scanner.m_Pos = 3;
  std::vector<char> open;  // '{' or '[', innermost last
  enum { kValue, kKey, kAfterValue } next = kValue;
  try {
    scanner.SkipSpace();
    if (scanner.AtEnd()) {
      scanner.m_Pos = 0;
      scanner.Fail("the text is empty; a description is a JSON object: {...}");
    }
    while (true) {
      scanner.SkipSpace();
      if (next == kValue) {
        const char c = scanner.Peek();
        if (c == '{' || c == '[') {
          open.push_back(c);
          ++scanner.m_Pos;
          scanner.SkipSpace();
          if (scanner.Peek() == (c == '{' ? '}' : ']')) {
            open.pop_back();
            ++scanner.m_Pos;
            next = kAfterValue;
          } else {
            next = c == '{' ? kKey : kValue;
          }
        } else {
          scanner.Scalar();
          next = kAfterValue;
        }
      } else if (next == kKey) {
        if (scanner.Peek() != '"') scanner.Expected("a key in double quotes");
        scanner.String();
        scanner.SkipSpace();
        if (scanner.Peek() != ':') scanner.Expected("':' after the key");
        ++scanner.m_Pos;
        next = kValue;
      } else if (open.empty()) {
        if (!scanner.AtEnd()) scanner.Expected("the end of the text after the description");
        return std::nullopt;
      } else {
        const char cClose = open.back() == '{' ? '}' : ']';
        if (scanner.Peek() == cClose) {
          open.pop_back();
          ++scanner.m_Pos;
          continue;
        }
        if (scanner.Peek() != ',') {
          scanner.Expected(std::string("',' or '") + cClose + "' after a value");
        }
        ++scanner.m_Pos;
        scanner.SkipSpace();
        if (scanner.Peek() == cClose) {
          scanner.Fail(std::string("a ',' before '") + cClose + "': JSON allows none there");
        }
        next = open.back() == '{' ? kKey : kValue;
      }
    }
  } catch (const Fault& fault) {
    JsonSyntaxFault found = PlaceOf(szText, fault.m_Offset);
    found.m_What = fault.m_What;
    return found;
  }
}

std::string SyntaxFaultText(const JsonSyntaxFault& fault) {
  return "line " + std::to_string(fault.m_Line) + ", column " + std::to_string(fault.m_Column) +
         ": " + fault.m_What;
}

JsonSyntaxFault PlaceOf(const std::string& szText, size_t nOffset) {
  JsonSyntaxFault place;
  const size_t nBom = szText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // not shown by editors
  for (size_t i = nBom; i < nOffset && i < szText.size(); ++i) {
    if (szText[i] == '\n') {
      ++place.m_Line;
      place.m_Column = 1;
    } else if (!IsContinuation(static_cast<unsigned char>(szText[i]))) {
      ++place.m_Column;
    }
  }
  return place;
}

}  // namespace sim
