// The run's last step: gives the EFI system partition an OEM copy of the
// firmware boot files through a generated batch file.
#pragma once

#include <cstdint>
#include <string>

struct SetupContext;

// Writes "CopyEFI_byOEM.cmd" into the program folder, clears an old
// \EFI\OEM, runs the batch file and logs its exit code and what \EFI\OEM now
// holds. When the batch file is not run, the log says why and the old
// \EFI\OEM stays as it was (unless it was the start that failed).
void CopyEfiBootFiles(SetupContext& context);

// ---- the names the copy step acts on -------------------------------------

// Folders on the reset partition whose presence means it can restore the
// machine: any one of them hands over to the reset script. Tried in order.
inline constexpr const wchar_t* kRecoveryFolders[] = {
    L"\\Zeph_XP", L"\\Zeph_VISTA", L"\\Zeph_WIN7", L"\\Zeph2", L"\\Zeph_WIN8"};

// The copy's source and target on the EFI system partition: the batch file
// copies the first into the second, and an old target goes first.
inline constexpr wchar_t kEfiSourceFolder[] = L"\\EFI\\Microsoft";
inline constexpr wchar_t kOemFolder[] = L"\\EFI\\OEM";
// The target's boot folder, below kOemFolder.
inline constexpr wchar_t kOemBootFolder[] = L"\\boot";
// The boot store, which the boot-configuration script rebuilds there.
inline constexpr wchar_t kBootStore[] = L"BCD";
// What the copy should have left in the target's boot folder. After the exit
// code the log says, in this order, whether kOemFolder is there and whether
// kOemFolder\boot\ENTRY is, for each entry.
inline constexpr const wchar_t* kPresenceEntries[] = {
    kBootStore, L"bootmgfw.efi", L"bootmgr.efi", L"memtest.efi", L"fonts", L"resources"};

// What a boot-configuration script leaves on a usual machine: the boot store
// it rebuilds, a hidden file, by its path below the root of the EFI system
// partition (the script's first argument). Nothing outside the script can
// see it before it runs.
inline std::wstring RebuiltBootStore() {
  return std::wstring(kOemFolder) + kOemBootFolder + L"\\" + kBootStore;
}

// The batch file, written into the program folder.
inline constexpr wchar_t kBatchName[] = L"CopyEFI_byOEM.cmd";
// The scripts of the program folder the batch file hands over to: the reset
// script when a recovery folder is on the reset partition (with the ESP and
// PBR letters), the recovery script otherwise (ESP and recovery letters).
inline constexpr wchar_t kPbrScript[] = L"modifybcdtoPBR.cmd";
inline constexpr wchar_t kWinReScript[] = L"modifybcdtoWinRE.cmd";

// The exit code logged when the batch file was not run, or its exit code is
// not known. A script could return it too: the line before it tells.
constexpr std::uint32_t kBatchNotRunExitCode = 0xFFFFFFFF;

// Why the batch file did not run, or ran with an unknown outcome: the log
// line before the exit-code line.
namespace copy_efi_log {
// Detail: the ESP letter as given. Nothing is deleted or written.
constexpr wchar_t kEspNotADrive[] = L"Error ESP Letter Is Not A Drive, not run";
// Detail: the ESP letter as given, which names the volume of the running
// Windows and so cannot be the EFI system partition. Nothing is deleted or
// written.
constexpr wchar_t kEspIsWindowsVolume[] = L"Error ESP Letter Names The Windows Volume, not run";
// Detail: the program folder, which holds the batch file and the log and
// lies in the \EFI\OEM the copy replaces. Nothing is deleted or written.
constexpr wchar_t kProgramInOemFolder[] = L"Error Program Folder Lies In \\EFI\\OEM, not run";
// Detail: the batch file's path, too long for the process call to start.
// Nothing is deleted or written.
constexpr wchar_t kBatchPathTooLong[] = L"Error Batch File Path Too Long To Start, not run";
// Detail: the text. Nothing is deleted or written.
constexpr wchar_t kCannotHoldPath[] = L"Error Batch File Cannot Hold Path, not run";
// Detail: the code page, which does not write ASCII as itself. Nothing is
// deleted or written.
constexpr wchar_t kCodePageNotAscii[] = L"Error Console Code Page Not ASCII, not run";
// Detail: the batch file's path. Nothing is deleted.
constexpr wchar_t kCannotWrite[] = L"Error Writing Batch File, not run";
// Detail: "err=N", the platform's start error.
constexpr wchar_t kCannotStart[] = L"Error Starting Batch File, not run";
// Detail empty: it ran, but how it ended is not known.
constexpr wchar_t kExitUnknown[] = L"Error Reading Batch File Exit Code, not known";

// Not a reason for not running: the batch file runs after it. Detail: the
// ESP letter, which has no \EFI\Microsoft to copy, so the old \EFI\OEM
// is kept rather than replaced by nothing.
constexpr wchar_t kOemKeptNoSource[] = L"Warning ESP Has No \\EFI\\Microsoft, old \\EFI\\OEM kept";
}  // namespace copy_efi_log
