// Case of the letters a to z only, whatever the locale: how the file
// system, drive letters and volume labels are compared throughout; and
// decimal numbers. Plain text work, shared by the program and both platform
// implementations.
#pragma once

#include <string>

namespace platform {

// c with a to z made A to Z; every other character unchanged.
constexpr wchar_t UpperAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// sz with a to z made A to Z; every other character unchanged.
inline std::wstring UpperAscii(std::wstring sz) {
  for (wchar_t& c : sz) c = UpperAscii(c);
  return sz;
}

// A to Z or a to z.
constexpr bool IsAsciiLetter(wchar_t c) { return UpperAscii(c) >= L'A' && UpperAscii(c) <= L'Z'; }

// Appends n in decimal, as std::to_wstring writes it, without the formatted
// printing that made it most of the cost of a log line or a device path.
inline void AppendDecimal(std::wstring& sz, long long n) {
  wchar_t digits[20];  // the most negative value: a sign and 19 digits
  size_t nAt = sizeof digits / sizeof digits[0];
  const bool bNegative = n < 0;
  // Digit by digit from the remainder, which keeps the sign of n, so the
  // most negative value needs no negation.
  do {
    const long long nDigit = n % 10;
    digits[--nAt] = static_cast<wchar_t>(L'0' + (nDigit < 0 ? -nDigit : nDigit));
    n /= 10;
  } while (n != 0);
  if (bNegative) digits[--nAt] = L'-';
  sz.append(digits + nAt, digits + sizeof digits / sizeof digits[0]);
}

// At least one character, and every one a digit 0 to 9 (no sign, no space):
// a number as a count or an index is written. UTF-8 or wide text.
template <class String>
bool IsDecimalDigits(const String& sz) {
  for (const auto c : sz) {
    if (c < '0' || c > '9') return false;
  }
  return !sz.empty();
}

}  // namespace platform
