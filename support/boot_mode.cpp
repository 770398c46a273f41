#include "support/boot_mode.h"

const FirmwareError* FindFirmwareError(std::uint32_t nCode) {
  for (const FirmwareError& error : kFirmwareErrors) {
    if (error.m_Code == nCode) return &error;
  }
  return nullptr;
}

BootModeVerdict DecodeFirmwareProbe(const platform::FirmwareVariableResult& probe) {
  // A read that succeeds is not a sign of UEFI: the variable cannot exist.
  const FirmwareError* pError =
      probe.m_BytesStored == 0 ? FindFirmwareError(probe.m_LastError) : nullptr;
  if (pError == nullptr) return {L"DEFAULT", kLegacyBootDetail, false};
  return {pError->m_Name, pError->m_Detail, pError->m_Uefi};
}

bool ProbeUefiBoot(Logger& logger) {
  const BootModeVerdict verdict = DecodeFirmwareProbe(platform::ProbeFirmwareVariable(
      kFirmwareProbeName, kFirmwareProbeGuid, kFirmwareProbeChars));
  WriteLog(logger, verdict.m_Message, verdict.m_Detail);
  return verdict.m_Uefi;
}
