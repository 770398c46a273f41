// The drive-letter operations, and the simulated DOS-device table and volume
// reads they stand on.
#include "letters/drive_letters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/setup_context.h"
#include "platform/device_names.h"
#include "platform/platform.h"
#include "simulator/sim_machine.h"
#include "tests/test_support.h"

namespace {

constexpr std::uint32_t kSEM_FAILCRITICALERRORS = 0x0001;

std::uint32_t Bits(wchar_t cFirst, wchar_t cLast) {
  std::uint32_t nMask = 0;
  for (wchar_t c = cFirst; c <= cLast; ++c) nMask |= 1u << (c - L'A');
  return nMask;
}

TEST(FreeLetter, LowestClearBitFromDUpwards) {
  struct Case {
    const char* szName;
    std::uint32_t nMask;
    const wchar_t* szLetter;
  };
  const Case kCases[] = {
      {"A: to E: used", Bits(L'A', L'E'), L"F:"},
      {"C: and E: used", Bits(L'C', L'C') | Bits(L'E', L'E'), L"D:"},
      {"D: to Z: used, A: and B: free", Bits(L'C', L'Z'), L""},
      {"only Z: free", Bits(L'A', L'Y'), L"Z:"},
      {"bits above Z: do not count", Bits(L'D', L'Z') | 0xFC000000u, L""},
      {"mask call failed", 0, L"D:"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(LowestFreeLetter(c.nMask), c.szLetter);
  }
}

TEST(VolumeRoot, EveryColonAndBackslashGoesThenColonBackslash) {
  struct Case {
    const wchar_t* szLetter;
    const wchar_t* szRoot;
  };
  const Case kCases[] = {
      {L"E:\\", L"E:\\"}, {L"E:", L"E:\\"}, {L"E", L"E:\\"}, {L"", L":\\"}, {L"\\E:\\:", L"E:\\"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szLetter)));
    EXPECT_EQ(VolumeRootOf(c.szLetter), c.szRoot);
  }
}

// One check serves the program (the ESP letter), the simulated machine, the
// capture and the verdict: "@:", "[:", "`:" and "{:" lie either side of
// the letters.
TEST(DriveLetterText, OneAsciiLetterAndAColon) {
  struct Case {
    const wchar_t* szText;
    bool bStarts;
    bool bIs;
  };
  const Case kCases[] = {
      {L"E:", true, true},   {L"e:", true, true},        {L"Z:\\x", true, false},
      {L"a:x", true, false}, {L"@:", false, false},      {L"[:", false, false},
      {L"`:", false, false}, {L"{:", false, false},      {L"E", false, false},
      {L"", false, false},   {L"\\\\?\\", false, false}, {L"\u00c9:", false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szText)));
    EXPECT_EQ(platform::StartsWithDriveLetter(c.szText), c.bStarts);
    EXPECT_EQ(platform::IsDriveLetter(c.szText), c.bIs);
  }
  EXPECT_EQ(platform::PartitionDevicePath(1, 12), L"\\Device\\Harddisk1\\Partition12");
  EXPECT_EQ(platform::DriveLetterOfBit(0), L"A:");
  EXPECT_EQ(platform::DriveLetterOfBit(platform::kDriveLetterCount - 1), L"Z:");
}

class DriveLetters : public testing::Test {
 protected:
  void SetUp() override {
    sim::SimDisk& disk = test::AddDisk(m_Machine, 0);
    test::AddPartition(disk, 1, L"Push Button Reset", L"E:");
    test::AddPartition(disk, 2, L"Data");
    test::AddPartition(disk, 3, L"Raw").m_Unreadable = true;
    m_Machine.m_Drives[L"D:"].m_NoMedia = true;
    sim::PrepareMachine(m_Machine);
  }
  std::int64_t Elapsed() const { return m_Machine.m_ClockMs - m_Machine.m_StartMs; }
  std::vector<std::wstring> Stack(const std::wstring& szLetter) {
    auto it = m_Machine.m_DosDevices.find(szLetter);
    return it == m_Machine.m_DosDevices.end() ? std::vector<std::wstring>{} : it->second;
  }

  sim::SimMachine m_Machine = test::MakeMachine();
};

TEST_F(DriveLetters, LabelIsReadThroughAnyRootFormUnchangedInCase) {
  sim::ScopedSimMachine installed(m_Machine);
  m_Machine.m_ErrorMode = kSEM_FAILCRITICALERRORS;
  struct Case {
    const wchar_t* szLetter;
    const wchar_t* szLabel;
  };
  const Case kCases[] = {
      {L"E:\\", L"Push Button Reset"}, {L"E:", L"Push Button Reset"}, {L"e", L"Push Button Reset"},
      {L"", L""},    // ":\" is no root
      {L"D:", L""},  // no medium
      {L"Q:", L""},  // no such letter
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.szLetter)));
    EXPECT_EQ(SetupContext::GetVolumeLabel(c.szLetter), c.szLabel);
  }
  // The platform call itself wants the root with its backslash.
  EXPECT_FALSE(platform::ReadVolumeInfo(L"E:", kLabelChars, kLabelChars).m_Ok);
  EXPECT_TRUE(m_Machine.m_Dialogs.empty());
}

TEST_F(DriveLetters, StackedDefinitionsComeOffOneAtATime) {
  sim::ScopedSimMachine installed(m_Machine);
  const std::wstring szData = platform::PartitionDevicePath(0, 2);
  EXPECT_NE(MountPartition(L"E:", szData), 0);
  EXPECT_EQ(platform::QueryDeviceName(L"E:", kDeviceQueryChars).m_Targets,
            (std::vector<std::wstring>{szData, platform::PartitionDevicePath(0, 1)}));
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"E:"), L"Data");

  EXPECT_NE(UnmountDriveLetter(L"E:"), 0);
  EXPECT_EQ(Stack(L"E:"), std::vector<std::wstring>{platform::PartitionDevicePath(0, 1)});
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"E:"), L"Push Button Reset");

  EXPECT_NE(UnmountDriveLetter(L"E:"), 0);
  EXPECT_EQ(UnmountDriveLetter(L"E:"), 0);  // nothing left to remove
  const platform::DeviceNameTargets query = platform::QueryDeviceName(L"E:", kDeviceQueryChars);
  EXPECT_TRUE(query.m_Targets.empty());
  EXPECT_EQ(query.m_LastError, 2u);  // ERROR_FILE_NOT_FOUND
  EXPECT_EQ(SetupContext::FindFreeDriveLetter(), L"E:");
}

// E: holds a DOS-path definition on top of its partition. The flags say
// whether a target is taken verbatim or in its object-namespace form, on
// removal as on definition; a flag Windows does not document is refused.
TEST_F(DriveLetters, FlagsSayHowATargetIsTakenAndUnknownOnesAreRefused) {
  constexpr std::uint32_t kRaw = platform::kDDD_RAW_TARGET_PATH;
  constexpr std::uint32_t kRemove = platform::kDDD_REMOVE_DEFINITION;
  constexpr std::uint32_t kExact = platform::kDDD_EXACT_MATCH_ON_REMOVE;
  const std::wstring szPart = platform::PartitionDevicePath(0, 1);
  const std::wstring szTools = L"\\??\\C:\\Tools";
  struct Case {
    const char* szName;
    std::uint32_t nFlags;
    std::wstring szTarget;
    std::uint32_t nError;  // 0: the call succeeds
    std::vector<std::wstring> m_After;
  };
  const Case kCases[] = {
      {"raw, exact: the partition goes", kRaw | kRemove | kExact, szPart, 0, {szTools}},
      {"not raw: its \\?? form names nothing", kRemove | kExact, szPart, 2, {szTools, szPart}},
      {"not raw: a DOS path goes by its own text", kRemove | kExact, L"C:\\Tools", 0, {szPart}},
      {"raw: a DOS path's text is no stored target", kRaw | kRemove | kExact, L"C:\\Tools", 2,
       {szTools, szPart}},
      {"raw, not exact: the first target it begins", kRaw | kRemove, L"\\Device", 0, {szTools}},
      {"no broadcast: a definition like any", kRaw | 0x8, L"\\Device\\X", 0,
       {L"\\Device\\X", szTools, szPart}},
      {"unknown flag on a definition", kRaw | 0x20, L"\\Device\\X", 87, {szTools, szPart}},
      {"unknown flag on a removal", kRaw | kRemove | kExact | 0x100, szPart, 87,
       {szTools, szPart}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    m_Machine = test::MakeMachine();
    SetUp();
    sim::ScopedSimMachine installed(m_Machine);
    ASSERT_TRUE(platform::DefineDeviceName(0, L"E:", L"C:\\Tools").m_Ok);
    const platform::CallResult result =
        platform::DefineDeviceName(c.nFlags, L"E:", c.szTarget);
    EXPECT_EQ(result.m_Ok, c.nError == 0);
    EXPECT_EQ(result.m_LastError, c.nError);
    EXPECT_EQ(Stack(L"E:"), c.m_After);
  }
}

TEST_F(DriveLetters, MaskAndRootListCountDriveLettersOnly) {
  sim::ScopedSimMachine installed(m_Machine);
  EXPECT_EQ(SetupContext::FindFreeDriveLetter(), L"F:");
  // Any name can be defined; only single letters are drives.
  ASSERT_TRUE(platform::DefineDeviceName(platform::kDDD_RAW_TARGET_PATH, L"LPT9", L"\\Device\\X").m_Ok);
  // A partition the disk does not have is defined all the same, and counts.
  EXPECT_NE(MountPartition(L"f:", platform::PartitionDevicePath(0, 9)), 0);
  EXPECT_EQ(platform::GetDriveMask().m_Mask, Bits(L'C', L'F'));
  const platform::DriveRoots roots = platform::ListDriveRoots(1024);
  EXPECT_EQ(roots.m_Roots, (std::vector<std::wstring>{L"C:\\", L"D:\\", L"E:\\", L"F:\\"}));
  EXPECT_EQ(roots.m_Chars, 16u);
  EXPECT_TRUE(platform::ListDriveRoots(16).m_Roots.empty());  // no room for the last terminator

  m_Machine.m_ErrorMode = kSEM_FAILCRITICALERRORS;
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"F:"), L"");
  EXPECT_FALSE(platform::ReadVolumeInfo(L"F:\\", kLabelChars, kLabelChars).m_Ok);

  m_Machine.m_Faults.m_LogicalDrivesFail = true;
  m_Machine.m_Faults.m_DriveStringsFail = true;
  EXPECT_EQ(SetupContext::FindFreeDriveLetter(), L"D:");
  EXPECT_EQ(platform::ListDriveRoots(1024).m_Chars, 0u);
}

TEST_F(DriveLetters, UnreadableVolumesFailAndANoMediaDriveAsksForADisk) {
  sim::ScopedSimMachine installed(m_Machine);
  ASSERT_NE(MountPartition(L"G:", platform::PartitionDevicePath(0, 3)), 0);
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"G:"), L"");
  EXPECT_TRUE(m_Machine.m_Dialogs.empty());

  // Without SEM_FAILCRITICALERRORS the system shows its box for the empty drive.
  m_Machine.m_ErrorMode = 0;
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"D:"), L"");
  ASSERT_EQ(m_Machine.m_Dialogs.size(), 1u);
  EXPECT_EQ(m_Machine.m_Dialogs[0].m_Title, L"malvik.exe - No Disk");
  EXPECT_EQ(m_Machine.m_Dialogs[0].m_Text.rfind(L"There is no disk in the drive.", 0), 0u);
  EXPECT_EQ(m_Machine.m_Dialogs[0].m_Buttons, L"Cancel, Try Again, Continue");

  m_Machine.m_ErrorMode = kSEM_FAILCRITICALERRORS;
  EXPECT_EQ(SetupContext::GetVolumeLabel(L"D:"), L"");
  EXPECT_EQ(m_Machine.m_Dialogs.size(), 1u);
}

TEST_F(DriveLetters, MountRetriesTenTimesThenShowsMountFailed) {
  struct Case {
    const char* szName;
    bool bFails;
    int nResult;
    std::int64_t nElapsed;
    size_t nDialogs;
  };
  const Case kCases[] = {
      {"first attempt succeeds", false, 1, 0, 0},
      {"every attempt fails", true, 0, 3000, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    m_Machine = test::MakeMachine();
    SetUp();
    m_Machine.m_Faults.m_DefineFails = {c.bFails ? L"H:" : L"Y:"};
    sim::ScopedSimMachine installed(m_Machine);
    EXPECT_EQ(MountPartition(L"H:", platform::PartitionDevicePath(0, 2)), c.nResult);
    EXPECT_EQ(Elapsed(), c.nElapsed);
    ASSERT_EQ(m_Machine.m_Dialogs.size(), c.nDialogs);
    EXPECT_EQ(Stack(L"H:").size(), c.bFails ? 0u : 1u);
    if (c.nDialogs == 0) continue;
    const sim::SimDialog& dialog = m_Machine.m_Dialogs[0];
    EXPECT_EQ(dialog.m_Title, L"malvik");
    EXPECT_EQ(dialog.m_Text, L"Mount Failed");
    EXPECT_EQ(dialog.m_Buttons, L"OK");
    EXPECT_EQ(dialog.m_Icon, L"exclamation");
  }
}

}  // namespace
