#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "simulator/sim_devices.h"
#include "simulator/sim_files.h"
#include "simulator/sim_loader.h"
#include "tools/description_file.h"

namespace {

TEST(SimLoader, BadDescriptionsNameThePathOfTheBadValue) {
  struct Case {
    const char* szJson;
    const char* szPath;
    const char* szWhat;     // part of the message
    bool bWarning = false;  // loaded, with this one warning
  };
  const Case kCases[] = {
      {"{", "$", "line 1, column 2: syntax error while parsing object key - unexpected end of input"},
      // Columns count characters, not bytes; the place is the end of the
      // token the parser could not use.
      {"{\n  \"name\": \"x\",\n  \"\xC3\xA9\": 1 \"clock\": 1}", "$",
       "line 3, column 16: syntax error while parsing object - unexpected string literal; "
       "expected '}'"},
      {"{\"disks\": [{},\n  ]}", "$", "line 2, column 3: a ',' before ']': JSON allows none there"},
      {"{\"firmware\": True}", "$",
       "line 1, column 14: syntax error while parsing value - invalid literal (true, false and "
       "null are written in lower case, text goes in double quotes)"},
      {"{\"clock\": 1e999}", "clock", "too large"},  // too large for a double
      {R"({"disks": [{"size": 1e26}]})", "disks[0].size",
       "too large (the allowed range is 0 to 9223372036854775807)"},
      {R"({"disks": [{"partitions": [{}, {"label": "A", "label": "B"}]}]})",
       "disks[0].partitions[1].label", "given twice"},
      {R"({"disks": [{"partitions": [{"start": 1048576, "size": 104857600},
                                     {"start": 52428800, "size": 1048576}]}]})",
       "disks[0].partitions[1]",
       "bytes 52428800 to 53477376 overlap partition 1 (disks[0].partitions[0]"},
      {R"({"disks": [{"size": 1000000, "partitions": [{"start": 1048576, "size": 1}]}]})",
       "disks[0].partitions[0]", "ends at byte 1048577, past the disk's size 1000000", true},
      {"[]", "$", "expected an object"},
      {R"({"colour": 1})", "colour", "unknown key"},
      {R"({"disks": [{"partitions": [{}, {}, {"letter": 5}]}]})", "disks[0].partitions[2].letter",
       "drive letter"},
      {R"({"disks": [{"partitions": [{"letter": "EE"}]}]})", "disks[0].partitions[0].letter",
       "drive letter"},
      {R"({"disks": [{"size": "big"}]})", "disks[0].size", "whole number"},
      {R"({"disks": [{"size": -1}]})", "disks[0].size", "too small"},
      {R"({"disks": [{"partitions_reported": 2147483648}]})", "disks[0].partitions_reported",
       "too large (the allowed range is -2147483648 to 2147483647)"},
      {R"({"disks": [{}, {"partitions": [{"lable": "ESP"}]}]})", "disks[1].partitions[0].lable",
       "unknown key"},
      {R"({"disks": [{"null_properties": ["Colour"]}]})", "disks[0].null_properties[0]",
       "not a disk property"},
      {R"({"disks": [{"index": 0}, {"index": 0}]})", "disks[1]", "used twice"},
      {R"({"disks": [{"partitions": [{"null_properties": ["Type"]}]}]})",
       "disks[0].partitions[0].null_properties[0]", "not an association property"},
      {R"({"firmware": "bios"})", "firmware", "uefi"},
      {R"({"clock": "2026-02-30T00:00:00.000"})", "clock", "time"},
      {R"({"drives": {"D:": "empty"}})", "drives.D:", "no-media"},
      {R"({"drives": {"C:": {}}, "disks": [{"partitions": [{"letter": "c:"}]}]})", "drives.C:",
       "already used"},
      {R"({"faults": {"wmi": [{"attempt": 0, "call": "Next:0"}]}})", "faults.wmi[0].call",
       "unknown call"},
      {R"({"faults": {"wmi": [{"attempt": "some", "call": "Next:1"}]}})",
       "faults.wmi[0].attempt", "\"all\""},
      {R"({"faults": {"profile_write": true}})", "faults.profile_write", "\"fail\""},
      {R"({"costs": {"wmi_query": 1.5}})", "costs.wmi_query", "whole number"},
      {R"({"scripts": {"a.cmd": {"exit": 1}}})", "scripts.a.cmd.exit", "unknown key"},
      {R"({"program": "C:\\Tools\\..\\..\\x.exe"})", "program", "it has a \"..\" component"},
      {R"({"program": "C:malvik.exe"})", "program", "full path"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szJson);
    sim::SimMachine machine;
    sim::LoadError error;
    if (c.bWarning) {
      ASSERT_TRUE(sim::LoadMachine(c.szJson, machine, error)) << error.m_What;
      ASSERT_EQ(machine.m_LoadWarnings.size(), 1u);
      error = {machine.m_LoadWarnings[0].m_Path, machine.m_LoadWarnings[0].m_What};
    } else {
      ASSERT_FALSE(sim::LoadMachine(c.szJson, machine, error));
    }
    EXPECT_EQ(error.m_Path, c.szPath);
    EXPECT_NE(error.m_What.find(c.szWhat), std::string::npos) << error.m_What;
  }
}

TEST(SimLoader, FilePathsThatCouldLeaveTheVolumeAreRefused) {
  const char* const kPaths[] = {
      "a/../../../../x", "..", "./a", "a/./b", "a//b", "a\\\\b", "a//",
      "/etc/passwd",     "\\\\server\\share", "C:x",  "C:/x", "a/b:c", "a|b",
      "a*", "a?", "a<b>", "a\"b", "a\u0001b", "",
  };
  for (const char* szPath : kPaths) {
    SCOPED_TRACE(szPath);
    // Both forms of a file entry, on a partition and on a drive.
    const std::string szQuoted = nlohmann::json(szPath).dump();
    const std::string szText =
        R"({"disks": [{"partitions": [{"files": ["ok/fine.txt", )" + szQuoted + "]}]}]}";
    const std::string szObject = R"({"drives": {"D:": {"files": [{"path": )" + szQuoted + "}]}}}";
    sim::SimMachine machine;
    sim::LoadError error;
    ASSERT_FALSE(sim::LoadMachine(szText, machine, error));
    EXPECT_EQ(error.m_Path, "disks[0].partitions[0].files[1]");
    EXPECT_NE(error.m_What.find("relative to the volume root"), std::string::npos);
    ASSERT_FALSE(sim::LoadMachine(szObject, machine, error));
    EXPECT_EQ(error.m_Path, "drives.D:.files[0].path");
    // The paths a capture could not read follow the same rule.
    const std::string szUnknown = R"({"drives": {"D:": {"unknown": ["ok", )" + szQuoted + "]}}}";
    ASSERT_FALSE(sim::LoadMachine(szUnknown, machine, error));
    EXPECT_EQ(error.m_Path, "drives.D:.unknown[1]");
  }
}

TEST(SimLoader, FileErrorsAreOneLineNamingFileAndPath) {
  const std::string szFile = testing::TempDir() + "bad-machine.json";
  std::ofstream(szFile) << R"({"disks": [{"partitions": [{"letter": true}]}]})";
  sim::SimMachine machine;
  std::string szLine;
  ASSERT_FALSE(LoadDescriptionFile(szFile, machine, szLine));
  EXPECT_EQ(szLine, szFile + ": disks[0].partitions[0].letter: expected a drive letter such as \"E:\"");
  ASSERT_FALSE(LoadDescriptionFile(szFile + ".missing", machine, szLine));
  EXPECT_EQ(szLine, szFile + ".missing: cannot read the file: No such file or directory");
  // cmd's trap: "ex \u00e9\" passes ex \u00e9" (the backslash escapes the quote).
  EXPECT_FALSE(LoadDescriptionFile(szFile + "ex \xC3\xA9\"", machine, szLine));
  EXPECT_EQ(szLine, szFile + "ex \xC3\xA9\": cannot read the file: No such file or directory; the "
                    "name was read as [" + szFile + "ex \xC3\xA9\"], ending in a double quote: a "
                    "backslash before a closing quote escapes it, so \"" + szFile +
                    "ex \xC3\xA9\\\" gives " + szFile + "ex \xC3\xA9\"; leave the trailing "
                    "backslash out (\"" + szFile + "ex \xC3\xA9\") or double it (\"" + szFile +
                    "ex \xC3\xA9\\\\\")");
}

// Input that could exhaust memory, hang or slip past the model: one line,
// "FILE: PATH: WHAT", and nothing loaded.
TEST(SimLoader, InputThatCouldTakeTheToolDownIsRefused) {
  const std::string szDir = testing::TempDir();
  const std::string szFifo = szDir + "no-writer.json";
  std::remove(szFifo.c_str());
  ASSERT_EQ(mkfifo(szFifo.c_str(), 0600), 0);
  std::string szDeep = R"({"notes": )";
  std::string szDeepPath = "notes";
  for (size_t i = 0; i < sim::kMaxDescriptionNesting; ++i) szDeep += "[";
  for (size_t i = 1; i < sim::kMaxDescriptionNesting; ++i) szDeepPath += "[0]";
  struct Case {
    std::string m_File;  // empty: the text below, written to a file
    std::string m_Text;
    std::string m_Path;
    const char* m_What;  // part of the message
  };
  const std::string kLarger = "larger than the 8 MiB a description may hold";
  const Case kCases[] = {
      {"/dev/zero", "", "$", kLarger.c_str()},
      {"", R"({"name": ")" + std::string(sim::kMaxDescriptionBytes, 'x') + "\"}", "$",
       kLarger.c_str()},
      {szFifo, "", "$", "the text is empty"},
      {"", szDeep, szDeepPath, "nest deeper here than the 32 levels"},
      {"", R"({"drives": {"e:": "no-media", "E:": {}}})", "drives.e:",
       "the same letter as drives.E:"},
      {"", R"({"current_directory": "C:Tools"})", "current_directory",
       "does not start with a drive letter and a separator"},
      {"", R"({"current_directory": "C:\\Tools\\..\\..\\x"})", "current_directory",
       "it has a \"..\" component"},
      {"", R"({"disks": [{"partitions": [{"label": "ESP\u0000x"}]}]})",
       "disks[0].partitions[0].label", "a label cannot hold U+0000"},
      {"", R"({"drives": {"D:": {"label": "\u0000"}}})", "drives.D:.label",
       "a label cannot hold U+0000"},
      {"", R"({"arguments": "W: R: M:"})", "arguments", "expected an array"},
      {"", R"({"arguments": ["W:", 7]})", "arguments[1]", "expected a string"},
  };
  for (const Case& c : kCases) {
    std::string szFile = c.m_File;
    if (szFile.empty()) {
      szFile = szDir + "bad-input.json";
      std::ofstream(szFile, std::ios::binary | std::ios::trunc) << c.m_Text;
    }
    SCOPED_TRACE(szFile + ": " + c.m_Text.substr(0, 80));
    sim::SimMachine machine;
    std::string szLine;
    EXPECT_FALSE(LoadDescriptionFile(szFile, machine, szLine));
    EXPECT_EQ(szLine.rfind(szFile + ": " + c.m_Path + ": ", 0), 0u) << szLine;
    EXPECT_NE(szLine.find(c.m_What), std::string::npos) << szLine;
  }
  std::remove(szFifo.c_str());

  // What a real machine needs loads: a description of exactly the limit, an
  // absolute current folder, and arguments.
  const std::string szText = R"({"current_directory": "c:\\", "arguments": ["W:", "S:", "M:"]})";
  sim::SimMachine machine;
  sim::LoadError error;
  ASSERT_TRUE(sim::LoadMachine(
      szText + std::string(sim::kMaxDescriptionBytes - szText.size(), '\n'), machine, error))
      << error.m_Path << ": " << error.m_What;
  EXPECT_EQ(machine.m_Arguments, (std::vector<std::wstring>{L"W:", L"S:", L"M:"}));
}

TEST(SimLoader, DefaultsFollowTheMachine) {
  sim::SimMachine machine;
  sim::LoadError error;
  ASSERT_TRUE(sim::LoadMachine(R"({
    "disks": [{"partitions_reported": -2147483648},
              {"partitions": [{"label": "ESP"}, {"wmi": false},
                              {"letter": "e:", "label": null,
                               "null_properties": ["Dependent"]}]}],
    "drives": {"D:": "no-media"}
  })",
                               machine, error))
      << error.m_Path << ": " << error.m_What;
  ASSERT_EQ(machine.m_Disks.size(), 2u);
  EXPECT_EQ(machine.m_Disks[0].m_PartitionsReported, INT32_MIN);  // a count, not the default
  const sim::SimDisk& disk = machine.m_Disks[1];
  EXPECT_EQ(disk.m_Index, 1);
  EXPECT_EQ(disk.m_Caption, L"Simulated disk 1");
  EXPECT_EQ(disk.m_PartitionsReported, 2);  // the hidden partition is not counted
  EXPECT_EQ(disk.m_Partitions[0].m_Number, 1);
  EXPECT_EQ(disk.m_Partitions[2].m_Number, 3);
  EXPECT_EQ(disk.m_Partitions[0].m_Start, 1048576);
  EXPECT_EQ(disk.m_Partitions[0].m_Size, 100 * 1048576);
  EXPECT_EQ(disk.m_Partitions[1].m_Start, 101 * 1048576);
  EXPECT_EQ(disk.m_Size, disk.m_Partitions[2].m_Start + disk.m_Partitions[2].m_Size);
  EXPECT_FALSE(disk.m_Partitions[2].m_Label.has_value());
  EXPECT_EQ(disk.m_Partitions[2].m_NullProperties, std::vector<std::wstring>{L"Dependent"});
  EXPECT_FALSE(disk.m_Signature.has_value());
  EXPECT_EQ(machine.m_Firmware.m_Error, 1u);  // legacy BIOS

  // Letters before the run: the partition's, the drive's, and the program's own C:.
  EXPECT_EQ(machine.m_DosDevices.at(L"E:").front(), sim::PartitionDevicePath(1, 3));
  EXPECT_EQ(machine.m_DosDevices.at(L"D:").front(), sim::DriveDevicePath(L"D:"));
  EXPECT_NE(sim::FindFile(machine, L"C:\\Tools\\malvik.exe"), nullptr);
  EXPECT_EQ(machine.m_CurrentDirectory, L"C:\\Tools");
}

TEST(SimLoader, FilesKeepTheirFolders) {
  sim::SimMachine machine;
  sim::LoadError error;
  ASSERT_TRUE(sim::LoadMachine(R"({"disks": [{"partitions": [{"letter": "R:", "files": [
      "EFI/Microsoft/Boot/bootmgfw.efi", {"path": "EFI\\Microsoft\\Boot\\BCD", "hidden": true},
      "EFI/Microsoft/Boot/fonts/"]}]}]})",
                               machine, error));
  const sim::SimFile* pBcd = sim::FindFile(machine, L"r:\\efi\\microsoft\\boot\\bcd");
  ASSERT_NE(pBcd, nullptr);
  EXPECT_TRUE(pBcd->m_Hidden);
  EXPECT_FALSE(pBcd->m_Folder);
  ASSERT_NE(sim::FindFile(machine, L"R:\\EFI\\Microsoft"), nullptr);
  EXPECT_TRUE(sim::FindFile(machine, L"R:\\EFI\\Microsoft")->m_Folder);
  EXPECT_TRUE(sim::FindFile(machine, L"R:/EFI/Microsoft/Boot/fonts")->m_Folder);
}

}  // namespace
