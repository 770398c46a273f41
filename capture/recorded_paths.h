// The paths on a volume a capture records of what a partition is for:
// the firmware boot files the copy reads, the recovery environment's image,
// the recovery folders, and the Windows installation's system folder. The
// capture records exactly these (with the entries malvik itself looks at),
// and malvik-sim's verdict judges a partition by them, so that a machine
// and its capture are judged alike.
#pragma once

#include <string>
#include <vector>

#include "core/copy_efi.h"

// The folder the boot-file copy reads its boot files from: it makes a
// partition of an MBR disk, or of a legacy machine, the EFI system partition.
inline std::wstring EspBootFolder() { return std::wstring(kEfiSourceFolder) + L"\\Boot"; }
// The recovery environment's image: it makes a partition the one the
// recovery script hands over to.
inline constexpr wchar_t kRecoveryImage[] = L"\\Recovery\\WindowsRE\\Winre.wim";
// It makes a partition a Windows installation.
inline constexpr wchar_t kWindowsSystemFolder[] = L"\\Windows\\System32";

// Every path above, from the volume root, the recovery folders in their order.
inline std::vector<std::wstring> VerdictPaths() {
  std::vector<std::wstring> paths(std::begin(kRecoveryFolders), std::end(kRecoveryFolders));
  paths.push_back(EspBootFolder());
  paths.push_back(kRecoveryImage);
  paths.push_back(kWindowsSystemFolder);
  return paths;
}
