// malvik-capture.exe's command: its options, the checks made before
// anything is captured (the output is not an existing file, the program
// folder is malvik's), the capture, its output and the summary, and the
// exit status.
#include <optional>

#include "capture/capture.h"
#include "core/copy_efi.h"
#include "malvik_version.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

const char kUsage[] =
    "usage: malvik-capture.exe [--out FILE [--force]] [--program FOLDER] [--allow-incomplete]\n"
    "                          [--current-directory FOLDER]\n";

// --help after the synopsis, in two parts around the names of the files
// malvik's folder must hold.
const char kHelpBefore[] =
    "\n"
    "Writes a description of the machine it runs on, for malvik-sim to replay a\n"
    "field log with. It changes nothing on the machine but its output file: no\n"
    "drive letter is defined or removed, no other file is written.\n"
    "\n"
    "  --out FILE          write the description to FILE: first to a new file\n"
    "                      FILE.tmp beside it (FILE.2.tmp, ... when that name is\n"
    "                      taken), then renamed to FILE. Without --out, or with\n"
    "                      --out -, the description goes to standard output.\n"
    "  --force             replace FILE when it exists, by a rename that is not\n"
    "                      guaranteed atomic; without it an existing FILE (a\n"
    "                      field log, the program) is never touched.\n"
    "  --program FOLDER    malvik's folder: full (C:\\Tools), or relative to the\n"
    "                      current folder (., ..\\Tools, OEM). A file stands for\n"
    "                      its folder (C:\\Tools\\malvik.exe: C:\\Tools). Default:\n"
    "                      the capture's own folder.\n"
    "  --allow-incomplete  capture even when the program folder cannot be found\n"
    "                      or lacks ";

const char kHelpAfter[] =
    "; the description's notes say what.\n"
    "  --current-directory FOLDER\n"
    "                      the folder malvik is started in, full or relative to\n"
    "                      the current folder as with --program; the replay\n"
    "                      starts malvik there. The batch file inherits it, and\n"
    "                      deleting a tree keeps it. Default: none is recorded\n"
    "                      and the replay starts malvik in its program folder,\n"
    "                      which a note says.\n"
    "  --help              this text.\n"
    "  --version           the version: malvik-capture X.Y.Z.\n"
    "\n"
    "Capture in the same boot as malvik's run: the disk and partition numbers\n"
    "(the N and M of \\Device\\HarddiskN\\PartitionM) are not guaranteed to\n"
    "stay the same across a restart. Run it as administrator, as malvik is run:\n"
    "without elevation it may not read the firmware probe, the partition tables\n"
    "or the EFI system partition, and a note says what it could not read.\n"
    "\n"
    "Standard output carries the description and nothing else; the summary of\n"
    "what was found, the notes, warnings and errors go to standard error. Both\n"
    "end every line with LF alone, as --out does: standard output holds the\n"
    "very bytes --out writes.\n"
    "\n"
    "Exit status:\n"
    "  0  the description was written\n"
    "  2  the command line is wrong: an unknown option, a missing value, an\n"
    "     option given twice, or a --current-directory FOLDER that cannot be\n"
    "     found\n"
    "  3  the program folder cannot be found or lacks malvik.exe or a script;\n"
    "     nothing captured (see --program, --allow-incomplete)\n"
    "  4  FILE exists (see --force), is a folder, or could not be written;\n"
    "     the message says why, and an existing FILE is as it was; a\n"
    "     description written whole but not renamed to FILE is kept, under\n"
    "     the name the message gives\n";

struct Arguments {
  std::optional<std::wstring> m_Out;
  std::optional<std::wstring> m_Program;
  std::optional<std::wstring> m_CurrentDirectory;
  bool m_Force = false;
  bool m_AllowIncomplete = false;
  bool m_Help = false;
  bool m_Version = false;
  std::wstring m_Error;  // what is wrong with the command line; empty: nothing
};

Arguments ReadArguments(const std::vector<std::wstring>& args) {
  Arguments arguments;
  for (size_t i = 0; i < args.size() && arguments.m_Error.empty(); ++i) {
    const std::wstring& szArg = args[i];
    if (szArg == kOutOption || szArg == kProgramOption || szArg == kCurrentDirectoryOption) {
      std::optional<std::wstring>& value = szArg == kOutOption       ? arguments.m_Out
                                           : szArg == kProgramOption ? arguments.m_Program
                                                                     : arguments.m_CurrentDirectory;
      const bool bHasValue =
          i + 1 < args.size() && !args[i + 1].empty() && args[i + 1].rfind(L"--", 0) != 0;
      if (!bHasValue) {
        arguments.m_Error =
            szArg + (szArg == kOutOption ? L" needs a file name" : L" needs a folder");
      } else if (value) {
        arguments.m_Error = szArg + L" is given twice (" + *value + L", " + args[i + 1] +
                            L"); give it once";
      } else {
        value = args[++i];
      }
    } else if (szArg == kForceOption) {
      arguments.m_Force = true;
    } else if (szArg == kAllowIncompleteOption) {
      arguments.m_AllowIncomplete = true;
    } else if (szArg == L"--help" || szArg == L"-h" || szArg == L"/?") {
      arguments.m_Help = true;
    } else if (szArg == L"--version") {
      arguments.m_Version = true;
    } else {
      arguments.m_Error = L"unknown argument: " + szArg;
    }
  }
  return arguments;
}

// --current-directory szGiven as a full folder in szFolder, relative to the
// current folder; empty when it is one that exists, otherwise why not.
std::wstring SettleStartFolder(const std::wstring& szGiven, std::wstring& szFolder) {
  const std::wstring szCurrent = platform::GetCurrentFolder();
  szFolder = FullFolder(szGiven, szCurrent);
  if (!IsFullFolder(szFolder)) {
    return L"--current-directory " + szGiven + L" cannot be made a full path with a drive " +
           L"letter (the current folder being " + szCurrent + L")";
  }
  const platform::FileAttributes folder = platform::ReadFileAttributes(szFolder);
  if (!folder.m_Exists || !folder.m_Folder) {
    return L"--current-directory " + szFolder + L" is no folder here (" +
           (folder.m_Exists ? L"a file" : ErrorWords(folder.m_LastError)) + L")";
  }
  return {};
}

std::string Said(const std::wstring& szLine) {
  return "malvik-capture: " + platform::WideToUtf8(szLine) + "\n";
}

}  // namespace

CaptureRun RunCapture(const std::vector<std::wstring>& args) {
  CaptureRun run;
  const Arguments arguments = ReadArguments(args);
  if (!arguments.m_Error.empty()) {
    run.m_Status = kCaptureBadCommandLine;
    run.m_Stderr = Said(arguments.m_Error) + kUsage + "(--help explains each option)\n";
    return run;
  }
  if (arguments.m_Help) {
    run.m_Stdout = std::string(kUsage) + kHelpBefore + platform::WideToUtf8(kMalvikProgram) + ", " +
                   platform::WideToUtf8(kPbrScript) + " or\n"
                   "                      " +
                   platform::WideToUtf8(kWinReScript) + kHelpAfter;
    return run;
  }
  if (arguments.m_Version) {
    run.m_Stdout = VersionLine("malvik-capture");
    return run;
  }
  const bool bToFile = arguments.m_Out && *arguments.m_Out != L"-";
  if (bToFile) {
    const std::wstring szRefused = OutputRefused(*arguments.m_Out, arguments.m_Force);
    if (!szRefused.empty()) {
      run.m_Status = kCaptureNotWritten;
      run.m_Stderr = Said(szRefused);
      return run;
    }
  }

  std::wstring szCurrentDirectory;
  if (arguments.m_CurrentDirectory) {
    const std::wstring szWhy = SettleStartFolder(*arguments.m_CurrentDirectory, szCurrentDirectory);
    if (!szWhy.empty()) {
      run.m_Status = kCaptureBadCommandLine;
      run.m_Stderr = Said(szWhy);
      return run;
    }
  }

  const ProgramFolderCheck folder = CheckProgramFolder(arguments.m_Program.value_or(L""));
  CaptureOptions options;
  options.m_ProgramFolder = folder.m_Folder.empty() ? arguments.m_Program.value_or(L"")
                                                    : folder.m_Folder;
  options.m_FolderNotes = folder.m_Settled;
  options.m_CurrentDirectory = szCurrentDirectory;
  if (!folder.m_Lacks.empty() && !arguments.m_AllowIncomplete) {
    run.m_Status = kCaptureIncompleteFolder;
    for (const std::wstring& sz : folder.m_Settled) run.m_Stderr += Said(sz);
    for (const std::wstring& sz : folder.m_Lacks) run.m_Stderr += Said(sz);
    run.m_Stderr += Said(L"nothing captured: name malvik's folder with --program FOLDER, or add " +
                         std::wstring(kAllowIncompleteOption) + L" to capture this one as it is");
    return run;
  }
  for (const std::wstring& sz : folder.m_Lacks) {
    options.m_FolderNotes.push_back(sz + L"; captured as it is, as --allow-incomplete asks");
  }

  const JsonValue machine = CaptureMachine(options);
  const std::string szText = WriteJsonText(machine);
  run.m_Stderr = SummaryText(machine, folder);
  if (!bToFile) {
    run.m_Stdout = szText;
    run.m_Stderr += "  description: on standard output\n";
    return run;
  }
  const std::wstring szWhy = WriteOutputFile(*arguments.m_Out, szText, arguments.m_Force);
  if (!szWhy.empty()) {
    run.m_Status = kCaptureNotWritten;
    run.m_Stderr += Said(szWhy);
    return run;
  }
  run.m_Stderr += "  description written to " + platform::WideToUtf8(*arguments.m_Out) + "\n";
  return run;
}
