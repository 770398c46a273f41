#include <gtest/gtest.h>

#include "simulator/ini_text.h"
#include "simulator/sim_text.h"

namespace {

TEST(IniText, EditsLikeTheProfileWriter) {
  struct Case {
    const char* szName;
    const wchar_t* szBefore;
    const wchar_t* szSection;
    const wchar_t* szKey;
    const wchar_t* szValue;
    const wchar_t* szAfter;
  };
  const Case kCases[] = {
      {"new file", L"", L"Malvik", L"k", L"v", L"[Malvik]\r\nk=v\r\n"},
      {"empty value", L"", L"Malvik", L"k", L"", L"[Malvik]\r\nk=\r\n"},
      {"new key after the last entry", L"[Malvik]\r\na=1\r\n", L"Malvik", L"b", L"2",
       L"[Malvik]\r\na=1\r\nb=2\r\n"},
      {"replaced, key compared without case", L"[Malvik]\r\nKey=old\r\nz=9\r\n", L"malvik", L"kEY",
       L"new", L"[Malvik]\r\nKey=new\r\nz=9\r\n"},
      {"new section after the others", L"[Other]\r\nx=1\r\n", L"Malvik", L"k", L"v",
       L"[Other]\r\nx=1\r\n[Malvik]\r\nk=v\r\n"},
      {"other sections untouched, key goes before the blank line",
       L"[A]\r\nk=1\r\n[Malvik]\r\nk=2\r\n\r\n[B]\r\nk=3\r\n", L"Malvik", L"n", L"4",
       L"[A]\r\nk=1\r\n[Malvik]\r\nk=2\r\nn=4\r\n\r\n[B]\r\nk=3\r\n"},
      {"same key in another section is not touched", L"[A]\r\nk=1\r\n", L"Malvik", L"k", L"2",
       L"[A]\r\nk=1\r\n[Malvik]\r\nk=2\r\n"},
      {"unrelated lines kept as they are", L"; comment\r\n[Malvik]\r\n  odd line\r\nk=1\r\n",
       L"Malvik", L"k", L"2", L"; comment\r\n[Malvik]\r\n  odd line\r\nk=2\r\n"},
      {"key holding a line feed is stored raw", L"", L"Malvik", L"sum\n", L"",
       L"[Malvik]\r\nsum\n=\r\n"},
      {"and found again", L"[Malvik]\r\nsum\n=\r\n", L"Malvik", L"sum\n", L"x",
       L"[Malvik]\r\nsum\n=x\r\n"},
      {"a last line without CR LF gets one", L"[Malvik]\r\na=1\r", L"Malvik", L"b", L"2",
       L"[Malvik]\r\na=1\r\r\nb=2\r\n"},
      {"replaced before a last line without CR LF", L"[Malvik]\r\na=1\r\nz=9", L"Malvik",
       L"a", L"2", L"[Malvik]\r\na=2\r\nz=9\r\n"},
      {"names beyond ASCII, a to z folded only", L"[\u00e9t\u00e9]\r\n\u00c9l\u00e8ve=1\r\n",
       L"\u00e9T\u00e9", L"\u00c9L\u00e8ve", L"\U0001F600",
       L"[\u00e9t\u00e9]\r\n\u00c9l\u00e8ve=\U0001F600\r\n"},
      {"and not matched by another case of them", L"[Malvik]\r\n\u00e9=1\r\n", L"Malvik",
       L"\u00c9", L"2", L"[Malvik]\r\n\u00e9=1\r\n\u00c9=2\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(sim::SetIniValue(c.szBefore, c.szSection, c.szKey, c.szValue), c.szAfter);
    // The simulated profile writer edits UTF-8 files as they are.
    EXPECT_EQ(sim::SetIniValueUtf8(sim::ToUtf8(c.szBefore), sim::ToUtf8(c.szSection),
                                   sim::ToUtf8(c.szKey), sim::ToUtf8(c.szValue)),
              sim::ToUtf8(c.szAfter));
  }
}

// Which file bytes the profile writer may edit as UTF-8: those that read
// back to themselves. The others (a log an ANSI writer left) are read and
// written as wide text, U+FFFD for what is not UTF-8.
TEST(IniText, BytesThatReadBackToThemselves) {
  struct Case {
    const char* szBytes;
    bool bRoundTrip;
  };
  const Case kCases[] = {
      {"", true},
      {"[Malvik]\r\nk=v\r\n", true},
      {"\xC3\xA9t\xC3\xA9", true},              // \u00e9t\u00e9
      {"\xF0\x9F\x98\x80", true},                // U+1F600
      {"\xE9t\xE9", false},                      // Latin-1
      {"\xC3", false},                            // cut short
      {"\xC0\x80", false},                        // NUL, overlong
      {"\xE0\x80\xA9", false},                    // overlong
      {"\xED\xA0\x80", false},                    // a surrogate
      {"\xF4\x90\x80\x80", false},                // past U+10FFFF
      {"\x80", false},                            // a continuation byte first
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.szBytes)));
    EXPECT_EQ(sim::IsRoundTripUtf8(c.szBytes), c.bRoundTrip);
    EXPECT_EQ(sim::ToUtf8(sim::FromUtf8(c.szBytes)) == c.szBytes, c.bRoundTrip);
  }
}

TEST(IniText, ParsesEntriesWithTheirSections) {
  const auto entries = sim::ParseIni(L"[A]\r\nx=1\r\n\r\n[Malvik]\r\nk\n=v=w\r\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].m_Section, L"A");
  EXPECT_EQ(entries[1].m_Section, L"Malvik");
  EXPECT_EQ(entries[1].m_Key, L"k\n");
  EXPECT_EQ(entries[1].m_Value, L"v=w");
}

}  // namespace
