#include "tools/letter_roles.h"

#include <cwchar>

#include "core/copy_efi.h"
#include "core/settle_letters.h"

using sim::ToUtf8;

namespace {

constexpr LetterRole kRecovery{"recovery", kDefaultRecoveryLetter};
constexpr LetterRole kEsp{"ESP", kDefaultESPLetter};
constexpr LetterRole kPbr{"PBR", kDefaultPBRLetter};

// The type WMI gives an EFI system partition on a GPT disk.
constexpr wchar_t kEspPartitionType[] = L"GPT: System";
// The recovery environment's image, where the recovery partition keeps it.
constexpr wchar_t kRecoveryImage[] = L"\\Recovery\\WindowsRE\\Winre.wim";

// The entry a volume root path ("\A\B") names is on the volume.
bool Holds(const sim::SimPartition& partition, const std::wstring& szPath) {
  const std::wstring szKey = szPath.substr(szPath.find_first_not_of(L'\\'));
  return partition.m_Files.m_Entries.count(sim::UpperAscii(szKey)) != 0;
}

std::string OrJoined(const std::vector<std::string>& items) {
  std::string sz;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) sz += " or ";
    sz += items[i];
  }
  return sz;
}

}  // namespace

const LetterRole& RecoveryRole() { return kRecovery; }
const LetterRole& EspRole() { return kEsp; }
const LetterRole& PbrRole() { return kPbr; }

bool RoleTakes(const LetterRole& role, const SpecialPartitionKind& kind) {
  return kind.m_FixedLetter != nullptr &&
         std::wcscmp(kind.m_FixedLetter, role.m_DefaultLetter) == 0;
}

std::string RolePartitionWords(const LetterRole& role) {
  std::vector<std::string> roles;
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (RoleTakes(role, kind)) roles.push_back(kind.m_Role);
  }
  return "the " + OrJoined(roles) + " partition";
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
  return OrJoined(tests);
}

std::vector<PartitionSign> SignsOf(const sim::SimPartition& partition) {
  std::vector<PartitionSign> signs;
  if (sim::UpperAscii(partition.m_Type) == sim::UpperAscii(kEspPartitionType)) {
    signs.push_back({&kEsp, "has the type " + ToUtf8(kEspPartitionType)});
  }
  for (const wchar_t* szFolder : kRecoveryFolders) {
    if (!Holds(partition, szFolder)) continue;
    signs.push_back({&kPbr, "holds " + ToUtf8(szFolder)});
    break;
  }
  if (Holds(partition, kRecoveryImage)) {
    signs.push_back({&kRecovery, "holds " + ToUtf8(kRecoveryImage).substr(1)});
  }
  return signs;
}

std::string PartitionWords(int nDisk, int nNumber) {
  return "partition " + std::to_string(nNumber) + " of disk " + std::to_string(nDisk);
}

std::string LabelClause(const std::optional<std::wstring>& label) {
  return label.value_or(L"").empty() ? "has no label" : "is labelled \"" + ToUtf8(*label) + "\"";
}
