// The verdict, the report's layout and the fleet check, through the command
// as a deployment engineer runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "tools/sim_command.h"

namespace {

namespace fs = std::filesystem;

struct SimRun {
  int m_Status;
  std::string m_Out;
  std::string m_Err;
};

SimRun Simulate(std::vector<const char*> args, bool bColour = false) {
  args.insert(args.begin(), "malvik-sim");
  std::ostringstream out, err;
  const int nStatus = RunSimulator(static_cast<int>(args.size()), args.data(), out, err, bColour);
  return {nStatus, out.str(), err.str()};
}

std::string WriteMachine(const std::string& szName, const std::string& szJson) {
  const std::string szFile = testing::TempDir() + szName;
  std::ofstream(szFile) << szJson;
  return szFile;
}

// A UEFI laptop as the built-in one, with one change spliced in.
const char kLaptop[] = R"({"firmware": "uefi", %s "disks": [{"partitions": [
  {"label": "ESP", "type": "GPT: System", "files": ["EFI/Microsoft/Boot/bootmgfw.efi",
    "EFI/Microsoft/Boot/bootmgr.efi", "EFI/Microsoft/Boot/memtest.efi",
    "EFI/Microsoft/Boot/fonts/", "EFI/Microsoft/Boot/resources/"]},
  {"label": "Windows", "letter": "C:",
   "files": ["Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd"]},
  {"label": "RECOVERY", "files": ["Recovery/WindowsRE/Winre.wim"]},
  {"label": "PUSH BUTTON RESET", "files": [%s]}]}],
  "scripts": {"modifybcdtoPBR.cmd": {"creates": ["EFI/OEM/Boot/BCD"]},
              "modifybcdtoWinRE.cmd": {"creates": ["EFI/OEM/Boot/BCD"]}}})";

std::string Laptop(const std::string& szTop, const std::string& szResetFiles) {
  std::string sz = kLaptop;
  sz.replace(sz.find("%s"), 2, szTop);
  sz.replace(sz.find("%s"), 2, szResetFiles);
  return sz;
}

// szMachine with the first szFrom replaced by szTo.
std::string Changed(std::string szMachine, const std::string& szFrom, const std::string& szTo) {
  szMachine.replace(szMachine.find(szFrom), szFrom.size(), szTo);
  return szMachine;
}

std::string Example(const std::string& szName) {
  std::ifstream in(fs::path(MALVIK_SOURCE_DIR) / "examples" / szName);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Verdict, SaysWhatTheRunDidAndWhatNeedsAPerson) {
  struct Case {
    const char* szName;
    std::string szMachine;
    std::vector<const char*> args;  // the program's own
    bool bPassed;
    const char* szHandOver;
    const char* szHandOverLetters;  // joined by spaces
    const char* szReason;           // the start of the first reason, or "" for none
    const char* szWarning = "";     // the start of the first warning, or "" for none
  };
  const std::string kEsp = R"("label": "ESP", "type": "GPT: System")";
  const std::string kOldOem = R"("EFI/Microsoft/Boot/resources/", "EFI/OEM/Boot/BCD",
    "EFI/OEM/Boot/bootmgfw.efi", "EFI/OEM/Boot/bootmgr.efi", "EFI/OEM/Boot/memtest.efi",
    "EFI/OEM/Boot/fonts/", "EFI/OEM/Boot/resources/")";
  // The ESP holds an old \EFI\OEM and no \EFI\Microsoft.
  std::string szOemOnly = Laptop("", "");
  for (size_t at; (at = szOemOnly.find("EFI/Microsoft/")) != std::string::npos;) {
    szOemOnly.replace(at, 14, "EFI/OEM/");
  }
  const Case kCases[] = {
      {"reset folder: reset script", Laptop("", R"("Zeph2/")"), {}, true, "5a", "R: M:", ""},
      {"no reset folder: recovery script", Laptop("", ""), {}, true, "5b", "R: W:", ""},
            // Nothing names the given letters, so no reset folder is found on Z:.
      {"letters given", Laptop("", R"("Zeph2/")"), {"X:", "Y:", "Z:"}, false, "5b", "Y: X:",
       "Y:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0 "
       "(\"ESP\"), which has the type GPT: System; letters given on the command line must name "
       "partitions that already carry them, and it has no letter"},
      {"inventory fails twice, then works",
       Laptop(R"("faults": {"wmi": [{"attempt": 0, "call": "ConnectServer"},
                                    {"attempt": 1, "call": "ConnectServer"}]},)", R"("Zeph2/")"),
       {}, true, "5a", "R: M:", ""},
      {"inventory always fails",
       Laptop(R"("faults": {"wmi": [{"attempt": "all", "call": "ConnectServer"}]},)", ""), {},
       false, "5b", "R: W:", "the disk inventory failed ([19]Error Getting System Disk Info"},
      {"batch file cannot be written, an old \\EFI\\OEM makes the presence lines true",
       Changed(Laptop(R"("faults": {"batch_create": "fail"},)", ""),
               R"("EFI/Microsoft/Boot/resources/")", kOldOem),
       {}, false, "none", "",
       "the batch file C:\\Tools\\CopyEFI_byOEM.cmd could not be written; the \\EFI\\OEM "
       "the presence lines find is an earlier run's"},
      {"ESP letter of the Windows volume", Laptop("", R"("Zeph2/")"), {"W:", "C:", "M:"}, false,
       "none", "",
       "the batch file was not run: the ESP letter C: names the volume of the running Windows, "
       "which is never the EFI system partition"},
      {"no \\EFI\\Microsoft: the old \\EFI\\OEM is kept", szOemOnly, {}, true, "5b", "R: W:", "",
       "R: has no \\EFI\\Microsoft: the old \\EFI\\OEM was kept, not replaced, and the batch file "
       "copied nothing"},
      {"batch file cannot start", Laptop(R"("faults": {"process_start": 5},)", ""), {}, false,
       "5b", "R: W:", "the batch file could not be started (err=5)"},
      {"hand-over script fails",
       Changed(Laptop("", R"("Zeph2/")"), R"("modifybcdtoPBR.cmd": {)",
               R"("modifybcdtoPBR.cmd": {"exit_code": 1, "output": "The boot configuration )"
               R"(data store could not be opened.\r\n",)"),
       {}, false, "5a", "R: M:",
       "the hand-over script modifybcdtoPBR.cmd exited with 1 (its output: \"The boot "
       "configuration data store could not be opened.\")"},
      {"reset partition label not recognised",
       Changed(Laptop("", R"("Zeph2/")"), "PUSH BUTTON RESET", "PBR_RESET"), {}, false, "5b",
       "R: W:",
       "partition 4 of disk 0 (\"PBR_RESET\") holds Zeph2, a recovery folder, but the batch file "
       "hands over to modifybcdtoWinRE.cmd: M:, the PBR letter, names nothing; its label "
       "\"PBR_RESET\" does not fit malvik's rule for it, the label PQSERVICE or a label beginning "
       "with PUSH BUTTON"},
      {"EFI system partition labelled SYSTEM",
       Changed(Laptop("", R"("Zeph2/")"), kEsp, R"("label": "SYSTEM", "type": "GPT: System")"),
       {}, false, "5a", "R: M:",
       "R:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0 "
       "(\"SYSTEM\"), which has the type GPT: System; its label \"SYSTEM\" does not fit malvik's "
       "rule for it, a label beginning with ESP"},
      {"EFI system partition without a label",
       Changed(Laptop("", ""), kEsp, R"("label": null, "type": "GPT: System")"), {}, false,
       "5b", "R: W:",
       "R:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0, "
       "which has the type GPT: System; it has no label, and malvik finds it only by a label "
       "beginning with ESP"},
      {"legacy machine without EFI system and recovery labels",
       Changed(Changed(Changed(Laptop("", ""), "uefi", "legacy"), kEsp, R"("label": "Boot")"),
               R"("label": "RECOVERY")", R"("label": "Tools")"),
       {}, false, "5b", "R: W:",
       "R:, the ESP letter, names nothing, not the EFI system partition, partition 1 of disk 0 "
       "(\"Boot\"), which holds EFI\\Microsoft\\Boot; its label \"Boot\" does not fit malvik's "
       "rule for it, a label beginning with ESP"},
      {"a second partition of the EFI system type, not used",
       Changed(Laptop("", R"("Zeph2/")"), R"({"label": "PUSH BUTTON RESET")",
               R"({"label": "DIAG", "type": "GPT: System"}, {"label": "PUSH BUTTON RESET")"),
       {}, true, "5a", "R: M:", "",
       "partition 4 of disk 0 (\"DIAG\") fits as the EFI system partition too (it has the type "
       "GPT: System); the tie rule takes partition 1 of disk 0 (\"ESP\")"},
      {"every letter taken", Example("every-letter-taken.json"), {}, false, "5b", "R: W:",
       "no letter from D: to Z: was free for the rules' probes, so R:, the ESP letter, names "
       "\"SHARER\", a drive that is not a partition of a listed disk, not the EFI system "
       "partition, partition 1 of disk 0 (\"ESP\"), which has the type GPT: System"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szName);
    std::vector<const char*> args = {"--json", "--machine"};
    const std::string szFile = WriteMachine("verdict.json", c.szMachine);
    args.push_back(szFile.c_str());
    if (!c.args.empty()) args.push_back("--");
    args.insert(args.end(), c.args.begin(), c.args.end());
    const SimRun run = Simulate(args);
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    const auto verdict = nlohmann::json::parse(run.m_Out)["verdict"];
    EXPECT_EQ(verdict["passed"], c.bPassed) << verdict.dump(1);
    EXPECT_EQ(verdict["hand_over"]["line"], c.szHandOver);
    std::string szLetters;
    for (const auto& letter : verdict["hand_over"]["letters"]) {
      if (!szLetters.empty()) szLetters += ' ';
      szLetters += letter.get<std::string>();
    }
    EXPECT_EQ(szLetters, c.szHandOverLetters);
    if (*c.szReason == '\0') {
      EXPECT_TRUE(verdict["reasons"].empty()) << verdict["reasons"].dump();
    } else {
      ASSERT_FALSE(verdict["reasons"].empty());
      EXPECT_EQ(verdict["reasons"][0].get<std::string>().rfind(c.szReason, 0), 0u)
          << verdict["reasons"][0];
    }
    if (*c.szWarning == '\0') {
      EXPECT_TRUE(verdict["warnings"].empty()) << verdict["warnings"].dump();
    } else {
      ASSERT_FALSE(verdict["warnings"].empty());
      EXPECT_EQ(verdict["warnings"][0], c.szWarning);
    }
  }
}

TEST(Report, FitsEightyColumnsAndColoursOnlyWhenAsked) {
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(MALVIK_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string szFile = entry.path().string();
    const SimRun plain = Simulate({"--machine", szFile.c_str()});
    EXPECT_EQ(plain.m_Out.find('\x1b'), std::string::npos);
    std::istringstream lines(plain.m_Out);
    for (std::string szLine; std::getline(lines, szLine);) {
      // The batch file's own lines are shown as they are.
      if (szLine.rfind("  | ", 0) == 0) continue;
      // Columns, not bytes: a UTF-8 sequence is one character, and one of
      // four bytes (the example's emoji) takes two columns.
      size_t nColumns = 0;
      for (const char c : szLine) {
        const auto cByte = static_cast<unsigned char>(c);
        nColumns += (cByte & 0xC0) == 0x80 ? 0 : cByte >= 0xF0 ? 2 : 1;
      }
      EXPECT_LE(nColumns, 80u) << szLine;
    }
    EXPECT_NE(Simulate({"--machine", szFile.c_str()}, true).m_Out.find("\x1b["),
              std::string::npos);
  }
}

// The batch file is shown as cmd reads it, in the code page malvik wrote
// it in, which the report names; so is a failed inventory's code.
TEST(Report, ReadsTheBatchFileInItsCodePageAndExplainsInventoryCodes) {
  const fs::path file = fs::path(testing::TempDir()) / "outils.json";
  std::ofstream(file) << Changed(
      Changed(Laptop(R"("program": "C:\\Outils \u00e9\\malvik.exe", "console_code_page": 850,)",
                     ""),
              "Tools/", "Outils \u00e9/"),
      "Tools/", "Outils \u00e9/");
  const std::string szText = Simulate({"--machine", file.string().c_str()}).m_Out;
  EXPECT_NE(szText.find("Batch file: (code page 850)\n  | "), std::string::npos) << szText;
  EXPECT_NE(szText.find("  | \"C:\\Outils \xC3\xA9\\modifybcdtoWinRE.cmd\" R: W: >> "),
            std::string::npos);
  EXPECT_EQ(szText.find('\x82'), std::string::npos);
  const auto json =
      nlohmann::json::parse(Simulate({"--json", "--machine", file.string().c_str()}).m_Out);
  EXPECT_NE(json["batch_file"].get<std::string>().find("C:\\Outils \xC3\xA9\\"),
            std::string::npos);
  EXPECT_EQ(json["batch_file_code_page"], 850);

  // Wine's WMI: no disk is a "Fixed hard disk media".
  std::ofstream(file) << Changed(Laptop("", ""), R"("disks": [{)",
                                 R"("disks": [{"media_type": "Fixed hard disk", )");
  // The report's wrapped lines joined again: each "\n    " becomes one space.
  // Built anew, since GCC 12 at -O2 misreads an in-place replace as an
  // overlapping copy.
  const std::string szWrapped = Simulate({"--machine", file.string().c_str()}).m_Out;
  std::string szFailed;
  for (size_t i = 0; i < szWrapped.size(); ++i) {
    if (szWrapped.compare(i, 5, "\n    ") == 0) {
      szFailed += ' ';
      i += 4;
    } else {
      szFailed += szWrapped[i];
    }
  }
  EXPECT_NE(szFailed.find("  - \"[0]Error Getting System Disk Info. Return Code:10\": attempt 0 "
                          "(from 0) of malvik's WMI disk inventory failed; code 10: the disk "
                          "query found no fixed hard disk:"),
            std::string::npos)
      << szFailed;
}

TEST(FleetCheck, UnreadableDescriptionFailsAloneAndIsNamed) {
  const fs::path dir = fs::path(testing::TempDir()) / "fleet";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "a-good.json") << Laptop("", R"("Zeph2/")");
  std::ofstream(dir / "b-bad.json") << R"({"disks": [{"partitions": [{"letter": "CC"}]}]})";
  std::ofstream(dir / "c-dialog.json") << Laptop(R"("faults": {"process_start": 5},)", "");
  std::ofstream(dir / "notes.txt") << "not a description";
  const SimRun run = Simulate({"check", dir.string().c_str()});
  EXPECT_EQ(run.m_Status, 1);
  std::istringstream lines(run.m_Out);
  std::vector<std::string> out;
  for (std::string sz; std::getline(lines, sz);) out.push_back(sz);
  ASSERT_EQ(out.size(), 4u) << run.m_Out;
  EXPECT_EQ(out[0].rfind("passed  " + (dir / "a-good.json").string() + " | ", 0), 0u) << out[0];
  EXPECT_EQ(out[1], "FAILED  " + (dir / "b-bad.json").string() +
                        ": disks[0].partitions[0].letter: expected a drive letter such as \"E:\"");
  // A failed machine's line names its file and the verdict's first reason.
  EXPECT_EQ(out[2].rfind("FAILED  " + (dir / "c-dialog.json").string() +
                             ": the batch file could not be started (err=5) | ",
                         0),
            0u)
      << out[2];
  EXPECT_NE(out[2].find("| dialogs 1 |"), std::string::npos) << out[2];
  EXPECT_EQ(out[3], "1 passed, 2 failed");

  // With --json, standard output holds one JSON object, the count in it.
  const SimRun json = Simulate({"check", "--json", (dir / "a-good.json").string().c_str()});
  EXPECT_EQ(json.m_Status, 0);
  EXPECT_EQ(json.m_Err, "");
  const auto all = nlohmann::json::parse(json.m_Out);
  EXPECT_EQ(all["machines"].size(), 1u);
  EXPECT_EQ(all["passed"], 1);
  EXPECT_EQ(all["failed"], 0);

  // A capture cannot see the boot store the scripts will rebuild: check
  // takes plan's assumption when asked, and a description that says what a
  // script creates keeps its word.
  const std::string szCaptured = Changed(
      Changed(Laptop("", ""), R"("creates": ["EFI/OEM/Boot/BCD"])", R"("exit_code": 0)"),
      R"("creates": ["EFI/OEM/Boot/BCD"])", R"("exit_code": 0)");
  std::ofstream(dir / "captured.json") << szCaptured;
  const char* const kOther = R"("creates": ["EFI/OEM/Boot/other"])";
  std::ofstream(dir / "creates-other.json")
      << Changed(Changed(szCaptured, R"("exit_code": 0)", kOther), R"("exit_code": 0)", kOther);
  for (const auto& [szFile, bAssume, nStatus] :
       {std::tuple{"captured.json", false, 1}, std::tuple{"captured.json", true, 0},
        std::tuple{"creates-other.json", true, 1}}) {
    const std::string szPath = (dir / szFile).string();
    std::vector<const char*> args = {"check", szPath.c_str()};
    if (bAssume) args.insert(args.begin() + 1, "--assume-rebuilt-bcd");
    EXPECT_EQ(Simulate(args).m_Status, nStatus) << szFile << " " << bAssume;
  }

  // A folder that holds no description is no pass.
  fs::create_directories(dir / "none");
  EXPECT_EQ(Simulate({"check", (dir / "none").string().c_str()}).m_Out,
            "FAILED  " + (dir / "none").string() + ": no *.json descriptions in this folder\n" +
                "0 passed, 1 failed\n");
}

}  // namespace

// --html: the page replaces an earlier one whole, leaves no file of its
// own beside it, and is never written through a link, which stops the
// command before it runs.
TEST(HtmlPage, ReplacesAnEarlierPageButNeverThroughALink) {
  const fs::path dir = fs::path(testing::TempDir()) / "html";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string szPage = (dir / "page.html").string();
  std::ofstream(szPage) << "an earlier page";
  const SimRun run = Simulate({"--html", szPage.c_str()});
  EXPECT_EQ(run.m_Status, 0) << run.m_Err;
  std::ifstream in(szPage);
  const std::string szHtml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(szHtml.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(szHtml.find("<h2>UEFI laptop, one NVMe disk (built-in example)</h2>"),
            std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  const fs::path target = dir / "kept.txt";
  std::ofstream(target) << "not a page";
  const std::string szLink = (dir / "link.html").string();
  fs::create_symlink(target, szLink);
  for (const std::vector<const char*>& args :
       {std::vector<const char*>{"--html", szLink.c_str()},
        std::vector<const char*>{"check", "--html", szLink.c_str(), szPage.c_str()}}) {
    const SimRun refused = Simulate(args);
    EXPECT_EQ(refused.m_Status, 2);
    EXPECT_EQ(refused.m_Out, "");
    EXPECT_EQ(refused.m_Err, "malvik-sim: --html " + szLink +
                                 ": refused: a symbolic link stands there, which --html never "
                                 "writes through\n");
  }
  EXPECT_TRUE(fs::is_symlink(szLink));
  std::ifstream kept(target);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()),
            "not a page");
}
