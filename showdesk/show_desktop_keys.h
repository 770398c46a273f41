// quenby: press and release Windows+D, the "show desktop" chord.
//
// This header and its .cpp know nothing of Windows: the four key events are
// handed to a sender, which on Windows is a thin wrapper over User32's
// keybd_event and in the tests is a recorder.
#pragma once

#include <cstdint>

// Values as User32 defines them; repeated here so this file builds without
// <windows.h>.
inline constexpr uint8_t kVkLeftWindows = 0x5B;  // VK_LWIN
inline constexpr uint8_t kVkD = 0x44;            // 'D'
inline constexpr uint8_t kScanCodeNone = 0;      // let the system derive it
inline constexpr uint32_t kKeyDown = 0;
inline constexpr uint32_t kKeyUp = 0x0002;       // KEYEVENTF_KEYUP
inline constexpr uintptr_t kNoExtraInfo = 0;

// Same shape as keybd_event (BYTE, BYTE, DWORD, ULONG_PTR), minus the calling
// convention. A sender reports nothing back: the chord is fire and forget.
using KeySender = void (*)(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extra);

// Sends left Windows down, D down, D up, left Windows up, back to back.
void SendShowDesktopChord(KeySender send);

// The whole program: sends the chord and returns the exit code, which is
// always 0. The command line and environment are not looked at.
int QuenbyMain(int argc, char* argv[], char* envp[], KeySender send);
