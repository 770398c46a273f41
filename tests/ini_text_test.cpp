#include <gtest/gtest.h>

#include "simulator/ini_text.h"

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
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(sim::SetIniValue(c.szBefore, c.szSection, c.szKey, c.szValue), c.szAfter);
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
