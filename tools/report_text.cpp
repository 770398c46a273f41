#include "tools/report_text.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "core/copy_efi.h"
#include "inventory/wmi_inventory.h"
#include "letters/letter_search.h"
#include "letters/special_partitions.h"
#include "platform/firmware_words.h"
#include "platform/words.h"
#include "support/boot_mode.h"
#include "support/log.h"
#include "tools/compare_log.h"
#include "tools/disk_picture.h"
#include "tools/letter_roles.h"
#include "tools/text_style.h"

namespace {

using sim::ToUtf8;

constexpr size_t kMessageColumn = 34;  // log messages are padded to this width
constexpr size_t kTargetColumn = 30;
constexpr size_t kLabelColumn = 20;
constexpr size_t kHeaderColumn = 17;     // the header's values, after "Firmware:" and the rest
constexpr size_t kLetterUseColumn = 24;  // what a letter names, after "W: (recovery letter)"

constexpr size_t kWidth = 80;

}  // namespace

std::vector<std::string> Wrapped(const std::string& szText, size_t nFirst, size_t nIndent) {
  std::vector<std::string> pieces(1);
  size_t nColumn = nFirst;
  size_t begin = 0;
  while (begin < szText.size()) {
    size_t end = szText.find(' ', begin);
    if (end == std::string::npos) end = szText.size();
    const std::string szWord = szText.substr(begin, end - begin);
    if (!pieces.back().empty() && nColumn + 1 + szWord.size() > kWidth) {
      pieces.emplace_back();
      nColumn = nIndent;
    }
    if (!pieces.back().empty()) {
      pieces.back() += ' ';
      ++nColumn;
    }
    pieces.back() += szWord;
    nColumn += szWord.size();
    begin = end + 1;
  }
  return pieces;
}

namespace {

// szLead (nLeadWidth columns wide as shown), then szText wrapped below it at
// nIndent, each piece painted.
template <typename Paint>
void WriteWrapped(std::ostream& out, const std::string& szLead, size_t nLeadWidth,
                  const std::string& szText, size_t nIndent, Paint paint) {
  const std::vector<std::string> pieces = Wrapped(szText, nLeadWidth, nIndent);
  for (size_t i = 0; i < pieces.size(); ++i) {
    out << (i == 0 ? szLead : std::string(nIndent, ' ')) << paint(pieces[i]) << "\n";
  }
}

std::string Plain(const std::string& sz) { return sz; }

std::string Padded(const std::string& sz, size_t nWidth) {
  return sz + std::string(sz.size() < nWidth ? nWidth - sz.size() : 1, ' ');
}

// What the firmware probe is and what its errors tell.
std::string FirmwareProbeWords() {
  std::string sz = "(the probe reads a firmware variable that cannot exist;";
  for (size_t i = 0; i < std::size(kFirmwareErrors); ++i) {
    const FirmwareError& error = kFirmwareErrors[i];
    sz += std::string(i == 0 ? " error " : ", error ") + std::to_string(error.m_Code) +
          (i == 0 ? " means " : " ") + ToUtf8(error.m_Firmware);
  }
  return sz + ")";
}

// What a failed inventory attempt's code tells about the machine.
const wchar_t* InventoryCodeWords(const std::wstring& szCode) {
  struct CodeWords {
    int m_Code;
    const wchar_t* m_Words;
  };
  static const CodeWords kWords[] = {
      {kInventorySecurityFailed, L"COM security could not be set in the process"},
      {kInventoryLocatorFailed,
       L"no WMI locator, as in an image without WMI (WinPE without WinPE-WMI)"},
      {kInventoryConnectFailed,
       L"no connection to root\\CIMV2: the WMI service did not start"},
      {kInventoryQueryFailed, L"a WMI query failed"},
      {kInventoryBlanketFailed, L"the WMI connection's security could not be set"},
      {kInventoryNoFixedDisk,
       L"the disk query found no fixed hard disk: Wine's WMI (which calls no disk \"media\"), "
       L"or a machine whose only disks are removable or external; a machine without the WMI "
       L"service gives 3 or 4 instead"},
      {kInventoryPropertyFailed, L"a disk's index, or a partition's addresses or paths, could "
                                 L"not be read"},
  };
  for (const CodeWords& words : kWords) {
    if (szCode == std::to_wstring(words.m_Code)) return words.m_Words;
  }
  return nullptr;
}

// The words under the log for the lines a reader cannot read unaided: the
// sweep's per-disk line, the exit-code line and the presence lines. Only
// those the log holds.
std::vector<std::string> LogLegend(const Outcome& outcome, const Verdict& verdict) {
  std::vector<std::string> legend;
  for (const LogLine& line : outcome.m_Log) {
    const std::wstring szMessage = WithoutTimeStamp(line.m_Key);
    const size_t nPartitions = szMessage.find(kDiskLinePartitions);
    if (szMessage.rfind(kDiskLineStart, 0) != 0 || nPartitions == std::wstring::npos) continue;
    const std::string szLast =
        ToUtf8(szMessage.substr(nPartitions + std::wcslen(kDiskLinePartitions)));
    std::vector<std::string> countSweeps;
    for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
      if (kind.m_Legacy != LegacyRule::kNone && kind.m_SweepLine == DiskLineNumber::kDiskCount) {
        countSweeps.push_back(kind.m_Role);
      }
    }
    std::string sz = "\"" + ToUtf8(szMessage) + "\": a letter rule mounts the partitions " +
                     "numbered 1 to " + szLast + " of a disk in turn under a probe letter, " +
                     "the lowest free letter from D: to Z:, to read each label; " + szLast +
                     " is one more than the disk reports, so that partition 1 is tried even on " +
                     "a disk that reports none. The first number is the disk's";
    if (!countSweeps.empty()) {
      sz += ", or the number of disks in the legacy sweep for the " +
            platform::JoinedWithAnd(countSweeps) + " partition";
    }
    legend.push_back(sz + ".");
    break;
  }
  std::vector<std::wstring> codes;  // of the failed inventory attempts, each once
  for (const LogLine& line : outcome.m_Log) {
    const std::wstring szMessage = WithoutTimeStamp(line.m_Key);
    const size_t nColon = szMessage.rfind(L':');
    if (!IsFailedInventoryLine(szMessage) || nColon == std::wstring::npos) continue;
    const std::wstring szCode = szMessage.substr(nColon + 1);
    if (std::find(codes.begin(), codes.end(), szCode) != codes.end()) continue;
    codes.push_back(szCode);
    std::string sz = "\"" + ToUtf8(szMessage) + "\": attempt " +
                     ToUtf8(szMessage.substr(1, szMessage.find(L']') - 1)) +
                     " (from 0) of malvik's WMI disk inventory failed; code " + ToUtf8(szCode) +
                     ": ";
    const wchar_t* szWords = InventoryCodeWords(szCode);
    legend.push_back(sz + (szWords == nullptr ? "not one the inventory gives" : ToUtf8(szWords)) +
                     ".");
  }
  for (const LogLine& line : outcome.m_Log) {
    const std::wstring szMessage = WithoutTimeStamp(line.m_Key);
    if (szMessage.rfind(kExitCodeLine, 0) != 0) continue;
    char szNotRun[16];
    std::snprintf(szNotRun, sizeof szNotRun, "%x", static_cast<unsigned>(kBatchNotRunExitCode));
    legend.push_back("\"" + ToUtf8(szMessage) + "\": the batch file's exit code in hexadecimal, " +
                     "its hand-over script's; " + szNotRun + ": it did not run, or how it ended " +
                     "is not known, and the line before says why.");
    break;
  }
  if (verdict.m_PresenceLines > 0) {
    std::vector<std::string> entries;
    for (const wchar_t* szEntry : kPresenceEntries) entries.push_back(ToUtf8(szEntry));
    std::wstring szEsp;
    for (const LetterUse& use : verdict.m_Letters) {
      if (use.m_Role == "ESP") szEsp = use.m_Letter;
    }
    legend.push_back("\"" + ToUtf8(szEsp + kOemFolder) + "\" and the " +
                     std::to_string(verdict.m_PresenceLines - 1) + " lines after it are the " +
                     "presence lines: whether " + ToUtf8(kOemFolder) + " and, in its boot " +
                     "folder, " + platform::JoinedWithAnd(entries) +
                     " are on the ESP letter after the batch " + "file.");
  }
  return legend;
}

void WriteHeader(std::ostream& out, const Style& style, const sim::SimMachine& machine,
                 const Outcome& outcome) {
  const std::string szMachine = "Machine:";
  WriteWrapped(out, style.Heading(szMachine) + std::string(kHeaderColumn - szMachine.size(), ' '),
               kHeaderColumn, machine.m_Name.empty() ? "(unnamed)" : ToUtf8(machine.m_Name),
               kHeaderColumn, Plain);
  out << Padded("Firmware:", kHeaderColumn) << FirmwareText(machine.m_Firmware) << "\n";
  WriteWrapped(out, std::string(kHeaderColumn, ' '), kHeaderColumn, FirmwareProbeWords(),
               kHeaderColumn, Plain);
  if (!machine.m_Notes.empty()) {
    // What a captured description says could not be captured.
    out << style.Heading("Notes:") << "\n";
    for (const std::wstring& szNote : machine.m_Notes) {
      WriteWrapped(out, "  - ", 4, ToUtf8(szNote), 4, Plain);
    }
  }
  out << Padded("Command line:", kHeaderColumn) << ToUtf8(outcome.m_CommandLine) << "\n";
  out << Padded("Exit code:", kHeaderColumn) << outcome.m_ExitCode << "\n";
  out << Padded("Simulated time:", kHeaderColumn) << (machine.m_ClockMs - machine.m_StartMs)
      << " ms\n";
  out << (machine.m_Console.empty() ? Padded("Console:", kHeaderColumn) + "(nothing)" : "Console:")
      << "\n";
  if (!machine.m_Console.empty()) out << machine.m_Console;
}

// Time stamp, message and detail in three columns.
void WriteLogSection(std::ostream& out, const Style& style, const Outcome& outcome,
                     const Verdict& verdict) {
  out << "\n"
      << style.Heading("Log lines written") << " (" << ToUtf8(outcome.m_LogFile)
      << "): " << outcome.m_Log.size() << "\n";
  for (const LogLine& line : outcome.m_Log) {
    const std::wstring szMessage = WithoutTimeStamp(line.m_Key);
    const std::wstring szStamp = line.m_Key.substr(0, line.m_Key.size() - szMessage.size());
    const std::string szStamp8 = "  " + Printable(szStamp);
    if (line.m_Value.empty()) {
      out << style.Faint(szStamp8) << Printable(szMessage) << "\n";
      continue;
    }
    const std::string szLead = Padded(Printable(szMessage), kMessageColumn) + "= ";
    WriteWrapped(out, style.Faint(szStamp8) + szLead, szStamp8.size() + szLead.size(),
                 Printable(line.m_Value), szStamp8.size() + szLead.size(), Plain);
  }
  const std::vector<std::string> legend = LogLegend(outcome, verdict);
  if (!legend.empty()) out << "  " << style.Heading("Reading these lines:") << "\n";
  for (const std::string& sz : legend) WriteWrapped(out, "  - ", 4, sz, 4, Plain);
}

// Each line of the batch file behind "  | ", line ends shown as they are.
void WriteBatchSection(std::ostream& out, const Style& style, const Outcome& outcome) {
  out << "\n" << style.Heading("Batch file:");
  if (outcome.m_pBatch == nullptr) {
    out << "      (none)\n";
    return;
  }
  // Read in the code page malvik wrote it in, so that a path outside ASCII
  // shows as the characters cmd reads.
  out << " (code page " << outcome.m_BatchCodePage << ")\n";
  const std::string szBytes = ToUtf8(outcome.m_BatchText);
  size_t begin = 0;
  for (;;) {
    const size_t end = szBytes.find('\n', begin);
    std::string szLine = szBytes.substr(begin, end == std::string::npos ? end : end - begin);
    const bool bCrLf = !szLine.empty() && szLine.back() == '\r';
    if (bCrLf) szLine.pop_back();
    out << "  | " << szLine << (end == std::string::npos || bCrLf ? "" : "  (LF only)") << "\n";
    if (end == std::string::npos) {
      if (!szLine.empty()) out << "  (the last line has no line end)\n";
      break;
    }
    begin = end + 1;
  }
}

// Every command line the program started, and what the interpreter model
// did with each line it ran.
void WriteCommandsSection(std::ostream& out, const Style& style, const sim::SimMachine& machine) {
  out << "\n"
      << style.Heading("Commands run:") << (machine.m_Runs.empty() ? "    (none)" : "")
      << "\n";
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    out << "  > " << ToUtf8(run.m_CommandLine) << "\n";
    if (run.m_StartError != 0) {
      out << "    " << style.Bad("not started: error " + std::to_string(run.m_StartError)) << "\n";
      continue;
    }
    for (const sim::SimBatchLine& line : run.m_Lines) {
      const std::string szDid = "-> " + ToUtf8(line.m_Did) + " (error level " +
                                std::to_string(line.m_Code) + ")";
      out << "    " << ToUtf8(line.m_Line) << "\n";
      WriteWrapped(out, "      ", 6, szDid, 9, [&](const std::string& sz) {
        return line.m_Code == 0 ? sz : style.Bad(sz);
      });
    }
    out << "    exit code " << run.m_ExitCode << "\n";
  }
}

void WriteDialogsSection(std::ostream& out, const Style& style, const sim::SimMachine& machine) {
  out << "\n"
      << style.Heading("Dialogs:") << (machine.m_Dialogs.empty() ? "         (none)" : "")
      << "\n";
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    // Appended piece by piece: GCC 12 at -O2 takes "[" + std::string for an
    // overlapping copy (-Wrestrict) that cannot happen.
    std::string szDialog = "[";
    szDialog += ToUtf8(dialog.m_Title);
    szDialog += "] ";
    szDialog += ToUtf8(dialog.m_Text);
    out << "  " << style.Bad(szDialog) << "  (" << ToUtf8(dialog.m_Buttons) << "; "
        << ToUtf8(dialog.m_Icon) << ")\n";
  }
}

void WriteDrivesSection(std::ostream& out, const Style& style, const Outcome& outcome) {
  out << "\n" << style.Heading("Drive letters after the run:") << "\n";
  for (const Drive& drive : outcome.m_Drives) {
    std::string szTarget = drive.m_Stack.empty() ? "-" : ToUtf8(drive.m_Stack.front());
    if (drive.m_Stack.size() > 1) {
      szTarget += " (+" + std::to_string(drive.m_Stack.size() - 1) + " under)";
    }
    const std::string szLabel = drive.m_Label.empty() ? "-" : ToUtf8(drive.m_Label);
    out << "  " << ToUtf8(drive.m_Letter) << "  " << Padded(szTarget, kTargetColumn)
        << Padded(szLabel, kLabelColumn)
        << (drive.m_Change == "unchanged" ? drive.m_Change : style.Heading(drive.m_Change))
        << "\n";
  }
}

}  // namespace

std::string HandOverWords(const Verdict& verdict) {
  std::wstring szPbr;
  for (const LetterUse& use : verdict.m_Letters) {
    if (use.m_Role == "PBR") szPbr = use.m_Letter;
  }
  const std::string szLetter = szPbr.empty() ? "the PBR letter" : ToUtf8(szPbr);
  const std::string szReset =
      ToUtf8(kPbrScript) + ", the reset script, with the ESP and PBR letters";
  const std::string szWinRe =
      ToUtf8(kWinReScript) + ", the recovery script, with the ESP and recovery letters";
  if (verdict.m_HandOver == HandOver::kResetScript) {
    const std::string szWhy = verdict.m_ResetFolder.empty()
                                  ? "a recovery folder"
                                  : ToUtf8(verdict.m_ResetFolder) + ", a recovery folder";
    return "5a: the batch file ends by running " + szReset + ", because " + szLetter +
           " holds " + szWhy + "; without one there it would be 5b, " +
           szWinRe + ".";
  }
  if (verdict.m_HandOver == HandOver::kRecoveryScript) {
    std::vector<std::string> folders;
    for (const wchar_t* szFolder : kRecoveryFolders) folders.push_back(ToUtf8(szFolder));
    std::string szFolders;
    for (size_t i = 0; i < folders.size(); ++i) {
      szFolders += (i == 0 ? "" : i + 1 == folders.size() ? " or " : ", ") + folders[i];
    }
    return "5b: the batch file ends by running " + szWinRe + ", because " + szLetter +
           " holds none of the recovery folders " + szFolders + "; with one it would be 5a, " +
           szReset + ".";
  }
  return {};
}

namespace {

// The disks to scale, one bar each (disk_picture.h): its segments' partition
// numbers in the top border, then their labels, their letters before and
// after the run, and their roles.
void WriteDisksSection(std::ostream& out, const Style& style, const sim::SimMachine& machine,
                       const Verdict& verdict) {
  out << "\n"
      << style.Heading("Disks") << " (to scale; letters before > after the run):"
      << (machine.m_Disks.empty() ? " (none)" : "") << "\n";
  bool bRoles = false, bSetAside = false;
  for (const DiskPicture& disk : DrawDisks(machine, verdict, kWidth - 2)) {
    WriteWrapped(out, "  ", 2, DiskHeading(disk), 4, Plain);
    std::vector<std::string> cut;  // labels shown cut short, in full
    for (size_t nRow = 0; nRow < disk.m_Rows; ++nRow) {
      std::string szTop = "  ", szLabels = "  |", szLetters = "  |", szRoles = "  |";
      std::string szBottom = "  +";
      for (const PictureSegment& segment : disk.m_Segments) {
        if (segment.m_Row != nRow) continue;
        bool bCutLabel = false, bIgnored = false;
        std::string szBorder = FittedText(SegmentNumbers(segment), segment.m_Cells, bIgnored);
        std::replace(szBorder.begin(), szBorder.end(), ' ', '-');
        szTop += "+" + szBorder;
        const std::string szLabel = SegmentLabel(segment);
        szLabels += FittedText(szLabel, segment.m_Cells, bCutLabel) + "|";
        if (bCutLabel) cut.push_back(SegmentNumbers(segment) + " \"" + szLabel + "\"");
        szLetters += FittedText(SegmentLetters(segment), segment.m_Cells, bIgnored) + "|";
        const std::string szRole = FittedText(SegmentRole(segment), segment.m_Cells, bIgnored);
        szRoles += (segment.m_Missed ? style.Bad(szRole) : szRole) + "|";
        szBottom += std::string(segment.m_Cells, '-') + "+";
        bRoles = bRoles || !segment.m_Role.empty();
        bSetAside = bSetAside || segment.m_SetAside;
      }
      out << szTop << "+\n" << szLabels << "\n" << szLetters << "\n" << szRoles << "\n";
      if (nRow + 1 == disk.m_Rows) out << szBottom << "\n";
    }
    // The cut ones in full, control characters shown as in the log.
    if (!cut.empty()) {
      WriteWrapped(out, "  in full: ", 11, Printable(sim::FromUtf8(platform::JoinedWithAnd(cut))), 4, Plain);
    }
  }
  if (!bRoles) return;
  std::vector<std::string> roles;
  for (const LetterRole* pRole : {&EspRole(), &RecoveryRole(), &PbrRole()}) {
    std::string szRole = pRole->m_Name;
    szRole += roles.empty() ? " is " : " ";
    szRole += RolePartitionWords(*pRole);
    roles.push_back(szRole);
  }
  std::string szKey = "what a partition is to the run's letters, told by what it holds: ";
  szKey += platform::JoinedWithAnd(roles);
  if (bSetAside) szKey += "; in brackets: it fits too, but the tie rule takes another";
  WriteWrapped(out, "  Roles: ", 9, szKey + ".", 4, Plain);
}

void WriteVerdictSection(std::ostream& out, const Style& style, const Verdict& verdict) {
  out << "\n" << style.Heading("Verdict") << "\n";
  for (const LetterUse& use : verdict.m_Letters) {
    const std::string szLetter = use.m_Letter.empty() ? "(empty)" : ToUtf8(use.m_Letter);
    out << "  " << Padded(szLetter + " (" + use.m_Role + " letter)", kLetterUseColumn);
    if (use.m_Names.empty()) {
      out << "names nothing\n";
    } else {
      out << "names " << ToUtf8(use.m_Names)
          << (use.m_Label.empty() ? "" : ", \"" + ToUtf8(use.m_Label) + "\"") << "\n";
    }
  }
  for (const SpecialPartition& part : verdict.m_Special) {
    const std::string szWhat =
        part.m_Kind + " partition \"" + ToUtf8(part.m_Label) + "\" (disk " +
        std::to_string(part.m_Disk) + " partition " + std::to_string(part.m_Number) + "): ";
    const bool bBad = part.m_Letters.empty() && !part.m_SetAside;
    const std::string szLetters = part.m_Letters.empty()
                                      ? (bBad ? "found no letter" : "no letter")
                                      : "has " + ToUtf8(platform::JoinedWith(part.m_Letters, ", "));
    const std::string szAside = part.m_SetAside ? ", set aside by the tie rule" : "";
    WriteWrapped(out, "  ", 2, szWhat + szLetters + szAside, 4,
                 [&](const std::string& szPiece) { return bBad ? style.Bad(szPiece) : szPiece; });
  }
  out << "  Hand-over: ";
  if (verdict.m_HandOver == HandOver::kNone) {
    out << style.Bad("none") << "\n";
  } else {
    out << HandOverWord(verdict.m_HandOver) << ", " << ToUtf8(verdict.m_HandOverScript) << " "
        << ToUtf8(platform::JoinedWith(verdict.m_HandOverLetters, " "))
        << (verdict.m_HandOverRan ? ", ran" : ", " + style.Bad("did not run")) << "\n";
    WriteWrapped(out, "    ", 4, HandOverWords(verdict), 4, Plain);
  }
  out << "  Batch exit code: "
      << (verdict.m_BatchExitCode ? std::to_string(*verdict.m_BatchExitCode) : "(not run)") << "\n";
  if (verdict.PresenceAllTrue()) {
    out << "  Presence: "
        << style.Good("all " + std::to_string(verdict.m_PresenceLines) + " lines true") << "\n";
  } else if (verdict.m_PresenceLines == 0) {
    out << "  Presence: " << style.Bad("no presence lines in the log") << "\n";
  } else if (verdict.m_PresenceFalse.empty()) {
    out << "  Presence: "
        << style.Bad("only " + std::to_string(verdict.m_PresenceLines) + " of the " +
                     std::to_string(PresenceLinesExpected()) + " lines")
        << "\n";
  } else {
    const std::string szCount = std::to_string(verdict.m_PresenceFalse.size()) + " of " +
                                std::to_string(verdict.m_PresenceLines) + " false:";
    out << "  Presence: " << style.Bad(szCount) << "\n";
    WriteWrapped(out, "    ", 4, ToUtf8(platform::JoinedWith(verdict.m_PresenceFalse, " ")), 4,
                 Plain);
  }
  out << "  Result: " << (verdict.Passed() ? style.Good("passed") : style.Bad("failed")) << "\n";
  for (const std::string& sz : verdict.m_Reasons) {
    WriteWrapped(out, "    - ", 6, sz, 6,
                 [&](const std::string& szPiece) { return style.Bad(szPiece); });
  }
  if (!verdict.m_Warnings.empty()) out << "  Warnings:\n";
  for (const std::string& sz : verdict.m_Warnings) WriteWrapped(out, "    - ", 6, sz, 6, Plain);
  if (!verdict.m_Unchecked.empty()) out << "  Not checked:\n";
  for (const std::string& sz : verdict.m_Unchecked) WriteWrapped(out, "    - ", 6, sz, 6, Plain);
}

}  // namespace

std::string Printable(const std::wstring& sz) {
  std::string out;
  for (char c : sim::ToUtf8(sz)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string FirmwareText(const sim::SimFirmware& firmware) {
  if (firmware.m_Succeeds) return "probe succeeds";
  const std::string szFails = "probe fails with error " + std::to_string(firmware.m_Error);
  const FirmwareError* pError = FindFirmwareError(firmware.m_Error);
  return pError == nullptr ? szFails : ToUtf8(pError->m_Firmware) + " (" + szFails + ")";
}

std::string FirmwareWord(const sim::SimFirmware& firmware) {
  if (firmware.m_Succeeds) return ToUtf8(platform::kFirmwareSucceedsWord);
  const wchar_t* szWord = platform::FindFirmwareErrorWord(firmware.m_Error);
  return szWord == nullptr ? "error " + std::to_string(firmware.m_Error) : ToUtf8(szWord);
}

void WriteText(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome,
               const Verdict& verdict, bool bColour) {
  const Style style{bColour};
  WriteHeader(out, style, machine, outcome);
  WriteLogSection(out, style, outcome, verdict);
  WriteBatchSection(out, style, outcome);
  WriteCommandsSection(out, style, machine);
  WriteDialogsSection(out, style, machine);
  WriteDrivesSection(out, style, outcome);
  out << "\nCurrent directory at exit: " << ToUtf8(machine.m_CurrentDirectory) << "\n";
  WriteDisksSection(out, style, machine, verdict);
  WriteVerdictSection(out, style, verdict);
}
