// A small model of the command interpreter running a batch file on the
// simulated files. It knows the forms the program writes: mkdir, XCOPY of a
// folder's contents, Del of a hidden file, and a hand-over to a script of
// the program folder with its output appended to a file. Anything else is
// reported as not understood and fails.
//
// A line is read as cmd reads it, in two steps; each rule names its witness
// (Microsoft's cmd documentation: "cmd /?", "set /?", "call /?" and "Command
// redirection operators"; where that is silent, Wine's cmd, run on such
// lines in the Wine suites' prefix):
// 1. '%' first. In a batch file "%%" is one '%' (docs); %0 is the name the
//    batch file was started by, %1 to %9 and %* its arguments, none here
//    (docs: call /?); %NAME% is the variable's value (docs: set /?), nothing
//    when it is not defined, and a lone '%' is dropped (Wine: "50%" reads
//    "50"; the name runs to the next
//    '%' whatever lies between). On the command line that starts the batch
//    file an undefined %NAME% and a lone '%' stay as typed (Wine).
// 2. Then the words. Outside double quotes, '^' makes the next character
//    plain and is dropped; '&', "&&", "||" and '|' end a command and start
//    the next; '>', ">>" and '<' redirect to or from the next word (docs:
//    redirection operators). Words end at a space, a tab, ',', ';' or '='
//    (docs: cmd /? and call /? name them as delimiters; Wine splits
//    "C:\A,B\t.cmd" into the command "C:\A" and the word "B\t.cmd").
//    Quotes are removed from the words.
#include "simulator/cmd_model.h"

#include <optional>
#include <utility>
#include <vector>

#include "simulator/code_pages.h"
#include "simulator/sim_files.h"
#include "simulator/sim_paths.h"
#include "simulator/sim_text.h"

namespace sim {
namespace {

constexpr std::uint32_t kNotRecognised = 9009;  // cmd: not a command, program or batch file

// The variables every Windows sets, as a batch file started by a program
// sees them; names are matched without regard to case.
std::optional<std::wstring> Variable(const std::wstring& szName) {
  static const std::pair<const wchar_t*, const wchar_t*> kVariables[] = {
      {L"OS", L"Windows_NT"},
      {L"SystemDrive", L"C:"},
      {L"SystemRoot", L"C:\\Windows"},
      {L"windir", L"C:\\Windows"},
      {L"ComSpec", L"C:\\Windows\\system32\\cmd.exe"},
      {L"ProgramFiles", L"C:\\Program Files"},
      {L"PATHEXT", L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
  };
  for (const auto& [szKnown, szValue] : kVariables) {
    if (UpperAscii(szKnown) == UpperAscii(szName)) return szValue;
  }
  return std::nullopt;
}

// Step 1: the line after cmd has read its '%' signs. pBatchFile: the name
// the batch file was started by, for a line of it; nullptr for the command
// line that starts one.
std::wstring ExpandPercents(const std::wstring& szLine, const std::wstring* pBatchFile) {
  const bool bBatchFile = pBatchFile != nullptr;
  std::wstring szOut;
  for (size_t i = 0; i < szLine.size();) {
    const wchar_t c = szLine[i];
    const wchar_t next = i + 1 < szLine.size() ? szLine[i + 1] : L'\0';
    if (c != L'%') {
      szOut += c;
      ++i;
    } else if (bBatchFile && next == L'%') {
      szOut += L'%';
      i += 2;
    } else if (bBatchFile && next == L'0') {
      szOut += *pBatchFile;
      i += 2;
    } else if (bBatchFile && ((next >= L'1' && next <= L'9') || next == L'*')) {
      i += 2;  // an argument of the batch file: it has none
    } else if (const size_t end = szLine.find(L'%', i + 1); end == std::wstring::npos) {
      if (!bBatchFile) szOut += c;  // a lone '%'
      ++i;
    } else if (const auto value = Variable(szLine.substr(i + 1, end - i - 1))) {
      szOut += *value;
      i = end + 1;
    } else {
      if (!bBatchFile) szOut += szLine.substr(i, end + 1 - i);  // undefined
      i = end + 1;
    }
  }
  return szOut;
}

// One command of a line, as step 2 takes it apart.
struct Command {
  std::vector<std::wstring> m_Words;
  std::wstring m_Joiner;                // what joins it to the command before: "", "&", "&&", "||", "|"
  std::vector<std::wstring> m_Outputs;  // ">" and ">>" targets, in order (">" ones marked by a leading '>')
  std::vector<std::wstring> m_Inputs;   // "<" sources
  bool m_Understood = true;             // false: a redirection without a word after it
};

// Step 2: the commands of a line.
std::vector<Command> Commands(const std::wstring& szLine) {
  std::vector<Command> commands(1);
  std::wstring szWord;
  bool bQuoted = false, bAny = false;
  // Where the next word goes: empty, the command's words; else the
  // redirection it follows.
  std::wstring szRedirect;
  auto endWord = [&] {
    if (!bAny) return;
    Command& command = commands.back();
    if (szRedirect == L"<") {
      command.m_Inputs.push_back(szWord);
    } else if (!szRedirect.empty()) {
      command.m_Outputs.push_back((szRedirect == L">" ? L">" : L"") + szWord);
    } else {
      command.m_Words.push_back(szWord);
    }
    szRedirect.clear();
    szWord.clear();
    bAny = false;
  };
  for (size_t i = 0; i < szLine.size(); ++i) {
    const wchar_t c = szLine[i];
    const wchar_t next = i + 1 < szLine.size() ? szLine[i + 1] : L'\0';
    if (c == L'"') {
      bQuoted = !bQuoted;
      bAny = true;
    } else if (bQuoted) {
      szWord += c;
    } else if (c == L'^') {
      if (next != L'\0') szWord += next;
      bAny = bAny || next != L'\0';
      ++i;
    } else if (c == L'&' || c == L'|') {
      endWord();
      if (!szRedirect.empty()) commands.back().m_Understood = false;
      szRedirect.clear();
      const bool bDouble = next == c;
      commands.push_back({});
      commands.back().m_Joiner = std::wstring(bDouble ? 2 : 1, c);
      if (bDouble) ++i;
    } else if (c == L'>' || c == L'<') {
      endWord();
      if (!szRedirect.empty()) commands.back().m_Understood = false;
      szRedirect = c == L'>' && next == L'>' ? L">>" : std::wstring(1, c);
      if (szRedirect == L">>") ++i;
    } else if (c == L' ' || c == L'\t' || c == L',' || c == L';' || c == L'=') {
      endWord();
    } else {
      szWord += c;
      bAny = true;
    }
  }
  endWord();
  if (!szRedirect.empty()) commands.back().m_Understood = false;
  std::vector<Command> found;
  for (Command& command : commands) {
    if (!command.m_Words.empty() || !command.m_Understood) found.push_back(std::move(command));
  }
  return found;
}

std::wstring FileName(const std::wstring& szPath) {
  const size_t slash = szPath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? szPath : szPath.substr(slash + 1);
}

bool IsSwitch(const std::wstring& sz) { return !sz.empty() && sz[0] == L'/'; }

// mkdir creates missing parent folders too, as with command extensions on.
SimBatchLine MakeFolder(SimMachine& machine, const std::vector<std::wstring>& args) {
  if (args.size() != 1) return {L"", L"not understood: mkdir takes one folder here", 1};
  const std::wstring szAbsolute = AbsolutePath(machine, args[0]);
  SimVolumeFiles* pFiles = FilesOf(machine, szAbsolute);
  if (pFiles == nullptr) return {L"", L"The system cannot find the drive specified.", 1};
  if (szAbsolute.size() <= 3 || FindFile(machine, szAbsolute) != nullptr) {
    return {L"", L"A subdirectory or file " + args[0] + L" already exists.", 1};
  }
  // A file on the way blocks the folder.
  for (size_t pos = szAbsolute.find(L'\\', 3); pos != std::wstring::npos;
       pos = szAbsolute.find(L'\\', pos + 1)) {
    const SimFile* pParent = FindFile(machine, szAbsolute.substr(0, pos));
    if (pParent != nullptr && !pParent->m_Folder) {
      return {L"", L"The system cannot find the path specified.", 1};
    }
  }
  AddFile(*pFiles, szAbsolute.substr(3), true, false, "");
  return {L"", L"created folder " + szAbsolute, 0};
}

// XCOPY SRC\* DST\ with /c /e /f /y /h: the source folder's tree, hidden
// files included, into the destination folder (created when missing).
SimBatchLine CopyTree(SimMachine& machine, const std::vector<std::wstring>& args) {
  std::vector<std::wstring> paths;
  std::wstring szSwitches;
  for (const std::wstring& sz : args) {
    if (IsSwitch(sz)) {
      szSwitches += UpperAscii(sz);
    } else {
      paths.push_back(sz);
    }
  }
  if (paths.size() != 2 || paths[0].size() < 2 || paths[0].substr(paths[0].size() - 2) != L"\\*" ||
      paths[1].empty() || paths[1].back() != L'\\') {
    return {L"", L"not understood: XCOPY takes SRC\\* DST\\ here", 1};
  }
  const bool bHidden = szSwitches.find(L"/H") != std::wstring::npos;
  const bool bEmptyFolders = szSwitches.find(L"/E") != std::wstring::npos;
  const std::wstring szSource = AbsolutePath(machine, paths[0].substr(0, paths[0].size() - 2));
  const std::wstring szTarget = AbsolutePath(machine, paths[1]);
  SimVolumeFiles* pFrom = FilesOf(machine, szSource);
  SimVolumeFiles* pTo = FilesOf(machine, szTarget);
  const SimFile* pSourceFolder = FindFile(machine, szSource);
  const bool bSourceIsRoot = szSource.size() <= 3 && pFrom != nullptr;
  if (!bSourceIsRoot && (pSourceFolder == nullptr || !pSourceFolder->m_Folder)) {
    return {L"", L"File not found - *; 0 File(s) copied", 4};
  }
  if (pTo == nullptr) return {L"", L"Invalid drive; 0 File(s) copied", 4};
  const std::wstring szSourceKey = bSourceIsRoot ? L"" : UpperAscii(szSource.substr(3));
  const size_t nSkip = szSourceKey.empty() ? 0 : szSourceKey.size() + 1;
  const std::wstring szTargetRest = szTarget.size() <= 3 ? L"" : szTarget.substr(3) + L"\\";
  std::vector<SimFile> copies;
  for (const SimFile* pEntry : EntriesBelow(*pFrom, szSourceKey)) {
    if (pEntry->m_Hidden && !bHidden) continue;
    if (pEntry->m_Folder && !bEmptyFolders) continue;
    SimFile copy = *pEntry;
    copy.m_Path = szTargetRest + pEntry->m_Path.substr(nSkip);
    copies.push_back(copy);
  }
  int nFiles = 0;
  for (const SimFile& copy : copies) {
    SimFile* pCopy = AddFile(*pTo, copy.m_Path, copy.m_Folder, copy.m_Hidden, copy.m_Bytes);
    if (pCopy != nullptr) pCopy->m_WrittenBy = kCopyProgram;
    if (!copy.m_Folder) ++nFiles;
  }
  return {L"", L"copied " + std::to_wstring(nFiles) + L" file(s) to " + szTarget,
          nFiles > 0 ? 0u : 1u};
}

// Del /Q /A:H FILE: removes the file only when it is hidden.
SimBatchLine DeleteHidden(SimMachine& machine, const std::vector<std::wstring>& args) {
  std::vector<std::wstring> paths;
  bool bHiddenOnly = false;
  for (const std::wstring& sz : args) {
    if (UpperAscii(sz) == L"/A:H") {
      bHiddenOnly = true;
    } else if (!IsSwitch(sz)) {
      paths.push_back(sz);
    }
  }
  if (paths.size() != 1 || !bHiddenOnly) return {L"", L"not understood: Del /Q /A:H FILE here", 1};
  const std::wstring szAbsolute = AbsolutePath(machine, paths[0]);
  SimFile* pFile = FindFile(machine, szAbsolute);
  if (pFile == nullptr || pFile->m_Folder || !pFile->m_Hidden) {
    return {L"", L"Could Not Find " + szAbsolute, 0};
  }
  FilesOf(machine, szAbsolute)->m_Entries.erase(UpperAscii(pFile->m_Path));
  return {L"", L"deleted " + szAbsolute, 0};
}

// A line whose command is a .cmd or .bat file: cmd hands over to it.
bool IsHandOverVerb(const std::wstring& szVerb) {
  const std::wstring szUpper = UpperAscii(szVerb);
  return szUpper.size() > 4 && (szUpper.substr(szUpper.size() - 4) == L".CMD" ||
                                szUpper.substr(szUpper.size() - 4) == L".BAT");
}

// The run record names the hand-over; whether it ran is set once it has.
void RecordHandOver(const Command& command, SimProcessRun& run) {
  run.m_HandOverScript = command.m_Words[0];
  run.m_HandOverArgs.assign(command.m_Words.begin() + 1, command.m_Words.end());
  run.m_HandOverRan = false;
}

// A command's output file, once its redirections are open: cmd opens each
// before the command runs, "<" sources must exist, '>' empties its file,
// and the last output is the one written.
struct Redirected {
  SimFile* m_pOutput = nullptr;  // nullptr: the console
  std::wstring m_OutputPath;     // absolute
  std::wstring m_Error;          // not empty: the command does not run
};

Redirected OpenRedirections(SimMachine& machine, const Command& command) {
  Redirected result;
  for (const std::wstring& szInput : command.m_Inputs) {
    const SimFile* pFile = FindFile(machine, AbsolutePath(machine, szInput));
    if (pFile == nullptr || pFile->m_Folder) {
      result.m_Error = L"The system cannot find the file specified.";
      return result;
    }
  }
  for (const std::wstring& szOutput : command.m_Outputs) {
    const bool bEmpties = !szOutput.empty() && szOutput[0] == L'>';
    const std::wstring szAbsolute = AbsolutePath(machine, bEmpties ? szOutput.substr(1) : szOutput);
    SimVolumeFiles* pFiles = FilesOf(machine, szAbsolute);
    SimFile* pFile = FindFile(machine, szAbsolute);
    if (pFile == nullptr && pFiles != nullptr && szAbsolute.size() > 3 &&
        ParentFolderExists(machine, szAbsolute)) {
      AddFile(*pFiles, szAbsolute.substr(3), false, false, "");
      pFile = FindFile(machine, szAbsolute);
    }
    if (pFile == nullptr || pFile->m_Folder) {
      result.m_Error = L"The system cannot find the path specified.";
      return result;
    }
    if (bEmpties) pFile->m_Bytes.clear();
    result.m_pOutput = pFile;
    result.m_OutputPath = szAbsolute;
  }
  return result;
}

// SCRIPT ARG...: control passes to the script; the batch file ends once the
// rest of its line has run (Wine: "a.cmd & b.cmd" and "a.cmd | b.cmd" run
// both and end with b's exit code; the documentation is silent).
SimBatchLine HandOver(SimMachine& machine, const Command& command, const Redirected& output,
                      SimProcessRun& run, bool& bRan) {
  const std::wstring& szNamed = command.m_Words[0];
  const std::vector<std::wstring> args(command.m_Words.begin() + 1, command.m_Words.end());
  std::wstring szArgs;
  for (const std::wstring& sz : args) szArgs += L" " + sz;
  const std::wstring szScript = AbsolutePath(machine, szNamed);
  const SimFile* pScript = FindFile(machine, szScript);
  if (pScript == nullptr || pScript->m_Folder) {
    return {L"", L"'" + szNamed + L"' is not recognized as an internal or external command",
            kNotRecognised};
  }
  SimScript script;
  for (const auto& [szName, entry] : machine.m_Scripts) {
    if (UpperAscii(szName) == UpperAscii(FileName(szScript))) script = entry;
  }
  std::wstring szDid = L"ran " + FileName(szScript) + L" with" +
                       (szArgs.empty() ? L" no arguments" : szArgs) + L", exit code " +
                       std::to_wstring(script.m_ExitCode);
  if (script.m_RunMs != 0) szDid += L" after " + std::to_wstring(script.m_RunMs) + L" ms";
  if (output.m_pOutput != nullptr && script.m_Output) {
    output.m_pOutput->m_Bytes += *script.m_Output + "\r\n";
    szDid += L"; output appended to " + output.m_OutputPath;
  }
  SimVolumeFiles* pFirstVolume =
      args.empty() ? nullptr : FilesOf(machine, AbsolutePath(machine, args[0] + L"\\"));
  if (pFirstVolume != nullptr && !script.m_Creates.m_Entries.empty()) {
    for (const auto& [szKey, file] : script.m_Creates.m_Entries) {
      SimFile* pMade =
          AddFile(*pFirstVolume, file.m_Path, file.m_Folder, file.m_Hidden, file.m_Bytes);
      if (pMade != nullptr) pMade->m_WrittenBy = FileName(szScript);
    }
    szDid += L"; left " + std::to_wstring(script.m_Creates.m_Entries.size()) + L" entries on " +
             args[0];
  }
  run.m_RunMs += script.m_RunMs;
  bRan = true;
  return {L"", szDid, script.m_ExitCode};
}

// One command, its redirections first.
SimBatchLine RunCommand(SimMachine& machine, const Command& command, SimProcessRun& run,
                        bool& bHandedOver) {
  if (!command.m_Understood || command.m_Words.empty()) {
    return {L"", L"not understood: a redirection takes one file", 1};
  }
  const std::wstring& szNamed = command.m_Words[0];
  const std::wstring szVerb = UpperAscii(szNamed);
  const std::vector<std::wstring> args(command.m_Words.begin() + 1, command.m_Words.end());
  // The run records the line's first hand-over.
  const bool bRecorded = IsHandOverVerb(szVerb) && run.m_HandOverScript.empty();
  if (bRecorded) RecordHandOver(command, run);
  const Redirected output = OpenRedirections(machine, command);
  if (!output.m_Error.empty()) return {L"", output.m_Error, 1};
  if (szVerb == L"MKDIR" || szVerb == L"MD") return MakeFolder(machine, args);
  if (szVerb == L"XCOPY") return CopyTree(machine, args);
  if (szVerb == L"DEL" || szVerb == L"ERASE") return DeleteHidden(machine, args);
  if (IsHandOverVerb(szVerb)) {
    bool bRan = false;
    const SimBatchLine line = HandOver(machine, command, output, run, bRan);
    if (bRecorded) run.m_HandOverRan = bRan;
    bHandedOver = bHandedOver || bRan;
    return line;
  }
  // A path names a program; cmd finds none there.
  if (szNamed.find_first_of(L"\\:") != std::wstring::npos &&
      FindFile(machine, AbsolutePath(machine, szNamed)) == nullptr) {
    return {L"", L"'" + szNamed + L"' is not recognized as an internal or external command",
            kNotRecognised};
  }
  return {L"", L"not understood by the interpreter model", 1};
}

// One line of a batch file as cmd reads it: the text, and its commands.
struct ReadLine {
  std::wstring m_Text;
  std::vector<Command> m_Commands;
};

// The lines of the batch file that hold a command, in order.
std::vector<ReadLine> ReadBatchLines(SimMachine& machine, const std::wstring& szBatch) {
  const SimFile* pBatch = FindFile(machine, szBatch);
  // cmd reads a batch file in the console's code page (a program without a
  // console gives its child a new one, in the OEM code page): bytes written
  // for another code page read as other characters, and so name other paths.
  const std::uint32_t nCodePage = machine.m_ConsoleOutputCodePage != 0
                                      ? machine.m_ConsoleOutputCodePage
                                      : machine.m_OemCodePage;
  std::wstring szText;
  if (pBatch != nullptr) DecodeInCodePage(nCodePage, pBatch->m_Bytes, &szText);
  std::vector<ReadLine> lines;
  size_t begin = 0;
  while (begin < szText.size()) {
    size_t end = szText.find(L'\n', begin);
    if (end == std::wstring::npos) end = szText.size();
    std::wstring szLine = szText.substr(begin, end - begin);
    begin = end + 1;
    if (!szLine.empty() && szLine.back() == L'\r') szLine.pop_back();
    std::vector<Command> commands = Commands(ExpandPercents(szLine, &szBatch));
    if (!commands.empty()) lines.push_back({szLine, std::move(commands)});
  }
  return lines;
}

}  // namespace

void RunBatchFile(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run) {
  run.m_BatchFile = szBatch;
  std::uint32_t nLevel = 0;
  bool bHandedOver = false;
  for (const ReadLine& read : ReadBatchLines(machine, szBatch)) {
    for (const Command& command : read.m_Commands) {
      // "&&" runs after success only, "||" after failure only.
      if ((command.m_Joiner == L"&&" && nLevel != 0) || (command.m_Joiner == L"||" && nLevel == 0)) {
        continue;
      }
      SimBatchLine line = RunCommand(machine, command, run, bHandedOver);
      line.m_Line = read.m_Text;
      nLevel = line.m_Code;
      run.m_Lines.push_back(line);
    }
    if (bHandedOver) break;
  }
  run.m_ExitCode = nLevel;
}

void RunBatchCommand(SimMachine& machine, const std::wstring& szCommandLine, SimProcessRun& run) {
  // The platform starts cmd /c "COMMAND LINE". cmd keeps those two quotes
  // when they are the only ones, hold a space or tab and none of & < > ( )
  // @ ^ |, and name a file; otherwise it drops them (docs: cmd /?). Then
  // it reads the line as typed at its prompt.
  const bool bKeepQuotes =
      szCommandLine.find(L'"') == std::wstring::npos &&
      szCommandLine.find_first_of(L" \t") != std::wstring::npos &&
      szCommandLine.find_first_of(L"&<>()@^|") == std::wstring::npos &&
      FindFile(machine, AbsolutePath(machine, szCommandLine)) != nullptr;
  const std::wstring szLine = bKeepQuotes ? L"\"" + szCommandLine + L"\"" : szCommandLine;
  const std::vector<Command> commands = Commands(ExpandPercents(szLine, nullptr));
  const std::wstring szNamed =
      commands.empty() || commands[0].m_Words.empty() ? L"" : commands[0].m_Words[0];
  const std::wstring szBatch = AbsolutePath(machine, szNamed);
  const SimFile* pFile = FindFile(machine, szBatch);
  if (pFile == nullptr || pFile->m_Folder || !IsHandOverVerb(szNamed)) {
    run.m_Lines.push_back(
        {szCommandLine, L"'" + szNamed + L"' is not recognized as an internal or external command",
         kNotRecognised});
    run.m_ExitCode = kNotRecognised;
    return;
  }
  RunBatchFile(machine, szBatch, run);
}

void ReadHandOver(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run) {
  run.m_BatchFile = szBatch;
  for (const ReadLine& read : ReadBatchLines(machine, szBatch)) {
    for (const Command& command : read.m_Commands) {
      if (!command.m_Words.empty() && IsHandOverVerb(command.m_Words[0])) {
        RecordHandOver(command, run);
        return;
      }
    }
  }
}

}  // namespace sim
