// malvik-capture on the simulated machine: a described machine is captured
// through the platform seam, the capture is loaded again, and what malvik
// can see of both must be equal.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "capture/capture.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_loader.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_text.h"

namespace {

// What a capture can see of a machine, as comparable text: every label and
// file entry, lettered or not; file contents do not count.
std::string Visible(sim::SimMachine& machine) {
  std::ostringstream out;
  auto files = [&](const sim::SimVolumeFiles& volume) {
    for (const auto& [szKey, file] : volume.m_Entries) {
      out << "    " << sim::ToUtf8(szKey) << (file.m_Folder ? "/" : "")
          << (file.m_Hidden ? " h" : "") << "\n";
    }
  };
  out << sim::ToUtf8(machine.m_Name) << " " << sim::ToUtf8(machine.m_Program) << " "
      << machine.m_StartMs << " fw " << machine.m_Firmware.m_Succeeds << machine.m_Firmware.m_Error
      << "\n";
  for (const sim::SimDisk& disk : machine.m_Disks) {
    out << "disk " << disk.m_Index << " " << sim::ToUtf8(disk.m_Caption.value_or(L"")) << "|"
        << sim::ToUtf8(disk.m_MediaType) << "|" << disk.m_Size << "|"
        << (disk.m_Signature ? std::to_string(*disk.m_Signature) : "null") << "|"
        << (disk.m_PartitionsReported ? std::to_string(*disk.m_PartitionsReported) : "default")
        << "|";
    std::set<std::wstring> nulls(disk.m_NullProperties.begin(), disk.m_NullProperties.end());
    for (const std::wstring& sz : nulls) out << sim::ToUtf8(sz) << ",";
    out << "\n";
    for (const sim::SimPartition& part : disk.m_Partitions) {
      out << "  part " << part.m_Number << " " << sim::ToUtf8(part.m_Type) << " " << part.m_Start
          << "+" << part.m_Size << " " << sim::ToUtf8(part.m_Letter) << " "
          << sim::ToUtf8(part.m_Label.value_or(L"")) << " " << part.m_Unreadable << "\n";
      files(part.m_Files);
    }
  }
  for (const auto& [szLetter, drive] : machine.m_Drives) {
    out << "drive " << sim::ToUtf8(szLetter) << " " << drive.m_NoMedia << " "
        << sim::ToUtf8(drive.m_Label) << "\n";
    files(drive.m_Files);
  }
  return out.str();
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
    const char* m_Note;  // a note the capture must make, or ""
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
       "without a drive letter"},
      {"media types, null properties, no media",
       R"({"name": "mixed", "firmware": {"error": 5}, "costs": {"all": 0},
           "program": "D:\\malvik.exe",
           "disks": [{"index": 2, "media_type": "Removable Media"},
                     {"index": 0, "signature": 1234,
                      "null_properties": ["Size", "Caption", "Partitions"],
                      "partitions": [{"letter": "D:", "label": "Data",
                                      "files": ["modifybcdtoPBR.cmd"]},
                                     {"letter": "E:", "unreadable": true}]},
                     {"index": 1, "media_type": "External hard disk media", "caption": "USB",
                      "partitions": [{"letter": "U:", "label": "System Reserved"}]}],
           "drives": {"N:": "no-media", "V:": {"label": "pqservice", "files": ["Zeph_XP/"]}}})",
       "modifybcdtoPBR.cmd: what it does"},
      {"every letter taken", EveryLetterTaken(), ""},
      {"ESP, recovery and reset reached by their volumes only",
       R"({"name": "unlettered", "firmware": "uefi", "costs": {"all": 0},
           "disks": [{"partitions": [
             {"number": 1, "label": "ESP", "type": "GPT: System",
              "files": [{"path": "EFI/Microsoft/Boot/BCD", "hidden": true}, "EFI/OEM/Boot/"]},
             {"number": 3, "label": "Windows", "letter": "C:", "files": ["Tools/Log/"]},
             {"number": 4, "label": "RECOVERY", "files": ["Zeph_WIN8/"]},
             {"number": 5, "label": "PUSH BUTTON RESET", "files": ["Zeph2/"]},
             {"number": 6, "unreadable": true}]}]})",
       "numbered by their WMI position"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    sim::SimMachine original;
    sim::LoadError error;
    ASSERT_TRUE(sim::LoadMachine(c.m_Json, original, error))
        << error.m_Path << ": " << error.m_What;
    const std::string szExpected = Visible(original);
    // Only the paths malvik looks at are captured, never the rest of a volume.
    sim::AddFile(*sim::FindVolumeByLetter(original, original.m_Program.substr(0, 2)).Files(),
                 L"Users/secret.txt", false, false, "");

    std::string szCaptured;
    {
      sim::ScopedSimMachine installed(original);
      szCaptured = WriteJsonText(CaptureMachine({}));
    }
    sim::SimMachine replayed;
    ASSERT_TRUE(sim::LoadMachine(szCaptured, replayed, error))
        << error.m_Path << ": " << error.m_What << "\n" << szCaptured;
    EXPECT_EQ(Visible(replayed), szExpected) << szCaptured;
    EXPECT_EQ(szCaptured.find("secret"), std::string::npos);
    EXPECT_TRUE(original.m_DosDevices == replayed.m_DosDevices) << "letters changed by the capture";
    EXPECT_TRUE(original.m_Dialogs.empty()) << "a volume read raised a box";
    bool bNoted = *c.m_Note == '\0';
    for (const std::wstring& sz : replayed.m_Notes) {
      bNoted = bNoted || sim::ToUtf8(sz).find(c.m_Note) != std::string::npos;
    }
    EXPECT_TRUE(bNoted) << c.m_Note << "\n" << szCaptured;
  }
}

}  // namespace
