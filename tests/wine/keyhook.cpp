// keyhook: runs a program under a low-level keyboard hook and prints every
// key event the hook sees while it runs, one line each:
//   key <vk in hex> scan <scan code> <down|up> <injected|physical> extra <extra info> time <ms>
// followed by "exit <code>" of the program. The events are swallowed so they
// reach nothing else. Usage: keyhook PROGRAM [ARGUMENTS...]
// Exit code: 0 when the program ran, 2 when the hook could not be installed,
// 3 when the program could not be started.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK OnLowLevelKey(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool bUp = (key->flags & LLKHF_UP) != 0;
    const bool bInjected = (key->flags & LLKHF_INJECTED) != 0;
    std::printf("key %02lx scan %lu %s %s extra %llu time %lu\n",
                static_cast<unsigned long>(key->vkCode), static_cast<unsigned long>(key->scanCode),
                bUp ? "up" : "down", bInjected ? "injected" : "physical",
                static_cast<unsigned long long>(key->dwExtraInfo),
                static_cast<unsigned long>(key->time));
    std::fflush(stdout);
    return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Pumps this thread's messages (the hook is called from inside the pump)
// until the handle is signalled or the time runs out.
void PumpUntil(HANDLE hWait, DWORD msTimeout) {
  const ULONGLONG end = GetTickCount64() + msTimeout;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    const DWORD wait = MsgWaitForMultipleObjects(hWait ? 1 : 0, hWait ? &hWait : nullptr, FALSE,
                                                 static_cast<DWORD>(end - now), QS_ALLINPUT);
    if (hWait && wait == WAIT_OBJECT_0) return;
  }
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: keyhook PROGRAM [ARGUMENTS...]\n");
    return 1;
  }
  HHOOK hHook = SetWindowsHookExW(WH_KEYBOARD_LL, OnLowLevelKey, GetModuleHandleW(nullptr), 0);
  if (!hHook) {
    std::printf("hook failed %lu\n", GetLastError());
    return 2;
  }
  std::printf("hook installed\n");
  std::fflush(stdout);

  std::wstring szCommandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) szCommandLine += L' ';
    szCommandLine += L'"';
    szCommandLine += argv[i];
    szCommandLine += L'"';
  }
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, szCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    std::printf("start failed %lu\n", GetLastError());
    UnhookWindowsHookEx(hHook);
    return 3;
  }
  PumpUntil(pi.hProcess, 30000);
  // Events still queued for this thread arrive through the pump; give them
  // a moment after the program has ended.
  PumpUntil(nullptr, 1000);

  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  std::printf("exit %lu\n", exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  UnhookWindowsHookEx(hHook);
  return 0;
}
