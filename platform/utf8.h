// UTF-8: encoding one code point and decoding one sequence, for the text the
// programs write and read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Appends c (at most 0x10FFFF, not a lone surrogate) in UTF-8.
inline void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Text in code units of 16 bits (UTF-16: wchar_t on Windows, char16_t) or
// of 32 bits (wchar_t on Linux, char32_t), as std::basic_string.
template <class Text>
constexpr bool kUtf16Units = sizeof(typename Text::value_type) == 2;

// UTF-8 of text in 16- or 32-bit units: a UTF-16 surrogate pair is one code
// point; any other surrogate, or a value past 0x10FFFF, becomes U+FFFD.
template <class Text>
std::string TextToUtf8(const Text& sz) {
  std::string out;
  for (std::size_t i = 0; i < sz.size(); ++i) {
    auto c = static_cast<std::uint32_t>(sz[i]);
    const auto next = i + 1 < sz.size() ? static_cast<std::uint32_t>(sz[i + 1]) : 0u;
    if (kUtf16Units<Text> && c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// UTF-8 of a wide string, whether wchar_t holds UTF-16 (Windows) or UTF-32.
inline std::string WideToUtf8(const std::wstring& sz) { return TextToUtf8(sz); }

// Appends the code point c (at most 0x10FFFF) in 16- or 32-bit units: past
// 0xFFFF as a surrogate pair in UTF-16.
template <class Text>
void AppendCodePoint(Text& out, std::uint32_t c) {
  using Unit = typename Text::value_type;
  if (kUtf16Units<Text> && c > 0xFFFF) {
    out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<Unit>(c);
  }
}

// Whether the text holds only whole characters: no surrogate outside a
// UTF-16 pair, no value past 0x10FFFF.
template <class Text>
bool IsWholeText(const Text& sz) {
  for (std::size_t i = 0; i < sz.size(); ++i) {
    const auto c = static_cast<std::uint32_t>(sz[i]);
    const auto next = i + 1 < sz.size() ? static_cast<std::uint32_t>(sz[i + 1]) : 0u;
    if (kUtf16Units<Text> && c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      ++i;
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      return false;
    }
  }
  return true;
}

// One sequence read from UTF-8 bytes.
struct Utf8Sequence {
  bool m_Valid = false;  // a lead byte followed by all its continuation bytes
  std::uint32_t m_CodePoint = 0;  // when valid
  std::size_t m_Length = 1;       // bytes it takes; 1 when not valid
};

// The sequence at sz[i] (i < sz.size()). A byte that cannot lead (a
// continuation byte, 0xF8 to 0xFF) or a lead whose continuation bytes are
// missing is not valid, and takes that one byte.
inline Utf8Sequence DecodeUtf8At(const std::string& sz, std::size_t i) {
  const auto b = static_cast<unsigned char>(sz[i]);
  const std::size_t nExtra = b < 0x80          ? 0
                             : (b >> 5) == 0x6  ? 1
                             : (b >> 4) == 0xE  ? 2
                             : (b >> 3) == 0x1E ? 3
                                                : 4;
  if (nExtra == 4 || nExtra >= sz.size() - i) return {};
  std::uint32_t c = nExtra == 0 ? b : b & (0x3Fu >> nExtra);
  for (std::size_t k = 1; k <= nExtra; ++k) {
    const auto cont = static_cast<unsigned char>(sz[i + k]);
    if ((cont & 0xC0) != 0x80) return {};
    c = (c << 6) | (cont & 0x3Fu);
  }
  return {true, c, nExtra + 1};
}

// Text in 16- or 32-bit units from UTF-8: a code point past 0xFFFF becomes a
// surrogate pair in UTF-16; a byte that is not part of a valid sequence, or a
// sequence that names a surrogate or a value past 0x10FFFF, becomes U+FFFD.
template <class Text>
Text Utf8ToText(const std::string& sz) {
  Text out;
  for (std::size_t i = 0; i < sz.size();) {
    const Utf8Sequence sequence = DecodeUtf8At(sz, i);
    const std::uint32_t c = sequence.m_CodePoint;
    const bool bWhole = sequence.m_Valid && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    AppendCodePoint(out, bWhole ? c : 0xFFFD);
    i += sequence.m_Length;
  }
  return out;
}

}  // namespace platform
