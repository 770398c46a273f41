// Tells UEFI from legacy-BIOS boot by the error a firmware-variable read
// gives for a variable that cannot exist.
#pragma once

#include "platform/platform.h"

struct SetupContext;

struct BootModeVerdict {
  const wchar_t* m_Message;  // log message: the error's name or "DEFAULT"
  const wchar_t* m_Detail;
  bool m_Uefi;
};

BootModeVerdict DecodeFirmwareProbe(const platform::FirmwareVariableResult& probe);

// Probes the firmware once and writes one log line.
bool IsUefiBoot(SetupContext& context);
