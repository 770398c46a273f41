// quenby: the key events it sends, and that the command line changes nothing.
#include "showdesk/show_desktop_keys.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct KeyEvent {
  uint8_t m_vk;
  uint8_t m_scan;
  uint32_t m_flags;
  uintptr_t m_extra;
  bool operator==(const KeyEvent&) const = default;
};

void PrintTo(const KeyEvent& event, std::ostream* os) {
  *os << "{vk 0x" << std::hex << unsigned{event.m_vk} << ", scan " << std::dec
      << unsigned{event.m_scan} << ", flags " << event.m_flags << ", extra " << event.m_extra << "}";
}

std::vector<KeyEvent> g_sent;

void RecordKey(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extra) {
  g_sent.push_back({vk, scan, flags, extra});
}

// Windows+D as keybd_event wants it, written with User32's own numbers:
// VK_LWIN 0x5B, 'D' 0x44, KEYEVENTF_KEYUP 2; no scan code, no extra info.
const std::vector<KeyEvent> kShowDesktop = {
    {0x5B, 0, 0, 0},  // left Windows down
    {0x44, 0, 0, 0},  // D down
    {0x44, 0, 2, 0},  // D up
    {0x5B, 0, 2, 0},  // left Windows up
};

TEST(QuenbyChord, SendsWindowsDInOrder) {
  g_sent.clear();
  SendShowDesktopChord(RecordKey);
  EXPECT_EQ(g_sent, kShowDesktop);
}

struct CommandLineCase {
  std::string m_szName;
  int m_argc;
  std::vector<const char*> m_argv;  // empty: argv is passed as a null pointer
  std::vector<const char*> m_envp;  // empty: envp is passed as a null pointer
};

class QuenbyMainTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(QuenbyMainTest, SendsTheChordAndReturnsZero) {
  const CommandLineCase& c = GetParam();
  std::vector<char*> argv;
  for (const char* sz : c.m_argv) argv.push_back(const_cast<char*>(sz));
  std::vector<char*> envp;
  for (const char* sz : c.m_envp) envp.push_back(const_cast<char*>(sz));

  g_sent.clear();
  const int rc = QuenbyMain(c.m_argc, argv.empty() ? nullptr : argv.data(),
                            envp.empty() ? nullptr : envp.data(), RecordKey);

  EXPECT_EQ(rc, 0);
  EXPECT_EQ(g_sent, kShowDesktop);
}

// A run from cmd, runs with arguments that a tool would usually act on, and
// runs whose argc and argv do not agree: reading any of them would show up as
// a different result or a crash.
INSTANTIATE_TEST_SUITE_P(
    CommandLines, QuenbyMainTest,
    testing::Values(
        CommandLineCase{"NoArguments", 1, {"quenby.exe", nullptr}, {"PATH=C:\\Windows", nullptr}},
        CommandLineCase{"ThreeArguments", 4, {"quenby.exe", "a", "b", "c", nullptr}, {nullptr}},
        CommandLineCase{"HelpSwitches", 3, {"quenby.exe", "/?", "--help", nullptr}, {nullptr}},
        CommandLineCase{"VersionAndBadOption", 3, {"quenby.exe", "--version", "-x", nullptr},
                        {nullptr}},
        CommandLineCase{"ArgcZero", 0, {nullptr}, {nullptr}},
        CommandLineCase{"NegativeArgc", -1, {nullptr}, {nullptr}},
        CommandLineCase{"ArgcWithoutArgv", 5, {}, {}},
        CommandLineCase{"ArgvWithoutTerminator", 2, {"quenby.exe", "x"}, {}}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.m_szName; });

TEST(QuenbyMain, EveryRunSendsTheWholeChordAgain) {
  char szName[] = "quenby.exe";
  char* argv[] = {szName, nullptr};
  g_sent.clear();
  EXPECT_EQ(QuenbyMain(1, argv, nullptr, RecordKey), 0);
  EXPECT_EQ(QuenbyMain(1, argv, nullptr, RecordKey), 0);

  std::vector<KeyEvent> twice = kShowDesktop;
  twice.insert(twice.end(), kShowDesktop.begin(), kShowDesktop.end());
  EXPECT_EQ(g_sent, twice);
}

}  // namespace
