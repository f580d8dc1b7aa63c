// cellsift command-line tool: the command line read into one configuration, the mode it names
// run, and a failed write to standard output made the exit status.
#include "Options.h"
#include "PluginMode.h"
#include "ReaderMode.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    // Into a file or a pipe, text goes in pieces of 64 KiB rather than the default 4 KiB: a
    // tree of small workbooks otherwise spends a system call on every few files' text.
    static char rgchOut[64 << 10];
    if (!isatty(1)) {
        setvbuf(stdout, rgchOut, _IOFBF, sizeof(rgchOut));
    }
    ToolConfig config;
    int nStatus = ParseOptions(argc, argv, &config);
    if (nStatus >= 0) {
        return nStatus;
    }
    switch (config.mode) {
    case ToolMode::About: nStatus = PrintAbout(config); break;
    case ToolMode::Plugin: nStatus = RunPluginMode(config, argv); break;
    case ToolMode::Reader: nStatus = RunReaderMode(config); break;
    }
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
        return 1;
    }
    return nStatus;
}
