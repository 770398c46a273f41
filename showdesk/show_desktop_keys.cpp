#include "showdesk/show_desktop_keys.h"

void SendShowDesktopChord(KeySender send) {
  // No pause between the events and no check of any result: the chord has
  // to arrive as one piece, and there is nobody to tell if it did not.
  send(kVkLeftWindows, kScanCodeNone, kKeyDown, kNoExtraInfo);
  send(kVkD, kScanCodeNone, kKeyDown, kNoExtraInfo);
  send(kVkD, kScanCodeNone, kKeyUp, kNoExtraInfo);
  send(kVkLeftWindows, kScanCodeNone, kKeyUp, kNoExtraInfo);
}

int QuenbyMain(int /*argc*/, char* /*argv*/[], char* /*envp*/[], KeySender send) {
  SendShowDesktopChord(send);
  return 0;
}
