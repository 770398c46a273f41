// A small model of the command interpreter running a batch file on the
// simulated files. It knows the forms the program writes: mkdir, XCOPY of a
// folder's contents, Del of a hidden file, and a hand-over to a script of
// the program folder with its output appended to a file. Anything else is
// reported as not understood and fails.
#include "platform/sim/cmd_model.h"

#include <vector>

#include "platform/sim/code_pages.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_text.h"

namespace sim {
namespace {

constexpr std::uint32_t kNotRecognised = 9009;  // cmd: not a command, program or batch file

// Splits a line at spaces and tabs outside quotes; quotes are removed.
std::vector<std::wstring> Tokens(const std::wstring& szLine) {
  std::vector<std::wstring> tokens;
  std::wstring szCurrent;
  bool bQuoted = false, bAny = false;
  for (wchar_t c : szLine) {
    if (c == L'"') {
      bQuoted = !bQuoted;
      bAny = true;
    } else if (!bQuoted && (c == L' ' || c == L'\t')) {
      if (bAny) tokens.push_back(szCurrent);
      szCurrent.clear();
      bAny = false;
    } else {
      szCurrent += c;
      bAny = true;
    }
  }
  if (bAny) tokens.push_back(szCurrent);
  return tokens;
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

// SCRIPT ARG... >> TARGET, taken apart.
struct HandOverLine {
  std::wstring m_Script;
  std::vector<std::wstring> m_Args;  // up to any ">>"
  std::wstring m_Target;             // after ">>"; empty: no redirection
  bool m_Understood = true;          // false: ">>" is not followed by exactly one file
};

HandOverLine ReadHandOverLine(const std::vector<std::wstring>& tokens) {
  HandOverLine line{tokens[0], {tokens.begin() + 1, tokens.end()}, L"", true};
  for (size_t i = 0; i < line.m_Args.size(); ++i) {
    if (line.m_Args[i] != L">>") continue;
    line.m_Understood = i + 2 == line.m_Args.size();
    if (line.m_Understood) line.m_Target = line.m_Args[i + 1];
    line.m_Args.resize(i);
    break;
  }
  return line;
}

// The run record names the hand-over; whether it ran is set once it has.
void RecordHandOver(const HandOverLine& line, SimProcessRun& run) {
  run.m_HandOverScript = line.m_Script;
  run.m_HandOverArgs = line.m_Args;
  run.m_HandOverRan = false;
}

// SCRIPT ARG... >> TARGET: control passes to the script for good.
SimBatchLine HandOver(SimMachine& machine, const HandOverLine& line, SimProcessRun& run,
                      bool& bRan) {
  if (!line.m_Understood) return {L"", L"not understood: >> takes one file at the end", 1};
  const std::vector<std::wstring>& args = line.m_Args;
  const std::wstring& szTarget = line.m_Target;
  std::wstring szArgs;
  for (const std::wstring& sz : args) szArgs += L" " + sz;
  const std::wstring szScript = AbsolutePath(machine, line.m_Script);
  const SimFile* pScript = FindFile(machine, szScript);
  if (pScript == nullptr || pScript->m_Folder) {
    return {L"", L"'" + line.m_Script + L"' is not recognized as an internal or external command",
            kNotRecognised};
  }
  SimFile* pOutput = nullptr;
  std::wstring szAbsoluteTarget;
  if (!szTarget.empty()) {
    szAbsoluteTarget = AbsolutePath(machine, szTarget);
    SimVolumeFiles* pFiles = FilesOf(machine, szAbsoluteTarget);
    pOutput = FindFile(machine, szAbsoluteTarget);
    if (pOutput == nullptr && pFiles != nullptr && szAbsoluteTarget.size() > 3 &&
        ParentFolderExists(machine, szAbsoluteTarget)) {
      AddFile(*pFiles, szAbsoluteTarget.substr(3), false, false, "");
      pOutput = FindFile(machine, szAbsoluteTarget);
    }
    if (pOutput == nullptr || pOutput->m_Folder) {
      return {L"", L"The system cannot find the path specified.", 1};
    }
  }
  SimScript script;
  for (const auto& [szName, entry] : machine.m_Scripts) {
    if (UpperAscii(szName) == UpperAscii(FileName(szScript))) script = entry;
  }
  std::wstring szDid = L"ran " + FileName(szScript) + L" with" +
                       (szArgs.empty() ? L" no arguments" : szArgs) + L", exit code " +
                       std::to_wstring(script.m_ExitCode);
  if (script.m_RunMs != 0) szDid += L" after " + std::to_wstring(script.m_RunMs) + L" ms";
  if (pOutput != nullptr && script.m_Output) {
    pOutput->m_Bytes += *script.m_Output + "\r\n";
    szDid += L"; output appended to " + szAbsoluteTarget;
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
  run.m_RunMs = script.m_RunMs;
  bRan = true;
  return {L"", szDid, script.m_ExitCode};
}

// One line of a batch file as cmd reads it: the text, and its words after
// "%%" is read as one '%'.
struct ReadLine {
  std::wstring m_Text;
  std::vector<std::wstring> m_Tokens;
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
    // cmd reads "%%" in a batch file as one '%'.
    std::wstring szExpanded = szLine;
    for (size_t p = szExpanded.find(L"%%"); p != std::wstring::npos;
         p = szExpanded.find(L"%%", p + 1)) {
      szExpanded.erase(p, 1);
    }
    std::vector<std::wstring> tokens = Tokens(szExpanded);
    if (!tokens.empty()) lines.push_back({szLine, std::move(tokens)});
  }
  return lines;
}

}  // namespace

void RunBatchFile(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run) {
  run.m_BatchFile = szBatch;
  std::uint32_t nLevel = 0;
  for (const ReadLine& read : ReadBatchLines(machine, szBatch)) {
    const std::vector<std::wstring>& tokens = read.m_Tokens;
    const std::wstring szVerb = UpperAscii(tokens[0]);
    const std::vector<std::wstring> args(tokens.begin() + 1, tokens.end());
    SimBatchLine line;
    bool bHandedOver = false;
    if (szVerb == L"MKDIR" || szVerb == L"MD") {
      line = MakeFolder(machine, args);
    } else if (szVerb == L"XCOPY") {
      line = CopyTree(machine, args);
    } else if (szVerb == L"DEL" || szVerb == L"ERASE") {
      line = DeleteHidden(machine, args);
    } else if (IsHandOverVerb(szVerb)) {
      const HandOverLine handOver = ReadHandOverLine(tokens);
      RecordHandOver(handOver, run);
      line = HandOver(machine, handOver, run, bHandedOver);
      run.m_HandOverRan = bHandedOver;
    } else {
      line = {L"", L"not understood by the interpreter model", 1};
    }
    line.m_Line = read.m_Text;
    nLevel = line.m_Code;
    run.m_Lines.push_back(line);
    if (bHandedOver) break;
  }
  run.m_ExitCode = nLevel;
}

void ReadHandOver(SimMachine& machine, const std::wstring& szBatch, SimProcessRun& run) {
  run.m_BatchFile = szBatch;
  for (const ReadLine& read : ReadBatchLines(machine, szBatch)) {
    if (IsHandOverVerb(read.m_Tokens[0])) {
      RecordHandOver(ReadHandOverLine(read.m_Tokens), run);
      return;
    }
  }
}

}  // namespace sim
