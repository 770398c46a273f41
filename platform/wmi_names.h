// The names of the WMI properties malvik reads, as the classes define them:
// the inventory reads them, the capture reads them too, and the simulated
// machine answers them.
#pragma once

namespace platform::wmi {

// Win32_DiskDrive (Index, Caption, Size and DeviceID also of
// Win32_DiskPartition).
inline constexpr wchar_t kIndex[] = L"Index";
inline constexpr wchar_t kCaption[] = L"Caption";
inline constexpr wchar_t kSize[] = L"Size";
inline constexpr wchar_t kDeviceID[] = L"DeviceID";
inline constexpr wchar_t kSignature[] = L"Signature";
inline constexpr wchar_t kPartitions[] = L"Partitions";
inline constexpr wchar_t kMediaType[] = L"MediaType";
// Win32_DiskPartition.
inline constexpr wchar_t kType[] = L"Type";
// Win32_LogicalDiskToPartition.
inline constexpr wchar_t kAntecedent[] = L"Antecedent";
inline constexpr wchar_t kDependent[] = L"Dependent";
inline constexpr wchar_t kStartingAddress[] = L"StartingAddress";
inline constexpr wchar_t kEndingAddress[] = L"EndingAddress";
// Win32_LogicalDisk.
inline constexpr wchar_t kVolumeName[] = L"VolumeName";

// What a machine description may make null ("null_properties"): of a disk,
// and of a partition's disk-to-partition association.
inline constexpr const wchar_t* kNullableDiskProperties[] = {kSize,     kPartitions, kSignature,
                                                              kDeviceID, kCaption,    kIndex};
inline constexpr const wchar_t* kNullableAssociationProperties[] = {
    kAntecedent, kDependent, kStartingAddress, kEndingAddress};

}  // namespace platform::wmi
