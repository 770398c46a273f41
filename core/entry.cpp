#include "core/entry.h"

#include <memory>

#include "core/setup_context.h"
#include "platform/platform.h"

LetterArguments PickLetterArguments(int argc, const wchar_t* const argv[]) {
  if (argc < 4) return {};
  return {argv[1], argv[2], argv[3]};
}

int RunMalvik(int argc, const wchar_t* const argv[]) {
  if (!platform::InitFramework()) {
    platform::WriteStdout("Fatal Error: MFC initialization failed\n");
    return 1;
  }
  LetterArguments letters = PickLetterArguments(argc, argv);
  // The context holds both tables inline, too large for the stack; it lives
  // exactly as long as the run.
  auto context = std::make_unique<SetupContext>(std::move(letters.m_Recovery),
                                                std::move(letters.m_ESP),
                                                std::move(letters.m_PBR));
  context.reset();
  return 0;
}
