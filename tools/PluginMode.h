// The plug-in's mode: --ansi, --raw, --size and --about, the FILE operands or -r DIR -o
// OUTDIR, each document's text as the indexer receives it from libcellsift.so.
#ifndef CELLSIFT_TOOLS_PLUGINMODE_H
#define CELLSIFT_TOOLS_PLUGINMODE_H

#include "Options.h"

// --about: the handled extension and the plug-in's description. Returns the exit status.
int PrintAbout(const ToolConfig &config);

// Re-executes the tool into its private host folder (argv as main got it), then runs the
// FILE operands or the tree one document at a time. Returns the exit status.
int RunPluginMode(const ToolConfig &config, char **argv);

#endif
