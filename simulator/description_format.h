// The machine description's format, defined once: every key, where it sits,
// its type, its range, whether it may be null, whether malvik-capture writes
// it, and the line that documents it. The loader reads through this table,
// the capture and DescribeMachine write through it, and the documentation's
// key table is made from it. Nothing here knows how the machine works, so
// malvik-capture links it without the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

namespace description {

// Where a key sits: in which object of the description.
enum class Place {
  kMachine,    // the top level
  kFirmware,   // "firmware" in its object form
  kDisk,       // an item of "disks"
  kPartition,  // an item of a disk's "partitions"
  kDrive,      // a value of "drives" in its object form
  kFile,       // an item of "files" (or a script's "creates") in its object form
  kScript,     // a value of "scripts"
  kFaults,     // "faults"
  kWmiFault,   // an item of "faults.wmi"
  kCosts,      // "costs"
  kCount
};

enum class Type { kText, kWholeNumber, kBoolean, kList, kObject, kTextOrObject };

// Whether malvik-capture writes a key.
enum class Captured {
  kNo,
  kAsFound,   // as the machine has it: a replay of the capture holds the same
  kOwnWords,  // what the capture says of its own (its notes)
};

// Every key, in the table's order.
enum class Key {
  kName, kProgram, kCurrentDirectory, kArguments, kWindowsDirectory, kClock, kConsoleCodePage,
  kAnsiCodePage, kFirmware, kDisks, kDrives, kScripts, kFaults, kCosts, kNotes,
  kFirmwareError,
  kDiskIndex, kDiskCaption, kDiskMediaType, kDiskSize, kDiskSignature, kDiskPartitionsReported,
  kDiskNullProperties, kDiskPartitions,
  kPartitionNumber, kPartitionLabel, kPartitionUnreadable, kPartitionType, kPartitionWmi,
  kPartitionStart, kPartitionSize, kPartitionLetter, kPartitionFiles, kPartitionUnknown,
  kPartitionNullProperties,
  kDriveLabel, kDriveFiles, kDriveUnknown,
  kFilePath, kFileHidden, kFileText,
  kScriptExitCode, kScriptOutput, kScriptRunMs, kScriptCreates,
  kFaultWmi, kFaultDefineFails, kFaultLogicalDrives, kFaultDriveStrings, kFaultProcessStart,
  kFaultProfileWrite, kFaultBatchCreate, kFaultBatchRename, kFaultFrameworkInit,
  kFaultLogFolder, kFaultExitCodeQuery, kFaultPartitionTable,
  kWmiFaultAttempt, kWmiFaultCall,
  kCostWmiQuery, kCostWmiNext, kCostVolumeQuery, kCostDefine, kCostProfileWrite, kCostFile,
  kCostOther, kCostAll,
  kCount
};

struct KeyRow {
  Key m_Key;
  Place m_Place;
  const char* m_szName;
  Type m_Type;
  // A whole number's range; other types say theirs in m_szRange.
  std::int64_t m_nMin;
  std::int64_t m_nMax;
  const char* m_szRange;  // the values allowed, in words; "" for any of the type
  bool m_Nullable;        // null is allowed (and means what m_szMeaning says)
  Captured m_Captured;
  const char* m_szMeaning;  // the one line of documentation, Markdown
  // A valid value other than the default, as JSON text: the tests load it
  // to show the key is read and written.
  const char* m_szExample;
};

// The words some values are given.
inline constexpr char kNoMediaWord[] = "no-media";    // a drive that cannot be read
inline constexpr char kEveryAttemptWord[] = "all";    // a WMI fault's attempt
inline constexpr char kFailWord[] = "fail";           // a fault given as a word

inline constexpr std::int64_t kNoMax = std::numeric_limits<std::int64_t>::max();
inline constexpr std::int64_t kU32 = 0xFFFFFFFF;
inline constexpr std::int64_t kI32Min = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int64_t kI32Max = std::numeric_limits<std::int32_t>::max();

// The most milliseconds a cost may be: an hour per call.
inline constexpr std::int64_t kMaxCostMs = 3600000;

// clang-format off
inline constexpr KeyRow kKeyRows[] = {
  // ---- the top level
  {Key::kName, Place::kMachine, "name", Type::kText, 0, 0, "", false, Captured::kAsFound,
   "free text the report and `check` show (default \"\")", R"("a machine")"},
  {Key::kProgram, Place::kMachine, "program", Type::kText, 0, 0,
   "a full path with a drive letter, naming a file, no empty, `.` or `..` component", false,
   Captured::kAsFound,
   "malvik's full path; its folder is the program folder (default `C:\\Tools\\malvik.exe`)",
   R"("D:\\OEM\\malvik.exe")"},
  {Key::kCurrentDirectory, Place::kMachine, "current_directory", Type::kText, 0, 0,
   "`X:\\` or `X:\\FOLDER...`, no empty, `.` or `..` component", false, Captured::kAsFound,
   "the folder malvik starts in (default: the program folder); malvik-capture writes it with "
   "`--current-directory`", R"("C:\\Work")"},
  {Key::kArguments, Place::kMachine, "arguments", Type::kList, 0, 0,
   "texts without U+0000", false, Captured::kNo,
   "malvik's own command-line arguments (default none); arguments given after `--` replace "
   "them", R"(["W:", "R:", "M:"])"},
  {Key::kWindowsDirectory, Place::kMachine, "windows_directory", Type::kText, 0, 0,
   "as `current_directory`", false, Captured::kAsFound,
   "the folder of the running Windows (default `C:\\Windows`)", R"("D:\\Windows")"},
  {Key::kClock, Place::kMachine, "clock", Type::kText, 0, 0, "`YYYY-MM-DDTHH:MM:SS.mmm`", false,
   Captured::kAsFound, "the local time at the start (default `2026-01-01T00:00:00.000`)",
   R"("2026-03-07T09:05:02.045")"},
  {Key::kConsoleCodePage, Place::kMachine, "console_code_page", Type::kWholeNumber, 0, kU32,
   "437, 850, 1252, 65000, 65001, or 0 (no console)", false, Captured::kAsFound,
   "the console's code page (`chcp`), input and output alike, which the batch file is written "
   "in (default 437)", "850"},
  {Key::kAnsiCodePage, Place::kMachine, "ansi_code_page", Type::kWholeNumber, 0, kU32,
   "437, 850, 1252, 65000 or 65001", false, Captured::kAsFound,
   "the system's ANSI code page, which a new `Malvik.log` is written in (default 1252)",
   "65001"},
  {Key::kFirmware, Place::kMachine, "firmware", Type::kTextOrObject, 0, 0,
   "`\"uefi\"`, `\"legacy\"`, `\"succeeds\"` or `{\"error\": N}`", false, Captured::kAsFound,
   "what the firmware-variable probe answers (default `\"legacy\"`)", R"("uefi")"},
  {Key::kDisks, Place::kMachine, "disks", Type::kList, 0, 0, "disk objects, indexes unique",
   false, Captured::kAsFound, "the machine's disks, in the order WMI lists them (default none)",
   R"([{"index": 4}])"},
  {Key::kDrives, Place::kMachine, "drives", Type::kObject, 0, 0,
   "letter: `\"no-media\"` or a drive object", false, Captured::kAsFound,
   "lettered volumes on no listed disk (default none)", R"({"E:": "no-media"})"},
  {Key::kScripts, Place::kMachine, "scripts", Type::kObject, 0, 0,
   "file name: script object", false, Captured::kNo,
   "what each script of the program folder does when the batch file hands over to it "
   "(default: exit code 0, no output)", R"({"modifybcdtoPBR.cmd": {}})"},
  {Key::kFaults, Place::kMachine, "faults", Type::kObject, 0, 0, "", false, Captured::kNo,
   "platform calls that fail (default none)", R"({"logical_drives": "fail"})"},
  {Key::kCosts, Place::kMachine, "costs", Type::kObject, 0, 0, "", false, Captured::kNo,
   "simulated milliseconds platform calls take", R"({"all": 0})"},
  {Key::kNotes, Place::kMachine, "notes", Type::kList, 0, 0, "texts", false, Captured::kOwnWords,
   "what a capture could not see, for the report (default none)", R"(["a note"])"},
  // ---- firmware as an object
  {Key::kFirmwareError, Place::kFirmware, "error", Type::kWholeNumber, 0, kU32, "", false,
   Captured::kAsFound, "the error the probe fails with", "87"},
  // ---- a disk
  {Key::kDiskIndex, Place::kDisk, "index", Type::kWholeNumber, 0, 998, "", false,
   Captured::kAsFound, "Windows' disk number, the N of `\\Device\\HarddiskN` (default: its "
   "position)", "3"},
  {Key::kDiskCaption, Place::kDisk, "caption", Type::kText, 0, 0, "", false, Captured::kAsFound,
   "WMI's `Caption` (default `Simulated disk N`)", R"("NVMe")"},
  {Key::kDiskMediaType, Place::kDisk, "media_type", Type::kText, 0, 0, "", false,
   Captured::kAsFound, "WMI's `MediaType`; only text matching `Fixed%hard%disk%media` is "
   "found by malvik's inventory (default `Fixed hard disk media`)", R"("Removable Media")"},
  {Key::kDiskSize, Place::kDisk, "size", Type::kWholeNumber, 0, kNoMax, "", false,
   Captured::kAsFound, "WMI's `Size` in bytes (default: the end of its last partition)",
   "1000000000"},
  {Key::kDiskSignature, Place::kDisk, "signature", Type::kWholeNumber, 0, kU32, "", true,
   Captured::kAsFound, "WMI's `Signature`; null: none (default null)", "77"},
  {Key::kDiskPartitionsReported, Place::kDisk, "partitions_reported", Type::kWholeNumber,
   kI32Min, kI32Max, "", false, Captured::kAsFound,
   "WMI's `Partitions` (default: its partitions WMI lists)", "-1"},
  {Key::kDiskNullProperties, Place::kDisk, "null_properties", Type::kList, 0, 0,
   "any of `Size`, `Partitions`, `Signature`, `DeviceID`, `Caption`, `Index`", false,
   Captured::kAsFound, "the disk's properties WMI reports as null (default none)",
   R"(["Caption"])"},
  {Key::kDiskPartitions, Place::kDisk, "partitions", Type::kList, 0, 0,
   "partition objects, numbers unique, no two sharing a byte", false, Captured::kAsFound,
   "its partitions, in on-disk order (default none)", R"([{}])"},
  // ---- a partition
  {Key::kPartitionNumber, Place::kPartition, "number", Type::kWholeNumber, 1, 4096, "", false,
   Captured::kAsFound, "the M of `\\Device\\HarddiskN\\PartitionM` (default: its position + 1)",
   "7"},
  {Key::kPartitionLabel, Place::kPartition, "label", Type::kText, 0, 0, "no U+0000", true,
   Captured::kAsFound, "the volume label; null: WMI's `VolumeName` is null (default \"\")",
   R"("ESP")"},
  {Key::kPartitionUnreadable, Place::kPartition, "unreadable", Type::kBoolean, 0, 0, "", false,
   Captured::kAsFound, "true: no readable volume (raw, locked); every volume query on it fails "
   "(default false)", "true"},
  {Key::kPartitionType, Place::kPartition, "type", Type::kText, 0, 0, "", false,
   Captured::kAsFound, "WMI's `Type` (default `GPT: Basic Data`)", R"("GPT: System")"},
  {Key::kPartitionWmi, Place::kPartition, "wmi", Type::kBoolean, 0, 0, "", false,
   Captured::kAsFound, "false: WMI does not list it, as an MSR partition (default true)",
   "false"},
  {Key::kPartitionStart, Place::kPartition, "start", Type::kWholeNumber, 0, kNoMax, "", false,
   Captured::kAsFound, "its first byte (default: after the one before, 1 MiB aligned)",
   "2097152"},
  {Key::kPartitionSize, Place::kPartition, "size", Type::kWholeNumber, 0, kNoMax, "", false,
   Captured::kAsFound, "its length in bytes (default 100 MiB)", "16777216"},
  {Key::kPartitionLetter, Place::kPartition, "letter", Type::kText, 0, 0, "`A:` to `Z:`", true,
   Captured::kAsFound, "its drive letter before the run; null: none (default null)",
   R"("E:")"},
  {Key::kPartitionFiles, Place::kPartition, "files", Type::kList, 0, 0,
   "paths below the root (a trailing separator: a folder) or file objects", false,
   Captured::kAsFound, "its files and folders (default none)", R"(["EFI/OEM/"])"},
  {Key::kPartitionUnknown, Place::kPartition, "unknown", Type::kList, 0, 0,
   "paths below the root", false, Captured::kAsFound,
   "paths a capture could not read; the run sees them as absent (default none)",
   R"(["Recovery/WindowsRE/Winre.wim"])"},
  {Key::kPartitionNullProperties, Place::kPartition, "null_properties", Type::kList, 0, 0,
   "any of `Antecedent`, `Dependent`, `StartingAddress`, `EndingAddress`", false,
   Captured::kNo, "properties of its disk-to-partition association WMI reports as null "
   "(default none)", R"(["Dependent"])"},
  // ---- a drive on no listed disk
  {Key::kDriveLabel, Place::kDrive, "label", Type::kText, 0, 0, "no U+0000", false,
   Captured::kAsFound, "its volume label (default \"\")", R"("DATA")"},
  {Key::kDriveFiles, Place::kDrive, "files", Type::kList, 0, 0, "as a partition's", false,
   Captured::kAsFound, "its files and folders (default none)", R"(["Zeph2/"])"},
  {Key::kDriveUnknown, Place::kDrive, "unknown", Type::kList, 0, 0, "as a partition's", false,
   Captured::kAsFound, "paths a capture could not read (default none)", R"(["Zeph_XP"])"},
  // ---- a file in its object form
  {Key::kFilePath, Place::kFile, "path", Type::kText, 0, 0,
   "below the volume root; no drive letter, leading separator, empty, `.` or `..` component "
   "or character Windows forbids", false, Captured::kAsFound,
   "the entry's path (required); a trailing separator makes a folder", R"("Tools/a.txt")"},
  {Key::kFileHidden, Place::kFile, "hidden", Type::kBoolean, 0, 0, "", false,
   Captured::kAsFound, "true: the entry is hidden (default false)", "true"},
  {Key::kFileText, Place::kFile, "text", Type::kText, 0, 0, "", false, Captured::kNo,
   "the file's content (default empty)", R"("BCD updated")"},
  // ---- a script
  {Key::kScriptExitCode, Place::kScript, "exit_code", Type::kWholeNumber, 0, kU32, "", false,
   Captured::kNo, "the exit code it ends with (default 0)", "7"},
  {Key::kScriptOutput, Place::kScript, "output", Type::kText, 0, 0, "", false, Captured::kNo,
   "a line appended to the redirect target (default none)", R"("BCD updated")"},
  {Key::kScriptRunMs, Place::kScript, "run_ms", Type::kWholeNumber, 0, kU32, "", false,
   Captured::kNo, "how long it runs, in simulated milliseconds (default 0)", "1500"},
  {Key::kScriptCreates, Place::kScript, "creates", Type::kList, 0, 0, "as a partition's files",
   false, Captured::kNo,
   "files it leaves on the volume of its first argument (default none)",
   R"([{"path": "EFI/OEM/Boot/BCD", "hidden": true}])"},
  // ---- faults
  {Key::kFaultWmi, Place::kFaults, "wmi", Type::kList, 0, 0, "WMI fault objects", false,
   Captured::kNo, "WMI calls that fail, by attempt", R"([{"attempt": 0, "call": "Next:1"}])"},
  {Key::kFaultDefineFails, Place::kFaults, "define_fails", Type::kList, 0, 0, "drive letters",
   false, Captured::kNo, "letters for which every definition fails", R"(["M:"])"},
  {Key::kFaultLogicalDrives, Place::kFaults, "logical_drives", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "the drive-mask call fails", R"("fail")"},
  {Key::kFaultDriveStrings, Place::kFaults, "drive_strings", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "the drive-root list call fails", R"("fail")"},
  {Key::kFaultProcessStart, Place::kFaults, "process_start", Type::kWholeNumber, 1, kU32, "",
   false, Captured::kNo, "starting a child process fails with this error", "2"},
  {Key::kFaultProfileWrite, Place::kFaults, "profile_write", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "every log write fails", R"("fail")"},
  {Key::kFaultBatchCreate, Place::kFaults, "batch_create", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "the batch file cannot be created", R"("fail")"},
  {Key::kFaultBatchRename, Place::kFaults, "batch_rename", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "the written batch file cannot be renamed into place", R"("fail")"},
  {Key::kFaultFrameworkInit, Place::kFaults, "framework_init", Type::kText, 0, 0, "`\"fail\"`",
   false, Captured::kNo, "the program's framework does not start", R"("fail")"},
  {Key::kFaultLogFolder, Place::kFaults, "log_folder", Type::kText, 0, 0, "`\"fail\"`", false,
   Captured::kNo, "creating the program's Log folder fails", R"("fail")"},
  {Key::kFaultExitCodeQuery, Place::kFaults, "exit_code_query", Type::kText, 0, 0,
   "`\"fail\"`", false, Captured::kNo, "asking a started child for its exit code fails",
   R"("fail")"},
  {Key::kFaultPartitionTable, Place::kFaults, "partition_table", Type::kText, 0, 0,
   "`\"fail\"`", false, Captured::kNo, "no disk answers its partition table", R"("fail")"},
  // ---- one WMI fault
  {Key::kWmiFaultAttempt, Place::kWmiFault, "attempt", Type::kWholeNumber, 0, 1000000,
   "or `\"all\"`", false, Captured::kNo, "the attempt that fails, counted from 0 (required)",
   R"("all")"},
  {Key::kWmiFaultCall, Place::kWmiFault, "call", Type::kText, 0, 0,
   "`CoInitializeEx`, `CoInitializeSecurity`, `CoInitializeSecurity:too_late`, "
   "`CoCreateInstance`, `ConnectServer`, `CoSetProxyBlanket`, `ExecQuery:N`, `Next:N`",
   false, Captured::kNo, "the call that fails in it (required)", R"("ExecQuery:2")"},
  // ---- costs
  {Key::kCostWmiQuery, Place::kCosts, "wmi_query", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "a WMI query (default 20)", "5"},
  {Key::kCostWmiNext, Place::kCosts, "wmi_next", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "a WMI enumeration step (default 2)", "5"},
  {Key::kCostVolumeQuery, Place::kCosts, "volume_query", Type::kWholeNumber, 0, kMaxCostMs, "",
   false, Captured::kNo, "a volume query (default 1)", "5"},
  {Key::kCostDefine, Place::kCosts, "define", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "a drive-letter definition (default 1)", "5"},
  {Key::kCostProfileWrite, Place::kCosts, "profile_write", Type::kWholeNumber, 0, kMaxCostMs, "",
   false, Captured::kNo, "a log write (default 1)", "5"},
  {Key::kCostFile, Place::kCosts, "file", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "a file call (default 1)", "5"},
  {Key::kCostOther, Place::kCosts, "other", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "any other call (default 0)", "5"},
  {Key::kCostAll, Place::kCosts, "all", Type::kWholeNumber, 0, kMaxCostMs, "", false,
   Captured::kNo, "every cost above at once; a cost given beside it wins", "0"},
};
// clang-format on

constexpr bool RowsInKeyOrder() {
  for (std::size_t i = 0; i < std::size(kKeyRows); ++i) {
    if (static_cast<std::size_t>(kKeyRows[i].m_Key) != i) return false;
  }
  return std::size(kKeyRows) == static_cast<std::size_t>(Key::kCount);
}
static_assert(RowsInKeyOrder(), "kKeyRows holds one row per Key, in Key's order");

constexpr const KeyRow& Row(Key key) { return kKeyRows[static_cast<std::size_t>(key)]; }
constexpr const char* Name(Key key) { return Row(key).m_szName; }

// The place of the objects a key's value holds: an object of that place
// (firmware), a list of them (disks), or an object of them by name (drives,
// scripts); kCount: none.
constexpr Place Holds(Key key) {
  switch (key) {
    case Key::kFirmware: return Place::kFirmware;
    case Key::kDisks: return Place::kDisk;
    case Key::kDiskPartitions: return Place::kPartition;
    case Key::kDrives: return Place::kDrive;
    case Key::kPartitionFiles:
    case Key::kDriveFiles:
    case Key::kScriptCreates: return Place::kFile;
    case Key::kScripts: return Place::kScript;
    case Key::kFaults: return Place::kFaults;
    case Key::kFaultWmi: return Place::kWmiFault;
    case Key::kCosts: return Place::kCosts;
    default: return Place::kCount;
  }
}

// The row of the key szName at place, or nullptr: a key the format does not have.
const KeyRow* FindKey(Place place, std::string_view szName);

// "top level", "disk", "partition", ...
const char* PlaceWords(Place place);
// "text", "whole number", ...
const char* TypeWords(Type type);
// What a row allows, in words: a whole number's range, or m_szRange.
std::string RangeWords(const KeyRow& row);

// The documentation's key table, in Markdown: one line per key, in the
// table's order, ending in a line end.
std::string KeyTableMarkdown();

}  // namespace description
