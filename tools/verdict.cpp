#include "tools/verdict.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <set>

#include "capture/recorded_paths.h"
#include "core/copy_efi.h"
#include "core/entry.h"
#include "core/setup_context.h"
#include "core/setup_sequence.h"
#include "inventory/wmi_inventory.h"
#include "letters/drive_letters.h"
#include "letters/letter_search.h"
#include "letters/special_partitions.h"
#include "platform/device_names.h"
#include "platform/win32_codes.h"
#include "platform/words.h"
#include "simulator/sim_view.h"
#include "support/boot_mode.h"
#include "support/log.h"
#include "tools/compare_log.h"
#include "tools/letter_roles.h"

using sim::ToUtf8;

namespace {

// The letters the run works with, settled from its arguments as the setup
// context settles them.
void RunLetters(const std::vector<std::wstring>& args, Verdict& verdict) {
  std::vector<const wchar_t*> argv = {L"malvik.exe"};
  for (const std::wstring& sz : args) argv.push_back(sz.c_str());
  const SettledLetters letters =
      SettleLetters(PickLetterArguments(static_cast<int>(argv.size()), argv.data()));
  verdict.m_Letters = {{RecoveryRole().m_Name, letters.m_Recovery, L"", L""},
                       {EspRole().m_Name, letters.m_ESP, L"", L""},
                       {PbrRole().m_Name, letters.m_PBR, L"", L""}};
  verdict.m_LettersGiven = letters.m_Given;
}

// The run's letter of a role; RunLetters gives every role one.
const LetterUse& UseOf(const Verdict& verdict, const LetterRole& role) {
  for (const LetterUse& use : verdict.m_Letters) {
    if (use.m_Role == role.m_Name) return use;
  }
  return verdict.m_Letters.front();
}

// What a letter names after the run.
struct Named {
  std::wstring m_Device;  // empty: nothing
  const sim::SimDisk* m_pDisk = nullptr;
  const sim::SimPartition* m_pPartition = nullptr;  // nullptr: not a partition of a listed disk
  std::wstring m_Label;                             // when the volume can be read
};

Named NameOf(sim::SimMachine& machine, const std::wstring& szLetter) {
  Named named;
  auto it = machine.m_DosDevices.find(sim::UpperAscii(szLetter));
  if (szLetter.empty() || it == machine.m_DosDevices.end() || it->second.empty()) return named;
  named.m_Device = it->second.front();
  const sim::SimVolumeRef volume = sim::FindVolumeByLetter(machine, szLetter);
  named.m_pDisk = volume.m_Disk;
  named.m_pPartition = volume.m_Partition;
  if (volume.Readable()) named.m_Label = volume.Label();
  return named;
}

void JudgeLetters(sim::SimMachine& machine, Verdict& verdict) {
  for (LetterUse& use : verdict.m_Letters) {
    const Named named = NameOf(machine, use.m_Letter);
    if (named.m_Device.empty()) continue;
    use.m_Names = named.m_pPartition != nullptr
                      ? platform::PartitionName<std::wstring>(named.m_pDisk->m_Index,
                                                              named.m_pPartition->m_Number)
                      : named.m_Device;
    use.m_Label = named.m_Label;
  }
}

// The file calls recorded szPath among the files this run wrote whole.
bool WrittenThisRun(const sim::SimMachine& machine, const std::wstring& szPath) {
  for (const std::wstring& szWritten : machine.m_FilesWritten) {
    if (sim::UpperAscii(szWritten) == sim::UpperAscii(szPath)) return true;
  }
  return false;
}

// The run record of the batch file this run wrote: the program started it,
// or tried to. nullptr: it wrote none, or did not try to start it.
const sim::SimProcessRun* ThisRunsBatch(const sim::SimMachine& machine) {
  const sim::SimProcessRun* pBatch = nullptr;
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (!run.m_BatchFile.empty() && WrittenThisRun(machine, run.m_BatchFile)) pBatch = &run;
  }
  return pBatch;
}

std::wstring FileName(const std::wstring& szPath) {
  const size_t nSlash = szPath.find_last_of(L"\\/");
  return nSlash == std::wstring::npos ? szPath : szPath.substr(nSlash + 1);
}

// The hand-over of the batch file this run wrote, to a script of the
// program folder ("modifybcdtoPBR.cmd ESP PBR" or the WinRE script with ESP
// and the recovery letter), as the run record holds it: the interpreter
// model read it from the batch file the program started, or tried to.
void JudgeHandOver(const sim::SimMachine& machine, const sim::SimProcessRun* pBatch,
                   Verdict& verdict) {
  verdict.m_HandOver = HandOver::kNone;
  for (const sim::SimProcessRun& run : machine.m_Runs) {
    if (run.m_StartError == 0) verdict.m_BatchExitCode = run.m_ExitCode;
  }
  verdict.m_BatchRan = pBatch != nullptr && pBatch->m_StartError == 0;
  if (pBatch == nullptr || pBatch->m_HandOverScript.empty()) return;
  const std::wstring szName = FileName(pBatch->m_HandOverScript);
  verdict.m_HandOverScript = szName;
  if (sim::UpperAscii(szName) == sim::UpperAscii(kPbrScript)) {
    verdict.m_HandOver = HandOver::kResetScript;
  } else if (sim::UpperAscii(szName) == sim::UpperAscii(kWinReScript)) {
    verdict.m_HandOver = HandOver::kRecoveryScript;
  } else {
    return;
  }
  verdict.m_HandOverLetters = pBatch->m_HandOverArgs;
  verdict.m_HandOverRan = pBatch->m_HandOverRan;
}

// The copy step's lines that say its batch file did not run, or ran with an
// outcome nobody knows, in words; empty for any other line.
std::string WhyNotRun(const std::wstring& szMessage, const std::wstring& szValue) {
  namespace why = copy_efi_log;
  const std::string szDetail = ToUtf8(szValue);
  if (szMessage == why::kCannotWrite) return "the batch file " + szDetail + " could not be written";
  if (szMessage == why::kCannotHoldPath) {
    return "the batch file was not run: cmd could not read \"" + szDetail +
           "\" back unchanged in the console's code page";
  }
  if (szMessage == why::kEspNotADrive) {
    return "the batch file was not run: the ESP letter \"" + szDetail + "\" is not a drive letter";
  }
  if (szMessage == why::kCodePageNotAscii) return "the batch file was not run: code page " + szDetail + " does not write ASCII as itself";
  if (szMessage == why::kCannotStart) {
    return "the batch file could not be started (" + szDetail + ")";
  }
  if (szMessage == why::kExitUnknown) return "the batch file's exit code could not be read";
  if (szMessage == why::kEspIsWindowsVolume) {
    return "the batch file was not run: the ESP letter " + szDetail +
           " names the volume of the running Windows, which is never the EFI system partition";
  }
  if (szMessage == why::kProgramInOemFolder) {
    return "the batch file was not run: the program folder " + szDetail + " lies in the " +
           ToUtf8(kOemFolder) + " it would replace";
  }
  if (szMessage == why::kBatchPathTooLong) {
    return "the batch file was not run: its path " + szDetail + " is longer than the " +
           std::to_string(platform::kMAX_PATH - 1) + " characters Windows starts a program by";
  }
  return {};
}

// What the log says the run kept: a warning, the batch file ran on.
std::string WhatWasKept(const std::wstring& szMessage, const std::wstring& szValue) {
  if (szMessage == copy_efi_log::kOemKeptNoSource) {
    return ToUtf8(szValue) + " has no " + ToUtf8(kEfiSourceFolder) + ": the old " +
           ToUtf8(kOemFolder) + " was kept, not replaced, and the batch file copied nothing";
  }
  return {};
}

// What the log says: the presence lines (after the exit-code line), why the
// batch file did not run, and whether the last inventory attempt failed.
struct LogFacts {
  std::vector<std::string> m_NotRun;
  std::vector<std::string> m_Kept;
  std::wstring m_InventoryError;  // empty: the last attempt did not fail
  std::set<int> m_DisksWalked;    // the first numbers of the per-disk lines
};

LogFacts ReadLog(const Outcome& outcome, Verdict& verdict) {
  LogFacts facts;
  size_t nAfterExitCode = outcome.m_Log.size();
  for (size_t i = 0; i < outcome.m_Log.size(); ++i) {
    const std::wstring szMessage = WithoutTimeStamp(outcome.m_Log[i].m_Key);
    if (szMessage == sequence_log::kGetDiskInfo) {
      facts.m_InventoryError.clear();
    } else if (IsFailedInventoryLine(szMessage)) {
      facts.m_InventoryError = szMessage;
    } else if (szMessage.rfind(kDiskLineStart, 0) == 0) {
      facts.m_DisksWalked.insert(static_cast<int>(
          std::wcstol(szMessage.c_str() + std::wcslen(kDiskLineStart), nullptr, 10)));
    } else if (szMessage.rfind(kExitCodeLine, 0) == 0) {
      nAfterExitCode = i + 1;
    } else if (const std::string szWhy = WhyNotRun(szMessage, outcome.m_Log[i].m_Value);
               !szWhy.empty()) {
      facts.m_NotRun.push_back(szWhy);
    } else if (const std::string szKept = WhatWasKept(szMessage, outcome.m_Log[i].m_Value);
               !szKept.empty()) {
      facts.m_Kept.push_back(szKept);
    }
  }
  for (size_t i = nAfterExitCode; i < outcome.m_Log.size(); ++i) {
    const std::wstring& szValue = outcome.m_Log[i].m_Value;
    if (szValue != BoolToText(true) && szValue != BoolToText(false)) continue;
    ++verdict.m_PresenceLines;
    if (szValue == BoolToText(false)) {
      verdict.m_PresenceFalse.push_back(WithoutTimeStamp(outcome.m_Log[i].m_Key));
    }
  }
  return facts;
}

// A partition of a listed disk.
struct Place {
  const sim::SimDisk* m_pDisk = nullptr;
  const sim::SimPartition* m_pPartition = nullptr;
};

// "partition 1 of disk 0 ("ESP")".
std::string PlaceWords(const Place& place) {
  const std::wstring szLabel = place.m_pPartition->m_Label.value_or(L"");
  return platform::PartitionWords(place.m_pDisk->m_Index, place.m_pPartition->m_Number) +
         (szLabel.empty() ? "" : " (\"" + ToUtf8(szLabel) + "\")");
}

// The partitions that are a role's by what they are, and the one the run
// must use. Where more than one fits, the tie rule decides:
// 1. for the EFI system partition told by its type, the ones that hold
//    \EFI\Microsoft\Boot, which the copy reads; for the recovery
//    environment, the ones that are not a Windows installation themselves
//    (Windows keeps its own copy of the image in \Recovery\WindowsRE);
// 2. then the ones on the disk of the Windows installation: the disk of the
//    partition lettered C: that holds \Windows\System32, or, when no C:
//    does, the one disk whose partitions hold it.
// One left: that one; the others are set aside, in a warning. More left:
// the description cannot tell, and the run fails naming them all.
struct RoleCast {
  const LetterRole* m_pRole = nullptr;
  std::vector<Place> m_Fits;
  std::optional<Place> m_Chosen;
  std::string m_Tie;  // the reason when the tie rule cannot decide
};

// The disk of the Windows installation, as the tie rule takes it; nullptr:
// the description does not tell.
const sim::SimDisk* WindowsDisk(const sim::SimMachine& machine) {
  std::set<const sim::SimDisk*> holding;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (part.m_Unreadable || !Holds(part.m_Files, kWindowsSystemFolder)) continue;
      if (sim::UpperAscii(part.m_Letter) == L"C:") return &disk;
      holding.insert(&disk);
    }
  }
  return holding.size() == 1 ? *holding.begin() : nullptr;
}

RoleCast CastRole(const sim::SimMachine& machine, const LetterRole& role, bool bLegacy) {
  RoleCast cast;
  cast.m_pRole = &role;
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      if (FitRole(role, disk, part, bLegacy).m_Fits) cast.m_Fits.push_back({&disk, &part});
    }
  }
  std::vector<Place> left = cast.m_Fits;
  const auto narrow = [&left](auto keep) {
    std::vector<Place> kept;
    for (const Place& place : left) {
      if (keep(place)) kept.push_back(place);
    }
    if (!kept.empty()) left = kept;
  };
  if (left.size() > 1 && &role == &EspRole()) {
    narrow([](const Place& place) { return Holds(place.m_pPartition->m_Files, EspBootFolder()); });
  }
  if (left.size() > 1 && &role == &RecoveryRole()) {
    narrow([](const Place& place) {
      return !Holds(place.m_pPartition->m_Files, kWindowsSystemFolder);
    });
  }
  const sim::SimDisk* pWindows = WindowsDisk(machine);
  if (left.size() > 1 && pWindows != nullptr) {
    narrow([pWindows](const Place& place) { return place.m_pDisk == pWindows; });
  }
  if (left.size() == 1) {
    cast.m_Chosen = left.front();
  } else if (left.size() > 1) {
    std::string szAll;
    for (size_t i = 0; i < left.size(); ++i) {
      szAll += (i == 0 ? "" : i + 1 == left.size() ? " and " : ", ") + PlaceWords(left[i]);
    }
    cast.m_Tie = std::to_string(left.size()) + " partitions are " + RolePartitionWords(role) +
                 " by what they are: " + szAll +
                 (pWindows == nullptr
                      ? "; the description does not tell which disk holds the Windows "
                        "installation: check which one recovery is for, and describe its "
                        "Windows partition as C: holding Windows/System32"
                      : "; they lie on the disk of the Windows installation, and nothing "
                        "tells which one recovery uses: check which one it is, and remove or "
                        "retype the others");
  }
  return cast;
}

// Whether malvik's inventory could list the disk: WMI answers its fixed-disk
// query with it.
bool ListedAsFixed(const sim::SimDisk& disk) {
  // The query's media type pattern: '%' stands for any run of characters.
  const std::wstring szQuery = kFixedDiskQuery;
  const size_t nOpen = szQuery.find(L'"');
  const std::wstring szPattern =
      sim::UpperAscii(szQuery.substr(nOpen + 1, szQuery.rfind(L'"') - nOpen - 1));
  const std::wstring szType = sim::UpperAscii(disk.m_MediaType);
  size_t nAt = 0;
  size_t nPiece = 0;
  while (nPiece <= szPattern.size()) {
    const size_t nEnd = std::min(szPattern.find(L'%', nPiece), szPattern.size());
    const std::wstring szPiece = szPattern.substr(nPiece, nEnd - nPiece);
    const size_t nFound = nPiece == 0 ? (szType.rfind(szPiece, 0) == 0 ? 0 : std::wstring::npos)
                                      : szType.find(szPiece, nAt);
    if (nFound == std::wstring::npos) return false;
    nAt = nFound + szPiece.size();
    nPiece = nEnd + 1;
  }
  return nAt == szType.size();
}

// The facts the reasons are worded from.
struct Judging {
  sim::SimMachine& m_Machine;
  const Outcome& m_Outcome;
  Verdict& m_Verdict;
  LogFacts m_Log;
  bool m_NoFreeLetter = false;  // every letter from D: to Z: was taken at the start
  bool m_Legacy = false;        // the firmware probe tells legacy BIOS
  RoleCast m_Esp, m_Recovery, m_Reset;
};

// Why the letter rules never probed a partition of a listed disk.
std::string NeverProbedWhy(const Judging& judging, const Place& place) {
  const sim::SimDisk& disk = *place.m_pDisk;
  if (!ListedAsFixed(disk)) {
    return "its disk is not fixed media (\"" + ToUtf8(disk.m_MediaType) +
           "\"), and malvik's inventory counts only fixed disks";
  }
  int nPosition = 0;
  for (const sim::SimDisk& other : judging.m_Machine.m_Disks) {
    if (&other == &disk) break;
    if (ListedAsFixed(other)) ++nPosition;
  }
  if (nPosition >= kMaxDisks) {
    return "its disk lies beyond the " + std::to_string(kMaxDisks) + " disks malvik's table holds";
  }
  if (judging.m_Log.m_DisksWalked.count(disk.m_Index) == 0) {
    if (!judging.m_Log.m_InventoryError.empty()) return "the disk inventory failed";
    for (const sim::SimWmiFault& fault : judging.m_Machine.m_Faults.m_Wmi) {
      if (fault.m_Call.rfind("Next", 0) == 0) return "WMI's list of disks ended before its disk";
    }
    return "the inventory did not count its disk";
  }
  int nReported = 0;
  for (const sim::SimPartition& part : disk.m_Partitions) nReported += part.m_Wmi ? 1 : 0;
  if (disk.m_PartitionsReported) nReported = *disk.m_PartitionsReported;
  const int nNumber = place.m_pPartition->m_Number;
  if (static_cast<std::int64_t>(nNumber) > static_cast<std::int64_t>(nReported) + 1) {
    return "its number lies past its disk's reported partition count (" +
           std::to_string(nReported) + ") + 1, the last number the rules probe";
  }
  if (nNumber > kMaxPartitionProbes) {
    return "its number lies past the probe limit of " + std::to_string(kMaxPartitionProbes);
  }
  return "its mount under a probe letter failed";
}

// The letter rules' last judgement of the partition's label that made it
// a kind, or else their last one, or nullptr: they never probed it. (A
// legacy sweep looks for one kind only, so its "none" does not undo what
// the UEFI rule found.)
const sim::SimLabelJudged* LastJudged(const Judging& judging, const Place& place) {
  const std::wstring szDevice =
      platform::PartitionDevicePath(place.m_pDisk->m_Index, place.m_pPartition->m_Number);
  const sim::SimLabelJudged* pLast = nullptr;
  const sim::SimLabelJudged* pLastKind = nullptr;
  for (const sim::SimLabelJudged& judged : judging.m_Machine.m_LabelsJudged) {
    if (sim::UpperAscii(judged.m_Device) != sim::UpperAscii(szDevice)) continue;
    pLast = &judged;
    if (!judged.m_Kind.empty()) pLastKind = &judged;
  }
  return pLastKind != nullptr ? pLastKind : pLast;
}

const SpecialPartitionKind* KindNamed(const std::string& szKind) {
  for (const SpecialPartitionKind& kind : SpecialPartitionKinds()) {
    if (szKind == kind.m_Role) return &kind;
  }
  return nullptr;
}

// "the letters after the run: X:" or "it has no letter".
std::string LettersOf(const sim::SimMachine& machine, const Place& place) {
  const std::wstring szDevice =
      platform::PartitionDevicePath(place.m_pDisk->m_Index, place.m_pPartition->m_Number);
  std::string szLetters;
  for (const auto& [szLetter, stack] : machine.m_DosDevices) {
    if (!stack.empty() && stack.front() == szDevice) szLetters += " " + ToUtf8(szLetter);
  }
  return szLetters.empty() ? "it has no letter" : "it has" + szLetters;
}

// Why malvik's letter does not name the partition that is the role's, from
// its labels and the rules' record; begins with "; ".
std::string WhyMissed(const Judging& judging, const LetterRole& role, const Place& place,
                      const Named& named, const std::wstring& szLetter) {
  if (judging.m_Verdict.m_LettersGiven) {
    return "; letters given on the command line must name partitions that already carry them, "
           "and " + LettersOf(judging.m_Machine, place);
  }
  if (judging.m_NoFreeLetter) return "; no letter from D: to Z: was free for the rules' probes";
  const sim::SimLabelJudged* pJudged = LastJudged(judging, place);
  if (pJudged == nullptr) return "; malvik never probed it: " + NeverProbedWhy(judging, place);
  const SpecialPartitionKind* pKind = KindNamed(pJudged->m_Kind);
  if (pKind == nullptr) {
    if (place.m_pPartition->m_Unreadable) {
      return "; its label could not be read, so no label rule matched it";
    }
    return pJudged->m_Label.empty()
               ? "; it has no label, and malvik finds it only by " + RoleLabelWords(role)
               : "; its label \"" + ToUtf8(pJudged->m_Label) +
                     "\" does not fit malvik's rule for it, " + RoleLabelWords(role);
  }
  if (!RoleTakes(role, *pKind)) {
    return "; its label \"" + ToUtf8(pJudged->m_Label) + "\" makes it the " + pKind->m_Role +
           " partition to malvik" +
           (pKind->m_FixedLetter == nullptr ? ""
                                            : ", which gives it " + ToUtf8(pKind->m_FixedLetter));
  }
  if (named.m_pPartition != nullptr) {
    const Place other{named.m_pDisk, named.m_pPartition};
    const sim::SimLabelJudged* pOther = LastJudged(judging, other);
    if (pOther != nullptr && pOther->m_Kind == pJudged->m_Kind) {
      return "; its label fits malvik's rule for it (" + RoleLabelWords(role) +
             "), and so does the label of " + PlaceWords(other) + ", probed after it, which took " +
             ToUtf8(szLetter);
    }
  }
  return "; its label fits the rule, but " + ToUtf8(szLetter) + " does not name it after the run";
}

// "partition 3 of disk 0 ("Windows")", ""SHARER", a drive that is not a
// partition of a listed disk", "nothing".
std::string NamedWords(const Named& named) {
  if (named.m_Device.empty()) return "nothing";
  const std::string szLabel = named.m_Label.empty() ? "" : "\"" + ToUtf8(named.m_Label) + "\"";
  if (named.m_pPartition != nullptr) {
    return platform::PartitionWords(named.m_pDisk->m_Index, named.m_pPartition->m_Number) +
           (szLabel.empty() ? "" : " (" + szLabel + ")");
  }
  return (szLabel.empty() ? ToUtf8(named.m_Device) : szLabel) +
         ", a drive that is not a partition of a listed disk";
}

// "R:, the ESP letter,".
std::string LetterWho(const std::wstring& szLetter, const LetterRole& role) {
  return (szLetter.empty() ? std::string("the empty text") : ToUtf8(szLetter)) + ", the " +
         role.m_Name + " letter,";
}

// What the named volume is, when it is not the role's partition: ", which
// does not hold ...", ", a partition of a disk that is not fixed media".
std::string WrongKindWords(const Judging& judging, const RoleCast& cast, const Named& named) {
  if (named.m_pPartition == nullptr) return "";
  const RoleFit fit =
      FitRole(*cast.m_pRole, *named.m_pDisk, *named.m_pPartition, judging.m_Legacy);
  std::string sz = ", which " + fit.m_Words;
  if (!ListedAsFixed(*named.m_pDisk)) sz += ", on a disk that is not fixed media";
  if (fit.m_Fits && cast.m_Chosen) sz += " too but is set aside by the tie rule";
  return sz;
}

// Why the letter does not name the role's partition; empty when it does,
// or when what would tell is unknown (then m_Unchecked says so).
std::string LetterFault(Judging& judging, const RoleCast& cast, const std::wstring& szLetter) {
  const LetterRole& role = *cast.m_pRole;
  if (!cast.m_Tie.empty()) return cast.m_Tie;
  const Named named = NameOf(judging.m_Machine, szLetter);
  if (cast.m_Chosen && named.m_pPartition == cast.m_Chosen->m_pPartition &&
      named.m_pPartition != nullptr) {
    return {};
  }
  if (named.m_pPartition != nullptr) {
    const RoleFit fit =
        FitRole(role, *named.m_pDisk, *named.m_pPartition, judging.m_Legacy);
    if (!fit.m_Unknown.empty() && !cast.m_Chosen) {
      judging.m_Verdict.m_Unchecked.push_back(
          ToUtf8(szLetter) + " names " + NamedWords(named) + ", which " + fit.m_Words +
          ": the capture could not read it, so whether it is " + RolePartitionWords(role) +
          " was not checked");
      return {};
    }
  }
  std::string sz = LetterWho(szLetter, role) + " names " + NamedWords(named) +
                   WrongKindWords(judging, cast, named);
  if (!cast.m_Chosen) {
    const std::string szWhat = &role == &EspRole()
                                   ? (judging.m_Legacy ? "holds \\EFI\\Microsoft\\Boot"
                                                       : "is one, by type or content")
                               : &role == &RecoveryRole() ? "holds " +
                                                                ToUtf8(kRecoveryImage).substr(1)
                                                          : "holds a recovery folder";
    return sz + "; no partition of a listed disk " + szWhat + ", so there is no " +
           RolePartitionWords(role).substr(4) + " to hand over to";
  }
  const Place& place = *cast.m_Chosen;
  sz += ", not " + RolePartitionWords(role) + ", " + PlaceWords(place) + ", which " +
        FitRole(role, *place.m_pDisk, *place.m_pPartition, judging.m_Legacy).m_Words;
  // The cause comes first where it is the machine's, not the partition's.
  if (judging.m_NoFreeLetter && !judging.m_Verdict.m_LettersGiven) {
    return "no letter from D: to Z: was free for the rules' probes, so " + sz;
  }
  return sz + WhyMissed(judging, role, place, named, szLetter);
}

// A partition that holds a recovery folder makes the hand-over the reset
// script's, with the PBR letter naming it: one passed over for the recovery
// script is named.
void JudgeResetFolders(Judging& judging, std::vector<std::string>& reasons) {
  const Verdict& verdict = judging.m_Verdict;
  if (verdict.m_HandOver != HandOver::kRecoveryScript) return;
  const std::wstring& szPbr = UseOf(verdict, PbrRole()).m_Letter;
  const Named pbr = NameOf(judging.m_Machine, szPbr);
  for (const Place& place : judging.m_Reset.m_Fits) {
    const RoleFit fit = FitRole(PbrRole(), *place.m_pDisk, *place.m_pPartition, judging.m_Legacy);
    reasons.push_back(PlaceWords(place) + " " + fit.m_Words +
                      ", a recovery folder, but the batch file hands over to " +
                      ToUtf8(verdict.m_HandOverScript) + ": " + LetterWho(szPbr, PbrRole()) +
                      " names " + NamedWords(pbr) +
                      WhyMissed(judging, PbrRole(), place, pbr, szPbr));
  }
}

// The first line of a script's output, for a reason.
std::string FirstLine(const std::string& szOutput) {
  const size_t nBegin = szOutput.find_first_not_of("\r\n");
  if (nBegin == std::string::npos) return {};
  return szOutput.substr(nBegin, szOutput.find_first_of("\r\n", nBegin) - nBegin);
}

// The hand-over of a batch file that ran with a known exit code.
void JudgeScript(const Judging& judging, const sim::SimProcessRun& batch,
                 std::vector<std::string>& reasons) {
  const Verdict& verdict = judging.m_Verdict;
  const std::string szScript = ToUtf8(verdict.m_HandOverScript);
  if (verdict.m_HandOver == HandOver::kNone) {
    reasons.push_back(szScript.empty() ? "the batch file hands over to no script"
                                       : "the batch file hands over to " + szScript +
                                             ", which is neither " + ToUtf8(kPbrScript) +
                                             " nor " + ToUtf8(kWinReScript));
    return;
  }
  if (!verdict.m_HandOverRan) {
    // The hand-over is the batch file's last line.
    const std::string szDid =
        batch.m_Lines.empty() ? "" : ": " + ToUtf8(batch.m_Lines.back().m_Did);
    reasons.push_back("the hand-over script " + szScript + " did not run" + szDid);
    return;
  }
  if (batch.m_ExitCode == 0) return;
  std::string szReason =
      "the hand-over script " + szScript + " exited with " + std::to_string(batch.m_ExitCode);
  for (const auto& [szName, script] : judging.m_Machine.m_Scripts) {
    if (sim::UpperAscii(szName) != sim::UpperAscii(verdict.m_HandOverScript)) continue;
    const std::string szLine = FirstLine(script.m_Output.value_or(""));
    if (!szLine.empty()) szReason += " (its output: \"" + szLine + "\")";
  }
  reasons.push_back(szReason);
}

void JudgePresence(const Judging& judging, std::vector<std::string>& reasons) {
  const Verdict& verdict = judging.m_Verdict;
  const std::string szExpected = std::to_string(PresenceLinesExpected());
  if (verdict.m_PresenceLines < PresenceLinesExpected()) {
    reasons.push_back(verdict.m_PresenceLines == 0
                          ? "the log has no presence lines"
                          : "the log has " + std::to_string(verdict.m_PresenceLines) + " of the " +
                                szExpected + " presence lines");
  } else if (!verdict.m_PresenceFalse.empty()) {
    const size_t nFalse = verdict.m_PresenceFalse.size();
    const std::string szHowMany =
        nFalse == 1 ? "1 of the " + szExpected + " presence lines is"
        : static_cast<int>(nFalse) == PresenceLinesExpected()
            ? "all " + szExpected + " presence lines are"
            : std::to_string(nFalse) + " of the " + szExpected + " presence lines are";
    reasons.push_back(szHowMany + " false: " + ToUtf8(verdict.m_PresenceFalse.front()) +
                      (nFalse == 1 ? " is" : " and " + std::to_string(nFalse - 1) + " more are") +
                      " not there after the batch file");
    return;
  }
  // The boot store there must be the one the hand-over script rebuilt.
  if (!verdict.m_HandOverRan || verdict.m_HandOverLetters.empty()) return;
  const std::wstring szStore = verdict.m_HandOverLetters[0] + RebuiltBootStore();
  const sim::SimFile* pStore = sim::FindFile(judging.m_Machine, szStore);
  if (pStore == nullptr ||
      sim::UpperAscii(pStore->m_WrittenBy) == sim::UpperAscii(verdict.m_HandOverScript)) {
    return;
  }
  const std::string szWho =
      pStore->m_WrittenBy == sim::kCopyProgram
          ? "is Windows' own store, copied from " + ToUtf8(EspBootFolder()) +
                ": it is not hidden, so the batch file's Del /A:H left it"
      : pStore->m_WrittenBy.empty() ? "was there before the run"
                                    : "was written by " + ToUtf8(pStore->m_WrittenBy);
  reasons.push_back(ToUtf8(szStore) + " " + szWho + ", and " + ToUtf8(verdict.m_HandOverScript) +
                    " did not rebuild it");
}

// Every letter from D: to Z: was taken before the run: no probe letter was
// free for the rules' sweeps.
bool NoFreeLetterAtStart(const Outcome& outcome) {
  std::uint32_t nMask = 0;
  for (const Drive& drive : outcome.m_Drives) {
    const std::wstring szLetter = sim::UpperAscii(drive.m_Letter);
    if (drive.m_Change == "new" || !platform::IsDriveLetter(szLetter)) continue;
    nMask |= 1u << (szLetter[0] - L'A');
  }
  return LowestFreeLetter(nMask).empty();
}

bool TellsLegacy(const sim::SimFirmware& firmware) {
  const FirmwareError* pError = FindFirmwareError(firmware.m_Error);
  return !firmware.m_Succeeds && pError != nullptr && !pError->m_Uefi;
}

// The role partitions for the report, each with the letters naming it.
void ListRolePartitions(const Judging& judging, Verdict& verdict) {
  for (const RoleCast* pCast : {&judging.m_Esp, &judging.m_Recovery, &judging.m_Reset}) {
    for (const Place& place : pCast->m_Fits) {
      SpecialPartition special{pCast->m_pRole->m_Partition,
                               place.m_pPartition->m_Label.value_or(L""), place.m_pDisk->m_Index,
                               place.m_pPartition->m_Number, {},
                               pCast->m_Chosen &&
                                   pCast->m_Chosen->m_pPartition != place.m_pPartition};
      const std::wstring szDevice =
          platform::PartitionDevicePath(place.m_pDisk->m_Index, place.m_pPartition->m_Number);
      for (const auto& [szLetter, stack] : judging.m_Machine.m_DosDevices) {
        if (!stack.empty() && stack.front() == szDevice) special.m_Letters.push_back(szLetter);
      }
      verdict.m_Special.push_back(special);
      if (special.m_SetAside) {
        verdict.m_Warnings.push_back(
            PlaceWords(place) + " fits as " + RolePartitionWords(*pCast->m_pRole) + " too (it " +
            FitRole(*pCast->m_pRole, *place.m_pDisk, *place.m_pPartition, judging.m_Legacy)
                .m_Words +
            "); the tie rule takes " + PlaceWords(*pCast->m_Chosen));
      }
    }
  }
}

// Paths a capture could not read that would tell what a partition or
// drive is.
void ListUnknown(const sim::SimMachine& machine, Verdict& verdict) {
  const auto note = [&verdict](const std::string& szWhere, const std::vector<std::wstring>& paths) {
    for (const std::wstring& szPath : VerdictPaths()) {
      if (!UnknownOn(paths, szPath)) continue;
      verdict.m_Unchecked.push_back(szWhere + ": whether it holds " +
                                    ToUtf8(szPath.substr(1)) +
                                    " is unknown, the capture could not read it");
    }
  };
  for (const sim::SimDisk& disk : machine.m_Disks) {
    for (const sim::SimPartition& part : disk.m_Partitions) {
      note(platform::PartitionWords(disk.m_Index, part.m_Number), part.m_UnknownPaths);
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    note(ToUtf8(szLetter), drive.m_UnknownPaths);
  }
}

// The program's own drive, when a rule moved it during the run: what it
// names afterwards, in a reason.
std::string ProgramDriveTaken(const Judging& judging) {
  const std::wstring& szProgram = judging.m_Machine.m_Program;
  if (!platform::StartsWithDriveLetter(szProgram)) return {};
  const std::wstring szLetter = sim::UpperAscii(szProgram.substr(0, 2));
  for (const Drive& drive : judging.m_Outcome.m_Drives) {
    if (sim::UpperAscii(drive.m_Letter) != szLetter || drive.m_Change != "moved") continue;
    const Named named = NameOf(judging.m_Machine, szLetter);
    return "the program's own drive " + ToUtf8(szLetter) + " was taken by a letter rule and " +
           "now names " + NamedWords(named) + ": this run's log after that is " +
           ToUtf8(judging.m_Outcome.m_LogFile) + " on that volume" +
           (judging.m_Outcome.m_Log.empty() ? ", which holds none of its lines" : "") +
           ", and the batch file and scripts were looked for there too";
  }
  return {};
}

}  // namespace

const char* HandOverWord(HandOver eHandOver) {
  switch (eHandOver) {
    case HandOver::kResetScript:
      return "5a";
    case HandOver::kRecoveryScript:
      return "5b";
    case HandOver::kNone:
      break;
  }
  return "none";
}

bool Verdict::PresenceAllTrue() const {
  return m_PresenceLines == PresenceLinesExpected() && m_PresenceFalse.empty();
}

int PresenceLinesExpected() { return 1 + static_cast<int>(std::size(kPresenceEntries)); }

Verdict JudgeRun(sim::SimMachine& machine, const Outcome& outcome) {
  Verdict verdict;
  RunLetters(outcome.m_Arguments, verdict);
  JudgeLetters(machine, verdict);
  const sim::SimProcessRun* pBatch = ThisRunsBatch(machine);
  JudgeHandOver(machine, pBatch, verdict);
  const std::wstring& szPbr = UseOf(verdict, PbrRole()).m_Letter;
  for (const wchar_t* szFolder : kRecoveryFolders) {
    if (szPbr.empty() || sim::FindFile(machine, szPbr + szFolder) == nullptr) continue;
    verdict.m_ResetFolder = szFolder;
    break;
  }
  const bool bLegacy = TellsLegacy(machine.m_Firmware);
  Judging judging{machine,
                  outcome,
                  verdict,
                  ReadLog(outcome, verdict),
                  NoFreeLetterAtStart(outcome),
                  bLegacy,
                  CastRole(machine, EspRole(), bLegacy),
                  CastRole(machine, RecoveryRole(), bLegacy),
                  CastRole(machine, PbrRole(), bLegacy)};
  ListRolePartitions(judging, verdict);
  ListUnknown(machine, verdict);

  // In the order a reader should look: what stopped the run, what made its
  // letters wrong, then what the batch file did.
  std::vector<std::string>& reasons = verdict.m_Reasons;
  const bool bStarted = outcome.m_ExitCode == 0 && !outcome.m_Log.empty();
  const std::string szTaken = ProgramDriveTaken(judging);
  if (outcome.m_ExitCode != 0) {
    reasons.push_back("the program did not start (exit code " +
                      std::to_string(outcome.m_ExitCode) + ")");
  } else if (!szTaken.empty()) {
    reasons.push_back(szTaken);
  } else if (outcome.m_Log.empty()) {
    reasons.push_back("no log lines were written");
  }
  if (!judging.m_Log.m_InventoryError.empty()) {
    reasons.push_back("the disk inventory failed (" + ToUtf8(judging.m_Log.m_InventoryError) + ")");
  }
  // A mount that failed stops the rules' work on that partition: what
  // follows from it comes after.
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    if (dialog.m_Text != kMountFailedText) continue;
    reasons.push_back("a dialog waits for a click: [" + ToUtf8(dialog.m_Title) + "] " +
                      ToUtf8(dialog.m_Text) + "; a letter could not be defined");
  }
  const bool bExitKnown = verdict.m_BatchRan && pBatch->m_ExitCodeRead;
  if (bStarted && !bExitKnown) {
    std::vector<std::string> notRun = judging.m_Log.m_NotRun;
    if (notRun.empty()) {
      notRun.push_back(verdict.m_BatchRan ? "the batch file's exit code could not be read"
                                          : "this run did not write and start the batch file " +
                                                ToUtf8(kBatchName));
    }
    if (!verdict.m_BatchRan && verdict.PresenceAllTrue()) {
      notRun.front() += "; the " + ToUtf8(kOemFolder) + " the presence lines find is an earlier "
                        "run's";
    }
    reasons.insert(reasons.end(), notRun.begin(), notRun.end());
  }
  const std::vector<std::wstring>& handOver = verdict.m_HandOverLetters;
  const bool bKnownHandOver = verdict.m_HandOver != HandOver::kNone;
  const std::wstring szEsp =
      bKnownHandOver ? (handOver.empty() ? L"" : handOver[0]) : UseOf(verdict, EspRole()).m_Letter;
  bool bEspFault = false;
  if (bStarted && (bKnownHandOver || platform::IsDriveLetter(szEsp))) {
    if (const std::string sz = LetterFault(judging, judging.m_Esp, szEsp); !sz.empty()) {
      reasons.push_back(sz);
      bEspFault = true;
    }
  }
  if (bStarted) JudgeResetFolders(judging, reasons);
  if (bKnownHandOver) {
    const bool bReset = verdict.m_HandOver == HandOver::kResetScript;
    const RoleCast& cast = bReset ? judging.m_Reset : judging.m_Recovery;
    if (handOver.size() < 2) {
      reasons.push_back("the hand-over gives " + ToUtf8(verdict.m_HandOverScript) + " no " +
                        cast.m_pRole->m_Name + " letter");
    } else if (const std::string sz = LetterFault(judging, cast, handOver[1]); !sz.empty()) {
      if (std::find(reasons.begin(), reasons.end(), sz) == reasons.end()) reasons.push_back(sz);
    }
  }
  if (bExitKnown) JudgeScript(judging, *pBatch, reasons);
  // The presence lines of a batch file that did not run tell of an earlier run.
  if (bExitKnown) JudgePresence(judging, reasons);
  for (const sim::SimDialog& dialog : machine.m_Dialogs) {
    if (dialog.m_Text == kMountFailedText) continue;
    reasons.push_back("a dialog waits for a click: [" + ToUtf8(dialog.m_Title) + "] " +
                      ToUtf8(dialog.m_Text));
  }
  // An ESP letter for the wrong volume already says why nothing was copied.
  if (!bEspFault) {
    verdict.m_Warnings.insert(verdict.m_Warnings.end(), judging.m_Log.m_Kept.begin(), judging.m_Log.m_Kept.end());
  }
  // What the description was accepted with, so that check shows it too.
  for (const sim::SimLoadWarning& warning : machine.m_LoadWarnings) {
    verdict.m_Warnings.push_back("the description, at " + warning.m_Path + ": " + warning.m_What);
  }
  return verdict;
}
