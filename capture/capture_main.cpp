// malvik-capture.exe: writes the description of the machine it runs on.
//
//     malvik-capture.exe [--out FILE] [--program FOLDER]
//
// Exit status 0 when the description was written, 2 for a bad command line
// or an output file that could not be written.
#include <cstdio>
#include <string>

#include "capture/capture.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

const char kUsage[] = "usage: malvik-capture.exe [--out FILE] [--program FOLDER]\n";

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  CaptureOptions options;
  std::wstring szOut;
  for (int i = 1; i < argc; ++i) {
    const std::wstring szArg = argv[i];
    if ((szArg == L"--out" || szArg == L"--program") && i + 1 < argc && argv[i + 1][0] != L'\0') {
      (szArg == L"--out" ? szOut : options.m_ProgramFolder) = argv[++i];
    } else if (szArg == L"--help" || szArg == L"-h" || szArg == L"/?") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "malvik-capture: unknown or incomplete argument: %s\n%s",
                   platform::WideToUtf8(szArg).c_str(), kUsage);
      return 2;
    }
  }
  const std::string szText = WriteJsonText(CaptureMachine(options));
  if (szOut.empty()) {
    platform::WriteStdout(szText);
    return 0;
  }
  if (!platform::WriteWholeFile(szOut, szText).m_Ok) {
    std::fprintf(stderr, "malvik-capture: cannot write %s\n", platform::WideToUtf8(szOut).c_str());
    return 2;
  }
  return 0;
}
