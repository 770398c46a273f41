#include "tools/variations.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "core/copy_efi.h"
#include "core/settle_letters.h"
#include "core/setup_sequence.h"
#include "letters/special_partitions.h"

using nlohmann::ordered_json;
using sim::FromUtf8;
using sim::ToUtf8;

namespace {

using description::Key;

// A description key, as the format spells it.
const char* K(Key key) { return description::Name(key); }

// What a technician's USB stick and a deployment share show: a volume of
// their own, on no fixed disk, so WMI's fixed-disk query never lists them.
// A Samba share reports its share name as the volume label.
constexpr char kStickLabel[] = "USB DISK";
constexpr char kShareLabel[] = "deploy";

// Where the program folder is moved to: a folder with a space, and one
// outside ASCII (a user's desktop, as kits are copied there).
constexpr char kFolderWithSpace[] = "Factory Kit";
constexpr char kFolderOutsideAscii[] = "Users\\Jos\xC3\xA9\\Desktop\\Kit";

// The firmware probe's errors it does not expect: the privilege to read
// firmware variables not held (a console started without it, or a policy
// that strips it), and a firmware that refuses the empty variable name.
struct UnexpectedFirmwareError {
  unsigned m_Error;
  const char* m_Words;
};
constexpr UnexpectedFirmwareError kFirmwareErrors[] = {
    {1314,
     "ERROR_PRIVILEGE_NOT_HELD: the process does not hold the privilege to read firmware "
     "variables, as when malvik is started from a console that was not elevated or a policy "
     "strips the privilege"},
    {87,
     "ERROR_INVALID_PARAMETER: a firmware that refuses the probe's empty variable name as "
     "invalid instead of answering that no such variable exists"}};

// A label the rules tell a special partition by, renamed the way images
// and people commonly name that partition.
struct Rename {
  const char* m_Role;  // SpecialPartitionKind::m_Role
  const char* m_Token;
  const char* m_NewLabel;  // nullptr: none common
  const char* m_Why;
};
constexpr Rename kRenames[] = {
    {"EFI system", "esp", "SYSTEM", "the label Microsoft's deployment scripts give the ESP"},
    {"recovery", "recovery", "Windows RE tools",
     "the label Microsoft's deployment scripts give the recovery partition"},
    {"reset", "reset", "PBR_RESET", "a reset partition labelled by another imaging team"},
    {"service", "service", nullptr, nullptr},
    {"system reserved", "system-reserved", nullptr, nullptr},
};

const Rename* FindRename(const char* szRole) {
  for (const Rename& rename : kRenames) {
    if (std::string(rename.m_Role) == szRole) return &rename;
  }
  return nullptr;
}

// ASCII letters only, as Windows compares drive letters and as a label
// typed in lower case reads; other bytes (UTF-8) stay.
std::string Upper(std::string sz) {
  for (char& c : sz) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return sz;
}

std::string Lower(std::string sz) {
  for (char& c : sz) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return sz;
}

std::string Backslashed(std::string sz) {
  std::replace(sz.begin(), sz.end(), '/', '\\');
  return sz;
}

// A path below a volume's root as the run's files key it: backslashes, no
// separator at either end, upper case.
std::string PathKey(std::string sz) {
  std::replace(sz.begin(), sz.end(), '/', '\\');
  while (!sz.empty() && sz.front() == '\\') sz.erase(0, 1);
  while (!sz.empty() && sz.back() == '\\') sz.pop_back();
  return Upper(sz);
}

// The path of an entry of a "files" array.
std::string EntryPath(const ordered_json& entry) {
  if (entry.is_string()) return entry.get<std::string>();
  if (entry.is_object() &&
      entry.contains(K(Key::kFilePath)) && entry[K(Key::kFilePath)].is_string()) {
    return entry[K(Key::kFilePath)].get<std::string>();
  }
  return "";
}

void SetEntryPath(ordered_json& entry, const std::string& szPath) {
  if (entry.is_object()) {
    entry[K(Key::kFilePath)] = szPath;
  } else {
    entry = szPath;
  }
}

struct Maker {
  const ordered_json& m_Doc;
  const sim::SimMachine& m_Machine;
  std::vector<Variation>& m_Out;
  const char* m_Family = "";

  void Add(const std::string& szWhat, const std::string& szModels, const ordered_json& doc) {
    m_Out.push_back({m_Family, std::string(m_Family) + "." + szWhat, szModels,
                     doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n",
                     false});
  }

  // ---- what the machine has, before the run

  bool LetterTaken(const std::string& szLetter) const {
    auto it = m_Machine.m_DosDevices.find(FromUtf8(szLetter));
    return it != m_Machine.m_DosDevices.end() && !it->second.empty();
  }

  // The free letters from D:, lowest first.
  std::vector<std::string> FreeLetters() const {
    std::vector<std::string> letters;
    for (char c = 'D'; c <= 'Z'; ++c) {
      const std::string sz = std::string(1, c) + ":";
      if (!LetterTaken(sz)) letters.push_back(sz);
    }
    return letters;
  }

  // The label of a special partition by the letter rules' table: the kind's
  // role, or nullptr.
  const char* RoleOf(size_t d, size_t p) const {
    const auto& label = m_Machine.m_Disks[d].m_Partitions[p].m_Label;
    if (!label || label->empty()) return nullptr;
    const SpecialPartitionKind* pKind = FindSpecialKind(*label);
    return pKind == nullptr ? nullptr : pKind->m_Role;
  }

  // The label the machine gives the first partition of this role, or
  // szDefault when none has one.
  std::string LabelOfRole(const char* szRole, const std::string& szDefault) const {
    for (size_t d = 0; d < m_Machine.m_Disks.size(); ++d) {
      for (size_t p = 0; p < m_Machine.m_Disks[d].m_Partitions.size(); ++p) {
        const char* sz = RoleOf(d, p);
        if (sz != nullptr && std::string(sz) == szRole) {
          return ToUtf8(*m_Machine.m_Disks[d].m_Partitions[p].m_Label);
        }
      }
    }
    return szDefault;
  }

  // "disk 0 partition 3", for a variation's name when more than one
  // partition gets the same change.
  std::string PlaceTag(size_t d, size_t p) const {
    return "disk" + std::to_string(m_Machine.m_Disks[d].m_Index) + "p" +
           std::to_string(m_Machine.m_Disks[d].m_Partitions[p].m_Number);
  }

  // ---- the document

  // The "files" array of the volume a letter names before the run, or
  // nullptr when the description gives that volume none it could hold.
  static ordered_json* VolumeFiles(ordered_json& doc, const sim::SimMachine& machine,
                                   const std::string& szLetter) {
    for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
      for (size_t p = 0; p < machine.m_Disks[d].m_Partitions.size(); ++p) {
        if (machine.m_Disks[d].m_Partitions[p].m_Letter != FromUtf8(szLetter)) continue;
        ordered_json& part = doc[K(Key::kDisks)][d][K(Key::kDiskPartitions)][p];
        if (!part.contains(K(Key::kPartitionFiles)))
          part[K(Key::kPartitionFiles)] = ordered_json::array();
        return &part[K(Key::kPartitionFiles)];
      }
    }
    if (!doc.contains(K(Key::kDrives))) return nullptr;
    for (auto& [szKey, drive] : doc[K(Key::kDrives)].items()) {
      if (Upper(szKey) != szLetter || !drive.is_object()) continue;
      if (!drive.contains(K(Key::kPartitionFiles)))
        drive[K(Key::kPartitionFiles)] = ordered_json::array();
      return &drive[K(Key::kPartitionFiles)];
    }
    return nullptr;
  }

  static ordered_json& Drives(ordered_json& doc) {
    if (!doc.contains(K(Key::kDrives))) doc[K(Key::kDrives)] = ordered_json::object();
    return doc[K(Key::kDrives)];
  }

  static ordered_json& WmiFaults(ordered_json& doc) {
    if (!doc.contains(K(Key::kFaults))) doc[K(Key::kFaults)] = ordered_json::object();
    if (!doc[K(Key::kFaults)].contains(K(Key::kFaultWmi)))
      doc[K(Key::kFaults)][K(Key::kFaultWmi)] = ordered_json::array();
    return doc[K(Key::kFaults)][K(Key::kFaultWmi)];
  }

  // The key of a script in "scripts", in the case the description wrote it.
  static ordered_json& Script(ordered_json& doc, const std::string& szName) {
    if (!doc.contains(K(Key::kScripts))) doc[K(Key::kScripts)] = ordered_json::object();
    for (auto& [szKey, script] : doc[K(Key::kScripts)].items()) {
      if (Upper(szKey) == Upper(szName)) return script;
    }
    doc[K(Key::kScripts)][szName] = ordered_json::object();
    return doc[K(Key::kScripts)][szName];
  }

  // The program's letter ("C:") and its folder below the root ("Tools", or
  // empty at the root), as the machine runs it.
  std::string ProgramLetter() const { return Upper(ToUtf8(m_Machine.m_Program.substr(0, 2))); }
  std::string ProgramFolder() const {
    const std::string sz = ToUtf8(m_Machine.m_Program);
    const size_t nSlash = sz.find_last_of("\\/");
    return nSlash == std::string::npos || nSlash < 3 ? "" : sz.substr(3, nSlash - 3);
  }
  std::string ProgramFile() const {
    const std::string sz = ToUtf8(m_Machine.m_Program);
    return sz.substr(sz.find_last_of("\\/") + 1);
  }

  // The document with the program folder moved to szFolder (below the root)
  // of the volume szLetter names: its described files go there with it,
  // and a current folder that was the program's follows. When pNewDrive is
  // given, that volume is a new drive entry made for it.
  ordered_json MoveProgram(const std::string& szLetter, const std::string& szFolder,
                           const ordered_json* pNewDrive) const {
    ordered_json doc = m_Doc;
    std::vector<ordered_json> moved;
    const std::string szOldFolder = PathKey(ProgramFolder());
    if (ordered_json* pFiles = VolumeFiles(doc, m_Machine, ProgramLetter())) {
      ordered_json kept = ordered_json::array();
      for (ordered_json& entry : *pFiles) {
        const std::string szPath = EntryPath(entry);
        const std::string szKey = PathKey(szPath);
        const bool bInFolder = szOldFolder.empty()
                                   ? szKey.find('\\') == std::string::npos
                                   : szKey.rfind(szOldFolder + "\\", 0) == 0;
        if (!bInFolder || szKey.empty()) {
          kept.push_back(entry);
          continue;
        }
        std::string szRest = szPath;
        std::replace(szRest.begin(), szRest.end(), '/', '\\');
        while (!szRest.empty() && szRest.front() == '\\') szRest.erase(0, 1);
        szRest = szRest.substr(szOldFolder.empty() ? 0 : szOldFolder.size() + 1);
        SetEntryPath(entry, szFolder.empty() ? szRest : szFolder + "\\" + szRest);
        moved.push_back(entry);
      }
      *pFiles = kept;
    }
    if (pNewDrive != nullptr) Drives(doc)[szLetter] = *pNewDrive;
    ordered_json* pTarget = VolumeFiles(doc, m_Machine, szLetter);
    if (pTarget == nullptr && pNewDrive != nullptr) {
      doc[K(Key::kDrives)][szLetter][K(Key::kPartitionFiles)] = ordered_json::array();
      pTarget = &doc[K(Key::kDrives)][szLetter][K(Key::kPartitionFiles)];
    }
    if (pTarget != nullptr) {
      for (const ordered_json& entry : moved) pTarget->push_back(entry);
    }
    const std::string szNewFolder = szLetter + "\\" + szFolder;
    doc[K(Key::kProgram)] = szNewFolder + (szFolder.empty() ? "" : "\\") + ProgramFile();
    const std::string szOldCurrent = ProgramLetter() + "\\" + ProgramFolder();
    if (doc.contains(K(Key::kCurrentDirectory)) && doc[K(Key::kCurrentDirectory)].is_string() &&
        PathKey(doc[K(Key::kCurrentDirectory)].get<std::string>()) == PathKey(szOldCurrent)) {
      doc[K(Key::kCurrentDirectory)] = szNewFolder;
    }
    return doc;
  }
};

// A drive entry: a volume with this label holding one folder, or nothing.
ordered_json StickDrive(const char* szLabel, const char* szFolder) {
  ordered_json drive = {{"label", szLabel}};
  drive[K(Key::kPartitionFiles)] = ordered_json::array();
  if (szFolder != nullptr) drive[K(Key::kPartitionFiles)].push_back(szFolder);
  return drive;
}

// The letters the rules use for the special partitions, and the
// partition sweep's probe letter: the lowest free one from D:, which is
// where Windows puts a stick too.
void MakeRemovable(Maker& maker) {
  const std::vector<std::string> free = maker.FreeLetters();
  if (!free.empty()) {
    ordered_json doc = maker.m_Doc;
    Maker::Drives(doc)[free.front()] = StickDrive(kStickLabel, "Drivers/");
    maker.Add("stick-first-free",
              "A USB stick at " + free.front() +
                  ", the first free letter, which Windows gives it and which the partition "
                  "sweep would take as its probe letter; a technician leaves a stick with "
                  "drivers in.",
              doc);
  }
  for (const wchar_t* szRuleLetter : {kDefaultESPLetter, kDefaultRecoveryLetter, kDefaultPBRLetter}) {
    const std::string szLetter = ToUtf8(szRuleLetter);
    if (maker.LetterTaken(szLetter)) continue;
    ordered_json doc = maker.m_Doc;
    Maker::Drives(doc)[szLetter] = StickDrive(kStickLabel, "Drivers/");
    maker.Add("stick-" + szLetter.substr(0, 1),
              "A USB stick lettered " + szLetter +
                  ", a letter the UEFI rule gives a special partition; a technician's stick "
                  "that Disk Management once lettered " + szLetter + " keeps that letter.",
              doc);
  }
  if (free.size() >= 4) {
    ordered_json doc = maker.m_Doc;
    for (size_t i = 0; i < 4; ++i) Maker::Drives(doc)[free[i]] = "no-media";
    maker.Add("card-reader",
              "A card reader with four empty slots at " + free[0] + " to " + free[3] +
                  "; desktops and service stations often have one, each slot a letter "
                  "without media.",
              doc);
  }
}

void MakeNetwork(Maker& maker) {
  for (const wchar_t* szRuleLetter : {kDefaultESPLetter, kDefaultRecoveryLetter, kDefaultPBRLetter}) {
    const std::string szLetter = ToUtf8(szRuleLetter);
    if (maker.LetterTaken(szLetter)) continue;
    ordered_json doc = maker.m_Doc;
    Maker::Drives(doc)[szLetter] = StickDrive(kShareLabel, "Images/");
    maker.Add("share-" + szLetter.substr(0, 1),
              "A network share mapped at " + szLetter +
                  "; the factory's deployment share, mapped by the image's start-up script "
                  "before malvik runs.",
              doc);
  }
}

void MakeWmi(Maker& maker) {
  for (const int nFailures : {1, kInventoryAttempts - 1, kInventoryAttempts}) {
    ordered_json doc = maker.m_Doc;
    ordered_json& faults = Maker::WmiFaults(doc);
    for (int i = 0; i < nFailures; ++i) faults.push_back(
        {{K(Key::kWmiFaultAttempt), i}, {K(Key::kWmiFaultCall), "ConnectServer"}});
    maker.Add("fails-" + std::to_string(nFailures),
              "WMI refuses the connection " + std::to_string(nFailures) + " time" +
                  (nFailures == 1 ? "" : "s") + " before it answers" +
                  (nFailures >= kInventoryAttempts ? " (more than malvik tries)" : "") +
                  ": the WMI service is still starting in the first seconds after boot.",
              doc);
  }
  // The disk that holds most of the special partitions.
  size_t nDisk = 0, nBest = 0;
  for (size_t d = 0; d < maker.m_Machine.m_Disks.size(); ++d) {
    size_t n = 0;
    for (size_t p = 0; p < maker.m_Machine.m_Disks[d].m_Partitions.size(); ++p) {
      n += maker.RoleOf(d, p) != nullptr;
    }
    if (n > nBest) {
      nBest = n;
      nDisk = d;
    }
  }
  if (!maker.m_Machine.m_Disks.empty()) {
    const std::int32_t nReported = maker.m_Machine.m_Disks[nDisk].m_PartitionsReported.value_or(0);
    for (const int nBy : {-1, 1}) {
      if (nReported + nBy < 0) continue;
      ordered_json doc = maker.m_Doc;
      doc[K(Key::kDisks)][nDisk][K(Key::kDiskPartitionsReported)] = nReported + nBy;
      maker.Add(nBy < 0 ? "partitions-one-fewer" : "partitions-one-more",
                "WMI reports " + std::to_string(nReported + nBy) + " partitions on disk " +
                    std::to_string(maker.m_Machine.m_Disks[nDisk].m_Index) + " instead of " +
                    std::to_string(nReported) +
                    "; WMI's count can lag behind a partition table the imaging step has just "
                    "changed.",
                doc);
    }
  }
  if (maker.m_Machine.m_Disks.size() >= 2) {
    ordered_json doc = maker.m_Doc;
    for (size_t d = 0; d < maker.m_Machine.m_Disks.size(); ++d) {
      doc[K(Key::kDisks)][d][K(Key::kDiskIndex)] = maker.m_Machine.m_Disks[d].m_Index;
    }
    std::reverse(doc[K(Key::kDisks)].begin(), doc[K(Key::kDisks)].end());
    maker.Add("disks-reversed",
              "WMI lists the disks in reverse order: it gives no order, and the order changes "
              "with the storage driver and the order the disks came up in.",
              doc);
  }
}

void MakeScripts(Maker& maker) {
  {
    ordered_json doc = maker.m_Doc;
    for (const wchar_t* szScript : {kPbrScript, kWinReScript}) {
      ordered_json& script = Maker::Script(doc, ToUtf8(szScript));
      script[K(Key::kScriptExitCode)] = 1;
      script["output"] = "The boot configuration data store could not be opened.";
    }
    maker.Add("handover-exits-1",
              "The boot-configuration script malvik hands over to exits 1: bcdedit or reagentc "
              "failed in it, on a store it cannot open or an image it does not find.",
              doc);
  }
  for (const wchar_t* szScript : {kPbrScript, kWinReScript}) {
    ordered_json doc = maker.m_Doc;
    ordered_json* pFiles = Maker::VolumeFiles(doc, maker.m_Machine, maker.ProgramLetter());
    if (pFiles == nullptr) continue;
    const std::string szFolder = PathKey(maker.ProgramFolder());
    const std::string szKey = PathKey((szFolder.empty() ? "" : szFolder + "\\") + ToUtf8(szScript));
    const auto it = std::find_if(pFiles->begin(), pFiles->end(), [&](const ordered_json& entry) {
      return PathKey(EntryPath(entry)) == szKey;
    });
    if (it == pFiles->end()) continue;
    pFiles->erase(it);
    maker.Add("missing-" + ToUtf8(szScript),
              ToUtf8(szScript) + " is missing from the program folder: the kit was copied "
                                 "without it, or an antivirus quarantined it.",
              doc);
  }
}

void MakeLabels(Maker& maker) {
  const sim::SimMachine& machine = maker.m_Machine;
  // How many partitions of each role: a name names the place when more
  // than one would get the same name.
  std::vector<std::string> roles;
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    for (size_t p = 0; p < machine.m_Disks[d].m_Partitions.size(); ++p) {
      if (const char* szRole = maker.RoleOf(d, p)) roles.push_back(szRole);
    }
  }
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    for (size_t p = 0; p < machine.m_Disks[d].m_Partitions.size(); ++p) {
      const char* szRole = maker.RoleOf(d, p);
      if (szRole == nullptr) continue;
      const Rename* pRename = FindRename(szRole);
      const std::string szLabel = ToUtf8(*machine.m_Disks[d].m_Partitions[p].m_Label);
      std::string szToken = pRename != nullptr ? pRename->m_Token : szRole;
      if (std::count(roles.begin(), roles.end(), szRole) > 1) {
        szToken += '-';
        szToken += maker.PlaceTag(d, p);
      }
      const std::string szWhose = "The " + std::string(szRole) + " partition's label \"" +
                                  szLabel + "\"";
      auto add = [&](const std::string& szWhat, const std::string& szNew, const std::string& szWhy) {
        if (szNew == szLabel) return;
        ordered_json doc = maker.m_Doc;
        doc[K(Key::kDisks)][d][K(Key::kDiskPartitions)][p]["label"] = szNew;
        maker.Add(szToken + "." + szWhat, szWhose + " reads \"" + szNew + "\": " + szWhy, doc);
      };
      add("lower-case", Lower(szLabel),
          "an image made on another tool keeps the case it was typed in.");
      add("trailing-space", szLabel + " ",
          "a label typed with a trailing space in a partitioning script.");
      add("suffix", szLabel + "_1",
          "a cloning tool numbers the copy's labels so that no two are the same.");
      if (pRename != nullptr && pRename->m_NewLabel != nullptr) {
        std::string szNameToken = pRename->m_NewLabel;
        std::replace(szNameToken.begin(), szNameToken.end(), ' ', '-');
        add("renamed-" + szNameToken, pRename->m_NewLabel,
            std::string(pRename->m_Why) + ".");
      }
    }
  }
}

// An old system disk: a service depot adds the customer's old disk, or a
// desktop keeps its previous one. Its special partitions carry the labels
// this machine's do, as a disk of the same line would.
void MakeAnotherDisk(Maker& maker) {
  const sim::SimMachine& machine = maker.m_Machine;
  const std::vector<std::string> free = maker.FreeLetters();
  constexpr std::int64_t kMiB = 1 << 20;
  ordered_json esp = {{"label", maker.LabelOfRole("EFI system", "SYSTEM")},
                      {K(Key::kPartitionType), "GPT: System"},
                      {"start", kMiB},
                      {"size", 100 * kMiB}};
  esp[K(Key::kPartitionFiles)] =
      ordered_json::array({"EFI/Boot/bootx64.efi", "EFI/Microsoft/Boot/bootmgfw.efi",
                           "EFI/Microsoft/Boot/bootmgr.efi"});
  esp[K(Key::kPartitionFiles)].push_back(
      {{K(Key::kFilePath), "EFI/Microsoft/Boot/BCD"}, {K(Key::kFileHidden), true}});
  const ordered_json msr = {{"label", ""}, {K(Key::kPartitionType), "GPT: Unknown"},
                            {K(Key::kPartitionWmi), false},
                            {"start", 101 * kMiB}, {"size", 16 * kMiB}};
  ordered_json windows = {{"label", "Windows"}, {K(Key::kPartitionType), "GPT: Basic Data"},
                          {"start", 117 * kMiB}, {"size", 240000 * kMiB}};
  windows[K(Key::kPartitionFiles)] = ordered_json::array({"Windows/System32/"});
  ordered_json recovery = {{"label", maker.LabelOfRole("recovery", "Windows RE tools")},
                           {K(Key::kPartitionType), "GPT: Unknown"},
                           {"start", 240117 * kMiB},
                           {"size", 1024 * kMiB}};
  recovery[K(Key::kPartitionFiles)] = ordered_json::array({"Recovery/WindowsRE/Winre.wim"});
  ordered_json disk = {{"caption", "Old SATA SSD 256GB"}, {"size", 256060514304}};
  disk[K(Key::kDiskPartitions)] = ordered_json::array({esp, msr, windows, recovery});
  // Windows letters the old disk's Windows volume, as it does any basic
  // data volume that comes up.
  if (!free.empty()) disk[K(Key::kDiskPartitions)][2]["letter"] = free.front();
  int nMaxIndex = -1;
  for (const sim::SimDisk& d : machine.m_Disks) nMaxIndex = std::max(nMaxIndex, d.m_Index);
  const std::string szLetterWords =
      free.empty() ? "" : ", its Windows volume lettered " + free.front();
  {
    ordered_json doc = maker.m_Doc;
    if (!doc.contains(K(Key::kDisks))) doc[K(Key::kDisks)] = ordered_json::array();
    ordered_json after = disk;
    after[K(Key::kDiskIndex)] = nMaxIndex + 1;
    doc[K(Key::kDisks)].push_back(after);
    maker.Add("old-system-disk-after",
              "An old system disk (ESP, Windows, recovery) as disk " + std::to_string(nMaxIndex + 1) +
                  ", after this machine's" + szLetterWords +
                  "; a service depot adds the customer's old disk to copy its data.",
              doc);
  }
  {
    ordered_json doc = maker.m_Doc;
    if (!doc.contains(K(Key::kDisks))) doc[K(Key::kDisks)] = ordered_json::array();
    for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
      doc[K(Key::kDisks)][d][K(Key::kDiskIndex)] = machine.m_Disks[d].m_Index + 1;
    }
    ordered_json before = disk;
    before[K(Key::kDiskIndex)] = 0;
    doc[K(Key::kDisks)].insert(doc[K(Key::kDisks)].begin(), before);
    maker.Add("old-system-disk-before",
              "An old system disk (ESP, Windows, recovery) as disk 0, before this machine's" +
                  szLetterWords +
                  "; the old disk sits on the first SATA port, so Windows numbers it first.",
              doc);
  }
}

void MakeSecondRun(Maker& maker) {
  maker.m_Out.push_back({maker.m_Family, std::string(maker.m_Family) + ".same-session",
                         "malvik runs a second time on the machine as the first run left it "
                         "(its letters, \\EFI\\OEM, the log and the batch file): the factory "
                         "line's step is retried, or the technician starts it again.",
                         "", true});
}

void MakeBootFiles(Maker& maker) {
  const sim::SimMachine& machine = maker.m_Machine;
  const std::string szBoot = PathKey(ToUtf8(kEfiSourceFolder)) + "\\BOOT\\";
  struct Place {
    size_t m_Disk, m_Partition;
  };
  std::vector<Place> places;
  for (size_t d = 0; d < machine.m_Disks.size(); ++d) {
    for (size_t p = 0; p < machine.m_Disks[d].m_Partitions.size(); ++p) {
      for (const auto& [szKey, file] : machine.m_Disks[d].m_Partitions[p].m_Files.m_Entries) {
        if (!file.m_Folder && PathKey(ToUtf8(szKey)).rfind(szBoot, 0) == 0) {
          places.push_back({d, p});
          break;
        }
      }
    }
  }
  for (const Place& place : places) {
    // A file the description does not list (the program, which the loader
    // adds) has no entry to take away.
    const ordered_json& part =
        maker.m_Doc[K(Key::kDisks)][place.m_Disk][K(Key::kDiskPartitions)][place.m_Partition];
    if (!part.contains(K(Key::kPartitionFiles))) continue;
    const ordered_json& files = part[K(Key::kPartitionFiles)];
    for (size_t i = 0; i < files.size(); ++i) {
      const std::string szPath = EntryPath(files[i]);
      const std::string szKey = PathKey(szPath);
      const bool bFolder = !szPath.empty() && (szPath.back() == '/' || szPath.back() == '\\');
      if (bFolder || szKey.rfind(szBoot, 0) != 0) continue;
      std::string szBelow = szPath;
      std::replace(szBelow.begin(), szBelow.end(), '\\', '/');
      while (!szBelow.empty() && szBelow.front() == '/') szBelow.erase(0, 1);
      szBelow = szBelow.substr(szBoot.size());
      ordered_json doc = maker.m_Doc;
      ordered_json& varied =
          doc[K(Key::kDisks)][place.m_Disk][K(Key::kDiskPartitions)][place.m_Partition]
             [K(Key::kPartitionFiles)];
      varied.erase(varied.begin() + static_cast<std::ptrdiff_t>(i));
      maker.Add(std::string("missing-") + szBelow +
                    (places.size() > 1 ? "-" + maker.PlaceTag(place.m_Disk, place.m_Partition)
                                       : ""),
                "\\EFI\\Microsoft\\Boot\\" + Backslashed(szBelow) +
                    " is missing: an image captured from a machine that lacked it, or a "
                    "clean-up tool that removed it.",
                doc);
    }
  }
}

void MakeFirmware(Maker& maker) {
  for (const auto& [nError, szWords] : kFirmwareErrors) {
    ordered_json doc = maker.m_Doc;
    doc[K(Key::kFirmware)] = {{K(Key::kFirmwareError), nError}};
    maker.Add("error-" + std::to_string(nError),
              "The firmware probe fails with error " + std::to_string(nError) + ", " +
                  szWords + ".",
              doc);
  }
}

void MakeProgramFolder(Maker& maker) {
  const std::string szFolder = maker.ProgramFolder();
  const std::string szLeaf = szFolder.empty() ? "Tools" : szFolder.substr(szFolder.find_last_of('\\') + 1);
  for (const std::string& szStick : {std::string("E:"), ToUtf8(kDefaultPBRLetter)}) {
    if (maker.LetterTaken(szStick)) continue;
    const ordered_json drive = StickDrive(kStickLabel, nullptr);
    maker.Add("on-stick-" + szStick.substr(0, 1),
              "The program folder is on a USB stick lettered " + szStick + " (\\" + szLeaf +
                  "): the technician runs the kit from the stick instead of copying it.",
              maker.MoveProgram(szStick, szLeaf, &drive));
  }
  const std::string szLetter = maker.ProgramLetter();
  maker.Add("path-with-space",
            "The program folder is " + szLetter + "\\" + kFolderWithSpace +
                ", a path with a space: the kit is unpacked where someone chose.",
            maker.MoveProgram(szLetter, kFolderWithSpace, nullptr));
  maker.Add("path-outside-ascii",
            "The program folder is " + szLetter + "\\" + kFolderOutsideAscii +
                ", a path outside ASCII, with the console in code page " +
                std::to_string(maker.m_Machine.m_ConsoleOutputCodePage) +
                ": the kit is copied to the desktop of a user whose name has an accent.",
            maker.MoveProgram(szLetter, kFolderOutsideAscii, nullptr));
}

struct FamilyRow {
  VariationFamily m_Family;
  void (*m_Make)(Maker& maker);
};

constexpr FamilyRow kFamilyRows[] = {
    {{"removable", "Removable media"}, MakeRemovable},
    {{"network", "A mapped network share"}, MakeNetwork},
    {{"wmi", "WMI"}, MakeWmi},
    {{"scripts", "The scripts"}, MakeScripts},
    {{"labels", "Labels"}, MakeLabels},
    {{"another-disk", "Another disk"}, MakeAnotherDisk},
    {{"second-run", "A second run"}, MakeSecondRun},
    {{"boot-files", "Boot files"}, MakeBootFiles},
    {{"firmware", "The firmware probe"}, MakeFirmware},
    {{"program-folder", "The program folder"}, MakeProgramFolder},
};

constexpr auto MakeFamilies() {
  std::array<VariationFamily, std::size(kFamilyRows)> families{};
  for (size_t i = 0; i < families.size(); ++i) families[i] = kFamilyRows[i].m_Family;
  return families;
}
constexpr auto kFamilies = MakeFamilies();

}  // namespace

std::span<const VariationFamily> VariationFamilies() { return kFamilies; }

const VariationFamily* FindVariationFamily(const std::string& szName) {
  for (const VariationFamily& family : kFamilies) {
    if (szName == family.m_Name) return &family;
  }
  return nullptr;
}

std::vector<Variation> MakeVariations(const std::string& szDocument,
                                      const sim::SimMachine& machine, const std::string& szOnly) {
  const ordered_json doc = ordered_json::parse(szDocument);
  std::vector<Variation> variations;
  for (const FamilyRow& row : kFamilyRows) {
    if (!szOnly.empty() && szOnly != row.m_Family.m_Name) continue;
    Maker maker{doc, machine, variations, row.m_Family.m_Name};
    row.m_Make(maker);
  }
  return variations;
}
