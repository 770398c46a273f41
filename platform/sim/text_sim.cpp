// Console code pages, code-page conversion and the system's error texts on
// the simulated machine.
#include "platform/platform.h"
#include "simulator/code_pages.h"
#include "simulator/sim_machine.h"
#include "platform/win32_codes.h"

namespace platform {

ConsoleCodePages ReadConsoleCodePages() {
  const sim::SimMachine& machine = sim::CurrentMachine();
  return {machine.m_ConsoleInputCodePage, machine.m_ConsoleOutputCodePage, machine.m_OemCodePage};
}

std::uint32_t ReadAnsiCodePage() { return sim::CurrentMachine().m_AnsiCodePage; }

bool TextToCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes) {
  return sim::EncodeInCodePage(nCodePage, szText, pBytes);
}

bool TextFromCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText) {
  return sim::DecodeInCodePage(nCodePage, szBytes, pText);
}

// Windows' English texts for the codes the simulated machine answers with;
// any other code has none here.
std::wstring SystemErrorText(std::uint32_t nError) {
  struct Text {
    std::uint32_t m_Error;
    const wchar_t* m_Text;
  };
  static const Text kTexts[] = {
      {kERROR_INVALID_FUNCTION, L"Incorrect function."},
      {kERROR_FILE_NOT_FOUND, L"The system cannot find the file specified."},
      {kERROR_PATH_NOT_FOUND, L"The system cannot find the path specified."},
      {kERROR_ACCESS_DENIED, L"Access is denied."},
      {kERROR_NOT_SAME_DEVICE, L"The system cannot move the file to a different disk drive."},
      {kERROR_NOT_READY, L"The device is not ready."},
      {kERROR_SHARING_VIOLATION,
       L"The process cannot access the file because it is being used by another process."},
      {kERROR_INVALID_PARAMETER, L"The parameter is incorrect."},
      {kERROR_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small."},
      {kERROR_INVALID_NAME, L"The filename, directory name, or volume label syntax is incorrect."},
      {kERROR_FILE_EXISTS, L"The file exists."},
      {kERROR_ALREADY_EXISTS, L"Cannot create a file when that file already exists."},
      {kERROR_PRIVILEGE_NOT_HELD, L"A required privilege is not held by the client."},
      {kERROR_DIRECTORY, L"The directory name is invalid."},
  };
  for (const Text& text : kTexts) {
    if (text.m_Error == nError) return text.m_Text;
  }
  return {};
}

}  // namespace platform
