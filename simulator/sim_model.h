// The simulated machine's model: the description a deployment engineer
// writes (disks, partitions, drives, files, firmware, scripts, faults, costs,
// clock) and the state a run changes and records (DOS devices, files,
// current directory, clock, what the program showed and wrote, the child
// processes it started). Plain structs; the platform/sim/*_sim.cpp files
// answer the platform calls from them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_codes.h"

namespace sim {

// What a copy made by XCOPY carries as the program that wrote it.
inline constexpr wchar_t kCopyProgram[] = L"XCOPY";

// One file or folder on a volume. Paths are relative to the volume root,
// with backslashes, no leading or trailing separator.
struct SimFile {
  std::wstring m_Path;
  bool m_Folder = false;
  bool m_Hidden = false;
  // Read-only: it is neither written, replaced nor deleted. A description
  // cannot give it; a test sets it.
  bool m_ReadOnly = false;
  std::string m_Bytes;
  // Which program of the run made it: "XCOPY" for a copy, a script's file
  // name for what a hand-over script left; empty: it was there before.
  std::wstring m_WrittenBy;
};

// Files of one volume, keyed by the upper-cased path (the file system
// ignores case, but keeps the case a name was created with).
struct SimVolumeFiles {
  std::map<std::wstring, SimFile> m_Entries;
};

struct SimPartition {
  int m_Number = 1;                     // the M of \Device\HarddiskN\PartitionM
  std::optional<std::wstring> m_Label;  // nullopt: WMI "VolumeName" is null
  bool m_Unreadable = false;
  std::wstring m_Type = L"GPT: Basic Data";
  bool m_Wmi = true;
  std::int64_t m_Start = -1;  // -1: after the previous partition, 1 MiB aligned
  std::int64_t m_Size = -1;   // -1: 100 MiB
  std::wstring m_Letter;  // letter before the run ("E:"), or empty
  SimVolumeFiles m_Files;
  // Paths (as in m_Files) a capture could not read: whether they exist is
  // unknown, and the run sees them as absent.
  std::vector<std::wstring> m_UnknownPaths;
  std::vector<std::wstring> m_NullProperties;  // of its association: "Dependent", ...
};

struct SimDisk {
  int m_Index = 0;
  std::optional<std::wstring> m_Caption;  // nullopt: "Simulated disk N"
  std::wstring m_MediaType = L"Fixed hard disk media";
  std::int64_t m_Size = -1;  // -1: the end of its last partition
  std::optional<std::int64_t> m_Signature;
  std::optional<std::int32_t> m_PartitionsReported;  // nullopt: its partitions that WMI lists
  std::vector<std::wstring> m_NullProperties;
  std::vector<SimPartition> m_Partitions;
};

// A lettered volume that is not a partition of a listed disk.
struct SimDrive {
  bool m_NoMedia = false;
  std::wstring m_Label;
  SimVolumeFiles m_Files;
  std::vector<std::wstring> m_UnknownPaths;  // as on a partition
};

struct SimScript {
  std::uint32_t m_ExitCode = 0;
  std::optional<std::string> m_Output;
  std::uint32_t m_RunMs = 0;  // how long the script runs
  // What it leaves on the volume of its first argument (the EFI system
  // partition's letter), as a boot-configuration script rebuilds \EFI\OEM's
  // store there.
  SimVolumeFiles m_Creates;
};

struct SimWmiFault {
  int m_Attempt = -1;  // -1: every attempt
  std::string m_Call;  // "ConnectServer", "ExecQuery:2", "Next:1", ...
};

struct SimFaults {
  std::vector<SimWmiFault> m_Wmi;
  std::vector<std::wstring> m_DefineFails;
  bool m_LogicalDrivesFail = false;
  bool m_DriveStringsFail = false;
  std::optional<std::uint32_t> m_ProcessStart;
  bool m_ProfileWriteFail = false;
  bool m_BatchCreateFail = false;
  bool m_BatchRenameFail = false;  // renaming the written batch file into place fails
  bool m_FrameworkInitFail = false;
  bool m_LogFolderFail = false;  // creating the program's Log folder fails
  bool m_ExitCodeQueryFail = false;  // asking a started child for its exit code fails
  bool m_PartitionTableFail = false;  // no disk answers its partition table
};

// Simulated milliseconds per platform call.
struct SimCosts {
  std::uint32_t m_WmiQuery = 20;
  std::uint32_t m_WmiNext = 2;
  std::uint32_t m_VolumeQuery = 1;
  std::uint32_t m_Define = 1;
  std::uint32_t m_ProfileWrite = 1;
  std::uint32_t m_File = 1;
  std::uint32_t m_Other = 0;
};

// A message box the program or the system showed; the simulated person
// dismisses it at once, and the clock does not stop for it.
struct SimDialog {
  std::wstring m_Title;
  std::wstring m_Text;
  std::wstring m_Buttons;  // "OK", "Cancel, Try Again, Continue"
  std::wstring m_Icon;     // "exclamation", "error"
};

// Firmware-variable probe outcome.
struct SimFirmware {
  bool m_Succeeds = false;
  std::uint32_t m_Error = platform::kERROR_INVALID_FUNCTION;  // legacy BIOS
};

// The arguments of one firmware-variable probe the program made.
struct SimFirmwareProbe {
  std::wstring m_Name;
  std::wstring m_Guid;
  std::uint32_t m_Size = 0;
};

// A profile write the program made, for the report.
struct SimProfileWrite {
  std::wstring m_File;
  std::wstring m_Section;
  std::wstring m_Key;
};

// One line of a batch file the interpreter model ran, and what it did.
struct SimBatchLine {
  std::wstring m_Line;
  std::wstring m_Did;
  std::uint32_t m_Code = 0;  // the interpreter's error level after it
};

// One command line the program asked to start, and what became of it.
struct SimProcessRun {
  std::wstring m_CommandLine;
  std::uint32_t m_StartError = 0;  // nonzero: it was not started
  std::wstring m_Program;          // what the platform started
  std::vector<SimBatchLine> m_Lines;
  std::uint32_t m_ExitCode = 0;
  bool m_ExitCodeRead = false;  // the program was told the exit code it ended with
  std::int64_t m_StartMs = 0;
  std::uint32_t m_RunMs = 0;
  bool m_Closed = false;  // its handles were closed

  // The batch file's hand-over to a script, as the interpreter model read
  // it: when the batch file ran, and when its start failed (then it names
  // the hand-over that did not run).
  std::wstring m_BatchFile;                   // absolute; empty: no batch file was read
  std::wstring m_HandOverScript;              // as the line names it; empty: no hand-over line
  std::vector<std::wstring> m_HandOverArgs;   // its arguments, up to any ">>"
  bool m_HandOverRan = false;                 // the script was found and ran
};

// Something the loader accepted in a description but a reader should know,
// such as a partition that ends past its disk's size.
struct SimLoadWarning {
  std::string m_Path;  // the JSON path: "disks[0].partitions[3]"
  std::string m_What;
};

// A label the letter rules judged: where they read it (a device path, or a
// drive root for a rule's letter scan), and the kind it made the volume
// (the special-partition table's word), empty for none.
struct SimLabelJudged {
  std::wstring m_Device;
  std::wstring m_Label;
  std::string m_Kind;
};

struct SimMachine {
  // --- the description
  std::wstring m_Name;
  std::vector<std::wstring> m_Notes;  // what a capture could not see, for the report
  std::vector<std::wstring> m_Arguments;  // malvik's own, after its name
  std::vector<SimLoadWarning> m_LoadWarnings;  // in the order of the description
  std::wstring m_Program = L"C:\\Tools\\malvik.exe";
  std::wstring m_CurrentDirectory;  // empty: the program's folder
  std::wstring m_WindowsDirectory = platform::kUsualWindowsFolder;  // the running Windows' folder
  std::int64_t m_ClockMs = 0;       // local time, milliseconds since 1970-01-01
  // The console's code pages (chcp) and the system's OEM one; a console code
  // page of 0: the program has no console.
  std::uint32_t m_ConsoleInputCodePage = 437;
  std::uint32_t m_ConsoleOutputCodePage = 437;
  std::uint32_t m_OemCodePage = 437;
  // The system's ANSI code page: a real machine's profile writer writes a new
  // log file in it, so a field log is read in it.
  std::uint32_t m_AnsiCodePage = 1252;
  bool m_AnsiCodePageGiven = false;  // the description names it
  SimFirmware m_Firmware;
  // The program runs elevated, as malvik is run in a factory or WinPE.
  // Without it the firmware probe fails for want of its privilege and no
  // disk's partition table can be read. A description cannot give it; a
  // test sets it.
  bool m_Elevated = true;
  std::vector<SimDisk> m_Disks;
  std::map<std::wstring, SimDrive> m_Drives;  // "D:" -> drive
  std::map<std::wstring, SimScript> m_Scripts;
  SimFaults m_Faults;
  SimCosts m_Costs;

  // --- state of a run
  // DOS devices: letter ("C:") -> definitions, newest first.
  std::map<std::wstring, std::vector<std::wstring>> m_DosDevices;
  std::int64_t m_StartMs = 0;
  std::uint32_t m_ErrorMode = 0;
  std::string m_Console;
  std::vector<SimDialog> m_Dialogs;
  std::vector<SimProfileWrite> m_ProfileWrites;
  std::vector<SimFirmwareProbe> m_FirmwareProbes;

  // COM and WMI bookkeeping.
  int m_ComInitCount = 0;     // CoInitializeEx calls not yet balanced
  bool m_ComSecuritySet = false;
  int m_WmiAttempt = -1;      // counted by CoInitializeEx calls
  int m_WmiQueries = 0;       // ExecQuery calls in this attempt
  int m_WmiNexts = 0;         // Next calls in this attempt
  int m_WmiLiveObjects = 0;   // handles handed out and not yet released
  int m_WmiLeakedAtUninit = 0;  // handles still held when COM was uninitialised

  // The labels the letter rules judged, in the order they did.
  std::vector<SimLabelJudged> m_LabelsJudged;

  // Child processes, in the order they were asked for.
  std::vector<SimProcessRun> m_Runs;

  // Absolute paths of the files written whole and of the files renamed into
  // place, in the order of the calls that succeeded.
  std::vector<std::wstring> m_FilesWritten;

  // Device path -> positions of its partition in m_Disks, built by
  // PrepareMachine so that a lookup does not walk every partition.
  std::map<std::wstring, std::pair<size_t, size_t>> m_PartitionIndex;
};

}  // namespace sim
