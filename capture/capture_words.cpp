// What the capture tells the person at the console: a system error in
// words, and the summary of a description (what it found, and its notes).
#include <cwchar>
#include <string>

#include "capture/capture.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

using description::Key;

// The member of an object, or nullptr.
const JsonValue* Member(const JsonValue& object, Key key) {
  const auto found = object.find(description::Name(key));
  return found == object.end() ? nullptr : &*found;
}

std::string Text(const JsonValue* pText) {
  return pText != nullptr && pText->is_string() ? pText->get<std::string>() : std::string();
}

std::string Utf8(const std::wstring& sz) { return platform::WideToUtf8(sz); }

// "uefi", "legacy", "error 87".
std::string FirmwareWords(const JsonValue* pFirmware) {
  if (pFirmware == nullptr) return "not probed";
  if (pFirmware->is_string()) return pFirmware->get<std::string>();
  const JsonValue* pError = Member(*pFirmware, Key::kFirmwareError);
  return "probe error " + std::to_string(pError ? pError->get<std::int64_t>() : 0);
}

// "2 disks, 5 partitions (lettered C: Q: S:)".
std::string DiskWords(const JsonValue* pDisks) {
  size_t nDisks = 0;
  size_t nPartitions = 0;
  std::string szLetters;
  if (pDisks != nullptr) {
    nDisks = pDisks->size();
    for (const JsonValue& disk : *pDisks) {
      const JsonValue* pPartitions = Member(disk, Key::kDiskPartitions);
      if (pPartitions == nullptr) continue;
      nPartitions += pPartitions->size();
      for (const JsonValue& partition : *pPartitions) {
        const JsonValue* pLetter = Member(partition, Key::kPartitionLetter);
        if (pLetter && pLetter->is_string()) {
          szLetters += ' ';
          szLetters += Text(pLetter);
        }
      }
    }
  }
  return std::to_string(nDisks) + (nDisks == 1 ? " disk, " : " disks, ") +
         std::to_string(nPartitions) + (nPartitions == 1 ? " partition" : " partitions") +
         (szLetters.empty() ? "" : " (lettered" + szLetters + ")");
}

// "D: N: (no media)", or "none".
std::string DriveWords(const JsonValue* pDrives) {
  std::string sz;
  if (pDrives == nullptr) return "none";
  for (const auto& [szLetter, drive] : pDrives->items()) {
    sz += (sz.empty() ? "" : " ") + szLetter;
    if (drive.is_string()) sz += " (no media)";
  }
  return sz.empty() ? "none" : sz;
}

}  // namespace

std::wstring ErrorWords(std::uint32_t nError) {
  std::wstring szText = platform::SystemErrorText(nError);
  if (!szText.empty() && szText.back() == L'.') szText.pop_back();
  return L"error " + std::to_wstring(nError) + (szText.empty() ? L"" : L": " + szText);
}

std::wstring AlteredTextNote(const std::wstring& szWhat, const std::wstring& szText) {
  std::wstring szUnits;  // "U+D800 at character 3"
  bool bReplaced = false;
  for (std::size_t i = 0, nCharacter = 1; i < szText.size(); ++nCharacter) {
    const std::size_t nAt = i;
    bool bThis = false;
    platform::NextCodePoint(szText.data(), szText.size(), i, sizeof(wchar_t) == 2, bThis);
    if (!bThis) continue;
    wchar_t szUnit[16];
    std::swprintf(szUnit, 16, L"U+%04X", static_cast<unsigned>(szText[nAt]));
    szUnits += (bReplaced ? L", " : L"") + std::wstring(szUnit) + L" at character " +
               std::to_wstring(nCharacter);
    bReplaced = true;
  }
  if (!bReplaced) return L"";
  return szWhat + L" holds text a description cannot carry (" + szUnits +
         L", half of a UTF-16 surrogate pair without the other half); captured as \"" + szText +
         L"\", with U+FFFD in its place";
}

std::string SummaryText(const JsonValue& machine, const ProgramFolderCheck& folder) {
  std::string sz = "malvik-capture: captured " + Text(Member(machine, Key::kName)) + " at " +
                   Text(Member(machine, Key::kClock)) +
                   "; firmware: " + FirmwareWords(Member(machine, Key::kFirmware)) + "\n";
  sz += "  program folder: " + (folder.m_Folder.empty() ? "not known" : Utf8(folder.m_Folder)) +
        ", holding ";
  for (size_t i = 0; i < folder.m_Found.size(); ++i) {
    sz += (i == 0 ? "" : ", ") + Utf8(folder.m_Found[i]);
  }
  sz += folder.m_Found.empty() ? "none of malvik.exe and its scripts\n" : "\n";
  if (const JsonValue* pStart = Member(machine, Key::kCurrentDirectory)) {
    sz += "  malvik starts in: " + Text(pStart) + "\n";
  }
  sz += "  " + DiskWords(Member(machine, Key::kDisks)) +
        "; other drives: " + DriveWords(Member(machine, Key::kDrives)) + "\n";
  const JsonValue* pNotes = Member(machine, Key::kNotes);
  const size_t nNotes = pNotes ? pNotes->size() : 0;
  sz += kSummaryNotesHeading + std::to_string(nNotes) + "):\n";
  for (size_t i = 0; i < nNotes; ++i) sz += "  - " + Text(&(*pNotes)[i]) + "\n";
  return sz;
}
