// malvik-capture: describes the machine it runs on in the simulated-machine
// format, so that malvik-sim can replay a field run anywhere. Everything is
// asked through the platform seam and nothing on the machine is changed: no
// drive letter is defined or removed, and no file is written but the
// description itself (capture_output.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulator/description_format.h"

// A description as the capture builds it: its keys in the order they were
// added, so that it reads in the order people expect.
using JsonValue = nlohmann::ordered_json;

// Text in UTF-8 (platform::WideToUtf8).
JsonValue JsonString(const std::wstring& sz);
// UTF-16 text, as Windows gives labels and names, in UTF-8: a surrogate
// pair is one code point, an unpaired surrogate becomes U+FFFD.
JsonValue JsonString(const std::u16string& sz);
// Sets a key of the description's format in an object, and returns its value.
JsonValue& Add(JsonValue& object, description::Key key, JsonValue value);
// Appends to an array, and returns the item.
JsonValue& Push(JsonValue& array, JsonValue item);
// The description as text, indented by two spaces, ending in a line end.
std::string WriteJsonText(const JsonValue& value);

// The program the description's "program" names, in the program folder.
inline constexpr wchar_t kMalvikProgram[] = L"malvik.exe";

// Exit statuses of malvik-capture.exe.
constexpr int kCaptureWritten = 0;           // the description was written
// An unknown option, a missing value, an option twice, a --current-directory
// that cannot be found.
constexpr int kCaptureBadCommandLine = 2;
constexpr int kCaptureIncompleteFolder = 3;  // the program folder is not malvik's: nothing captured
constexpr int kCaptureNotWritten = 4;        // the output exists, is a folder, or was not written

// The options of malvik-capture.exe that take a value, which malvik-sim
// plan also passes on.
inline constexpr wchar_t kOutOption[] = L"--out";
inline constexpr wchar_t kProgramOption[] = L"--program";
inline constexpr wchar_t kCurrentDirectoryOption[] = L"--current-directory";
// Options of malvik-capture.exe that malvik-sim plan does not take: plan
// takes their advice out of what it passes on.
inline constexpr wchar_t kForceOption[] = L"--force";
inline constexpr wchar_t kAllowIncompleteOption[] = L"--allow-incomplete";

// The note of a capture made without a console, which plan settles by
// taking its own console's code pages.
inline constexpr wchar_t kNoConsoleNote[] =
    L"The capture ran without a console, so the code page of the console malvik runs in "
    L"is not known (malvik writes its batch file in it); the replay takes 437. Run the "
    L"capture in malvik's console, or supply it as console_code_page";

// Where the summary lists the notes: this, their number, "):", then one
// line "  - NOTE" each.
inline constexpr char kSummaryNotesHeading[] = "  notes (";

struct CaptureOptions {
  // The folder malvik runs from, full ("C:\Tools", "E:\"); empty: the
  // folder of the running program.
  std::wstring m_ProgramFolder;
  // How the program folder was settled and what it lacks: the first notes.
  std::vector<std::wstring> m_FolderNotes;
  // The folder malvik is started in, full ("C:\Work"); empty: not known, and
  // a note says what the replay assumes.
  std::wstring m_CurrentDirectory;
};

// The description of the machine, with a "notes" list of everything that
// could not be captured faithfully. Turns critical-error boxes off first.
JsonValue CaptureMachine(const CaptureOptions& options);

// What one run of malvik-capture.exe answers: its exit status, what goes to
// standard output (the description, or the help), and what goes to
// standard error (the summary, warnings and errors; UTF-8).
struct CaptureRun {
  int m_Status = kCaptureWritten;
  std::string m_Stdout;
  std::string m_Stderr;
};

// capture_command.cpp: malvik-capture.exe with these arguments (the
// program's name not among them).
CaptureRun RunCapture(const std::vector<std::wstring>& args);

// ---- the parts, one file each --------------------------------------------

// One partition as WMI lists it, or as only the disk's partition table
// holds it, with what the volumes tell about it.
struct CapturedPartition {
  bool m_Wmi = true;   // WMI lists it; false: only the partition table does
  int m_WmiIndex = 0;  // the k of "Disk #N, Partition #k"
  std::wstring m_Type;
  std::int64_t m_Start = 0;
  std::int64_t m_Size = 0;
  std::wstring m_Letter;  // "E:", or empty
  int m_Number = 0;       // the M of \Device\HarddiskN\PartitionM; 0: not known
  // m_Number is its WMI position + 1 (moved past numbers taken), where
  // neither a letter nor the disk's partition table gave one.
  bool m_NumberGuessed = false;
};

struct CapturedDisk {
  JsonValue m_Json;  // the disk's keys, partitions not yet among them
  int m_Index = 0;
  std::vector<CapturedPartition> m_Partitions;
  // WMI gives its number (Index, or DeviceID); false: m_Index is a guess.
  bool m_NumberKnown = true;
  std::wstring m_DeviceId;  // "its DeviceID is \"...\"", or "... is null"
  std::wstring m_MediaType;             // as WMI gives it; empty when it gives none
  std::vector<std::wstring> m_Missing;  // the properties WMI does not provide for it
  bool m_Fixed = false;  // malvik's inventory finds it: WMI answers it to kFixedDiskQuery
  // Its partition table was read: every partition has its number from it,
  // and the partitions WMI does not list are among m_Partitions.
  bool m_TableRead = false;
  std::uint32_t m_TableError = 0;  // why its partition table could not be read
};

// capture_disks.cpp: every disk WMI lists, its partitions and the letters
// WMI ties to them, which of them malvik's inventory finds, and, from each
// disk's partition table, the partitions' numbers and the partitions WMI
// does not list. False when WMI could not be asked; notes say why.
bool CaptureDisks(std::vector<CapturedDisk>& disks, std::vector<std::wstring>& notes);

// capture_paths.cpp: the entries of the paths malvik looks at on the volume
// of szLetter ("E:", or a volume path without its trailing backslash), plus
// the program folder's own files when it lies there (its path below the
// root, "Tools", or "" for the root itself), as a "files" list; the paths
// whose reading was denied go to unknown, as an "unknown" list.
JsonValue CapturePaths(const std::wstring& szLetter,
                       const std::optional<std::wstring>& programFolder, JsonValue& unknown);

// program_folder.cpp: the program folder as the capture settles and checks
// it, from --program (szGiven) or, when that is empty, the capture's own
// folder.
struct ProgramFolderCheck {
  std::wstring m_Folder;  // full: "C:\Tools", "E:\"; empty when it could not be made full
  bool m_Given = false;   // named by --program
  std::vector<std::wstring> m_Found;  // malvik.exe and the scripts it holds
  std::vector<std::wstring> m_Settled;  // how --program became m_Folder, each a sentence
  std::vector<std::wstring> m_Lacks;    // what makes it no program folder, each a sentence
};
ProgramFolderCheck CheckProgramFolder(const std::wstring& szGiven);

// The folder of the running program: "E:\tools" for E:\tools\malvik-capture.exe.
std::wstring OwnFolder();

// Starts with a drive letter, a colon and a backslash.
bool IsFullFolder(const std::wstring& sz);

// szGiven ("..\Tools", "OEM", "\Tools", "D:Tools", "C:/Tools/") as a full
// folder against the current folder szCurrent, "." and ".." folded, with
// backslashes and no trailing one but a root's. A name that starts with two
// backslashes (a share) is kept as it is. Empty when szGiven is relative
// and szCurrent has no drive letter.
std::wstring FullFolder(const std::wstring& szGiven, const std::wstring& szCurrent);

// capture_output.cpp: why szOut cannot be the output (a folder, or an
// existing file while bReplace is false), as a sentence; empty when it can.
std::wstring OutputRefused(const std::wstring& szOut, bool bReplace);
// szText into szOut, through a new file of its own beside it renamed into
// place; an existing szOut is replaced only when bReplace. The caller asks
// OutputRefused first, before capturing; a file that came since is kept
// all the same. Empty when
// written, otherwise why not, as a sentence, which names the file the
// description was kept in when only the rename failed.
std::wstring WriteOutputFile(const std::wstring& szOut, const std::string& szText, bool bReplace);

// capture_words.cpp: a system error in words: "error 5: Access is denied",
// or "error 5" when the system has no text for it.
std::wstring ErrorWords(std::uint32_t nError);
// The note for a text Windows gave (a label, a name) that holds an unpaired
// UTF-16 surrogate, which UTF-8 cannot carry and the description gives as
// U+FFFD: szWhat ("The label of C:") names it, the note says where each was
// and what the text became. Empty when the text holds none.
std::wstring AlteredTextNote(const std::wstring& szWhat, const std::wstring& szText);
// The console summary of a description: what it found and its notes.
std::string SummaryText(const JsonValue& machine, const ProgramFolderCheck& folder);
