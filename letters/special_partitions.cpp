#include "letters/special_partitions.h"

#include "core/settle_letters.h"
#include "letters/volume_labels.h"

namespace {

constexpr SpecialPartitionKind kKinds[] = {
    {.m_Role = "service",
     .m_Text = L"PQSERVICE",
     .m_Test = LabelTest::kWholeLabel,
     .m_FixedLetter = kDefaultPBRLetter,  // shared with the reset partition
     .m_Uefi = {L"[EFI]AssignLetterToKSV", L"[EFI]No need to mount KSV", LoggedLabel::kUpperCased},
     .m_Legacy = LegacyRule::kResetAndService,
     .m_Lettered = {L"[1]AssignLetterToKSV", L"[1]No need to mount KSV", LoggedLabel::kUpperCased},
     .m_Probed = {L"[2]AssignLetterToKSV", L"[2]Need to mount KSV", LoggedLabel::kAsRead},
     .m_SweepLine = DiskLineNumber::kDiskIndex},
    {.m_Role = "reset",
     .m_Text = L"PUSH BUTTON",
     .m_Test = LabelTest::kBeginsWith,
     .m_FixedLetter = kDefaultPBRLetter,
     .m_Uefi = {L"[EFI]AssignLetterToPBR", L"[EFI]Need to mount PBR", LoggedLabel::kUpperCased},
     .m_Legacy = LegacyRule::kResetAndService,
     .m_Lettered = {L"[1]AssignLetterToPBR", L"[1]No need to mount PBR", LoggedLabel::kUpperCased},
     .m_Probed = {L"[2]AssignLetterToPBR", L"[2]Need to mount PBR", LoggedLabel::kUpperCased},
     .m_SweepLine = DiskLineNumber::kDiskCount},
    {.m_Role = "EFI system",
     .m_Text = L"ESP",
     .m_Test = LabelTest::kBeginsWith,
     .m_FixedLetter = kDefaultESPLetter,
     .m_Uefi = {L"[EFI]AssignLetterToEFI", L"[EFI]Need to mount EFI", LoggedLabel::kUpperCased}},
    {.m_Role = "recovery",
     .m_Text = L"RECOVERY",
     .m_Test = LabelTest::kBeginsWith,
     .m_FixedLetter = kDefaultRecoveryLetter,
     .m_Uefi = {L"[EFI]AssignLetterToRECOVERY", L"[EFI]Need to mount RECOVERY",
                LoggedLabel::kUpperCased}},
    {.m_Role = "system reserved",
     .m_Text = L"SYSTEM RESERVED",
     .m_Test = LabelTest::kWholeLabel,
     .m_Legacy = LegacyRule::kSystemReserved,
     .m_Lettered = {L"[1]AssignLetterToSYS", L"[1]No need to mount SYS", LoggedLabel::kAsRead},
     .m_Probed = {L"[2]AssignLetterToSYS", L"[2]Need to mount SYS", LoggedLabel::kAsRead}},
};

constexpr bool HasLines(const FoundLines& lines) {
  return lines.m_Assign != nullptr && lines.m_Mount != nullptr;
}

constexpr bool HasNoLines(const FoundLines& lines) {
  return lines.m_Assign == nullptr && lines.m_Mount == nullptr;
}

// A rule that looks for a kind has both of its lines, and no other rule has
// lines for it.
constexpr bool EveryRowWhole() {
  for (const SpecialPartitionKind& kind : kKinds) {
    if (kind.m_Role == nullptr || kind.m_Text == nullptr) return false;
    const bool bUefi = kind.m_FixedLetter != nullptr;
    if (bUefi ? !HasLines(kind.m_Uefi) : !HasNoLines(kind.m_Uefi)) return false;
    const bool bLegacy = kind.m_Legacy != LegacyRule::kNone;
    if (bLegacy ? !HasLines(kind.m_Lettered) || !HasLines(kind.m_Probed)
                : !HasNoLines(kind.m_Lettered) || !HasNoLines(kind.m_Probed)) {
      return false;
    }
  }
  return true;
}
static_assert(EveryRowWhole(), "a special-partition row lacks lines of a rule that looks for it");

}  // namespace

std::span<const SpecialPartitionKind> SpecialPartitionKinds() { return kKinds; }

bool LabelFits(const SpecialPartitionKind& kind, const std::wstring& szLabel) {
  switch (kind.m_Test) {
    case LabelTest::kBeginsWith:
      return LabelBeginsWith(szLabel, kind.m_Text);
    case LabelTest::kWholeLabel:
      return LabelEquals(szLabel, kind.m_Text);
  }
  return false;
}

const SpecialPartitionKind* FindSpecialKind(const std::wstring& szLabel) {
  for (const SpecialPartitionKind& kind : kKinds) {
    if (LabelFits(kind, szLabel)) return &kind;
  }
  return nullptr;
}

void LogFound(Logger& logger, const FoundLines& lines, const std::wstring& szLabel) {
  WriteLog(logger, lines.m_Assign, L"");
  WriteLog(logger, lines.m_Mount,
           lines.m_Label == LoggedLabel::kUpperCased ? UpperCaseLabel(szLabel) : szLabel);
}
