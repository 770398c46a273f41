#include <gtest/gtest.h>

#include <optional>

#include "simulator/sim_files.h"
#include "simulator/sim_machine.h"
#include "support/command_runner.h"
#include "tests/test_support.h"

namespace {

// C:\Tools\job.cmd hands over to C:\Tools\step.cmd, which ends with
// nExitCode after nRunMs.
TEST(CommandRunner, PollsOnceASecondUntilTheChildHasEnded) {
  struct Case {
    const char* szName;
    const wchar_t* szCommand;
    std::optional<std::uint32_t> m_StartFault;
    std::uint32_t nExitCode;
    std::uint32_t nRunMs;
    std::uint32_t nResult;
    std::int64_t nElapsedMs;
    const wchar_t* szDialog;  // nullptr: none
  };
  const std::wstring szLong(kCommandBufferChars, L'x');
  const Case kCases[] = {
      {"ends at once", L"C:\\Tools\\job.cmd", {}, 0, 0, 0, 1000, nullptr},
      {"exit 3 after 2.5 s: the third poll", L"C:\\Tools\\job.cmd", {}, 3, 2500, 3, 3000, nullptr},
      {"exit 259 ends the wait", L"C:\\Tools\\job.cmd", {}, 259, 0, 259, 1000, nullptr},
      {"exit 259 after 2.5 s", L"C:\\Tools\\job.cmd", {}, 259, 2500, 259, 3000, nullptr},
      // Asking whether it has ended waits for nothing: the polls stay a second apart.
      {"exit 5 after 1.5 s", L"C:\\Tools\\job.cmd", {}, 5, 1500, 5, 2000, nullptr},
      {"file not found", L"C:\\Tools\\gone.cmd", {}, 0, 0, 0, 0,
       L"call err=2, szCommand = C:\\Tools\\gone.cmd"},
      {"start fails", L"C:\\Tools\\job.cmd", 5, 0, 0, 0, 0,
       L"call err=5, szCommand = C:\\Tools\\job.cmd"},
      {"too long to start whole", szLong.c_str(), {}, 0, 0, 0, 0, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    sim::SimMachine machine = test::MakeMachine();
    sim::PrepareMachine(machine);
    sim::SimVolumeFiles& files = machine.m_Drives[L"C:"].m_Files;
    sim::AddFile(files, L"Tools\\job.cmd", false, false, "C:\\Tools\\step.cmd one two");
    sim::AddFile(files, L"Tools\\step.cmd", false, false, "");
    machine.m_Scripts[L"step.cmd"] = {c.nExitCode, std::nullopt, c.nRunMs, {}};
    machine.m_Faults.m_ProcessStart = c.m_StartFault;
    sim::ScopedSimMachine installed(machine);

    const CommandOutcome outcome = RunCommand(c.szCommand);
    EXPECT_EQ(outcome.m_Started, c.szDialog == nullptr && !machine.m_Runs.empty());
    EXPECT_TRUE(outcome.m_ExitKnown || !outcome.m_Started);
    EXPECT_EQ(outcome.m_ExitCode, c.nResult);
    EXPECT_EQ(machine.m_ClockMs - machine.m_StartMs, c.nElapsedMs);
    if (c.szDialog != nullptr) {
      ASSERT_EQ(machine.m_Dialogs.size(), 1u);
      EXPECT_EQ(machine.m_Dialogs[0].m_Title, L"malvik");
      EXPECT_EQ(machine.m_Dialogs[0].m_Text, c.szDialog);
    }
    for (const sim::SimProcessRun& run : machine.m_Runs) {
      EXPECT_TRUE(run.m_Closed);
      // The run record says whether the program was told how the child ended.
      EXPECT_EQ(run.m_ExitCodeRead, outcome.m_Started);
    }
    if (std::wstring(c.szCommand).size() >= kCommandBufferChars) {
      // Cut, it would be a different command: nothing is started.
      EXPECT_TRUE(machine.m_Runs.empty());
      ASSERT_EQ(machine.m_Dialogs.size(), 1u);
      EXPECT_EQ(machine.m_Dialogs[0].m_Text.rfind(L"call err=206, szCommand = xxx", 0), 0u);
    }
  }
}

}  // namespace
