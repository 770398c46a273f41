// The run's last step: gives the EFI system partition an OEM copy of the
// firmware boot files through a generated batch file.
#pragma once

#include <cstdint>

struct SetupContext;

// Writes "CopyEFI_byOEM.cmd" into the program folder, clears an old
// \EFI\OEM, runs the batch file and logs its exit code and what \EFI\OEM now
// holds. When the batch file is not run, the log says why and the old
// \EFI\OEM stays as it was (unless it was the start that failed).
void CopyEfiBootFiles(SetupContext& context);

// The exit code logged when the batch file was not run, or its exit code is
// not known. A script could return it too: the line before it tells.
constexpr std::uint32_t kBatchNotRunExitCode = 0xFFFFFFFF;

// Why the batch file did not run, or ran with an unknown outcome: the log
// line before the exit-code line.
namespace copy_efi_log {
// Detail: the ESP letter as given. Nothing is deleted or written.
constexpr wchar_t kEspNotADrive[] = L"Error ESP Letter Is Not A Drive, not run";
// Detail: the text. Nothing is deleted or written.
constexpr wchar_t kCannotHoldPath[] = L"Error Batch File Cannot Hold Path, not run";
// Detail: the batch file's path. Nothing is deleted.
constexpr wchar_t kCannotWrite[] = L"Error Writing Batch File, not run";
// Detail: "err=N", the platform's start error.
constexpr wchar_t kCannotStart[] = L"Error Starting Batch File, not run";
// Detail empty: it ran, but how it ended is not known.
constexpr wchar_t kExitUnknown[] = L"Error Reading Batch File Exit Code, not known";
}  // namespace copy_efi_log
