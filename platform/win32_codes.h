// The Win32 error codes and flags the program, the simulated machine and the
// capture look at or answer with, spelt out once with Windows' values so
// that code built without <windows.h> can name them. The Windows build
// checks every value against <windows.h> (platform/win32/codes_win32.cpp).
#pragma once

#include <cstdint>

namespace platform {

// GetLastError() codes.
constexpr std::uint32_t kERROR_INVALID_FUNCTION = 1;
constexpr std::uint32_t kERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t kERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t kERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t kERROR_NOT_SAME_DEVICE = 17;
constexpr std::uint32_t kERROR_NOT_READY = 21;
constexpr std::uint32_t kERROR_BAD_LENGTH = 24;
constexpr std::uint32_t kERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t kERROR_FILE_EXISTS = 80;
constexpr std::uint32_t kERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t kERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t kERROR_INVALID_NAME = 123;
constexpr std::uint32_t kERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t kERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t kERROR_DIRECTORY = 267;
constexpr std::uint32_t kERROR_NOACCESS = 998;
constexpr std::uint32_t kERROR_UNRECOGNIZED_VOLUME = 1005;
constexpr std::uint32_t kERROR_PRIVILEGE_NOT_HELD = 1314;

// MAX_PATH: with no application name, the process call takes a program
// path (the command line's first part) of at most kMAX_PATH - 1 characters.
constexpr std::uint32_t kMAX_PATH = 260;

// SetErrorMode flags.
constexpr std::uint32_t kSEM_FAILCRITICALERRORS = 0x0001;
constexpr std::uint32_t kSEM_NOOPENFILEERRORBOX = 0x8000;

}  // namespace platform
