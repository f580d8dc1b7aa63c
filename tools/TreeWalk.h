// The folders of the directory modes: the walk that finds the workbooks under -r DIR, and
// the making of OUTDIR.
#ifndef CELLSIFT_TOOLS_TREEWALK_H
#define CELLSIFT_TOOLS_TREEWALK_H

#include <functional>
#include <string>

// What the walk finds, in the order of the relative paths' bytes, each folder's as soon as
// it is read: a regular .xls file (any letter case) by its path relative to root, or the
// message line naming a folder that cannot be read, in the place its files would have had.
struct WalkSink {
    std::function<void(std::string &&rel)> onWorkbook;
    std::function<void(std::string &&message)> onUnreadable;
};

// Walks the tree under root; false when a folder could not be read.
bool WalkWorkbooks(const std::string &root, const WalkSink &sink);

// Creates path and its missing parents; true when it is a folder at the end.
bool MakeDirectories(const std::string &path);

#endif
