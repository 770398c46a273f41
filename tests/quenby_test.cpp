// quenby: the key events it sends, once per run.
#include "showdesk/show_desktop_keys.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
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

// QuenbyMain does not look at its command line (its parameters have no
// names); the Wine suite runs the real program with and without arguments.
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
