#include "support/boot_mode.h"

#include "core/setup_context.h"

namespace {

constexpr std::uint32_t kERROR_INVALID_FUNCTION = 1;  // legacy BIOS
constexpr std::uint32_t kERROR_NOACCESS = 998;        // UEFI
constexpr std::uint32_t kProbeBufferChars = 260;

const wchar_t kLegacy[] = L"Boot system from Legacy BIOS";

}  // namespace

BootModeVerdict DecodeFirmwareProbe(const platform::FirmwareVariableResult& probe) {
  // A read that succeeds is not a sign of UEFI: the variable cannot exist.
  if (probe.m_BytesStored != 0) return {L"DEFAULT", kLegacy, false};
  switch (probe.m_LastError) {
    case kERROR_INVALID_FUNCTION:
      return {L"ERROR_INVALID_FUNCTION", kLegacy, false};
    case kERROR_NOACCESS:
      return {L"ERROR_NOACCESS", L"Boot system from UEFI BIOS", true};
    default:
      return {L"DEFAULT", kLegacy, false};
  }
}

bool IsUefiBoot(SetupContext& context) {
  const BootModeVerdict verdict = DecodeFirmwareProbe(platform::ProbeFirmwareVariable(
      L"", L"{00000000-0000-0000-0000-000000000000}", kProbeBufferChars));
  WriteLog(context.m_Logger, verdict.m_Message, verdict.m_Detail);
  return verdict.m_Uefi;
}
