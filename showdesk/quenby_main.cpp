// quenby.exe: shows the desktop by sending Windows+D, then exits with 0.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "showdesk/show_desktop_keys.h"

namespace {

// keybd_event is WINAPI (__stdcall on x86), so it cannot be passed as a
// KeySender directly.
void SendThroughUser32(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extra) {
  keybd_event(vk, scan, flags, extra);
}

}  // namespace

int main(int argc, char* argv[], char* envp[]) {
  return QuenbyMain(argc, argv, envp, SendThroughUser32);
}
