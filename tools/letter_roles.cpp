#include "tools/letter_roles.h"

#include <cwchar>

#include "capture/recorded_paths.h"
#include "core/settle_letters.h"
#include "platform/words.h"
#include "simulator/sim_view.h"

using sim::ToUtf8;

namespace {

constexpr LetterRole kRecovery{"recovery", kDefaultRecoveryLetter, "recovery-environment"};
constexpr LetterRole kEsp{"ESP", kDefaultESPLetter, "EFI system"};
constexpr LetterRole kPbr{"PBR", kDefaultPBRLetter, "reset or service"};

// The type WMI gives an EFI system partition on a GPT disk, and the start
// of every type of a GPT disk's partitions.
constexpr wchar_t kEspPartitionType[] = L"GPT: System";
constexpr wchar_t kGptTypeStart[] = L"GPT:";

// Without its leading "\": "Recovery\WindowsRE\Winre.wim".
std::string Shown(const std::wstring& szPath) { return ToUtf8(szPath.substr(1)); }

bool GptDisk(const sim::SimDisk& disk) {
  for (const sim::SimPartition& part : disk.m_Partitions) {
    if (sim::UpperAscii(part.m_Type).rfind(sim::UpperAscii(kGptTypeStart), 0) == 0) return true;
  }
  return false;
}

RoleFit ByContent(const sim::SimPartition& partition, const std::wstring& szPath) {
  if (partition.m_Unreadable) return {false, "is unreadable", L""};
  if (Holds(partition.m_Files, szPath)) return {true, "holds " + Shown(szPath), L""};
  if (UnknownOn(partition.m_UnknownPaths, szPath)) {
    return {false, "may hold " + Shown(szPath), szPath};
  }
  return {false, "does not hold " + Shown(szPath), L""};
}

}  // namespace

const LetterRole& RecoveryRole() { return kRecovery; }
const LetterRole& EspRole() { return kEsp; }
const LetterRole& PbrRole() { return kPbr; }

const LetterRole* RoleOfPartitionKind(const std::string& szKind) {
  for (const LetterRole* pRole : {&kRecovery, &kEsp, &kPbr}) {
    if (szKind == pRole->m_Partition) return pRole;
  }
  return nullptr;
}

bool RoleTakes(const LetterRole& role, const SpecialPartitionKind& kind) {
  return kind.m_FixedLetter != nullptr &&
         std::wcscmp(kind.m_FixedLetter, role.m_DefaultLetter) == 0;
}

std::string RolePartitionWords(const LetterRole& role) {
  return std::string("the ") + role.m_Partition + " partition";
}

std::string RoleLabelWords(const LetterRole& role) {
  std::vector<std::string> tests;
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (!RoleTakes(role, kind)) continue;
    const std::string szText = ToUtf8(kind.m_Text);
    switch (kind.m_Test) {
      case LabelTest::kBeginsWith:
        tests.push_back("a label beginning with " + szText);
        break;
      case LabelTest::kWholeLabel:
        tests.push_back("the label " + szText);
        break;
    }
  }
  return platform::JoinedWith(tests, " or ");
}

bool Holds(const sim::SimVolumeFiles& files, const std::wstring& szPath) {
  const std::wstring szKey = szPath.substr(szPath.find_first_not_of(L'\\'));
  return files.m_Entries.count(sim::UpperAscii(szKey)) != 0;
}

bool UnknownOn(const std::vector<std::wstring>& unknown, const std::wstring& szPath) {
  const std::wstring szKey = sim::UpperAscii(szPath.substr(szPath.find_first_not_of(L'\\')));
  for (const std::wstring& sz : unknown) {
    const std::wstring szUnknown = sim::UpperAscii(sz);
    // An unreadable folder hides everything below it.
    if (szKey == szUnknown || szKey.rfind(szUnknown + L"\\", 0) == 0) return true;
  }
  return false;
}

RoleFit FitRole(const LetterRole& role, const sim::SimDisk& disk,
                const sim::SimPartition& partition, bool bLegacy) {
  if (&role == &kEsp) {
    if (bLegacy || !GptDisk(disk)) return ByContent(partition, EspBootFolder());
    if (sim::UpperAscii(partition.m_Type) == sim::UpperAscii(kEspPartitionType)) {
      return {true, "has the type " + ToUtf8(kEspPartitionType), L""};
    }
    return {false, "is a " + ToUtf8(partition.m_Type) + " partition", L""};
  }
  if (&role == &kRecovery) return ByContent(partition, kRecoveryImage);
  RoleFit fit = ByContent(partition, kRecoveryFolders[0]);
  for (const wchar_t* szFolder : kRecoveryFolders) {
    const RoleFit one = ByContent(partition, szFolder);
    if (one.m_Fits) return one;
    if (!one.m_Unknown.empty()) fit = one;
  }
  if (fit.m_Unknown.empty() && !partition.m_Unreadable) fit.m_Words = "holds no recovery folder";
  return fit;
}

std::string LabelClause(const std::optional<std::wstring>& label) {
  return label.value_or(L"").empty() ? "has no label" : "is labelled \"" + ToUtf8(*label) + "\"";
}
