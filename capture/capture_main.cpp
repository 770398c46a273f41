// malvik-capture.exe: writes the description of the machine it runs on.
// capture_command.cpp reads the command line (malvik-capture.exe --help
// explains it) and answers with the texts and the exit status; this writes
// them out: the description on standard output, the rest on standard error
// in the console's code page, both with LF line ends.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "platform/platform.h"

namespace {

constexpr std::uint32_t kUtf8CodePage = 65001;

// szUtf8 on standard error, in the console's output code page where every
// character has a form there; as UTF-8 otherwise.
void WriteStderr(const std::string& szUtf8) {
  const std::uint32_t nCodePage = platform::ReadConsoleCodePages().m_Output;
  std::wstring szText;
  std::string szBytes;
  const bool bConverted = nCodePage != 0 && nCodePage != kUtf8CodePage &&
                          platform::TextFromCodePage(kUtf8CodePage, szUtf8, &szText) &&
                          platform::TextToCodePage(nCodePage, szText, &szBytes);
  const std::string& szOut = bConverted ? szBytes : szUtf8;
  if (!szOut.empty()) std::fwrite(szOut.data(), 1, szOut.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  // Every line ends in LF alone, as in the --out file and in malvik-sim's
  // output: text mode would make it CR LF on these two streams only.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const CaptureRun run = RunCapture(std::vector<std::wstring>(argv + 1, argv + argc));
  platform::WriteStdout(run.m_Stdout);
  WriteStderr(run.m_Stderr);
  return run.m_Status;
}
