// The pure text rules of the Win32 calls, on every host: the real calls
// only feed them.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/utf8.h"
#include "platform/win32_text.h"

namespace {

TEST(Win32Text, SplitsAListOfStringsWithinItsLength) {
  struct Case {
    const char* szName;
    std::wstring_view chars;
    std::vector<std::wstring> expected;
  };
  const Case kCases[] = {
      {"drive roots", std::wstring_view(L"C:\\\0D:\\\0\0", 9), {L"C:\\", L"D:\\"}},
      {"empty list", std::wstring_view(L"\0", 1), {}},
      {"nothing after the empty string", std::wstring_view(L"A\0\0B\0\0", 6), {L"A"}},
      {"cut short: ends with the characters", std::wstring_view(L"\\Device\\XYZ", 9),
       {L"\\Device\\X"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(platform::SplitMultiString(c.chars), c.expected);
  }
}

// Windows' wchar_t is 16 bits: a character past U+FFFF is a surrogate pair
// there and one unit on Linux; both give the same UTF-8.
TEST(Win32Text, Utf16JoinsAndSplitsSurrogatePairs) {
  struct Case {
    const char* szName;
    std::u16string utf16;
    std::string szUtf8;   // of utf16
    bool bWhole;          // utf16 holds only whole characters
    bool bRoundTrip;      // utf16 comes back from szUtf8
  };
  const Case kCases[] = {
      {"emoji label", u"DATA\U0001F600", "DATA\xF0\x9F\x98\x80", true, true},
      {"first half alone", std::u16string(1, u'\xD83D') + u"A", "\xEF\xBF\xBD" "A", false, false},
      {"halves in the wrong order", std::u16string{u'\xDE00', u'\xD83D'},
       "\xEF\xBF\xBD\xEF\xBF\xBD", false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(platform::TextToUtf8(c.utf16), c.szUtf8);
    EXPECT_EQ(platform::IsWholeText(c.utf16), c.bWhole);
    EXPECT_EQ(platform::Utf8ToText<std::u16string>(c.szUtf8) == c.utf16, c.bRoundTrip);
    EXPECT_EQ(platform::TextToUtf8(platform::Utf8ToText<std::u32string>(c.szUtf8)), c.szUtf8);
  }
}

TEST(Win32Text, NamesALongProfileFileThroughItsFolderShortForm) {
  const std::wstring szLongDir = L"C:\\" + std::wstring(250, L'd') + L"\\Log";  // 257 characters
  const std::wstring szLongFile = szLongDir + L"\\Malvik.log";
  const std::wstring szMidDir = L"C:\\" + std::wstring(240, L'd');  // 243 characters
  const std::wstring szMidFile = szMidDir + L"\\" + std::wstring(20, L'f');
  struct Case {
    const char* szName;
    std::wstring szFile;
    std::wstring szShort;  // what the system answers for the folder
    std::wstring szAsked;  // the folder it is asked about; empty: not asked
    std::wstring szExpected;
  };
  const Case kCases[] = {
      {"259 characters: as it is", L"C:\\" + std::wstring(245, L'd') + L"\\Malvik.log", L"X",
       L"", L"C:\\" + std::wstring(245, L'd') + L"\\Malvik.log"},
      {"long folder asked in the \\\\?\\ form, answer without it", szLongFile,
       L"\\\\?\\C:\\DDDDDD~1\\Log", L"\\\\?\\" + szLongDir, L"C:\\DDDDDD~1\\Log\\Malvik.log"},
      {"shorter folder asked plainly", szMidFile, L"C:\\DDDDDD~1", szMidDir,
       L"C:\\DDDDDD~1\\" + std::wstring(20, L'f')},
      {"no short form", szLongFile, L"", L"\\\\?\\" + szLongDir, L""},
      {"short form still too long", szLongFile, L"C:\\" + std::wstring(246, L'S'),
       L"\\\\?\\" + szLongDir, L""},
      {"no folder", std::wstring(260, L'f'), L"X", L"", L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::wstring szAsked;
    const std::wstring szName =
        platform::ProfileFileName(c.szFile, [&](const std::wstring& szFolder) {
          szAsked = szFolder;
          return c.szShort;
        });
    EXPECT_EQ(szName, c.szExpected);
    EXPECT_EQ(szAsked, c.szAsked);
  }
}

}  // namespace
