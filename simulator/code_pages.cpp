// The code pages the simulated machine converts text in: the console's
// 437 (United States) and 850 (Western Europe), the ANSI 1252, UTF-7 and
// UTF-8. Bytes below 0x80 are ASCII in each but UTF-7; the tables give the
// upper half.
#include "simulator/code_pages.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "simulator/described_code_pages.h"
#include "simulator/sim_text.h"
#include "platform/utf8.h"

namespace sim {
namespace {

using UpperHalf = char32_t[128];

// Windows' tables, as its conversion calls read them.
constexpr UpperHalf k437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
constexpr UpperHalf k850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for the control characters of the
// same value, as Windows converts them.
constexpr UpperHalf k1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

const UpperHalf* TableOf(std::uint32_t nCodePage) {
  switch (nCodePage) {
    case 437: return &k437;
    case 850: return &k850;
    case 1252: return &k1252;
    default: return nullptr;
  }
}

bool IsUtf8(std::uint32_t nCodePage) { return nCodePage == kCodePageUtf8; }

// UTF-7 (RFC 2152): letters, digits, space, tab, CR, LF and ' ( ) , - . / : ?
// stand for themselves; any other UTF-16 unit is written in base64 between
// '+' and '-', and '+' itself as "+-". So '\\' is "+AFw-".
constexpr std::uint32_t kCodePageUtf7 = 65000;
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsUtf7Direct(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
         std::wstring_view(L" \t\r\n'(),-./:?").find(c) != std::wstring_view::npos;
}

std::string ToUtf7(const std::wstring& szText) {
  std::string szOut;
  for (size_t i = 0; i < szText.size();) {
    if (IsUtf7Direct(szText[i])) {
      szOut += static_cast<char>(szText[i++]);
    } else if (szText[i] == L'+') {
      szOut += "+-";
      ++i;
    } else {
      szOut += '+';
      std::uint32_t nBits = 0;
      int nCount = 0;
      for (; i < szText.size() && !IsUtf7Direct(szText[i]) && szText[i] != L'+'; ++i) {
        nBits = (nBits << 16) | static_cast<std::uint16_t>(szText[i]);
        for (nCount += 16; nCount >= 6; nCount -= 6) szOut += kBase64[(nBits >> (nCount - 6)) & 63];
      }
      if (nCount > 0) szOut += kBase64[(nBits << (6 - nCount)) & 63];
      szOut += '-';
    }
  }
  return szOut;
}

int Base64Value(char c) {
  const char* p = c == '\0' ? nullptr : std::strchr(kBase64, c);
  return p == nullptr ? -1 : static_cast<int>(p - kBase64);
}

// False for a byte outside ASCII, which UTF-7 never holds.
bool FromUtf7(const std::string& szBytes, std::wstring* pText) {
  for (size_t i = 0; i < szBytes.size();) {
    const char b = szBytes[i++];
    if (static_cast<unsigned char>(b) >= 0x80) return false;
    if (b != '+') {
      *pText += static_cast<wchar_t>(b);
      continue;
    }
    std::uint32_t nBits = 0;
    int nCount = 0;
    bool bAny = false;
    for (int n; i < szBytes.size() && (n = Base64Value(szBytes[i])) >= 0; ++i) {
      bAny = true;
      nBits = (nBits << 6) | static_cast<std::uint32_t>(n);
      if ((nCount += 6) >= 16) {
        nCount -= 16;
        *pText += static_cast<wchar_t>((nBits >> nCount) & 0xFFFF);
      }
    }
    if (i < szBytes.size() && szBytes[i] == '-') {
      ++i;
      if (!bAny) *pText += L'+';
    }
  }
  return true;
}

}  // namespace

bool KnownCodePage(std::uint32_t nCodePage) {
  return platform::IsDescribedCodePage(nCodePage) &&
         (IsUtf8(nCodePage) || nCodePage == kCodePageUtf7 || TableOf(nCodePage) != nullptr);
}

bool EncodeInCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes) {
  pBytes->clear();
  if (IsUtf8(nCodePage)) {
    if (!platform::IsWholeText(szText)) return false;
    *pBytes = ToUtf8(szText);
    return true;
  }
  if (nCodePage == kCodePageUtf7) {
    *pBytes = ToUtf7(szText);
    return true;
  }
  const UpperHalf* pTable = TableOf(nCodePage);
  if (pTable == nullptr) return false;
  for (wchar_t c : szText) {
    const auto n = static_cast<char32_t>(c);
    if (n < 0x80) {
      *pBytes += static_cast<char>(n);
      continue;
    }
    int nByte = -1;
    for (int i = 0; i < 128 && nByte < 0; ++i) {
      if ((*pTable)[i] == n) nByte = 0x80 + i;
    }
    if (nByte < 0) return false;
    *pBytes += static_cast<char>(nByte);
  }
  return true;
}

bool DecodeInCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText) {
  pText->clear();
  if (IsUtf8(nCodePage)) {
    *pText = FromUtf8(szBytes);
    return true;
  }
  if (nCodePage == kCodePageUtf7) return FromUtf7(szBytes, pText);
  const UpperHalf* pTable = TableOf(nCodePage);
  if (pTable == nullptr) return false;
  for (char b : szBytes) {
    const auto n = static_cast<unsigned char>(b);
    *pText += static_cast<wchar_t>(n < 0x80 ? n : (*pTable)[n - 0x80]);
  }
  return true;
}

}  // namespace sim
