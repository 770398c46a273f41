#include <gtest/gtest.h>

#include <memory>

#include "core/setup_context.h"
#include "simulator/sim_machine.h"
#include "support/boot_mode.h"
#include "tests/test_support.h"

namespace {

TEST(BootMode, ProbeOutcomeDecides) {
  struct Case {
    const char* szName;
    platform::FirmwareVariableResult m_Probe;
    const wchar_t* szMessage;
    const wchar_t* szDetail;
    bool bUefi;
  };
  const Case kCases[] = {
      {"legacy BIOS", {0, 1}, L"ERROR_INVALID_FUNCTION", L"Boot system from Legacy BIOS", false},
      {"UEFI", {0, 998}, L"ERROR_NOACCESS", L"Boot system from UEFI BIOS", true},
      {"another error", {0, 5}, L"DEFAULT", L"Boot system from Legacy BIOS", false},
      {"the read succeeds", {4, 998}, L"DEFAULT", L"Boot system from Legacy BIOS", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const BootModeVerdict verdict = DecodeFirmwareProbe(c.m_Probe);
    EXPECT_STREQ(verdict.m_Message, c.szMessage);
    EXPECT_STREQ(verdict.m_Detail, c.szDetail);
    EXPECT_EQ(verdict.m_Uefi, c.bUefi);
  }
}

TEST(BootMode, EveryCallProbesAndLogsAgain) {
  sim::SimMachine machine = test::MakeMachine();
  machine.m_Firmware = {false, 998};
  sim::PrepareMachine(machine);
  sim::ScopedSimMachine installed(machine);
  auto context = std::make_unique<SetupContext>(L"X:", L"Y:", L"Z:");
  const size_t nBefore = test::ReadLog(machine).size();
  sim::Spend(machine, 1);
  EXPECT_TRUE(IsUefiBoot(*context));
  machine.m_Firmware = {false, 1};
  sim::Spend(machine, 1);
  EXPECT_FALSE(IsUefiBoot(*context));
  const auto lines = test::ReadLog(machine);
  ASSERT_EQ(lines.size(), nBefore + 2);
  EXPECT_EQ(lines[nBefore].m_Message, L"ERROR_NOACCESS");
  EXPECT_EQ(lines[nBefore + 1].m_Message, L"ERROR_INVALID_FUNCTION");

  // Every probe asks for the variable with no name in the all-zero namespace,
  // into 260 characters.
  ASSERT_FALSE(machine.m_FirmwareProbes.empty());
  for (const sim::SimFirmwareProbe& probe : machine.m_FirmwareProbes) {
    EXPECT_EQ(probe.m_Name, L"");
    EXPECT_EQ(probe.m_Guid, L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(probe.m_Size, 260u);
  }
}

}  // namespace
