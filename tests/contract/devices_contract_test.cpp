// Drive letters and volumes: the DOS-device table, the drive mask, the root
// list and label reads, as the letter rules rely on them.
#include <algorithm>

#include "platform/platform.h"
#include "tests/contract/contract_fixture.h"

namespace contract {
namespace {

constexpr std::uint32_t kRaw = platform::kDDD_RAW_TARGET_PATH;
constexpr std::uint32_t kRemoveExact = platform::kDDD_RAW_TARGET_PATH |
                                       platform::kDDD_REMOVE_DEFINITION |
                                       platform::kDDD_EXACT_MATCH_ON_REMOVE;
constexpr std::uint32_t kQueryChars = 2048;
constexpr std::uint32_t kERROR_FILE_NOT_FOUND = 2;

// Partitions no disk of either machine has: a raw target is stored without
// being checked.
const wchar_t kNowhere9[] = L"\\Device\\Harddisk0\\Partition9";
const wchar_t kNowhere8[] = L"\\Device\\Harddisk0\\Partition8";

std::vector<std::wstring> Targets(const wchar_t* szLetter) {
  return platform::QueryDeviceName(szLetter, kQueryChars).m_Targets;
}

std::uint32_t BitOf(const wchar_t* szLetter) { return 1u << (szLetter[0] - L'A'); }

TEST_F(ContractTest, UndefinedLetter) {
  const platform::DeviceNameTargets query = platform::QueryDeviceName(kFreeLetter, kQueryChars);
  EXPECT_TRUE(query.m_Targets.empty());
  EXPECT_EQ(query.m_LastError, kERROR_FILE_NOT_FOUND);
  const platform::CallResult removal =
      platform::DefineDeviceName(kRemoveExact, kFreeLetter, kNowhere9);
  EXPECT_FALSE(removal.m_Ok);
  EXPECT_EQ(platform::GetDriveMask().m_Mask & BitOf(kFreeLetter), 0u);
}

TEST_F(ContractTest, DefineQueryRemove) {
  ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere9).m_Ok);
  EXPECT_EQ(Targets(kFreeLetter), std::vector<std::wstring>{kNowhere9});  // stored verbatim
  // A buffer one character short of the target, its terminator and the
  // list's terminator holds nothing.
  const std::uint32_t nFits = static_cast<std::uint32_t>(std::wstring(kNowhere9).size() + 2);
  EXPECT_EQ(platform::QueryDeviceName(kFreeLetter, nFits).m_Targets.size(), 1u);
  EXPECT_TRUE(platform::QueryDeviceName(kFreeLetter, nFits - 1).m_Targets.empty());

  // An exact-match removal with another target removes nothing on Windows.
  // Wine 8 ignores the target and removes the definition.
  const bool bRemoved = platform::DefineDeviceName(kRemoveExact, kFreeLetter, kNowhere8).m_Ok;
  if (OnWine()) {
    EXPECT_TRUE(bRemoved);
    EXPECT_TRUE(Targets(kFreeLetter).empty());
    ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere9).m_Ok);
  } else {
    EXPECT_FALSE(bRemoved);
    EXPECT_EQ(Targets(kFreeLetter), std::vector<std::wstring>{kNowhere9});
  }

  ASSERT_TRUE(platform::DefineDeviceName(kRemoveExact, kFreeLetter, kNowhere9).m_Ok);
  const platform::DeviceNameTargets after = platform::QueryDeviceName(kFreeLetter, kQueryChars);
  EXPECT_TRUE(after.m_Targets.empty());
  EXPECT_EQ(after.m_LastError, kERROR_FILE_NOT_FOUND);
}

TEST_F(ContractTest, DefinitionsStackNewestFirst) {
  ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere9).m_Ok);
  const platform::CallResult second =
      platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere8);
  if (OnWine()) {
    // Wine 8 refuses a second definition of a letter that has one instead
    // of stacking it. The simulated machine stacks, as Windows documents.
    EXPECT_FALSE(second.m_Ok);
    GTEST_SKIP() << "Wine does not stack DOS-device definitions (error " << second.m_LastError
                 << ")";
  }
  ASSERT_TRUE(second.m_Ok);
  EXPECT_EQ(Targets(kFreeLetter), (std::vector<std::wstring>{kNowhere8, kNowhere9}));
  // Removing the older one exactly leaves the newer standing.
  ASSERT_TRUE(platform::DefineDeviceName(kRemoveExact, kFreeLetter, kNowhere9).m_Ok);
  EXPECT_EQ(Targets(kFreeLetter), std::vector<std::wstring>{kNowhere8});
}

TEST_F(ContractTest, MaskAndRootsFollowDefinitions) {
  const std::uint32_t nBefore = platform::GetDriveMask().m_Mask;
  EXPECT_NE(nBefore & BitOf(kDrive), 0u);
  EXPECT_EQ(nBefore & BitOf(kFreeLetter), 0u);
  ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere9).m_Ok);
  const std::uint32_t nMask = platform::GetDriveMask().m_Mask;
  EXPECT_EQ(nMask, nBefore | BitOf(kFreeLetter));

  // The roots list the same letters as the mask, upper case, in letter
  // order, four characters each.
  const platform::DriveRoots roots = platform::ListDriveRoots(1024);
  std::vector<std::wstring> expected;
  for (int nBit = 0; nBit < 26; ++nBit) {
    if (nMask & (1u << nBit)) expected.push_back({static_cast<wchar_t>(L'A' + nBit), L':', L'\\'});
  }
  EXPECT_EQ(roots.m_Roots, expected);
  EXPECT_EQ(roots.m_Chars, 4 * expected.size());
  // A buffer without room for the list's terminator gets the size needed
  // and no roots.
  const platform::DriveRoots tooSmall = platform::ListDriveRoots(roots.m_Chars);
  EXPECT_EQ(tooSmall.m_Chars, roots.m_Chars + 1);
  EXPECT_TRUE(tooSmall.m_Roots.empty());

  ASSERT_TRUE(platform::DefineDeviceName(kRemoveExact, kFreeLetter, kNowhere9).m_Ok);
  EXPECT_EQ(platform::GetDriveMask().m_Mask, nBefore);
}

TEST_F(ContractTest, LabelReads) {
  struct Case {
    const char* szName;
    std::wstring szRoot;
    bool bOk;
    std::uint32_t nError;      // Windows' documented or observed code; 0: any
    std::uint32_t nWineError;  // where Wine answers differently
  };
  const std::wstring szT(kDrive);
  const std::wstring szFree(kFreeLetter);
  const Case kCases[] = {
      {"labelled root", szT + L"\\", true, 0, 0},
      {"lower-case root", L"t:\\", true, 0, 0},
      {"undefined letter", szFree + L"\\", false, 3, 3},  // ERROR_PATH_NOT_FOUND
      // An empty letter gives ":\": ERROR_INVALID_NAME; Wine answers
      // ERROR_DIR_NOT_ROOT.
      {"no letter", L":\\", false, 123, 144},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const platform::VolumeInfo info = platform::ReadVolumeInfo(c.szRoot, 261, 261);
    EXPECT_EQ(info.m_Ok, c.bOk);
    if (c.bOk) {
      EXPECT_EQ(info.m_Label, kLabel);
    }
    const std::uint32_t nError = OnWine() ? c.nWineError : c.nError;
    if (nError != 0) {
      EXPECT_EQ(info.m_LastError, nError);
    }
  }
  // The label buffer must hold the label and its terminator.
  const std::uint32_t nLabel = static_cast<std::uint32_t>(std::wstring(kLabel).size());
  EXPECT_TRUE(platform::ReadVolumeInfo(szT + L"\\", nLabel + 1, 261).m_Ok);
  const platform::VolumeInfo tooShort = platform::ReadVolumeInfo(szT + L"\\", nLabel, 261);
  EXPECT_FALSE(tooShort.m_Ok);
  EXPECT_EQ(tooShort.m_LastError, 24u);  // ERROR_BAD_LENGTH
  // Windows wants the root with its backslash and refuses "T:"; Wine reads
  // the label through "T:" all the same. The program always adds the
  // backslash.
  EXPECT_EQ(platform::ReadVolumeInfo(szT, 261, 261).m_Ok, OnWine());
}

TEST_F(ContractTest, LabelReadThroughANewLetter) {
  // What a mount does: the letter takes another letter's target, and the
  // volume's label reads through it.
  const std::vector<std::wstring> targets = Targets(kDrive);
  ASSERT_FALSE(targets.empty());
  ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, targets.front()).m_Ok);
  const platform::VolumeInfo info =
      platform::ReadVolumeInfo(std::wstring(kFreeLetter) + L"\\", 261, 261);
  EXPECT_TRUE(info.m_Ok);
  EXPECT_EQ(info.m_Label, kLabel);
}

TEST_F(ContractTest, LabelReadThroughATargetThatNamesNothing) {
  ASSERT_TRUE(platform::DefineDeviceName(kRaw, kFreeLetter, kNowhere9).m_Ok);
  const platform::VolumeInfo info =
      platform::ReadVolumeInfo(std::wstring(kFreeLetter) + L"\\", 261, 261);
  EXPECT_FALSE(info.m_Ok);
  // On Windows \Device\Harddisk0 exists and holds no Partition9: a name
  // not found, ERROR_FILE_NOT_FOUND. Wine has no \Device\Harddisk0 at all
  // and answers ERROR_PATH_NOT_FOUND.
  EXPECT_EQ(info.m_LastError, OnWine() ? 3u : 2u);
}

// A disk number no machine has: there is no disk to ask for its partition
// table, and the answer says so instead of an empty table.
TEST_F(ContractTest, PartitionTableOfNoDisk) {
  const platform::PartitionLayout layout = platform::ReadPartitionLayout(999);
  EXPECT_FALSE(layout.m_Ok);
  EXPECT_TRUE(layout.m_Partitions.empty());
  EXPECT_EQ(layout.m_LastError, kERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace contract
