// malvik-capture: describes the machine it runs on in the simulated-machine
// format, so that malvik-sim can replay a field run anywhere. Everything is
// asked through the platform seam and nothing on the machine is changed: no
// drive letter is defined or removed, no file is written here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/json_text.h"

struct CaptureOptions {
  // The folder malvik runs from; empty: the folder of the running program.
  std::wstring m_ProgramFolder;
};

// The description of the machine, with a "notes" list of everything that
// could not be captured faithfully. Turns critical-error boxes off first.
JsonValue CaptureMachine(const CaptureOptions& options);

// ---- the parts, one file each --------------------------------------------

// One partition as WMI lists it, with what the volumes tell about it.
struct CapturedPartition {
  int m_WmiIndex = 0;  // the k of "Disk #N, Partition #k"
  std::wstring m_Type;
  std::int64_t m_Start = 0;
  std::int64_t m_Size = 0;
  std::wstring m_Letter;  // "E:", or empty
  int m_Number = 0;       // the M of \Device\HarddiskN\PartitionM; 0: not known
};

struct CapturedDisk {
  JsonValue m_Json;  // the disk's keys, partitions not yet among them
  int m_Index = 0;
  std::vector<CapturedPartition> m_Partitions;
};

// capture_disks.cpp: every disk WMI lists, its partitions and the letters
// WMI ties to them. False when WMI could not be asked; notes say why.
bool CaptureDisks(std::vector<CapturedDisk>& disks, std::vector<std::wstring>& notes);

// capture_paths.cpp: the entries of the paths malvik looks at on the volume
// of szLetter ("E:", or a volume path without its trailing backslash), plus
// the program folder's own files when it lies there (its path below the
// root, "Tools", or "" for the root itself), as a "files" list.
JsonValue CapturePaths(const std::wstring& szLetter,
                       const std::optional<std::wstring>& programFolder);
