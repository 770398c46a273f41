// Tells UEFI from legacy-BIOS boot by the error a firmware-variable read
// gives for a variable that cannot exist. The probe's arguments and what its
// answers mean are defined here, for the capture tool and the reports too.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/win32_codes.h"
#include "support/log.h"

// The probe reads the variable with no name in the all-zero namespace into a
// zero-filled buffer of 260 characters.
constexpr wchar_t kFirmwareProbeName[] = L"";
constexpr wchar_t kFirmwareProbeGuid[] = L"{00000000-0000-0000-0000-000000000000}";
constexpr std::uint32_t kFirmwareProbeChars = 260;

constexpr wchar_t kLegacyBootDetail[] = L"Boot system from Legacy BIOS";

// An error the read fails with that tells the firmware.
struct FirmwareError {
  std::uint32_t m_Code;     // the read's last error
  const wchar_t* m_Name;    // the error's name, the log message
  const wchar_t* m_Detail;  // the log detail
  bool m_Uefi;
  const wchar_t* m_Firmware;  // the firmware in a report
};

inline constexpr FirmwareError kFirmwareErrors[] = {
    {platform::kERROR_INVALID_FUNCTION, L"ERROR_INVALID_FUNCTION", kLegacyBootDetail, false,
     L"legacy BIOS"},
    {platform::kERROR_NOACCESS, L"ERROR_NOACCESS", L"Boot system from UEFI BIOS", true, L"UEFI"},
};

// The row of kFirmwareErrors with this code, or nullptr.
const FirmwareError* FindFirmwareError(std::uint32_t nCode);

struct BootModeVerdict {
  const wchar_t* m_Message;  // log message: the error's name or "DEFAULT"
  const wchar_t* m_Detail;
  bool m_Uefi;
};

BootModeVerdict DecodeFirmwareProbe(const platform::FirmwareVariableResult& probe);

// Probes the firmware once and writes one log line: true for UEFI boot.
bool ProbeUefiBoot(Logger& logger);
