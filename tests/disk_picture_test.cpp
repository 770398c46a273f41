// The disks drawn to scale: widths, the fold of small partitions and the
// further lines of a disk with too many to fold.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "simulator/sim_view.h"
#include "tools/disk_picture.h"
#include "tools/sim_command.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

constexpr size_t kBar = 78;  // the report's: 80 columns less its indent

// A UEFI machine with one disk: ESP, MSR, Windows on C:, then the
// partitions given, then recovery and reset; 250 GiB, so that free space
// follows them.
std::string OneDisk(const std::string& szMiddle) {
  return R"({"firmware": "uefi", "disks": [{"size": 268435456000, "partitions": [
    {"label": "ESP", "type": "GPT: System", "size": 104857600,
     "files": ["EFI/Microsoft/Boot/bootmgfw.efi"]},
    {"wmi": false, "size": 16777216},
    {"label": "Windows", "letter": "C:", "size": 214748364800,
     "files": ["Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd"]},)" +
         szMiddle + R"(
    {"label": "RECOVERY", "size": 1073741824, "files": ["Recovery/WindowsRE/Winre.wim"]},
    {"label": "PUSH BUTTON RESET", "size": 10737418240, "files": ["Zeph2/"]}]}]})";
}

std::vector<DiskPicture> Drawn(const std::string& szJson, std::string& szReport) {
  sim::SimMachine machine;
  std::string szError;
  EXPECT_TRUE(sim::LoadMachineText("test", szJson, machine, szError)) << szError;
  const Outcome outcome = RunOnMachine(machine, machine.m_Arguments);
  const std::vector<DiskPicture> pictures = DrawDisks(machine, JudgeRun(machine, outcome), kBar);

  const std::string szFile = testing::TempDir() + "picture.json";
  std::ofstream(szFile) << szJson;
  const char* argv[] = {"malvik-sim", "--machine", szFile.c_str()};
  std::ostringstream out, err;
  RunSimulator(3, argv, out, err);
  szReport = out.str();
  return pictures;
}

// Segments by their numbers and labels, "4-8 5 parts", row by row.
std::vector<std::string> Shown(const DiskPicture& disk) {
  std::vector<std::string> shown;
  for (const PictureSegment& segment : disk.m_Segments) {
    shown.push_back(std::to_string(segment.m_Row) + ":" + SegmentNumbers(segment) + " " +
                    SegmentLabel(segment));
  }
  return shown;
}

// Every line of a bar is the bar's width, each segment at least the least.
void ExpectFilled(const DiskPicture& disk) {
  for (size_t nRow = 0; nRow < disk.m_Rows; ++nRow) {
    size_t nColumns = 1;
    for (const PictureSegment& segment : disk.m_Segments) {
      if (segment.m_Row != nRow) continue;
      EXPECT_GE(segment.m_Cells, kSegmentMinCells) << SegmentLabel(segment);
      nColumns += segment.m_Cells + 1;
    }
    EXPECT_EQ(nColumns, kBar) << "row " << nRow;
  }
  // To scale: no partition narrower than a smaller one on its line (free
  // space aside, which a label may outgrow).
  for (const PictureSegment& a : disk.m_Segments) {
    for (const PictureSegment& b : disk.m_Segments) {
      if (a.m_Row == b.m_Row && a.m_Kind != SegmentKind::kFree &&
          b.m_Kind != SegmentKind::kFree && a.m_Bytes > b.m_Bytes) {
        EXPECT_GE(a.m_Cells, b.m_Cells) << SegmentLabel(a) << " against " << SegmentLabel(b);
      }
    }
  }
}

TEST(DiskPicture, ToScaleWithReadableSmallPartitions) {
  std::string szReport;
  const std::vector<DiskPicture> disks = Drawn(OneDisk(""), szReport);
  ASSERT_EQ(disks.size(), 1u);
  const DiskPicture& disk = disks[0];
  EXPECT_EQ(Shown(disk),
            (std::vector<std::string>{"0:1 ESP", "0:2 -", "0:3 Windows", "0:4 RECOVERY",
                                      "0:5 PUSH BUTTON RESET", "0: (free)"}));
  ExpectFilled(disk);
  // Windows takes 200 of the 250 GiB, the free space 35, the rest their
  // least; the reset partition's label is whole, for the line has room.
  for (size_t i : {0, 1, 3, 5}) EXPECT_EQ(disk.m_Segments[i].m_Cells, kSegmentMinCells) << i;
  EXPECT_GT(disk.m_Segments[2].m_Cells, 2 * kSegmentMinCells);
  EXPECT_EQ(disk.m_Segments[4].m_Cells, 17u);
  EXPECT_EQ(SegmentLetters(disk.m_Segments[0]), "- > R:");
  EXPECT_EQ(SegmentLetters(disk.m_Segments[2]), "C:");
  EXPECT_EQ(SegmentRole(disk.m_Segments[3]), "recovery");
  EXPECT_NE(szReport.find("  Disk 0 (Simulated disk 0), 250 GiB\n  +1-------+2-------+3---"),
            std::string::npos)
      << szReport;
}

// Too many partitions for one line: the adjacent pair without letter or
// role that is smallest together folds, again and again, until they fit;
// where none is left to fold, the disk goes on to further lines.
TEST(DiskPicture, FoldsTheSmallestUnremarkablePartitionsThenWraps) {
  struct Case {
    const char* szName;
    std::string szMiddle;
    std::vector<std::string> shown;
  };
  const Case kCases[] = {
      {"six unlettered partitions: folded into as few segments as needed, smallest first",
       R"({"label": "DIAG", "size": 314572800}, {"label": "OEM", "size": 209715200},
          {"label": "TOOLS", "size": 1073741824}, {"label": "LOGS", "size": 104857600},
          {"label": "SPARE", "size": 419430400}, {"label": "IMAGE", "size": 2147483648},)",
       {"0:1 ESP", "0:2 -", "0:3 Windows", "0:4-8 5 parts", "0:9 IMAGE", "0:10 RECOVERY",
        "0:11 PUSH BUTTON RESET", "0: (free)"}},
      {"five lettered partitions: nothing to fold, two lines",
       R"({"label": "E", "letter": "E:"}, {"label": "F", "letter": "F:"},
          {"label": "G", "letter": "G:"}, {"label": "H", "letter": "H:"},
          {"label": "I", "letter": "I:"},)",
       {"0:1 ESP", "0:2 -", "0:3 Windows", "0:4 E", "0:5 F", "0:6 G", "1:7 H", "1:8 I",
        "1:9 RECOVERY", "1:10 PUSH BUTTON RESET", "1: (free)"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::string szReport;
    const std::vector<DiskPicture> disks = Drawn(OneDisk(c.szMiddle), szReport);
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(Shown(disks[0]), c.shown);
    ExpectFilled(disks[0]);
    std::istringstream lines(szReport);
    for (std::string szLine; std::getline(lines, szLine);) {
      // The bars' lines; the batch file's are "  | ".
      if (szLine.rfind("  +", 0) == 0 || (szLine.rfind("  |", 0) == 0 && szLine[3] != ' ')) {
        EXPECT_EQ(szLine.size(), 2 + kBar) << szLine;
      }
    }
  }
}

}  // namespace
