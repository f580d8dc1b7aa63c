// The tool's usage: the --help text, which the man page and the README follow, and the one
// form of a usage error's message.
#ifndef CELLSIFT_TOOLS_USAGE_H
#define CELLSIFT_TOOLS_USAGE_H

#include <string>

// The exit status of a usage error.
const int nExitUsage = 2;

// Writes the --help text to standard output.
void PrintHelp();

// Names the error on standard error with the hint to --help; the caller exits with nExitUsage.
void UsageError(const std::string &message);

#endif
