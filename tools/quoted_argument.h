// One argument as a Windows command line carries it, so that the started
// program's argv holds it again exactly: the rules by which a program splits
// its command line (quotes group, backslashes are plain except before a
// quote, where 2n of them stand for n and 2n+1 for n and the quote).
#pragma once

#include <string>

// szArg as it is when it holds no space, tab, line end or quote and is not
// empty; otherwise in quotes, each quote preceded by a backslash and the
// backslashes before a quote (or before the closing one) doubled.
std::string QuotedArgument(const std::string& szArg);
