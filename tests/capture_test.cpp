// malvik-capture on the simulated machine: a described machine is captured
// through the platform seam, the capture is loaded again, and what malvik
// can see of both must be equal.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "capture/capture.h"
#include "simulator/description_format.h"
#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_loader.h"
#include "simulator/sim_machine.h"
#include "simulator/sim_text.h"
#include "simulator/sim_view.h"
#include "platform/utf8.h"
#include "tests/capture_replay.h"
#include "tests/test_support.h"
#include "tools/sim_run.h"
#include "tools/verdict.h"

namespace {

using description::Captured;
using description::Place;
using nlohmann::json;

// Keeps of j, an object of place, the keys a capture writes as the machine
// has them, in the objects below it too, and notes each key it meets in
// seen ("disk index").
void KeepCaptured(json& j, Place place, std::set<std::string>& seen) {
  if (!j.is_object()) return;
  for (auto it = j.begin(); it != j.end();) {
    const description::KeyRow* pRow = description::FindKey(place, it.key());
    if (pRow == nullptr) {
      ADD_FAILURE() << "not a key of the format: " << it.key();
      it = j.erase(it);
      continue;
    }
    seen.insert(std::string(description::PlaceWords(place)) + " " + it.key());
    if (pRow->m_Captured != Captured::kAsFound) {
      it = j.erase(it);
      continue;
    }
    const Place holds = description::Holds(pRow->m_Key);
    if (holds != Place::kCount && it->is_object() && holds != Place::kDrive &&
        holds != Place::kScript) {
      KeepCaptured(*it, holds, seen);
    }
    for (json& item : *it) {
      if (holds != Place::kCount) KeepCaptured(item, holds, seen);
    }
    ++it;
  }
  // A file the capture names by the path malvik looks for, not in the case
  // the volume has it; an object that keeps only its path is that path.
  for (const char* szFiles : {"files", "unknown"}) {
    if (!j.contains(szFiles)) continue;
    for (json& file : j[szFiles]) {
      if (file.is_object() && file.size() == 1) file = file["path"];
      std::string& szPath = file.is_string() ? file.get_ref<std::string&>()
                                             : file["path"].get_ref<std::string&>();
      for (char& c : szPath) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    std::sort(j[szFiles].begin(), j[szFiles].end());
  }
  // WMI names the null properties in an order of its own.
  if (j.contains("null_properties")) {
    std::sort(j["null_properties"].begin(), j["null_properties"].end());
  }
}

// What a capture can see of a machine: its description, through the
// format's table, with only the keys a capture writes as the machine has
// them.
std::string Visible(const sim::SimMachine& machine) {
  std::set<std::string> seen;
  json j = json::parse(sim::DescribeMachine(machine));
  KeepCaptured(j, Place::kMachine, seen);
  // A description may leave the ANSI code page to its default, which a
  // capture says as it says every code page it finds.
  j[description::Name(description::Key::kAnsiCodePage)] = machine.m_AnsiCodePage;
  return j.dump(2);
}

// The keys of a capture's text, as KeepCaptured notes them.
void NoteKeys(const std::string& szCaptured, std::set<std::string>& seen) {
  json j = json::parse(szCaptured);
  KeepCaptured(j, Place::kMachine, seen);
}

// The log lines a run of malvik writes on the machine, time stamps aside.
std::string RunLog(sim::SimMachine machine) {
  test::RunProgram(machine);
  std::string sz;
  for (const test::LogLine& line : test::ReadLog(machine)) {
    sz += sim::ToUtf8(line.m_Message) + "=" + sim::ToUtf8(line.m_Value) + "\n";
  }
  return sz;
}

// What malvik-sim's verdict says of a run of malvik on the machine.
std::string VerdictSaid(sim::SimMachine machine) {
  const Outcome outcome = RunOnMachine(machine, {});
  const Verdict verdict = JudgeRun(machine, outcome);
  std::string sz = verdict.Passed() ? "passed\n" : "failed\n";
  for (const std::string& szReason : verdict.m_Reasons) sz += "reason: " + szReason + "\n";
  for (const std::string& szWarning : verdict.m_Warnings) sz += "warning: " + szWarning + "\n";
  for (const std::string& szUnchecked : verdict.m_Unchecked) {
    sz += "unchecked: " + szUnchecked + "\n";
  }
  return sz;
}

std::string EveryLetterTaken() {
  std::string sz = R"({"name": "full", "program": "C:\\Tools\\malvik.exe", "costs": {"all": 0},
      "disks": [{"media_type": "Fixed hard disk media", "partitions": [
        {"letter": "C:", "label": "Windows",
         "files": ["Tools/Log/", "Tools/modifybcdtoPBR.cmd"]}]}],
      "drives": {)";
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (c == 'C') continue;
    sz += std::string(c == 'A' ? "" : ",") + "\"" + c + ":\": " +
          (c % 3 == 0 ? std::string("\"no-media\"")
                      : "{\"label\": \"V" + std::string(1, c) + "\"}");
  }
  return sz + "}}";
}

TEST(Capture, RoundTripKeepsWhatMalvikSees) {
  struct Case {
    const char* m_Name;
    std::string m_Json;
    std::string m_Note;  // a note the capture must make, or ""
    std::wstring m_CurrentDirectory = L"";  // the capture's --current-directory
  };
  const Case kCases[] = {
      {"uefi laptop, unlettered recovery",
       R"({"name": "laptop", "clock": "2026-03-07T09:05:02.045", "firmware": "uefi",
           "costs": {"all": 0}, "disks": [{"index": 0, "caption": "NVMe", "signature": 77,
           "partitions": [
             {"number": 1, "label": "ESP", "type": "GPT: System", "letter": "S:",
              "files": ["EFI/Microsoft/Boot/bootmgfw.efi",
                        {"path": "EFI/Microsoft/Boot/BCD", "hidden": true},
                        "EFI/Microsoft/Boot/fonts/", "EFI/OEM/"]},
             {"number": 3, "label": "Windows", "letter": "C:",
              "files": ["Tools/modifybcdtoWinRE.cmd", "Tools/CopyEFI_byOEM.cmd"]},
             {"number": 4, "label": "RECOVERY"},
             {"number": 5, "label": "PUSH BUTTON RESET", "letter": "Q:",
              "files": ["Zeph2/", "Zeph_WIN8/"]}]}]})",
       "1 on a partition no letter was seen to reach (disk 0 partition 4)"},
      {"the usual GPT layout: an MSR WMI does not list, recovery before Windows",
       R"({"name": "gpt", "firmware": "uefi", "costs": {"all": 0}, "disks": [{"partitions": [
             {"number": 1, "label": "ESP", "type": "GPT: System",
              "files": [{"path": "EFI/Microsoft/Boot/BCD", "hidden": true}]},
             {"number": 2, "type": "GPT: Unknown", "wmi": false, "size": 16777216},
             {"number": 3, "label": "RECOVERY", "type": "GPT: Unknown"},
             {"number": 4, "label": "Windows", "letter": "C:",
              "files": ["Tools/modifybcdtoWinRE.cmd"]},
             {"number": 5, "type": "GPT: Unknown", "unreadable": true}]}]})",
       "Partition 5 of disk 0 cannot be read through "
       "\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition5 (error 1005)"},
      {"media types, null properties, no media",
       R"({"name": "mixed", "firmware": {"error": 5}, "costs": {"all": 0},
           "console_code_page": 850, "ansi_code_page": 65001,
           "program": "D:\\malvik.exe", "windows_directory": "E:\\Windows",
           "current_directory": "D:\\Work",
           "disks": [{"index": 2, "media_type": "Removable Media"},
                     {"index": 0, "signature": 1234,
                      "null_properties": ["Size", "Caption", "Partitions"],
                      "partitions": [{"letter": "D:", "label": "Data",
                                      "files": ["modifybcdtoPBR.cmd"]},
                                     {"letter": "E:", "unreadable": true}]},
                     {"index": 1, "media_type": "External hard disk media", "caption": "USB",
                      "partitions": [{"letter": "U:", "label": "System Reserved"}]}],
           "drives": {"N:": "no-media", "V:": {"label": "pqservice", "files": ["Zeph_XP/"]}}})",
       "modifybcdtoPBR.cmd: the exit code, output and files of a run are not captured",
       L"D:\\Work"},
      {"every letter taken", EveryLetterTaken(), ""},
      {"ESP, recovery and reset reached by their volumes only, no partition table",
       R"({"name": "unlettered", "firmware": "uefi", "costs": {"all": 0},
           "faults": {"partition_table": "fail"},
           "disks": [{"partitions": [
             {"number": 1, "label": "ESP", "type": "GPT: System",
              "files": [{"path": "EFI/Microsoft/Boot/BCD", "hidden": true}, "EFI/OEM/Boot/"]},
             {"number": 3, "label": "Windows", "letter": "C:", "files": ["Tools/Log/"]},
             {"number": 4, "label": "RECOVERY", "files": ["Zeph_WIN8/"]},
             {"number": 5, "label": "PUSH BUTTON RESET", "files": ["Zeph2/"]},
             {"number": 6, "unreadable": true}]}]})",
       "The partition table of disk 0 (error 1: Incorrect function) could not be read: "
       "partitions WMI does not list (an MSR partition) are left out, and a partition "
       "without a drive letter is numbered by its WMI position"},
      {"a disk WMI gives no Index, listed first: numbered by its DeviceID",
       R"({"name": "usb", "costs": {"all": 0},
           "disks": [{"index": 2, "media_type": "External hard disk media",
                      "null_properties": ["Index"], "partitions": [{"letter": "E:"}]},
                     {"index": 0, "partitions": [{"letter": "C:"}, {"label": "RECOVERY"}]}]})",
       ""},
      {"disks WMI calls \"Fixed hard disk\", as under Wine",
       R"({"name": "wine", "costs": {"all": 0},
           "disks": [{"media_type": "Fixed hard disk", "partitions": [{"letter": "C:"}]},
                     {"index": 1, "media_type": "Fixed hard disk",
                      "partitions": [{"letter": "D:"}]}]})",
       "malvik will find none of these disks: its disk query (select * from Win32_DiskDrive "
       "where (MediaType LIKE \"Fixed%hard%disk%media\")) answers none here; their MediaType is "
       "\"Fixed hard disk\""},
      {"paths the capture is denied stay unknown, and so does the verdict",
       R"({"name": "denied", "firmware": "uefi", "costs": {"all": 0}, "disks": [{"partitions": [
             {"number": 1, "label": "ESP", "type": "GPT: System",
              "files": ["EFI/Microsoft/Boot/bootmgfw.efi"]},
             {"number": 2, "label": "Windows", "letter": "C:",
              "files": ["Tools/modifybcdtoWinRE.cmd", "Windows/System32/"]},
             {"number": 3, "label": "RECOVERY", "unknown": ["Recovery/WindowsRE/Winre.wim"]},
             {"number": 4, "label": "PUSH BUTTON RESET", "unknown": ["Zeph_XP"]}]}],
           "drives": {"V:": {"label": "PQSERVICE", "unknown": ["Zeph2"]}}})",
       ""},
  };
  std::set<std::string> captured;  // the keys the captures wrote
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    sim::SimMachine original;
    sim::LoadError error;
    ASSERT_TRUE(sim::LoadMachine(c.m_Json, original, error))
        << error.m_Path << ": " << error.m_What;
    const std::string szExpected = Visible(original);
    const std::string szExpectedLog = RunLog(original);
    const std::string szExpectedVerdict = VerdictSaid(original);
    // Only the paths malvik looks at are captured, never the rest of a volume.
    sim::AddFile(*sim::FindVolumeByLetter(original, original.m_Program.substr(0, 2)).Files(),
                 L"Users/secret.txt", false, false, "");

    std::string szCaptured;
    {
      sim::ScopedSimMachine installed(original);
      CaptureOptions options;
      options.m_CurrentDirectory = c.m_CurrentDirectory;
      szCaptured = WriteJsonText(CaptureMachine(options));
    }
    NoteKeys(szCaptured, captured);
    sim::SimMachine replayed;
    ASSERT_TRUE(sim::LoadMachine(szCaptured, replayed, error))
        << error.m_Path << ": " << error.m_What << "\n" << szCaptured;
    EXPECT_EQ(Visible(replayed), szExpected) << szCaptured;
    // How long calls take is no part of a capture: the replay runs at the
    // original's pace.
    replayed.m_Costs = original.m_Costs;
    EXPECT_EQ(RunLog(replayed), szExpectedLog) << szCaptured;
    EXPECT_EQ(VerdictSaid(replayed), szExpectedVerdict) << szCaptured;
    EXPECT_EQ(c.m_Json.find("\"unknown\"") != std::string::npos,
              szCaptured.find("\"unknown\"") != std::string::npos)
        << szCaptured;
    EXPECT_EQ(szCaptured.find("secret"), std::string::npos);
    EXPECT_TRUE(original.m_DosDevices == replayed.m_DosDevices) << "letters changed by the capture";
    EXPECT_TRUE(original.m_Dialogs.empty()) << "a volume read raised a box";
    bool bNoted = c.m_Note.empty();
    for (const std::wstring& sz : replayed.m_Notes) {
      bNoted = bNoted || sim::ToUtf8(sz).find(c.m_Note) != std::string::npos;
    }
    EXPECT_TRUE(bNoted) << c.m_Note << "\n" << szCaptured;
  }
  // Every key the table says a capture writes, some capture above wrote.
  for (const description::KeyRow& row : description::kKeyRows) {
    const std::string szKey = std::string(description::PlaceWords(row.m_Place)) + " " + row.m_szName;
    EXPECT_EQ(captured.count(szKey) == 1, row.m_Captured != Captured::kNo)
        << szKey << (row.m_Captured != Captured::kNo ? ": no capture wrote it"
                                                     : ": a capture wrote it, which the table denies");
  }
}

// Where no partition table can be read (every disk under Wine), a partition
// without a letter is numbered by a guess from its WMI position, moved past
// the numbers lettered volumes report. The usual GPT layout replays equal
// all the same; where a layout does not, a note names the partition whose
// number is the guess. With the table read, each replays equal, but for a
// disk WMI gives no number for.
TEST(Capture, LayoutsWithoutThePartitionTable) {
  const std::string kWindows =
      R"("label": "Windows", "letter": "C:",
         "files": ["Tools/modifybcdtoWinRE.cmd", "Tools/modifybcdtoPBR.cmd"])";
  const std::string kEsp =
      R"("label": "ESP", "type": "GPT: System",
         "files": [{"path": "EFI/Microsoft/Boot/BCD", "hidden": true}])";
  const std::string kMsr = R"("type": "GPT: Unknown", "wmi": false, "size": 16777216)";
  const std::string kUsualGpt = R"({"index": 0, "partitions": [{"number": 1, )" + kEsp +
                                R"(}, {"number": 2, )" + kMsr + R"(}, {"number": 3, )" +
                                kWindows + R"(}, {"number": 4, "label": "RECOVERY",
                                "type": "GPT: Unknown", "files": ["Zeph_WIN8/"]}]})";
  struct Case {
    const char* m_Name;
    std::string m_Firmware;
    std::string m_Disks;
    bool m_EqualWithTable;
    bool m_EqualWithout;
    std::string m_Note;  // a note of the capture without the table
  };
  const Case kCases[] = {
      {"the usual GPT layout", "uefi", "[" + kUsualGpt + "]", true, true,
       "Partition 4 of disk 0 (WMI's Partition #2, at byte 227540992, labelled \\\"RECOVERY\\\"): "
       "its number is a guess"},
      {"recovery before Windows", "uefi",
       R"([{"partitions": [{"number": 1, )" + kEsp + R"(}, {"number": 2, )" + kMsr +
           R"(}, {"number": 3, "label": "RECOVERY", "files": ["Zeph_WIN8/"]},
           {"number": 4, )" + kWindows + "}]}]",
       true, false,
       "Partition 2 of disk 0 (WMI's Partition #1, at byte 122683392, labelled \\\"\\\"): its "
       "number is a guess"},
      // Numbered in the order of the partition tables: the primary one at
      // the end of the disk before the logical drives.
      {"an MBR disk with logical drives before a primary partition at its end", "legacy",
       R"([{"partitions": [
           {"number": 1, "label": "System Reserved", "type": "Installable File System"},
           {"number": 2, "type": "Installable File System", )" + kWindows + R"(},
           {"number": 4, "label": "Data", "letter": "D:", "type": "Installable File System"},
           {"number": 5, "label": "RECOVERY", "type": "Installable File System",
            "files": ["Zeph_WIN8/"]},
           {"number": 3, "label": "PUSH BUTTON RESET", "type": "Installable File System",
            "files": ["Zeph2/"]}]}])",
       true, false, "Partition 6 of disk 0 (WMI's Partition #4, at byte 420478976): its number is "
       "a guess"},
      {"a hidden partition between two lettered ones", "uefi",
       R"([{"partitions": [{"number": 1, )" + kEsp + R"(}, {"number": 2, )" + kWindows +
           R"(}, {"number": 3, )" + kMsr + R"(},
           {"number": 4, "label": "RECOVERY", "files": ["Zeph_WIN8/"]},
           {"number": 5, "label": "Data", "letter": "D:"}]}])",
       true, false, "Partition 3 of disk 0 (WMI's Partition #2, at byte"},
      // An external disk, which malvik's inventory does not ask for.
      {"a disk whose WMI Index is null, listed first", "uefi",
       R"([{"index": 1, "null_properties": ["Index"],
            "media_type": "External hard disk media", "partitions": [
             {"label": "Data", "letter": "E:"}, {"label": "RECOVERY", "files": ["Zeph_WIN8/"]}]},
           )" + kUsualGpt + "]",
       true, true, ""},
      {"a disk whose WMI Index and DeviceID are null, listed first", "uefi",
       R"([{"index": 1, "null_properties": ["Index", "DeviceID"],
            "media_type": "External hard disk media", "partitions": [
             {"label": "Data", "letter": "E:"}, {"label": "RECOVERY", "files": ["Zeph_WIN8/"]}]},
           )" + kUsualGpt + "]",
       true, true,
       "The disk WMI lists at position 0 (counted from 0) gives no Index and no DeviceID of the "
       "form \\\\\\\\.\\\\PHYSICALDRIVEn (its DeviceID is null), so its disk number is not "
       "known: it is described as disk 1, a guess"},
  };
  sim::SimFaults noTable;
  noTable.m_PartitionTableFail = true;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    sim::SimMachine machine;
    sim::LoadError error;
    ASSERT_TRUE(sim::LoadMachine(R"({"name": "layout", "costs": {"all": 0}, "firmware": ")" +
                                     c.m_Firmware + R"(", "disks": )" + c.m_Disks + "}",
                                 machine, error))
        << error.m_Path << ": " << error.m_What;
    // Log keys of equal time stamps would merge differently at another pace.
    const auto nothing = [](const sim::SimMachine& original, sim::SimMachine& replayed) {
      replayed.m_Costs = original.m_Costs;
    };
    const test::CaptureReplay withTable = test::ReplayCapture(machine, {}, nothing);
    ASSERT_EQ(withTable.m_LoadError, "");
    EXPECT_EQ(withTable.m_Difference == "", c.m_EqualWithTable)
        << withTable.m_Difference << "\n" << withTable.m_Captured;
    const test::CaptureReplay without = test::ReplayCapture(machine, {}, nothing, noTable);
    ASSERT_EQ(without.m_LoadError, "");
    EXPECT_EQ(without.m_Difference == "", c.m_EqualWithout)
        << without.m_Difference << "\n" << without.m_Captured;
    EXPECT_NE(without.m_Captured.find(c.m_Note), std::string::npos) << without.m_Captured;
  }
}

// A machine in code pages a description cannot give (Japanese console,
// Central European system): the capture still loads, and says what it left
// out.
TEST(Capture, CodePagesADescriptionCannotGiveAreNoted) {
  sim::SimMachine original;
  sim::LoadError error;
  ASSERT_TRUE(sim::LoadMachine(R"({"name": "cp", "costs": {"all": 0}})", original, error));
  original.m_ConsoleInputCodePage = original.m_ConsoleOutputCodePage = 932;
  original.m_AnsiCodePage = 1250;
  std::string szCaptured;
  {
    sim::ScopedSimMachine installed(original);
    szCaptured = WriteJsonText(CaptureMachine({}));
  }
  sim::SimMachine replayed;
  ASSERT_TRUE(sim::LoadMachine(szCaptured, replayed, error)) << error.m_What << szCaptured;
  EXPECT_NE(szCaptured.find("The console's output code page is 932, which a description "
                            "cannot give (only 437, 850, 1252, 65000, 65001)"),
            std::string::npos)
      << szCaptured;
  EXPECT_NE(szCaptured.find("The system's ANSI code page (the log's) is 1250"), std::string::npos)
      << szCaptured;
}

// Run without elevation, the capture may see less than malvik, which is run
// as administrator: a note says so first, naming what it was refused.
TEST(Capture, SaysWhetherItRanElevated) {
  struct Case {
    const char* m_Name;
    bool m_Elevated;
    std::string m_Note;  // the note, whole
    bool m_First;        // first among the notes; otherwise last
  };
  const Case kCases[] = {
      {"elevated", true, "The capture ran elevated, as malvik is run", false},
      {"not elevated", false,
       "The capture ran without elevation, while malvik is run as administrator (in a factory "
       "or WinPE), so it may see less than malvik does; refused for want of elevation: the "
       "firmware probe (error 1314: A required privilege is not held by the client; the "
       "description's firmware is that error, not what malvik will see); the partition table "
       "of disk 0 (error 5: Access is denied); a path it was denied is listed as \"unknown\". "
       "Run the capture as administrator",
       true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    sim::SimMachine machine;
    sim::LoadError error;
    ASSERT_TRUE(sim::LoadMachine(
        R"({"name": "uefi", "firmware": "uefi", "disks": [{"partitions": [
            {"number": 1, "label": "ESP", "type": "GPT: System"},
            {"number": 2, "label": "Windows", "letter": "C:"}]}]})",
        machine, error));
    machine.m_Elevated = c.m_Elevated;
    std::string szCaptured;
    {
      sim::ScopedSimMachine installed(machine);
      szCaptured = WriteJsonText(CaptureMachine({}));
    }
    sim::SimMachine replayed;
    ASSERT_TRUE(sim::LoadMachine(szCaptured, replayed, error)) << error.m_What;
    ASSERT_FALSE(replayed.m_Notes.empty());
    EXPECT_EQ(sim::ToUtf8(c.m_First ? replayed.m_Notes.front() : replayed.m_Notes.back()),
              c.m_Note)
        << szCaptured;
  }
}

// A field machine for the command: malvik's folder C:\Tools, a folder
// C:\Bare with malvik.exe and one script, a field log, and the capture run
// from a stick, E:\stick.
const char kFieldMachine[] = R"({"name": "field", "costs": {"all": 0},
    "program": "E:\\stick\\malvik-capture.exe",
    "disks": [{"partitions": [{"letter": "C:", "label": "Windows", "files": ["Work/",
      "Tools/malvik.exe", "Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd",
      "Tools/Log/Malvik.log", "Bare/malvik.exe", "Bare/modifybcdtoPBR.cmd"]}]}],
    "drives": {"E:": {"label": "STICK"}}})";

struct CommandResult {
  CaptureRun m_Run;
  sim::SimMachine m_Machine;  // after the run
};

// RunCapture on the field machine, the current folder szCurrent. Checks what
// every run must leave alone: no letter defined or removed (a definition,
// removed again or not, costs the clock its time) and no file written but
// through the output's temporary name.
CommandResult RunOnFieldMachine(const std::wstring& szCurrent,
                                const std::vector<std::wstring>& args,
    const std::function<void(sim::SimMachine&)>& prepare = {}) {
  CommandResult result;
  sim::LoadError error;
  EXPECT_TRUE(sim::LoadMachine(kFieldMachine, result.m_Machine, error)) << error.m_What;
  sim::SimMachine& machine = result.m_Machine;
  machine.m_CurrentDirectory = szCurrent;
  sim::FindFile(machine, L"C:\\Tools\\Log\\Malvik.log")->m_Bytes = "evidence";
  if (prepare) prepare(machine);
  machine.m_Costs.m_Define = 1;
  const auto devices = machine.m_DosDevices;
  const std::int64_t nClock = machine.m_ClockMs;
  {
    sim::ScopedSimMachine installed(machine);
    result.m_Run = RunCapture(args);
  }
  EXPECT_TRUE(machine.m_DosDevices == devices) << "letters changed by the capture";
  EXPECT_EQ(machine.m_ClockMs, nClock) << "a letter was defined or removed";
  return result;
}

TEST(Capture, ProgramFolderRules) {
  struct Case {
    const char* m_Name;
    std::wstring m_Current;
    std::vector<std::wstring> m_Args;
    int m_Status;
    std::wstring m_Program;  // the description's "program"; empty: nothing captured
    std::string m_Said;      // on standard error
    std::wstring m_Start = L"";  // where the replay starts malvik; empty: not checked
  };
  const Case kCases[] = {
      {"relative", L"C:\\Work", {L"--program", L"..\\Tools"}, 0, L"C:\\Tools\\malvik.exe",
       "--program ..\\Tools is taken as C:\\Tools (the current folder being C:\\Work)"},
      {"the current folder", L"C:\\Tools", {L"--program", L"."}, 0, L"C:\\Tools\\malvik.exe",
       "--program . is taken as C:\\Tools"},
      {"a file", L"C:\\Work", {L"--program", L"C:\\Tools\\malvik.exe"}, 0,
       L"C:\\Tools\\malvik.exe",
       "C:\\Tools\\malvik.exe is a file; its folder C:\\Tools is taken as malvik's"},
      {"a typo", L"C:\\Work", {L"--program", L"C:\\Tool"}, 3, L"",
       "malvik-capture: The program folder C:\\Tool cannot be found (error 2: The system "
       "cannot find the file specified)\n"},
      {"a script missing", L"C:\\Work", {L"--program", L"C:\\Bare"}, 3, L"",
       "malvik-capture: The program folder C:\\Bare holds no modifybcdtoWinRE.cmd\n"
       "malvik-capture: nothing captured: name malvik's folder with --program FOLDER, or add "
       "--allow-incomplete to capture this one as it is\n"},
      {"run from a stick", L"C:\\Work", {}, 3, L"",
       "The program folder E:\\stick (the capture's own folder, as no --program was given) "
       "holds no malvik.exe and no modifybcdtoPBR.cmd and no modifybcdtoWinRE.cmd"},
      {"allowed", L"C:\\Work", {L"--program", L"C:\\Bare", L"--allow-incomplete"}, 0,
       L"C:\\Bare\\malvik.exe",
       "  - The program folder C:\\Bare holds no modifybcdtoWinRE.cmd; captured as it is, as "
       "--allow-incomplete asks\n"},
      {"where malvik starts", L"C:\\Tools",
       {L"--program", L".", L"--current-directory", L"..\\Work"}, 0, L"C:\\Tools\\malvik.exe",
       "  malvik starts in: C:\\Work\n", L"C:\\Work"},
      {"where malvik starts, not given", L"C:\\Work", {L"--program", L"C:\\Tools"}, 0,
       L"C:\\Tools\\malvik.exe",
       "  - The folder malvik is started in was not given; the replay starts it in its program "
       "folder, C:\\Tools. A run started elsewhere can differ: the batch file inherits that "
       "folder, and deleting a tree keeps the folder the run is in. Name it with "
       "--current-directory DIR\n",
       L"C:\\Tools"},
      {"where malvik starts, a typo", L"C:\\Work",
       {L"--program", L"C:\\Tools", L"--current-directory", L"C:\\Wrok"}, 2, L"",
       "malvik-capture: --current-directory C:\\Wrok is no folder here (error 2: The system "
       "cannot find the file specified)\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    const CommandResult result = RunOnFieldMachine(c.m_Current, c.m_Args);
    EXPECT_EQ(result.m_Run.m_Status, c.m_Status);
    EXPECT_NE(result.m_Run.m_Stderr.find(c.m_Said), std::string::npos) << result.m_Run.m_Stderr;
    EXPECT_TRUE(result.m_Machine.m_FilesWritten.empty());
    if (c.m_Program.empty()) {
      EXPECT_EQ(result.m_Run.m_Stdout, "");
      continue;
    }
    sim::SimMachine replayed;
    sim::LoadError error;
    ASSERT_TRUE(sim::LoadMachine(result.m_Run.m_Stdout, replayed, error)) << error.m_What;
    EXPECT_EQ(sim::ToUtf8(replayed.m_Program), sim::ToUtf8(c.m_Program));
    if (!c.m_Start.empty()) {
      EXPECT_EQ(sim::ToUtf8(replayed.m_CurrentDirectory), sim::ToUtf8(c.m_Start));
    }
  }
}

TEST(Capture, KeepsWhatItWouldOverwrite) {
  struct Case {
    const char* m_Name;
    std::vector<std::wstring> m_Args;
    int m_Status;
    std::string m_Said;  // on standard error
    std::vector<std::wstring> m_Written;  // the machine's record of files written
    std::function<void(sim::SimMachine&)> m_Prepare = {};
  };
  const std::wstring szLog = L"C:\\Tools\\Log\\Malvik.log";
  const auto readOnlyLog = [&](sim::SimMachine& machine) {
    sim::FindFile(machine, szLog)->m_ReadOnly = true;
  };
  // A temporary file left by an earlier capture, not ours to overwrite.
  const auto staleTemporary = [&](sim::SimMachine& machine) {
    sim::AddFile(*sim::FindVolumeByLetter(machine, L"C:").Files(), L"Tools\\cap.json.tmp", false,
                 false, "stale");
  };
  const Case kCases[] = {
      {"the field log", {L"--out", szLog, L"--program", L"C:\\Tools"}, 4,
       "malvik-capture: C:\\Tools\\Log\\Malvik.log exists and is kept; name another file, or "
       "add --force to replace it\n",
       {}},
      {"a folder", {L"--out", L"C:\\Tools\\Log", L"--program", L"C:\\Tools"}, 4,
       "malvik-capture: cannot write C:\\Tools\\Log: it is a folder\n", {}},
      {"no such drive", {L"--out", L"Q:\\cap.json", L"--program", L"C:\\Tools"}, 4,
       "malvik-capture: cannot write Q:\\cap.json (error 3: The system cannot find the path "
       "specified)\n",
       {}},
      {"--out twice", {L"--out", L"a.json", L"--out", L"b.json"}, 2,
       "malvik-capture: --out is given twice (a.json, b.json); give it once\n", {}},
      {"the field log, forced", {L"--out", szLog, L"--force", L"--program", L"C:\\Tools"}, 0,
       "  description written to C:\\Tools\\Log\\Malvik.log\n", {szLog + L".tmp", szLog}},
      {"the field log, forced but read-only",
       {L"--out", szLog, L"--force", L"--program", L"C:\\Tools"}, 4,
       "malvik-capture: cannot write C:\\Tools\\Log\\Malvik.log (error 5: Access is denied); "
       "the description is kept in C:\\Tools\\Log\\Malvik.log.tmp\n",
       {szLog + L".tmp"}, readOnlyLog},
      {"a temporary name taken", {L"--out", L"C:\\Tools\\cap.json", L"--program", L"C:\\Tools"},
       0, "  description written to C:\\Tools\\cap.json\n",
       {L"C:\\Tools\\cap.json.2.tmp", L"C:\\Tools\\cap.json"}, staleTemporary},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    CommandResult result = RunOnFieldMachine(L"C:\\Work", c.m_Args, c.m_Prepare);
    EXPECT_EQ(result.m_Run.m_Status, c.m_Status);
    EXPECT_NE(result.m_Run.m_Stderr.find(c.m_Said), std::string::npos) << result.m_Run.m_Stderr;
    EXPECT_EQ(result.m_Run.m_Stdout, "");
    EXPECT_EQ(result.m_Machine.m_FilesWritten, c.m_Written);
    const sim::SimFile* pLog = sim::FindFile(result.m_Machine, szLog);
    ASSERT_NE(pLog, nullptr);
    const bool bLogReplaced = c.m_Status == 0 && c.m_Written.back() == szLog;
    if (bLogReplaced) {
      EXPECT_EQ(pLog->m_Bytes.rfind("{\n  \"name\": \"field\",", 0), 0u) << pLog->m_Bytes;
    } else {
      EXPECT_EQ(pLog->m_Bytes, "evidence");
    }
    // The description is where it was last put: renamed into place, or
    // kept under the name it was written to.
    if (!c.m_Written.empty()) {
      const sim::SimFile* pFile = sim::FindFile(result.m_Machine, c.m_Written.back());
      ASSERT_NE(pFile, nullptr) << sim::ToUtf8(c.m_Written.back());
      EXPECT_EQ(pFile->m_Bytes.rfind("{\n  \"name\": \"field\",", 0), 0u) << pFile->m_Bytes;
    }
    if (c.m_Written.empty() || c.m_Written.back() == szLog) {
      EXPECT_EQ(sim::FindFile(result.m_Machine, szLog + L".tmp"), nullptr);
    }
    if (const sim::SimFile* pStale = sim::FindFile(result.m_Machine, L"C:\\Tools\\cap.json.tmp")) {
      EXPECT_EQ(pStale->m_Bytes, "stale");
    }
  }
}

// A file that comes to the output's name while the capture runs, after the
// command checked it, is kept all the same: without --force the rename
// refuses it, and the finished description stays under its own name.
TEST(Capture, KeepsAFileThatCameDuringTheCapture) {
  sim::SimMachine machine;
  sim::LoadError error;
  ASSERT_TRUE(sim::LoadMachine(kFieldMachine, machine, error)) << error.m_What;
  const std::wstring szOut = L"C:\\Work\\cap.json";
  sim::AddFile(*sim::FindVolumeByLetter(machine, L"C:").Files(), L"Work\\cap.json", false, false,
               "came");
  sim::ScopedSimMachine installed(machine);
  EXPECT_EQ(sim::ToUtf8(WriteOutputFile(szOut, "{}", false)),
            "C:\\Work\\cap.json appeared while the capture ran and is kept; the description is "
            "kept in C:\\Work\\cap.json.tmp");
  EXPECT_EQ(sim::FindFile(machine, szOut)->m_Bytes, "came");
  EXPECT_EQ(sim::FindFile(machine, szOut + L".tmp")->m_Bytes, "{}");
}

// Windows gives labels and names as UTF-16, which the description carries as
// UTF-8; a host whose wchar_t is 32 bits reaches the same conversion through
// UTF-16 text of its own.
TEST(Capture, DescriptionCarriesUtf16Text) {
  struct Case {
    const char* m_Name;
    std::u16string m_Text;
    std::string m_Json;
  };
  const Case kCases[] = {
      {"quote and backslash", u"say \"hi\" C:\\Tools", "\"say \\\"hi\\\" C:\\\\Tools\"\n"},
      {"control characters", u"\x01\t\n\r\x1f\x7f", "\"\\u0001\\t\\n\\r\\u001f\x7f\"\n"},
      {"a surrogate pair, one code point", u"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\"\n"},
      {"unpaired surrogates and a pair the wrong way round",
       u"A\xD800" u"B\xDC00\xDE00\xD83D",
       "\"A\xEF\xBF\xBD" "B\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    EXPECT_EQ(WriteJsonText(JsonString(c.m_Text)), c.m_Json);
  }
  // What became of such a text is said in a note; other text needs none.
  EXPECT_EQ(platform::WideToUtf8(AlteredTextNote(
                L"The label of E:", {L'R', static_cast<wchar_t>(0xDC01), L'E'})),
            "The label of E: holds text a description cannot carry (U+DC01 at character 2, half "
            "of a UTF-16 surrogate pair without the other half); captured as \"R\xEF\xBF\xBD"
            "E\", with U+FFFD in its place");
  EXPECT_EQ(AlteredTextNote(L"The label of E:", L"RECOVERY \u00c9"), L"");
}

}  // namespace
