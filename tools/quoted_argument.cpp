#include "tools/quoted_argument.h"

std::string QuotedArgument(const std::string& szArg) {
  if (!szArg.empty() && szArg.find_first_of(" \t\n\v\"") == std::string::npos) return szArg;
  std::string szQuoted = "\"";
  size_t nBackslashes = 0;
  for (const char c : szArg) {
    if (c == '\\') {
      ++nBackslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    szQuoted.append(c == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
    szQuoted += c;
    nBackslashes = 0;
  }
  // Before the closing quote too.
  szQuoted.append(2 * nBackslashes, '\\');
  return szQuoted + "\"";
}
