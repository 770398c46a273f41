#include "tools/disk_picture.h"

#include <algorithm>

#include "tools/letter_roles.h"

using sim::ToUtf8;

namespace {

// Space between partitions is drawn when it is at least this share of the
// disk; the alignment gaps of a usual layout are far smaller.
constexpr std::int64_t kFreeShare = 100;

// The columns a character takes on a terminal: two for East Asian wide
// characters and emoji, none for combining marks, one for the rest.
size_t CharColumns(char32_t c) {
  if ((c >= 0x300 && c <= 0x36F) || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  const bool bWide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                     (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                     (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                     (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
                     (c >= 0x20000 && c <= 0x3FFFD);
  return bWide ? 2 : 1;
}

// The character that starts at byte i of UTF-8 text, and how many bytes it
// takes; a broken sequence ends where the text does.
size_t DecodeChar(const std::string& sz, size_t i, char32_t& c) {
  const auto cLead = static_cast<unsigned char>(sz[i]);
  const size_t nBytes = cLead >= 0xF0 ? 4 : cLead >= 0xE0 ? 3 : cLead >= 0xC0 ? 2 : 1;
  c = nBytes == 1 ? cLead : cLead & (0x7Fu >> nBytes);
  for (size_t k = 1; k < nBytes && i + k < sz.size(); ++k) {
    c = (c << 6) | (static_cast<unsigned char>(sz[i + k]) & 0x3Fu);
  }
  return std::min(nBytes, sz.size() - i);
}

size_t TextColumns(const std::string& sz) {
  size_t nColumns = 0;
  char32_t c = 0;
  for (size_t i = 0; i < sz.size();) {
    i += DecodeChar(sz, i, c);
    nColumns += c < 0x20 ? 1 : CharColumns(c);
  }
  return nColumns;
}

bool Unremarkable(const PictureSegment& segment) {
  return segment.m_Kind != SegmentKind::kPartition ||
         (segment.m_Before.empty() && segment.m_After.empty() && segment.m_Role.empty());
}

// The letters whose newest definition names the partition after the run.
std::vector<std::wstring> LettersAfter(const sim::SimMachine& machine, int nDisk, int nNumber) {
  const std::wstring szDevice = sim::UpperAscii(sim::PartitionDevicePath(nDisk, nNumber));
  std::vector<std::wstring> letters;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (!stack.empty() && sim::UpperAscii(stack.front()) == szDevice) letters.push_back(szLetter);
  }
  return letters;
}

PictureSegment PartitionSegment(const sim::SimMachine& machine, const Verdict& verdict,
                                const sim::SimDisk& disk, const sim::SimPartition& part) {
  PictureSegment segment;
  segment.m_First = segment.m_Last = part.m_Number;
  segment.m_Label = part.m_Label;
  segment.m_Unreadable = part.m_Unreadable;
  segment.m_Hidden = !part.m_Wmi;
  if (!part.m_Letter.empty()) segment.m_Before.push_back(sim::UpperAscii(part.m_Letter));
  segment.m_After = LettersAfter(machine, disk.m_Index, part.m_Number);
  segment.m_Bytes = std::max<std::int64_t>(part.m_Size, 0);
  for (const SpecialPartition& special : verdict.m_Special) {
    if (special.m_Disk != disk.m_Index || special.m_Number != part.m_Number) continue;
    const LetterRole* pRole = RoleOfPartitionKind(special.m_Kind);
    if (pRole == nullptr) continue;
    if (!segment.m_Role.empty()) segment.m_Role += "+";
    segment.m_Role += pRole->m_Name;
    segment.m_SetAside = segment.m_SetAside || special.m_SetAside;
    segment.m_Missed = segment.m_Missed || (special.m_Letters.empty() && !special.m_SetAside);
  }
  return segment;
}

PictureSegment FreeSegment(std::int64_t nBytes) {
  PictureSegment segment;
  segment.m_Kind = SegmentKind::kFree;
  segment.m_Bytes = nBytes;
  segment.m_Partitions = 0;
  return segment;
}

// The disk's partitions in on-disk order, with the free space worth seeing.
std::vector<PictureSegment> Segments(const sim::SimMachine& machine, const Verdict& verdict,
                                     const sim::SimDisk& disk, std::int64_t nDiskBytes) {
  std::vector<PictureSegment> segments;
  const std::int64_t nWorthSeeing = std::max<std::int64_t>(nDiskBytes / kFreeShare, 1);
  std::int64_t nReached = 0;  // the furthest end so far
  for (const sim::SimPartition& part : disk.m_Partitions) {
    if (part.m_Start - nReached >= nWorthSeeing) {
      segments.push_back(FreeSegment(part.m_Start - nReached));
    }
    segments.push_back(PartitionSegment(machine, verdict, disk, part));
    if (part.m_Start >= 0 && part.m_Size >= 0 &&
        part.m_Size <= INT64_MAX - part.m_Start) {
      nReached = std::max(nReached, part.m_Start + part.m_Size);
    }
  }
  // A disk without partitions is all free space.
  if (nDiskBytes - nReached >= nWorthSeeing || segments.empty()) {
    segments.push_back(FreeSegment(std::max<std::int64_t>(nDiskBytes - nReached, 0)));
  }
  return segments;
}

// Folds the adjacent unremarkable pair that is smallest together, the
// first of equals; false when no pair is left.
bool FoldSmallestPair(std::vector<PictureSegment>& segments) {
  size_t nBest = segments.size();
  for (size_t i = 0; i + 1 < segments.size(); ++i) {
    if (!Unremarkable(segments[i]) || !Unremarkable(segments[i + 1])) continue;
    if (nBest == segments.size() ||
        segments[i].m_Bytes + segments[i + 1].m_Bytes <
            segments[nBest].m_Bytes + segments[nBest + 1].m_Bytes) {
      nBest = i;
    }
  }
  if (nBest == segments.size()) return false;
  PictureSegment& fold = segments[nBest];
  const PictureSegment& next = segments[nBest + 1];
  if (fold.m_First == 0) fold.m_First = next.m_First;
  if (next.m_Last != 0) fold.m_Last = next.m_Last;
  fold.m_Kind = SegmentKind::kFolded;
  fold.m_Label.reset();
  fold.m_Hidden = fold.m_Unreadable = false;
  fold.m_Bytes += next.m_Bytes;
  fold.m_Partitions += next.m_Partitions;
  segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(nBest) + 1);
  return true;
}

// Narrows the widest of the least widths by one column; false when each
// is down to kSegmentMinCells.
bool NarrowWidest(std::vector<size_t>& least) {
  const auto widest = std::max_element(least.begin(), least.end());
  if (*widest == kSegmentMinCells) return false;
  --*widest;
  return true;
}

// No partition (or fold) drawn narrower than a smaller one; free space
// aside, which a partition's words may outgrow.
bool InOrderOfSize(const std::vector<PictureSegment*>& row) {
  for (const PictureSegment* pA : row) {
    for (const PictureSegment* pB : row) {
      if (pA->m_Kind != SegmentKind::kFree && pB->m_Kind != SegmentKind::kFree &&
          pA->m_Bytes > pB->m_Bytes && pA->m_Cells < pB->m_Cells) {
        return false;
      }
    }
  }
  return true;
}

// Each segment of a row its share of nCells, at least its least width.
// Columns left over by rounding go to the largest remainders, the first of
// equals.
void ShareWith(const std::vector<PictureSegment*>& row, size_t nCells,
               const std::vector<size_t>& least) {
  std::vector<double> shares(row.size(), 0.0);
  std::vector<bool> atLeast(row.size(), false);
  for (bool bChanged = true; bChanged;) {
    bChanged = false;
    double dWeight = 0;
    size_t nShared = nCells;
    for (size_t i = 0; i < row.size(); ++i) {
      if (atLeast[i]) {
        nShared -= least[i];
      } else {
        dWeight += static_cast<double>(row[i]->m_Bytes);
      }
    }
    size_t nOpen = 0;
    for (size_t i = 0; i < row.size(); ++i) nOpen += atLeast[i] ? 0 : 1;
    for (size_t i = 0; i < row.size(); ++i) {
      if (atLeast[i]) continue;
      shares[i] = dWeight > 0 ? static_cast<double>(row[i]->m_Bytes) *
                                    static_cast<double>(nShared) / dWeight
                              : static_cast<double>(nShared) / static_cast<double>(nOpen);
      if (shares[i] < static_cast<double>(least[i])) {
        atLeast[i] = bChanged = true;
        shares[i] = static_cast<double>(least[i]);
      }
    }
  }
  size_t nUsed = 0;
  for (size_t i = 0; i < row.size(); ++i) {
    row[i]->m_Cells = std::max(least[i], static_cast<size_t>(shares[i] + 1e-9));
    nUsed += row[i]->m_Cells;
  }
  while (nUsed > nCells) {  // rounding gave one too many: the widest above its least gives it back
    size_t nWidest = row.size();
    for (size_t i = 0; i < row.size(); ++i) {
      if (row[i]->m_Cells > least[i] &&
          (nWidest == row.size() || row[i]->m_Cells > row[nWidest]->m_Cells)) {
        nWidest = i;
      }
    }
    if (nWidest == row.size()) break;
    --row[nWidest]->m_Cells;
    --nUsed;
  }
  while (nUsed < nCells) {
    size_t nBest = 0;
    for (size_t i = 1; i < row.size(); ++i) {
      if (shares[i] - static_cast<double>(row[i]->m_Cells) >
          shares[nBest] - static_cast<double>(row[nBest]->m_Cells)) {
        nBest = i;
      }
    }
    ++row[nBest]->m_Cells;
    ++nUsed;
  }
}

// Each segment of a row its share of nCells (a row too narrow for
// kSegmentMinCells each is widened), and as wide as its words, up to
// kSegmentRoomyCells, as far as the row has room for that and no partition
// ends up narrower than a smaller one: the widest words give way first.
void ShareRow(const std::vector<PictureSegment*>& row, size_t nCells) {
  nCells = std::max(nCells, row.size() * kSegmentMinCells);
  std::vector<size_t> least;
  size_t nSum = 0;
  for (const PictureSegment* pSegment : row) {
    const size_t nWords = std::max({TextColumns(SegmentLabel(*pSegment)),
                                    TextColumns(SegmentLetters(*pSegment)),
                                    TextColumns(SegmentRole(*pSegment)),
                                    TextColumns(SegmentNumbers(*pSegment))});
    least.push_back(std::clamp(nWords, kSegmentMinCells, kSegmentRoomyCells));
    nSum += least.back();
  }
  for (; nSum > nCells && NarrowWidest(least); --nSum) {
  }
  for (;;) {
    ShareWith(row, nCells, least);
    if (InOrderOfSize(row) || !NarrowWidest(least)) return;
  }
}

}  // namespace

std::vector<DiskPicture> DrawDisks(const sim::SimMachine& machine, const Verdict& verdict,
                                   size_t nWidth) {
  const size_t nPerRow = std::max<size_t>((nWidth - 1) / (kSegmentMinCells + 1), 1);
  std::vector<DiskPicture> pictures;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    DiskPicture picture;
    picture.m_Index = disk.m_Index;
    picture.m_Caption = disk.m_Caption.value_or(L"");
    picture.m_Bytes = std::max<std::int64_t>(disk.m_Size, 0);
    picture.m_Segments = Segments(machine, verdict, disk, picture.m_Bytes);
    while (picture.m_Segments.size() > nPerRow && FoldSmallestPair(picture.m_Segments)) {
    }
    const size_t nCount = picture.m_Segments.size();
    picture.m_Rows = std::max<size_t>((nCount + nPerRow - 1) / nPerRow, 1);
    const size_t nInRow = (nCount + picture.m_Rows - 1) / picture.m_Rows;
    for (size_t nRow = 0; nRow < picture.m_Rows; ++nRow) {
      std::vector<PictureSegment*> row;
      for (size_t i = nRow * nInRow; i < std::min(nCount, (nRow + 1) * nInRow); ++i) {
        picture.m_Segments[i].m_Row = nRow;
        row.push_back(&picture.m_Segments[i]);
      }
      if (!row.empty()) ShareRow(row, nWidth > row.size() + 1 ? nWidth - row.size() - 1 : 0);
    }
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

std::string SegmentLabel(const PictureSegment& segment) {
  switch (segment.m_Kind) {
    case SegmentKind::kFree:
      return "(free)";
    case SegmentKind::kFolded:
      return std::to_string(segment.m_Partitions) +
             (segment.m_Partitions == 1 ? " part" : " parts");
    case SegmentKind::kPartition:
      break;
  }
  if (segment.m_Unreadable) return "(raw)";
  return segment.m_Label.value_or(L"").empty() ? "-" : ToUtf8(*segment.m_Label);
}

std::string SegmentLetters(const PictureSegment& segment) {
  auto joined = [](const std::vector<std::wstring>& letters) {
    std::string sz;
    for (const std::wstring& szLetter : letters) {
      if (!sz.empty()) sz += ' ';
      sz += ToUtf8(szLetter);
    }
    return sz.empty() ? std::string("-") : sz;
  };
  if (segment.m_Kind != SegmentKind::kPartition) return "";
  if (segment.m_Before == segment.m_After) return joined(segment.m_Before);
  return joined(segment.m_Before) + " > " + joined(segment.m_After);
}

std::string SegmentRole(const PictureSegment& segment) {
  if (segment.m_Role.empty()) return "";
  return segment.m_SetAside ? "(" + segment.m_Role + ")" : segment.m_Role;
}

std::string SizeWords(std::int64_t nBytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (nBytes < 1024) return std::to_string(nBytes) + " bytes";
  std::int64_t nUnit = 1024;
  size_t nIndex = 0;
  while (nIndex + 1 < std::size(kUnits) && nBytes / nUnit >= 1024) {
    nUnit *= 1024;
    ++nIndex;
  }
  const auto nTenth = static_cast<std::uint64_t>(nBytes % nUnit) * 10 /
                      static_cast<std::uint64_t>(nUnit);
  // Appended piece by piece: GCC 12 at -O2 takes a short literal + a
  // temporary string for an overlapping copy (-Wrestrict) that cannot happen.
  std::string sz = std::to_string(nBytes / nUnit);
  if (nTenth != 0) {
    sz += '.';
    sz += std::to_string(nTenth);
  }
  sz += ' ';
  return sz + kUnits[nIndex];
}

std::string DiskHeading(const DiskPicture& disk) {
  std::string sz = "Disk ";
  sz += std::to_string(disk.m_Index);
  if (!disk.m_Caption.empty()) {
    sz += " (";
    sz += ToUtf8(disk.m_Caption);
    sz += ')';
  }
  sz += ", ";
  return sz + SizeWords(disk.m_Bytes);
}

std::string FittedText(const std::string& szText, size_t nColumns, bool& bCut) {
  if (TextColumns(szText) <= nColumns) {
    std::string szCell;
    char32_t c = 0;
    for (size_t i = 0; i < szText.size();) {
      const size_t nBytes = DecodeChar(szText, i, c);
      szCell += c < 0x20 ? std::string("?") : szText.substr(i, nBytes);
      i += nBytes;
    }
    return szCell + std::string(nColumns - TextColumns(szText), ' ');
  }
  bCut = true;
  if (nColumns == 0) return "";
  std::string szCell;
  size_t nUsed = 0;
  char32_t c = 0;
  for (size_t i = 0; i < szText.size();) {
    const size_t nBytes = DecodeChar(szText, i, c);
    const size_t nWidth = c < 0x20 ? 1 : CharColumns(c);
    if (nUsed + nWidth > nColumns - 1) break;  // the last column is the "~"'s
    szCell += c < 0x20 ? std::string("?") : szText.substr(i, nBytes);
    nUsed += nWidth;
    i += nBytes;
  }
  return szCell + "~" + std::string(nColumns - 1 - nUsed, ' ');
}

std::string SegmentNumbers(const PictureSegment& segment) {
  if (segment.m_First == 0) return "";
  if (segment.m_Last == segment.m_First) return std::to_string(segment.m_First);
  return std::to_string(segment.m_First) + "-" + std::to_string(segment.m_Last);
}
