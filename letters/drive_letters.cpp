#include "letters/drive_letters.h"

#include "core/setup_context.h"
#include "platform/device_names.h"
#include "platform/platform.h"

int UnmountDriveLetter(const std::wstring& szLetter) {
  // The newest definition comes first; removing exactly that one leaves any
  // older definition standing.
  const platform::DeviceNameTargets query =
      platform::QueryDeviceName(szLetter, kDeviceQueryChars);
  if (query.m_Targets.empty()) return 0;  // nothing defined: nothing to remove
  const std::uint32_t nFlags = platform::kDDD_RAW_TARGET_PATH |
                               platform::kDDD_REMOVE_DEFINITION |
                               platform::kDDD_EXACT_MATCH_ON_REMOVE;
  return platform::DefineDeviceName(nFlags, szLetter, query.m_Targets.front()).m_Ok ? 1 : 0;
}

int MountPartition(const std::wstring& szLetter, const std::wstring& szDevicePath) {
  for (int nAttempt = 0; nAttempt < kMountAttempts; ++nAttempt) {
    // A raw target is taken as an object-namespace path and is not checked:
    // a partition the disk does not have is defined all the same.
    if (platform::DefineDeviceName(platform::kDDD_RAW_TARGET_PATH, szLetter, szDevicePath).m_Ok) {
      return 1;
    }
    platform::Pause(kMountRetryDelayMs);
  }
  platform::ShowMessageBox(kMountFailedText);
  return 0;
}

std::wstring LowestFreeLetter(std::uint32_t nDriveMask) {
  for (int nBit = 3; nBit < platform::kDriveLetterCount; ++nBit) {
    if ((nDriveMask & (1u << nBit)) == 0) return platform::DriveLetterOfBit(nBit);
  }
  return {};
}

std::wstring VolumeRootOf(const std::wstring& szLetter) {
  std::wstring szRoot;
  for (wchar_t c : szLetter) {
    if (c != L':' && c != L'\\') szRoot += c;
  }
  return szRoot + L":\\";
}

std::wstring SetupContext::GetVolumeLabel(const std::wstring& szLetter) {
  const platform::VolumeInfo info =
      platform::ReadVolumeInfo(VolumeRootOf(szLetter), kLabelChars, kLabelChars);
  // An unlabelled volume and a failed read both give the empty label.
  return info.m_Ok ? info.m_Label : std::wstring();
}

std::wstring SetupContext::FindFreeDriveLetter() {
  // A failed mask call gives 0, so "D:" is offered.
  return LowestFreeLetter(platform::GetDriveMask().m_Mask);
}
