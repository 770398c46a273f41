// Everything malvik asks of Windows, as free functions in the program's own
// types. Two implementations define these symbols: platform/win32 calls the
// real API, platform/sim acts on a simulated machine. The build links one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Win32-style result codes the program looks at.
using HResult = std::int32_t;
constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kWBEM_S_FALSE = 1;
constexpr HResult kWBEM_S_TIMEDOUT = 0x40004;
constexpr HResult kRPC_E_TOO_LATE = static_cast<HResult>(0x80010119u);
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kWBEM_E_INVALID_QUERY = static_cast<HResult>(0x80041017u);

// What every call that changes the machine reports: whether it did, and
// GetLastError() read right after the call that failed.
struct CallResult {
  bool m_Ok = false;
  std::uint32_t m_LastError = 0;  // when m_Ok is false
};

// ---- Start-up and console -------------------------------------------------

// Console-program framework start-up: adds SEM_FAILCRITICALERRORS and
// SEM_NOOPENFILEERRORBOX to the process error mode (keeping the bits already
// set) and readies the message box titled with the program's name. False when
// start-up failed.
bool InitFramework();

// Modal message box with an OK button and the exclamation-mark icon, titled
// with the program's name. Blocks until dismissed.
void ShowMessageBox(const std::wstring& szText);

// Writes 8-bit text to standard output and flushes it.
void WriteStdout(std::string_view szText);

// The computer's NetBIOS name; empty when it cannot be read.
std::wstring GetMachineName();

// Full path of the running executable, whatever its length; empty when the
// platform cannot tell.
std::wstring ReadProgramPath();

// The folder of the running Windows, as the system keeps it
// (C:\Windows), whatever its length; empty when it cannot be read.
std::wstring ReadWindowsFolder();
// Where Windows usually lies: what a machine description means when it
// names no other.
inline constexpr wchar_t kUsualWindowsFolder[] = L"C:\\Windows";

// ---- Clock ----------------------------------------------------------------

struct LocalTime {
  int m_Year = 0;
  int m_Month = 0;
  int m_Day = 0;
  int m_Hour = 0;
  int m_Minute = 0;
  int m_Second = 0;
  int m_Milliseconds = 0;
};

// GetLocalTime: the local date and time.
LocalTime ReadLocalTime();

// Sleep: the calling thread waits nMilliseconds.
void Pause(std::uint32_t nMilliseconds);

// ---- Elevation ------------------------------------------------------------

struct Elevation {
  bool m_Known = false;     // the process token answered
  bool m_Elevated = false;  // it runs elevated: as administrator, past UAC
  std::uint32_t m_LastError = 0;  // when m_Known is false
};

// Whether this process runs elevated (its token's TokenElevation). Reads
// only.
Elevation ReadElevation();

// ---- Profile files --------------------------------------------------------

// WritePrivateProfileStringW: sets key=value in [section] of the file,
// creating the file (never its folder).
CallResult WriteProfileValue(const std::wstring& szSection, const std::wstring& szKey,
                             const std::wstring& szValue, const std::wstring& szFile);

// ---- Firmware -------------------------------------------------------------

struct FirmwareVariableResult {
  std::uint32_t m_BytesStored = 0;  // nonzero on success
  std::uint32_t m_LastError = 0;    // GetLastError() when m_BytesStored is 0
};

// GetFirmwareEnvironmentVariableW into a zero-filled buffer of nSize wide
// characters; the buffer's content is not returned, nobody reads it.
FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize);

// ---- Processes ------------------------------------------------------------
// The one child process the program starts. Opaque; each implementation
// defines it. Every process StartProcess hands out is ended with
// CloseProcess.

struct ChildProcess;

struct ProcessStart {
  ChildProcess* m_pProcess = nullptr;  // null when the start failed
  std::uint32_t m_LastError = 0;       // the error of a failed start
};

// Starts pCommandLine (NUL-terminated, writable: the platform may change it)
// with no application name, no handles inherited, in the caller's console,
// environment and current directory. Start-up information: the caller's
// own, with only the show-window flag set and nShowWindow as its value.
ProcessStart StartProcess(wchar_t* pCommandLine, std::uint16_t nShowWindow);

// The child's exit code, or kStillActive while it runs. False when the
// query itself failed (it cannot, on a process StartProcess handed out).
constexpr std::uint32_t kStillActive = 259;
bool QueryProcessExitCode(ChildProcess* pProcess, std::uint32_t* pExitCode);

// Waits at most nTimeoutMs for the child to end; true once it has ended.
bool WaitForProcess(ChildProcess* pProcess, std::uint32_t nTimeoutMs);

// Closes the process handle, then the thread handle, and frees pProcess.
void CloseProcess(ChildProcess* pProcess);

// ---- Files and folders ----------------------------------------------------

// CreateDirectoryW: creates one folder, never its parents.
CallResult CreateFolder(const std::wstring& szPath);

// A directory search (wildcards allowed) on szPath as given finds an entry,
// file or folder. The search is closed again.
bool SearchFindsEntry(const std::wstring& szPath);

// The process's current directory, whatever its length; empty when it
// cannot be read.
std::wstring GetCurrentFolder();
// Makes szPath the current directory.
CallResult SetCurrentFolder(const std::wstring& szPath);

// The shell's file operation: deletes every path of pPathList (paths each
// ending in a NUL, the list in a second NUL) with nFlags. Returns the
// shell's result, 0 for success: SHFileOperationW answers with its own
// codes and sets no last error, so this one call keeps its int.
int ShellDeleteTree(const wchar_t* pPathList, std::uint16_t nFlags);

// Creates szPath, or empties it, and writes szBytes into it. Succeeds only
// when every byte was written and the file closed.
CallResult WriteWholeFile(const std::wstring& szPath, const std::string& szBytes);
// Creates szPath, which must not exist yet, and writes szBytes into it. A
// file or folder of that name is left as it is and the call fails with
// ERROR_FILE_EXISTS; a file it created but could not write whole is
// deleted again. Succeeds only when every byte was written and the file
// closed.
CallResult WriteNewFile(const std::wstring& szPath, const std::string& szBytes);
// Renames szFrom to szTo, replacing a file of that name.
CallResult RenameFileReplacing(const std::wstring& szFrom, const std::wstring& szTo);
// Renames szFrom to szTo, which must not exist: a file of that name is
// never replaced, and the call fails with ERROR_ALREADY_EXISTS.
CallResult RenameFileNotReplacing(const std::wstring& szFrom, const std::wstring& szTo);
// Deletes one file.
CallResult RemoveFile(const std::wstring& szPath);

struct FileAttributes {
  bool m_Exists = false;
  bool m_Folder = false;
  bool m_Hidden = false;
  std::uint32_t m_LastError = 0;  // when m_Exists is false
};

// GetFileAttributesW of one path: whether it names a file or folder, and
// which. Reads only.
FileAttributes ReadFileAttributes(const std::wstring& szPath);

// ---- Console code pages, text conversion and error texts ------------------

// The code pages the console reads and shows text in (GetConsoleCP,
// GetConsoleOutputCP), and the system's OEM code page (GetOEMCP). The two
// console ones are 0 when the process has no console.
struct ConsoleCodePages {
  std::uint32_t m_Input = 0;
  std::uint32_t m_Output = 0;
  std::uint32_t m_Oem = 0;
};
ConsoleCodePages ReadConsoleCodePages();
// The system's ANSI code page (GetACP): the one a new log file is written
// in.
std::uint32_t ReadAnsiCodePage();

// WideCharToMultiByte into nCodePage, with no best-fit substitutes where the
// code page takes that flag. False when a character has no form there (a
// default character would have been used) or the code page is not known.
// Some code pages (UTF-7, ISO-2022, ...) cannot report a substitute: only
// converting back shows one.
bool TextToCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes);
// MultiByteToWideChar from nCodePage. False when a byte sequence is not
// valid there or the code page is not known.
bool TextFromCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText);

// The system's own words for a GetLastError() code (FormatMessageW from the
// system's message table), without its line end; empty when it has none.
std::wstring SystemErrorText(std::uint32_t nError);

// ---- COM and WMI ----------------------------------------------------------
// Opaque handles; each implementation defines them. Every handle a call hands
// out is released with the matching WmiRelease, before ComUninitialize.

struct WmiLocator;
struct WmiServices;
struct WmiEnumerator;
struct WmiObject;

void ComUninitialize();
HResult ComInitialize();          // CoInitializeEx(NULL, COINIT_MULTITHREADED)
HResult ComInitializeSecurity();  // default authentication, impersonate, EOAC_NONE

HResult WmiCreateLocator(WmiLocator** ppLocator);
HResult WmiConnectServer(WmiLocator* pLocator, const std::wstring& szNamespace,
                         WmiServices** ppServices);
HResult WmiSetProxyBlanket(WmiServices* pServices);
HResult WmiExecQuery(WmiServices* pServices, const std::wstring& szLanguage,
                     const std::wstring& szQuery, WmiEnumerator** ppEnum);
// IEnumWbemClassObject::Next for one object.
HResult WmiNext(WmiEnumerator* pEnum, std::int32_t nTimeoutMs, WmiObject** ppObject,
                std::uint32_t* pReturned);

void WmiRelease(WmiLocator* p);
void WmiRelease(WmiServices* p);
void WmiRelease(WmiEnumerator* p);
void WmiRelease(WmiObject* p);

// WMI gives sizes and addresses in bytes; the program counts
// whole MiB of them, and a simulated disk lays its partitions out in MiB.
constexpr std::int64_t kBytesPerMiB = 1048576;

// VARIANT types the program tells apart.
constexpr std::uint16_t kVT_EMPTY = 0;
constexpr std::uint16_t kVT_NULL = 1;
constexpr std::uint16_t kVT_BSTR = 8;

// A property value as the program sees it: its VARIANT type, and its text
// where it has one (the string itself for VT_BSTR, VariantChangeType's result
// to VT_BSTR otherwise).
struct WmiValue {
  std::uint16_t m_VarType = kVT_EMPTY;
  bool m_HasText = false;  // false: conversion to text failed
  std::wstring m_Text;
};

// IWbemClassObject::Get of one property, converted as above. A property the
// object does not have comes back VT_EMPTY, whose text is empty.
WmiValue WmiGet(WmiObject* pObject, const std::wstring& szName);

// ---- Drive letters and volumes --------------------------------------------
// The DOS-device namespace (drive letters and what they name), the drive
// mask, the drive-root list and the volume-information read. Each result
// carries GetLastError(), read right after the call that failed.

// DefineDosDeviceW flags.
constexpr std::uint32_t kDDD_RAW_TARGET_PATH = 0x1;
constexpr std::uint32_t kDDD_REMOVE_DEFINITION = 0x2;
constexpr std::uint32_t kDDD_EXACT_MATCH_ON_REMOVE = 0x4;

// DefineDosDeviceW: defines szName ("E:") as a name for szTarget, stacked on
// any definition it has, or (with kDDD_REMOVE_DEFINITION) removes one.
CallResult DefineDeviceName(std::uint32_t nFlags, const std::wstring& szName,
                            const std::wstring& szTarget);

struct DeviceNameTargets {
  std::vector<std::wstring> m_Targets;  // newest first; empty when the call failed
  std::uint32_t m_LastError = 0;        // when m_Targets is empty
};

// QueryDosDeviceW of one name into a buffer of nChars wide characters.
DeviceNameTargets QueryDeviceName(const std::wstring& szName, std::uint32_t nChars);

struct DriveMask {
  std::uint32_t m_Mask = 0;  // GetLogicalDrives: bit 0 "A:" ... bit 25 "Z:"; 0 on failure
  std::uint32_t m_LastError = 0;
};

DriveMask GetDriveMask();

struct DriveRoots {
  std::uint32_t m_Chars = 0;         // GetLogicalDriveStringsW's result; 0 on failure
  std::vector<std::wstring> m_Roots;  // "C:\", "D:\", ... as listed; empty when they did not fit
  std::uint32_t m_LastError = 0;     // when m_Chars is 0
};

// GetLogicalDriveStringsW into a buffer of nChars wide characters.
DriveRoots ListDriveRoots(std::uint32_t nChars);

// The letter rules' record of one label they judged: the partition
// (szDevicePath, "\Device\HarddiskN\PartitionM") or drive root ("E:\")
// whose label szLabel they read, and the word of the kind that label made it
// ("EFI system", "reset", ...), or nullptr for none. Real Windows keeps no
// such record: the call does nothing there. The simulated machine keeps
// them, so that its verdict reads what the rules decided instead of
// deciding it again.
void NoteLabelJudged(const std::wstring& szDevicePath, const std::wstring& szLabel,
                     const char* szKind);

struct VolumeInfo {
  bool m_Ok = false;
  std::wstring m_Label;  // the volume name, as the file system keeps it
  std::wstring m_FileSystem;
  std::uint32_t m_Serial = 0;
  std::uint32_t m_MaxComponent = 0;
  std::uint32_t m_Flags = 0;
  std::uint32_t m_LastError = 0;  // when m_Ok is false
};

struct VolumeList {
  bool m_Ok = false;                    // the whole list was read
  std::vector<std::wstring> m_Volumes;  // "\\?\Volume{GUID}\" each, as listed
  std::uint32_t m_LastError = 0;        // when m_Ok is false
};

// Every volume of the machine, lettered or not, by its volume path. Only
// reads: no letter is defined for any of them.
VolumeList ListVolumes();

// GetVolumeInformationW of a root path ("E:\" or a volume path
// "\\?\Volume{GUID}\"), with name buffers of
// nLabelChars and nFileSystemChars wide characters.
VolumeInfo ReadVolumeInfo(const std::wstring& szRoot, std::uint32_t nLabelChars,
                          std::uint32_t nFileSystemChars);

struct VolumePlace {
  bool m_Ok = false;
  std::uint32_t m_Disk = 0;       // the N of \Device\HarddiskN
  std::uint32_t m_Partition = 0;  // the M of \Device\HarddiskN\PartitionM
  std::uint32_t m_LastError = 0;  // when m_Ok is false
};

// The disk and partition number of the volume a drive letter ("E:") or a
// volume path ("\\?\Volume{GUID}\", as ListVolumes gives it) names,
// asked of the volume's storage device without reading or writing it
// (IOCTL_STORAGE_GET_DEVICE_NUMBER). Fails for a volume on no disk.
VolumePlace ReadVolumePlace(const std::wstring& szVolume);

// Which volume a full path lies on (the path need not exist), named so that
// every letter and folder that mounts the same volume gives the same name,
// and how many of the path's leading characters name that volume's root
// ("S:\" of "S:\EFI\OEM\Tools\"). Reads only.
struct PathVolume {
  bool m_Ok = false;
  std::wstring m_Volume;          // the same for every mount point of one volume
  std::size_t m_RootChars = 0;    // the path's first m_RootChars characters are the root
  std::uint32_t m_LastError = 0;  // when m_Ok is false
};
PathVolume FindVolumeOfPath(const std::wstring& szPath);

// ---- Disks ------------------------------------------------------------------
// A physical disk's partition table, as the disk itself keeps it: every
// partition in it, those WMI does not list (an MSR partition) included.

// One partition of a disk's table.
struct PartitionSlot {
  std::uint32_t m_Number = 0;  // the M of \Device\HarddiskN\PartitionM
  std::int64_t m_Start = 0;    // byte offset from the start of the disk
  std::int64_t m_Length = 0;   // in bytes
};

struct PartitionLayout {
  bool m_Ok = false;
  bool m_Gpt = false;  // a GPT disk; otherwise MBR
  // In the table's order; MBR extended containers and empty slots left out.
  std::vector<PartitionSlot> m_Partitions;
  std::uint32_t m_LastError = 0;  // when m_Ok is false
};

// The partition table of disk nDisk (the N of \Device\HarddiskN), asked of
// the disk (IOCTL_DISK_GET_DRIVE_LAYOUT_EX) without reading or writing it.
PartitionLayout ReadPartitionLayout(std::uint32_t nDisk);

}  // namespace platform
