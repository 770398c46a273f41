// The machine's disks as Disk Management draws them: each disk one bar of
// segments in proportion to size, each segment a partition (or free space,
// or a fold of small partitions) with its label, its letters before and
// after the run, and the role the verdict found it fit for. Only the
// geometry and the words of each segment are here; the text report and the
// HTML page draw them, both from this one layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/verdict.h"

// The narrowest a segment is drawn, borders aside: "E: > R:" and
// "recovery" fit. Where the disk's bar has room, a segment is widened to
// its words, up to kSegmentRoomyCells ("PUSH BUTTON RESET" fits).
inline constexpr size_t kSegmentMinCells = 8;
inline constexpr size_t kSegmentRoomyCells = 18;

enum class SegmentKind {
  kPartition,
  kFree,    // space between partitions, or after the last, of 1/100 of the disk or more
  kFolded,  // adjacent small partitions without letter or role, drawn as one
};

struct PictureSegment {
  SegmentKind m_Kind = SegmentKind::kPartition;
  // The partition's number; of a fold, its first and last partition's.
  int m_First = 0;
  int m_Last = 0;
  std::optional<std::wstring> m_Label;  // a partition's; nullopt: WMI reports none
  bool m_Unreadable = false;
  bool m_Hidden = false;  // WMI does not list it (an MSR partition)
  std::vector<std::wstring> m_Before;  // letters naming it before the run
  std::vector<std::wstring> m_After;   // and after it
  // The role whose partition it is, by what it holds: the letter's name,
  // "ESP", "recovery", "PBR"; empty: none.
  std::string m_Role;
  bool m_SetAside = false;  // it fits the role, but the tie rule takes another
  bool m_Missed = false;    // the role's partition that the run left without a letter
  std::int64_t m_Bytes = 0;
  size_t m_Partitions = 1;  // how many partitions it stands for (free space: 0)
  size_t m_Row = 0;         // the line of the disk's bar it is on, from 0
  size_t m_Cells = 0;       // its width in columns, borders aside
};

struct DiskPicture {
  int m_Index = 0;
  std::wstring m_Caption;
  std::int64_t m_Bytes = 0;
  size_t m_Rows = 1;
  std::vector<PictureSegment> m_Segments;  // in on-disk order, row by row
};

// The disks after the run, each bar nWidth columns wide with its borders
// (one "|" before every segment and one after the last). Each segment is
// as wide as its share of the disk, and at least kSegmentMinCells (more for
// longer words, where the line has room). When a
// disk has more segments than fit at that width, the two adjacent
// unremarkable ones (free space, a fold, or a partition without letter or
// role) that are smallest together fold into one, again and again, until
// they fit; a disk with more remarkable partitions than fit still goes on
// to further lines, as few as it can, each line to its own scale.
std::vector<DiskPicture> DrawDisks(const sim::SimMachine& machine, const Verdict& verdict,
                                   size_t nWidth);

// The words of a segment, as both drawings show them.
// "ESP", "(no label)", "(free)", "3 parts".
std::string SegmentLabel(const PictureSegment& segment);
// "C:", "- > R:", "E: > -", "D: > D: R:", "-".
std::string SegmentLetters(const PictureSegment& segment);
// "ESP", "(ESP)" for one set aside, or empty.
std::string SegmentRole(const PictureSegment& segment);
// "3", "2-4" for a fold, "" for free space.
std::string SegmentNumbers(const PictureSegment& segment);
// "Disk 0 (NVMe Example 512GB), 476.9 GiB".
std::string DiskHeading(const DiskPicture& disk);
// "476.9 GiB", "100 MiB", "512 bytes".
std::string SizeWords(std::int64_t nBytes);

// UTF-8 text in exactly nColumns of a terminal (East Asian wide characters
// and emoji take two): padded with spaces, or cut short with a "~" in its
// last column, and bCut set. Control characters show as "?".
std::string FittedText(const std::string& szText, size_t nColumns, bool& bCut);
