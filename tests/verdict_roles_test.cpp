// The verdict judges each partition the hand-over needs by what it is (its
// type and content), not by the label malvik finds it by: machines that
// factories and service depots really produce, each with the reason a person
// acts on.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tools/sim_command.h"

namespace {

const std::string kBootFiles = R"("EFI/Microsoft/Boot/bootmgfw.efi",
  "EFI/Microsoft/Boot/bootmgr.efi", "EFI/Microsoft/Boot/memtest.efi",
  {"path": "EFI/Microsoft/Boot/BCD", "hidden": true},
  "EFI/Microsoft/Boot/fonts/", "EFI/Microsoft/Boot/resources/")";
const std::string kScripts = R"("Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd")";

std::string Part(const std::string& szLabel, const std::string& szFiles,
                 const std::string& szMore = "") {
  return R"({"label": ")" + szLabel + R"(", "files": [)" + szFiles + "]" + szMore + "}";
}
std::string Esp(const std::string& szLabel = "ESP", const std::string& szMore = "") {
  return Part(szLabel, kBootFiles, R"(, "type": "GPT: System")" + szMore);
}
std::string Windows(const std::string& szLetter = "C:") {
  return Part("Windows", kScripts + R"(, "Windows/System32/")",
              R"(, "letter": ")" + szLetter + R"(")");
}
std::string Recovery(const std::string& szLabel = "RECOVERY", const std::string& szMore = "") {
  return Part(szLabel, R"("Recovery/WindowsRE/Winre.wim")", szMore);
}
std::string Reset(const std::string& szLabel = "PUSH BUTTON RESET",
                  const std::string& szMore = "") {
  return Part(szLabel, R"("Zeph2/")", szMore);
}
std::string Disk(const std::vector<std::string>& parts, const std::string& szMore = "") {
  std::string sz = R"({"partitions": [)";
  for (size_t i = 0; i < parts.size(); ++i) sz += (i ? ", " : "") + parts[i];
  return sz + "]" + szMore + "}";
}
// A machine whose scripts rebuild the boot store, as they do on a usual one.
const char kRebuildingScripts[] = R"("scripts": {
    "modifybcdtoPBR.cmd": {"creates": [{"path": "EFI/OEM/Boot/BCD", "hidden": true}]},
    "modifybcdtoWinRE.cmd": {"creates": [{"path": "EFI/OEM/Boot/BCD", "hidden": true}]}})";
std::string Machine(const std::vector<std::string>& disks, const std::string& szTop = "",
                    const std::string& szFirmware = "uefi",
                    const std::string& szScripts = kRebuildingScripts) {
  std::string sz = R"({"firmware": ")" + szFirmware + R"(", )" + szTop + R"( "disks": [)";
  for (size_t i = 0; i < disks.size(); ++i) sz += (i ? ", " : "") + disks[i];
  return sz + "], " + szScripts + "}";
}
std::string Laptop(const std::vector<std::string>& extra = {}) {
  std::vector<std::string> parts = {Esp(), Windows(), Recovery(), Reset()};
  parts.insert(parts.end(), extra.begin(), extra.end());
  return Machine({Disk(parts)});
}

nlohmann::json Judge(const std::string& szMachine, std::vector<const char*> program) {
  const std::string szFile = testing::TempDir() + "roles.json";
  std::ofstream(szFile) << szMachine;
  std::vector<const char*> args = {"malvik-sim", "--json", "--machine", szFile.c_str()};
  if (!program.empty()) args.push_back("--");
  args.insert(args.end(), program.begin(), program.end());
  std::ostringstream out, err;
  const int nStatus = RunSimulator(static_cast<int>(args.size()), args.data(), out, err, false);
  EXPECT_EQ(nStatus, 0) << err.str();
  if (nStatus != 0) return nlohmann::json::object({{"passed", nullptr}});
  return nlohmann::json::parse(out.str())["verdict"];
}

TEST(Verdict, JudgesEachRoleByWhatThePartitionIs) {
  struct Case {
    const char* szName;
    std::string szMachine;
    std::vector<const char*> args;
    bool bPassed;
    // Pieces the first reason holds, in this order (or, for a pass, the
    // first warning); empty: there is none.
    std::vector<const char*> first;
    bool bUnchecked = false;  // something could not be checked
  };
  std::vector<std::string> twentyOne;
  for (int i = 0; i < 20; ++i) twentyOne.push_back(Disk({Part("DATA", "")}));
  twentyOne.front() = Disk({Esp(), Windows(), Part("PQSERVICE", "")});
  twentyOne.push_back(Disk({Recovery()}));
  std::string kOwnStore = kBootFiles;
  kOwnStore.replace(kOwnStore.find(R"({"path": "EFI/Microsoft/Boot/BCD", "hidden": true})"), 50,
                    R"("EFI/Microsoft/Boot/BCD")");
  const std::string kNoReset = Machine({Disk({Esp(), Windows(), Recovery()})});
  const Case kCases[] = {
      {"the usual laptop", Laptop(), {}, true, {}},
      {"no reset partition: the recovery script", kNoReset, {}, true, {}},
      {"an old system disk's ESP on a second disk, labelled ESP too",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset()}),
                Disk({Esp(), Part("OLD-OS", R"("Windows/System32/")", R"(, "letter": "D:")")})}),
       {}, false,
       {"R:, the ESP letter, names partition 1 of disk 1 (\"ESP\"), which has the type GPT: "
        "System too but is set aside by the tie rule, not the EFI system partition, partition 1 "
        "of disk 0", "its label fits malvik's rule for it (a label beginning with ESP), and so "
        "does the label of partition 1 of disk 1 (\"ESP\"), probed after it, which took R:"}},
      {"three letters naming the right partitions, the ESP labelled System",
       Machine({Disk({Esp("System", R"(, "letter": "S:")"), Windows(),
                      Recovery("RECOVERY", R"(, "letter": "W:")"),
                      Reset("PUSH BUTTON RESET", R"(, "letter": "M:")")})}),
       {"W:", "S:", "M:"}, true, {}},
      {"three letters, no recovery folder: the recovery script",
       Machine({Disk({Esp("ESP", R"(, "letter": "S:")"), Windows(),
                      Recovery("WINRE", R"(, "letter": "T:")")})}),
       {"T:", "S:", "M:"}, true, {}},
      {"\\Zeph2 on the partition labelled RECOVERY",
       Machine({Disk({Esp(), Windows(),
                      Part("RECOVERY", R"("Recovery/WindowsRE/Winre.wim", "Zeph2/")")})}),
       {}, false,
       {"partition 3 of disk 0 (\"RECOVERY\") holds Zeph2, a recovery folder, but the batch file "
        "hands over to modifybcdtoWinRE.cmd: M:, the PBR letter, names nothing",
        "its label \"RECOVERY\" makes it the recovery partition to malvik, which gives it W:"}},
      {"ESP_BACKUP, a Basic Data copy, probed after the real one",
       Laptop({Part("ESP_BACKUP", kBootFiles)}), {}, false,
       {"R:, the ESP letter, names partition 5 of disk 0 (\"ESP_BACKUP\"), which is a GPT: Basic "
        "Data partition", "and so does the label of partition 5 of disk 0 (\"ESP_BACKUP\"), probed "
        "after it, which took R:"}},
      {"ESP_BACKUP probed before the real one",
       Machine({Disk({Part("ESP_BACKUP", kBootFiles), Esp(), Windows(), Recovery(), Reset()})}),
       {}, true, {}},
      {"a data partition labelled ESP on a second disk",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset()}), Disk({Part("ESP DATA", "")})}),
       {}, false, {"names partition 1 of disk 1 (\"ESP DATA\"), which is a GPT: Basic Data"}},
      {"the EFI system partition renamed SYSTEM",
       Laptop({}).replace(Laptop({}).find("\"ESP\""), 5, "\"SYSTEM\""), {}, false,
       {"R:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0 "
        "(\"SYSTEM\")", "its label \"SYSTEM\" does not fit malvik's rule for it, a label "
        "beginning with ESP"}},
      {"two recovery environments on the Windows disk",
       Machine({Disk({Esp(), Windows(), Recovery(), Recovery("RECOVERY2")})}), {}, false,
       {"2 partitions are the recovery-environment partition by what they are: partition 3 of "
        "disk 0 (\"RECOVERY\") and partition 4 of disk 0 (\"RECOVERY2\")", "remove or retype"}},
      {"Windows keeps a copy of the image on its own partition",
       Machine({Disk({Esp(), Part("Windows", kScripts + R"(, "Windows/System32/",
                                  "Recovery/WindowsRE/Winre.wim")", R"(, "letter": "C:")"),
                      Recovery()})}),
       {}, true,
       {"partition 2 of disk 0 (\"Windows\") fits as the recovery-environment partition too"}},
      {"an empty RECOVERY probed after the one with the image",
       Machine({Disk({Esp(), Windows(), Recovery(), Part("RECOVERY OLD", "")})}), {}, false,
       {"W:, the recovery letter, names partition 4 of disk 0 (\"RECOVERY OLD\"), which does not "
        "hold Recovery\\WindowsRE\\Winre.wim, not the recovery-environment partition, partition "
        "3 of disk 0"}},
      {"the recovery partition renamed WinRE Tools",
       Machine({Disk({Esp(), Windows(), Recovery("WinRE Tools")})}), {}, false,
       {"W:, the recovery letter, names nothing", "does not fit malvik's rule for it, a label "
        "beginning with RECOVERY"}},
      {"a RECOVERY partition without the image, and no other",
       Machine({Disk({Esp(), Windows(), Part("RECOVERY", "")})}), {}, false,
       {"which does not hold Recovery\\WindowsRE\\Winre.wim; no partition of a listed disk holds "
        "Recovery\\WindowsRE\\Winre.wim"}},
      {"the reset partition renamed PBR_RESET",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset("PBR_RESET")})}), {}, false,
       {"partition 4 of disk 0 (\"PBR_RESET\") holds Zeph2", "does not fit malvik's rule for it, "
        "the label PQSERVICE or a label beginning with PUSH BUTTON"}},
      {"the service partition holds the recovery folder",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset("PQSERVICE")})}), {}, true, {}},
      {"a PUSH BUTTON partition without a recovery folder: the recovery script",
       Machine({Disk({Esp(), Windows(), Recovery(), Part("PUSH BUTTON RESET", "")})}), {}, true,
       {}},
      {"two partitions hold recovery folders",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset(), Reset("PQSERVICE")})}), {}, false,
       {"2 partitions are the reset or service partition"}},
      {"letters given: the ESP letter names a Basic Data copy",
       Machine({Disk({Esp(), Part("ESPCOPY", kBootFiles, R"(, "letter": "S:")"), Windows(),
                      Recovery("RECOVERY", R"(, "letter": "W:")")})}),
       {"W:", "S:", "M:"}, false,
       {"S:, the ESP letter, names partition 2 of disk 0 (\"ESPCOPY\"), which is a GPT: Basic "
        "Data partition", "letters given on the command line must name partitions that already "
        "carry them, and it has no letter"}},
      {"letters given: the recovery letter is a network share",
       Machine({Disk({Esp("ESP", R"(, "letter": "S:")"), Windows(), Recovery()})},
               R"("drives": {"W:": {"label": "SHARE"}},)"),
       {"W:", "S:", "M:"}, false,
       {"W:, the recovery letter, names \"SHARE\", a drive that is not a partition of a listed "
        "disk"}},
      {"letters given that name nothing", kNoReset, {"X:", "Y:", "Z:"}, false,
       {"Y:, the ESP letter, names nothing, not the EFI system partition"}},
      {"the only recovery environment is on a USB disk",
       Machine({Disk({Esp(), Windows()}),
                Disk({Recovery()}, R"(, "media_type": "Removable Media")")}),
       {}, false,
       {"W:, the recovery letter, names nothing", "malvik never probed it: its disk is not fixed "
        "media (\"Removable Media\")"}},
      {"the recovery partition past the reported count + 1",
       Machine({Disk({Esp(), Windows(), Part("DATA", ""), Recovery()},
                     R"(, "partitions_reported": 2)")}),
       {}, false,
       {"malvik never probed it: its number lies past its disk's reported partition count (2) + "
        "1"}},
      {"the recovery partition on the twenty-first disk", Machine(twentyOne), {}, false,
       {"malvik never probed it: its disk lies beyond the 20 disks malvik's table holds"}},
      {"WMI's list of disks ends before the recovery disk",
       Machine({Disk({Esp(), Windows()}), Disk({Recovery()})},
               R"("faults": {"wmi": [{"attempt": "all", "call": "Next:2"}]},)"),
       {}, false, {"malvik never probed it: WMI's list of disks ended before its disk"}},
      {"an unreadable RECOVERY partition",
       Machine({Disk({Esp(), Windows(), Part("RECOVERY", "", R"(, "unreadable": true)")})}), {},
       false, {"W:, the recovery letter, names nothing; no partition of a listed disk holds"}},
      {"the program runs from a stick at M:",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset()})},
               R"("program": "M:\\Tools\\malvik.exe",
                  "drives": {"M:": {"label": "STICK", "files": [)" + kScripts + "]}},"),
       {}, false,
       {"the program's own drive M: was taken by a letter rule and now names partition 4 of disk "
        "0 (\"PUSH BUTTON RESET\"): this run's log after that is M:\\Tools\\Log\\Malvik.log on "
        "that volume"}},
      {"Windows' own store is not hidden and no script rebuilds one",
       Machine({Disk({Part("ESP", kOwnStore, R"(, "type": "GPT: System")"), Windows(),
                      Recovery(), Reset()})},
               "", "uefi", R"("scripts": {})"),
       {}, false,
       {"R:\\EFI\\OEM\\boot\\BCD is Windows' own store, copied from \\EFI\\Microsoft\\Boot: it is "
        "not hidden, so the batch file's Del /A:H left it, and modifybcdtoPBR.cmd did not "
        "rebuild it"}},
      {"the capture could not read the recovery partition's image",
       Machine({Disk({Esp(), Windows(),
                      Part("RECOVERY", "", R"(, "unknown": ["Recovery/WindowsRE/"])")})}),
       {}, true, {}, true},
      {"a legacy machine whose boot files lie on an MBR partition labelled ESP",
       Machine({Disk({Part("ESP", kBootFiles, R"(, "type": "Installable File System")"),
                      Windows(), Recovery(), Reset()})},
               "", "legacy"),
       {}, true, {}},
      {"a legacy machine whose boot files lie on a partition labelled Boot",
       Machine({Disk({Part("Boot", kBootFiles), Windows(), Recovery(), Reset()})}, "", "legacy"),
       {}, false,
       {"R:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0 "
        "(\"Boot\"), which holds EFI\\Microsoft\\Boot"}},
      {"a legacy machine with an empty partition labelled ESP2 after the real one",
       Machine({Disk({Part("ESP", kBootFiles), Windows(), Recovery(), Part("ESP2", "")})}, "",
               "legacy"),
       {}, false,
       {"R:, the ESP letter, names partition 4 of disk 0 (\"ESP2\"), which does not hold "
        "EFI\\Microsoft\\Boot", "and so does the label of partition 4 of disk 0 (\"ESP2\"), "
        "probed after it, which took R:"}},
      {"two EFI system partitions with boot files on the Windows disk",
       Machine({Disk({Esp(), Esp("ESP2"), Windows(), Recovery(), Reset()})}), {}, false,
       {"2 partitions are the EFI system partition by what they are"}},
      {"two EFI system partitions, no Windows installation described",
       Machine({Disk({Esp(), Part("Tools", kScripts, R"(, "letter": "C:")"), Recovery(),
                      Reset()}),
                Disk({Esp("OLDBOOT")})}),
       {}, false,
       {"2 partitions are the EFI system partition", "the description does not tell which disk "
        "holds the Windows installation"}},
      {"an old ESP on a second disk that no rule takes: set aside",
       Machine({Disk({Esp(), Windows(), Recovery(), Reset()}), Disk({Esp("OLDBOOT")})}), {},
       true,
       {"partition 1 of disk 1 (\"OLDBOOT\") fits as the EFI system partition too (it has the "
        "type GPT: System); the tie rule takes partition 1 of disk 0 (\"ESP\")"}},
      {"an ESP of the system type without boot files beside the real one",
       Laptop({Part("DIAG", "", R"(, "type": "GPT: System")")}), {}, true,
       {"partition 5 of disk 0 (\"DIAG\") fits as the EFI system partition too"}},
      {"the ESP's fixed letter cannot be defined",
       Laptop().replace(0, 1, R"({"faults": {"define_fails": ["R:"]},)"), {}, false,
       {"a dialog waits for a click: [malvik] Mount Failed"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    const nlohmann::json verdict = Judge(c.szMachine, c.args);
    if (verdict["passed"].is_null()) continue;
    EXPECT_EQ(verdict["passed"], c.bPassed) << verdict.dump(1);
    const nlohmann::json& said = c.bPassed ? verdict["warnings"] : verdict["reasons"];
    if (c.first.empty()) {
      EXPECT_TRUE(said.empty()) << said.dump(1);
    } else if (said.empty()) {
      ADD_FAILURE() << "nothing said";
    } else {
      const std::string szFirst = said[0];
      size_t nAt = 0;
      for (const char* szPiece : c.first) {
        nAt = szFirst.find(szPiece, nAt);
        EXPECT_NE(nAt, std::string::npos) << szPiece << "\nin: " << szFirst;
        if (nAt == std::string::npos) break;
      }
    }
    EXPECT_EQ(!verdict["unchecked"].empty(), c.bUnchecked) << verdict["unchecked"].dump(1);
  }
}

}  // namespace

namespace {

// A pass with a warning does not read like a clean pass across a fleet.
TEST(FleetCheck, LineShowsWarnings) {
  const std::string szFile = testing::TempDir() + "warned.json";
  std::ofstream(szFile) << Machine(
      {Disk({Esp(), Windows(), Recovery(), Reset()}), Disk({Esp("OLDBOOT")})});
  std::vector<const char*> args = {"malvik-sim", "check", szFile.c_str()};
  std::ostringstream out, err;
  EXPECT_EQ(RunSimulator(static_cast<int>(args.size()), args.data(), out, err, false), 0);
  EXPECT_EQ(out.str().rfind("passed  " + szFile + " | ", 0), 0u) << out.str();
  EXPECT_NE(out.str().find(" | 1 warning: partition 1 of disk 1 (\"OLDBOOT\") fits as the EFI "
                           "system partition too"),
            std::string::npos)
      << out.str();
}

}  // namespace
