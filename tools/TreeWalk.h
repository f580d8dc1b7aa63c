// The folders of the directory modes: the walk that finds the workbooks under -r DIR, and
// the making of OUTDIR.
#ifndef CELLSIFT_TOOLS_TREEWALK_H
#define CELLSIFT_TOOLS_TREEWALK_H

#include <string>
#include <vector>

// The regular .xls files (any letter case) under root, relative to it and sorted; folders
// that cannot be read are named on standard error and make the result false.
bool ListWorkbooks(const std::string &root, std::vector<std::string> *pFiles);

// Creates path and its missing parents; true when it is a folder at the end.
bool MakeDirectories(const std::string &path);

#endif
