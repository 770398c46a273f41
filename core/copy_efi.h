// The run's last step: gives the EFI system partition an OEM copy of the
// firmware boot files through a generated batch file.
#pragma once

struct SetupContext;

void CopyEfiBootFiles(SetupContext& context);
