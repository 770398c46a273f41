// Process entry of malvik: framework start-up, the argument rule, and one
// setup context that runs the whole sequence.
#pragma once

#include "core/settle_letters.h"

// The first three arguments after the program name when there are at least
// three of them; three empty strings otherwise.
LetterArguments PickLetterArguments(int argc, const wchar_t* const argv[]);

// What one argument alone asks for instead of a run: the usage text or the
// version, on standard output only. Any other command line is a run.
enum class ConsoleRequest { kRun, kUsage, kVersion };
ConsoleRequest PickConsoleRequest(int argc, const wchar_t* const argv[]);

// malvik's exit statuses: its log, not its status, says what a run did.
constexpr int kMalvikRan = 0;          // after every run, and after /?, --help or --version
constexpr int kMalvikNoFramework = 1;  // the framework did not start: nothing was done

// The program: kMalvikRan after every run, kMalvikNoFramework when the
// framework did not start. A request for the usage or the version prints it
// and returns kMalvikRan before anything else, touching nothing.
int RunMalvik(int argc, const wchar_t* const argv[]);
