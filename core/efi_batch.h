// The bytes of the batch file "CopyEFI_byOEM.cmd": it makes \EFI\OEM on the
// EFI system partition, copies \EFI\Microsoft into it, drops the copied BCD
// and hands over to a boot-configuration script of the program folder.
#pragma once

#include <string>

struct EfiBatchInput {
  std::wstring m_ProgramDir;  // with its trailing backslash: C:\Tools\ (C:\Tools\Log is the log folder)
  std::wstring m_ESPLetter;
  bool m_LogFolderMissing = false;  // adds the mkdir of the log folder first
  std::wstring m_Script;            // "modifybcdtoPBR.cmd" or "modifybcdtoWinRE.cmd"
  std::wstring m_ScriptLetter;      // the script's second argument
};

// 8-bit text, CR LF line ends, no line end after the last line; a '%' is
// doubled so that cmd reads it as itself. A character without a one-byte
// form would be written as '?', a wildcard to cmd: ask FindUncarriedText
// first.
std::string BuildEfiBatch(const EfiBatchInput& input);

// The first inserted text (program folder, ESP letter, script letter) that
// the batch file cannot carry so that cmd reads it back unchanged, or nullptr.
// cmd reads a batch file in the console's code page, so only printable ASCII
// is carried, and none of the characters no path holds (" * ? < > |).
const std::wstring* FindUncarriedText(const EfiBatchInput& input);

// szPath in double quotes when the command interpreter would split it or
// read a character of it as its own (a space, '&', '(', ...); unchanged
// otherwise.
std::wstring QuoteForCommandLine(const std::wstring& szPath);
