// The profile-string writer and folder creation, byte for byte: what the log
// relies on.
#include "platform/platform.h"
#include "tests/contract/contract_fixture.h"

namespace contract {
namespace {

TEST_F(ContractTest, ProfileWriterBytes) {
  struct Case {
    const char* szName;
    const char* szBefore;  // nullptr: no file
    const wchar_t* szSection;
    const wchar_t* szKey;
    const wchar_t* szValue;
    const char* szAfter;
  };
  const Case kCases[] = {
      {"new file", nullptr, L"Malvik", L"k", L"v", "[Malvik]\r\nk=v\r\n"},
      {"empty value", nullptr, L"Malvik", L"k", L"", "[Malvik]\r\nk=\r\n"},
      {"new section after the others", "[A]\r\nx=1\r\n", L"Malvik", L"k", L"v",
       "[A]\r\nx=1\r\n[Malvik]\r\nk=v\r\n"},
      {"replaced value, the key keeps its spelling", "[Malvik]\r\nKey=old\r\nz=9\r\n", L"malvik",
       L"kEY", L"new", "[Malvik]\r\nKey=new\r\nz=9\r\n"},
      // Keys match with their blanks trimmed: a new key is written as given,
      // a replaced one comes back trimmed.
      {"new key with a blank", nullptr, L"Malvik", L"k ", L"v", "[Malvik]\r\nk =v\r\n"},
      {"replaced key with a blank", "[Malvik]\r\nk =old\r\n", L"Malvik", L"k ", L"v",
       "[Malvik]\r\nk=v\r\n"},
      {"new key after the section's last entry", "[Malvik]\r\na=1\r\n[B]\r\nb=2\r\n", L"Malvik",
       L"n", L"3", "[Malvik]\r\na=1\r\nn=3\r\n[B]\r\nb=2\r\n"},
  };
  const std::wstring szFile = std::wstring(kDrive) + L"\\p.ini";
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    BeginCase();
    if (c.szBefore != nullptr) PutFile(szFile, c.szBefore);
    EXPECT_TRUE(platform::WriteProfileValue(c.szSection, c.szKey, c.szValue, szFile).m_Ok);
    EXPECT_EQ(ReadFileBytes(szFile), std::optional<std::string>(c.szAfter));
  }
}

TEST_F(ContractTest, ProfileWriterCreatesNoFolder) {
  const std::wstring szFile = std::wstring(kDrive) + L"\\Log\\p.ini";
  EXPECT_FALSE(platform::WriteProfileValue(L"Malvik", L"k", L"v", szFile).m_Ok);
  EXPECT_FALSE(FolderExists(std::wstring(kDrive) + L"\\Log"));
}

TEST_F(ContractTest, ProfileWriterKeyWithLineFeed) {
  const std::wstring szFile = std::wstring(kDrive) + L"\\p.ini";
  ASSERT_TRUE(platform::WriteProfileValue(L"Malvik", L"sum\n", L"", szFile).m_Ok);
  // The key is stored as it is, line feed included; only CR LF ends a line.
  EXPECT_EQ(ReadFileBytes(szFile), std::optional<std::string>("[Malvik]\r\nsum\n=\r\n"));
}

TEST_F(ContractTest, CreateFolderMakesOneFolder) {
  const std::wstring szRoot(kDrive);
  EXPECT_FALSE(platform::CreateFolder(szRoot + L"\\a\\b").m_Ok);  // never the parents
  EXPECT_FALSE(FolderExists(szRoot + L"\\a"));
  EXPECT_TRUE(platform::CreateFolder(szRoot + L"\\a").m_Ok);
  EXPECT_FALSE(platform::CreateFolder(szRoot + L"\\a").m_Ok);  // already there
}

TEST_F(ContractTest, FirmwareProbeOnALegacyMachine) {
  // Both platforms here are legacy-BIOS machines: the variable cannot be
  // read, and the error code says why.
  const platform::FirmwareVariableResult result = platform::ProbeFirmwareVariable(
      L"", L"{00000000-0000-0000-0000-000000000000}", 260);
  EXPECT_EQ(result.m_BytesStored, 0u);
  EXPECT_EQ(result.m_LastError, 1u);  // ERROR_INVALID_FUNCTION
}

}  // namespace
}  // namespace contract
