// The four operations the letter rules build on: define a drive letter as a
// name for a partition, take a letter's newest definition away, read the
// label of the volume under a letter, find a free letter. None of them logs.
// The label read and the free-letter search are operations of SetupContext
// (core/setup_context.h); the pure decisions they make are here.
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t kDeviceQueryChars = 2048;  // one letter's current target
constexpr std::uint32_t kLabelChars = 255;         // volume name and file-system name
constexpr int kMountAttempts = 10;
constexpr std::uint32_t kMountRetryDelayMs = 300;  // after every failed attempt, the last too
// The message box's text after the last failed attempt.
inline constexpr wchar_t kMountFailedText[] = L"Mount Failed";

// Removes the newest definition of the letter ("E:"), matched exactly by its
// target; an older definition beneath it then stands again. Nonzero when a
// definition was removed, 0 when the letter had none.
int UnmountDriveLetter(const std::wstring& szLetter);

// Defines the letter as a name for the device path, stacked on whatever the
// letter named before. Ten attempts, 300 ms apart; after the tenth failure
// the "Mount Failed" message box, then 0. Nonzero when defined.
int MountPartition(const std::wstring& szLetter, const std::wstring& szDevicePath);

// The lowest letter from "D:" to "Z:" whose bit in the drive mask is clear,
// or empty when all of them are set. "A:" to "C:" are never offered.
std::wstring LowestFreeLetter(std::uint32_t nDriveMask);

// The root a label is read from: the text without any ':' or '\', followed
// by ":\". "E", "E:" and "E:\" all give "E:\"; the empty text gives ":\".
std::wstring VolumeRootOf(const std::wstring& szLetter);
