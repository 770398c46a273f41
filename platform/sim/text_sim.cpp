// Console code pages and code-page conversion on the simulated machine.
#include "platform/platform.h"
#include "platform/sim/code_pages.h"
#include "platform/sim/sim_machine.h"

namespace platform {

ConsoleCodePages ReadConsoleCodePages() {
  const sim::SimMachine& machine = sim::CurrentMachine();
  return {machine.m_ConsoleInputCodePage, machine.m_ConsoleOutputCodePage, machine.m_OemCodePage};
}

bool TextToCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes) {
  return sim::EncodeInCodePage(nCodePage, szText, pBytes);
}

bool TextFromCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText) {
  return sim::DecodeInCodePage(nCodePage, szBytes, pText);
}

}  // namespace platform
