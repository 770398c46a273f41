// Windows entry point of malvik.exe.
#include "core/entry.h"

int wmain(int argc, wchar_t* argv[]) { return RunMalvik(argc, argv); }
