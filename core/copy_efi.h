// The run's last step: gives the EFI system partition an OEM copy of the
// firmware boot files through a generated batch file.
#pragma once

#include <cstdint>

struct SetupContext;

// Clears an old \EFI\OEM, writes "CopyEFI_byOEM.cmd" into the program
// folder, runs it and logs its exit code and what \EFI\OEM now holds.
void CopyEfiBootFiles(SetupContext& context);

// The exit code logged when the batch file could not be written and so was
// not run.
constexpr std::uint32_t kBatchNotRunExitCode = 0xFFFFFFFF;
