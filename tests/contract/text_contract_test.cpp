// Converting text into a code page: the call takes only the flags each code
// page allows, so ASCII reaches every code page, and the bytes show whether
// ASCII stands for itself there.
#include "platform/platform.h"
#include "tests/contract/contract_fixture.h"

namespace contract {
namespace {

TEST_F(ContractTest, TextIntoCodePages) {
  struct Case {
    std::uint32_t nCodePage;
    const wchar_t* szText;
    const char* szBytes;  // nullptr: the conversion fails
  };
  const Case kCases[] = {
      {437, L"C:\\PROGRA~1\\A+B", "C:\\PROGRA~1\\A+B"},
      {1252, L"\u00e9", "\xe9"},
      {437, L"\u00d8", nullptr},  // no form in 437: never a look-alike
      {65001, L"\u00e9", "\xc3\xa9"},
      {65001, L"\xd800", nullptr},  // a lone surrogate
      // UTF-7 takes no flags and no used-default pointer; it writes '\' and
      // '+' otherwise.
      {65000, L"A\\B", "A+AFw-B"},
      {65000, L"A+B", "A+-B"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nCodePage);
    std::string szBytes;
    EXPECT_EQ(platform::TextToCodePage(c.nCodePage, c.szText, &szBytes), c.szBytes != nullptr);
    if (c.szBytes != nullptr) {
      EXPECT_EQ(szBytes, c.szBytes);
    }
  }
}

}  // namespace
}  // namespace contract
