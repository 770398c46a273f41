// The report for people, readable on an 80-column terminal: one section per
// kind of fact, the verdict last.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/sim_outcome.h"
#include "tools/verdict.h"

// Colour (ANSI) only when asked: the caller decides from the terminal and
// NO_COLOR.
void WriteText(std::ostream& out, const sim::SimMachine& machine, const Outcome& outcome,
               const Verdict& verdict, bool bColour);

// Text for a terminal: UTF-8, with line feeds and carriage returns shown as
// \n and \r.
std::string Printable(const std::wstring& sz);

// Breaks szText at spaces into pieces that fit in the 80 columns, the first
// starting at column nFirst, the rest at column nIndent. A word longer than
// the room stands alone on its line.
std::vector<std::string> Wrapped(const std::string& szText, size_t nFirst, size_t nIndent);

// What 5a and 5b are, and why the run took the one it did; empty without
// a hand-over.
std::string HandOverWords(const Verdict& verdict);

// The firmware probe's outcome in words, and in one word for a table.
std::string FirmwareText(const sim::SimFirmware& firmware);
std::string FirmwareWord(const sim::SimFirmware& firmware);
