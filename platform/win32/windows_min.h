// The one way malvik's Win32 sources include <windows.h>: wide-character API,
// no min/max macros, the lean subset, Windows 7 as the oldest target.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
// mingw-w64's own headers may already have set a newer version; 7 is the floor.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#elif _WIN32_WINNT < 0x0601
#error "malvik needs _WIN32_WINNT 0x0601 (Windows 7) or later"
#endif

#include <windows.h>
