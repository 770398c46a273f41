// Drive letters and volumes on real Windows: the DOS-device namespace, the
// drive mask, the drive-root list and the volume-information read.
#include "platform/platform.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/win32/call_result_win32.h"
#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"
#include "platform/win32_text.h"

#include <winioctl.h>

namespace platform {

CallResult DefineDeviceName(std::uint32_t nFlags, const std::wstring& szName,
                            const std::wstring& szTarget) {
  // An empty target is passed as null: "remove the newest definition".
  return win32::ResultOf(
      DefineDosDeviceW(nFlags, szName.c_str(), szTarget.empty() ? nullptr : szTarget.c_str()));
}

void NoteLabelJudged(const std::wstring&, const std::wstring&, const char*) {}

DeviceNameTargets QueryDeviceName(const std::wstring& szName, std::uint32_t nChars) {
  if (nChars == 0) return {{}, ERROR_INSUFFICIENT_BUFFER};
  std::vector<wchar_t> buffer(nChars, L'\0');
  // The result counts every character stored, terminators included; 0 on failure.
  const DWORD nStored = QueryDosDeviceW(szName.c_str(), buffer.data(), nChars);
  if (nStored == 0) return {{}, GetLastError()};
  DeviceNameTargets result;
  result.m_Targets = SplitMultiString({buffer.data(), nStored < nChars ? nStored : nChars});
  if (result.m_Targets.empty()) result.m_LastError = ERROR_FILE_NOT_FOUND;
  return result;
}

DriveMask GetDriveMask() {
  const DWORD nMask = GetLogicalDrives();
  if (nMask == 0) return {0, GetLastError()};
  return {nMask, 0};
}

DriveRoots ListDriveRoots(std::uint32_t nChars) {
  DriveRoots result;
  std::vector<wchar_t> buffer(nChars + 1, L'\0');
  // The result is the length without the final terminator, or, when the list
  // does not fit, the size needed (terminator included) with nothing copied.
  result.m_Chars = GetLogicalDriveStringsW(nChars, buffer.data());
  if (result.m_Chars == 0) {
    result.m_LastError = GetLastError();
    return result;
  }
  if (result.m_Chars < nChars) result.m_Roots = SplitMultiString({buffer.data(), result.m_Chars});
  return result;
}

VolumeList ListVolumes() {
  VolumeList list;
  // A volume path is 49 characters with its trailing backslash; the buffer
  // is far larger, and its spare element keeps every answer terminated.
  constexpr DWORD kChars = MAX_PATH;
  std::vector<wchar_t> buffer(kChars + 1, L'\0');
  const win32::FindVolumeHandle search(FindFirstVolumeW(buffer.data(), kChars));
  if (!search.Valid()) {
    list.m_LastError = GetLastError();
    return list;
  }
  for (;;) {
    list.m_Volumes.emplace_back(buffer.data());
    std::fill(buffer.begin(), buffer.end(), L'\0');
    if (!FindNextVolumeW(search.m_h, buffer.data(), kChars)) {
      const DWORD nError = GetLastError();
      list.m_Ok = nError == ERROR_NO_MORE_FILES;
      if (!list.m_Ok) list.m_LastError = nError;
      return list;
    }
  }
}

VolumeInfo ReadVolumeInfo(const std::wstring& szRoot, std::uint32_t nLabelChars,
                          std::uint32_t nFileSystemChars) {
  VolumeInfo info;
  std::vector<wchar_t> label(nLabelChars + 1, L'\0');
  std::vector<wchar_t> fileSystem(nFileSystemChars + 1, L'\0');
  DWORD nSerial = 0;
  DWORD nMaxComponent = 0;
  DWORD nFlags = 0;
  // The root needs its trailing backslash ("E:\"); "E:" alone fails.
  if (!GetVolumeInformationW(szRoot.c_str(), label.data(), nLabelChars, &nSerial, &nMaxComponent,
                             &nFlags, fileSystem.data(), nFileSystemChars)) {
    info.m_LastError = GetLastError();
    return info;
  }
  info.m_Ok = true;
  info.m_Label = label.data();  // the spare element keeps it terminated
  info.m_FileSystem = fileSystem.data();
  info.m_Serial = nSerial;
  info.m_MaxComponent = nMaxComponent;
  info.m_Flags = nFlags;
  return info;
}

VolumePlace ReadVolumePlace(const std::wstring& szVolume) {
  VolumePlace place;
  // No access rights asked for: the device-number query needs none, and the
  // volume is neither read nor locked. The path has no trailing backslash,
  // which would open the root folder instead of the volume.
  std::wstring szDevice = szVolume.rfind(L"\\\\?\\", 0) == 0 ? szVolume : L"\\\\.\\" + szVolume;
  while (!szDevice.empty() && szDevice.back() == L'\\') szDevice.pop_back();
  const win32::FileHandle volume(CreateFileW(szDevice.c_str(), 0,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
  if (!volume.Valid()) {
    place.m_LastError = GetLastError();
    return place;
  }
  STORAGE_DEVICE_NUMBER number{};
  DWORD nReturned = 0;
  if (!DeviceIoControl(volume.m_h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                       sizeof(number), &nReturned, nullptr)) {
    place.m_LastError = GetLastError();
    return place;
  }
  // A volume on no partition of a disk (a CD, a RAM disk) has no number there.
  if (number.DeviceType != FILE_DEVICE_DISK || number.PartitionNumber == 0 ||
      number.PartitionNumber == static_cast<DWORD>(-1)) {
    place.m_LastError = ERROR_INVALID_FUNCTION;
    return place;
  }
  place.m_Ok = true;
  place.m_Disk = number.DeviceNumber;
  place.m_Partition = number.PartitionNumber;
  return place;
}

namespace {

bool StartsWithNoCase(const std::wstring& sz, const std::wstring& szStart) {
  return sz.size() >= szStart.size() &&
         UpperAscii(sz.substr(0, szStart.size())) == UpperAscii(szStart);
}

}  // namespace

PathVolume FindVolumeOfPath(const std::wstring& szPath) {
  PathVolume result;
  // The volume path is a leading part of the path with a trailing backslash,
  // so the path's length and two more always hold it.
  std::vector<wchar_t> root(szPath.size() + 2, L'\0');
  if (!GetVolumePathNameW(szPath.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    result.m_LastError = GetLastError();
    return result;
  }
  const std::wstring szRoot = root.data();
  // Only a root the path itself starts with tells where the rest of it lies
  // on the volume; "R:" gives "R:\".
  std::wstring szWithSlash = szPath;
  if (szWithSlash.empty() || szWithSlash.back() != L'\\') szWithSlash += L'\\';
  if (szRoot.empty() || !StartsWithNoCase(szWithSlash, szRoot)) {
    result.m_LastError = ERROR_INVALID_NAME;
    return result;
  }
  result.m_RootChars = szRoot.size() < szPath.size() ? szRoot.size() : szPath.size();
  // "\\?\Volume{GUID}\" is 49 characters with its terminator.
  wchar_t volume[64] = {};
  if (GetVolumeNameForVolumeMountPointW(szRoot.c_str(), volume, 63)) {
    result.m_Ok = true;
    result.m_Volume = volume;
    return result;
  }
  // A letter the mount manager does not know (one a program defined with
  // DefineDosDeviceW, a mapped folder) is named by the device it stands for.
  const DWORD nVolumeError = GetLastError();
  if (szRoot.size() == 3 && szRoot[1] == L':') {
    const DeviceNameTargets targets = QueryDeviceName(szRoot.substr(0, 2), MAX_PATH + 1);
    if (!targets.m_Targets.empty()) {
      result.m_Ok = true;
      result.m_Volume = targets.m_Targets.front();
      return result;
    }
  }
  result.m_LastError = nVolumeError;
  return result;
}

}  // namespace platform
