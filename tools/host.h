// What the simulator reaches on the computer it runs on: the files named on
// its command line, the folders `check` reads, the folder --out writes, and
// its console. Paths and text are UTF-8 here; host_posix.cpp (Linux) and
// host_windows.cpp (Windows, file names as UTF-16) implement it, one chosen
// when the program is linked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A path given as UTF-8 for std::filesystem, and a path's UTF-8 text back.
inline std::filesystem::path HostPath(const std::string& szPath) {
  return std::filesystem::path(std::u8string(szPath.begin(), szPath.end()));
}
inline std::string HostPathText(const std::filesystem::path& path) {
  const std::u8string szText = path.u8string();
  return std::string(szText.begin(), szText.end());
}

// Writes szText to standard output, or to standard error, as UTF-8 bytes; on
// Windows to a console as its own characters (WriteConsoleW), its code page
// left as it is. False when it did not all get there.
bool WriteHostText(bool bStandardError, const std::string& szText);

// Whether the report on standard output may use colour (UseColour): it goes
// to a terminal (on Windows, a console whose virtual-terminal processing is
// on already), NO_COLOR is not set and TERM is not "dumb".
bool HostOutputTakesColour();

// szName below szFolder, joined as the computer joins them.
inline std::string HostJoin(const std::string& szFolder, const std::string& szName) {
  return HostPathText(HostPath(szFolder) / HostPath(szName));
}

// Reads the whole file, or, when it holds more than nMaxBytes, the first
// nMaxBytes + 1 bytes (so that a device such as /dev/zero ends too); false
// with the system's reason in szWhy. Opening waits for no writer of a pipe.
bool ReadHostFile(const std::string& szPath, std::string& szBytes, std::string& szWhy,
                  size_t nMaxBytes = static_cast<size_t>(-1));

// Whether a link stands at szPath, followed by nothing that opens it without
// saying so: a symbolic link on Linux; on Windows any reparse point (a
// symbolic link, a junction, a mount point).
bool IsHostLink(const std::string& szPath);

// How --out names what IsHostLink finds, in "refused: WORDS, which --out
// never follows".
extern const char kHostLinkWords[];

// A folder of --out held open while the files below it are written, so that
// it stays the folder that was checked. Closed when it goes.
struct HostFolder {
  std::intptr_t m_Handle = -1;  // descriptor (Linux) or handle (Windows); -1: none
  std::string m_Path;           // as the folder was reached, in UTF-8

  HostFolder() = default;
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;
  ~HostFolder();
};

// What became of a folder or file --out asked for: made (or, for a folder,
// found), refused because a link stands there, or not made or written for
// the system's reason.
enum class HostMade { kDone, kLink, kCannotCreate, kCannotWrite };

// Opens the folder szPath itself, which may be reached through a link.
// False with the system's reason.
bool OpenHostFolder(const std::string& szPath, HostFolder& folder, std::string& szWhy);

// The folder szName in `parent`, made when missing and opened without
// following a link.
HostMade OpenHostSubfolder(const HostFolder& parent, const std::string& szName,
                           HostFolder& folder, std::string& szWhy);

// A new file szName in `parent` holding the bytes: nothing that stands there
// already is opened, a link least of all.
HostMade WriteNewHostFile(const HostFolder& parent, const std::string& szName,
                          const std::string& szBytes, std::string& szWhy);

// Replaces the file szPath with the bytes, whole or not at all: they are
// written to a new file beside it, which is then renamed over it. A link
// at szPath is refused (kLink), neither followed nor replaced; the rename
// itself replaces whatever stands there then, never what it points to.
HostMade ReplaceHostFile(const std::string& szPath, const std::string& szBytes,
                         std::string& szWhy);

// ---- another program, run to its end --------------------------------------

// What a program run by RunHostProgram gave back.
struct HostRun {
  bool m_Started = false;  // it was started and ended on its own
  int m_Status = 0;        // its exit status, when it ended on its own
  std::string m_Stdout;    // everything it wrote to standard output, as bytes
  std::string m_Stderr;    // and to standard error
  std::string m_Why;       // when not started or not ended on its own: why, in words
};

// Runs szProgram (a full path) with these arguments, standard input empty,
// and waits for its end, reading both of its outputs as they come, so that
// neither fills up while the other is awaited. On Windows it runs without a
// console of its own: what it writes to a pipe is UTF-8 then, not the
// console's code page.
HostRun RunHostProgram(const std::string& szProgram, const std::vector<std::string>& args);

// The folder of the running program, in UTF-8; empty when it cannot be told.
std::string HostProgramFolder();

// How a program's file name ends here: ".exe" on Windows, nothing on Linux.
extern const char kHostProgramEnding[];

// The code pages of the console this program runs in (chcp), which a
// program started next in it, malvik.exe, has too; 0 without a console (and
// on Linux, which has none).
struct HostConsoleCodePages {
  std::uint32_t m_Input = 0;
  std::uint32_t m_Output = 0;
};
HostConsoleCodePages ReadHostConsoleCodePages();
