#include "core/entry.h"

#include <memory>
#include <string>

#include "core/copy_efi.h"
#include "core/setup_context.h"
#include "malvik_version.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "support/log.h"

namespace {

// /? and --help: what malvik does and how it is started; the files it names
// come from their owners.
std::string UsageText() {
  return "malvik gives the special partitions of this PC their drive letters, copies\n" +
         platform::WideToUtf8(kEfiSourceFolder) + " to " + platform::WideToUtf8(kOemFolder) +
         " on the EFI system partition with the batch file\n" + platform::WideToUtf8(kBatchName) +
         ", and hands over to " + platform::WideToUtf8(kPbrScript) + " or\n" +
         platform::WideToUtf8(kWinReScript) +
         " in its own folder. It runs unattended; the outcome is\n"
         "in " +
         platform::WideToUtf8(kLogFile) +
         " beside it, and the exit code is 0.\n"
         "\n"
         "  malvik.exe RecoveryLetter ESPLetter PBRLetter\n"
         "                  uses the three letters as given (W: R: M:); arguments\n"
         "                  after the third are ignored\n"
         "  malvik.exe      with no, one or two arguments: assigns W:, R: and M:\n"
         "                  itself; the arguments given are ignored\n"
         "  malvik.exe /?   or --help: this text\n"
         "  malvik.exe --version\n"
         "                  the version\n"
         "\n"
         "Only /?, --help and --version, alone and exactly so, print and change\n"
         "nothing. Anything else runs in full and changes this PC: -h, a misspelt\n"
         "option, or --help with another argument is one or two ignored arguments.\n";
}

}  // namespace

ConsoleRequest PickConsoleRequest(int argc, const wchar_t* const argv[]) {
  if (argc != 2) return ConsoleRequest::kRun;
  const std::wstring szArg = argv[1];
  if (szArg == L"/?" || szArg == L"--help") return ConsoleRequest::kUsage;
  if (szArg == L"--version") return ConsoleRequest::kVersion;
  return ConsoleRequest::kRun;
}

LetterArguments PickLetterArguments(int argc, const wchar_t* const argv[]) {
  if (argc < 4) return {};
  return {argv[1], argv[2], argv[3]};
}

int RunMalvik(int argc, const wchar_t* const argv[]) {
  // A field engineer's first try on an unknown program: it must not reassign
  // letters or replace \EFI\OEM.
  switch (PickConsoleRequest(argc, argv)) {
    case ConsoleRequest::kUsage:
      platform::WriteStdout(UsageText());
      return kMalvikRan;
    case ConsoleRequest::kVersion:
      platform::WriteStdout(VersionLine("malvik"));
      return kMalvikRan;
    case ConsoleRequest::kRun:
      break;
  }
  if (!platform::InitFramework()) {
    platform::WriteStdout("Fatal Error: MFC initialization failed\n");
    return kMalvikNoFramework;
  }
  LetterArguments letters = PickLetterArguments(argc, argv);
  // The context holds both tables inline, too large for the stack; it lives
  // exactly as long as the run.
  auto context = std::make_unique<SetupContext>(std::move(letters.m_Recovery),
                                                std::move(letters.m_ESP),
                                                std::move(letters.m_PBR));
  context.reset();
  return kMalvikRan;
}
