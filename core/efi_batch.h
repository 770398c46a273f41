// The bytes of the batch file "CopyEFI_byOEM.cmd": it makes \EFI\OEM on the
// EFI system partition, copies \EFI\Microsoft into it, drops the copied BCD
// and hands over to a boot-configuration script of the program folder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

struct EfiBatchInput {
  std::wstring m_ProgramDir;  // with its trailing backslash: C:\Tools\ (C:\Tools\Log is the log folder)
  std::wstring m_ESPLetter;
  bool m_LogFolderMissing = false;  // adds the mkdir of the log folder first
  std::wstring m_Script;            // "modifybcdtoPBR.cmd" or "modifybcdtoWinRE.cmd"
  std::wstring m_ScriptLetter;      // the script's second argument
};

// The batch file's text: CR LF line ends, no line end after the last line; a
// '%' is doubled so that cmd reads it as itself.
std::wstring BuildEfiBatch(const EfiBatchInput& input);

// The code page cmd reads the batch file in, and whether only ASCII reads
// back the same in it.
struct BatchCodePage {
  std::uint32_t m_CodePage = 0;
  bool m_AsciiOnly = false;
};

// cmd reads a batch file in its console's output code page, and a child
// shares the program's console; without one it gets a new console in the
// OEM code page. Where the console's input and output code pages differ,
// which one a given cmd uses is not certain, so only ASCII is carried.
BatchCodePage ChooseBatchCodePage(const platform::ConsoleCodePages& pages);

// Whether the code page writes every printable ASCII character, CR and LF
// as that one byte: the batch file's own words and a path's backslashes are
// written as themselves only then. Not so in UTF-7 ('+', '\\'), HZ ('~') or
// a code page the conversion refuses.
bool KeepsAscii(std::uint32_t nCodePage);

// Encodes the batch file for input into *pBytes. Returns the first inserted
// text (program folder, ESP letter, script letter) that the batch file
// cannot carry so that cmd reads it back unchanged, or nullptr when all of
// it is carried. Not carried: a character without an exact form in the code
// page (no best-fit substitute), a control character, and what cmd would
// read as its own (" * ? < > |); in the program folder also a '%', which
// cmd expands on the command line that starts the batch file, where nothing
// escapes it.
const std::wstring* EncodeEfiBatch(const EfiBatchInput& input, const BatchCodePage& codePage,
                                   std::string* pBytes);

// szPath in double quotes when the command interpreter would split it or
// read a character of it as its own (a space, '&', '(', ...); unchanged
// otherwise.
std::wstring QuoteForCommandLine(const std::wstring& szPath);
